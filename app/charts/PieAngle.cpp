#include "app/charts/PieAngle.h"

#include <cmath>
#include <limits>
#include <numbers>

double PieAngle::radians(double degrees) { return degrees * std::numbers::pi / 180.0; }

double PieAngle::radiansToDegrees(double radians) { return radians / std::numbers::pi * 180.0; }

double PieAngle::angleWithRefOrigin(float x, float y) {
    // A NaN coordinate falls to the negative side, as a failed "not below
    // zero" test would put it.
    const bool left = x < 0.0f || std::isnan(x);
    const bool up = y < 0.0f || std::isnan(y);
    const float ax = std::fabs(x), ay = std::fabs(y);
    // |y| / |x| without dividing by zero: infinity on the vertical axis, no
    // number at the origin.
    float quotient;
    if (ax == 0.0f)
        quotient = ay == 0.0f ? std::numeric_limits<float>::quiet_NaN() : std::numeric_limits<float>::infinity();
    else
        quotient = ay / ax;
    const double d = radiansToDegrees(std::atan(quotient));
    if (left) return up ? 180.0 + d : 180.0 - d;
    return up ? 360.0 - d : d;
}

PieAngle::UnitPoint PieAngle::unitPointOf(double px, double py) {
    return {(static_cast<float>(px) - 90.0f) / 90.0f, (static_cast<float>(py) - 50.0f - 90.0f) / 90.0f};
}
