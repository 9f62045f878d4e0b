#include "platform/dbus/TelephonyCenter.h"

#include <QStringList>
#include <QtCore/qtestsupport_core.h>

#include <gtest/gtest.h>

namespace {

const QString kReceived = QString::fromLatin1(TelephonyCenter::kMessageReceivedNotification);
const QString kSent = QString::fromLatin1(TelephonyCenter::kMessageSentNotification);

TEST(TelephonyCenterTest, EachObserverHearsOnlyItsNameInRegistrationOrder) {
    TelephonyCenter center;
    QStringList calls;
    ASSERT_TRUE(center.addObserver(kReceived, [&](const QString& name) { calls << "first " + name; }));
    ASSERT_TRUE(center.addObserver(kSent, [&](const QString& name) { calls << "sent " + name; }));
    ASSERT_TRUE(center.addObserver(kReceived, [&](const QString& name) { calls << "second " + name; }));

    ASSERT_TRUE(TelephonyCenter::post(kReceived));
    ASSERT_TRUE(TelephonyCenter::post(QStringLiteral("kCTCallIncomingNotification")));
    // One sender's signals arrive in order, so once the sent notification is
    // in, anything misdelivered before it would be too.
    ASSERT_TRUE(TelephonyCenter::post(kSent));
    ASSERT_TRUE(QTest::qWaitFor([&] { return calls.size() >= 3; }, 5000)) << calls.join('\n').toStdString();
    EXPECT_EQ(calls, QStringList({"first " + kReceived, "second " + kReceived, "sent " + kSent}));
}

TEST(TelephonyCenterTest, ObserverAddedDuringDeliveryHearsTheNextNotificationOnly) {
    TelephonyCenter center;
    int late = 0;
    int early = 0;
    ASSERT_TRUE(center.addObserver(kReceived, [&](const QString&) {
        // Enough new observers to make the list move in memory.
        if (early++ == 0)
            for (int i = 0; i < 32; ++i) center.addObserver(kReceived, [&](const QString&) { ++late; });
    }));
    ASSERT_TRUE(TelephonyCenter::post(kReceived));
    ASSERT_TRUE(QTest::qWaitFor([&] { return early == 1; }, 5000));
    EXPECT_EQ(late, 0);
    ASSERT_TRUE(TelephonyCenter::post(kReceived));
    ASSERT_TRUE(QTest::qWaitFor([&] { return late == 32; }, 5000)) << late;
}

}  // namespace
