// brindlex-phone import-backup on a disk that fills up part-way: every
// failed import says so and leaves the device root exactly as it was; the
// import that has room puts the new messages in, and they are counted once.

#include "FaultRun.h"
#include "tools/BackupScenario.h"

#include "platform/DevicePaths.h"
#include "platform/SqliteDatabase.h"
#include "platform/SqliteStatement.h"
#include "support/TempDeviceRoot.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

long long counted(const std::string& counterDatabase) {
    SqliteDatabase db;
    SqliteStatement count;
    if (!db.open(counterDatabase, SqliteDatabase::Mode::ReadOnly) ||
        !count.prepare(db,
                       "SELECT count(*) - (SELECT count(*) FROM (SELECT DISTINCT address, date, text, flags "
                       "FROM message)), count(*) FROM message") ||
        count.step() != SqliteStatement::Step::Row)
        return -1;
    return count.columnInt(0) == 0 ? count.columnInt(1) : -2;  // -2: a message twice
}

TEST(ImportBackupFault, AFullDiskAtAnyWriteLeavesTheRootAsItWas) {
    TempDeviceRoot root;
    const std::string parent = root.path() + "/backups";
    const std::string device = root.path() + "/device";
    fault::RunOptions plain;
    plain.environment["BRINDLEX_DEVICE_ROOT"] = device;

    backup_scenario::Options first;
    first.messageCount = 3;
    backup_scenario::make(parent + "/first", backup_scenario::kPhoneA, first);
    ASSERT_EQ(fault::run({"brindlex-phone", "import-backup", parent + "/first"}, plain).status, 0);
    ASSERT_EQ(fault::run({"brindlex-ledger", "sync"}, plain).status, 0);
    const auto before = backup_scenario::snapshot(device);

    backup_scenario::Options second = first;
    second.messageCount = 400;
    backup_scenario::make(parent + "/second", backup_scenario::kPhoneA, second);
    int failed = 0;
    for (const char* error : {"ENOSPC", "EIO"}) {
        for (const int after : {0, 1, 2, 3, 5, 8, 13, 30, 100}) {
            SCOPED_TRACE(std::string(error) + " after " + std::to_string(after));
            fault::RunOptions failing = plain;
            failing.environment.insert({{"LD_PRELOAD", fault::binDirectory() + "/../lib/libbrindlex_failing_writes.so"},
                                        {"BRINDLEX_FAIL_UNDER", device},
                                        {"BRINDLEX_FAIL_AFTER", std::to_string(after)},
                                        {"BRINDLEX_FAIL_ERRNO", error},
                                        {"BRINDLEX_FAIL_FSYNC", "1"}});
            const auto result = fault::run({"brindlex-phone", "import-backup", parent + "/second"}, failing);
            ASSERT_NE(result.status, 0) << "every import writes, and fsyncs, under the root";
            ++failed;
            EXPECT_FALSE(result.stderrText.empty());
            EXPECT_EQ(backup_scenario::snapshot(device), before) << result.stderrText;
        }
    }
    EXPECT_GT(failed, 0);
    // Room again: the import goes through and the next sync adds the new
    // messages to the three already counted, each once.
    ASSERT_EQ(fault::run({"brindlex-phone", "import-backup", parent + "/second"}, plain).status, 0);
    ASSERT_EQ(fault::run({"brindlex-ledger", "sync"}, plain).status, 0);
    const std::string counter = device + "/private/var/mobile/Library/Brindlex/ledgerwick6.db";
    EXPECT_EQ(counted(counter), 400);
}

}  // namespace
