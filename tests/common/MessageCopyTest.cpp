// Every message of sms.db is counted exactly once, whatever its date says and
// whatever happened to the file: the sync follows the phone's own numbering.
#include "common/MarkerSync.h"
#include "common/PhoneProfile.h"
#include "common/Seeding.h"
#include "common/SettingsKeys.h"
#include "common/SettingsStore.h"
#include "platform/DevicePaths.h"
#include "platform/SqliteDatabase.h"
#include "platform/SqliteHardening.h"
#include "platform/SqliteStatement.h"
#include "platform/SystemVersion.h"
#include "support/CapturedStderr.h"
#include "support/CounterRows.h"
#include "support/TempDeviceRoot.h"
#include "tools/fixtures/DeviceFixture.h"
#include "tools/fixtures/ModernMessage.h"
#include "tools/fixtures/SmsDatabaseFixture.h"

#include <gtest/gtest.h>

#include <climits>
#include <ctime>
#include <filesystem>
#include <map>
#include <set>
#include <string>

namespace fs = std::filesystem;

namespace {

constexpr std::int64_t kBase = 1767225600;  // 2026-01-01 00:00:00 UTC
constexpr std::int64_t kDay = 86400;

class MessageCopyTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(DeviceFixture::createDeviceRoot(root_.path(), GetParam(), &error)) << error;
        Seeding::copyIfNeeded();
    }

    bool sixOrLater() const { return SystemVersion::isSixOrLater(GetParam()); }
    SmsDatabaseFixture sms() const { return SmsDatabaseFixture(DevicePaths::smsDatabase()); }

    long long store(const std::string& text, std::int64_t date, bool sent = false,
                    const std::string& address = "+14155550101") {
        const long long rowid = sms().storeMessage(FixtureMessage{address, text, date, sent, "SMS"});
        EXPECT_GT(rowid, 0) << sms().lastError();
        return rowid;
    }

    // A sync as the programs run it: markers from the settings file and back.
    void sync() {
        const MarkerSync::Outcome outcome = MarkerSync::syncWithStoredMarkers();
        ASSERT_TRUE(outcome.ran);
        ASSERT_EQ(outcome.status, SyncStatus::Ok);
    }

    // How often each text was counted.
    static std::map<std::string, int> countedTexts() {
        std::map<std::string, int> counted;
        for (const CounterRow& row : counterRows()) ++counted[row.text.value_or("<null>")];
        return counted;
    }

    void removeFromPhone(long long rowid) {
        SqliteDatabase db;
        ASSERT_TRUE(db.open(DevicePaths::smsDatabase(), SqliteDatabase::Mode::ReadWrite));
        ASSERT_TRUE(db.exec("delete from message where ROWID = " + std::to_string(rowid)));
    }

    void copyPhoneFile(const std::string& target) {
        fs::copy_file(DevicePaths::smsDatabase(), target, fs::copy_options::overwrite_existing);
    }
    // The phone's file replaced whole, as an import or a restore does.
    void replacePhoneFile(const std::string& source) {
        const std::string staged = DevicePaths::smsDatabase() + ".staged";
        fs::copy_file(source, staged, fs::copy_options::overwrite_existing);
        fs::rename(staged, DevicePaths::smsDatabase());
    }

    TempDeviceRoot root_;
};

std::map<std::string, int> once(std::initializer_list<const char*> texts) {
    std::map<std::string, int> counted;
    for (const char* text : texts) counted[text] = 1;
    return counted;
}

}  // namespace

TEST_P(MessageCopyTest, AMessageOfTheSameSecondAsTheLastOneCopiedIsCopiedToo) {
    std::map<std::string, int> expected;
    for (int i = 0; i < 5; ++i) {
        const std::string first = "first " + std::to_string(i), second = "second " + std::to_string(i);
        store(first, kBase + i, i % 2 == 1);
        sync();
        store(second, kBase + i, i % 2 == 1);  // dated in the same second, stored after the sync
        sync();
        expected[first] = expected[second] = 1;
    }
    EXPECT_EQ(countedTexts(), expected);
}

