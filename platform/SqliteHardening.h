#pragma once

#include <string>

struct sqlite3;

// What SQLite's own guidance asks of a program that opens a database file
// someone else wrote (the phone's sms.db and address book, a backup's
// Manifest.db): such a file may hold a schema crafted to run code through
// triggers and views, to damage its own pages or to make SQLite allocate
// without end. The connection is read-only already; on top of that it is
// put in defensive mode, the schema is not trusted to call functions, no
// other file can be attached, strings and blobs are capped, pages are
// checked as they are read, nothing is memory-mapped, and SQLite's heap in
// this process has a hard ceiling. A crafted file can then slow a read down,
// but it runs nothing, reads nothing outside itself and cannot exhaust
// memory.
class SqliteHardening {
public:
    // The ceiling on all of SQLite's heap in this process. A sync of a million
    // messages needs about 20 MB; a file that asks for more is hostile.
    static constexpr long long kHeapLimitBytes = 512LL * 1024 * 1024;
    // The longest string or blob a value may be (a message body, an
    // attributedBody archive): far beyond any real one.
    static constexpr int kMaxValueBytes = 16 * 1024 * 1024;

    // Applies every setting to an open connection; false when one of them
    // could not be applied (the connection should then not be used).
    static bool apply(sqlite3* db);

    // PRAGMA quick_check on a read-only, hardened connection: true when the
    // file is a database whose pages and records are well-formed. `problem`
    // gets SQLite's first complaint otherwise.
    static bool quickCheck(const std::string& path, std::string* problem);
};
