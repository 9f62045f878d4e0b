#pragma once

#include "common/BadgeType.h"
#include "platform/ui/TableViewDataSource.h"
#include "platform/ui/TableViewDelegate.h"
#include "platform/ui/ViewController.h"

class AlertView;
class EditableDetailCell;
class PickerView;
class MainScreenModel;
class TableView;

// The preferences: "Clear database", the badge type, the SMS quota, the
// billing day and "Import iPhone Backup", over two wheels (billing day, badge type) shown one at a
// time. Every choice goes straight into the main screen's model, whose
// settings reach the settings file, and so the badge daemon, at the main screen's
// next save.
class PreferencesViewController : public ViewController, public TableViewDataSource, public TableViewDelegate {
    Q_OBJECT

public:
    enum Row { kClearDatabaseRow, kBadgeTypeRow, kQuotaRow, kBillingDayRow, kImportBackupRow, kRowCount };
    static constexpr int kBadgeTypeCount = 7;
    static constexpr int kDayRowCount = 32;

    explicit PreferencesViewController(MainScreenModel* model, QWidget* parent = nullptr);

    // Called by the main screen before every opening, in this order.
    void hideSelection();
    void setSelectionDay(int day);
    void setBadgeType(BadgeType code);

    void selectDay();
    void checkQuota();
    void clearDBEvent();
    // The quota field's return key: Done takes the typed quota.
    bool textFieldShouldReturn();

signals:
    // "Clear database" was chosen; the main screen asks for confirmation.
    void clearDatabaseRequested();
    // "Import iPhone Backup" was chosen; the main screen runs the import.
    void importBackupRequested();

public:
    // Badge codes and the rows of the badge wheel.
    static BadgeType badgeCodeForRow(int row);
    static int rowForBadgeCode(BadgeType code);
    // "1st", "2nd", "3rd", "4th" ... by the last digit alone ("11st").
    static QString dayWithSuffix(int day);
    // The quota a typed text stands for: the leading decimal number (0 when
    // there is none), never below 0 and never past the largest int.
    static int quotaFromText(const QString& text);

    TableView* tableView() const { return tableView_; }
    PickerView* daySelector() const { return daySelector_; }
    PickerView* badgeSelector() const { return badgeSelector_; }
    EditableDetailCell* dataCell() const { return dataCell_; }
    AlertView* quotaReminder() const { return quotaReminder_; }

    int numberOfRowsInSection(TableView& table, int section) override;
    TableViewCell* cellForRowAtIndexPath(TableView& table, const IndexPath& indexPath) override;
    void didSelectRowAtIndexPath(TableView& table, const IndexPath& indexPath) override;

protected:
    void viewDidLoad() override;

private:
    void buildPickers();
    void buildQuotaCell();
    void fillBadgeRow(TableViewCell* cell) const;
    QString billingDayText() const;
    void dayChosen(int row);
    void badgeTypeChosen(int row);
    void closeQuotaKeyboard();

    MainScreenModel* model_;
    TableView* tableView_ = nullptr;
    PickerView* daySelector_ = nullptr;
    PickerView* badgeSelector_ = nullptr;
    EditableDetailCell* dataCell_ = nullptr;
    AlertView* quotaReminder_ = nullptr;
};
