// brindlex-phone import-backup --force cut short: killed at every rename,
// at points inside its copies, while a program recovers it, and stopped by
// SIGINT or SIGTERM. Whatever the point, the next start of a program leaves
// the device root wholly the old phone or wholly the new one, with nothing
// temporary left, and the next sync counts that phone's messages once.

#include "FaultRun.h"
#include "tools/BackupScenario.h"

#include "platform/DeviceRootJournal.h"
#include "platform/PropertyList.h"
#include "platform/SqliteDatabase.h"
#include "platform/SqliteStatement.h"
#include "support/TempDeviceRoot.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <random>

namespace fs = std::filesystem;
using namespace backup_scenario;

namespace {

constexpr int kOldMessages = 3;
constexpr int kNewMessages = 1500;  // a -wal of several chunks of the copy

enum class Holds { OldPhone, NewPhone, Neither };

long long countedIn(const std::string& counterDatabase) {
    SqliteDatabase db;
    SqliteStatement count;
    if (!db.open(counterDatabase, SqliteDatabase::Mode::ReadOnly) ||
        !count.prepare(db, "SELECT count(*) FROM message") || count.step() != SqliteStatement::Step::Row)
        return -1;
    return count.columnInt(0);
}

// The root without what readers leave beside a database they open (the
// counter database's -wal and -shm, the sync's lock file).
std::map<std::string, std::string> contents(const std::string& root) {
    auto entries = snapshot(root);
    std::erase_if(entries, [](const auto& entry) {
        const std::string& name = entry.first;
        return name.find("/Brindlex/ledgerwick") != std::string::npos &&
               (name.ends_with("-wal") || name.ends_with("-shm"));
    });
    return entries;
}

class InterruptedImportTest : public ::testing::Test {
protected:
    void SetUp() override {
        plain_.environment["BRINDLEX_DEVICE_ROOT"] = device_;
        plain_.environment["DBUS_SESSION_BUS_ADDRESS"] = "unix:path=/nonexistent/bus";
        make(parent_ + "/old", kPhoneA, {.messageCount = kOldMessages});
        ASSERT_EQ(fault::run({"brindlex-phone", "import-backup", parent_ + "/old"}, plain_).status, 0);
        ASSERT_EQ(fault::run({"brindlex-ledger", "sync"}, plain_).status, 0);
        fs::copy(device_, pristine_, fs::copy_options::recursive);
        before_ = contents(pristine_);

        const BackupFixture fresh = makeWithWal(parent_ + "/new", kPhoneB, kNewMessages);
        newSms_ = slurp(fresh.pathOf(BackupFixture::kHomeDomain, BackupFixture::kSmsDatabasePath));
        newWal_ = slurp(fresh.pathOf(BackupFixture::kHomeDomain, "Library/SMS/sms.db-wal"));
        ASSERT_GT(newWal_.size(), 4u << 16) << "the -wal must take several chunks to copy";
    }

    void resetRoot() {
        fs::remove_all(device_);
        fs::copy(pristine_, device_, fs::copy_options::recursive);
    }

    fault::RunResult forcedImport(const std::map<std::string, std::string>& fault) {
        fault::RunOptions options = plain_;
        options.environment.insert(fault.begin(), fault.end());
        options.environment.insert({{"LD_PRELOAD", fault::binDirectory() + "/../lib/libbrindlex_failing_writes.so"},
                                    {"BRINDLEX_FAIL_UNDER", device_}});
        return fault::run({"brindlex-phone", "import-backup", "--force", parent_ + "/new"}, options);
    }

    std::string data(const std::string& name) const { return device_ + "/private/var/mobile/Library/Brindlex/" + name; }

    // What the root holds, checked whole: the old phone's root exactly as it
    // was, or every file of the new phone with the old counts kept aside.
    Holds holds() {
        for (const auto& entry : snapshot(device_))
            for (const char* leftover : {DeviceRootJournal::kStagingFolderName, ".importing-", ".replaced-"})
                EXPECT_EQ(entry.first.find(leftover), std::string::npos) << entry.first;
        const auto record = PropertyList::readFromFile(data("phone.plist"));
        const auto udid = record ? record->stringValue("UniqueIdentifier") : std::nullopt;
        if (udid == kPhoneA) return contents(device_) == before_ ? Holds::OldPhone : Holds::Neither;
        if (udid != kPhoneB) return Holds::Neither;
        const std::string sms = device_ + "/private/var/mobile/Library/SMS/sms.db";
        bool kept = false;
        for (const auto& entry : fs::directory_iterator(data("")))
            kept |= entry.path().filename().string().find(kPhoneA) != std::string::npos;
        // Whether the markers went back to 0 with the rest shows in
        // expectCountsOf(): the new phone's older messages would be missing.
        const bool whole = slurp(sms) == newSms_ && slurp(sms + "-wal") == newWal_ &&
                           !fs::exists(device_ + "/private/var/mobile/Library/AddressBook/AddressBook.sqlitedb") &&
                           kept && fs::exists(data("properties.plist"));
        return whole ? Holds::NewPhone : Holds::Neither;
    }

