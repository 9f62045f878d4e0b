#pragma once

#include <string>
#include <string_view>

// The one way every program of the project writes to standard error: one
// line that starts with the program's name ("brindlex-badged: ...",
// "Brindlex: ..."), so a line in a journal or a terminal shared by the app,
// the daemon and the tools says who wrote it. Each line goes out in one
// write, so that the lines of two threads or processes sharing the stream
// never interleave within a line.
//
// Failures are still handed back as return values; a line is what tells
// whoever reads the output what went wrong (a file locked past the busy
// timeout, damaged, or not the database it should be). Callers report a
// failure once, where they give up, never once per row.
class ProgramLog {
public:
    // The name lines start with. Each main sets its own; until then it is
    // the base name the program was started by. A path is cut to its base
    // name.
    static void setProgramName(std::string_view nameOrPath);
    static std::string programName();

    // "<program>: <text>", printf-style; `format` ends with its own line
    // break, as with fprintf. The arguments are the caller's to make safe
    // for a terminal (TerminalText).
    [[gnu::format(printf, 1, 2)]] static void print(const char* format, ...);

    // "<program>: <doing>: <message>", always exactly one line: line breaks
    // in either part (a path may hold one) become blanks, control characters
    // are shown escaped.
    static void failure(std::string_view doing, std::string_view message);
};
