// Every message counted exactly once, whatever happens in between: a seed
// picks a phone (one of the four sms.db layouts) and a sequence of phone
// events (messages now, in one second, dated in the past or the future, at
// the end of the date range, rows deleted, the file replaced by a newer
// backup, an older backup or another phone's, a backlog of 20,000), syncs
// (one, two at once, the badge daemon) and failures (a sync killed at a
// chosen write, a disk full for good or for a few writes).
// After every step the counter database is compared with ExactlyOnceModel;
// a mismatch prints the seed and the whole sequence so it can be replayed.
//
//   ctest -R ExactlyOnce                      the slices of the fixed seed range, and the regressions
//   scripts/soak build/asan 5000              thousands more, printing the failing seeds
//   BRINDLEX_EXACTLY_ONCE_SEEDS=FIRST:COUNT   the soak test's range (tests_fault --gtest_filter=ExactlyOnceSoak.*)

#include "ExactlyOnceModel.h"
#include "FaultRun.h"
#include "common/PhoneProfile.h"

#include "platform/DevicePaths.h"
#include "platform/SqliteDatabase.h"
#include "platform/SqliteStatement.h"
#include "platform/dbus/BadgeWatcher.h"
#include "support/TempDeviceRoot.h"
#include "tools/fixtures/DeviceFixture.h"
#include "tools/fixtures/SmsDatabaseFixture.h"
#include "tools/fixtures/SmsDatabaseSchema.h"

#include <QtCore/qtestsupport_core.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <map>
#include <ostream>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr std::int64_t kEpoch2001 = 978307200;
constexpr std::int64_t kDay = 86400;
constexpr std::array<const char*, 4> kVersions = {"5.1.1", "6.1.3", "14.3", "17.1"};
constexpr std::array<const char*, 4> kAddresses = {"+14155550100", "+14155550101", "+447700900123", "5550123"};

// A sync of a few messages writes about this often under the device root
// (counter database, its journal, the lock and the settings file); kills
// and full disks fall on any of them, or just past the last.
constexpr int kSyncWrites = 27;

// The fixed range ctest runs, in slices that run in parallel.
constexpr int kSlices = 4;
constexpr std::uint64_t kSeedsPerSlice = 50;
// One sequence in this many runs the badge daemon: such a step waits about
// 4 s for the daemon's delayed syncs.
constexpr std::uint64_t kDaemonEvery = 40;
// One sequence in this many meets a backlog: a phone's history arriving at
// once, more rows than SQLite's page cache holds, so the sync's inserts
// write part-way, and a disk that is full for a single write just then.
constexpr std::uint64_t kBacklogEvery = 20;
constexpr int kBacklog = 20000;
constexpr int kBacklogPerSecond = 100;

enum class Step {
    Receive,
    Send,
    SameSecond,
    PastDated,
    FutureDated,
    EndOfRange,
    Delete,
    PhoneCommand,
    NewerBackup,
    OlderBackup,
    OtherPhone,
    Sync,
    TwoSyncs,
    KilledSync,
    FullDisk,
    Daemon,
    Backlog,
};

constexpr std::array<const char*, 17> kStepNames = {
    "receive",   "send",          "same-second",  "past-dated",   "future-dated", "end-of-range",
    "delete",    "phone-command", "newer-backup", "older-backup", "other-phone",  "sync",
    "two-syncs", "killed-sync",   "full-disk",    "daemon",       "backlog"};

constexpr const char* kFullDiskFault = "full disk: markers moved over rows that were rolled back";

const char* nameOf(Step step) { return kStepNames[static_cast<std::size_t>(step)]; }

// How often each step is drawn, out of the sum; the daemon is placed apart.
const std::vector<std::pair<Step, int>> kWeights = {
    {Step::Receive, 14},   {Step::Send, 10},  {Step::SameSecond, 6},   {Step::PastDated, 5},   {Step::FutureDated, 3},
    {Step::EndOfRange, 1}, {Step::Delete, 4}, {Step::PhoneCommand, 2}, {Step::NewerBackup, 2}, {Step::OlderBackup, 2},
    {Step::OtherPhone, 1}, {Step::Sync, 22},  {Step::TwoSyncs, 5},     {Step::KilledSync, 6},  {Step::FullDisk, 5},
};

// The time each kind of step took, over every sequence of the process.
struct StepTimes {
    std::map<std::string, std::pair<int, double>> byKind;  // count, milliseconds

    void add(const std::string& kind, double ms) {
        auto& entry = byKind[kind];
        ++entry.first;
        entry.second += ms;
    }
    std::string summary() const {
        std::ostringstream out;
        for (const auto& [kind, entry] : byKind)
            out << "  " << kind << ": " << entry.first << " steps, " << static_cast<int>(entry.second / entry.first)
                << " ms each\n";
        return out.str();
    }
};

StepTimes& stepTimes() {
    static StepTimes times;
    return times;
}

