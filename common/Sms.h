#pragma once

#include "common/Direction.h"
#include "common/Person.h"

#include <ctime>
#include <memory>
#include <string>

// One counted message in memory, as the counting queries hand it to the
// message list, the export and the report. The person is shared: every
// record of one address in one count refers to the same Person.
class Sms {
public:
    static constexpr Direction kReceived = Direction::Received;
    static constexpr Direction kSent = Direction::Sent;

    Sms() = default;
    Sms(std::shared_ptr<const Person> person, std::string number, std::time_t date, std::string text, Direction flags,
        long long rowid)
        : rowid_(rowid), person_(std::move(person)), number_(std::move(number)), text_(std::move(text)), date_(date),
          flags_(flags) {}

    long long rowid() const { return rowid_; }
    void setRowid(long long rowid) { rowid_ = rowid; }
    const std::shared_ptr<const Person>& person() const { return person_; }
    void setPerson(std::shared_ptr<const Person> person) { person_ = std::move(person); }
    const std::string& number() const { return number_; }
    void setNumber(std::string number) { number_ = std::move(number); }
    const std::string& text() const { return text_; }
    void setText(std::string text) { text_ = std::move(text); }
    std::time_t date() const { return date_; }
    void setDate(std::time_t date) { date_ = date; }
    Direction flags() const { return flags_; }
    void setFlags(Direction flags) { flags_ = flags; }

    // By date alone: negative when this record is older, 0 for the same
    // second, positive when newer. Sorting with it puts the oldest first and
    // leaves records of one second in whatever order the sort leaves them.
    int compare(const Sms& other) const { return date_ < other.date_ ? -1 : (date_ > other.date_ ? 1 : 0); }

private:
    long long rowid_ = 0;
    std::shared_ptr<const Person> person_;
    std::string number_;
    std::string text_;
    std::time_t date_ = 0;
    Direction flags_ = Direction::Received;
};
