// New iPhone backups counted by themselves: the built daemon watches the
// folder the phone was imported from, and a backup written there as
// idevicebackup2 writes one (Status.plist "new", the files, then
// "finished") is imported and counted with no command, once. Encrypted
// backups take their password from a real Secret Service (gnome-keyring,
// headless, on the test's private bus) or, without one, ask for it with
// one desktop notification.
#include "DaemonHarness.h"
#include "NotificationServer.h"

#include "daemon/BackupWatcher.h"
#include "platform/FileIdentity.h"
#include "platform/PasswordKeyring.h"
#include "platform/PropertyList.h"
#include "support/TempDeviceRoot.h"
#include "tools/fixtures/BackupEncryptor.h"
#include "tools/fixtures/BackupFixture.h"
#include "tools/fixtures/SmsDatabaseFixture.h"
#include "tools/phone/BackupImport.h"
#include "tools/phone/BackupOrigin.h"
#include "tools/phone/BackupSnapshot.h"
#include "tools/phone/SecretBytes.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QProcess>
#include <QStandardPaths>

#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <set>

namespace daemon_e2e {
namespace {

namespace fs = std::filesystem;

constexpr const char* kUdid = "00008030-001A35E12345802E";
constexpr const char* kPassword = "correct horse battery";
constexpr const char* kImportedLine = "imported the new backup\n";
constexpr int kSettleMs = 300;

// Status.plist of the backup folder with SnapshotState `state`, written as
// idevicebackup2 rewrites it: the whole file replaced.
void setState(const std::string& folder, const std::string& state) {
    PropertyList status = PropertyList::readFromFile(folder + "/Status.plist").value_or(PropertyList());
    status.setString("SnapshotState", state);
    ASSERT_TRUE(status.writeToFile(folder + "/Status.plist"));
}

std::string importedSnapshot() { return BackupOrigin::inRoot().value_or(BackupOrigin()).snapshot; }

// The freedesktop Secret Service of gnome-keyring on the test's private bus,
// with a login keyring unlocked by `password` in a home of its own.
class Keyring {
public:
    explicit Keyring(std::string home) : home_(std::move(home)) {}
    ~Keyring() {
        if (process_.state() != QProcess::NotRunning) {
            process_.terminate();
            if (!process_.waitForFinished(5000)) process_.kill();
        }
    }

    // Why the Secret Service cannot run here; empty when it runs.
    std::string start() {
        const QString program = QStandardPaths::findExecutable(QStringLiteral("gnome-keyring-daemon"));
        if (program.isEmpty()) return "gnome-keyring-daemon is not installed (package gnome-keyring)";
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const auto& [name, path] : folders()) environment.insert(name, QString::fromStdString(path));
        process_.setProcessEnvironment(environment);
        process_.start(program, {QStringLiteral("--foreground"), QStringLiteral("--unlock"),
                                 QStringLiteral("--components=secrets")});
        if (!process_.waitForStarted(10000)) return "gnome-keyring-daemon did not start";
        process_.write(kPassword);
        process_.closeWriteChannel();
        const bool owned = waitFor(
            [&] {
                return process_.state() == QProcess::NotRunning ||
                       QDBusConnection::sessionBus().interface()->isServiceRegistered(
                           QStringLiteral("org.freedesktop.secrets"));
            },
            15000);
        if (!owned || process_.state() == QProcess::NotRunning)
            return "gnome-keyring-daemon did not offer the Secret Service: " +
                   process_.readAllStandardError().toStdString();
        return {};
    }

    // Locks the login keyring, as the desktop does on a screen lock or a
    // timeout; false when the service refuses.
    static bool lock() {
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.secrets"), QStringLiteral("/org/freedesktop/secrets"),
            QStringLiteral("org.freedesktop.Secret.Service"), QStringLiteral("Lock"));
        call << QVariant::fromValue(
            QList<QDBusObjectPath>{QDBusObjectPath(QStringLiteral("/org/freedesktop/secrets/collection/login"))});
        return QDBusConnection::sessionBus().call(call).type() == QDBusMessage::ReplyMessage;
    }

