#include "app/shell/MainScreenController.h"

#include "app/shell/BackgroundWork.h"
#include "common/SettingsStore.h"
#include "platform/BundleIdentifier.h"
#include "platform/ProgramLog.h"
#include "platform/dbus/IconBadge.h"

#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QLocale>
#include <QTimer>

#include <chrono>

namespace {

// A write to the counter database comes as a burst of file events (the
// journal appears, pages are written, the journal goes); one look after the
// burst is enough.
constexpr int kFollowDelayMs = 100;

}  // namespace

MainScreenController::MainScreenController(MainScreenModel* model, Clock clock, BadgeSetter setBadge, QObject* parent)
    : QObject(parent), model_(model), clock_(clock ? std::move(clock) : Clock([] { return std::time(nullptr); })),
      setBadge_(setBadge ? std::move(setBadge) : dockBadge()), work_(new BackgroundWork(this)),
      watcher_(new QFileSystemWatcher(this)), followDelay_(new QTimer(this)) {
    connect(model_, &MainScreenModel::changed, this, [this] {
        // Launch counts once the period is known, not while it sets up.
        if (contentLoaded_) updateMessageCount();
    });
    followDelay_->setSingleShot(true);
    followDelay_->setInterval(kFollowDelayMs);
    connect(followDelay_, &QTimer::timeout, this, &MainScreenController::followCounterDatabase);
    connect(watcher_, &QFileSystemWatcher::fileChanged, this, &MainScreenController::counterDatabaseTouched);
    connect(watcher_, &QFileSystemWatcher::directoryChanged, this, &MainScreenController::counterDatabaseTouched);
}

MainScreenController::~MainScreenController() {
    // The work holds copies only, but its results must not outlive the
    // screens they were meant for.
    work_->waitForDone();
    // Except the badge of the last save: on quit the event loop that would
    // have delivered it has ended, and the badge must still be set.
    if (pendingBadge_ && *pendingBadge_) setBadge_(**pendingBadge_);
}

MainScreenController::BadgeSetter MainScreenController::dockBadge() {
    return [](int value) { IconBadge::setBadge(QString::fromUtf8(kBundleIdentifier), value); };
}

// --- Launch and activation ---------------------------------------------------

void MainScreenController::loadPersons() {
    // A root without a phone has no counter database to list.
    if (!checkPhoneData()) return;
    ++pendingLoads_;
    // The list at launch and the one after the sync may cross: only the
    // latest list is shown.
    const std::uint64_t sequence = ++personsSequence_;
    work_->run<std::vector<Person>>([data = data_] { return data.persons(); },
                                    [this, sequence](std::vector<Person> persons) {
                                        --pendingLoads_;
                                        if (sequence == personsSequence_) model_->setPersonArray(std::move(persons));
                                    });
}

void MainScreenController::activate() {
    // The period needs no database: show it at once, so the first paint
    // never shows a period that is not the user's. (Before contentLoaded_,
    // the model's change starts no count: that waits for the sync.)
    if (!periodShown_) {
        loadPeriod();
        periodShown_ = true;
    }
    contentLoaded_ = true;
    // A first start before any import: nothing to copy or count, and
    // nothing that failed either.
    if (!checkPhoneData()) return;
    watchCounterDatabase();
    // The sync copies what is new since the last (at launch, possibly a
    // lot) off the UI thread; the period and the count follow it.
    ++pendingLoads_;
    ++pendingSyncs_;
    work_->run<MarkerSync::Outcome>([data = data_] { return data.sync(); },
                                    [this](MarkerSync::Outcome outcome) {
                                        --pendingLoads_;
                                        --pendingSyncs_;
                                        reportSync(outcome);
                                        // The sync may have brought the first messages of people
                                        // the list at launch could not know (on a first launch, all
                                        // of them).
                                        loadPersons();
                                        loadPeriod();
                                        updateMessageCount();
                                    });
}

bool MainScreenController::checkPhoneData() {
    const bool present = data_.holdsPhoneData();
    if (phoneDataTold_ && present == holdsPhoneData_) return present;
    holdsPhoneData_ = present;
    phoneDataTold_ = true;
    emit phoneDataChanged(present);
    return present;
}

void MainScreenController::syncImportedBackup(int storedBefore) {
    ++pendingLoads_;
    ++pendingSyncs_;
    work_->run<MainScreenData::Synced>(
        [data = data_, storedBefore] { return data.syncNewBackup(storedBefore); },
        [this](MainScreenData::Synced synced) {
            --pendingLoads_;
            --pendingSyncs_;
            reportSync(synced.outcome);
            const bool ok = synced.outcome.ran && synced.outcome.status == SyncStatus::Ok;
            emit backupSynced(ok ? std::optional<int>(synced.newMessages) : std::nullopt);
            watchCounterDatabase();
            loadPersons();
            loadPeriod();
            updateMessageCount();
        });
}

