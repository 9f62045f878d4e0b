// brindlex-phone import-backup on a disk that fills up part-way: every
// failed import says so and leaves the device root exactly as it was; the
// import that has room puts the new messages in, and they are counted once.
// Signals while an encrypted backup is decrypted leave no decrypted file.

#include "FaultRun.h"
#include "tools/BackupScenario.h"

#include "platform/DevicePaths.h"
#include "tools/fixtures/BackupEncryptor.h"
#include "tools/phone/DecryptedFiles.h"
#include "platform/SqliteDatabase.h"
#include "platform/SqliteStatement.h"
#include "support/TempDeviceRoot.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

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

// The decrypted copies an import of an encrypted backup makes in the root.
std::vector<std::string> decryptedIn(const std::string& device) {
    std::vector<std::string> found;
    for (const auto& entry : backup_scenario::snapshot(device))
        if (entry.first.find(DecryptedFiles::kPrefix) != std::string::npos) found.push_back(entry.first);
    return found;
}

// Encrypts `backup` as a phone does and gives the import command that reads
// it with its password from a file in `scratch`; empty when it cannot.
std::vector<std::string> encryptedImport(const std::string& scratch, const BackupFixture& backup) {
    std::string error;
    const BackupEncryptor::Settings settings;
    if (!BackupEncryptor::encrypt(backup.folder(), settings, &error)) {
        ADD_FAILURE() << error;
        return {};
    }
    const std::string passwordFile = scratch + "/password";
    std::ofstream(passwordFile) << settings.password << "\n";
    return {"brindlex-phone", "import-backup", backup.folder(), "--password-file", passwordFile};
}

// SIGINT or SIGTERM while an encrypted backup is decrypted: the program ends
// by the signal and leaves no decrypted byte in the root. A SIGKILL cannot be
// cleaned up after; the next import removes what it left.
TEST(ImportBackupFault, SignalsDuringDecryptionLeaveNoDecryptedFile) {
    TempDeviceRoot root;
    const std::string parent = root.path() + "/backups";
    const std::string device = root.path() + "/device";
    fs::create_directories(device);
    BackupFixture backup = backup_scenario::make(parent, backup_scenario::kPhoneA);
    {
        // sms.db of many chunks, so a write lands inside its decryption.
        SqliteDatabase db;
        ASSERT_TRUE(db.open(backup.pathOf(BackupFixture::kHomeDomain, BackupFixture::kSmsDatabasePath),
                            SqliteDatabase::Mode::ReadWrite));
        ASSERT_TRUE(db.exec("CREATE TABLE padding (bytes BLOB); INSERT INTO padding VALUES (randomblob(4000000))"));
    }
    const std::vector<std::string> command = encryptedImport(root.path(), backup);
    ASSERT_FALSE(command.empty());
    fault::RunOptions plain;
    plain.environment["BRINDLEX_DEVICE_ROOT"] = device;
    auto at = [&](const char* what, int write, const char* signal) {
        fault::RunOptions options = plain;
        options.environment.insert({{"LD_PRELOAD", fault::binDirectory() + "/../lib/libbrindlex_failing_writes.so"},
                                    {"BRINDLEX_FAIL_UNDER", device},
                                    {what, std::to_string(write)}});
        if (signal) options.environment["BRINDLEX_RAISE_SIGNAL"] = signal;
        return fault::run(command, options);
    };
    const auto before = backup_scenario::snapshot(device);
    // Write 1 is Manifest.db's decrypted copy, the next ones chunks of sms.db's.
    for (const char* signal : {"INT", "TERM"}) {
        for (const int write : {1, 2, 4}) {
            SCOPED_TRACE(std::string("SIG") + signal + " at write " + std::to_string(write));
            const auto result = at("BRINDLEX_RAISE_AT_WRITE", write, signal);
            EXPECT_EQ(result.signal, std::string(signal) == "INT" ? SIGINT : SIGTERM) << result.stderrText;
            EXPECT_EQ(decryptedIn(device), std::vector<std::string>{});
            EXPECT_EQ(backup_scenario::snapshot(device), before);
        }
    }
    const auto killed = at("BRINDLEX_KILL_AT_WRITE", 3, nullptr);
    ASSERT_EQ(killed.signal, SIGKILL) << killed.stderrText;
    EXPECT_FALSE(decryptedIn(device).empty()) << "a killed process removes nothing";
    const auto result = fault::run(command, plain);
    ASSERT_EQ(result.status, 0) << result.stderrText;
    EXPECT_EQ(decryptedIn(device), std::vector<std::string>{});
}

// The decrypted sms.db is renamed into the staging folder, not copied: a
// SIGINT or SIGTERM at any rename in the root after that (staging, the
// journal, the commit) still leaves no decrypted byte behind, and the root
// either as it was or, when the signal came after the last rename, imported.
TEST(ImportBackupFault, SignalsAfterDecryptionLeaveNoDecryptedFile) {
    TempDeviceRoot root;
    const std::string parent = root.path() + "/backups";
    const std::string device = root.path() + "/device";
    fs::create_directories(device);
    BackupFixture backup = backup_scenario::make(parent, backup_scenario::kPhoneA);
    const std::vector<std::string> command = encryptedImport(root.path(), backup);
    ASSERT_FALSE(command.empty());
    auto before = backup_scenario::snapshot(device);
    int signalled = 0;
    for (int rename = 1; rename < 100; ++rename) {
        const char* signal = rename % 2 == 0 ? "INT" : "TERM";
        SCOPED_TRACE(std::string("SIG") + signal + " at rename " + std::to_string(rename));
        fault::RunOptions options;
        options.environment = {{"BRINDLEX_DEVICE_ROOT", device},
                               {"LD_PRELOAD", fault::binDirectory() + "/../lib/libbrindlex_failing_writes.so"},
                               {"BRINDLEX_FAIL_UNDER", device},
                               {"BRINDLEX_RAISE_AT_RENAME", std::to_string(rename)},
                               {"BRINDLEX_RAISE_SIGNAL", signal}};
        const std::string sms = device + "/private/var/mobile/Library/SMS/sms.db";
        const bool wasImported = fs::exists(sms);
        const auto result = fault::run(command, options);
        EXPECT_EQ(decryptedIn(device), std::vector<std::string>{});
        EXPECT_FALSE(fs::exists(device + "/.brindlex-import")) << "the staging folder, with the moved sms.db";
        if (result.signal != 0) {
            ++signalled;
            // Again imported, the same backup gives the same files.
            if (fs::exists(sms) == wasImported) {
                EXPECT_EQ(backup_scenario::snapshot(device), before);
            }
        }
        before = backup_scenario::snapshot(device);
        if (result.signal == 0) {
            EXPECT_EQ(result.status, 0) << result.stderrText;
            break;  // no such rename: the import ran to its end
        }
    }
    EXPECT_GE(signalled, 3);
}

}  // namespace
