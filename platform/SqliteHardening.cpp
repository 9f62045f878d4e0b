#include "platform/SqliteHardening.h"

#include "platform/SqliteDatabase.h"
#include "platform/SqliteStatement.h"

#include <sqlite3.h>

namespace {

bool setFlag(sqlite3* db, int option, int value) {
    int applied = -1;
    return sqlite3_db_config(db, option, value, &applied) == SQLITE_OK && applied == value;
}

}  // namespace

bool SqliteHardening::apply(sqlite3* db) {
    if (!db) return false;
    // Process-wide; setting it again changes nothing.
    sqlite3_hard_heap_limit64(kHeapLimitBytes);
    sqlite3_limit(db, SQLITE_LIMIT_LENGTH, kMaxValueBytes);
    sqlite3_limit(db, SQLITE_LIMIT_SQL_LENGTH, 1000000);
    sqlite3_limit(db, SQLITE_LIMIT_ATTACHED, 0);
    sqlite3_limit(db, SQLITE_LIMIT_TRIGGER_DEPTH, 1);
    sqlite3_limit(db, SQLITE_LIMIT_LIKE_PATTERN_LENGTH, 50);
    sqlite3_limit(db, SQLITE_LIMIT_VARIABLE_NUMBER, 1000);
    const bool flags = setFlag(db, SQLITE_DBCONFIG_DEFENSIVE, 1) && setFlag(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0) &&
                       setFlag(db, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0) && setFlag(db, SQLITE_DBCONFIG_ENABLE_VIEW, 0) &&
                       setFlag(db, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0);
    if (!flags) return false;
    // Checks every b-tree cell's size as its page is read, so a crafted page
    // is reported as damage instead of being walked off its end; and reads
    // through the page cache only, never a map of the whole file.
    return sqlite3_exec(db, "PRAGMA cell_size_check=ON; PRAGMA mmap_size=0;", nullptr, nullptr, nullptr) == SQLITE_OK;
}

bool SqliteHardening::quickCheck(const std::string& path, std::string* problem) {
    SqliteDatabase db;
    SqliteStatement check;
    if (!db.open(path, SqliteDatabase::Mode::Snapshot) || !check.prepare(db, "PRAGMA quick_check(1)")) {
        if (problem) *problem = db.lastError();
        return false;
    }
    if (check.step() != SqliteStatement::Step::Row) {
        if (problem) *problem = db.lastError();
        return false;
    }
    const std::string verdict = check.columnString(0);
    if (verdict == "ok") return true;
    if (problem) *problem = verdict;
    return false;
}
