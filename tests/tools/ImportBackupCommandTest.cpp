// Runs the built `brindlex-phone import-backup` on backups laid out as
// idevicebackup2 writes them and checks the device root it leaves, the
// backup it must not touch, and the counts a sync then makes.
#include "common/MarkerSync.h"
#include "common/PhoneProfile.h"
#include "common/SettingsKeys.h"
#include "common/SettingsStore.h"
#include "platform/DevicePaths.h"
#include "platform/PropertyList.h"
#include "platform/SqliteHardening.h"
#include "platform/SqliteStatement.h"
#include "platform/SystemVersion.h"
#include "support/ProgramRun.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDeviceRoot.h"
#include "tools/BackupScenario.h"
#include "tools/SmsReadBack.h"
#include "tools/fixtures/BackupEncryptor.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace backup_scenario;

namespace {

std::string phoneBinary() { return ProgramRun::beside("brindlex-phone"); }

class ImportBackupCommandTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(fs::exists(phoneBinary())) << phoneBinary(); }

    // No session bus: the import must stand on its own. The D-Bus suites run
    // the notification against a bus of their own.
    ProgramRun phone(const std::string& arguments) {
        return ProgramRun::of("brindlex-phone", arguments, scratch_,
                              "DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/bus ");
    }

    ProgramRun import(const std::string& arguments) { return phone("import-backup " + arguments); }

    // Imports a backup of phone A whose sms.db (6.x schema) holds `batch`.
    ProgramRun importMessages(const std::vector<FixtureMessage>& batch) {
        const std::string sms = scratch_ + "/made/sms.db";
        fs::create_directories(scratch_ + "/made");
        SmsDatabaseFixture database(sms);
        EXPECT_TRUE(database.create(SmsSchema::New) && database.storeMessages(batch)) << database.lastError();
        BackupFixture backup(parent_ + "/" + kPhoneA, BackupFixture::Layout::Manifest);
        EXPECT_TRUE(backup.create({kPhoneA}));
        EXPECT_TRUE(backup.addFile(BackupFixture::kHomeDomain, BackupFixture::kSmsDatabasePath, sms));
        return import("'" + backup.folder() + "'");
    }

    // The user's command: brindlex-ledger import-backup.
    ProgramRun ledger(const std::string& arguments) {
        return ProgramRun::of("brindlex-ledger", arguments, scratch_,
                              "DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/bus ");
    }

    ProgramRun ledgerSync(const std::string& environment = {}) {
        return ProgramRun::of("brindlex-ledger", "sync", scratch_, environment);
    }

    // The messages of the sms.db at `path`: as a sync reads it, its -wal
    // included, or (`mainFileOnly`) as the main file holds them alone.
    static long long messagesIn(const std::string& path, bool mainFileOnly = false) {
        SqliteDatabase db;
        SqliteStatement count;
        if (!db.open(path, mainFileOnly ? SqliteDatabase::Mode::Snapshot : SqliteDatabase::Mode::ReadOnly) ||
            !count.prepare(db, "SELECT count(*) FROM message") || count.step() != SqliteStatement::Step::Row)
            return -1;
        return count.columnInt(0);
    }

    static long long counted() {
        return sms_read_back::scalar(PhoneProfile::find().counterDatabase(), "select count(*) from message")
            .value_or(-1);
    }

    static std::int64_t marker(const char* key) {
        const auto settings = PropertyList::readFromFile(DevicePaths::settingsFile());
        return settings ? settings->integerValue(key, -1) : -1;
    }

    TempDeviceRoot scratchRoot_;
    std::string scratch_ = scratchRoot_.path();
    std::string parent_ = scratch_ + "/iphone-backup";
    TempDeviceRoot root_;  // made last: its BRINDLEX_DEVICE_ROOT is in force
};

