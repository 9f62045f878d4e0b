#include "common/SourceMark.h"

#include "platform/SqliteDatabase.h"
#include "platform/SqliteStatement.h"

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
    return SourcePosition::fromRow(query);
}

bool SourceMark::write(SqliteDatabase& counter, const SourcePosition& position) {
    SqliteStatement upsert;
    if (!upsert.prepare(counter,
                        "insert or replace into sync_source (id, phone_rowid, phone_guid, phone_date, phone_address, "
                        "phone_flags, phone_text) values (1, ?, ?, ?, ?, ?, ?)"))
        return false;
    upsert.bindInt(1, position.rowid);
    upsert.bindOptionalText(2, position.guid);
    upsert.bindOptionalInt(3, position.date);
    upsert.bindOptionalText(4, position.address);
    upsert.bindOptionalInt(5, position.flags);
    upsert.bindOptionalText(6, position.text);
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
