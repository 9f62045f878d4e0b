#pragma once

#include <string_view>

// The trace a failed database operation leaves: one line on standard error
// with what the program was doing and SQLite's own message. The operations
// still hand their failures back as return values; this line is what tells
// whoever reads the output that a file was locked past the busy timeout,
// damaged, or not the database it should be. Callers report a failure once,
// where they give up, never once per row.
class SqliteLog {
public:
    // "brindlex: <doing>: <message>", always exactly one line: line breaks in
    // either part (a path may hold one) become blanks.
    static void failure(std::string_view doing, std::string_view message);
};
