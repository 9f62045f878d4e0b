#include "platform/ui/KitTiming.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <utility>

namespace {

double& scaleSetting() {
    static double scale = 1.0;
    return scale;
}

std::function<qint64()>& testClock() {
    static std::function<qint64()> clock;
    return clock;
}

}  // namespace

int KitTiming::length(int designedMs) {
    if (designedMs <= 0) return designedMs;
    return std::max(1, int(std::lround(designedMs * scaleSetting())));
}

void KitTiming::setScaleForTesting(double scale) { scaleSetting() = std::max(0.0, scale); }

qint64 KitTiming::nowMs() {
    if (const auto& clock = testClock()) return clock();
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void KitTiming::setClockForTesting(std::function<qint64()> clock) { testClock() = std::move(clock); }