TEST_F(ImportBackupCommandTest, ModernBackupFillsTheDeviceRootAndStaysUntouched) {
    const BackupFixture backup = make(parent_, kPhoneA);
    const auto before = snapshot(parent_);

    const ProgramRun run = import("'" + parent_ + "'");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Anna's iPhone"), std::string::npos) << run.out;
    EXPECT_NE(run.err.find("no session bus"), std::string::npos) << run.err;

    EXPECT_EQ(slurp(DevicePaths::smsDatabase()),
              slurp(backup.pathOf(BackupFixture::kHomeDomain, BackupFixture::kSmsDatabasePath)));
    EXPECT_EQ(slurp(DevicePaths::addressBook()),
              slurp(backup.pathOf(BackupFixture::kHomeDomain, BackupFixture::kAddressBookPath)));
    EXPECT_EQ(SystemVersion::systemVersion(), "12.5.7");
    const auto record = PropertyList::readFromFile(DevicePaths::dataDirectory() + "/phone.plist");
    ASSERT_TRUE(record);
    EXPECT_EQ(record->stringValue("UniqueIdentifier"), kPhoneA);
    // Seeded as the programs seed it, and nothing temporary left over.
    EXPECT_TRUE(fs::exists(DevicePaths::settingsFile()));
    EXPECT_TRUE(fs::exists(PhoneProfile::forVersion("6.1.3").counterDatabase()));
    for (const auto& entry : snapshot(root_.path()))
        for (const char* leftover : {".importing-", ".replaced-", ".removed-", ".brindlex-import"})
            EXPECT_EQ(entry.first.find(leftover), std::string::npos) << entry.first;

    // The backup, Manifest.db opened and all, is byte for byte as it was.
    EXPECT_EQ(snapshot(parent_), before);
    MarkerSync::syncWithStoredMarkers();
    EXPECT_EQ(counted(), 3);
}

TEST_F(ImportBackupCommandTest, BackupBeforeIos10WithoutManifestDatabase) {
    const BackupFixture backup = make(parent_, kPhoneA,
                                      {.layout = BackupFixture::Layout::Flat,
                                       .format = BackupFixture::PlistFormat::Binary,
                                       .addressBook = false,
                                       .productVersion = "9.3.5"});
    const ProgramRun run = import("'" + backup.folder() + "'");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("no address book"), std::string::npos) << run.out;
    EXPECT_EQ(slurp(DevicePaths::smsDatabase()),
              slurp(backup.pathOf(BackupFixture::kHomeDomain, BackupFixture::kSmsDatabasePath)));
    EXPECT_FALSE(fs::exists(DevicePaths::addressBook()));
    EXPECT_EQ(SystemVersion::systemVersion(), "9.3.5");
}

TEST_F(ImportBackupCommandTest, SeveralPhonesNeedUdid) {
    make(parent_, kPhoneA);
    make(parent_, kPhoneB, {.messageCount = 5, .deviceName = "Work phone"});
    ProgramRun run = import("'" + parent_ + "'");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(kPhoneA), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(kPhoneB), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(DevicePaths::smsDatabase()));

    run = import("'" + parent_ + "' --udid " + kPhoneB);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(SmsDatabaseFixture(DevicePaths::smsDatabase()).messageCount(), 5);
}

TEST_F(ImportBackupCommandTest, RefusalsSayWhatToDoAndLeaveTheRootAlone) {
    BackupFixture encrypted = make(parent_ + "/encrypted", kPhoneA);
    ASSERT_TRUE(encrypted.markEncrypted());
    BackupFixture scrambled = make(parent_ + "/scrambled", kPhoneA);
    ASSERT_TRUE(scrambled.scrambleManifestDatabase());
    for (const BackupFixture* backup : {&encrypted, &scrambled}) {
        // Standard input is no terminal, so no password is asked for.
        const ProgramRun run = import("'" + backup->folder() + "' </dev/null");
        EXPECT_EQ(run.status, 1) << backup->folder();
        EXPECT_NE(run.err.find("--password-file FILE"), std::string::npos) << run.err;
    }

    BackupFixture noMessages(parent_ + "/no-sms/" + kPhoneA, BackupFixture::Layout::Manifest);
    ASSERT_TRUE(noMessages.create({kPhoneA}));
    ProgramRun run = import("'" + noMessages.folder() + "'");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("holds no messages"), std::string::npos) << run.err;

    BackupFixture missing = make(parent_ + "/missing", kPhoneA);
    fs::remove(missing.pathOf(BackupFixture::kHomeDomain, BackupFixture::kSmsDatabasePath));
    run = import("'" + missing.folder() + "'");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("is missing"), std::string::npos) << run.err;

    // Nothing of the refused imports reached the root.
    EXPECT_TRUE(fs::is_empty(root_.path()));
}

TEST_F(ImportBackupCommandTest, AnotherPhoneIsRefusedUnlessForced) {
    ASSERT_EQ(import("'" + make(parent_ + "/a", kPhoneA).folder() + "'").status, 0);
    MarkerSync::syncWithStoredMarkers();
    ASSERT_EQ(counted(), 3);
    const auto before = snapshot(root_.path());

    const std::string other = make(parent_ + "/b", kPhoneB, {.messageCount = 2}).folder();
    ProgramRun run = import("'" + other + "'");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(kPhoneA), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("--force"), std::string::npos) << run.err;
    EXPECT_EQ(snapshot(root_.path()), before);

    run = import("--force '" + other + "'");
    ASSERT_EQ(run.status, 0) << run.err;
    // The first phone's counts are kept aside; the second is counted whole.
    bool kept = false;
    for (const auto& entry : fs::directory_iterator(DevicePaths::dataDirectory()))
        kept |= entry.path().filename().string().find(kPhoneA) != std::string::npos;
    EXPECT_TRUE(kept);
    EXPECT_EQ(marker(SettingsKeys::kLastSyncReceived), 0);
    MarkerSync::syncWithStoredMarkers();
    EXPECT_EQ(counted(), 2);
}

