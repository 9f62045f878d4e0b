#pragma once

#include "app/shell/DateFormatter.h"
#include "app/shell/MainScreenController.h"
#include "app/shell/MainScreenModel.h"
#include "platform/ui/ActionSheetDelegate.h"
#include "platform/ui/AlertViewDelegate.h"
#include "platform/ui/TableViewDataSource.h"
#include "platform/ui/TableViewDelegate.h"
#include "platform/ui/ViewController.h"

#include <QPointer>

#include <vector>

class AboutViewController;
class BackupImportFlow;
class ChartViewController;
class ActionSheet;
class DateViewController;
class ExcludedViewController;
class PersonSelectViewController;
class PreferencesViewController;
class AlertView;
class Label;
class PeriodButton;
class RecordViewController;
class ProgressHUD;
class ReportViewController;
class QPushButton;
class TableView;
class TableViewCell;

// The main screen: the counting period, the filter table (message type,
// person, exclusions, total, messages left) and the Chart and Report
// buttons. It is the root of the app's one navigation stack. The settings and
// the count live in its model, which the filter screens edit; the work behind
// them (sync, count, chart, report, save) is its controller's, and the screen
// shows what the controller reports. The chart screens keep their own data,
// the message list its own records.
class RootViewController : public ViewController,
                           public TableViewDataSource,
                           public TableViewDelegate,
                           public AlertViewDelegate,
                           public ActionSheetDelegate {
    Q_OBJECT

public:
    using Clock = MainScreenController::Clock;
    using BadgeSetter = MainScreenController::BadgeSetter;

    // `setBadge` empty: the desktop's dock. The controller is the screen's
    // child: going, it waits for the work under way.
    explicit RootViewController(QWidget* parent = nullptr, Clock clock = {}, BadgeSetter setBadge = {});

    // Launch: the fixed parts and the filter settings, once.
    void setUpComponents();
    // Launch and every activation: sync, period settings, recount, redraw.
    void loadUpContent() { controller_->activate(); }
    // Writes the settings back and sets the icon badge.
    void saveLastDate() { controller_->saveLastDate(); }

    void updateDateStrings();
    void refreshFilterTable();
    void updateMessageCount() { controller_->updateMessageCount(); }
    bool isCounting() const { return controller_->isCounting(); }

    // Navigation.
    void datePickView();
    void showPreferencesView();
    void showAboutView();
    void showPersonSelectView();
    void showExcludedView();
    void showDetails();
    void showMessageTypeMenu();
    void showChart() { controller_->showChart(); }
    void showReport() { controller_->showReport(); }

    // Maintenance.
    void importBackup();
    void confirmClearDB();
    void clearDB() { controller_->clearDB(); }

    // The settings, the person list and the count the screens share.
    MainScreenModel& model() { return *model_; }
    const MainScreenModel& model() const { return *model_; }
    MainScreenController& controller() { return *controller_; }
    BackupImportFlow& backupImport() { return *importFlow_; }
    // The text and the button a root without a phone shows in place of the
    // period and the filters.
    Label* noPhoneDataLabel() const { return noPhoneDataLabel_; }
    QPushButton* importButton() const { return btnImport_; }
    ChartViewController* chartViewController() const { return cvController_; }
    ReportViewController* reportViewController() const { return rvController_; }
    RecordViewController* recordViewController() const { return recordController_; }
    const DateFormatter& dateFormatter() const { return dateFormatter_; }
    TableView* filterTableView() const { return filterTableView_; }

    // TableViewDataSource / TableViewDelegate.
    int numberOfSectionsInTableView(TableView& table) override;
    int numberOfRowsInSection(TableView& table, int section) override;
    TableViewCell* cellForRowAtIndexPath(TableView& table, const IndexPath& indexPath) override;
    int heightForRowAtIndexPath(TableView& table, const IndexPath& indexPath) override;
    int heightForHeaderInSection(TableView& table, int section) override;
    int heightForFooterInSection(TableView& table, int section) override;
    QString titleForHeaderInSection(TableView& table, int section) override;
    void didSelectRowAtIndexPath(TableView& table, const IndexPath& indexPath) override;

    // AlertViewDelegate / ActionSheetDelegate.
    void alertViewClickedButtonAtIndex(AlertView& alertView, int buttonIndex) override;
    void actionSheetClickedButtonAtIndex(ActionSheet& actionSheet, int buttonIndex) override;

    void viewWillAppear(bool animated) override;

protected:
    void viewDidLoad() override;

private:
    // One row of the filter table: its caption, the text of its value, and
    // the screen or menu a tap opens (none for a row without an arrow).
    struct FilterRow {
        const char* title;  // translated when shown
        QString (RootViewController::*value)() const;
        void (RootViewController::*open)();
        // Whether the row opens anything now; null: whenever it has `open`.
        bool (RootViewController::*opens)() const;
    };
    using FilterSection = std::vector<FilterRow>;
    static const std::vector<FilterSection>& filterSections();
    const FilterRow& filterRow(const IndexPath& indexPath) const;
    bool rowHasArrow(const FilterRow& row) const;
    QString messageTypeValue() const;
    QString personValue() const;
    QString exclusionsValue() const;
    QString totalValue() const;
    QString messagesLeftValue() const;
    bool listShown() const;

    void modelChanged();
    void connectController();
    void showAlert(MainScreenController::Alert kind, const QString& detail);
    void showChartScreen(const MainScreenData::Chart& chart, MessageType type, std::time_t from, std::time_t to);
    void showReportScreen(const std::vector<MonthlyReport::MonthRow>& months, std::time_t from, std::time_t to);
    void presentSheet(MainScreenController::Busy kind);
    void killHUD();

    void buildNavigationBar();
    void buildAlerts();
    void buildPeriodArea();
    void buildFilterArea();
    void buildNoPhoneDataArea();
    // The period and filters with a phone, the empty state without.
    void showPhoneData(bool present);
    void showNotice(const QString& title, const QString& message);
    void modCell(TableViewCell* cell, const QString& header, const QString& content, bool withArrow);
    void buttonHighlighted();
    void buttonNormal();

    MainScreenModel* model_;
    MainScreenController* controller_;
    DateFormatter dateFormatter_;

    Label* rightArrow1_ = nullptr;
    Label* fromDateString_ = nullptr;
    Label* lblFrom_ = nullptr;
    Label* lblTo_ = nullptr;
    Label* toDateString_ = nullptr;
    Label* lblFilterBy_ = nullptr;
    TableView* filterTableView_ = nullptr;
    QPushButton* btnGenerateChart_ = nullptr;
    QPushButton* btnReport_ = nullptr;
    PeriodButton* btnDate_ = nullptr;
    Label* noPhoneDataLabel_ = nullptr;
    QPushButton* btnImport_ = nullptr;
    BackupImportFlow* importFlow_ = nullptr;

    AlertView* confirmEmptyDBBox_ = nullptr;
    AlertView* alertBox_ = nullptr;
    AlertView* countFailureBox_ = nullptr;
    ActionSheet* messageTypeMenu_ = nullptr;
    QPointer<ProgressHUD> aHUD_;

    AboutViewController* aboutController_ = nullptr;
    ChartViewController* cvController_ = nullptr;
    ReportViewController* rvController_ = nullptr;
    RecordViewController* recordController_ = nullptr;
    DateViewController* dvController_ = nullptr;
    PersonSelectViewController* psController_ = nullptr;
    PreferencesViewController* pvController_ = nullptr;
    ExcludedViewController* evController_ = nullptr;
};
