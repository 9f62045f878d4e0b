#pragma once

#include "tools/fixtures/AddressBookFixture.h"
#include "tools/fixtures/BackupFixture.h"
#include "platform/SqliteDatabase.h"
#include "tools/fixtures/SmsDatabaseFixture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

// Backups of made-up phones for the import tests, built in a scratch folder
// the way idevicebackup2 lays them out: <parent>/<UDID>/...
namespace backup_scenario {

inline constexpr const char* kPhoneA = "00008030-001A35E12345802E";
inline constexpr const char* kPhoneB = "00008101-000C19D02E91003A";
inline constexpr std::int64_t kFirstDate = 1700000000;  // Nov 2023

// `count` messages a minute apart, alternately received and sent.
inline std::vector<FixtureMessage> messages(int count) {
    std::vector<FixtureMessage> result;
    for (int i = 0; i < count; ++i)
        result.push_back({"+14155550100", "Message " + std::to_string(i), kFirstDate + 60 * i, i % 2 == 1, "SMS"});
    return result;
}

inline std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

struct Options {
    BackupFixture::Layout layout = BackupFixture::Layout::Manifest;
    BackupFixture::PlistFormat format = BackupFixture::PlistFormat::Xml;
    int messageCount = 3;
    bool addressBook = true;
    std::string deviceName = "Anna's iPhone";
    std::string productVersion = "12.5.7";
};

// Writes the backup of phone `udid` into <parent>/<udid> and returns its
// fixture; the sms.db and address book are made in <parent>/sources first.
inline BackupFixture make(const std::string& parent, const std::string& udid, const Options& options = {}) {
    const std::string sources = parent + "/sources-" + udid;
    std::filesystem::create_directories(sources);
    const std::string sms = sources + "/sms.db", book = sources + "/AddressBook.sqlitedb";
    std::filesystem::remove(sms);
    SmsDatabaseFixture database(sms);
    EXPECT_TRUE(database.create(SmsSchema::New)) << database.lastError();
    EXPECT_TRUE(database.storeMessages(messages(options.messageCount))) << database.lastError();

    BackupFixture backup(parent + "/" + udid, options.layout);
    BackupFixture::Phone phone{udid, options.deviceName, options.productVersion, "16H81"};
    EXPECT_TRUE(backup.create(phone, options.format)) << backup.lastError();
    EXPECT_TRUE(backup.addFile(BackupFixture::kHomeDomain, BackupFixture::kSmsDatabasePath, sms)) << backup.lastError();
    if (options.addressBook) {
        AddressBookFixture contacts(book);
        EXPECT_TRUE(contacts.create()) << contacts.lastError();
        EXPECT_GT(contacts.addContact("Anna", "Becker", std::nullopt, {"+1 (415) 555-0100"}), 0);
        EXPECT_TRUE(backup.addFile(BackupFixture::kHomeDomain, BackupFixture::kAddressBookPath, book))
            << backup.lastError();
    }
    // Files the importer must leave alone, as a real backup has thousands.
    std::filesystem::create_directories(backup.folder() + "/ab");
    std::ofstream(backup.folder() + "/ab/ab12000000000000000000000000000000000000") << "photo";
    return backup;
}

// The backup of phone `udid` whose sms.db is in WAL mode with `count`
// messages, every one of them only in sms.db-wal, as a phone leaves them
// between checkpoints: both files are copied into the backup while a
// connection holds the database open, so nothing is checkpointed first.
inline BackupFixture makeWithWal(const std::string& parent, const std::string& udid, int count,
                                 const Options& options = {}) {
    const std::string sources = parent + "/sources-" + udid;
    std::filesystem::create_directories(sources);
    const std::string sms = sources + "/sms.db";
    std::filesystem::remove(sms);
    SmsDatabaseFixture database(sms);
    EXPECT_TRUE(database.create(SmsSchema::New)) << database.lastError();
    SqliteDatabase holder;
    EXPECT_TRUE(holder.open(sms, SqliteDatabase::Mode::ReadWrite));
    EXPECT_TRUE(holder.exec("PRAGMA journal_mode=WAL; PRAGMA wal_autocheckpoint=0; SELECT count(*) FROM message;"))
        << holder.lastError();
    EXPECT_TRUE(database.storeMessages(messages(count))) << database.lastError();

    BackupFixture backup(parent + "/" + udid, options.layout);
    BackupFixture::Phone phone{udid, options.deviceName, options.productVersion, "16H81"};
    EXPECT_TRUE(backup.create(phone, options.format)) << backup.lastError();
    EXPECT_TRUE(backup.addFile(BackupFixture::kHomeDomain, BackupFixture::kSmsDatabasePath, sms)) << backup.lastError();
    EXPECT_TRUE(backup.addFile(BackupFixture::kHomeDomain, "Library/SMS/sms.db-wal", sms + "-wal"))
        << backup.lastError();
    return backup;
}

// A gzip file of the shared real data unpacked to `target`.
inline bool gunzip(const std::string& source, const std::string& target) {
    return std::system(("gunzip -c '" + source + "' > '" + target + "'").c_str()) == 0;
}

// Where the shared real data lies: ../shared/real-data beside the checkout
// whose build folder holds this test program; empty when it is not there.
inline std::string realData(const std::string& part) {
    namespace fs = std::filesystem;
    std::error_code failure;
    const fs::path self = fs::read_symlink("/proc/self/exe", failure);
    for (fs::path folder = self.parent_path(); !folder.empty(); folder = folder.parent_path()) {
        const fs::path candidate = folder / "shared" / "real-data" / part;
        if (fs::exists(candidate)) return candidate.string();
        if (folder == folder.parent_path()) break;
    }
    return {};
}

// Every entry under `folder` with its bytes (a link: its target), for
// checking that nothing changed, appeared or vanished.
inline std::map<std::string, std::string> snapshot(const std::string& folder) {
    namespace fs = std::filesystem;
    std::map<std::string, std::string> entries;
    std::error_code ignored;
    for (const auto& entry : fs::recursive_directory_iterator(folder, ignored)) {
        const std::string name = fs::relative(entry.path(), folder).string();
        // The programs' advisory lock file: empty, and made by whoever
        // takes the lock first.
        if (entry.path().filename() == ".sync.lock") continue;
        if (entry.is_symlink()) {
            entries[name] = "link to " + fs::read_symlink(entry.path()).string();
        } else if (entry.is_directory()) {
            entries[name] = "folder";
        } else {
            entries[name] = slurp(entry.path().string());
        }
    }
    return entries;
}

}  // namespace backup_scenario
