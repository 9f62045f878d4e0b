#pragma once

#include <QtGlobal>

#include <functional>

// The lengths of the kit's and the app's animations and delays, and the
// clock that times gestures. Users always get the lengths as designed; the
// test programs run them short, so that a test waits for an animation's end
// rather than sitting out its designed length, and give gestures a clock
// they move by hand.
class KitTiming {
public:
    // A designed length in milliseconds, at the current scale. Never below
    // one millisecond: an animation or delay still ends in a later turn of
    // the event loop, as at full length, never inside the call that started it.
    static int length(int designedMs);
    // 1 unless a test program sets another: 0 runs every length as short as
    // a timer allows.
    static void setScaleForTesting(double scale);

    // Monotonic milliseconds from a fixed point: the steady clock, or the
    // test's clock while one is set.
    static qint64 nowMs();
    // An empty function brings back the steady clock.
    static void setClockForTesting(std::function<qint64()> clock);
};
