#include "platform/SqliteLog.h"

#include "platform/TerminalText.h"
#include <cstdio>
#include <string>

namespace {

// Paths and SQLite's messages (which quote names from the file) may hold
// anything; the line holds no control character.
void appendOnOneLine(std::string& line, std::string_view part) {
    std::string blanked(part);
    for (char& c : blanked) c = (c == '\n' || c == '\r') ? ' ' : c;
    line += TerminalText::safe(blanked);
}

}  // namespace

void SqliteLog::failure(std::string_view doing, std::string_view message) {
    std::string line = "brindlex: ";
    appendOnOneLine(line, doing);
    line += ": ";
    appendOnOneLine(line, message);
    line += '\n';
    // One write, so that the lines of two threads or processes sharing the
    // stream never interleave within a line.
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}
