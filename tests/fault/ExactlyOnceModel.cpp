#include "ExactlyOnceModel.h"

#include <algorithm>
#include <ctime>

namespace {

// A date this far past the moment of the check is a row dated in the
// future: the sequences date their messages up to a few minutes ahead of
// the wall clock, and future-dated ones a day or more.
constexpr std::int64_t kFutureSlack = 3600;

std::string describe(const std::string& text, const ModelMessage& message) {
    return text + " (" + (message.flags == 3 ? "sent to " : "received from ") + message.address + ", date " +
           std::to_string(message.date) + ")";
}

}  // namespace

void ExactlyOnceModel::stored(long long rowid, const std::string& text, const ModelMessage& message) {
    held_[text] = message;
    phone_[rowid] = text;
}

void ExactlyOnceModel::deleted(long long rowid) { phone_.erase(rowid); }

void ExactlyOnceModel::completedSyncOf(const PhoneRows& rows) {
    for (const auto& [rowid, text] : rows) mustCount_.insert(text);
}

const ModelMessage* ExactlyOnceModel::find(const std::string& text) const {
    const auto found = held_.find(text);
    return found == held_.end() ? nullptr : &found->second;
}

std::vector<Mismatch> ExactlyOnceModel::mismatches(const std::vector<CountedRow>& rows) const {
    std::vector<Mismatch> problems;
    std::map<std::string, int> seen;
    for (const CountedRow& row : rows) {
        if (!row.text) {
            problems.push_back({Mismatch::Kind::NeverHeld, "", {}, "counted a row without text from " + row.address});
            continue;
        }
        const ModelMessage* message = find(*row.text);
        if (!message) {
            problems.push_back(
                {Mismatch::Kind::NeverHeld, *row.text, {}, "counted a message the phone never held: " + *row.text});
            continue;
        }
        if (++seen[*row.text] == 2)
            problems.push_back(
                {Mismatch::Kind::Twice, *row.text, {}, "counted twice: " + describe(*row.text, *message)});
        if (row.address != message->address || row.date != message->date || row.flags != message->flags)
            problems.push_back({Mismatch::Kind::Wrong,
                                *row.text,
                                {},
                                "counted wrongly: " + describe(*row.text, *message) + " as " +
                                    (row.flags == 3 ? "sent to " : "received from ") + row.address + ", date " +
                                    std::to_string(row.date) + ", flags " + std::to_string(row.flags)});
    }
    for (const std::string& text : mustCount_)
        if (!seen.count(text)) problems.push_back(lost(text, rows));
    return problems;
}

Mismatch ExactlyOnceModel::lost(const std::string& text, const std::vector<CountedRow>& rows) const {
    const ModelMessage& message = held_.at(text);
    Mismatch lost{Mismatch::Kind::Lost, text, Mismatch::Date::NothingCounted, "lost: " + describe(text, message)};
    std::optional<std::int64_t> newest;
    bool sameSecond = false;
    for (const CountedRow& row : rows) {
        if (row.flags != message.flags) continue;
        newest = std::max(newest.value_or(row.date), row.date);
        sameSecond = sameSecond || row.date == message.date;
    }
    if (!newest) {
        lost.line += "; nothing of its direction counted";
        return lost;
    }
    // A marker in the future holds back everything dated before it; a
    // marker one second past a copied row skips the rest of that second.
    lost.newest = *newest;
    if (*newest > std::time(nullptr) + kFutureSlack && message.date < *newest)
        lost.date = Mismatch::Date::HeldBackByFuture;
    else if (sameSecond)
        lost.date = Mismatch::Date::SameSecond;
    else if (*newest > message.date)
        lost.date = Mismatch::Date::BeforeNewest;
    else
        lost.date = Mismatch::Date::AfterNewest;
    static const char* const kWords[] = {"",
                                         "",
                                         "another of that second is counted",
                                         "dated before the newest counted",
                                         "held back by a future-dated row",
                                         "dated after the newest counted"};
    lost.line += "; newest counted of its direction dated " + std::to_string(*newest) + ": " +
                 kWords[static_cast<int>(lost.date)];
    return lost;
}