    // The folders a Secret Service started for the bus keeps its keyrings
    // in: under the test's scratch folder, never the user's home.
    std::vector<std::pair<QString, std::string>> folders() const {
        return {{QStringLiteral("HOME"), home_},
                {QStringLiteral("XDG_DATA_HOME"), home_ + "/.local/share"},
                {QStringLiteral("XDG_CONFIG_HOME"), home_ + "/.config"},
                {QStringLiteral("XDG_RUNTIME_DIR"), home_ + "/run"}};
    }

    // Services the bus starts on demand (the keyring named in the system's
    // service files) get the same folders.
    bool isolateActivation() const {
        std::error_code ignored;
        fs::create_directories(home_ + "/run", ignored);
        fs::permissions(home_ + "/run", fs::perms::owner_all, ignored);
        qDBusRegisterMetaType<QMap<QString, QString>>();
        QMap<QString, QString> variables;
        for (const auto& [name, path] : folders()) variables.insert(name, QString::fromStdString(path));
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("UpdateActivationEnvironment"));
        call << QVariant::fromValue(variables);
        return QDBusConnection::sessionBus().call(call).type() == QDBusMessage::ReplyMessage;
    }

private:
    std::string home_;
    QProcess process_;
};

class BackupWatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(backups_);
        ASSERT_TRUE(keyring_.isolateActivation());
    }

    // A backup of the phone in a folder of its own, holding the first
    // `count` messages of the last hour (so the badge, counting this month's
    // messages, shows them), encrypted with kPassword in `rounds` rounds
    // when `encrypted`.
    std::string build(int count, bool encrypted, std::uint32_t rounds = 10) {
        const std::string base = scratch_ + "/built-" + std::to_string(++built_);
        fs::create_directories(base);
        SmsDatabaseFixture sms(base + "/sms.db");
        EXPECT_TRUE(sms.create(SmsSchema::New)) << sms.lastError();
        for (int i = 0; i < count; ++i)
            EXPECT_GE(sms.storeMessage({"+14155550101", "Message " + std::to_string(i), firstDate_ + i, false}), 0);
        BackupFixture backup(base + "/" + kUdid, BackupFixture::Layout::Manifest);
        EXPECT_TRUE(backup.create({kUdid})) << backup.lastError();
        EXPECT_TRUE(backup.addFile(BackupFixture::kHomeDomain, BackupFixture::kSmsDatabasePath, base + "/sms.db"))
            << backup.lastError();
        if (encrypted) {
            BackupEncryptor::Settings settings;
            settings.passwordRounds = rounds;
            std::string error;
            EXPECT_TRUE(BackupEncryptor::encrypt(backup.folder(), settings, &error)) << error;
        }
        return backup.folder();
    }

    // Writes the backup into the watched folder the way idevicebackup2
    // does: Status.plist says "new" first, then the files arrive, then
    // Status.plist says `state`.
    void writeBackup(int count, bool encrypted, const std::string& state = BackupSnapshot::kFinished,
                     std::uint32_t rounds = 10) {
        const std::string source = build(count, encrypted, rounds);
        ASSERT_NO_FATAL_FAILURE(setState(source, "new"));
        if (fs::exists(folder())) {
            ASSERT_NO_FATAL_FAILURE(setState(folder(), "new"));
        }
        fs::copy(source, folder(), fs::copy_options::recursive | fs::copy_options::overwrite_existing);
        ASSERT_NO_FATAL_FAILURE(setState(folder(), state));
    }

    // The first backup, imported as the user's command would.
    void importFirst(int count) {
        ASSERT_NO_FATAL_FAILURE(writeBackup(count, false));
        std::string error;
        ASSERT_TRUE(BackupImport::run(backups_, {}, &error)) << error;
        changeSettings([](PropertyList& settings) { settings.setInteger("badgetype", 0); });
    }

    void startDaemon() {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("BRINDLEX_BACKUP_SETTLE_MS"), QString::number(kSettleMs));
        if (!listening_) {
            ASSERT_TRUE(listening_ = badges_.start());
        }
        daemon_ = std::make_unique<DaemonProcess>(environment);
        ASSERT_TRUE(daemon_->start());
        ASSERT_TRUE(daemon_->waitForStarted()) << daemon_->err();
        ASSERT_TRUE(daemon_->waitForError("watching " + backups_)) << daemon_->err();
    }

    // The first backup of `first` messages imported, the daemon running,
    // then an encrypted backup of `next` written that the daemon cannot
    // open: the desktop is asked once for its password.
    void writeBackupThatWaitsForItsPassword(NotificationServer& server, int first, int next) {
        ASSERT_TRUE(server.start());
        ASSERT_NO_FATAL_FAILURE(importFirst(first));
        ASSERT_NO_FATAL_FAILURE(startDaemon());
        ASSERT_TRUE(badges_.waitForUpdates(1)) << daemon_->err();
        ASSERT_NO_FATAL_FAILURE(writeBackup(next, true));
        ASSERT_TRUE(waitFor([&] { return server.shown().size() == 1; }, 20000)) << daemon_->err();
    }

    // brindlex-ledger to its end while the event loop runs (the keyring
    // answers over the bus).
    ProgramRun ledger(const QStringList& arguments) {
        QProcess process;
        process.start(programPath("brindlex-ledger"), arguments);
        if (!process.waitForStarted(10000)) return {};
        if (!waitFor([&] { return process.state() == QProcess::NotRunning; }, 60000)) return {};
        return {process.exitCode(), process.readAllStandardOutput().toStdString(),
                process.readAllStandardError().toStdString()};
    }

    std::size_t occurrences(const std::string& text) {
        const std::string err = daemon_->err();
        std::size_t count = 0;
        for (auto at = err.find(text); at != std::string::npos; at = err.find(text, at + 1)) ++count;
        return count;
    }

    std::string folder() const { return backups_ + "/" + kUdid; }

    const TempDeviceRoot scratchRoot_;
    const std::string scratch_ = scratchRoot_.path();
    const std::string backups_ = scratch_ + "/iphone-backup";
    Keyring keyring_{scratch_ + "/home"};
    const TempDeviceRoot root_;  // made last: its BRINDLEX_DEVICE_ROOT is in force
    BadgeLog badges_;
    bool listening_ = false;
    std::unique_ptr<DaemonProcess> daemon_;
    int built_ = 0;
    // Every backup holds the messages of the one before and more, as a
    // phone's backups do.
    const std::int64_t firstDate_ = std::time(nullptr) - 3600;
};

