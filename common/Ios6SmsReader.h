#pragma once

#include "common/SmsReader.h"

// sms.db of 6.x, the first of the family with a handle table: one row per
// message that has a handle, dates in seconds since 2001, the body in text.
class Ios6SmsReader : public SmsReader {
public:
    Layout layout() const override { return Layout::Ios6; }

protected:
    bool fits(const SmsTables& tables) const override;
    std::string readSql(const SmsTables& tables, bool withBodies, bool dated) const override;
    std::string positionSelect(const SmsTables& tables) const override;
    bool takeRest(SmsRow& row) override;
};
