#include "app/shell/SingleInstance.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QUuid>

#include <gtest/gtest.h>

TEST(SingleInstance, ASecondStartHandsItsUrlsToTheFirstAndBowsOut) {
    const QString key = "brindlex-test-" + QUuid::createUuid().toString(QUuid::WithoutBraces);
    SingleInstance first(key);
    ASSERT_TRUE(first.start({}));
    QSignalSpy received(&first, &SingleInstance::messageReceived);

    SingleInstance second(key);
    QString error;
    EXPECT_FALSE(second.start({"brindlex://hideSMS", "brindlex://showSMS"}, &error));
    EXPECT_TRUE(error.isEmpty());
    while (received.count() < 2 && received.wait(2000)) {
    }
    ASSERT_EQ(received.count(), 2);
    EXPECT_EQ(received.at(0).at(0).toString(), "brindlex://hideSMS");
    EXPECT_EQ(received.at(1).at(0).toString(), "brindlex://showSMS");

    // Different device roots are different phones, with different keys.
    EXPECT_NE(SingleInstance::keyForDeviceRoot("/a"), SingleInstance::keyForDeviceRoot("/b"));
    EXPECT_EQ(SingleInstance::keyForDeviceRoot("/a"), SingleInstance::keyForDeviceRoot("/a"));
}