TEST_F(ImportBackupCommandTest, NewerBackupOfTheSamePhoneCountsNothingTwice) {
    ASSERT_EQ(import("'" + make(parent_ + "/monday", kPhoneA).folder() + "'").status, 0);
    MarkerSync::syncWithStoredMarkers();
    ASSERT_EQ(counted(), 3);
    const std::int64_t received = marker(SettingsKeys::kLastSyncReceived);
    const std::int64_t sent = marker(SettingsKeys::kLastSyncSent);
    ASSERT_GT(received, kFirstDate);

    // The same three messages and two newer ones; the phone was updated too.
    const ProgramRun run = import(
        "'" + make(parent_ + "/friday", kPhoneA, {.messageCount = 5, .productVersion = "12.5.8"}).folder() + "'");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(marker(SettingsKeys::kLastSyncReceived), received);
    EXPECT_EQ(marker(SettingsKeys::kLastSyncSent), sent);
    EXPECT_EQ(SystemVersion::systemVersion(), "12.5.8");
    MarkerSync::syncWithStoredMarkers();
    EXPECT_EQ(counted(), 5);
    MarkerSync::syncWithStoredMarkers();
    EXPECT_EQ(counted(), 5);
}

TEST_F(ImportBackupCommandTest, FailureLeavesTheRootAsItWas) {
    ASSERT_EQ(import("'" + make(parent_ + "/first", kPhoneA).folder() + "'").status, 0);
    const auto before = snapshot(root_.path());

    // Refused before staging: the address book is no database.
    BackupFixture broken = make(parent_ + "/broken", kPhoneA, {.messageCount = 7});
    std::ofstream(broken.pathOf(BackupFixture::kHomeDomain, BackupFixture::kAddressBookPath)) << "not a database";
    EXPECT_EQ(import("'" + broken.folder() + "'").status, 1);
    EXPECT_EQ(snapshot(root_.path()), before);

    // Fails while staging, after sms.db and its sidecars were staged: a file
    // stands where the address book's folder goes.
    const std::string bookFolder = fs::path(DevicePaths::addressBook()).parent_path().string();
    fs::rename(bookFolder, bookFolder + ".aside");
    std::ofstream(bookFolder) << "in the way";
    const auto fileInTheWay = snapshot(root_.path());
    EXPECT_EQ(import("'" + make(parent_ + "/staging", kPhoneA, {.messageCount = 7}).folder() + "'").status, 1);
    EXPECT_EQ(snapshot(root_.path()), fileInTheWay);
    fs::remove(bookFolder);
    fs::rename(bookFolder + ".aside", bookFolder);

    // Fails while committing, after sms.db was replaced: a folder stands
    // where the address book goes, so sms.db has to be put back.
    fs::remove(DevicePaths::addressBook());
    fs::create_directories(DevicePaths::addressBook() + "/in-the-way");
    const auto blocked = snapshot(root_.path());
    const ProgramRun run = import("'" + make(parent_ + "/later", kPhoneA, {.messageCount = 7}).folder() + "'");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("AddressBook.sqlitedb"), std::string::npos) << run.err;
    EXPECT_EQ(snapshot(root_.path()), blocked);
    EXPECT_EQ(SmsDatabaseFixture(DevicePaths::smsDatabase()).messageCount(), 3);
}

TEST_F(ImportBackupCommandTest, WrongArgumentsPrintUsage) {
    for (const char* wrong : {"import-backup", "import-backup --udid", "import-backup a b", "import-backup --bogus a",
                              "import-backup a --udid="}) {
        const ProgramRun run = phone(wrong);
        EXPECT_EQ(run.status, 2) << wrong;
        EXPECT_NE(run.err.find("import-backup DIR [--udid UDID] [--force]"), std::string::npos) << wrong;
    }
    const ProgramRun help = phone("help");
    EXPECT_NE(help.out.find("import-backup DIR"), std::string::npos);
    EXPECT_TRUE(fs::is_empty(root_.path()));
}

