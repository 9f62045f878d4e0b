#pragma once

// Waits of the UI tests on what they need to see, never on the clock: the
// end of every running animation (a slide, a fade, a wheel coming to rest, a
// wedge growing) and the work widgets queue for the next turn of the event
// loop (a table filling its cells). The test programs run the kit's lengths
// short (KitTiming), so these waits end within a few turns of the loop.

#include <QAbstractAnimation>
#include <QApplication>
#include <QTest>
#include <QWidget>

namespace uiwait {

// Far beyond any animation of the kit even at its designed length: only a
// broken condition runs into it.
constexpr int timeoutMs = 5000;

inline bool animationsRunning() {
    for (const QWidget* window : QApplication::topLevelWidgets())
        for (const QAbstractAnimation* animation : window->findChildren<QAbstractAnimation*>())
            if (animation->state() == QAbstractAnimation::Running) return true;
    return false;
}

// Delivers what was queued for the next turn of the event loop, the
// deletion of widgets that were let go (a screen popped off the stack)
// included.
inline void runQueuedWork() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Until every animation has ended and what they queued has run; false when
// one still runs after the time-out.
inline bool settle() {
    runQueuedWork();
    const bool ended = QTest::qWaitFor([] { return !animationsRunning(); }, timeoutMs);
    runQueuedWork();
    return ended;
}

}  // namespace uiwait
