// The sync over message databases that real phones and Macs wrote, kept
// beside the repository: what each must give follows from its rows (one
// counted row per message with a known other party, one per recipient of a
// group send), worked out from the files' formats.
#include "common/MarkerSync.h"
#include "common/Seeding.h"
#include "platform/DevicePaths.h"
#include "support/CounterRows.h"
#include "support/RealData.h"
#include "support/TempDeviceRoot.h"
#include "tools/fixtures/DeviceFixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

namespace fs = std::filesystem;

namespace {

struct Directions {
    int received = 0;
    int sent = 0;
    bool operator==(const Directions& other) const { return received == other.received && sent == other.sent; }
};

std::ostream& operator<<(std::ostream& out, const Directions& d) {
    return out << d.received << " received, " << d.sent << " sent";
}

Directions counted() {
    Directions directions;
    for (const CounterRow& row : counterRows()) (row.flags == 2 ? directions.received : directions.sent) += 1;
    return directions;
}

class RealDataSyncTest : public ::testing::Test {
protected:
    // A device of `version` whose sms.db (and -wal beside it, if any) are
    // the real files under `folder`.
    void phoneWith(const char* version, const std::string& smsFile, const std::string& walFile = "") {
        std::string error;
        ASSERT_TRUE(DeviceFixture::createDeviceRoot(root_.path(), version, &error)) << error;
        Seeding::copyIfNeeded();
        install(smsFile, walFile);
    }

    void install(const std::string& smsFile, const std::string& walFile = "") {
        const fs::path sms = DevicePaths::smsDatabase();
        for (const char* suffix : {"-wal", "-shm"}) fs::remove(sms.string() + suffix);
        ASSERT_TRUE(realdata::copyTo(smsFile, sms.string() + ".new")) << smsFile;
        if (!walFile.empty()) {
            ASSERT_TRUE(realdata::copyTo(walFile, sms.string() + "-wal")) << walFile;
        }
        fs::rename(sms.string() + ".new", sms);
    }

    static void sync() {
        const MarkerSync::Outcome outcome = MarkerSync::syncWithStoredMarkers();
        ASSERT_TRUE(outcome.ran);
        ASSERT_EQ(outcome.status, SyncStatus::Ok);
    }

    TempDeviceRoot root_;
};

}  // namespace

TEST_F(RealDataSyncTest, TheTrimmedIos14DatabaseWithOnlyMessageAndHandleIsRead) {
    SKIP_WITHOUT_REAL_DATA();
    phoneWith("14.3", "ios14-backup/3d/3d0d7e5fb2ce288813306e4d4636395e047a3d28");
    sync();
    const auto rows = counterRows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].flags, 2);
    EXPECT_FALSE(rows[0].address.empty());
    // Nanoseconds since 2001: 2019-08-29.
    EXPECT_EQ(rows[0].date, 1567120410);
}

TEST_F(RealDataSyncTest, AnIos13PhoneGivesEachOfIts105MessagesOnce) {
    SKIP_WITHOUT_REAL_DATA();
    phoneWith("14.3", "no-licence/ios13-magnetctf2020/sms.db.gz");
    sync();
    sync();
    EXPECT_EQ(counted(), (Directions{54, 51}));
}

TEST_F(RealDataSyncTest, AnIos5PhoneWhoseMessagesSitOnlyInTheWalIsRead) {
    SKIP_WITHOUT_REAL_DATA();
    phoneWith("5.1.1", "no-licence/ios5-wal-eichbaum/sms.db.gz", "no-licence/ios5-wal-eichbaum/sms.db-wal.gz");
    sync();
    // Four messages; the first has no address, so three are counted.
    EXPECT_EQ(counted(), (Directions{1, 2}));
    EXPECT_TRUE(fs::exists(DevicePaths::smsDatabase() + "-wal")) << "sms.db is only read, never checkpointed";
}

TEST_F(RealDataSyncTest, APhoneThatDeletedMessagesBetweenTwoBackupsIsCountedOnce) {
    SKIP_WITHOUT_REAL_DATA();
    const std::string a = "no-licence/pre-ios10-wal-testsmsreader/stateA/";
    const std::string b = "no-licence/pre-ios10-wal-testsmsreader/stateB/";
    phoneWith("10.3", a + "sms.db.gz", a + "sms.db-wal.gz");
    sync();
    EXPECT_EQ(counted(), (Directions{5, 3}));
    // The later state lost those eight and gained two rows, numbered after
    // them and dated in one second: a received message, and a group change
    // (item_type 1) that is no text.
    install(b + "sms.db.gz", b + "sms.db-wal.gz");
    sync();
    sync();
    EXPECT_EQ(counted(), (Directions{6, 3}));
}

TEST_F(RealDataSyncTest, AMacDatabaseWithoutReactionColumnsIsRead) {
    SKIP_WITHOUT_REAL_DATA();
    phoneWith("17.1", "macos-chatdb-plaso/imessage_chat.db.gz");
    sync();
    EXPECT_EQ(counted(), (Directions{5, 5}));
}

TEST_F(RealDataSyncTest, AGroupSendGivesOneRowPerRecipient) {
    SKIP_WITHOUT_REAL_DATA();
    phoneWith("17.1", "macos13-chatdb-imessagedb/chat.db.gz");
    sync();
    // A group send to two people, its text only in attributedBody, and a
    // message to one.
    const auto rows = counterRows();
    EXPECT_EQ(counted(), (Directions{0, 3}));
    for (const CounterRow& row : rows) EXPECT_TRUE(row.text.has_value()) << row.address;
}
