#pragma once

#include "app/shell/DateFormatter.h"
#include "app/shell/MainScreenSettings.h"
#include "common/Person.h"
#include "common/Sms.h"
#include "platform/FileIdentity.h"
#include "platform/ui/ActionSheetDelegate.h"
#include "platform/ui/AlertViewDelegate.h"
#include "platform/ui/TableViewDataSource.h"
#include "platform/ui/TableViewDelegate.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/ViewController.h"

#include <QPointer>

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class AboutViewController;
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
// buttons. It is the root of the app's one navigation stack, holds the app's
// settings while it runs, and every other screen hands its result back
// through its setters, updateMessageCount and refreshFilterTable.
class RootViewController : public ViewController,
                           public TableViewDataSource,
                           public TableViewDelegate,
                           public AlertViewDelegate,
                           public ActionSheetDelegate {
    Q_OBJECT

public:
    // Alert tags.
    static constexpr int kAlertBoxTag = 0;
    static constexpr int kConfirmEmptyDBTag = 1;

    // The time of day the screen works with (the period end, the period
    // start in billing-day mode, the save); std::time unless a test fixes it.
    using Clock = std::function<std::time_t()>;

    explicit RootViewController(QWidget* parent = nullptr, Clock clock = {});
    ~RootViewController() override;

    // Launch: the fixed parts and the filter settings, once.
    void setUpComponents();
    // Launch and every activation: sync, period settings, recount, redraw.
    void loadUpContent();
    // Writes the settings back and sets the icon badge.
    void saveLastDate();
    // Where saveLastDate sends the icon badge; the desktop's dock unless a
    // test watches it instead (an empty function restores the dock).
    static void setIconBadgeForTesting(std::function<void(int)> setter);

    void updateDateStrings();
    void refreshFilterTable();
    void updateMessageCount();

    // Navigation.
    void datePickView();
    void showPreferencesView();
    void showAboutView();
    void showPersonSelectView();
    void showExcludedView();
    void showDetails();
    void showMessageTypeMenu();
    void showChart();
    void showReport();
    // The chart's and the report's work, started by showChart and showReport
    // once the progress overlay is up; showBarChart answers the chart
    // screen's "Bar Chart" button.
    void generateChart();
    void showBarChart();
    void generateReport();

    // Maintenance (sync, Clear DB, progress overlay).
    void syncDB();
    void confirmClearDB();
    void clearDB();
    void presentSheet(int kind);
    void killHUD();

    // Setters and state the other screens use.
    std::time_t from() const { return settings_.from; }
    std::time_t to() const { return settings_.to; }
    void setFromDate(std::time_t from) { settings_.from = from; }
    void setToDate(std::time_t to) { settings_.to = to; }
    MessageType messageType() const { return settings_.messageType; }
    void setMessageType(MessageType type) { settings_.messageType = type; }
    const std::optional<Person>& selectedPerson() const { return settings_.selectedPerson; }
    void setSelectedPerson(std::optional<Person> person) { settings_.selectedPerson = std::move(person); }
    std::vector<Person>& personArray() { return personArray_; }
    std::vector<Person>& excludedPersonArray() { return settings_.excludedPersonArray; }
    std::vector<Sms>& tmpData() { return tmpData_; }
    // The last chart's persons and their counts, index for index.
    std::vector<Person>& pArray() { return pArray_; }
    std::vector<int>& cArray() { return cArray_; }
    ChartViewController* chartViewController() const { return cvController_; }
    ReportViewController* reportViewController() const { return rvController_; }
    int saveFromDate() const { return settings_.saveFromDate; }
    void setSaveFromDate(int mode) { settings_.saveFromDate = mode; }
    int cycleDay() const { return settings_.cycleDay; }
    void setCycleDay(int day) { settings_.cycleDay = day; }
    BadgeType badgeType() const { return settings_.badgeType; }
    void setBadgeType(BadgeType type) { settings_.badgeType = type; }
    int smsquota() const { return settings_.smsquota; }
    void setSmsquota(int quota) { settings_.smsquota = quota; }
    bool hideSMS() const { return settings_.hideSMS; }
    int msgCount() const { return msgCount_; }
    const DateFormatter& dateFormatter() const { return dateFormatter_; }
    MainScreenSettings& settings() { return settings_; }
    TableView* filterTableView() const { return filterTableView_; }
    AlertView* alertBox() const { return alertBox_; }
    AlertView* confirmEmptyDBBox() const { return confirmEmptyDBBox_; }

    // The texts of the filter table as shown: caption and value of a row.
    QString captionForRow(int section, int row) const;
    QString valueForRow(int section, int row) const;

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
    struct CountInputs {
        std::time_t from = 0;
        std::time_t to = 0;
        MessageType messageType = MessageType::Both;
        std::string people;  // person filter and exclusions
        FileIdentity counterDatabase;
        FileIdentity addressBook;
        bool operator==(const CountInputs&) const = default;
    };
    CountInputs currentCountInputs() const;
    // Tells one set of records from another, whatever their order.
    static std::uint64_t recordsFingerprint(const std::vector<Sms>& records);
    // Sorts tmpData oldest first and has the message list show it.
    void handRecordsToList();

    void buildNavigationBar();
    void buildAlerts();
    void buildPeriodArea();
    void buildFilterArea();
    void showAlert(const QString& title, const QString& message);
    void modCell(TableViewCell* cell, const QString& header, const QString& content, bool withArrow);
    bool rowHasArrow(int section, int row) const;
    void buttonHighlighted();
    void buttonNormal();

    Clock clock_;
    MainScreenSettings settings_;
    DateFormatter dateFormatter_;
    std::vector<Person> personArray_;
    std::vector<Sms> tmpData_;
    int msgCount_ = 0;
    std::optional<CountInputs> lastCountInputs_;
    std::uint64_t countedRecords_ = 0;  // recordsFingerprint of the last count's records

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

    AlertView* confirmEmptyDBBox_ = nullptr;
    AlertView* alertBox_ = nullptr;
    ActionSheet* messageTypeMenu_ = nullptr;
    QPointer<ProgressHUD> aHUD_;

    AboutViewController* aboutController_ = nullptr;
    std::vector<Person> pArray_;
    std::vector<int> cArray_;
    ChartViewController* cvController_ = nullptr;
    ReportViewController* rvController_ = nullptr;
    RecordViewController* recordController_ = nullptr;
    DateViewController* dvController_ = nullptr;
    PersonSelectViewController* psController_ = nullptr;
    PreferencesViewController* pvController_ = nullptr;
    ExcludedViewController* evController_ = nullptr;
};
