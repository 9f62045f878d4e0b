#include "common/SmsReader.h"

#include "common/AttributedBody.h"
#include "platform/SqliteDatabase.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <string_view>

namespace {

constexpr std::int64_t kPlatformEpoch = 978307200;  // 2001-01-01 in Unix seconds
// Seconds since 2001 stay below 10^10 until the year 2318, while nanoseconds
// pass 10^11 within the first two minutes of 2001: anything above is
// nanoseconds.
constexpr std::int64_t kNanosecondsAbove = 100000000000;

// The date column in Unix seconds, in SQL, per value as unixFromPlatformDate.
constexpr const char* kUnixDate =
    "(CASE WHEN m.date > 100000000000 THEN m.date / 1000000000 ELSE m.date END + 978307200)";

struct Schema {
    std::set<std::string> tables;
    std::set<std::string> messageColumns;

    bool hasTable(const char* name) const { return tables.count(name) != 0; }
    bool hasColumn(const char* name) const { return messageColumns.count(name) != 0; }
};

Schema readSchema(const SqliteDatabase& sms) {
    Schema schema;
    SqliteStatement tables;
    if (tables.prepare(sms, "select name from sqlite_master where type = 'table'"))
        while (tables.step() == SqliteStatement::Step::Row) schema.tables.insert(tables.columnString(0));
    SqliteStatement columns;
    if (columns.prepare(sms, "select name from pragma_table_info('message')"))
        while (columns.step() == SqliteStatement::Step::Row) schema.messageColumns.insert(columns.columnString(0));
    return schema;
}

// Columns: address, raw date, text, flags, service, attributedBody, message ROWID.
std::string modernReadSql(const Schema& schema) {
    const bool chats =
        schema.hasTable("chat") && schema.hasTable("chat_handle_join") && schema.hasTable("chat_message_join");
    const std::string unixDate = kUnixDate;
    std::string sql = "SELECT COALESCE(h.id";
    sql += chats ? ", r.id), " : "), ";
    sql += "m.date, m.text, CASE m.is_from_me WHEN 0 THEN 2 WHEN 1 THEN 3 ELSE 0 END, COALESCE(m.service, h.service";
    sql += chats ? ", r.service, c.service_name), " : "), ";
    sql += schema.hasColumn("attributedBody") ? "m.attributedBody, " : "NULL, ";
    sql += "m.ROWID FROM message m NOT INDEXED LEFT JOIN handle h ON m.handle_id > 0 AND h.ROWID = m.handle_id ";
    if (chats) {
        // A message without a handle is reached through its chat; one that
        // sits in several chats is still one message, so only its first
        // chat counts.
        sql +=
            "LEFT JOIN chat c ON h.ROWID IS NULL AND c.ROWID = (SELECT MIN(j.chat_id) FROM chat_message_join j "
            "WHERE j.message_id = m.ROWID) "
            "LEFT JOIN chat_handle_join ch ON ch.chat_id = c.ROWID "
            "LEFT JOIN handle r ON r.ROWID = ch.handle_id ";
    }
    sql += "WHERE ((m.is_from_me = 1 AND " + unixDate + " >= ?1) OR (m.is_from_me = 0 AND " + unixDate +
           " >= ?2) OR (?3 AND m.date IS NULL))";
    // Reactions and stickers placed on a message, group changes and other
    // announcements, and sends that failed are rows, but no text that the
    // carrier carried.
    if (schema.hasColumn("associated_message_type")) sql += " AND COALESCE(m.associated_message_type, 0) IN (0, 2, 3)";
    if (schema.hasColumn("item_type")) sql += " AND COALESCE(m.item_type, 0) = 0";
    if (schema.hasColumn("error")) sql += " AND NOT (m.is_from_me = 1 AND COALESCE(m.error, 0) <> 0)";
    // A received message without a handle has a known sender only in a chat
    // with one other member.
    if (chats)
        sql +=
            " AND (h.ROWID IS NOT NULL OR m.is_from_me = 1 OR "
            "(SELECT COUNT(*) FROM chat_handle_join k WHERE k.chat_id = c.ROWID) = 1)";
    sql += " ORDER BY m.ROWID ASC";
    return sql;
}

bool hasPlaceholderLead(const char* text, int bytes) {
    // U+FFFC and U+FFFD are EF BF BC and EF BF BD in UTF-8.
    return bytes > 0 && std::memchr(text, 0xEF, static_cast<std::size_t>(bytes)) != nullptr;
}

}  // namespace

std::int64_t SmsReader::unixFromPlatformDate(std::int64_t platformDate) {
    const std::int64_t seconds = platformDate > kNanosecondsAbove ? platformDate / 1000000000 : platformDate;
    return seconds + kPlatformEpoch;
}