// The user's command does what the simulator's does, in the ledger's name,
// from a home that has no device root yet.
TEST_F(ImportBackupCommandTest, TheLedgersImportIsTheSimulatorsImport) {
    const ScopedEnvironment freshHome("BRINDLEX_DEVICE_ROOT", root_.path() + "/device");
    const BackupFixture backup = make(parent_, kPhoneA);
    const auto before = snapshot(parent_);

    const ProgramRun run = ledger("import-backup '" + parent_ + "'");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Imported the backup of Anna's iPhone"), std::string::npos) << run.out;
    EXPECT_EQ(run.err.rfind("brindlex-ledger: ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find("no session bus"), std::string::npos) << run.err;
    EXPECT_EQ(slurp(DevicePaths::smsDatabase()),
              slurp(backup.pathOf(BackupFixture::kHomeDomain, BackupFixture::kSmsDatabasePath)));
    EXPECT_EQ(snapshot(parent_), before);
    ASSERT_EQ(ledgerSync().status, 0);
    EXPECT_EQ(counted(), 3);
    // Again: the same phone, nothing counted twice.
    const ProgramRun again = ledger("import-backup '" + parent_ + "' --udid " + kPhoneA);
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_NE(again.out.find("Same phone as before"), std::string::npos) << again.out;
    ASSERT_EQ(ledgerSync().status, 0);
    EXPECT_EQ(counted(), 3);

    // Refusals are the import's, in the ledger's name.
    BackupFixture encrypted = make(parent_ + "/encrypted", kPhoneB);
    ASSERT_TRUE(encrypted.markEncrypted());
    const ProgramRun refused = ledger("import-backup '" + encrypted.folder() + "'");
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err.rfind("brindlex-ledger: ", 0), 0u) << refused.err;
    EXPECT_NE(refused.err.find("encrypted backup"), std::string::npos) << refused.err;

    // With its password from a file, another phone's encrypted backup takes
    // the root's place, as a plain one would.
    const BackupFixture locked = make(parent_ + "/locked", kPhoneB);
    std::string error;
    ASSERT_TRUE(BackupEncryptor::encrypt(locked.folder(), {.password = "open sesame"}, &error)) << error;
    const std::string passwordFile = scratch_ + "/password";
    std::ofstream(passwordFile) << "open sesame\n";
    const ProgramRun unlocked =
        ledger("import-backup '" + locked.folder() + "' --force --password-file '" + passwordFile + "'");
    ASSERT_EQ(unlocked.status, 0) << unlocked.err;
    ASSERT_EQ(ledgerSync().status, 0);
    EXPECT_EQ(counted(), 3);
}

TEST_F(ImportBackupCommandTest, TheLedgersImportTakesOneFolderAndSaysSoOtherwise) {
    for (const char* wrong :
         {"import-backup", "import-backup a b", "import-backup --bogus a", "import-backup --udid"}) {
        const ProgramRun run = ledger(wrong);
        EXPECT_EQ(run.status, 2) << wrong;
        EXPECT_NE(run.err.find("import-backup takes one backup folder"), std::string::npos) << run.err;
    }
    EXPECT_TRUE(fs::is_empty(root_.path()));
    const ProgramRun help = ledger("--help");
    EXPECT_NE(help.out.find("import-backup FOLDER"), std::string::npos) << help.out;
}

// A phone between checkpoints keeps its newest messages in sms.db-wal; the
// import brings the -wal along (never a -shm) and the sync counts them.
TEST_F(ImportBackupCommandTest, MessagesOnlyInTheWalAreImportedAndCounted) {
    BackupFixture backup = makeWithWal(parent_, kPhoneA, 4);
    const std::string backupSms = backup.pathOf(BackupFixture::kHomeDomain, BackupFixture::kSmsDatabasePath);
    ASSERT_EQ(messagesIn(backupSms, true), 0) << "the fixture must leave every message in the -wal";
    const std::string shm = parent_ + "/sms.db-shm";
    std::ofstream(shm) << "a phone's shared-memory index";
    ASSERT_TRUE(backup.addFile(BackupFixture::kHomeDomain, "Library/SMS/sms.db-shm", shm));
    const auto before = snapshot(parent_);

    const ProgramRun run = import("'" + parent_ + "'");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("sms.db-wal"), std::string::npos) << run.out;
    EXPECT_EQ(slurp(DevicePaths::smsDatabase() + "-wal"),
              slurp(backup.pathOf(BackupFixture::kHomeDomain, "Library/SMS/sms.db-wal")));
    EXPECT_NE(slurp(DevicePaths::smsDatabase() + "-shm"), slurp(shm));
    EXPECT_EQ(snapshot(parent_), before);

    ASSERT_EQ(ledgerSync().status, 0);
    EXPECT_EQ(counted(), 4);
}

