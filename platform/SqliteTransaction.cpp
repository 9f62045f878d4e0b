#include "platform/SqliteTransaction.h"

#include "platform/SqliteDatabase.h"

SqliteTransaction::SqliteTransaction(SqliteDatabase& db, Behavior behavior, std::string_view doing)
    : db_(db), doing_(doing) {
    const char* begin = behavior == Behavior::Immediate ? "BEGIN IMMEDIATE" : "BEGIN";
    active_ = db_.exec(begin);
    if (!active_) db_.logFailure(doing_ + " (" + begin + ")");
}

SqliteTransaction::~SqliteTransaction() { rollback(); }

bool SqliteTransaction::commit() {
    if (!active_) return false;
    if (db_.exec("COMMIT")) {
        active_ = false;
        return true;
    }
    db_.logFailure(doing_ + " (COMMIT)");
    return false;
}

void SqliteTransaction::rollback() {
    if (!active_) return;
    active_ = false;
    // Some failures (a full disk, an I/O error) make SQLite roll back on its
    // own; a second ROLLBACK would only fail.
    if (!db_.inTransaction()) return;
    if (!db_.exec("ROLLBACK")) db_.logFailure(doing_ + " (ROLLBACK)");
}
