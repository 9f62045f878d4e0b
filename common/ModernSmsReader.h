#pragma once

#include "common/SmsReader.h"

#include <string>
#include <unordered_set>
#include <vector>

// sms.db of 7 and later, recognised by the columns they appended to the
// handle family. Sent messages often carry no handle and are reached through
// their chat (one row per recipient of a group, since the carrier bills
// each), dates are nanoseconds from 11 on, the body may sit only in
// attributedBody, and reactions, system rows and failed sends are rows that
// are no text message at all and are left out. The chat tables are needed
// only for messages without a handle.
class ModernSmsReader : public SmsReader {
public:
    Layout layout() const override { return Layout::Modern; }

protected:
    bool fits(const SmsTables& tables) const override;
    std::string readSql(const SmsTables& tables, bool withBodies, bool dated) const override;
    std::string positionSelect(const SmsTables& tables) const override;
    bool takeRest(SmsRow& row) override;
    bool rereadsLastMessage() const override { return true; }
    void restart() override;
    std::optional<std::string> cutBody(std::optional<std::string> text, std::int64_t rowid, std::size_t cap,
                                       std::size_t* fullBytes) const override;

private:
    bool firstTimeRecipient(const SmsRow& row);
    void takeText(SmsRow& row);

    std::int64_t currentMessage_ = -1;
    std::vector<std::string> currentRecipients_;  // addresses already given for it: the first recipientsUsed_
    std::size_t recipientsUsed_ = 0;
    static constexpr std::size_t kFewRecipients = 16;
    std::unordered_set<std::string> manyRecipients_;  // all of them, past kFewRecipients
    std::string text_;                                // a body the reader had to rewrite or extract
};