TEST_P(MessageCopyTest, RowsDatedInTheFutureOrThePastHoldNothingBack) {
    const std::int64_t now = std::time(nullptr);
    store("two days ahead", now + 2 * kDay);
    store("sent ahead", now + 3 * kDay, true);
    sync();
    store("now", now);
    store("sent now", now, true);
    sync();
    store("three years ago", now - 3 * 365 * kDay);
    sync();
    EXPECT_EQ(countedTexts(), once({"two days ahead", "sent ahead", "now", "sent now", "three years ago"}));

    // The settings markers still say where the newest copied date is, as
    // other readers expect, even when a clock ran ahead.
    const auto settings = SettingsStore::load();
    ASSERT_TRUE(settings);
    EXPECT_EQ(SettingsStore::lastSyncReceived(&*settings), now + 2 * kDay + 1);
    EXPECT_EQ(SettingsStore::lastSyncSent(&*settings), now + 3 * kDay + 1);
}

TEST_P(MessageCopyTest, ARowAtTheEndOfTheDateRangeHoldsNothingBack) {
    // The largest date each schema can hold in its date column.
    if (sixOrLater())
        sms().storeNewRaw(std::string("+14155550101"), INT64_MAX, "end of time", 0, "SMS");
    else
        sms().storeOldRaw(std::string("+14155550101"), INT64_MAX, "end of time", 2);
    sync();
    store("after the end of time", kBase);
    sync();
    EXPECT_EQ(countedTexts(), once({"end of time", "after the end of time"}));
}

TEST_P(MessageCopyTest, MessagesDeletedOnThePhoneLeaveTheOthersCountedOnce) {
    store("a", kBase);
    const long long b = store("b", kBase + 1);
    sync();
    removeFromPhone(b);  // the newest message the sync read
    store("c", kBase + 1);
    sync();
    const long long d = store("d", kBase + 2);
    removeFromPhone(d);  // gone before any sync saw it
    store("e", kBase + 3);
    sync();
    EXPECT_EQ(countedTexts(), once({"a", "b", "c", "e"}));
}

TEST_P(MessageCopyTest, APhoneRestoredFromAnOlderBackupIsCountedWithoutDoubles) {
    store("a", kBase);
    store("b", kBase + 10);
    const std::string backup = root_.path() + "/older-backup.db";
    copyPhoneFile(backup);
    store("c", kBase + 20);
    store("d", kBase + 30);
    sync();

    // The restored phone numbers its new messages from where the backup
    // stood, so they take the ROWIDs that c and d had.
    replacePhoneFile(backup);
    store("e", kBase + 40);
    store("f", kBase + 40);
    sync();
    sync();
    EXPECT_EQ(countedTexts(), once({"a", "b", "c", "d", "e", "f"}));
}

// The restored phone numbers new messages up to the mark again, and the one
// under the mark's own ROWID is then deleted: the phone's counter has passed
// the mark, but the messages below it were never read. (Found by the
// exactly-once soak, seed 100317.)
TEST_P(MessageCopyTest, ARestoredPhoneWhoseMessageUnderTheMarkWasDeletedLosesNothing) {
    store("a", kBase);
    store("b", kBase + 10);
    const std::string backup = root_.path() + "/older-backup.db";
    copyPhoneFile(backup);
    store("c", kBase + 20);
    store("x", kBase + 25);  // the mark
    sync();

    replacePhoneFile(backup);
    store("d", kBase + 30);                      // takes c's ROWID
    const long long e = store("e", kBase + 40);  // takes the mark's ROWID
    removeFromPhone(e);
    sync();
    // Only d is left below the mark's ROWID, and it was never read.
    EXPECT_EQ(countedTexts(), once({"a", "b", "c", "x", "d"}));

    // A deletion on the same phone still needs no matching: the newest
    // message below the mark is a counted one.
    const long long f = store("f", kBase + 50);
    sync();
    removeFromPhone(f);
    store("g", kBase + 60);
    const std::string said = stderrOf([&] { sync(); });
    EXPECT_EQ(said, "");
    EXPECT_EQ(countedTexts(), once({"a", "b", "c", "x", "d", "f", "g"}));
}

