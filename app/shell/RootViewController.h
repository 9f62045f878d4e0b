#pragma once

#include "app/shell/DateFormatter.h"
#include "app/shell/MainScreenModel.h"
#include "common/Counted.h"
#include "common/MarkerSync.h"
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
class BackgroundWork;
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
// the count live in its model, which the filter screens edit; on every change
// the screen recounts and redraws. Counting, chart data and the report run off
// the UI thread (BackgroundWork) and come back numbered: an answer to an
// older request never replaces a newer one. The chart screens keep their own
// data, the message list its own records.
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
    // The sync and the count run off the UI thread; the rest follows them.
    void loadUpContent();
    // Writes the settings back and sets the icon badge: 0 at once, then the
    // count, which runs off the UI thread (only the last save's is set).
    void saveLastDate();
    // Where saveLastDate sends the icon badge; the desktop's dock unless a
    // test watches it instead (an empty function restores the dock).
    static void setIconBadgeForTesting(std::function<void(int)> setter);

    void updateDateStrings();
    void refreshFilterTable();
    // Starts a count when something it depends on changed since the last;
    // the total and the list's records follow when it is done.
    void updateMessageCount();
    // True while a sync, a Clear DB, the person list, a count or the badge
    // count of a save is under way whose answer has not been shown.
    bool isCounting() const {
        return pendingLoads_ > 0 || countSequence_ != shownCountSequence_ || pendingBadge_ != nullptr;
    }

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
    // once the progress overlay is up; the screen follows when it is done.
    void generateChart();
    void generateReport();

    // Maintenance (sync, Clear DB, progress overlay).
    void syncDB();
    void showSyncOutcome(const MarkerSync::Outcome& outcome);
    void confirmClearDB();
    // Clears and resyncs off the UI thread; the alerts, the save and the new
    // person list follow when it is done.
    void clearDB();
    void presentSheet(int kind);
    void killHUD();

    // The settings, the person list and the count the screens share.
    MainScreenModel& model() { return *model_; }
    const MainScreenModel& model() const { return *model_; }
    ChartViewController* chartViewController() const { return cvController_; }
    ReportViewController* reportViewController() const { return rvController_; }
    RecordViewController* recordViewController() const { return recordController_; }
    const DateFormatter& dateFormatter() const { return dateFormatter_; }
    TableView* filterTableView() const { return filterTableView_; }

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
    struct ScreenCount {
        Counted<int> count = 0;
        std::vector<Sms> records;  // oldest first, as the list takes them
    };
    void showCount(std::uint64_t sequence, ScreenCount result);
    // Tells the user why there is no total, once for a run of failed counts:
    // every activation recounts, and would otherwise bring the box back.
    void showCountFailure(const std::string& reason);
    void loadPeriodAndCount();
    struct ClearResult {
        MarkerSync::ClearOutcome outcome;
        std::vector<Person> persons;  // of the resynced database
    };
    void showClearOutcome(const MarkerSync::ClearOutcome& outcome, std::vector<Person> persons);
    void modelChanged();

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
    MainScreenModel* model_;
    BackgroundWork* work_;
    DateFormatter dateFormatter_;
    bool periodShown_ = false;
    bool contentLoaded_ = false;
    int pendingLoads_ = 0;  // syncs and person lists under way
    int pendingSyncs_ = 0;  // syncs (and Clear DB resyncs) under way: a count waits for them
    std::optional<CountInputs> lastCountInputs_;
    // Each request's number; only the answer to the latest is shown.
    std::uint64_t countSequence_ = 0;
    std::uint64_t shownCountSequence_ = 0;
    std::uint64_t chartSequence_ = 0;
    std::uint64_t reportSequence_ = 0;
    std::uint64_t badgeSequence_ = 0;
    // The count of the last save's badge while it is on its way.
    std::shared_ptr<std::optional<int>> pendingBadge_;

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
    AlertView* countFailureBox_ = nullptr;
    bool countFailureShown_ = false;  // since the last count that succeeded
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
