#include "platform/SqliteLog.h"

#include <cstdio>
#include <string>

namespace {

void appendOnOneLine(std::string& line, std::string_view part) {
    for (const char c : part) line += (c == '\n' || c == '\r') ? ' ' : c;
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
