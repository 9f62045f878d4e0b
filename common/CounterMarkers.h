#pragma once

#include <cstdint>
#include <optional>

class SqliteDatabase;

// A copy of the two sync markers kept inside the counter database, written in
// the same transaction as the rows a sync copies. The settings file keeps the
// markers every reader knows; but its write comes after the COMMIT, and a
// process killed in between (kill -9, power cut, full disk) would leave rows
// committed under old markers, so the next sync would copy them again. With
// the copy, rows and markers are one atomic step: a sync starts from the
// later of the settings marker and this copy.
//
// Counter databases seeded before the table existed get it on first use; a
// fresh database has no copy, and the settings markers apply as they are.
class CounterMarkers {
public:
    struct Markers {
        std::int64_t received = 0;  // next date to copy, Unix seconds
        std::int64_t sent = 0;
    };

    // The marker after the newest date copied: one second later, saturating
    // rather than wrapping for a date at the very end of the range.
    static constexpr std::int64_t after(std::int64_t newest) { return newest == INT64_MAX ? INT64_MAX : newest + 1; }

    // Creates the table when missing; call inside the sync's transaction.
    static bool ensureTable(SqliteDatabase& counter);
    // The stored copy; nothing when none was ever written (or it is unreadable).
    static std::optional<Markers> read(const SqliteDatabase& counter);
    static bool write(SqliteDatabase& counter, const Markers& markers);
    // Forgets the copy (with the rows, when the counter database is cleared).
    // True also when the table does not exist.
    static bool clear(SqliteDatabase& counter);
};
