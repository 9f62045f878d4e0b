// Runs the built brindlex-phone against this test's private session bus:
// the messaging commands must store the message and post the notification,
// the contacts commands fill the address book, and `badge watch` shows what
// a dock sees until it is stopped.
#include "platform/BundleIdentifier.h"
#include "platform/DevicePaths.h"
#include "platform/dbus/IconBadge.h"
#include "platform/dbus/TelephonyCenter.h"
#include "support/TempDeviceRoot.h"
#include "tools/SmsReadBack.h"
#include "tools/fixtures/AddressBookFixture.h"
#include "tools/fixtures/SmsDatabaseFixture.h"

#include <QCoreApplication>
#include <QProcess>
#include <QStringList>
#include <QtCore/qtestsupport_core.h>

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <functional>

namespace {

struct PhoneRun {
    int status = -1;
    std::string out;
    std::string err;
};

QString phoneBinary() { return QCoreApplication::applicationDirPath() + "/brindlex-phone"; }

class PhoneSimulatorTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(std::filesystem::exists(phoneBinary().toStdString())); }

    // The device root and the bus come from the environment the child
    // inherits, unless `environment` replaces it.
    static PhoneRun phone(const QStringList& arguments,
                          const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(phoneBinary(), arguments);
        if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit) return {};
        return {process.exitCode(), process.readAllStandardOutput().toStdString(),
                process.readAllStandardError().toStdString()};
    }

    void observeMessages() {
        for (const char* name :
             {TelephonyCenter::kMessageReceivedNotification, TelephonyCenter::kMessageSentNotification})
            ASSERT_TRUE(
                center_.addObserver(QString::fromLatin1(name), [this](const QString& posted) { posted_ << posted; }));
    }

    TempDeviceRoot root_;
    TelephonyCenter center_;
    QStringList posted_;
};

TEST_F(PhoneSimulatorTest, ReceiveAndSendStoreInEitherSchemaAndPostTheNotification) {
    observeMessages();
    for (const bool sixOrLater : {true, false}) {
        SCOPED_TRACE(sixOrLater ? "6.1.3" : "5.1.1");
        const TempDeviceRoot device;
        posted_.clear();
        ASSERT_EQ(phone({"init", "--version", sixOrLater ? "6.1.3" : "5.1.1"}).status, 0);
        const std::int64_t before = std::time(nullptr);
        const PhoneRun received = phone({"receive", "+14155550100", "Are we still on for tonight?"});
        EXPECT_EQ(received.status, 0) << received.err;
        const PhoneRun sent = phone({"send", "+14155550100", ""});
        EXPECT_EQ(sent.status, 0) << sent.err;

        ASSERT_TRUE(QTest::qWaitFor([&] { return posted_.size() >= 2; }, 5000));
        EXPECT_EQ(posted_, QStringList({"kCTMessageReceivedNotification", "kCTMessageSentNotification"}));
        const auto rows = sms_read_back::read(DevicePaths::smsDatabase(), sixOrLater);
        ASSERT_TRUE(rows.has_value());
        ASSERT_EQ(rows->size(), 2u);
        EXPECT_EQ((*rows)[0].address, "+14155550100");
        EXPECT_EQ((*rows)[0].text, "Are we still on for tonight?");
        EXPECT_EQ((*rows)[0].flags, 2);
        EXPECT_EQ((*rows)[1].text, "");
        EXPECT_EQ((*rows)[1].flags, 3);
        for (const auto& row : *rows) {
            EXPECT_GE(row.date, before);
            EXPECT_LE(row.date, std::time(nullptr));
            if (sixOrLater) {
                EXPECT_EQ(row.type, "SMS");
            }
        }
    }
}

