#pragma once

#include "common/SourcePosition.h"

#include <optional>

class SqliteDatabase;

// How far the sync got in the phone's sms.db: the last message it copied
// (or passed over), kept inside the counter database and written in the same
// transaction as the rows, so rows and mark always agree. The next sync reads
// only messages with a larger ROWID; the ROWID never goes back on the same
// phone, so a message is read once whatever its date says (same second as
// the last one, days in the past, years in the future).
//
// A counter database without a mark (fresh, cleared, or from before the mark
// existed) is synced from the date markers instead, once.
class SourceMark {
public:
    // Creates the table when missing; call inside the sync's transaction.
    static bool ensureTable(SqliteDatabase& counter);
    // The stored mark; nothing when none was ever written.
    static std::optional<SourcePosition> read(const SqliteDatabase& counter);
    static bool write(SqliteDatabase& counter, const SourcePosition& position);
    // Forgets the mark (with the rows, when the counter database is
    // cleared). True also when the table does not exist.
    static bool clear(SqliteDatabase& counter);
};
