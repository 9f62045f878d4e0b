// The sync against the sms.db of today's phones: the family that began with
// 6.0, with the columns and tables later systems appended.
#include "common/MarkerSync.h"
#include "common/Seeding.h"
#include "common/SettingsStore.h"
#include "common/CounterStore.h"
#include "common/SmsReader.h"
#include "platform/SqliteDatabase.h"
#include "platform/SqliteStatement.h"
#include "platform/DevicePaths.h"
#include "support/CounterRows.h"
#include "support/TempDeviceRoot.h"
#include "tools/fixtures/AttributedBodyEncoder.h"
#include "tools/fixtures/DeviceFixture.h"
#include "tools/fixtures/SmsDatabaseFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr std::int64_t kBase = 1700000000;  // 2023-11-14 22:13:20 UTC

std::vector<std::string> addresses(const std::vector<CounterRow>& rows) {
    std::vector<std::string> out;
    for (const auto& row : rows) out.push_back(row.address);
    return out;
}

// A device of the given system version whose sms.db has that version's
// column set, seeded as the programs seed it.
class ModernSyncTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(DeviceFixture::createDeviceRoot(root_.path(), GetParam(), &error)) << error;
        Seeding::copyIfNeeded();
        ASSERT_EQ(sms().detectColumnSet(), DeviceFixture::columnSetForVersion(GetParam()));
    }

    SmsDatabaseFixture sms() const { return SmsDatabaseFixture(DevicePaths::smsDatabase()); }
    void store(const ModernMessage& message) { ASSERT_GE(sms().storeModern(message), 0) << sms().lastError(); }
    static void syncTimes(int times) {
        for (int i = 0; i < times; ++i) ASSERT_TRUE(MarkerSync::syncWithStoredMarkers().ran);
    }

    TempDeviceRoot root_;
};

}  // namespace

TEST_P(ModernSyncTest, OneToOneMessagesOfBothDirectionsAreCopiedOnceWhateverTheNumberOfSyncs) {
    store(ModernMessage::received("+14155550101", "See you at eight", kBase + 10));
    // Sent rows keep handle_id 0: the address comes from the chat.
    store(ModernMessage::sentTo("+14155550102", "On my way", kBase + 20));
    syncTimes(3);

    const auto rows = counterRows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].address, "+14155550101");
    EXPECT_EQ(rows[0].date, kBase + 10);  // whole Unix seconds, in any unit of the file
    EXPECT_EQ(rows[0].flags, 2);
    EXPECT_EQ(rows[0].text, "See you at eight");
    EXPECT_EQ(rows[0].type, "SMS");
    EXPECT_EQ(rows[0].smscount, 1);
    EXPECT_EQ(rows[1].address, "+14155550102");
    EXPECT_EQ(rows[1].flags, 3);
    EXPECT_EQ(rows[1].date, kBase + 20);

    const auto settings = SettingsStore::load();
    ASSERT_TRUE(settings);
    EXPECT_EQ(SettingsStore::lastSyncReceived(&*settings), kBase + 11);
    EXPECT_EQ(SettingsStore::lastSyncSent(&*settings), kBase + 21);
}

TEST_P(ModernSyncTest, ASentGroupMessageIsOneTextPerRecipientAndAReceivedOneComesFromItsSender) {
    const auto group = FixtureChat::groupOf({"+14155550101", "+14155550102", "+14155550103"});
    ModernMessage sent = ModernMessage::sentTo("", "Dinner at 8?", kBase + 10);
    sent.chat = group;
    store(sent);
    ModernMessage reply = ModernMessage::received("", "Yes", kBase + 20);
    reply.chat = group;
    reply.sender = "+14155550102";
    store(reply);
    syncTimes(2);

    const auto rows = counterRows();
    ASSERT_EQ(rows.size(), 4u);
    auto recipients = addresses({rows.begin(), rows.begin() + 3});
    std::sort(recipients.begin(), recipients.end());
    EXPECT_EQ(recipients, (std::vector<std::string>{"+14155550101", "+14155550102", "+14155550103"}));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(rows[i].flags, 3);
        EXPECT_EQ(rows[i].text, "Dinner at 8?");
    }
    EXPECT_EQ(rows[3].address, "+14155550102");
    EXPECT_EQ(rows[3].flags, 2);
}

TEST_P(ModernSyncTest, AMessageInSeveralChatsIsStillOneMessage) {
    ModernMessage sent = ModernMessage::sentTo("+14155550101", "once", kBase + 10);
    sent.alsoIn.push_back(FixtureChat::oneToOne("+14155550101", "iMessage"));
    store(sent);
    syncTimes(1);
    const auto rows = counterRows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].address, "+14155550101");
}

