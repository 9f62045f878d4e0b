#pragma once

#include <string>
#include <string_view>

class SqliteDatabase;

// One transaction on an open connection, rolled back when the object goes
// unless it was committed: every early return of the code that opened it
// leaves the database as it was, without a ROLLBACK written on each path.
//
// A transaction that could not begin (a lock held past the busy timeout, or
// one already open on the connection) is inactive: it commits nothing and
// rolls nothing back, so it never ends a transaction it does not own.
// Failures to begin, commit or roll back each write one line naming `doing`
// (see ProgramLog).
class SqliteTransaction {
public:
    // Deferred takes its locks at the first read or write; Immediate takes
    // the write lock at once, so a writer finds out before doing any work
    // that another one holds the database.
    enum class Behavior { Deferred, Immediate };

    SqliteTransaction(SqliteDatabase& db, Behavior behavior, std::string_view doing);
    ~SqliteTransaction();
    SqliteTransaction(const SqliteTransaction&) = delete;
    SqliteTransaction& operator=(const SqliteTransaction&) = delete;

    // Began, and neither committed nor rolled back yet.
    bool isActive() const { return active_; }

    // True when everything since the start is stored. False when the
    // transaction is not active or COMMIT failed (a reader still holding the
    // file, a full disk); then the connection's lastError() still tells why,
    // and the transaction stays open until rollback() or the end of the
    // object, which keep nothing of it.
    bool commit();

    // Discards everything since the start; nothing when not active.
    void rollback();

private:
    SqliteDatabase& db_;
    std::string doing_;
    bool active_ = false;
};
