// The main() of the suites that talk over the session bus: they run with a
// Qt application object, since QtDBus delivers signals through its event
// loop.
#include "platform/dbus/SessionBus.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <cstdio>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    QCoreApplication application(argc, argv);
    // The tests check the order and timing of what they receive.
    if (!SessionBus::startDelivery()) {
        std::fprintf(stderr, "no session bus: run the tests under dbus-run-session\n");
        return 1;
    }
    return RUN_ALL_TESTS();
}