// A -wal or -shm beside the root's sms.db belongs to that file alone: left
// beside the next import's sms.db it would be played into it.
TEST_F(ImportBackupCommandTest, TheRootsOldWalAndShmGoWithTheOldDatabase) {
    ASSERT_EQ(import("'" + makeWithWal(parent_ + "/monday", kPhoneA, 4).folder() + "'").status, 0);
    ASSERT_EQ(ledgerSync().status, 0);
    ASSERT_EQ(counted(), 4);
    ASSERT_TRUE(fs::exists(DevicePaths::smsDatabase() + "-wal"));
    std::ofstream(DevicePaths::smsDatabase() + "-shm") << "stale";

    const BackupFixture friday = make(parent_ + "/friday", kPhoneA, {.messageCount = 6});
    const ProgramRun run = import("'" + friday.folder() + "'");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.find("sms.db-wal"), std::string::npos) << run.out;
    EXPECT_FALSE(fs::exists(DevicePaths::smsDatabase() + "-wal"));
    EXPECT_FALSE(fs::exists(DevicePaths::smsDatabase() + "-shm"));
    EXPECT_EQ(slurp(DevicePaths::smsDatabase()),
              slurp(friday.pathOf(BackupFixture::kHomeDomain, BackupFixture::kSmsDatabasePath)));
    ASSERT_EQ(ledgerSync().status, 0);
    EXPECT_EQ(counted(), 6);
}

// Real phones' sms.db with their messages in the -wal, in backups laid out
// by file id: counted as many as the same database checkpointed gives.
TEST_F(ImportBackupCommandTest, RealWalDatabasesCountAsTheirCheckpointedCopies) {
    struct Case {
        std::string folder, version, checkpointed;  // checkpointed: the publisher's copy, if any
    };
    const std::vector<Case> cases = {{"no-licence/ios5-wal-eichbaum", "5.1.1", "Logical-sms.db.gz"},
                                     {"no-licence/pre-ios10-wal-testsmsreader/stateA", "9.3.5", ""},
                                     {"no-licence/pre-ios10-wal-testsmsreader/stateB", "9.3.5", ""}};
    int ran = 0;
    for (const auto& test : cases) {
        SCOPED_TRACE(test.folder);
        const std::string data = realData(test.folder);
        if (data.empty()) continue;
        ++ran;
        const std::string work = scratch_ + "/" + std::to_string(ran);
        fs::create_directories(work + "/reference");
        ASSERT_TRUE(gunzip(data + "/sms.db.gz", work + "/sms.db"));
        ASSERT_TRUE(gunzip(data + "/sms.db-wal.gz", work + "/sms.db-wal"));
        const std::string reference = work + "/reference/sms.db";
        if (!test.checkpointed.empty()) {
            ASSERT_TRUE(gunzip(data + "/" + test.checkpointed, reference));
        } else {
            fs::copy_file(work + "/sms.db", reference);
            fs::copy_file(work + "/sms.db-wal", reference + "-wal");
            SqliteDatabase db;
            ASSERT_TRUE(db.open(reference, SqliteDatabase::Mode::ReadWrite));
            ASSERT_TRUE(db.exec("PRAGMA wal_checkpoint(TRUNCATE); PRAGMA journal_mode=DELETE;")) << db.lastError();
        }

        long long counts[2] = {-1, -1};
        for (const bool withWal : {true, false}) {
            const std::string device = work + (withWal ? "/device-wal" : "/device-reference");
            BackupFixture backup(work + "/backup-" + (withWal ? "wal" : "reference") + "/" + kPhoneA,
                                 BackupFixture::Layout::Flat);
            ASSERT_TRUE(backup.create({kPhoneA, "Old iPhone", test.version, "9B206"})) << backup.lastError();
            ASSERT_TRUE(backup.addFile(BackupFixture::kHomeDomain, BackupFixture::kSmsDatabasePath,
                                       withWal ? work + "/sms.db" : reference));
            if (withWal) {
                ASSERT_TRUE(backup.addFile(BackupFixture::kHomeDomain, "Library/SMS/sms.db-wal", work + "/sms.db-wal"));
            }
            const std::string environment = "BRINDLEX_DEVICE_ROOT='" + device + "' ";
            const ProgramRun run = ProgramRun::of("brindlex-phone", "import-backup '" + backup.folder() + "'", scratch_,
                                                  environment + "DBUS_SESSION_BUS_ADDRESS=unix:path=/no/bus ");
            ASSERT_EQ(run.status, 0) << run.err;
            ASSERT_EQ(ledgerSync(environment).status, 0);
            counts[withWal ? 0 : 1] =
                sms_read_back::scalar(device + "/private/var/mobile/Library/Brindlex/" +
                                          PhoneProfile::forVersion(test.version).counterDatabaseName(),
                                      "select count(*) from message")
                    .value_or(-1);
        }
        EXPECT_GT(counts[1], 0);
        EXPECT_EQ(counts[0], counts[1]);
    }
    if (ran == 0) GTEST_SKIP() << "skipped: ../shared/real-data has none of the -wal databases";
}

