#include "common/ModernSmsReader.h"

#include "common/AttributedBody.h"
#include "common/SmsTables.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace {

// The date column in Unix seconds, in SQL, per value as unixFromPlatformDate.
constexpr const char* kUnixDate =
    "(CASE WHEN m.date > 100000000000 THEN m.date / 1000000000 ELSE m.date END + 978307200)";

bool hasPlaceholderLead(const char* text, int bytes) {
    // U+FFFC and U+FFFD are EF BF BC and EF BF BD in UTF-8.
    return bytes > 0 && std::memchr(text, 0xEF, static_cast<std::size_t>(bytes)) != nullptr;
}

// The body of a later phone's message as the counter keeps it: `text` when
// the phone filled it, else the text inside attributedBody; without the
// placeholders that stand for attachments and app balloons, and nothing when
// nothing else is left.
std::optional<std::string> modernBody(const std::optional<std::string_view>& text, const unsigned char* blob,
                                      std::size_t blobBytes) {
    if (text) {
        if (!hasPlaceholderLead(text->data(), static_cast<int>(text->size()))) return std::string(*text);
        return AttributedBody::withoutPlaceholders(*text);
    }
    if (blob == nullptr) return std::nullopt;
    std::optional<std::string> body = AttributedBody::extractText(blob, blobBytes);
    if (!body || body->empty()) return std::nullopt;
    if (!hasPlaceholderLead(body->data(), static_cast<int>(body->size()))) return body;
    return AttributedBody::withoutPlaceholders(*body);
}

}  // namespace

bool ModernSmsReader::fits(const SmsTables& tables) const {
    return tables.isHandleFamily() && tables.hasLaterColumns();
}

std::string ModernSmsReader::readSql(const SmsTables& tables, bool withBodies, bool dated) const {
    const bool chats =
        tables.hasTable("chat") && tables.hasTable("chat_handle_join") && tables.hasTable("chat_message_join");
    std::string sql = chats ? "SELECT COALESCE(h.id, r.id), " : "SELECT h.id, ";
    sql += "m.date, ";
    sql += withBodies ? tables.column("text") : "NULL";
    sql += ", CASE m.is_from_me WHEN 0 THEN 2 WHEN 1 THEN 3 ELSE 0 END, COALESCE(" + tables.column("service") + ", " +
           tables.handleColumn("service");
    sql += chats ? ", r.service, c.service_name), " : "), ";
    sql += withBodies && tables.hasColumn("attributedBody") ? "m.attributedBody, " : "NULL, ";
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
    sql += "WHERE m.ROWID > ?1";
    if (dated) sql += datedClause(kUnixDate);
    // Reactions and stickers placed on a message, group changes and other
    // announcements, and sends that failed are rows, but no text that the
    // carrier carried.
    if (tables.hasColumn("associated_message_type")) sql += " AND COALESCE(m.associated_message_type, 0) IN (0, 2, 3)";
    if (tables.hasColumn("item_type")) sql += " AND COALESCE(m.item_type, 0) = 0";
    if (tables.hasColumn("error")) sql += " AND NOT (m.is_from_me = 1 AND COALESCE(m.error, 0) <> 0)";
    // A received message without a handle has a known sender only in a chat
    // with one other member.
    if (chats)
        sql +=
            " AND (h.ROWID IS NOT NULL OR m.is_from_me = 1 OR "
            "(SELECT COUNT(*) FROM chat_handle_join k WHERE k.chat_id = c.ROWID) = 1)";
    sql += " ORDER BY m.ROWID ASC";
    return sql;
}

std::string ModernSmsReader::positionSelect(const SmsTables& tables) const { return handlePositionSelect(tables); }

void ModernSmsReader::restart() {
    currentMessage_ = -1;
    recipientsUsed_ = 0;
    manyRecipients_.clear();
}

bool ModernSmsReader::takeRest(SmsRow& row) {
    const SqliteStatement& read = this->row();
    row.type = read.columnText(4, &row.typeBytes);
    if (!firstTimeRecipient(row)) return false;
    if (read.columnIsNull(1) || read.columnInt(1) == 0) {
        countUndated();
        return false;
    }
    row.date = unixFromPlatformDate(read.columnInt(1));
    if (!takeCutText(row)) takeText(row);
    return true;
}

// A recipient listed twice in a chat (two handles of one number) is one
// text; a message's rows come one after the other. The strings are reused
// from message to message, so the common case allocates nothing; a large
// group is looked up in a hash set, so its rows cost linear time.
bool ModernSmsReader::firstTimeRecipient(const SmsRow& row) {
    const std::string_view address(row.address, static_cast<std::size_t>(row.addressBytes));
    if (row.rowid != currentMessage_) {
        currentMessage_ = row.rowid;
        recipientsUsed_ = 0;
        manyRecipients_.clear();
    }
    if (!manyRecipients_.empty()) return manyRecipients_.emplace(address).second;
    const auto used = currentRecipients_.begin() + static_cast<std::ptrdiff_t>(recipientsUsed_);
    if (std::find(currentRecipients_.begin(), used, address) != used) return false;
    if (recipientsUsed_ == kFewRecipients) {
        manyRecipients_.insert(currentRecipients_.begin(), used);
        return manyRecipients_.emplace(address).second;
    }
    if (recipientsUsed_ == currentRecipients_.size())
        currentRecipients_.emplace_back(address);
    else
        currentRecipients_[recipientsUsed_].assign(address);
    ++recipientsUsed_;
    return true;
}

// The body (modernBody), handed out without a copy when the phone's `text`
// needs nothing taken out.
void ModernSmsReader::takeText(SmsRow& row) {
    const SqliteStatement& read = this->row();
    int bytes = 0;
    const char* text = read.columnText(2, &bytes);
    if (text != nullptr && !hasPlaceholderLead(text, bytes)) {
        row.text = text;
        row.textBytes = bytes;
        return;
    }
    int blobBytes = 0;
    const unsigned char* blob = text ? nullptr : read.columnBlob(5, &blobBytes);
    std::optional<std::string_view> given;
    if (text) given = std::string_view(text, static_cast<std::size_t>(bytes));
    std::optional<std::string> body = modernBody(given, blob, static_cast<std::size_t>(blobBytes));
    if (!body) {
        row.text = nullptr;
        row.textBytes = 0;
        return;
    }
    text_ = std::move(*body);
    row.text = text_.c_str();
    row.textBytes = static_cast<int>(text_.size());
}

// A text cut to the cap, or else the text inside attributedBody read cut.
std::optional<std::string> ModernSmsReader::cutBody(std::optional<std::string> text, std::int64_t rowid,
                                                    std::size_t cap, std::size_t* fullBytes) const {
    std::optional<std::string> blob;
    if (!text) blob = readCapped("attributedBody", rowid, cap, fullBytes);
    const auto* bytes = blob ? reinterpret_cast<const unsigned char*>(blob->data()) : nullptr;
    return modernBody(text ? std::optional<std::string_view>(*text) : std::nullopt, bytes, blob ? blob->size() : 0);
}