    // The next sync counts the phone the root holds, each message once.
    void expectCountsOf(Holds holds) {
        ASSERT_EQ(fault::run({"brindlex-ledger", "sync"}, plain_).status, 0);
        EXPECT_EQ(countedIn(data("ledgerwick6.db")), holds == Holds::OldPhone ? kOldMessages : kNewMessages);
    }

    // Starts a program that only reads, so the root it leaves is what its
    // recovery made of it.
    void recoverWith(int which, const fault::RunOptions& options) {
        if (which % 2 == 0) {
            fault::run({"brindlex-ledger", "report", "--no-sync"}, options);
        } else {
            fault::run({"brindlex-phone", "contacts", "list"}, options);
        }
    }

    TempDeviceRoot scratch_;
    std::string parent_ = scratch_.path() + "/backups";
    std::string device_ = scratch_.path() + "/device";
    std::string pristine_ = scratch_.path() + "/pristine";
    fault::RunOptions plain_;
    std::map<std::string, std::string> before_;
    std::string newSms_, newWal_;
};

// Every rename of the import, and a kill before each: then a program starts.
TEST_F(InterruptedImportTest, KilledAtEveryRenameTheNextStartLeavesOnePhone) {
    int interrupted = 0;
    for (int rename = 1; rename < 100; ++rename) {
        SCOPED_TRACE("killed at rename " + std::to_string(rename));
        resetRoot();
        const auto result = forcedImport({{"BRINDLEX_KILL_AT_RENAME", std::to_string(rename)}});
        if (result.signal != SIGKILL) {
            ASSERT_EQ(result.status, 0) << result.stderrText;
            break;
        }
        ++interrupted;
        recoverWith(rename, plain_);
        const Holds now = holds();
        ASSERT_NE(now, Holds::Neither);
        expectCountsOf(now);
        // The owner tries again: the new phone, counted whole and once.
        ASSERT_EQ(fault::run({"brindlex-phone", "import-backup", "--force", parent_ + "/new"}, plain_).status, 0);
        EXPECT_EQ(holds(), Holds::NewPhone);
        expectCountsOf(Holds::NewPhone);
    }
    // The journal, the -wal, sms.db, the address book, the system version,
    // the phone record, the settings and the kept counter database.
    EXPECT_GE(interrupted, 8);
}

// Kills inside the copies of the -wal and sms.db, and at the journal's writes.
TEST_F(InterruptedImportTest, KilledAtEveryWriteTheNextStartLeavesOnePhone) {
    int interrupted = 0;
    for (int write = 1; write < 200; ++write) {
        SCOPED_TRACE("killed at write " + std::to_string(write));
        resetRoot();
        const auto result = forcedImport({{"BRINDLEX_KILL_AT_WRITE", std::to_string(write)}});
        if (result.signal != SIGKILL) {
            ASSERT_EQ(result.status, 0) << result.stderrText;
            break;
        }
        ++interrupted;
        recoverWith(write, plain_);
        const Holds now = holds();
        ASSERT_NE(now, Holds::Neither);
        expectCountsOf(now);
    }
    EXPECT_GE(interrupted, 8);
}

// A recovery is itself killed part-way; the one after it still finds one
// phone. Kill points come from a seed; the seeds of past failures stay.
TEST_F(InterruptedImportTest, ARecoveryKilledPartWayIsFinishedByTheNext) {
    std::vector<unsigned> seeds = {1u, 2u, 3u};
    seeds.push_back(std::random_device{}());
    for (const unsigned seed : seeds) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937 random(seed);
        for (int round = 0; round < 4; ++round) {
            resetRoot();
            const int importKill = std::uniform_int_distribution<int>(4, 14)(random);
            const int recoveryKill = std::uniform_int_distribution<int>(1, 4)(random);
            SCOPED_TRACE("import killed at rename " + std::to_string(importKill) + ", recovery at " +
                         std::to_string(recoveryKill));
            forcedImport({{"BRINDLEX_KILL_AT_RENAME", std::to_string(importKill)}});
            fault::RunOptions dying = plain_;
            dying.environment.insert({{"LD_PRELOAD", fault::binDirectory() + "/../lib/libbrindlex_failing_writes.so"},
                                      {"BRINDLEX_FAIL_UNDER", device_},
                                      {"BRINDLEX_KILL_AT_RENAME", std::to_string(recoveryKill)}});
            recoverWith(round, dying);
            recoverWith(round + 1, plain_);
            const Holds now = holds();
            ASSERT_NE(now, Holds::Neither);
            expectCountsOf(now);
        }
    }
}