// A backup whose file list names the address book without holding the file
// still holds every message: imported, with one line saying names will miss.
TEST_F(ImportBackupCommandTest, AddressBookListedButAbsentImportsTheMessagesWithOneWarning) {
    const BackupFixture backup = make(parent_, kPhoneA, {.messageCount = 5});
    fs::remove(backup.pathOf(BackupFixture::kHomeDomain, BackupFixture::kAddressBookPath));
    const ProgramRun run = import("'" + parent_ + "'");
    ASSERT_EQ(run.status, 0) << run.err;
    const auto warning = run.err.find("names will be missing");
    ASSERT_NE(warning, std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("names will be missing", warning + 1), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(DevicePaths::addressBook()));
    ASSERT_EQ(ledgerSync().status, 0);
    EXPECT_EQ(counted(), 5);
}

// The trimmed backup of a real iPhone on iOS 14.3 lists the address book
// without its file, and has no Manifest.plist.
TEST_F(ImportBackupCommandTest, RealIos14BackupWithoutItsAddressBookImports) {
    const std::string data = realData("ios14-backup");
    if (data.empty()) GTEST_SKIP() << "skipped: ../shared/real-data/ios14-backup is not there";
    const std::string folder = parent_ + "/1cb128eafa77c5be74283e9a3a2130af36a3c059";
    fs::create_directories(folder);
    fs::copy(data, folder, fs::copy_options::recursive);
    ASSERT_TRUE(gunzip(folder + "/Manifest.db.gz", folder + "/Manifest.db"));
    fs::remove(folder + "/Manifest.db.gz");

    // The user's command and the simulator's take it alike.
    for (const bool userCommand : {true, false}) {
        const ProgramRun run = userCommand ? ledger("import-backup '" + parent_ + "'") : import("'" + parent_ + "'");
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_NE(run.err.find("names will be missing"), std::string::npos) << run.err;
    }
    ASSERT_EQ(ledgerSync().status, 0);
    EXPECT_EQ(counted(), 1);
    EXPECT_EQ(SystemVersion::systemVersion(), "14.3");
    EXPECT_EQ(slurp(DevicePaths::smsDatabase()), slurp(folder + "/3d/3d0d7e5fb2ce288813306e4d4636395e047a3d28"));
    EXPECT_EQ(messagesIn(DevicePaths::smsDatabase()), 1);
}

// A text longer than a sync reads is cut by the sync; the import says how
// many there are, finding them without loading one.
TEST_F(ImportBackupCommandTest, TextsLongerThanTheSyncReadsAreCountedInOneLine) {
    auto batch = messages(3);
    batch[1].text = std::string(17 * 1024 * 1024, 'x');                        // 17 MB: over
    batch[2].text = std::string(SqliteHardening::kMaxValueBytes, 'y');         // at the cap: read whole
    batch.push_back({"+14155550100", std::nullopt, kFirstDate + 600, false});  // no text at all
    const ProgramRun run = importMessages(batch);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("1 message has a text longer than " + std::to_string(SqliteHardening::kMaxValueBytes) +
                           " bytes; it is counted with its text cut"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(messagesIn(DevicePaths::smsDatabase()), 4);
}

// A body stored as a blob is sized from its row header, never loaded: one
// over the cap is counted by the plain scan the import makes first, beside
// texts that all fit.
TEST_F(ImportBackupCommandTest, ABlobBodyOverTheCapIsCountedWithoutLoadingIt) {
    const std::string sms = scratch_ + "/made/sms.db";
    fs::create_directories(scratch_ + "/made");
    SmsDatabaseFixture database(sms);
    ASSERT_TRUE(database.create(SmsSchema::New) && database.storeMessages(messages(3))) << database.lastError();
    {
        SqliteDatabase db;
        ASSERT_TRUE(db.open(sms, SqliteDatabase::Mode::ReadWrite));
        ASSERT_TRUE(db.exec("UPDATE message SET text = zeroblob(" +
                            std::to_string(SqliteHardening::kMaxValueBytes + 1) + ") WHERE ROWID = 2"));
    }
    BackupFixture backup(parent_ + "/" + kPhoneA, BackupFixture::Layout::Manifest);
    ASSERT_TRUE(backup.create({kPhoneA}));
    ASSERT_TRUE(backup.addFile(BackupFixture::kHomeDomain, BackupFixture::kSmsDatabasePath, sms));
    const ProgramRun run = import("'" + backup.folder() + "'");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("1 message has a text longer than"), std::string::npos) << run.err;
}