void MainScreenController::loadPeriod() {
    const auto stored = SettingsStore::load();
    model_->loadPeriod(stored ? &*stored : nullptr, clock_());
    emit periodLoaded();
}

void MainScreenController::reportSync(const MarkerSync::Outcome& outcome) {
    if (!outcome.ran) {
        // Without the settings file the markers could not be kept, and every
        // later sync would copy everything again; so nothing was copied.
        emit alert(Alert::SettingsUnreadable, QString());
    } else if (outcome.status != SyncStatus::Ok) {
        emit alert(Alert::SyncFailed, QString::number(codeOf(outcome.status)));
    }
}

// --- Following the counter database ------------------------------------------

void MainScreenController::watchCounterDatabase() {
    // The folder as well as the file: a file replaced or created anew is
    // seen through its folder, and the file's own watch is put back.
    const QString file = QString::fromStdString(data_.counterDatabasePath());
    const QString folder = QFileInfo(file).absolutePath();
    if (!watcher_->directories().contains(folder) && QFileInfo::exists(folder)) watcher_->addPath(folder);
    if (!watcher_->files().contains(file) && QFileInfo::exists(file)) watcher_->addPath(file);
}

void MainScreenController::counterDatabaseTouched() {
    watchCounterDatabase();
    followDelay_->start();
}

void MainScreenController::followCounterDatabase() {
    // The app's own syncs are followed by their count; a count under way
    // already saw the file as it is now.
    if (!contentLoaded_ || pendingSyncs_ > 0) return;
    const FileIdentity now = FileIdentity::of(data_.counterDatabasePath());
    if (lastCountInputs_ && lastCountInputs_->counterDatabase == now) return;
    startCount(CountReason::Followed);
}

// --- Counting ----------------------------------------------------------------

// Everything a count depends on. The screen recounts each time it is shown;
// when none of this changed since the last count (launch shows the screen
// right after counting), the last result stands, which keeps a launch on a
// large database from counting everything twice.
MainScreenController::CountInputs MainScreenController::currentCountInputs() const {
    CountInputs inputs;
    const MainScreenSettings& settings = model_->settings();
    inputs.from = settings.from;
    inputs.to = settings.to;
    inputs.messageType = settings.messageType;
    auto describe = [](const Person& person) {
        std::string text = std::to_string(person.recordID()) + '\x1f' + person.name();
        for (const auto& number : person.numSet()) text += '\x1f' + number;
        return text + '\x1e';
    };
    if (settings.selectedPerson) inputs.people.append("P").append(describe(*settings.selectedPerson));
    for (const Person& person : settings.excludedPersonArray) inputs.people.append("X").append(describe(person));
    inputs.counterDatabase = FileIdentity::of(data_.counterDatabasePath());
    inputs.addressBook = FileIdentity::of(data_.addressBookPath());
    return inputs;
}

void MainScreenController::updateMessageCount() { startCount(CountReason::Screen); }

void MainScreenController::startCount(CountReason reason) {
    // A count while a sync runs would count the database before the sync's
    // copies and show a number that was never right (a 0 at launch); the
    // sync's end counts again, with whatever the filters are by then.
    // A root without a phone has nothing to count.
    if (pendingSyncs_ > 0 || !holdsPhoneData_) return;
    CountInputs inputs = currentCountInputs();
    // File times are the system's, whatever clock the screen runs on.
    const auto now = std::chrono::system_clock::now();
    // A file changed within the clock's last tick may change again unseen.
    const bool settled = !inputs.counterDatabase.isRecent(now) && !inputs.addressBook.isRecent(now);
    // The last count (shown or under way) stands while nothing it depends on
    // changed; a failed one is tried again, since what made it fail (a lock
    // held too long, a file being replaced) may have passed.
    if (settled && lastCountInputs_ && *lastCountInputs_ == inputs && !model_->countFailed()) return;
    lastCountInputs_ = std::move(inputs);
    // A count the screen asked for and this one replaces is answered by it.
    if (countSequence_ != shownCountSequence_ && countReason_ == CountReason::Screen) reason = CountReason::Screen;
    countReason_ = reason;
    const std::uint64_t sequence = ++countSequence_;
    // The work gets its own copies: the screens may change the model while
    // it runs.
    work_->run<MainScreenData::Count>(
        [data = data_, settings = model_->settings()] { return data.count(settings); },
        [this, sequence, reason](MainScreenData::Count result) { showCount(sequence, reason, std::move(result)); });
}

