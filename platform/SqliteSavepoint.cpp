#include "platform/SqliteSavepoint.h"

#include "platform/SqliteDatabase.h"

SqliteSavepoint::SqliteSavepoint(SqliteDatabase& db, std::string name) : db_(db), name_(std::move(name)) {
    active_ = db_.exec("SAVEPOINT " + name_);
}

SqliteSavepoint::~SqliteSavepoint() { rollback(); }

bool SqliteSavepoint::release() {
    if (!active_ || !db_.exec("RELEASE " + name_)) return false;
    active_ = false;
    return true;
}

void SqliteSavepoint::rollback() {
    if (!active_) return;
    active_ = false;
    if (db_.inTransaction()) db_.exec("ROLLBACK TO " + name_ + "; RELEASE " + name_);
}
