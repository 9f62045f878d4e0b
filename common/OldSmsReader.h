#pragma once

#include "common/SmsReader.h"

// sms.db before 6.0: one message table with the address, the direction
// (flags) and a date in Unix seconds; no service, no guid.
class OldSmsReader : public SmsReader {
public:
    Layout layout() const override { return Layout::Old; }

protected:
    bool fits(const SmsTables& tables) const override;
    std::string readSql(const SmsTables& tables, bool withBodies, bool dated) const override;
    // A message is named by its date, address, direction and text.
    std::string positionSelect(const SmsTables& tables) const override;
    bool takeRest(SmsRow& row) override;
    bool asksForUndated() const override { return false; }
};
