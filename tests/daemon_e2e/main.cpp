// The daemon's end-to-end tests watch the badge and the telephony
// notifications from this process: QtDBus delivers them through the Qt
// event loop, so the tests run with an application object.
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
