#include "tools/fixtures/SmsDatabaseFixture.h"

#include "platform/SqliteDatabase.h"
#include "support/TempDeviceRoot.h"
#include "tools/SmsReadBack.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

using sms_read_back::read;
using sms_read_back::scalar;

constexpr std::int64_t kDate = 1370000000;  // 2013-05-31

class SmsDatabaseFixtureTest : public ::testing::Test {
protected:
    std::string path() const { return root_.path() + "/Library/SMS/sms.db"; }
    TempDeviceRoot root_;
};

FixtureMessage message(std::string address, std::optional<std::string> text, std::int64_t date, bool sent,
                       std::string service = "SMS") {
    return FixtureMessage{std::move(address), std::move(text), date, sent, std::move(service)};
}

TEST_F(SmsDatabaseFixtureTest, OldSchemaRoundTripsThroughTheSyncStatement) {
    SmsDatabaseFixture sms(path());
    ASSERT_TRUE(sms.create(SmsSchema::Old)) << sms.lastError();
    ASSERT_GT(sms.storeMessage(message("+14155550100", "Hello €uro [x]", kDate, false)), 0) << sms.lastError();
    ASSERT_GT(sms.storeMessage(message("4155550101", std::nullopt, kDate + 5, true)), 0);
    ASSERT_GT(sms.storeMessage(message("72345", std::string(), kDate + 9, false)), 0);

    auto rows = read(path(), false);
    ASSERT_TRUE(rows);
    std::vector<ReadBackRow> expected{
        {"+14155550100", kDate, "Hello €uro [x]", 2, ""},
        {"4155550101", kDate + 5, std::nullopt, 3, ""},
        {"72345", kDate + 9, std::string(), 2, ""},
    };
    EXPECT_EQ(*rows, expected);
}

TEST_F(SmsDatabaseFixtureTest, OldSchemaRawRowsKeepWhatTheReaderMustSkip) {
    SmsDatabaseFixture sms(path());
    ASSERT_TRUE(sms.create(SmsSchema::Old));
    EXPECT_GT(sms.storeOldRaw("+14155550100", kDate, std::string("draft"), 0), 0);
    EXPECT_GT(sms.storeOldRaw("+14155550100", kDate, std::string("failed"), 33), 0);
    EXPECT_GT(sms.storeOldRaw(std::nullopt, kDate, std::string("no address"), 2), 0);
    EXPECT_GT(sms.storeOldRaw("+14155550100", kDate, std::string("kept"), 3), 0);

    EXPECT_EQ(sms.messageCount(), 4);
    auto rows = read(path(), false);
    ASSERT_TRUE(rows);
    ASSERT_EQ(rows->size(), 2u);  // flags 0 and 33 never match the statement
    EXPECT_FALSE((*rows)[0].address.has_value());
    EXPECT_EQ((*rows)[1].text, "kept");
    // The raw writer of the other schema refuses this file.
    EXPECT_EQ(sms.storeNewRaw("x", 0, std::nullopt, 0, "SMS"), -1);
}

TEST_F(SmsDatabaseFixtureTest, OldSchemaMarkersSelectEachDirectionSeparately) {
    SmsDatabaseFixture sms(path());
    ASSERT_TRUE(sms.create(SmsSchema::Old));
    ASSERT_TRUE(sms.storeMessages({message("a", "r1", kDate, false), message("a", "s1", kDate, true),
                                   message("a", "r2", kDate + 100, false), message("a", "s2", kDate + 100, true)}));
    auto rows = read(path(), false, kDate + 1, kDate);
    ASSERT_TRUE(rows);
    ASSERT_EQ(rows->size(), 3u);
    EXPECT_EQ((*rows)[0].text, "s1");
    EXPECT_EQ((*rows)[1].text, "r2");
    EXPECT_EQ((*rows)[2].text, "s2");
}

TEST_F(SmsDatabaseFixtureTest, NewSchemaRoundTripsThroughTheSyncStatement) {
    SmsDatabaseFixture sms(path());
    ASSERT_TRUE(sms.create(SmsSchema::New)) << sms.lastError();
    ASSERT_TRUE(sms.storeMessages({
        message("+14155550100", "Привет", kDate, false),
        message("+14155550100", std::nullopt, kDate + 1, true),
        message("me@example.com", "", kDate + 2, true, "iMessage"),
    })) << sms.lastError();

    auto rows = read(path(), true);
    ASSERT_TRUE(rows);
    std::vector<ReadBackRow> expected{
        {"+14155550100", kDate, "Привет", 2, "SMS"},
        {"+14155550100", kDate + 1, std::nullopt, 3, "SMS"},
        {"me@example.com", kDate + 2, std::string(), 3, "iMessage"},
    };
    EXPECT_EQ(*rows, expected);
}

TEST_F(SmsDatabaseFixtureTest, NewSchemaStoresDatesFromTheYear2001) {
    SmsDatabaseFixture sms(path());
    ASSERT_TRUE(sms.create(SmsSchema::New));
    ASSERT_GT(sms.storeMessage(message("a", "x", kDate, false)), 0);
    EXPECT_EQ(scalar(path(), "SELECT date FROM message"), kDate - SmsDatabaseFixture::kNewSchemaEpochOffset);
    EXPECT_EQ(SmsDatabaseFixture::kNewSchemaEpochOffset, 978307200);

    // The sync's lower bound is in Unix seconds and converted by the statement.
    auto rows = read(path(), true, kDate + 1, 0);
    ASSERT_TRUE(rows);
    EXPECT_TRUE(rows->empty());
    rows = read(path(), true, kDate, kDate);
    ASSERT_TRUE(rows);
    EXPECT_EQ(rows->size(), 1u);
}

