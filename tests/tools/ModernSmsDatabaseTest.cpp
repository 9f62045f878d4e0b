// The modern sms.db the fixtures write (column sets of iOS 10, 14 and 17):
// real columns, dates in the unit of the version, rows tied to their chats
// the way readers reach them.
#include "common/AttributedBody.h"
#include "platform/SqliteDatabase.h"
#include "platform/SqliteStatement.h"
#include "support/TempDeviceRoot.h"
#include "tools/SmsReadBack.h"
#include "tools/fixtures/AttributedBodyEncoder.h"
#include "tools/fixtures/ModernMessageWriter.h"
#include "tools/fixtures/SmsDatabaseFixture.h"
#include "tools/fixtures/SmsDatabaseSchema.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <climits>
#include <regex>
#include <set>

namespace {

using sms_read_back::scalar;

constexpr std::int64_t kDate = 1700000000;  // 2023-11-14
constexpr std::int64_t kSince2001 = kDate - 978307200;
const std::string kAnna = "+14155550100";
const std::string kBen = "+12125550101";
const std::string kCara = "+13125550102";

std::set<std::string> columnsOf(const std::string& path, const std::string& table) {
    SqliteDatabase db;
    SqliteStatement query;
    std::set<std::string> columns;
    if (!db.open(path, SqliteDatabase::Mode::ReadOnly) || !query.prepare(db, "SELECT name FROM pragma_table_info(?1)"))
        return columns;
    query.bindText(1, table);
    while (query.step() == SqliteStatement::Step::Row) columns.insert(query.columnString(0));
    return columns;
}

std::optional<std::string> text(const std::string& path, const std::string& sql) {
    SqliteDatabase db;
    SqliteStatement query;
    if (!db.open(path, SqliteDatabase::Mode::ReadOnly) || !query.prepare(db, sql)) return std::nullopt;
    if (query.step() != SqliteStatement::Step::Row || query.columnIsNull(0)) return std::nullopt;
    return query.columnString(0);
}

std::optional<std::string> blobText(const std::string& path, long long rowid) {
    SqliteDatabase db;
    SqliteStatement query;
    if (!db.open(path, SqliteDatabase::Mode::ReadOnly) ||
        !query.prepare(db, "SELECT attributedBody FROM message WHERE ROWID = ?1"))
        return std::nullopt;
    query.bindInt(1, rowid);
    if (query.step() != SqliteStatement::Step::Row || query.columnIsNull(0)) return std::nullopt;
    const auto* data = static_cast<const unsigned char*>(sqlite3_column_blob(query.handle(), 0));
    return AttributedBody::extractText(data, static_cast<std::size_t>(sqlite3_column_bytes(query.handle(), 0)));
}

// The other party of any row, the way a reader of a modern file finds it:
// the handle of the row, else the members of its chats.
constexpr const char* kPartiesOf =
    "SELECT group_concat(id, ',') FROM (SELECT DISTINCT h.id FROM handle h WHERE h.ROWID IN ("
    " SELECT handle_id FROM message WHERE ROWID = ?1 AND handle_id > 0 UNION"
    " SELECT chj.handle_id FROM chat_message_join cmj JOIN chat_handle_join chj ON chj.chat_id = cmj.chat_id"
    "  WHERE cmj.message_id = ?1 AND (SELECT handle_id FROM message WHERE ROWID = ?1) = 0) ORDER BY h.id)";

std::string partiesOf(const std::string& path, long long rowid) {
    SqliteDatabase db;
    SqliteStatement query;
    if (!db.open(path, SqliteDatabase::Mode::ReadOnly) || !query.prepare(db, kPartiesOf)) return "?";
    query.bindInt(1, rowid);
    if (query.step() != SqliteStatement::Step::Row || query.columnIsNull(0)) return "";
    return query.columnString(0);
}

class ModernSmsDatabaseTest : public ::testing::TestWithParam<SmsColumnSet> {
protected:
    void SetUp() override { ASSERT_TRUE(sms_.create(GetParam())) << sms_.lastError(); }
    std::string path() const { return sms_.path(); }
    std::string rowSql(const char* column, long long rowid) const {
        return std::string("SELECT ") + column + " FROM message WHERE ROWID = " + std::to_string(rowid);
    }
    std::int64_t platformDate(std::int64_t unix) const { return SmsDatabaseSchema::platformDate(GetParam(), unix); }

