#pragma once

// What the counter database must hold after any order of phone events,
// syncs, kills and full disks: every message the phone held, each once at
// most, with the phone's address, direction, date and text; and every
// message that was in sms.db when a sync started that then completed, at
// least once. Messages are told apart by their text, which the sequences
// make unique.

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

struct ModelMessage {
    std::string address;
    std::int64_t date = 0;  // Unix seconds, as the counter database keeps it
    int flags = 2;          // 2 received, 3 sent
};

// One row of the counter database, as far as the model looks at it.
struct CountedRow {
    std::string address;
    std::int64_t date = 0;
    std::optional<std::string> text;
    int flags = 0;
};

// One way the counter database breaks the promise.
struct Mismatch {
    enum class Kind { Twice, NeverHeld, Wrong, Lost };
    // How a lost message's date stands to the newest counted one of its
    // direction, which tells a date marker's losses apart.
    enum class Date { Unknown, NothingCounted, SameSecond, BeforeNewest, HeldBackByFuture, AfterNewest };

    Kind kind = Kind::Lost;
    std::string text;  // the message's text, empty for a row without one
    Date date = Date::Unknown;
    std::string line;         // all of it in words
    std::int64_t newest = 0;  // with a Date from SameSecond on
};

class ExactlyOnceModel {
public:
    // sms.db as a map of ROWID to the text of the message in that row.
    using PhoneRows = std::map<long long, std::string>;

    // A message written into sms.db at `rowid`.
    void stored(long long rowid, const std::string& text, const ModelMessage& message);
    // The row deleted on the phone.
    void deleted(long long rowid);
    // sms.db replaced as a whole by a file holding `rows` (of messages the
    // model knows from stored()).
    void replaced(const PhoneRows& rows) { phone_ = rows; }
    const PhoneRows& phone() const { return phone_; }

    // A sync that started while sms.db held `rows` completed: each of them
    // must be counted from now on.
    void completedSyncOf(const PhoneRows& rows);

    // Every way the rows break the promise; empty when they keep it.
    std::vector<Mismatch> mismatches(const std::vector<CountedRow>& rows) const;

    const ModelMessage* find(const std::string& text) const;

private:
    Mismatch lost(const std::string& text, const std::vector<CountedRow>& rows) const;

    std::map<std::string, ModelMessage> held_;  // every message the phone ever held, by text
    PhoneRows phone_;
    std::set<std::string> mustCount_;
};