// A restored phone's new message under the mark's ROWID, of the same second
// and the same other party as the message the mark names, is still another
// message. (Found by the exactly-once soak, seeds 103982 and 101913, on
// phones before 6.0, whose messages have no guid.)
TEST_P(MessageCopyTest, AnotherMessageOfTheSameSecondAndPartyUnderTheMarkIsCopied) {
    store("a", kBase);
    const std::string backup = root_.path() + "/older-backup.db";
    copyPhoneFile(backup);
    store("b", kBase + 10);
    sync();
    replacePhoneFile(backup);
    store("c", kBase + 10, true);  // b's ROWID, second and party
    sync();
    EXPECT_EQ(countedTexts(), once({"a", "b", "c"}));
}

TEST_P(MessageCopyTest, ANewerBackupAndAnotherPhoneAreCountedWithoutDoubles) {
    store("a", kBase);
    store("b", kBase + 10);
    sync();
    const std::string newer = root_.path() + "/newer.db";
    copyPhoneFile(newer);
    SmsDatabaseFixture(newer).storeMessage(FixtureMessage{"+14155550101", "c", kBase + 20, false, "SMS"});
    replacePhoneFile(newer);
    sync();
    EXPECT_EQ(countedTexts(), once({"a", "b", "c"}));

    // Another phone's file: every message of it is new.
    const std::string other = root_.path() + "/other.db";
    SmsDatabaseFixture otherPhone(other);
    ASSERT_TRUE(otherPhone.createForVersion(GetParam()));
    otherPhone.storeMessage(FixtureMessage{"+14155550177", "x", kBase + 5, true, "SMS"});
    otherPhone.storeMessage(FixtureMessage{"+14155550177", "y", kBase + 6, false, "SMS"});
    otherPhone.storeMessage(FixtureMessage{"+14155550177", "z", kBase + 7, false, "SMS"});
    otherPhone.storeMessage(FixtureMessage{"+14155550177", "w", kBase + 8, false, "SMS"});
    // Two texts alike in everything are two messages.
    otherPhone.storeMessage(FixtureMessage{"+14155550177", "twice", kBase + 9, false, "SMS"});
    otherPhone.storeMessage(FixtureMessage{"+14155550177", "twice", kBase + 9, false, "SMS"});
    const std::string said = stderrOf([&] {
        replacePhoneFile(other);
        sync();
    });
    EXPECT_NE(said.find("not the file the last sync read"), std::string::npos) << said;
    store("after the switch", kBase + 50);
    sync();
    auto expected = once({"a", "b", "c", "x", "y", "z", "w", "after the switch"});
    expected["twice"] = 2;
    EXPECT_EQ(countedTexts(), expected);
}

TEST_P(MessageCopyTest, ACounterDatabaseFromBeforeTheMarkStartsFromTheDateMarkersOnce) {
    store("copied by an older version", kBase);
    sync();
    // What an older version left: rows, date markers, no mark of the phone's
    // numbering.
    {
        SqliteDatabase counter;
        ASSERT_TRUE(counter.open(PhoneProfile::find().counterDatabase(), SqliteDatabase::Mode::ReadWrite));
        ASSERT_TRUE(counter.exec("DROP TABLE sync_source"));
    }
    store("new since", kBase + 5);
    store("dated before the marker, never copied", kBase - 5);
    sync();
    store("same second as the newest", kBase + 5);
    sync();
    EXPECT_EQ(countedTexts(), once({"copied by an older version", "new since", "same second as the newest"}));
}