TEST_F(BackupWatchTest, NewBackupIsCountedByItselfOnceFinishedAndOnlyOnce) {
    ASSERT_NO_FATAL_FAILURE(importFirst(3));
    const std::string first = importedSnapshot();
    ASSERT_FALSE(first.empty()) << "the import records which backup it read";
    EXPECT_EQ(BackupOrigin::inRoot()->directory, backups_);
    EXPECT_EQ(BackupOrigin::inRoot()->folder, fs::canonical(folder()).string());
    const FileIdentity phoneRecord = FileIdentity::of(BackupImport::phoneFile());

    ASSERT_NO_FATAL_FAILURE(startDaemon());
    ASSERT_TRUE(badges_.waitForUpdates(1)) << daemon_->err();
    EXPECT_EQ(badges_.updates().back().count, 3);
    idle(kSettleMs * 4);
    EXPECT_EQ(FileIdentity::of(BackupImport::phoneFile()), phoneRecord) << "the backup imported already stays so";

    // Being written: the daemon sees it and leaves it alone.
    ASSERT_NO_FATAL_FAILURE(writeBackup(5, false, "new"));
    ASSERT_TRUE(daemon_->waitForError("is not finished (SnapshotState \"new\")")) << daemon_->err();
    idle(kSettleMs * 2);
    EXPECT_EQ(occurrences("importing the new backup"), 0u) << daemon_->err();
    EXPECT_EQ(importedSnapshot(), first);
    EXPECT_EQ(badges_.updates().back().count, 3);

    // Finished: imported, synced and counted with no command.
    ASSERT_NO_FATAL_FAILURE(setState(folder(), BackupSnapshot::kFinished));
    ASSERT_TRUE(waitFor([&] { return !badges_.updates().empty() && badges_.updates().back().count == 5; }, 20000))
        << daemon_->err();
    EXPECT_EQ(occurrences(kImportedLine), 1u) << daemon_->err();
    const std::string second = importedSnapshot();
    EXPECT_NE(second, first);
    EXPECT_EQ(second, BackupSnapshot::of(folder())->key());

    // Neither the running daemon nor a new one imports it a second time.
    idle(kSettleMs * 4);
    EXPECT_EQ(occurrences(kImportedLine), 1u) << daemon_->err();
    const FileIdentity secondRecord = FileIdentity::of(BackupImport::phoneFile());
    daemon_.reset();
    ASSERT_NO_FATAL_FAILURE(startDaemon());
    idle(kSettleMs * 4);
    EXPECT_EQ(occurrences("importing the new backup"), 0u) << daemon_->err();
    EXPECT_EQ(FileIdentity::of(BackupImport::phoneFile()), secondRecord);
}