std::optional<std::string> SmsReader::readStatement(const SqliteDatabase& sms, bool newSchema) {
    Layout layout;
    return readStatement(sms, newSchema, layout);
}

std::optional<std::string> SmsReader::readStatement(const SqliteDatabase& sms, bool newSchema, Layout& layout) {
    const Schema schema = readSchema(sms);
    const bool oldFamily = schema.hasTable("message") && schema.hasColumn("address") && schema.hasColumn("flags");
    const bool handleFamily = schema.hasTable("message") && schema.hasTable("handle") &&
                              schema.hasColumn("is_from_me") && schema.hasColumn("handle_id");
    if (!newSchema) {
        if (!oldFamily) return std::nullopt;
        layout = Layout::Old;
        return std::string(kOldReadSql);
    }
    if (!handleFamily) return std::nullopt;
    if (!schema.hasColumn("item_type") && !schema.hasColumn("associated_message_type")) {
        layout = Layout::Ios6;
        return std::string(kIos6ReadSql);
    }
    layout = Layout::Modern;
    return modernReadSql(schema);
}

bool SmsReader::prepare(const SqliteDatabase& sms, bool newSchema, std::int64_t receivedFrom, std::int64_t sentFrom) {
    const auto statement = readStatement(sms, newSchema, layout_);
    if (!statement || !read_.prepare(sms, *statement)) return false;
    read_.bindInt(1, sentFrom);
    read_.bindInt(2, receivedFrom);
    // Rows without a date are read (and reported) only by a sync whose
    // bound would have taken a date of 0, so they are reported once rather
    // than by every sync.
    if (layout_ == Layout::Modern) read_.bindInt(3, std::min(receivedFrom, sentFrom) <= kPlatformEpoch ? 1 : 0);
    return true;
}

SmsReader::Next SmsReader::next(SmsRow& row) {
    for (;;) {
        switch (read_.step()) {
        case SqliteStatement::Step::Done: return Next::Done;
        case SqliteStatement::Step::Error: return Next::Error;
        case SqliteStatement::Step::Row: break;
        }
        row.address = read_.columnText(0, &row.addressBytes);
        if (row.address == nullptr || row.addressBytes == 0) continue;
        const std::optional<Direction> direction = directionOfFlags(read_.columnInt(3));
        if (!direction) continue;
        row.flags = *direction;
        if (layout_ == Layout::Modern) {
            if (!nextModernRow(row)) continue;
        } else {
            row.date = read_.columnInt(1);
            row.text = read_.columnText(2, &row.textBytes);
        }
        row.type = layout_ == Layout::Old ? nullptr : read_.columnText(4, &row.typeBytes);
        return Next::Row;
    }
}

bool SmsReader::nextModernRow(SmsRow& row) {
    // A recipient listed twice in a chat (two handles of one number) is one
    // text; a message's rows come one after the other.
    const std::int64_t message = read_.columnInt(6);
    const std::string_view address(row.address, static_cast<std::size_t>(row.addressBytes));
    if (message != currentMessage_) {
        currentMessage_ = message;
        currentRecipients_.clear();
    }
    if (std::find(currentRecipients_.begin(), currentRecipients_.end(), address) != currentRecipients_.end())
        return false;
    currentRecipients_.emplace_back(address);

    if (read_.columnIsNull(1) || read_.columnInt(1) == 0) {
        ++undated_;
        return false;
    }
    row.date = unixFromPlatformDate(read_.columnInt(1));
    takeModernText(row);
    return true;
}

// The body as the counter keeps it: `text` when the phone filled it, else
// the text inside attributedBody; without the placeholders that stand for
// attachments and app balloons, and NULL when nothing else is left.
void SmsReader::takeModernText(SmsRow& row) {
    int bytes = 0;
    const char* text = read_.columnText(2, &bytes);
    std::optional<std::string> body;
    if (text != nullptr) {
        if (!hasPlaceholderLead(text, bytes)) {
            row.text = text;
            row.textBytes = bytes;
            return;
        }
        body = AttributedBody::withoutPlaceholders(std::string_view(text, static_cast<std::size_t>(bytes)));
    } else {
        int blobBytes = 0;
        const unsigned char* blob = read_.columnBlob(5, &blobBytes);
        if (blob != nullptr) body = AttributedBody::extractText(blob, static_cast<std::size_t>(blobBytes));
        if (body && hasPlaceholderLead(body->data(), static_cast<int>(body->size())))
            body = AttributedBody::withoutPlaceholders(*body);
        if (body && body->empty()) body.reset();
    }
    if (!body) {
        row.text = nullptr;
        row.textBytes = 0;
        return;
    }
    text_ = std::move(*body);
    row.text = text_.c_str();
    row.textBytes = static_cast<int>(text_.size());
}
