// The app's tests drive real widgets on Qt's offscreen platform, so they run
// anywhere, with no display, and never wait for a person.
#include "platform/ui/KitTiming.h"

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    // Slides, fades and the pie's growing as short as can be: the tests wait
    // for their ends.
    KitTiming::setScaleForTesting(0);
    return RUN_ALL_TESTS();
}
