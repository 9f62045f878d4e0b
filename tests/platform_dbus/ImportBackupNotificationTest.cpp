// `brindlex-phone import-backup` against this test's private session bus: a
// running badge daemon hears of the imported messages the way it hears of a
// received one.
#include "platform/DevicePaths.h"
#include "platform/dbus/TelephonyCenter.h"
#include "support/TempDeviceRoot.h"
#include "tools/BackupScenario.h"

#include <QCoreApplication>
#include <QProcess>
#include <QStringList>
#include <QtCore/qtestsupport_core.h>

#include <gtest/gtest.h>

#include <filesystem>

namespace {

TEST(ImportBackupNotificationTest, ImportPostsTheReceivedMessageNotification) {
    const TempDeviceRoot scratch;
    const std::string backup = backup_scenario::make(scratch.path(), backup_scenario::kPhoneA).folder();
    const TempDeviceRoot root;
    TelephonyCenter center;
    QStringList posted;
    ASSERT_TRUE(center.addObserver(QString::fromLatin1(TelephonyCenter::kMessageReceivedNotification),
                                   [&](const QString& name) { posted << name; }));

    QProcess phone;
    phone.start(QCoreApplication::applicationDirPath() + "/brindlex-phone",
                {"import-backup", QString::fromStdString(backup)});
    ASSERT_TRUE(phone.waitForFinished(30000));
    EXPECT_EQ(phone.exitCode(), 0) << phone.readAllStandardError().toStdString();
    EXPECT_TRUE(phone.readAllStandardError().isEmpty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !posted.isEmpty(); }, 5000));
    EXPECT_EQ(posted, QStringList({"kCTMessageReceivedNotification"}));
    EXPECT_TRUE(std::filesystem::exists(DevicePaths::smsDatabase()));
}

}  // namespace