// Every step commits to SQLite, which syncs the file to its disk: in memory
// a sequence runs in half the time.
fs::path memoryBackedFolder() {
    std::error_code ignored;
    return fs::is_directory("/dev/shm", ignored) && ::access("/dev/shm", W_OK) == 0 ? fs::path("/dev/shm")
                                                                                    : fs::temp_directory_path();
}

// One seeded sequence on a device root of its own.
class SequenceRun {
public:
    explicit SequenceRun(std::uint64_t seed) : seed_(seed), random_(seed), root_(memoryBackedFolder()) {}

    // Empty when the sequence kept the promise; else the report to replay it.
    std::string run() {
        version_ = kVersions[pick(kVersions.size())];
        if (!setUp()) return report();
        const std::vector<Step> steps = draw();
        for (std::size_t i = 0; i < steps.size() && problems_.empty() && harnessError_.empty(); ++i) {
            const auto start = std::chrono::steady_clock::now();
            done_.push_back(steps[i]);
            perform(steps[i]);
            if (steps[i] <= Step::PhoneCommand) maybeKeepSnapshot();
            stepTimes().add(
                nameOf(steps[i]),
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
            check();
        }
        if (problems_.empty() && harnessError_.empty()) {
            done_.push_back(Step::Sync);
            log("end: one clean sync");
            sync(Step::Sync);
            check();
        }
        return problems_.empty() && harnessError_.empty() ? std::string() : report();
    }

private:
    std::size_t pick(std::size_t count) { return std::uniform_int_distribution<std::size_t>(0, count - 1)(random_); }
    int between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
    bool chance(int percent) { return between(1, 100) <= percent; }

    // Each seed leaves some kinds of step out: the date faults of today's
    // sync show up in nearly every sequence that has them, and would hide
    // what only a full disk, a kill or a replaced file does. Messages
    // through the phone simulator are dated by the wall clock, which the
    // test's own dates may have passed, so they come only with back-dated
    // ones.
    std::vector<Step> draw() {
        std::set<Step> leftOut;
        for (const auto& [step, weight] : kWeights)
            if (step != Step::Receive && step != Step::Send && step != Step::Sync && chance(40)) leftOut.insert(step);
        if (leftOut.count(Step::PastDated)) leftOut.insert(Step::PhoneCommand);
        sharedSeconds_ = !leftOut.count(Step::SameSecond);
        int total = 0;
        for (const auto& [step, weight] : kWeights) total += leftOut.count(step) ? 0 : weight;
        std::vector<Step> steps;
        const int length = between(8, 20);
        for (int i = 0; i < length; ++i) {
            int roll = between(1, total);
            for (const auto& [step, weight] : kWeights) {
                if (leftOut.count(step) || (roll -= weight) > 0) continue;
                steps.push_back(step);
                break;
            }
        }
        if (seed_ % kDaemonEvery == kDaemonEvery - 1)
            steps.insert(steps.begin() + static_cast<long>(pick(steps.size() + 1)), Step::Daemon);
        if (seed_ % kBacklogEvery == kBacklogEvery / 2) {
            const auto at = steps.begin() + static_cast<long>(pick(steps.size() + 1));
            steps.insert(steps.insert(at, Step::FullDisk), Step::Backlog);
        }
        return steps;
    }

    bool setUp() {
        std::string error;
        if (!DeviceFixture::createDeviceRoot(root_.path(), version_, &error)) return fail(error);
        columnSet_ = DeviceFixture::columnSetForVersion(version_);
        smsPath_ = DevicePaths::smsDatabase();
        scratch_ = root_.path() + "/scratch";
        fs::create_directories(scratch_);
        // Dated an hour ago and moving on a second or two per message, the
        // messages stay before the phone simulator's "now".
        clock_ = std::time(nullptr) - 3600;
        keepSnapshot();
        return true;
    }

    bool fail(const std::string& error) {
        if (harnessError_.empty()) harnessError_ = error;
        return false;
    }

    // --- phone events -------------------------------------------------------

    void perform(Step step) {
        switch (step) {
        case Step::Receive:
        case Step::Send: storeNow(step == Step::Send, "", clock_ += advance()); return;
        case Step::SameSecond: {
            clock_ += advance();
            const int count = between(2, 4);
            for (int i = 0; i < count; ++i) storeNow(chance(50), "same second", clock_);
            return;
        }
        case Step::PastDated: {
            const bool years = chance(40);
            const int back = years ? between(1, 10) : between(1, 30);
            storeNow(chance(50), "dated " + std::to_string(back) + (years ? " years" : " days") + " back",
                     clock_ - back * (years ? 365 * kDay : kDay));
            return;
        }
        case Step::FutureDated: {
            const int ahead = between(1, 400);
            storeNow(chance(50), "dated " + std::to_string(ahead) + " days ahead", clock_ + ahead * kDay);
            return;
        }
        case Step::EndOfRange: storeAtEndOfRange(); return;
        case Step::Delete: deleteOne(); return;
        case Step::PhoneCommand: phoneCommand(); return;
        case Step::NewerBackup: newerBackup(); return;
        case Step::OlderBackup: olderBackup(); return;
        case Step::OtherPhone: otherPhone(); return;
        case Step::Sync:
        case Step::TwoSyncs:
        case Step::KilledSync:
        case Step::FullDisk: sync(step); return;
        case Step::Daemon: daemon(); return;
        case Step::Backlog: backlog(); return;
        }
    }

    // With shared seconds, four messages in ten share the second of the one
    // before; else each has a second of its own.
    std::int64_t advance() {
        const int roll = between(1, 10);
        if (!sharedSeconds_) return roll <= 8 ? 1 : between(2, 5);
        return roll <= 4 ? 0 : roll <= 8 ? 1 : between(2, 5);
    }

    FixtureMessage nextMessage(bool sent, std::int64_t date) {
        const std::string text = "s" + std::to_string(seed_) + "-m" + std::to_string(++messages_);
        return {kAddresses[pick(kAddresses.size())], text, date, sent, "SMS"};
    }

    void remember(long long rowid, const FixtureMessage& message, std::int64_t countedDate) {
        model_.stored(rowid, *message.text, {message.address, countedDate, message.sent ? 3 : 2});
        origin_.emplace(*message.text, done_.size() - 1);
    }

    std::string describe(const FixtureMessage& message, long long rowid) const {
        return std::string(message.sent ? "sent " : "received ") + *message.text + " rowid " + std::to_string(rowid) +
               " date " + std::to_string(message.unixDate);
    }

    // A message stored in `path` (sms.db unless given) dated `date`.
    long long storeNow(bool sent, const std::string& what, std::int64_t date, const std::string& path = {}) {
        const FixtureMessage message = nextMessage(sent, date);
        SmsDatabaseFixture sms(path.empty() ? smsPath_ : path);
        const long long rowid = sms.storeMessage(message);
        if (rowid < 0) {
            fail(sms.lastError());
            return -1;
        }
        remember(rowid, message, date);
        log(describe(message, rowid) + (what.empty() ? "" : " (" + what + ")"));
        return rowid;
    }

    // The largest date the schema's column holds that still gives a Unix
    // date: the sync reads seconds before 6.0 and from 6.0 to 10 (since
    // 2001), nanoseconds since 2001 from 11 on.
    void storeAtEndOfRange() {
        std::int64_t platformDate = INT64_MAX;
        std::int64_t counted = INT64_MAX;
        if (columnSet_ && SmsDatabaseSchema::usesNanoseconds(*columnSet_))
            counted = INT64_MAX / 1000000000 + kEpoch2001;
        else if (columnSet_)
            platformDate = INT64_MAX - kEpoch2001;
        FixtureMessage message = nextMessage(chance(50), counted);
        SmsDatabaseFixture sms(smsPath_);
        const long long rowid = sms.storeAtPlatformDate(message, platformDate);
        if (rowid < 0) return static_cast<void>(fail(sms.lastError()));
        remember(rowid, message, counted);
        log(describe(message, rowid) + " (the end of the date range, stored as " + std::to_string(platformDate) + ")");
    }

    // The history of a phone in one transaction, a hundred messages a
    // second, both directions.
    void backlog() {
        std::vector<FixtureMessage> batch;
        batch.reserve(kBacklog);
        const std::int64_t first = clock_ + 1;
        for (int i = 0; i < kBacklog; ++i) batch.push_back(nextMessage(i % 3 == 0, first + i / kBacklogPerSecond));
        clock_ = batch.back().unixDate;
        SmsDatabaseFixture sms(smsPath_);
        if (!sms.storeMessages(batch)) return static_cast<void>(fail(sms.lastError()));
        std::map<std::string, long long> rowids;
        SqliteDatabase db;
        SqliteStatement rows;
        if (!db.open(smsPath_, SqliteDatabase::Mode::ReadOnly) ||
            !rows.prepare(db, "SELECT ROWID, text FROM message WHERE ROWID >= (SELECT max(ROWID) FROM message) - ?1"))
            return static_cast<void>(fail("reading back the backlog: " + db.lastError()));
        rows.bindInt(1, kBacklog);
        while (rows.step() == SqliteStatement::Step::Row) rowids[rows.columnString(1)] = rows.columnInt(0);
        for (const FixtureMessage& message : batch) {
            const auto rowid = rowids.find(*message.text);
            if (rowid == rowids.end()) return static_cast<void>(fail("the backlog lacks " + *message.text));
            remember(rowid->second, message, message.unixDate);
        }
        backlogPending_ = true;
        log("a backlog of " + std::to_string(kBacklog) + " messages, " + *batch.front().text + " to " +
            *batch.back().text + ", dated " + std::to_string(first) + " to " + std::to_string(clock_));
    }

    void deleteOne() {
        const auto& rows = model_.phone();
        if (rows.empty()) return log("nothing to delete");
        auto row = rows.begin();
        std::advance(row, static_cast<long>(pick(rows.size())));
        const long long rowid = row->first;
        const std::string text = row->second;
        SmsDatabaseFixture sms(smsPath_);
        if (!sms.deleteMessage(rowid)) return static_cast<void>(fail(sms.lastError()));
        model_.deleted(rowid);
        log("deleted " + text + " rowid " + std::to_string(rowid));
    }

    // The phone simulator stores a message dated now (and posts its
    // notification, which nobody hears here).
    void phoneCommand() {
        FixtureMessage message = nextMessage(chance(50), 0);
        const auto result = fault::run(
            {"brindlex-phone", message.sent ? "send" : "receive", message.address, *message.text}, withRoot({}));
        if (result.status != 0) return static_cast<void>(fail("brindlex-phone: " + result.stderrText));
        const auto stored = findStored(*message.text);
        if (!stored) return static_cast<void>(fail("brindlex-phone stored no row for " + *message.text));
        message.unixDate = stored->second;
        remember(stored->first, message, message.unixDate);
        clock_ = std::max(clock_, message.unixDate);
        log(describe(message, stored->first) + " (brindlex-phone)");
    }

    // ROWID and Unix date of the row holding `text`.
    std::optional<std::pair<long long, std::int64_t>> findStored(const std::string& text) const {
        SqliteDatabase db;
        SqliteStatement find;
        if (!db.open(smsPath_, SqliteDatabase::Mode::ReadOnly) ||
            !find.prepare(db, "SELECT ROWID, date FROM message WHERE text = ?1"))
            return std::nullopt;
        find.bindText(1, text);
        if (find.step() != SqliteStatement::Step::Row) return std::nullopt;
        const std::int64_t date = find.columnInt(1);
        return std::make_pair(static_cast<long long>(find.columnInt(0)),
                              columnSet_ ? SmsDatabaseSchema::unixDate(*columnSet_, date) : date);
    }

    // --- the file replaced --------------------------------------------------

    // As a restore writes it: the new file renamed over the old, with no
    // journal of the old one left beside it.
    bool putInPlace(const std::string& file) {
        std::error_code ignored;
        for (const char* suffix : {"-journal", "-wal", "-shm"}) fs::remove(smsPath_ + suffix, ignored);
        std::error_code failed;
        fs::rename(file, smsPath_, failed);
        return !failed || fail("renaming " + file + ": " + failed.message());
    }

    void addNewMessages(const std::string& file, int low, int high) {
        const int count = between(low, high);
        for (int i = 0; i < count && harnessError_.empty(); ++i) storeNow(chance(50), "", clock_ += advance(), file);
    }

    std::string nextScratch() { return scratch_ + "/file" + std::to_string(++files_) + ".db"; }

    // A newer backup imported: the same rows with the same ROWIDs and
    // guids, and new ones after them.
    void newerBackup() {
        const std::string file = nextScratch();
        SmsDatabaseFixture sms(smsPath_);
        if (!sms.copyTo(file)) return static_cast<void>(fail(sms.lastError()));
        log("a newer backup imported: the same " + std::to_string(model_.phone().size()) + " rows, and");
        addNewMessages(file, 1, 3);
        putInPlace(file);
    }

    // Restored from an older backup: rows gone, and the new messages take
    // ROWIDs that earlier messages had.
    void olderBackup() {
        const auto& [snapshot, rows] = snapshots_[pick(snapshots_.size())];
        const std::string file = nextScratch();
        std::error_code failed;
        fs::copy_file(snapshot, file, failed);
        if (failed) return static_cast<void>(fail("copying " + snapshot + ": " + failed.message()));
        std::string texts;
        for (const auto& [rowid, text] : rows) texts += " " + text;
        log("restored from an older backup of " + std::to_string(rows.size()) + " rows:" + texts + "; then");
        model_.replaced(rows);
        addNewMessages(file, 1, 3);
        putInPlace(file);
    }

    // Another phone's file, with messages of its own.
    void otherPhone() {
        const std::string file = nextScratch();
        SmsDatabaseFixture sms(file);
        if (!sms.createForVersion(version_)) return static_cast<void>(fail(sms.lastError()));
        log("a different phone's sms.db:");
        model_.replaced({});
        addNewMessages(file, 1, 4);
        putInPlace(file);
        snapshots_.clear();
        keepSnapshot();
    }

    void keepSnapshot() {
        const std::string file = scratch_ + "/snapshot" + std::to_string(snapshots_.size()) + ".db";
        SmsDatabaseFixture sms(smsPath_);
        if (!sms.copyTo(file)) return static_cast<void>(fail(sms.lastError()));
        snapshots_.emplace_back(file, model_.phone());
    }

    // Backups taken now and then, for a later restore.
    void maybeKeepSnapshot() {
        if (snapshots_.size() < 4 && chance(25)) keepSnapshot();
    }

    // --- syncs ----------------------------------------------------------------

    fault::RunOptions withRoot(fault::RunOptions options) const {
        options.environment["BRINDLEX_DEVICE_ROOT"] = root_.path();
        return options;
    }

    fault::RunOptions shim(const std::string& under) const {
        fault::RunOptions options;
        options.environment = {{"LD_PRELOAD", fault::binDirectory() + "/../lib/libbrindlex_failing_writes.so"},
                               {"BRINDLEX_FAIL_UNDER", under}};
        return withRoot(options);
    }

    static std::string firstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

    // A run without injected faults that does not complete breaks the
    // promise as much as a lost message does.
    void expectCompleted(const fault::RunResult& result, const std::string& what) {
        if (result.status != 0)
            problem("a sync failed", what + " ended with status " + std::to_string(result.status) + " signal " +
                                         std::to_string(result.signal) + ": " + firstLine(result.stderrText));
    }

    void expectNoSanitizerReport(const fault::RunResult& result) {
        if (result.stderrText.find("Sanitizer") != std::string::npos) problem("sanitizer report", result.stderrText);
    }

    void problem(const std::string& fault, const std::string& line) {
        if (problems_.empty()) fault_ = fault;
        problems_.push_back(line);
    }

    void sync(Step step) {
        // Nothing changes sms.db while the syncs run, so what it holds now is
        // what each of them starts from.
        const ExactlyOnceModel::PhoneRows present = model_.phone();
        const bool backlog = std::exchange(backlogPending_, false);
        switch (step) {
        case Step::TwoSyncs: {
            fault::Child first({"brindlex-ledger", "sync"}, withRoot({}));
            fault::Child second({"brindlex-ledger", "sync"}, withRoot({}));
            const auto one = first.finish();
            const auto two = second.finish();
            log("two syncs at once: exit " + std::to_string(one.status) + " and " + std::to_string(two.status));
            for (const auto& result : {one, two}) {
                expectNoSanitizerReport(result);
                expectCompleted(result, "one of two syncs at once");
            }
            if (one.status == 0 || two.status == 0) model_.completedSyncOf(present);
            return;
        }
        case Step::KilledSync: {
            const int write = between(1, kSyncWrites + 3);
            fault::RunOptions options = shim(root_.path());
            options.environment["BRINDLEX_KILL_AT_WRITE"] = std::to_string(write);
            const auto result = fault::run({"brindlex-ledger", "sync"}, options);
            expectNoSanitizerReport(result);
            if (result.signal == SIGKILL) {
                killed_.insert(done_.size() - 1);
                return log("sync killed at its write " + std::to_string(write));
            }
            log("sync with a kill at write " + std::to_string(write) + ": exit " + std::to_string(result.status) +
                ", fewer writes");
            expectCompleted(result, "a sync that was not killed");
            if (result.status == 0) model_.completedSyncOf(present);
            return;
        }
        case Step::FullDisk: {
            // Full for good, or for a few writes until space is freed.
            // A backlog not copied yet makes the sync write part-way through
            // its inserts, far past the writes of a small one.
            const int after = backlog ? between(10, 150) : between(0, kSyncWrites + 3);
            const int failing = backlog ? 1 : chance(50) ? between(1, 3) : 0;
            const bool fsync = failing == 0 && chance(50);
            fault::RunOptions options = shim(DevicePaths::dataDirectory());
            options.environment["BRINDLEX_FAIL_AFTER"] = std::to_string(after);
            options.environment["BRINDLEX_FAIL_FSYNC"] = fsync ? "1" : "0";
            if (failing > 0) options.environment["BRINDLEX_FAIL_COUNT"] = std::to_string(failing);
            const auto result = fault::run({"brindlex-ledger", "sync"}, options);
            expectNoSanitizerReport(result);
            // Never counted as completed: it may have lost writes it did
            // not notice.
            log("sync on a disk full after " + std::to_string(after) + " writes" +
                (failing > 0 ? " for " + std::to_string(failing) + " writes" : "") + (fsync ? " (fsync fails)" : "") +
                ": exit " + std::to_string(result.status) + " " + firstLine(result.stderrText));
            return;
        }
        default: {
            const auto result = fault::run({"brindlex-ledger", "sync"}, withRoot({}));
            log("exit " + std::to_string(result.status));
            expectNoSanitizerReport(result);
            expectCompleted(result, "a sync");
            if (result.status == 0) model_.completedSyncOf(present);
        }
        }
    }

    // The badge daemon on the test's session bus: its start-up sync, then one
    // message through the phone simulator and the sync its notification
    // starts. Each sync ends with a badge update, which tells that it ran.
    void daemon() {
        std::size_t badges = 0;
        BadgeWatcher watcher([&](const QString&, qint64, bool) { ++badges; });
        if (!watcher.start()) return static_cast<void>(fail("no session bus for the badge watcher"));
        ExactlyOnceModel::PhoneRows present = model_.phone();
        fault::Child badged({"brindlex-badged"}, withRoot({}));
        const auto waitForBadge = [&](std::size_t count) {
            return QTest::qWaitFor([&] { return badges >= count || !badged.running(); }, 20000) && badges >= count;
        };
        if (!waitForBadge(1)) {
            const auto result = badged.finish(SIGKILL);
            return static_cast<void>(fail("the daemon set no badge at start: " + result.stderrText));
        }
        model_.completedSyncOf(present);
        // Received: the daemon copies 2 s after the notification (after a
        // sent one it waits a minute).
        FixtureMessage message = nextMessage(false, 0);
        const auto phone = fault::run({"brindlex-phone", "receive", message.address, *message.text}, withRoot({}));
        const auto stored = findStored(*message.text);
        if (phone.status != 0 || !stored) {
            badged.finish(SIGKILL);
            return static_cast<void>(fail("brindlex-phone: " + phone.stderrText));
        }
        message.unixDate = stored->second;
        remember(stored->first, message, message.unixDate);
        clock_ = std::max(clock_, message.unixDate);
        present = model_.phone();
        const bool synced = waitForBadge(2);
        const auto result = badged.finish(SIGTERM);
        log("daemon: start-up sync, then " + describe(message, stored->first) + " through brindlex-phone, " +
            (synced ? "synced" : "no badge after it"));
        expectNoSanitizerReport(result);
        if (!synced)
            return static_cast<void>(fail("the daemon set no badge after the notification: " + result.stderrText));
        model_.completedSyncOf(present);
    }

    // --- the check ------------------------------------------------------------

    // Opened for writing, as the next sync opens it: a journal a killed or
    // failed sync left behind is played back first.
    std::vector<CountedRow> countedRows() {
        std::vector<CountedRow> rows;
        const std::string path = PhoneProfile::find().counterDatabase();
        if (!fs::exists(path)) return rows;
        SqliteDatabase db;
        SqliteStatement select;
        if (!db.open(path, SqliteDatabase::Mode::ReadWrite) ||
            !select.prepare(db, "SELECT address, date, text, flags FROM message ORDER BY rowid")) {
            problem("unreadable counter database", "the counter database cannot be read: " + db.lastError());
            return rows;
        }
        while (select.step() == SqliteStatement::Step::Row) {
            CountedRow row{select.columnString(0), select.columnInt(1), std::nullopt,
                           static_cast<int>(select.columnInt(3))};
            if (!select.columnIsNull(2)) row.text = select.columnString(2);
            rows.push_back(row);
        }
        return rows;
    }

    void check() {
        for (const Mismatch& mismatch : model_.mismatches(countedRows())) problem(faultOf(mismatch), mismatch.line);
    }

    // What kind of fault a mismatch shows, told by the step that stored the
    // message and what happened since.
    std::string faultOf(const Mismatch& mismatch) const {
        const auto origin = origin_.find(mismatch.text);
        const std::size_t since = origin == origin_.end() ? 0 : origin->second;
        const Step from = since < done_.size() ? done_[since] : Step::Receive;
        const auto happened = [&](std::initializer_list<Step> kinds) {
            for (std::size_t i = since; i < done_.size(); ++i)
                if (std::find(kinds.begin(), kinds.end(), done_[i]) != kinds.end()) return true;
            return false;
        };
        const bool replaced = happened({Step::NewerBackup, Step::OlderBackup, Step::OtherPhone});
        const bool fullDisk = happened({Step::FullDisk});
        const bool killed = killed_.lower_bound(since) != killed_.end();
        const std::string stored = std::string(" (stored by a ") + nameOf(from) + " step)";
        switch (mismatch.kind) {
        case Mismatch::Kind::NeverHeld: return "counted a message the phone never held";
        case Mismatch::Kind::Wrong: return "counted with other fields" + stored;
        case Mismatch::Kind::Twice:
            if (from == Step::EndOfRange) return "end-of-range row copied again by every sync";
            if (replaced) return "replaced file: copied twice";
            if (fullDisk) return "full disk: copied twice";
            if (killed) return "killed sync: copied twice";
            return "copied twice" + stored;
        case Mismatch::Kind::Lost: break;
        }
        switch (mismatch.date) {
        case Mismatch::Date::SameSecond: return "same-second loss";
        case Mismatch::Date::HeldBackByFuture:
            return mismatch.newest > std::time(nullptr) + 100 * 365 * kDay
                       ? "end-of-range row holds back every later message"
                       : "future-dated row holds back every later message";
        case Mismatch::Date::BeforeNewest:
            if (from == Step::PastDated) return "back-dated row lost";
            if (replaced) return "replaced file, lost: dated before the newest counted";
            if (fullDisk) return kFullDiskFault;
            return "back-dated row lost" + stored;
        default:
            if (fullDisk) return kFullDiskFault;
            if (killed) return "killed sync, lost";
            if (replaced) return "replaced file, lost";
            return "lost" + stored;
        }
    }

    void log(const std::string& line) {
        const std::string step = done_.empty() ? "set-up" : std::to_string(done_.size()) + " " + nameOf(done_.back());
        log_.push_back(step + ": " + line);
    }

    std::string report() const {
        std::ostringstream out;
        const std::string first =
            harnessError_.empty() ? fault_ + ": " + problems_.front() : "the test itself failed: " + harnessError_;
        out << "EXACTLY-ONCE FAILING SEED " << seed_ << " (system " << version_ << ") " << first << "\n";
        out << "sequence of seed " << seed_ << ", one line per step:\n";
        for (const std::string& line : log_) out << "  " << line << "\n";
        out << "what the counter database breaks:\n";
        // A backlog can lose thousands; the first few tell the story.
        constexpr std::size_t kShown = 20;
        for (std::size_t i = 0; i < problems_.size() && i < kShown; ++i) out << "  " << problems_[i] << "\n";
        if (problems_.size() > kShown) out << "  ... and " << problems_.size() - kShown << " more\n";
        return out.str();
    }

    std::uint64_t seed_;
    std::mt19937_64 random_;
    TempDeviceRoot root_;
    std::string version_;
    std::optional<SmsColumnSet> columnSet_;
    std::string smsPath_;
    std::string scratch_;
    std::int64_t clock_ = 0;
    bool sharedSeconds_ = true;
    bool backlogPending_ = false;  // a backlog not yet copied by a completed sync
    int messages_ = 0;
    int files_ = 0;
    std::vector<std::pair<std::string, ExactlyOnceModel::PhoneRows>> snapshots_;
    ExactlyOnceModel model_;
    std::vector<std::string> log_;               // one line per thing done, for the replay
    std::vector<Step> done_;                     // the steps so far, the final sync included
    std::map<std::string, std::size_t> origin_;  // message text to the index of the step that stored it
    std::set<std::size_t> killed_;               // steps whose sync was killed
    std::vector<std::string> problems_;
    std::string fault_;  // the kind of fault the first problem shows
    std::string harnessError_;
};

// Runs the seeds and reports each failing one with its sequence; the
// number that failed.
int runSeeds(std::uint64_t first, std::uint64_t count) {
    int failing = 0;
    for (std::uint64_t seed = first; seed < first + count; ++seed) {
        const std::string failure = SequenceRun(seed).run();
        if (failure.empty()) continue;
        ++failing;
        std::printf("%s", failure.c_str());
        std::fflush(stdout);
        ADD_FAILURE() << "seed " << seed << ":\n" << failure;
    }
    std::printf("[ timings  ] steps of seeds %llu to %llu:\n%s", static_cast<unsigned long long>(first),
                static_cast<unsigned long long>(first + count - 1), stepTimes().summary().c_str());
    return failing;
}

// The checker itself: each way of breaking the promise is told, and rows
// that keep it pass. A checker that let everything through would make every
// sequence pass.
TEST(ExactlyOnceModel, TellsEachWayTheRowsBreakThePromise) {
    const CountedRow a{"+14155550100", 1000, "a", 2}, a2{"+14155550101", 1000, "a2", 2};
    const CountedRow b{"+14155550101", 1000, "b", 3}, b2{"+14155550101", 1005, "b2", 3};
    const CountedRow c{"+14155550100", 1001, "c", 2}, late{"+14155550100", 1002, "late", 2};
    ExactlyOnceModel model;
    long long rowid = 0;
    for (const CountedRow& row : {a, a2, b, b2, c})
        model.stored(++rowid, *row.text, {row.address, row.date, row.flags});
    model.completedSyncOf(model.phone());
    model.deleted(5);
    model.stored(++rowid, *late.text, {late.address, late.date, late.flags});  // no sync since: may be missing

    EXPECT_TRUE(model.mismatches({a, a2, b, b2, c}).empty());
    EXPECT_TRUE(model.mismatches({c, late, b2, b, a2, a}).empty());

    using Kind = Mismatch::Kind;
    using Date = Mismatch::Date;
    struct Case {
        const char* what;
        std::vector<CountedRow> rows;
        Kind kind;
        Date date;
    };
    const Case cases[] = {
        {"twice", {a, a2, b, b2, c, a}, Kind::Twice, Date::Unknown},
        {"never held", {a, a2, b, b2, c, {"+14155550100", 1003, "z", 2}}, Kind::NeverHeld, Date::Unknown},
        {"no text", {a, a2, b, b2, c, {"+14155550100", 1003, std::nullopt, 2}}, Kind::NeverHeld, Date::Unknown},
        {"other address", {a, a2, b, b2, {"+14155550199", 1001, "c", 2}}, Kind::Wrong, Date::Unknown},
        {"other date", {a, a2, b, b2, {"+14155550100", 1002, "c", 2}}, Kind::Wrong, Date::Unknown},
        {"other direction", {a, a2, b, b2, {"+14155550100", 1001, "c", 3}}, Kind::Wrong, Date::Unknown},
        {"lost after the newest", {a, a2, b, b2}, Kind::Lost, Date::AfterNewest},
        {"lost beside one of its second", {a2, b, b2, c}, Kind::Lost, Date::SameSecond},
        {"lost before a newer one", {a, a2, b2, c}, Kind::Lost, Date::BeforeNewest},
    };
    for (const Case& broken : cases) {
        SCOPED_TRACE(broken.what);
        const auto found = model.mismatches(broken.rows);
        ASSERT_EQ(found.size(), 1u);
        EXPECT_EQ(found.front().kind, broken.kind);
        EXPECT_EQ(found.front().date, broken.date);
    }
    const auto none = model.mismatches({a, a2, c});
    ASSERT_EQ(none.size(), 2u);
    EXPECT_EQ(none.front().date, Date::NothingCounted);
}

class ExactlyOnceSlice : public ::testing::TestWithParam<int> {};

TEST_P(ExactlyOnceSlice, EverySequenceCountsEachMessageOnce) {
    const std::uint64_t first = 1 + static_cast<std::uint64_t>(GetParam()) * kSeedsPerSlice;
    RecordProperty("failingSeeds", runSeeds(first, kSeedsPerSlice));
}

INSTANTIATE_TEST_SUITE_P(Seeds, ExactlyOnceSlice, ::testing::Range(0, kSlices));

// Seeds that failed, with the fault each one shows: the first eight against
// the sync of date markers, the rest against the sync of the phone's
// numbering while it was being built.
struct Regression {
    std::uint64_t seed;
    const char* fault;
};

const Regression kRegressions[] = {
    {100088, "same-second loss (17.1): a message dated in the second of the newest copied one, stored after the sync"},
    {100599, "back-dated row lost (5.1.1): a message dated before the newest copied one"},
    {100455, "future-dated row (5.1.1): a message dated days ahead holds back every later one"},
    {100291, "end-of-range row (17.1): a date at the end of the column's range holds back every later message"},
    {100049, "end-of-range row (6.1.3): the marker saturates at the row's own date, so every sync copies it again"},
    {100310,
     "full disk (6.1.3): a backlog's sync fails one write, SQLite rolls the transaction back, the marker copy "
     "is written outside it and the next sync starts past the lost rows"},
    {100170, "full disk (17.1): the same as seed 100310 on a phone of today"},
    {100058,
     "replaced file (14.3): restored from an older backup, a message that was never copied comes back, "
     "dated before the newest copied one"},
    {100317,
     "restored phone (17.1): new messages numbered up to the mark again, the one under the mark's ROWID "
     "deleted; the phone's counter past the mark made the sync skip the messages below it"},
    {100142, "restored phone (14.3): the same as seed 100317"},
    {16, "end-of-range row (6.1.3): a 6.x date read as nanoseconds, stored 292 years early"},
    {103982,
     "restored phone (5.1.1): a new message under the mark's ROWID with the same second and party as the one "
     "the mark names was taken for it (no guid before 6.0)"},
    {101913, "restored phone (5.1.1): the same as seed 103982"},
};

void PrintTo(const Regression& regression, std::ostream* out) { *out << "seed " << regression.seed; }

class ExactlyOnceRegression : public ::testing::TestWithParam<Regression> {};

TEST_P(ExactlyOnceRegression, CountsEachMessageOnce) {
    const std::string failure = SequenceRun(GetParam().seed).run();
    EXPECT_TRUE(failure.empty()) << GetParam().fault << "\n" << failure;
}

INSTANTIATE_TEST_SUITE_P(FoundFailing, ExactlyOnceRegression, ::testing::ValuesIn(kRegressions),
                         [](const ::testing::TestParamInfo<Regression>& info) {
                             return "seed" + std::to_string(info.param.seed);
                         });

// The soak's range, FIRST:COUNT in BRINDLEX_EXACTLY_ONCE_SEEDS (scripts/soak).
TEST(ExactlyOnceSoak, SeedRangeFromTheEnvironment) {
    const char* range = std::getenv("BRINDLEX_EXACTLY_ONCE_SEEDS");
    if (!range) GTEST_SKIP() << "BRINDLEX_EXACTLY_ONCE_SEEDS=FIRST:COUNT not set; scripts/soak sets it";
    unsigned long long first = 0, count = 0;
    ASSERT_EQ(std::sscanf(range, "%llu:%llu", &first, &count), 2) << range;
    RecordProperty("failingSeeds", runSeeds(first, count));
}

}  // namespace