// The check that the sync can read the file reads it as the sync does: a
// long text in the very first message is cut, not a reason to refuse.
TEST_F(ImportBackupCommandTest, ALongTextInTheFirstMessageDoesNotFailTheCheckOfTheFile) {
    auto batch = messages(2);
    batch[0].text = std::string(17 * 1024 * 1024, 'x');
    const ProgramRun run = importMessages(batch);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(messagesIn(DevicePaths::smsDatabase()), 2);
}

// A backup whose sms.db the sync cannot read as its system version says
// would be "imported" for every sync after it to fail: it is refused, saying
// why, and the root (fresh, or holding a phone that goes on counting) stays
// as it was.
TEST_F(ImportBackupCommandTest, AnSmsDatabaseTheSyncCannotReadIsRefused) {
    ASSERT_EQ(import("'" + make(parent_ + "/first", kPhoneA).folder() + "'").status, 0);
    ASSERT_EQ(ledgerSync().status, 0);
    ASSERT_EQ(counted(), 3);
    const auto before = snapshot(root_.path());

    const auto fixture = [&](const std::string& path, SmsSchema schema) {
        SmsDatabaseFixture database(path);
        EXPECT_TRUE(database.create(schema)) << database.lastError();
        EXPECT_TRUE(database.storeMessages(messages(2))) << database.lastError();
    };
    const auto crafted = [&](const std::string& path, const std::string& sql) {
        SqliteDatabase db;
        ASSERT_TRUE(db.open(path, SqliteDatabase::Mode::ReadWriteCreate));
        ASSERT_TRUE(db.exec(sql)) << db.lastError();
    };
    struct Case {
        std::string name, version, refusal;
        std::function<void(const std::string&)> write;
    };
    const std::string handle = "CREATE TABLE handle (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, id TEXT);";
    const std::vector<Case> cases = {
        {"a modern sms.db in a backup that says 5.1.1", "5.1.1", "does not fit its system version 5.1.1",
         [&](const std::string& path) { fixture(path, SmsSchema::New); }},
        {"an sms.db from before iOS 6 in a backup that says 12.5.7", "12.5.7", "does not fit its system version 12.5.7",
         [&](const std::string& path) { fixture(path, SmsSchema::Old); }},
        {"message is a view", "12.5.7", "its message is a view",
         [&](const std::string& path) {
             crafted(path, handle +
                               "CREATE TABLE rows (ROWID INTEGER PRIMARY KEY, text TEXT, handle_id INTEGER, "
                               "is_from_me INTEGER, date INTEGER, service TEXT, item_type INTEGER);"
                               "CREATE VIEW message AS SELECT * FROM rows;");
         }},
        {"message lacks the columns a sync reads", "12.5.7", "does not fit its system version 12.5.7",
         [&](const std::string& path) {
             crafted(path, handle + "CREATE TABLE message (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, text TEXT);");
         }},
        {"message has no ROWID", "5.1.1", "no such column: m.ROWID",
         [&](const std::string& path) {
             crafted(path,
                     "CREATE TABLE message (guid TEXT PRIMARY KEY, address TEXT, date INTEGER, text TEXT, "
                     "flags INTEGER) WITHOUT ROWID;"
                     "INSERT INTO message VALUES ('a', '+14155550100', 1, 'Hi', 2);");
         }},
        {"sms.db is no database", "12.5.7", "is not a database",
         [&](const std::string& path) { std::ofstream(path) << std::string(4096, 'x'); }},
    };
    int number = 0;
    for (const auto& test : cases) {
        SCOPED_TRACE(test.name);
        const std::string folder = scratch_ + "/case-" + std::to_string(++number);
        fs::create_directories(folder);
        test.write(folder + "/sms.db");
        BackupFixture backup(folder + "/backup/" + kPhoneA, BackupFixture::Layout::Manifest);
        ASSERT_TRUE(backup.create({kPhoneA, "Anna's iPhone", test.version, "9B206"})) << backup.lastError();
        ASSERT_TRUE(backup.addFile(BackupFixture::kHomeDomain, BackupFixture::kSmsDatabasePath, folder + "/sms.db"));

        ProgramRun run = import("'" + backup.folder() + "'");
        EXPECT_EQ(run.status, 1) << run.out;
        EXPECT_NE(run.err.find(test.refusal), std::string::npos) << run.err;
        EXPECT_EQ(run.out.find("Imported"), std::string::npos) << run.out;
        EXPECT_TRUE(snapshot(root_.path()) == before);

        // Into a root that does not exist yet: none is left behind.
        const std::string fresh = folder + "/fresh-root";
        run = ProgramRun::of("brindlex-phone", "import-backup '" + backup.folder() + "'", scratch_,
                             "BRINDLEX_DEVICE_ROOT='" + fresh + "' DBUS_SESSION_BUS_ADDRESS=unix:path=/no/bus ");
        EXPECT_EQ(run.status, 1) << run.out;
        EXPECT_FALSE(fs::exists(fresh));
    }
    ASSERT_EQ(ledgerSync().status, 0);
    EXPECT_EQ(counted(), 3);

    // The check reads as the sync does: a backup that says 5.1.1 and holds
    // the sms.db of its time goes in, and its messages are counted.
    const std::string old = scratch_ + "/old";
    fs::create_directories(old);
    fixture(old + "/sms.db", SmsSchema::Old);
    BackupFixture backup(old + "/backup/" + kPhoneB, BackupFixture::Layout::Flat);
    ASSERT_TRUE(backup.create({kPhoneB, "Old iPhone", "5.1.1", "9B206"})) << backup.lastError();
    ASSERT_TRUE(backup.addFile(BackupFixture::kHomeDomain, BackupFixture::kSmsDatabasePath, old + "/sms.db"));
    const ProgramRun run = import("--force '" + backup.folder() + "'");
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_EQ(ledgerSync().status, 0);
    EXPECT_EQ(
        sms_read_back::scalar(PhoneProfile::forVersion("5.1.1").counterDatabase(), "select count(*) from message"), 2);
}