TEST_F(BackupWatchTest, BrokenBackupIsLoggedAndTriedAgainOnlyAfterTheFolderChanges) {
    ASSERT_NO_FATAL_FAILURE(importFirst(2));
    ASSERT_NO_FATAL_FAILURE(startDaemon());
    ASSERT_TRUE(badges_.waitForUpdates(1)) << daemon_->err();

    // Finished, but its sms.db is not a database.
    ASSERT_NO_FATAL_FAILURE(writeBackup(4, false, "new"));
    {
        const BackupFixture written(folder(), BackupFixture::Layout::Manifest);
        std::ofstream(written.pathOf(BackupFixture::kHomeDomain, BackupFixture::kSmsDatabasePath)) << "damaged";
    }
    ASSERT_NO_FATAL_FAILURE(setState(folder(), BackupSnapshot::kFinished));
    ASSERT_TRUE(daemon_->waitForError("the new backup was not imported: ")) << daemon_->err();
    idle(kSettleMs * 4);
    EXPECT_EQ(occurrences("importing the new backup"), 1u) << "not retried while nothing changes";
    EXPECT_TRUE(daemon_->running()) << daemon_->err();

    // The next backup is imported.
    ASSERT_NO_FATAL_FAILURE(writeBackup(6, false));
    ASSERT_TRUE(waitFor([&] { return badges_.updates().back().count == 6; }, 20000)) << daemon_->err();
}

TEST_F(BackupWatchTest, EncryptedBackupWithoutPasswordAsksOnceOnTheDesktop) {
    NotificationServer server;
    // Written in several steps, each a change the daemon sees.
    ASSERT_NO_FATAL_FAILURE(writeBackupThatWaitsForItsPassword(server, 3, 5));
    const NotificationServer::Shown& shown = server.shown()[0];
    EXPECT_EQ(shown.summary, "A new iPhone backup waits for its password");
    EXPECT_NE(shown.body.indexOf(QStringLiteral("Preferences")), -1) << shown.body.toStdString();
    EXPECT_NE(shown.body.indexOf(QStringLiteral("Import iPhone Backup")), -1) << shown.body.toStdString();
    EXPECT_EQ(shown.hints.value("desktop-entry").toString(), "org.brindlex.Brindlex");
    EXPECT_EQ(badges_.updates().back().count, 3) << "nothing of the encrypted backup was counted";

    // Not again for the same backup: not while the daemon runs, not after a restart.
    idle(kSettleMs * 4);
    daemon_.reset();
    ASSERT_NO_FATAL_FAILURE(startDaemon());
    idle(kSettleMs * 4);
    EXPECT_EQ(server.shown().size(), 1u) << daemon_->err();
    EXPECT_TRUE(daemon_->running());
}