void MainScreenController::showCount(std::uint64_t sequence, CountReason reason, MainScreenData::Count result) {
    if (sequence != countSequence_) return;  // a newer count is under way
    shownCountSequence_ = sequence;
    if (!result.count && reason == CountReason::Followed) {
        // Most likely the writer still holds the database (a long import):
        // the last total stands until the writer's commit, whose changes
        // are followed, or the screen's next count, counts again. A
        // database that stays unreadable is told at the next activation.
        lastCountInputs_.reset();
        return;
    }
    if (!result.count) {
        // No total, and so no messages behind one: the list is emptied
        // rather than left with the records of an older count.
        emit recordsReady({});
        model_->setCountFailure(result.count.failure());
        // Once for a run of failed counts: every activation recounts, and
        // would otherwise bring the box back.
        if (countFailureShown_) return;
        countFailureShown_ = true;
        ProgramLog::failure("counting the messages of the period", result.count.failure());
        emit alert(Alert::CountFailed, QString::fromStdString(result.count.failure()));
        return;
    }
    countFailureShown_ = false;
    // The list may be open (an activation recounts under it): it gets the
    // records behind the new total at once.
    emit recordsReady(result.records);
    model_->setMessageCount(result.count.value());
}

// --- Chart and report --------------------------------------------------------

void MainScreenController::showChart() {
    emit busyStarted(Busy::Chart);
    generateChart();
}

void MainScreenController::showReport() {
    emit busyStarted(Busy::Report);
    generateReport();
}

void MainScreenController::generateChart() {
    const std::uint64_t sequence = ++chartSequence_;
    const MainScreenSettings settings = model_->settings();
    work_->run<MainScreenData::Chart>([data = data_, settings] { return data.chart(settings); },
                                      [this, sequence, settings](MainScreenData::Chart chart) {
                                          if (sequence != chartSequence_) return;
                                          emit busyEnded(Busy::Chart);
                                          emit chartReady(chart, settings.messageType, settings.from, settings.to);
                                      });
}

void MainScreenController::generateReport() {
    const std::uint64_t sequence = ++reportSequence_;
    const MainScreenSettings settings = model_->settings();
    using Months = std::vector<MonthlyReport::MonthRow>;
    work_->run<Months>(
        // The locale is read here, on the UI thread, where it is set.
        [data = data_, settings, locale = QLocale()] { return data.report(settings, locale); },
        [this, sequence, settings](Months months) {
            if (sequence != reportSequence_) return;
            emit busyEnded(Busy::Report);
            emit reportReady(months, settings.from, settings.to);
        });
}

// --- Clear DB and save -------------------------------------------------------

void MainScreenController::clearDB() {
    // Delete, marker reset and resync happen under one hold of the data
    // lock, so a sync of the daemon cannot slip in between and have its
    // messages copied twice. All of it, and the person list of the resynced
    // database, runs off the UI thread: a resync copies every message again.
    ++pendingLoads_;
    ++pendingSyncs_;
    work_->run<MainScreenData::Cleared>([data = data_] { return data.clearAndResync(); },
                                        [this](MainScreenData::Cleared result) {
                                            --pendingLoads_;
                                            --pendingSyncs_;
                                            showClearOutcome(std::move(result));
                                        });
}

void MainScreenController::showClearOutcome(MainScreenData::Cleared result) {
    if (!result.outcome.cleared) {
        emit alert(Alert::ClearFailed, QString());
        return;
    }
    emit alert(Alert::Cleared, QString());
    model_->setSelectedPerson(std::nullopt);
    saveLastDate();
    emit alert(Alert::Resyncing, QString());
    reportSync(result.outcome.sync);
    // The new list recounts against the resynced database and redraws.
    model_->setPersonArray(std::move(result.persons));
}

void MainScreenController::saveLastDate() {
    // As the settings' own save does, but the badge's count, a read over the
    // whole period, runs off the UI thread; the settings file is written at
    // once, since the next activation reads it back.
    setBadge_(0);
    model_->storeLastDate(clock_());
    const std::uint64_t sequence = ++badgeSequence_;
    pendingBadge_.reset();
    if (model_->badgeType() == BadgeType::Off || !holdsPhoneData_) return;
    // Filled by the work, read here only once the work is done.
    auto counted = std::make_shared<std::optional<int>>();
    pendingBadge_ = counted;
    // A count that fails leaves the 0 the save has just set.
    work_->run<std::optional<int>>(
        [data = data_, settings = model_->settings(), counted] {
            if (const Counted<int> count = data.badgeCount(settings)) *counted = count.value();
            return *counted;
        },
        [this, sequence](std::optional<int> count) {
            if (sequence != badgeSequence_) return;  // a later save counts again
            pendingBadge_.reset();
            if (count) setBadge_(*count);
        });
}