// Ctrl-C or a stop request while the -wal or sms.db is copied, or between
// the renames: the import rolls back, nothing it wrote stays, and the
// signal ends the program.
TEST_F(InterruptedImportTest, SigintAndSigtermDuringTheImportLeaveTheRootAsItWas) {
    // The -wal is copied first, in chunks of 64 KiB; sms.db right after.
    const int walChunks = static_cast<int>((newWal_.size() + 0xffff) >> 16);
    const std::vector<std::pair<const char*, int>> points = {{"BRINDLEX_RAISE_AT_WRITE", 1},
                                                             {"BRINDLEX_RAISE_AT_WRITE", walChunks / 2},
                                                             {"BRINDLEX_RAISE_AT_WRITE", walChunks + 1},
                                                             {"BRINDLEX_RAISE_AT_RENAME", 1},
                                                             {"BRINDLEX_RAISE_AT_RENAME", 3}};
    for (const char* signal : {"INT", "TERM"}) {
        for (const auto& [where, number] : points) {
            SCOPED_TRACE(std::string("SIG") + signal + " at " + where + "=" + std::to_string(number));
            resetRoot();
            const auto result = forcedImport({{where, std::to_string(number)}, {"BRINDLEX_RAISE_SIGNAL", signal}});
            EXPECT_EQ(result.signal, std::string(signal) == "INT" ? SIGINT : SIGTERM) << result.stderrText;
            EXPECT_NE(result.stderrText.find("interrupted"), std::string::npos) << result.stderrText;
            EXPECT_EQ(snapshot(device_), snapshot(pristine_));
        }
    }
}

// The daemon and the app recover at their start too, before their first sync.
TEST_F(InterruptedImportTest, TheDaemonAndTheAppRecoverBeforeTheyCount) {
    const fs::path staging = fs::path(device_) / DeviceRootJournal::kStagingFolderName;
    struct Program {
        std::vector<std::string> arguments;
        std::map<std::string, std::string> environment;
    };
    const std::vector<Program> programs = {{{"brindlex-badged"}, {}},
                                           {{"Brindlex"}, {{"QT_QPA_PLATFORM", "offscreen"}}}};
    for (const auto& program : programs) {
        for (const int rename : {5, 6}) {
            SCOPED_TRACE(program.arguments.front() + " after a kill at rename " + std::to_string(rename));
            resetRoot();
            ASSERT_EQ(forcedImport({{"BRINDLEX_KILL_AT_RENAME", std::to_string(rename)}}).signal, SIGKILL);
            ASSERT_TRUE(fs::exists(staging));
            fault::RunOptions options;
            options.environment = program.environment;
            options.environment["BRINDLEX_DEVICE_ROOT"] = device_;
            fault::Child child(program.arguments, options);
            // Recovered, then synced: the counter database holds the messages
            // of the phone the root holds, and no other.
            const auto counted = [&] {
                const auto record = PropertyList::readFromFile(data("phone.plist"));
                const bool newPhone = record && record->stringValue("UniqueIdentifier") == kPhoneB;
                return !fs::exists(staging) &&
                       countedIn(data("ledgerwick6.db")) == (newPhone ? kNewMessages : kOldMessages);
            };
            const bool settled = fault::waitFor(
                [&] { return child.stderrSoFar().find("interrupted import") != std::string::npos && counted(); },
                std::chrono::seconds(60));
            const auto result = child.finish(SIGTERM);
            EXPECT_TRUE(settled) << result.stderrText;
            EXPECT_NE(result.stderrText.find("interrupted import"), std::string::npos) << result.stderrText;
            EXPECT_TRUE(counted());
        }
    }
}

}  // namespace