TEST_P(ModernSyncTest, RowsThatReachNoAddressAreSkippedAndMoveNoMarker) {
    // A group without members left in it, and a received row without a
    // handle in a group: nobody to bill, nobody known to have written.
    ModernMessage lonely = ModernMessage::sentTo("", "nobody", kBase + 50);
    lonely.chat = FixtureChat::groupOf({"+14155550199", "+14155550198"});
    store(lonely);
    ModernMessage unknownSender = ModernMessage::received("", "who wrote this?", kBase + 60);
    unknownSender.chat = FixtureChat::groupOf({"+14155550197", "+14155550196"});
    store(unknownSender);
    {
        // Everybody left the first group; the second lost its sender's handle.
        SqliteDatabase db;
        ASSERT_TRUE(db.open(DevicePaths::smsDatabase(), SqliteDatabase::Mode::ReadWrite));
        ASSERT_TRUE(
            db.exec("DELETE FROM chat_handle_join WHERE handle_id IN "
                    "(SELECT ROWID FROM handle WHERE id IN ('+14155550199', '+14155550198'))"));
        ASSERT_TRUE(db.exec("UPDATE message SET handle_id = 0 WHERE text = 'who wrote this?'"));
    }
    store(ModernMessage::received("+14155550101", "real", kBase + 10));
    syncTimes(1);
    const auto rows = counterRows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].text, "real");
    const auto settings = SettingsStore::load();
    EXPECT_EQ(SettingsStore::lastSyncSent(&*settings), 0);
    EXPECT_EQ(SettingsStore::lastSyncReceived(&*settings), kBase + 11);
}

TEST_P(ModernSyncTest, TheServiceComesFromTheMessageThenItsHandleThenItsChat) {
    store(ModernMessage::received("+14155550101", "over iMessage", kBase + 1));
    ModernMessage imessage = ModernMessage::received("+14155550102", "blue", kBase + 2);
    imessage.service = "iMessage";
    imessage.chat = FixtureChat::oneToOne("+14155550102", "iMessage");
    store(imessage);
    ModernMessage unknown = ModernMessage::sentTo("+14155550103", "no service on the row", kBase + 3);
    unknown.service = std::nullopt;
    store(unknown);
    syncTimes(1);

    const auto rows = counterRows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].type, "SMS");
    EXPECT_EQ(rows[1].type, "iMessage");
    EXPECT_EQ(rows[2].type, "SMS");  // the chat's and its handle's service
    // Only SMS rows count.
    EXPECT_EQ(CounterStore::forCurrentPhone().countIncomingFrom(kBase, kBase + 100, nullptr, nullptr, nullptr), 1);
}

TEST_P(ModernSyncTest, TheBodyComesFromAttributedBodyWhenTextIsNullWithoutPlaceholders) {
    ModernMessage onlyBlob = ModernMessage::received("+14155550101", "Only in the blob \xF0\x9F\x98\x80", kBase + 1);
    onlyBlob.body = BodyStorage::AttributedBodyOnly;
    store(onlyBlob);
    ModernMessage picture = ModernMessage::received("+14155550101", "\xEF\xBF\xBC", kBase + 2);  // U+FFFC alone
    picture.body = BodyStorage::AttributedBodyOnly;
    store(picture);
    ModernMessage captioned = ModernMessage::sentTo("+14155550101",
                                                    "\xEF\xBF\xBC"
                                                    "Look at this",
                                                    kBase + 3);
    store(captioned);  // text and blob both hold the placeholder
    ModernMessage garbage = ModernMessage::received("+14155550101", "x", kBase + 4);
    garbage.body = BodyStorage::AttributedBodyOnly;
    garbage.attributedBody = std::vector<unsigned char>{0x04, 0x0B, 's', 't', 'r', 'e', 'a', 'm'};
    store(garbage);
    ModernMessage overlong = ModernMessage::received("+14155550101", "x", kBase + 5);
    overlong.body = BodyStorage::AttributedBodyOnly;
    overlong.attributedBody = AttributedBodyEncoder::encodeDeclaring("cut short", 4000);
    store(overlong);
    syncTimes(1);

    const auto rows = counterRows();
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0].text, "Only in the blob \xF0\x9F\x98\x80");
    EXPECT_EQ(rows[0].smscount, 1);
    EXPECT_EQ(rows[1].text, std::nullopt);
    EXPECT_EQ(rows[1].smscount, 0);
    EXPECT_EQ(rows[2].text, "Look at this");
    EXPECT_EQ(rows[2].smscount, 1);  // GSM once the placeholder is gone
    EXPECT_EQ(rows[3].text, std::nullopt);
    EXPECT_EQ(rows[4].text, "cut short");
}

