#pragma once

#include "app/charts/MonthlyReport.h"
#include "app/shell/MainScreenData.h"
#include "app/shell/MainScreenModel.h"
#include "common/MarkerSync.h"
#include "common/Sms.h"
#include "platform/FileIdentity.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class BackgroundWork;
class QFileSystemWatcher;
class QTimer;

// The main screen's work, without its widgets: the sync at launch and at
// every activation, the count behind the totals, the chart's numbers, the
// report, Clear DB and the save with its icon badge. All of it runs off the
// UI thread (BackgroundWork) and comes back numbered: an answer to an older
// request never replaces a newer one. The results land in the model (the
// person list, the count) or go out through the signals, which the screen
// turns into what it shows. While the app runs it also follows the counter
// database: a message another program copies in (the badge daemon, a
// backup import) is counted without waiting for the next activation.
class MainScreenController : public QObject {
    Q_OBJECT

public:
    // The time of day the screen works with (the period end, the period
    // start in billing-day mode, the save); std::time unless a test fixes it.
    using Clock = std::function<std::time_t()>;
    // Where the save's icon badge goes: the desktop's dock, or what a test
    // records.
    using BadgeSetter = std::function<void(int)>;

    // What the user is told; the screen words it.
    enum class Alert {
        SettingsUnreadable,  // no settings file: the sync copied nothing
        SyncFailed,          // detail: the sync's error code
        CountFailed,         // detail: why; once for a run of failed counts
        ClearFailed,
        Cleared,
        Resyncing,
    };
    Q_ENUM(Alert)
    // The work a progress overlay stands for.
    enum class Busy { Chart, Report };
    Q_ENUM(Busy)

    MainScreenController(MainScreenModel* model, Clock clock, BadgeSetter setBadge, QObject* parent = nullptr);
    ~MainScreenController() override;

    // The icon badge of the app on the desktop's dock.
    static BadgeSetter dockBadge();

    // Launch: the people of the counter database, for the person filter.
    void loadPersons();
    // Launch and every activation: the period at once (the first time), then
    // the sync, then the person list, the period again and the count once
    // the sync is done.
    void activate();
    // After a backup import: the sync, then backupSynced with how many
    // messages the counter database gained since it held `storedBefore`
    // rows, and the person list, period and count anew.
    void syncImportedBackup(int storedBefore);
    // Whether the last activation (or import) found a phone in the device
    // root; until then, true.
    bool holdsPhoneData() const { return holdsPhoneData_; }
    // Starts a count when something it depends on changed since the last;
    // the model's total and recordsReady follow when it is done.
    void updateMessageCount();
    // With the progress overlay of their kind; chartReady and reportReady
    // follow.
    void showChart();
    void showReport();
    // The same without the overlay.
    void generateChart();
    void generateReport();
    // Clears and resyncs; the alerts, the save and the new person list
    // follow when it is done.
    void clearDB();
    // Writes the settings back and sets the icon badge: 0 at once, then the
    // count, which runs off the UI thread (only the last save's is set).
    void saveLastDate();

    // Once the first activation began: before it, a change of the model
    // starts no count (that waits for the sync).
    bool contentLoaded() const { return contentLoaded_; }
    // True while a sync, a Clear DB, the person list, a count or the badge
    // count of a save is under way whose answer has not been shown.
    bool isCounting() const {
        return pendingLoads_ > 0 || countSequence_ != shownCountSequence_ || pendingBadge_ != nullptr;
    }

signals:
    // The period was (re)loaded from the settings file.
    void periodLoaded();
    // The records behind the total just put into the model (none when the
    // count failed), oldest first.
    void recordsReady(const std::vector<Sms>& records);
    void alert(MainScreenController::Alert kind, const QString& detail);
    // Whether the device root holds a phone changed, or was first found: a
    // root without one is neither synced nor counted.
    void phoneDataChanged(bool present);
    // The sync after an import is done: how many messages it copied, or
    // nothing when it failed (its alert has been emitted).
    void backupSynced(std::optional<int> newMessages);
    void busyStarted(MainScreenController::Busy kind);
    void busyEnded(MainScreenController::Busy kind);
    void chartReady(const MainScreenData::Chart& chart, MessageType type, std::time_t from, std::time_t to);
    void reportReady(const std::vector<MonthlyReport::MonthRow>& months, std::time_t from, std::time_t to);

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
    // Who asked for a count: the screen (a change, an activation) or the
    // counter database changing under the open app.
    enum class CountReason { Screen, Followed };
    void startCount(CountReason reason);
    void showCount(std::uint64_t sequence, CountReason reason, MainScreenData::Count result);
    void loadPeriod();
    // Looks again whether the root holds a phone; true when it does.
    bool checkPhoneData();
    void reportSync(const MarkerSync::Outcome& outcome);
    void showClearOutcome(MainScreenData::Cleared result);
    void watchCounterDatabase();
    void counterDatabaseTouched();
    void followCounterDatabase();

    MainScreenModel* model_;
    Clock clock_;
    BadgeSetter setBadge_;
    MainScreenData data_;
    BackgroundWork* work_;
    QFileSystemWatcher* watcher_;
    QTimer* followDelay_;
    bool periodShown_ = false;
    bool contentLoaded_ = false;
    bool holdsPhoneData_ = true;
    bool phoneDataTold_ = false;
    bool countFailureShown_ = false;  // since the last count that succeeded
    int pendingLoads_ = 0;            // syncs and person lists under way
    int pendingSyncs_ = 0;            // syncs (and Clear DB resyncs) under way: a count waits for them
    std::optional<CountInputs> lastCountInputs_;
    // Each request's number; only the answer to the latest is shown.
    std::uint64_t countSequence_ = 0;
    std::uint64_t shownCountSequence_ = 0;
    CountReason countReason_ = CountReason::Screen;  // of the latest count
    std::uint64_t personsSequence_ = 0;
    std::uint64_t chartSequence_ = 0;
    std::uint64_t reportSequence_ = 0;
    std::uint64_t badgeSequence_ = 0;
    // The count of the last save's badge while it is on its way.
    std::shared_ptr<std::optional<int>> pendingBadge_;
};
