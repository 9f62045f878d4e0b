#include "common/Ios6SmsReader.h"

#include "common/SmsTables.h"

namespace {

// Unix seconds of a date in seconds since 2001, saturating at the end of the
// range rather than wrapping.
std::int64_t secondsSince2001ToUnix(std::int64_t seconds, std::int64_t epoch) {
    return seconds > INT64_MAX - epoch ? INT64_MAX : seconds + epoch;
}

}  // namespace

bool Ios6SmsReader::fits(const SmsTables& tables) const { return tables.isHandleFamily() && !tables.hasLaterColumns(); }

std::string Ios6SmsReader::readSql(const SmsTables& tables, bool withBodies, bool dated) const {
    std::string sql = "SELECT h.id, m.date, ";
    sql += withBodies ? tables.column("text") : "NULL";
    sql +=
        ", CASE m.is_from_me WHEN 0 THEN 2 WHEN 1 THEN 3 ELSE 0 END, " + tables.column("service") +
        ", NULL, m.ROWID FROM message m NOT INDEXED CROSS JOIN handle h WHERE h.ROWID = m.handle_id AND m.ROWID > ?1";
    if (dated) sql += datedClause("(m.date + 978307200)");
    return sql + " ORDER BY m.ROWID ASC";
}

std::string Ios6SmsReader::positionSelect(const SmsTables& tables) const { return handlePositionSelect(tables); }

// 6.x kept seconds since 2001 only; nanoseconds came with 11, whose files
// have the later columns.
bool Ios6SmsReader::takeRest(SmsRow& row) {
    const SqliteStatement& read = this->row();
    row.type = read.columnText(4, &row.typeBytes);
    if (read.columnIsNull(1) || read.columnInt(1) == 0) {
        countUndated();
        return false;
    }
    row.date = secondsSince2001ToUnix(read.columnInt(1), kPlatformEpoch);
    if (!takeCutText(row)) row.text = read.columnText(2, &row.textBytes);
    return true;
}