    TempDeviceRoot root_;
    SmsDatabaseFixture sms_{root_.path() + "/Library/SMS/sms.db"};
};

TEST_P(ModernSmsDatabaseTest, CarriesTheColumnsAndTablesOfItsVersion) {
    EXPECT_EQ(sms_.detectSchema(), SmsSchema::New);
    EXPECT_EQ(sms_.detectColumnSet(), GetParam());
    const auto message = columnsOf(path(), "message");
    for (const char* column :
         {"ROWID", "guid", "text", "attributedBody", "handle_id", "service", "error", "date", "is_from_me", "is_sent",
          "is_system_message", "cache_roomnames", "cache_has_attachments", "subject", "item_type",
          "associated_message_guid", "associated_message_type", "balloon_bundle_id", "message_summary_info"})
        EXPECT_TRUE(message.count(column)) << column;
    const bool since14 = GetParam() != SmsColumnSet::Ios10;
    const bool since17 = GetParam() == SmsColumnSet::Ios17;
    EXPECT_EQ(message.count("thread_originator_guid"), since14 ? 1u : 0u);
    EXPECT_EQ(message.count("date_edited"), since17 ? 1u : 0u);
    EXPECT_EQ(message.count("part_count"), since17 ? 1u : 0u);
    EXPECT_EQ(message.size(), since17 ? 88u : since14 ? 74u : 60u);

    EXPECT_EQ(columnsOf(path(), "chat_message_join").count("message_date"), since14 ? 1u : 0u);
    EXPECT_EQ(columnsOf(path(), "chat_recoverable_message_join").empty(), !since17);
    for (const char* table : {"chat", "chat_handle_join", "handle", "attachment", "message_attachment_join"})
        EXPECT_FALSE(columnsOf(path(), table).empty()) << table;
    for (const char* column : {"guid", "style", "chat_identifier", "service_name", "room_name", "display_name"})
        EXPECT_TRUE(columnsOf(path(), "chat").count(column)) << column;
}

TEST_P(ModernSmsDatabaseTest, DatesAreInTheUnitOfTheVersion) {
    const long long rowid = sms_.storeModern(ModernMessage::received(kAnna, "Hi", kDate));
    ASSERT_GT(rowid, 0) << sms_.lastError();
    const bool nanoseconds = GetParam() != SmsColumnSet::Ios10;
    EXPECT_EQ(scalar(path(), rowSql("date", rowid)), nanoseconds ? kSince2001 * 1000000000 : kSince2001);
    EXPECT_EQ(SmsDatabaseSchema::unixDate(GetParam(), platformDate(kDate)), kDate);
    // Before 2001 the whole seconds still round down.
    EXPECT_EQ(SmsDatabaseSchema::unixDate(GetParam(), platformDate(978307199)), 978307199);
    if (nanoseconds) {
        EXPECT_EQ(SmsDatabaseSchema::unixDate(GetParam(), -1), 978307199);
    }
    // A received row is read when it arrives; the join carries the date too.
    EXPECT_EQ(scalar(path(), rowSql("date_read", rowid)), platformDate(kDate));
    if (nanoseconds) {
        EXPECT_EQ(scalar(path(), "SELECT message_date FROM chat_message_join"), platformDate(kDate));
    }

    ModernMessage zero = ModernMessage::received(kAnna, "zero", kDate);
    zero.dateStorage = DateStorage::Raw;
    zero.rawDate = 0;
    ModernMessage null = zero;
    null.dateStorage = DateStorage::Null;
    ModernMessage seconds = zero;
    seconds.rawDate = kSince2001;  // a row in seconds among nanoseconds
    const long long zeroRow = sms_.storeModern(zero);
    const long long nullRow = sms_.storeModern(null);
    const long long secondsRow = sms_.storeModern(seconds);
    EXPECT_EQ(scalar(path(), rowSql("date", zeroRow)), 0);
    EXPECT_EQ(scalar(path(), rowSql("date IS NULL", nullRow)), 1);
    EXPECT_EQ(scalar(path(), rowSql("date", secondsRow)), kSince2001);
}

TEST_P(ModernSmsDatabaseTest, SentRowsReachTheirPartyOnlyThroughTheChat) {
    const long long received = sms_.storeModern(ModernMessage::received(kAnna, "See you at eight", kDate));
    const long long sent = sms_.storeModern(ModernMessage::sentTo(kAnna, "On my way", kDate + 60));
    ModernMessage keeps = ModernMessage::sentTo(kAnna, "Handle kept", kDate + 61);
    keeps.sentKeepsHandle = true;
    const long long kept = sms_.storeModern(keeps);
    ASSERT_GT(kept, 0) << sms_.lastError();

    EXPECT_EQ(scalar(path(), rowSql("handle_id", sent)), 0);
    EXPECT_EQ(scalar(path(), rowSql("is_from_me", sent)), 1);
    EXPECT_EQ(scalar(path(), rowSql("handle_id", received)), scalar(path(), rowSql("handle_id", kept)));
    EXPECT_GT(*scalar(path(), rowSql("handle_id", received)), 0);
    for (long long rowid : {received, sent, kept}) EXPECT_EQ(partiesOf(path(), rowid), kAnna) << rowid;

    // One chat, as the phone names it, with one member.
    EXPECT_EQ(scalar(path(), "SELECT COUNT(*) FROM chat"), 1);
    EXPECT_EQ(text(path(), "SELECT guid FROM chat"), "SMS;-;" + kAnna);
    EXPECT_EQ(scalar(path(), "SELECT style FROM chat"), 45);
    EXPECT_EQ(text(path(), "SELECT chat_identifier FROM chat"), kAnna);
    EXPECT_EQ(text(path(), "SELECT service_name FROM chat"), "SMS");
    EXPECT_EQ(scalar(path(), "SELECT COUNT(*) FROM chat_handle_join"), 1);
    EXPECT_EQ(scalar(path(), "SELECT COUNT(*) FROM chat_message_join"), 3);
    EXPECT_EQ(scalar(path(), "SELECT COUNT(*) FROM handle"), 1);
}

TEST_P(ModernSmsDatabaseTest, GroupRowsListEveryRecipient) {
    ModernMessage sent = ModernMessage::sentTo("", "Dinner at 8?", kDate);
    sent.chat = FixtureChat::groupOf({kCara, kAnna, kBen});
    ModernMessage reply = ModernMessage::received("", "Yes!", kDate + 30);
    reply.chat = FixtureChat::groupOf({kAnna, kBen, kCara});  // same group, other order
    reply.sender = kBen;
    ASSERT_TRUE(sms_.storeModernMessages({sent, reply})) << sms_.lastError();

    EXPECT_EQ(scalar(path(), "SELECT COUNT(*) FROM chat"), 1);
    EXPECT_EQ(scalar(path(), "SELECT style FROM chat"), 43);
    const auto guid = text(path(), "SELECT guid FROM chat");
    ASSERT_TRUE(guid);
    EXPECT_TRUE(std::regex_match(*guid, std::regex("SMS;\\+;chat[0-9]{18}"))) << *guid;
    const std::string identifier = guid->substr(6);
    EXPECT_EQ(text(path(), "SELECT chat_identifier FROM chat"), identifier);
    EXPECT_EQ(text(path(), "SELECT room_name FROM chat"), identifier);
    EXPECT_EQ(scalar(path(), "SELECT COUNT(*) FROM chat_handle_join"), 3);

    EXPECT_EQ(scalar(path(), rowSql("handle_id", 1)), 0);
    EXPECT_EQ(text(path(), "SELECT cache_roomnames FROM message WHERE ROWID = 1"), identifier);
    EXPECT_EQ(partiesOf(path(), 1), kBen + "," + kCara + "," + kAnna);
    EXPECT_EQ(partiesOf(path(), 2), kBen);  // a received row names its sender
}

TEST_P(ModernSmsDatabaseTest, BodiesAsTextBlobOrBoth) {
    ModernMessage both = ModernMessage::received(kAnna, "Both 👍", kDate);
    ModernMessage plain = both;
    plain.body = BodyStorage::Text;
    ModernMessage blobOnly = both;
    blobOnly.text = "Only in the blob";
    blobOnly.body = BodyStorage::AttributedBodyOnly;
    ModernMessage none = both;
    none.text = std::nullopt;
    ModernMessage overlong = blobOnly;
    overlong.attributedBody = AttributedBodyEncoder::encodeDeclaring("Cut short", 900);
    const long long rows[] = {sms_.storeModern(both), sms_.storeModern(plain), sms_.storeModern(blobOnly),
                              sms_.storeModern(none), sms_.storeModern(overlong)};
    for (long long rowid : rows) ASSERT_GT(rowid, 0) << sms_.lastError();

    EXPECT_EQ(text(path(), rowSql("text", rows[0])), "Both 👍");
    EXPECT_EQ(blobText(path(), rows[0]), "Both 👍");
    EXPECT_EQ(text(path(), rowSql("text", rows[1])), "Both 👍");
    EXPECT_EQ(scalar(path(), rowSql("attributedBody IS NULL", rows[1])), 1);
    EXPECT_EQ(scalar(path(), rowSql("text IS NULL", rows[2])), 1);
    EXPECT_EQ(blobText(path(), rows[2]), "Only in the blob");
    EXPECT_EQ(scalar(path(), rowSql("text IS NULL AND attributedBody IS NULL", rows[3])), 1);
    EXPECT_EQ(scalar(path(), rowSql("text IS NULL", rows[4])), 1);
    EXPECT_EQ(blobText(path(), rows[4]), "Cut short");
}

TEST_P(ModernSmsDatabaseTest, RowsThatAreNotPlainTextMessages) {
    ModernMessage noService = ModernMessage::received(kAnna, "service NULL", kDate);
    noService.service = std::nullopt;
    ModernMessage tapback = ModernMessage::received(kAnna, "Liked “See you”", kDate + 1);
    tapback.associatedMessageType = 2001;
    ModernMessage system = ModernMessage::received(kAnna, std::nullopt, kDate + 2);
    system.chat = FixtureChat::groupOf({kAnna, kBen});
    system.itemType = 1;
    ModernMessage failed = ModernMessage::sentTo(kAnna, "Not delivered", kDate + 3);
    failed.error = 22;
    ModernMessage imessage = ModernMessage::sentTo(kAnna, "Blue bubble", kDate + 4);
    imessage.service = "iMessage";
    imessage.chat.service = "iMessage";
    const long long rows[] = {sms_.storeModern(noService), sms_.storeModern(tapback), sms_.storeModern(system),
                              sms_.storeModern(failed), sms_.storeModern(imessage)};
    for (long long rowid : rows) ASSERT_GT(rowid, 0) << sms_.lastError();

    EXPECT_EQ(scalar(path(), rowSql("service IS NULL", rows[0])), 1);
    EXPECT_EQ(text(path(),
                   "SELECT h.service FROM handle h JOIN message m ON m.handle_id = h.ROWID"
                   " WHERE m.ROWID = " +
                       std::to_string(rows[0])),
              "SMS");
    EXPECT_EQ(scalar(path(), rowSql("associated_message_type", rows[1])), 2001);
    const auto target = text(path(), rowSql("associated_message_guid", rows[1]));
    EXPECT_EQ(target, "p:0/" + *text(path(), rowSql("guid", rows[0])));
    EXPECT_EQ(scalar(path(), rowSql("item_type", rows[2])), 1);
    EXPECT_EQ(scalar(path(), rowSql("error", rows[3])), 22);
    EXPECT_EQ(scalar(path(), rowSql("is_sent + is_delivered", rows[3])), 0);
    EXPECT_EQ(scalar(path(), rowSql("is_sent + is_delivered", rows[4])), 2);
    // The same number over iMessage is another handle and another chat.
    EXPECT_EQ(scalar(path(), "SELECT COUNT(*) FROM handle WHERE id = '" + kAnna + "'"), 2);
    EXPECT_EQ(text(path(), "SELECT guid FROM chat WHERE service_name = 'iMessage'"), "iMessage;-;" + kAnna);
    EXPECT_EQ(partiesOf(path(), rows[4]), kAnna);
}

TEST_P(ModernSmsDatabaseTest, ARowCanSitInTwoChats) {
    ModernMessage message = ModernMessage::sentTo(kAnna, "Twice listed", kDate);
    message.alsoIn.push_back(FixtureChat::groupOf({kAnna, kBen}));
    const long long rowid = sms_.storeModern(message);
    ASSERT_GT(rowid, 0) << sms_.lastError();
    EXPECT_EQ(scalar(path(), "SELECT COUNT(*) FROM chat_message_join WHERE message_id = " + std::to_string(rowid)), 2);
    EXPECT_EQ(scalar(path(), "SELECT COUNT(*) FROM message"), 1);
    EXPECT_EQ(partiesOf(path(), rowid), kBen + "," + kAnna);
}

TEST_P(ModernSmsDatabaseTest, PlainMessagesBecomeOneToOneChatRows) {
    ASSERT_TRUE(sms_.storeMessages({{kAnna, "in", kDate, false, "SMS"},
                                    {kAnna, "out", kDate + 1, true, "SMS"},
                                    {"me@example.com", "blue", kDate + 2, true, "iMessage"}}))
        << sms_.lastError();
    ASSERT_GT(sms_.storeMessage({kBen, std::nullopt, kDate + 3, true, "SMS"}), 0) << sms_.lastError();
    EXPECT_EQ(sms_.messageCount(), 4);
    EXPECT_EQ(scalar(path(), "SELECT COUNT(*) FROM message WHERE is_from_me = 1 AND handle_id = 0"), 3);
    EXPECT_EQ(partiesOf(path(), 2), kAnna);
    EXPECT_EQ(partiesOf(path(), 3), "me@example.com");
    EXPECT_EQ(partiesOf(path(), 4), kBen);
    EXPECT_EQ(text(path(), "SELECT service_name FROM chat WHERE chat_identifier = 'me@example.com'"), "iMessage");
    EXPECT_EQ(scalar(path(), "SELECT MIN(date) FROM message"), platformDate(kDate));
    EXPECT_EQ(blobText(path(), 1), "in");
}

TEST_P(ModernSmsDatabaseTest, ChatsAndHandlesAreFoundAgainAcrossBatches) {
    ASSERT_TRUE(sms_.storeModernMessages({ModernMessage::received(kAnna, "1", kDate)}));
    ASSERT_TRUE(
        sms_.storeModernMessages({ModernMessage::sentTo(kAnna, "2", kDate), ModernMessage::sentTo(kBen, "3", kDate)}));
    ASSERT_GT(sms_.storeModern(ModernMessage::received(kBen, "4", kDate)), 0);
    EXPECT_EQ(scalar(path(), "SELECT COUNT(*) FROM chat"), 2);
    EXPECT_EQ(scalar(path(), "SELECT COUNT(*) FROM handle"), 2);
    EXPECT_EQ(scalar(path(), "SELECT COUNT(*) FROM chat_handle_join"), 2);
    EXPECT_EQ(scalar(path(), "SELECT COUNT(DISTINCT guid) FROM message"), 4);
}

// What the exactly-once sequences do to a phone's file: a row deleted with
// its chat join, a page-for-page copy (a backup) that keeps ROWIDs, guids
// and the ROWID counter, and a date at the very end of the column's range.
TEST_P(ModernSmsDatabaseTest, RowsDeletedCopiedAndDatedAtTheEndOfTheRange) {
    const long long first = sms_.storeMessage({kAnna, "one", kDate, false, "SMS"});
    const long long second = sms_.storeMessage({kBen, "two", kDate + 1, true, "SMS"});
    const long long last = sms_.storeAtPlatformDate({kCara, "last", 0, false, "SMS"}, INT64_MAX);
    ASSERT_GT(first, 0) << sms_.lastError();
    ASSERT_GT(second, first);
    ASSERT_GT(last, second) << sms_.lastError();
    EXPECT_EQ(text(path(), rowSql("date", last)), std::to_string(INT64_MAX));

    ASSERT_TRUE(sms_.deleteMessage(second)) << sms_.lastError();
    EXPECT_FALSE(sms_.deleteMessage(second)) << "the row is gone";
    EXPECT_EQ(sms_.messageCount(), 2);
    EXPECT_EQ(text(path(), "SELECT count(*) FROM chat_message_join WHERE message_id = " + std::to_string(second)), "0");

    const std::string backup = root_.path() + "/backup.db";
    ASSERT_TRUE(sms_.copyTo(backup)) << sms_.lastError();
    for (const long long rowid : {first, last})
        EXPECT_EQ(text(backup, rowSql("guid", rowid)), text(path(), rowSql("guid", rowid)));
    SmsDatabaseFixture restored(backup);
    EXPECT_GT(restored.storeMessage({kAnna, "new", kDate + 2, false, "SMS"}), last) << "deleted ROWIDs stay unused";
}

TEST_P(ModernSmsDatabaseTest, ABatchIsAllOrNothing) {
    {
        SqliteDatabase db;
        ASSERT_TRUE(db.open(path(), SqliteDatabase::Mode::ReadWrite));
        ASSERT_TRUE(
            db.exec("CREATE TRIGGER refuse BEFORE INSERT ON message WHEN NEW.text = 'boom'"
                    " BEGIN SELECT RAISE(ABORT, 'refused'); END"));
    }
    EXPECT_FALSE(sms_.storeModernMessages(
        {ModernMessage::received(kAnna, "fine", kDate), ModernMessage::received(kBen, "boom", kDate)}));
    EXPECT_NE(sms_.lastError().find("refused"), std::string::npos) << sms_.lastError();
    EXPECT_EQ(sms_.messageCount(), 0);
    EXPECT_EQ(scalar(path(), "SELECT COUNT(*) FROM chat"), 0);
    EXPECT_EQ(scalar(path(), "SELECT COUNT(*) FROM chat_message_join"), 0);
}

INSTANTIATE_TEST_SUITE_P(ColumnSets, ModernSmsDatabaseTest,
                         ::testing::Values(SmsColumnSet::Ios10, SmsColumnSet::Ios14, SmsColumnSet::Ios17),
                         [](const auto& info) {
                             switch (info.param) {
                             case SmsColumnSet::Ios10: return std::string("Ios10");
                             case SmsColumnSet::Ios14: return std::string("Ios14");
                             case SmsColumnSet::Ios17: return std::string("Ios17");
                             default: return std::string("Ios6");
                             }
                         });

TEST(ModernSmsDatabaseVersionsTest, VersionsPickTheirColumnSet) {
    EXPECT_EQ(SmsDatabaseSchema::columnSetForVersion("5.1.1"), std::nullopt);
    EXPECT_EQ(SmsDatabaseSchema::columnSetForVersion("6.1.3"), SmsColumnSet::Ios6);
    for (const char* version : {"7.0", "7.1.2", "9.3.5", "10.3.4"})
        EXPECT_EQ(SmsDatabaseSchema::columnSetForVersion(version), SmsColumnSet::Ios10) << version;
    for (const char* version : {"11.0", "12.5.7", "14.3", "15.8"})
        EXPECT_EQ(SmsDatabaseSchema::columnSetForVersion(version), SmsColumnSet::Ios14) << version;
    for (const char* version : {"16.0", "17.5.1", "18.2"})
        EXPECT_EQ(SmsDatabaseSchema::columnSetForVersion(version), SmsColumnSet::Ios17) << version;
}

TEST(ModernSmsDatabaseVersionsTest, CreateRefusesAnotherLayoutAndOlderFilesRefuseModernRows) {
    TempDeviceRoot root;
    SmsDatabaseFixture sms(root.path() + "/sms.db");
    ASSERT_TRUE(sms.createForVersion("14.3"));
    ASSERT_GT(sms.storeModern(ModernMessage::received(kAnna, "kept", kDate)), 0);
    EXPECT_TRUE(sms.create(SmsColumnSet::Ios14));
    EXPECT_EQ(sms.messageCount(), 1);
    EXPECT_FALSE(sms.create(SmsColumnSet::Ios17));
    EXPECT_NE(sms.lastError().find("11 to 15"), std::string::npos) << sms.lastError();
    EXPECT_FALSE(sms.create(SmsColumnSet::Ios6));
    EXPECT_FALSE(sms.create(SmsSchema::Old));

    SmsDatabaseFixture ios6(root.path() + "/ios6.db");
    ASSERT_TRUE(ios6.createForVersion("6.1.3"));
    EXPECT_EQ(ios6.detectColumnSet(), SmsColumnSet::Ios6);
    EXPECT_TRUE(columnsOf(ios6.path(), "chat").empty());
    EXPECT_EQ(ios6.storeModern(ModernMessage::received(kAnna, "x", kDate)), -1);
    EXPECT_FALSE(ios6.lastError().empty());
    EXPECT_FALSE(ios6.create(SmsColumnSet::Ios10));

    SmsDatabaseFixture old(root.path() + "/old.db");
    ASSERT_TRUE(old.createForVersion("5.1.1"));
    EXPECT_EQ(old.detectSchema(), SmsSchema::Old);
    EXPECT_EQ(old.detectColumnSet(), std::nullopt);
    EXPECT_FALSE(old.create(SmsColumnSet::Ios17));
    EXPECT_EQ(old.storeModern(ModernMessage::received(kAnna, "x", kDate)), -1);
}

TEST(ModernSmsDatabaseVersionsTest, GroupIdentifiersDependOnTheMembersOnly) {
    const auto id = ModernMessageWriter::groupIdentifier({kAnna, kBen});
    EXPECT_EQ(id, ModernMessageWriter::groupIdentifier({kBen, kAnna}));
    EXPECT_NE(id, ModernMessageWriter::groupIdentifier({kAnna, kCara}));
    EXPECT_NE(id, ModernMessageWriter::groupIdentifier({kAnna + kBen}));
    FixtureChat named = FixtureChat::groupOf({kAnna}, "iMessage");
    named.identifier = "chat123456789012345678";
    EXPECT_EQ(ModernMessageWriter::chatGuid(named), "iMessage;+;chat123456789012345678");
}

}  // namespace
