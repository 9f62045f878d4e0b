#include "common/CsvWriter.h"

void CsvWriter::text(std::string_view field, Quoting quoting) {
    separate();
    const std::string guarded = neutralised(field);
    csv_ += quoting == Quoting::Always ? quoted(guarded) : quotedWhenNeeded(guarded);
}

void CsvWriter::number(std::int64_t value) {
    separate();
    csv_ += std::to_string(value);
}

void CsvWriter::endRecord() {
    csv_ += '\n';
    recordStarted_ = false;
}

void CsvWriter::separate() {
    if (recordStarted_) csv_ += ',';
    recordStarted_ = true;
}

std::string CsvWriter::neutralised(std::string_view field) {
    if (field.empty()) return std::string();
    switch (field.front()) {
    case '=':
    case '+':
    case '-':
    case '@':
    case '\t':
    case '\r': break;
    default: return std::string(field);
    }
    // Built piece by piece: GCC 12 warns (-Wrestrict, wrongly) about the
    // overlap of "'" + std::string when optimising.
    std::string prefixed;
    prefixed.reserve(field.size() + 1);
    prefixed += '\'';
    prefixed += field;
    return prefixed;
}

std::string CsvWriter::quotedWhenNeeded(std::string_view field) {
    if (field.find_first_of(",\"\r\n") == std::string_view::npos) return std::string(field);
    return quoted(field);
}

std::string CsvWriter::quoted(std::string_view field) {
    std::string result = "\"";
    for (const char c : field) {
        if (c == '"') result += '"';
        result += c;
    }
    return result + '"';
}