TEST_F(BackupWatchTest, RememberedPasswordImportsTheNextEncryptedBackups) {
    if (const std::string why = keyring_.start(); !why.empty()) GTEST_SKIP() << "no Secret Service: " << why;

    // The user's command with --remember-password puts it in the keyring.
    const std::string source = build(3, true);
    std::ofstream(scratch_ + "/password") << kPassword << "\n";
    fs::copy(source, folder(), fs::copy_options::recursive);
    const ProgramRun run = ledger({QStringLiteral("import-backup"), QStringLiteral("--password-file"),
                                   QString::fromStdString(scratch_ + "/password"),
                                   QStringLiteral("--remember-password"), QString::fromStdString(backups_)});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("remembered in the keyring"), std::string::npos) << run.out;
    PasswordKeyring::Lookup found = PasswordKeyring::lookup(kUdid);
    ASSERT_EQ(found.status, PasswordKeyring::Status::Found) << found.reason;
    EXPECT_EQ(found.password, kPassword);
    EXPECT_EQ(PasswordKeyring::lookup("another-phone").status, PasswordKeyring::Status::NotFound);
    changeSettings([](PropertyList& settings) { settings.setInteger("badgetype", 0); });

    ASSERT_NO_FATAL_FAILURE(startDaemon());
    ASSERT_TRUE(badges_.waitForUpdates(1)) << daemon_->err();
    EXPECT_EQ(badges_.updates().back().count, 3);

    ASSERT_NO_FATAL_FAILURE(writeBackup(5, true));
    ASSERT_TRUE(waitFor([&] { return badges_.updates().back().count == 5; }, 30000)) << daemon_->err();

    // Changed under the import (a slow key derivation gives the time):
    // rolled back, then imported once it stays unchanged.
    ASSERT_NO_FATAL_FAILURE(writeBackup(7, true, BackupSnapshot::kFinished, 3'000'000));
    ASSERT_TRUE(
        waitFor([&] { return occurrences("unlocking the backup with the password from the keyring") == 2; }, 30000))
        << daemon_->err();
    ASSERT_NO_FATAL_FAILURE(setState(folder(), BackupSnapshot::kFinished));
    ASSERT_TRUE(daemon_->waitForError("the backup changed while it was imported", 60000)) << daemon_->err();
    EXPECT_EQ(badges_.updates().back().count, 5);
    ASSERT_TRUE(waitFor([&] { return badges_.updates().back().count == 7; }, 60000)) << daemon_->err();
    EXPECT_EQ(importedSnapshot(), BackupSnapshot::of(folder())->key());
}

TEST_F(BackupWatchTest, ARememberedPasswordThatNoLongerOpensTheBackupIsAskedForAgain) {
    if (const std::string why = keyring_.start(); !why.empty()) GTEST_SKIP() << "no Secret Service: " << why;
    std::string error;
    ASSERT_TRUE(PasswordKeyring::store(kUdid, "the password before", &error)) << error;
    NotificationServer server;
    ASSERT_NO_FATAL_FAILURE(writeBackupThatWaitsForItsPassword(server, 2, 4));
    EXPECT_NE(daemon_->err().find("the password in the keyring does not open the new backup"), std::string::npos)
        << daemon_->err();
    EXPECT_EQ(badges_.updates().back().count, 2);

    // Removed from the keyring, it is not found any more.
    ASSERT_TRUE(PasswordKeyring::clear(kUdid, &error)) << error;
    EXPECT_EQ(PasswordKeyring::lookup(kUdid).status, PasswordKeyring::Status::NotFound);
    EXPECT_TRUE(PasswordKeyring::clear(kUdid, &error)) << "none to remove is no failure: " << error;
}

TEST_F(BackupWatchTest, ALockedKeyringIsAskedForThePasswordLikeNoneAndNothingElseStops) {
    if (const std::string why = keyring_.start(); !why.empty()) GTEST_SKIP() << "no Secret Service: " << why;
    std::string error;
    ASSERT_TRUE(PasswordKeyring::store(kUdid, kPassword, &error)) << error;
    ASSERT_TRUE(Keyring::lock());
    const PasswordKeyring::Lookup locked = PasswordKeyring::lookup(kUdid);
    EXPECT_EQ(locked.status, PasswordKeyring::Status::Unavailable);
    EXPECT_EQ(locked.reason, "the keyring is locked");

    NotificationServer server;
    ASSERT_NO_FATAL_FAILURE(writeBackupThatWaitsForItsPassword(server, 2, 4));
    EXPECT_NE(daemon_->err().find("no backup password from the keyring: the keyring is locked"), std::string::npos)
        << daemon_->err();

    // The daemon goes on counting messages.
    ASSERT_EQ(phone({"receive", "4155550101", "Hi"}).status, 0);
    ASSERT_TRUE(waitFor([&] { return badges_.updates().back().count == 3; }, 20000)) << daemon_->err();
    EXPECT_EQ(server.shown().size(), 1u);
}

}  // namespace
}  // namespace daemon_e2e