TEST_F(PhoneSimulatorTest, WithoutADeviceRootNothingIsCreated) {
    const PhoneRun run = phone({"receive", "+14155550100", "Hello"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("sms.db"), std::string::npos) << run.err;
    EXPECT_TRUE(std::filesystem::is_empty(root_.path()));
}

TEST_F(PhoneSimulatorTest, WithoutASessionBusTheMessageIsStoredButTheRunFails) {
    ASSERT_EQ(phone({"init"}).status, 0);
    QProcessEnvironment noBus = QProcessEnvironment::systemEnvironment();
    noBus.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + QString::fromStdString(root_.path()) + "/no-bus");
    const PhoneRun run = phone({"send", "72345", "STOP"}, noBus);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("session bus"), std::string::npos) << run.err;
    EXPECT_EQ(SmsDatabaseFixture(DevicePaths::smsDatabase()).messageCount(), 1);
}

TEST_F(PhoneSimulatorTest, ContactsAreAddedToTheAddressBookAndListed) {
    // No init: adding creates the address book.
    ASSERT_EQ(phone({"contacts", "add", "Anna", "Becker", "+1 (415) 555-0100", "4155550101"}).status, 0);
    ASSERT_EQ(phone({"contacts", "add", "", "Okafor", "07700 900123"}).status, 0);
    const auto contacts = AddressBookFixture(DevicePaths::addressBook()).contacts();
    ASSERT_EQ(contacts.size(), 2u);
    EXPECT_FALSE(contacts[1].first.has_value());
    EXPECT_EQ(contacts[0].numbers, (std::vector<std::string>{"+1 (415) 555-0100", "4155550101"}));

    const PhoneRun list = phone({"contacts", "list"});
    EXPECT_EQ(list.status, 0);
    EXPECT_EQ(list.out, std::to_string(contacts[0].recordID) + "\tAnna Becker\t+1 (415) 555-0100, 4155550101\n" +
                            std::to_string(contacts[1].recordID) + "\tOkafor\t07700 900123\n");
}

TEST_F(PhoneSimulatorTest, BadArgumentsShowTheUsageAndChangeNothing) {
    const std::vector<QStringList> wrong = {
        {"receive"},
        {"receive", "+1415"},
        {"send", "+1415", "a", "b"},
        {"send", "", "text"},
        {"contacts"},
        {"contacts", "add", "Anna", "Becker"},
        {"contacts", "add", "Anna", "Becker", ""},
        {"contacts", "list", "all"},
        {"contacts", "remove", "1"},
        {"badge"},
        {"badge", "show"},
    };
    for (const auto& arguments : wrong) {
        const PhoneRun run = phone(arguments);
        EXPECT_EQ(run.status, 2) << arguments.join(' ').toStdString();
        EXPECT_NE(run.err.find("usage:"), std::string::npos) << arguments.join(' ').toStdString();
    }
    EXPECT_TRUE(std::filesystem::is_empty(root_.path()));
}

TEST_F(PhoneSimulatorTest, BadgeWatchPrintsEachUpdateUntilTerminated) {
    QProcess watch;
    watch.start(phoneBinary(), {"badge", "watch"});
    QByteArray out, err;
    const auto readUntil = [&](const std::function<bool()>& done) {
        return QTest::qWaitFor(
            [&] {
                watch.waitForReadyRead(20);
                out += watch.readAllStandardOutput();
                err += watch.readAllStandardError();
                return done();
            },
            30000);
    };
    // It says on standard error once it listens; an earlier update is lost.
    ASSERT_TRUE(readUntil([&] { return err.contains("brindlex-phone: watching the icon badges"); }))
        << err.toStdString();
    ASSERT_TRUE(IconBadge::setBadge(kBundleIdentifier, 12));
    // Each line arrives on its own, not when the watcher exits.
    ASSERT_TRUE(readUntil([&] { return out.count('\n') == 1; })) << out.toStdString();
    ASSERT_TRUE(IconBadge::setBadge(kBundleIdentifier, 0));
    ASSERT_TRUE(readUntil([&] { return out.count('\n') == 2; })) << out.toStdString();
    EXPECT_EQ(out.toStdString(),
              "application://org.brindlex.Brindlex.desktop count=12 visible=true\n"
              "application://org.brindlex.Brindlex.desktop count=0 visible=false\n");

    watch.terminate();
    ASSERT_TRUE(watch.waitForFinished(10000));
    EXPECT_EQ(watch.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(watch.exitCode(), 0) << watch.readAllStandardError().toStdString();
}

}  // namespace
