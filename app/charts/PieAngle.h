#pragma once

// Angle arithmetic of the pie chart. Angles are degrees measured from the
// 3 o'clock direction towards the screen's downward y axis, so they grow
// clockwise on screen.
class PieAngle {
public:
    static double radians(double degrees);
    static double radiansToDegrees(double radians);

    // The angle of the point (x, y) around the origin, in [0, 360]. The
    // quotient and the arctangent are taken in single precision, as the
    // touch coordinates are. x = 0 gives 90 or 270; the origin itself gives
    // no number (NaN), which lies in no wedge.
    static double angleWithRefOrigin(float x, float y);

    // A touch in the pie view's coordinates relative to the pie's circle
    // (centre (90, 140), radius 90), in single precision.
    struct UnitPoint {
        float x;
        float y;
        bool insideCircle() const { return !(x * x + y * y > 1.0f); }
        double angle() const { return angleWithRefOrigin(x, y); }
    };
    static UnitPoint unitPointOf(double px, double py);
};
