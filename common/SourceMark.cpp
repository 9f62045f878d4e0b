#include "common/SourceMark.h"

#include "platform/SqliteDatabase.h"
#include "platform/SqliteStatement.h"

namespace {

std::optional<std::string> optionalText(const SqliteStatement& query, int column) {
    if (query.columnIsNull(column)) return std::nullopt;
    return query.columnString(column);
}

std::optional<std::int64_t> optionalInt(const SqliteStatement& query, int column) {
    if (query.columnIsNull(column)) return std::nullopt;
    return query.columnInt(column);
}

void bindOptional(SqliteStatement& statement, int parameter, const std::optional<std::string>& value) {
    if (value)
        statement.bindText(parameter, *value);
    else
        statement.bindNull(parameter);
}

void bindOptional(SqliteStatement& statement, int parameter, const std::optional<std::int64_t>& value) {
    if (value)
        statement.bindInt(parameter, *value);
    else
        statement.bindNull(parameter);
}

}  // namespace

bool SourceMark::ensureTable(SqliteDatabase& counter) {
    return counter.exec(
        "CREATE TABLE IF NOT EXISTS sync_source (id INTEGER PRIMARY KEY CHECK (id = 1), "
        "phone_rowid INTEGER NOT NULL, phone_guid TEXT, phone_date INTEGER, phone_address TEXT, phone_flags INTEGER, "
        "phone_text TEXT)");
}

std::optional<SourcePosition> SourceMark::read(const SqliteDatabase& counter) {
    SqliteStatement query;
    if (!query.prepare(counter,
                       "select phone_rowid, phone_guid, phone_date, phone_address, phone_flags, phone_text "
                       "from sync_source"))
        return std::nullopt;
    if (query.step() != SqliteStatement::Step::Row) return std::nullopt;
    return SourcePosition{query.columnInt(0),     optionalText(query, 1), optionalInt(query, 2),
                          optionalText(query, 3), optionalInt(query, 4),  optionalText(query, 5)};
}

bool SourceMark::write(SqliteDatabase& counter, const SourcePosition& position) {
    SqliteStatement upsert;
    if (!upsert.prepare(counter,
                        "insert or replace into sync_source (id, phone_rowid, phone_guid, phone_date, phone_address, "
                        "phone_flags, phone_text) values (1, ?, ?, ?, ?, ?, ?)"))
        return false;
    upsert.bindInt(1, position.rowid);
    bindOptional(upsert, 2, position.guid);
    bindOptional(upsert, 3, position.date);
    bindOptional(upsert, 4, position.address);
    bindOptional(upsert, 5, position.flags);
    bindOptional(upsert, 6, position.text);
    return upsert.step() == SqliteStatement::Step::Done;
}

bool SourceMark::clear(SqliteDatabase& counter) {
    SqliteStatement exists;
    if (!exists.prepare(counter, "select 1 from sqlite_master where type = 'table' and name = 'sync_source'"))
        return false;
    if (exists.step() != SqliteStatement::Step::Row) return true;
    exists.finalize();
    return counter.exec("delete from sync_source");
}
