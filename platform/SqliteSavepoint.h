#pragma once

#include <string>

class SqliteDatabase;

// A savepoint inside a transaction, rolled back (and released) when the
// object goes unless it was released: a group of statements that must land
// together or not at all. A transaction SQLite already ended by itself (a
// full disk) has no savepoint left to roll back; that is left alone.
class SqliteSavepoint {
public:
    // `name` is an SQL identifier of the caller's, not outside text.
    SqliteSavepoint(SqliteDatabase& db, std::string name);
    ~SqliteSavepoint();
    SqliteSavepoint(const SqliteSavepoint&) = delete;
    SqliteSavepoint& operator=(const SqliteSavepoint&) = delete;

    bool isActive() const { return active_; }
    // Keeps what was done since the savepoint; false when it could not.
    bool release();
    // Takes back what was done since the savepoint.
    void rollback();

private:
    SqliteDatabase& db_;
    std::string name_;
    bool active_ = false;
};