namespace daemon_e2e {
namespace {

// Whatever order backups are written in, finished or not, settled or
// changed under an import, the watcher (in-process, a short settle time)
// never imports an unfinished backup, imports each version at most once,
// and ends with the last finished backup imported. Each seed is one order of
// writes and pauses; a seed that ever fails is added to the list for good.
constexpr unsigned kOrderSeeds[] = {1, 2, 3, 4, 5};

class BackupWatchOrderTest : public BackupWatchTest, public ::testing::WithParamInterface<unsigned> {};

TEST_P(BackupWatchOrderTest, OnlyFinishedBackupsAreImportedAndTheLastOneIs) {
    constexpr std::chrono::milliseconds kSettle(100);
    std::mt19937 random(GetParam());
    int count = 2;
    ASSERT_NO_FATAL_FAILURE(importFirst(count));
    std::set<long long> finishedCounts{count};

    int imports = 0;
    BackupWatcher::Settings settings;
    settings.settle = kSettle;
    settings.poll = std::chrono::seconds(1);
    settings.password = [](const std::string&) { return std::nullopt; };
    BackupWatcher watcher(settings);
    QObject::connect(&watcher, &BackupWatcher::imported, [&] { ++imports; });
    watcher.start();

    auto checkInvariants = [&](const std::string& when) {
        const std::string imported = importedSnapshot();
        EXPECT_TRUE(imported.rfind(std::string(BackupSnapshot::kFinished) + ";", 0) == 0)
            << when << ": an unfinished backup was recorded as imported: " << imported;
        const long long inRoot = SmsDatabaseFixture(DevicePaths::smsDatabase()).messageCount();
        EXPECT_TRUE(finishedCounts.count(inRoot)) << when << ": the root holds " << inRoot << " messages";
    };
    int finishedVersions = 0;
    for (int step = 0; step < 5; ++step) {
        count += 1 + static_cast<int>(random() % 3);
        const bool finished = random() % 3 != 0;
        if (finished) {
            finishedCounts.insert(count);
            ++finishedVersions;
        }
        ASSERT_NO_FATAL_FAILURE(writeBackup(count, false, finished ? BackupSnapshot::kFinished : "new"));
        const int pauses[] = {0, static_cast<int>(kSettle.count() / 3), static_cast<int>(kSettle.count() * 4)};
        idle(pauses[random() % 3]);
        checkInvariants("step " + std::to_string(step));
    }
    count += 1;
    finishedCounts.insert(count);
    ++finishedVersions;
    ASSERT_NO_FATAL_FAILURE(writeBackup(count, false));
    ASSERT_TRUE(waitFor(
        [&] {
            const auto now = BackupSnapshot::of(folder());
            return now && !watcher.importing() && importedSnapshot() == now->key() &&
                   SmsDatabaseFixture(DevicePaths::smsDatabase()).messageCount() == count;
        },
        30000))
        << "seed " << GetParam();
    checkInvariants("the end");
    EXPECT_GE(imports, 1);
    EXPECT_LE(imports, finishedVersions) << "a version imported twice";
    // Left alone, nothing more happens.
    const int settled = imports;
    idle(static_cast<int>(kSettle.count() * 5));
    EXPECT_EQ(imports, settled);
}

INSTANTIATE_TEST_SUITE_P(Seeds, BackupWatchOrderTest, ::testing::ValuesIn(kOrderSeeds));

}  // namespace
}  // namespace daemon_e2e
