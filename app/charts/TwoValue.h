#pragma once

#include <cstdint>

// The whole-degree bounds of one pie wedge, each angle truncated toward
// zero. The touch lookup compares against these, not the exact angles, so a
// touch on a shared boundary degree matches both neighbours.
class TwoValue {
public:
    TwoValue(std::int32_t startAngle, std::int32_t endAngle) : startAngle_(startAngle), endAngle_(endAngle) {}

    std::int32_t startAngle() const { return startAngle_; }
    std::int32_t endAngle() const { return endAngle_; }

private:
    std::int32_t startAngle_;
    std::int32_t endAngle_;
};