TEST_P(MessageCopyTest, ATextOverTheValueCapIsCopiedCutAndTheSyncMovesOn) {
    const std::size_t cap = SqliteHardening::kMaxValueBytes;
    // Two-byte characters, so the cut falls inside one.
    std::string huge;
    huge.reserve(cap + 1024 * 1024);
    huge += "x";
    while (huge.size() < cap + 1024 * 1024) huge += "\xC3\xA9";
    store("before", kBase);
    store(huge, kBase + 1, true);
    store("after", kBase + 2);
    const std::string said = stderrOf([&] { sync(); });
    EXPECT_EQ(lineCount(said), 1) << said;
    EXPECT_NE(said.find("cut"), std::string::npos) << said;

    const auto rows = counterRows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].text, "before");
    ASSERT_TRUE(rows[1].text);
    EXPECT_LE(rows[1].text->size(), cap);
    EXPECT_GT(rows[1].text->size(), cap - 2);
    EXPECT_EQ(rows[1].text->substr(0, 3), "x\xC3\xA9");
    EXPECT_EQ(rows[1].text->size() % 2, 1u) << "whole characters only";
    EXPECT_EQ(rows[1].flags, 3);
    EXPECT_EQ(rows[2].text, "after");

    store("later", kBase + 3);
    sync();
    EXPECT_EQ(counterRows().size(), 4u);
}

INSTANTIATE_TEST_SUITE_P(EverySchema, MessageCopyTest, ::testing::Values("5.1.1", "6.1.3", "17.1"),
                         [](const auto& info) {
                             std::string name = info.param;
                             for (char& c : name)
                                 if (c == '.') c = '_';
                             return "v" + name;
                         });

// A group send is copied as one row per recipient, many insert statements'
// worth; a row refused part-way (here by a trigger, as a full disk would)
// keeps the messages before it and none of the group send's rows, and the
// next sync copies the send whole, once.
TEST(MessageCopyGroupTest, AGroupSendIsStoredWholeOrNotAtAll) {
    TempDeviceRoot root;
    ASSERT_TRUE(DeviceFixture::createDeviceRoot(root.path(), "17.1"));
    Seeding::copyIfNeeded();
    SmsDatabaseFixture sms(DevicePaths::smsDatabase());
    auto oneToOne = [](const std::string& text, std::int64_t date) {
        ModernMessage message;
        message.chat = FixtureChat::groupOf({"+14155550100"});
        message.chat.group = false;
        message.text = text;
        message.unixDate = date;
        return message;
    };
    ASSERT_GE(sms.storeModern(oneToOne("before", kBase)), 0) << sms.lastError();
    std::vector<std::string> members;
    for (int i = 0; i < 300; ++i) members.push_back("+1415556" + std::to_string(1000 + i));
    ModernMessage group;
    group.sent = true;
    group.chat = FixtureChat::groupOf(members);
    group.text = "to everyone";
    group.unixDate = kBase + 1;
    ASSERT_GE(sms.storeModern(group), 0) << sms.lastError();
    ASSERT_GE(sms.storeModern(oneToOne("after", kBase + 2)), 0) << sms.lastError();
    {
        SqliteDatabase counter;
        ASSERT_TRUE(counter.open(PhoneProfile::find().counterDatabase(), SqliteDatabase::Mode::ReadWrite));
        ASSERT_TRUE(
            counter.exec("CREATE TRIGGER refuse BEFORE INSERT ON message WHEN NEW.address = '+14155561200' "
                         "BEGIN SELECT RAISE(ABORT, 'refused'); END"));
    }
    stderrOf([] { MarkerSync::syncWithStoredMarkers(); });
    auto rows = counterRows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].text, "before");
    {
        SqliteDatabase counter;
        ASSERT_TRUE(counter.open(PhoneProfile::find().counterDatabase(), SqliteDatabase::Mode::ReadWrite));
        ASSERT_TRUE(counter.exec("DROP TRIGGER refuse"));
    }
    MarkerSync::syncWithStoredMarkers();
    MarkerSync::syncWithStoredMarkers();
    std::map<std::string, int> perText;
    std::set<std::string> recipients;
    for (const CounterRow& row : counterRows()) {
        ++perText[row.text.value_or("")];
        if (row.text == "to everyone") recipients.insert(row.address);
    }
    EXPECT_EQ(perText, (std::map<std::string, int>{{"before", 1}, {"to everyone", 300}, {"after", 1}}));
    EXPECT_EQ(recipients.size(), 300u);
}