// A 1 GiB sms.db that holds a few pages of messages and a hole after them
// (a backup restored onto a filesystem with holes, or made to hurt) goes
// into the root as it lies on disk, not written out whole.
TEST_F(ImportBackupCommandTest, ASparseSmsDatabaseTakesNoMoreRoomInTheRootThanInTheBackup) {
    const std::string sms = scratch_ + "/sparse/sms.db";
    fs::create_directories(scratch_ + "/sparse");
    SmsDatabaseFixture database(sms);
    ASSERT_TRUE(database.create(SmsSchema::New)) << database.lastError();
    ASSERT_TRUE(database.storeMessages(messages(6))) << database.lastError();
    BackupFixture backup(parent_ + "/" + kPhoneA, BackupFixture::Layout::Manifest);
    ASSERT_TRUE(backup.create({kPhoneA}));
    ASSERT_TRUE(backup.addFile(BackupFixture::kHomeDomain, BackupFixture::kSmsDatabasePath, sms));
    const std::string backupSms = backup.pathOf(BackupFixture::kHomeDomain, BackupFixture::kSmsDatabasePath);
    constexpr std::uintmax_t kGiB = 1024ull * 1024 * 1024;
    fs::resize_file(backupSms, kGiB);
    struct stat source {};
    ASSERT_EQ(::stat(backupSms.c_str(), &source), 0);
    if (source.st_blocks * 512 >= 64 * 1024 * 1024) GTEST_SKIP() << "skipped: this filesystem keeps no holes";

    const ProgramRun run = import("'" + backup.folder() + "'");
    ASSERT_EQ(run.status, 0) << run.err;
    struct stat installed {};
    ASSERT_EQ(::stat(DevicePaths::smsDatabase().c_str(), &installed), 0);
    EXPECT_EQ(static_cast<std::uintmax_t>(installed.st_size), kGiB);
    EXPECT_LE(installed.st_blocks, source.st_blocks + 8) << "blocks of 512 bytes";
    ASSERT_EQ(ledgerSync().status, 0);
    EXPECT_EQ(counted(), 6);
}

}  // namespace

namespace {

// The device name comes from the backup's Info.plist: an escape sequence in
// it reaches the terminal as text, not as a command to it.
TEST_F(ImportBackupCommandTest, TheDeviceNameIsPrintedWithoutItsControlCharacters) {
    const BackupFixture backup = make(
        parent_, kPhoneA, {.format = BackupFixture::PlistFormat::Binary, .deviceName = "Anna\x1b]0;owned\x07\x1b[2J"});
    const ProgramRun run = import("'" + backup.folder() + "'");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.find('\x1b'), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find('\x07'), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Imported the backup of Anna\xEF\xBF\xBD]0;owned\xEF\xBF\xBD\xEF\xBF\xBD[2J ("),
              std::string::npos)
        << run.out;
}

}  // namespace