TEST_P(ModernSyncTest, ReactionsSystemRowsAndFailedSendsAreNotCopiedAndMoveNoMarker) {
    store(ModernMessage::received("+14155550101", "Hello", kBase + 1));
    store(ModernMessage::sentTo("+14155550101", "Hi back", kBase + 2));
    for (int type : {1000, 2000, 2001, 2005, 2006, 2007, 3000, 3003}) {
        ModernMessage reaction =
            ModernMessage::received("+14155550101", "Liked \xE2\x80\x9CHi back\xE2\x80\x9D", kBase + 100);
        reaction.associatedMessageType = type;
        store(reaction);
    }
    for (int type : {2, 3}) {  // ordinary messages with an app balloon
        ModernMessage balloon = ModernMessage::received("+14155550101", "balloon", kBase + 3);
        balloon.associatedMessageType = type;
        store(balloon);
    }
    ModernMessage renamed = ModernMessage::sentTo("+14155550101", std::nullopt, kBase + 200);
    renamed.itemType = 2;
    store(renamed);
    ModernMessage failed = ModernMessage::sentTo("+14155550101", "never went out", kBase + 300);
    failed.error = 22;
    store(failed);
    syncTimes(2);

    const auto rows = counterRows();
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[2].text, "balloon");
    const auto settings = SettingsStore::load();
    EXPECT_EQ(SettingsStore::lastSyncReceived(&*settings), kBase + 4);
    EXPECT_EQ(SettingsStore::lastSyncSent(&*settings), kBase + 3);
}

TEST_P(ModernSyncTest, UndatedRowsAreSkippedAndEachDateIsReadInItsOwnUnit) {
    ModernMessage zero = ModernMessage::received("+14155550101", "date 0", kBase);
    zero.dateStorage = DateStorage::Raw;
    zero.rawDate = 0;
    store(zero);
    ModernMessage null = ModernMessage::received("+14155550101", "date NULL", kBase);
    null.dateStorage = DateStorage::Null;
    store(null);
    // A file carried over from an older phone keeps seconds beside
    // nanoseconds; a nanosecond date's fraction is dropped.
    ModernMessage seconds = ModernMessage::received("+14155550101", "seconds", kBase);
    seconds.dateStorage = DateStorage::Raw;
    seconds.rawDate = kBase + 5 - 978307200;
    store(seconds);
    ModernMessage nanos = ModernMessage::sentTo("+14155550101", "nanoseconds", kBase);
    nanos.dateStorage = DateStorage::Raw;
    nanos.rawDate = (kBase + 7 - 978307200) * 1000000000 + 999999999;
    store(nanos);
    syncTimes(2);

    const auto rows = counterRows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].date, kBase + 5);
    EXPECT_EQ(rows[1].date, kBase + 7);
}

TEST_P(ModernSyncTest, EachDirectionKeepsItsOwnMarkerInUnixSeconds) {
    store(ModernMessage::received("+14155550101", "old received", kBase + 50));
    store(ModernMessage::sentTo("+14155550102", "sent between the markers", kBase + 50));
    store(ModernMessage::received("+14155550101", "new received", kBase + 150));
    std::vector<std::int64_t> markers;
    EXPECT_EQ(CounterStore::forCurrentPhone().copyRMessagesFrom(kBase + 100, kBase + 10, markers), SyncStatus::Ok);
    EXPECT_EQ(markers, (std::vector<std::int64_t>{kBase + 150, kBase + 50}));
    const auto rows = counterRows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].text, "sent between the markers");
}

INSTANTIATE_TEST_SUITE_P(ColumnSets, ModernSyncTest, ::testing::Values("10.3.3", "14.3", "17.1"), [](const auto& info) {
    std::string name = std::string("Ios") + info.param;
    for (char& c : name)
        if (c == '.') c = '_';
    return name;
});

TEST(SmsReaderDates, SecondsAndNanosecondsSince2001AreToldApartPerValue) {
    EXPECT_EQ(SmsReader::unixFromPlatformDate(0), 978307200);
    EXPECT_EQ(SmsReader::unixFromPlatformDate(610000000), 978307200 + 610000000);
    EXPECT_EQ(SmsReader::unixFromPlatformDate(610000000123456789), 978307200 + 610000000);
    // The boundary: 10^11 seconds would be the year 5170; above it, nanoseconds.
    EXPECT_EQ(SmsReader::unixFromPlatformDate(100000000000), 978307200 + 100000000000);
    EXPECT_EQ(SmsReader::unixFromPlatformDate(100000000001), 978307200 + 100);
}
