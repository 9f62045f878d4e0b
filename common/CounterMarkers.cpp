#include "common/CounterMarkers.h"

#include "common/Direction.h"
#include "platform/SqliteDatabase.h"
#include "platform/SqliteStatement.h"

namespace {

bool tableExists(const SqliteDatabase& counter) {
    SqliteStatement query;
    if (!query.prepare(counter, "select 1 from sqlite_master where type = 'table' and name = 'sync_marker'"))
        return false;
    return query.step() == SqliteStatement::Step::Row;
}

}  // namespace

bool CounterMarkers::ensureTable(SqliteDatabase& counter) {
    return counter.exec(
        "CREATE TABLE IF NOT EXISTS sync_marker (flags INTEGER PRIMARY KEY, next_date INTEGER NOT NULL)");
}

std::optional<CounterMarkers::Markers> CounterMarkers::read(const SqliteDatabase& counter) {
    SqliteStatement query;
    if (!query.prepare(counter, "select flags, next_date from sync_marker")) return std::nullopt;
    bool haveReceived = false, haveSent = false;
    Markers markers;
    while (query.step() == SqliteStatement::Step::Row) {
        const std::optional<Direction> direction = directionOfFlags(query.columnInt(0));
        if (direction == Direction::Received) {
            markers.received = query.columnInt(1);
            haveReceived = true;
        } else if (direction == Direction::Sent) {
            markers.sent = query.columnInt(1);
            haveSent = true;
        }
    }
    if (!haveReceived && !haveSent) return std::nullopt;
    return markers;
}

// One row per direction, keyed by the direction code the message table uses.
bool CounterMarkers::write(SqliteDatabase& counter, const Markers& markers) {
    SqliteStatement upsert;
    if (!upsert.prepare(counter, "insert or replace into sync_marker (flags, next_date) values (?, ?)")) return false;
    for (const auto& [direction, date] :
         {std::pair{Direction::Received, markers.received}, std::pair{Direction::Sent, markers.sent}}) {
        upsert.bindInt(1, flagsOf(direction));
        upsert.bindInt(2, date);
        if (upsert.step() != SqliteStatement::Step::Done) return false;
        upsert.reset();
    }
    return true;
}

bool CounterMarkers::clear(SqliteDatabase& counter) {
    if (!tableExists(counter)) return true;
    return counter.exec("delete from sync_marker");
}