TEST_F(SmsDatabaseFixtureTest, NewSchemaReusesOneHandlePerAddressAndService) {
    SmsDatabaseFixture sms(path());
    ASSERT_TRUE(sms.create(SmsSchema::New));
    // Within one batch (the writer's cache) and across calls (a lookup in the file).
    ASSERT_TRUE(sms.storeMessages({message("a", "1", kDate, false), message("a", "2", kDate, true),
                                   message("b", "3", kDate, false), message("a", "4", kDate, false, "iMessage")}));
    ASSERT_GT(sms.storeMessage(message("a", "5", kDate, true)), 0);
    ASSERT_TRUE(sms.storeMessages({message("b", "6", kDate, false)}));
    ASSERT_GT(sms.storeNewRaw("a", 0, std::string("7"), 1, "SMS"), 0);

    EXPECT_EQ(scalar(path(), "SELECT COUNT(*) FROM handle"), 3);
    EXPECT_EQ(scalar(path(), "SELECT COUNT(DISTINCT handle_id) FROM message"), 3);
    EXPECT_EQ(scalar(path(),
                     "SELECT COUNT(*) FROM message m JOIN handle h ON h.ROWID = m.handle_id"
                     " WHERE h.id = 'a' AND h.service = 'SMS'"),
              4);
}

TEST_F(SmsDatabaseFixtureTest, NewSchemaRawRowsKeepWhatTheReaderMustSkip) {
    SmsDatabaseFixture sms(path());
    ASSERT_TRUE(sms.create(SmsSchema::New));
    const std::int64_t platformDate = kDate - SmsDatabaseFixture::kNewSchemaEpochOffset;
    EXPECT_GT(sms.storeNewRaw(std::nullopt, platformDate, std::string("no handle"), 0, "SMS"), 0);
    EXPECT_GT(sms.storeNewRaw("", platformDate, std::string("empty address"), 0, "SMS"), 0);
    EXPECT_GT(sms.storeNewRaw("a", platformDate, std::string("odd direction"), 2, "SMS"), 0);
    EXPECT_EQ(scalar(path(), "SELECT handle_id FROM message WHERE text = 'no handle'"), 0);

    auto rows = read(path(), true);
    ASSERT_TRUE(rows);
    // The message without a handle drops out of the join, and the one of
    // neither direction out of the per-direction bounds.
    ASSERT_EQ(rows->size(), 1u);
    EXPECT_EQ((*rows)[0].address, "");
    EXPECT_EQ((*rows)[0].date, kDate);
    EXPECT_EQ(scalar(path(), "SELECT is_from_me FROM message WHERE text = 'odd direction'"), 2);
    EXPECT_EQ(sms.storeOldRaw("a", 0, std::nullopt, 2), -1);
}

TEST_F(SmsDatabaseFixtureTest, CreateKeepsRowsAndRefusesTheOtherSchema) {
    SmsDatabaseFixture sms(path());
    EXPECT_FALSE(sms.detectSchema().has_value());
    ASSERT_TRUE(sms.create(SmsSchema::New));
    ASSERT_GT(sms.storeMessage(message("a", "x", kDate, false)), 0);
    EXPECT_TRUE(sms.create(SmsSchema::New));
    EXPECT_EQ(sms.messageCount(), 1);
    EXPECT_EQ(sms.detectSchema(), SmsSchema::New);

    EXPECT_FALSE(sms.create(SmsSchema::Old));
    EXPECT_NE(sms.lastError().find(path()), std::string::npos);
    EXPECT_EQ(sms.detectSchema(), SmsSchema::New);
}

TEST_F(SmsDatabaseFixtureTest, FailuresAreReportedNotHidden) {
    SmsDatabaseFixture missing(path());
    EXPECT_EQ(missing.storeMessage(message("a", "x", kDate, false)), -1);
    EXPECT_FALSE(missing.lastError().empty());
    EXPECT_FALSE(missing.storeMessages({message("a", "x", kDate, false)}));
    EXPECT_EQ(missing.messageCount(), -1);

    // A file with some other database in it holds neither schema.
    std::ofstream(root_.path() + "/other.db").close();
    SmsDatabaseFixture other(root_.path() + "/other.db");
    {
        SqliteDatabase db;
        ASSERT_TRUE(db.open(other.path(), SqliteDatabase::Mode::ReadWrite));
        ASSERT_TRUE(db.exec("CREATE TABLE notes (body TEXT)"));
    }
    EXPECT_FALSE(other.detectSchema().has_value());
    EXPECT_EQ(other.storeMessage(message("a", "x", kDate, false)), -1);
}

TEST_F(SmsDatabaseFixtureTest, BatchIsAllOrNothing) {
    SmsDatabaseFixture sms(path());
    ASSERT_TRUE(sms.create(SmsSchema::New));
    {
        SqliteDatabase db;
        ASSERT_TRUE(db.open(path(), SqliteDatabase::Mode::ReadWrite));
        ASSERT_TRUE(
            db.exec("CREATE TRIGGER refuse BEFORE INSERT ON message WHEN NEW.text = 'boom'"
                    " BEGIN SELECT RAISE(ABORT, 'refused'); END"));
    }
    EXPECT_FALSE(sms.storeMessages({message("a", "fine", kDate, false), message("new", "boom", kDate, false)}));
    EXPECT_NE(sms.lastError().find("refused"), std::string::npos) << sms.lastError();
    EXPECT_EQ(sms.messageCount(), 0);
    EXPECT_EQ(scalar(path(), "SELECT COUNT(*) FROM handle"), 0);
}

}  // namespace
