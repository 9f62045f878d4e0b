#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// A CSV table built one field at a time, each record ended by a line feed.
// The app's message export and the command-line report write through it,
// so both follow the same rules:
//
// - A field is quoted, its quotes doubled, when it holds a comma, a quote or
//   a line break (or always, when asked), so "Becker, Anna" stays in one
//   column while ordinary lines keep their plain shape.
// - Text fields come from strangers: one that a spreadsheet would take for a
//   formula (its first character =, +, -, @, tab or carriage return) gets a
//   leading apostrophe, so the spreadsheet shows it as text: "=1+1" is
//   written '=1+1, a number "+14155550101" as '+14155550101. Quotes alone
//   do not stop a spreadsheet from evaluating a field.
// - Numbers the program computed are written as they are, a negative one
//   too: those are meant to be computed with.
class CsvWriter {
public:
    enum class Quoting { WhenNeeded, Always };

    // A text field, guarded against formulas, then quoted as asked.
    void text(std::string_view field, Quoting quoting = Quoting::WhenNeeded);
    void number(std::int64_t value);
    void endRecord();

    const std::string& csv() const { return csv_; }

    // `field` with a leading apostrophe when a spreadsheet would evaluate it.
    static std::string neutralised(std::string_view field);
    // Quoted only when the field holds a comma, a quote or a line break.
    static std::string quotedWhenNeeded(std::string_view field);
    static std::string quoted(std::string_view field);

private:
    void separate();

    std::string csv_;
    bool recordStarted_ = false;
};
