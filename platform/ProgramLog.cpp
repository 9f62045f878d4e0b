#include "platform/ProgramLog.h"

#include "platform/TerminalText.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>

namespace {

std::mutex nameLock;
std::string& storedName() {
    // glibc's base name of argv[0], for the programs (tests, fuzzers) that
    // never name themselves.
    static std::string name = program_invocation_short_name;
    return name;
}

// Paths and SQLite's messages (which quote names from the file) may hold
// anything; the line holds no control character.
void appendOnOneLine(std::string& line, std::string_view part) {
    std::string blanked(part);
    for (char& c : blanked) c = (c == '\n' || c == '\r') ? ' ' : c;
    line += TerminalText::safe(blanked);
}

void writeWhole(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

}  // namespace

void ProgramLog::setProgramName(std::string_view nameOrPath) {
    const std::size_t slash = nameOrPath.rfind('/');
    const std::lock_guard lock(nameLock);
    storedName() = std::string(slash == std::string_view::npos ? nameOrPath : nameOrPath.substr(slash + 1));
}

std::string ProgramLog::programName() {
    const std::lock_guard lock(nameLock);
    return storedName();
}

void ProgramLog::print(const char* format, ...) {
    std::va_list arguments;
    va_start(arguments, format);
    std::va_list measuring;
    va_copy(measuring, arguments);
    const int length = std::vsnprintf(nullptr, 0, format, measuring);
    va_end(measuring);
    std::string text(length > 0 ? std::size_t(length) : 0, '\0');
    if (length > 0) std::vsnprintf(text.data(), text.size() + 1, format, arguments);
    va_end(arguments);
    writeWhole(programName() + ": " + text);
}

void ProgramLog::failure(std::string_view doing, std::string_view message) {
    std::string line = programName() + ": ";
    appendOnOneLine(line, doing);
    line += ": ";
    appendOnOneLine(line, message);
    line += '\n';
    writeWhole(line);
}
