#include "app/shell/BrindlexAppDelegate.h"
#include "app/shell/SingleInstance.h"
#include "common/Seeding.h"
#include "common/SettingsKeys.h"
#include "common/SettingsStore.h"
#include "platform/DevicePaths.h"
#include "support/ProgramRun.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDeviceRoot.h"
#include "tools/fixtures/DeviceFixture.h"

#include <QCoreApplication>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QUuid>
#include <QtEndian>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <grp.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr uid_t kNobody = 65534;

QString uniqueKey() { return "brindlex-test-" + QUuid::createUuid().toString(QUuid::WithoutBraces); }

// A fresh folder that serves as XDG_RUNTIME_DIR (or as TMPDIR for the
// fallback) while the test runs.
class RuntimeFolder {
public:
    explicit RuntimeFolder(const char* variable = "XDG_RUNTIME_DIR") : variable_(variable, path_) {}
    ~RuntimeFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    const std::string& path() const { return path_; }

private:
    static std::string makeFolder() {
        std::string pattern = (fs::temp_directory_path() / "brindlex-runtime-XXXXXX").string();
        return ::mkdtemp(pattern.data()) ? pattern : std::string();
    }
    std::string path_ = makeFolder();
    ScopedEnvironment variable_;
};

bool isSocket(const QString& path) {
    struct stat info {};
    return ::lstat(path.toLocal8Bit().constData(), &info) == 0 && S_ISSOCK(info.st_mode);
}

// Runs `body` in a child process that has become the unprivileged user
// `nobody`, while this process keeps its event loop turning (the running
// app lives here); the child's exit status comes back. The child uses
// system calls only: it is a fork of a program with threads.
template <typename Body>
int asNobody(Body body) {
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setresgid(kNobody, kNobody, kNobody) != 0 ||
            ::setresuid(kNobody, kNobody, kNobody) != 0)
            ::_exit(90);
        ::_exit(body());
    }
    int status = 0;
    EXPECT_TRUE(QTest::qWaitFor([&] { return ::waitpid(child, &status, WNOHANG) == child; }, 10000));
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

sockaddr_un addressOf(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    return address;
}

// In the child: 0 when the socket at `path` took a handover and then closed
// the connection without a word, 1 when connecting was refused, 2 when the
// other end answered.
int handOverRaw(const std::string& path, const QByteArray& frames) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const sockaddr_un address = addressOf(path);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) return 1;
    [[maybe_unused]] const ssize_t sent = ::send(fd, frames.constData(), frames.size(), MSG_NOSIGNAL);
    ::shutdown(fd, SHUT_WR);
    char byte;
    return ::read(fd, &byte, 1) > 0 ? 2 : 0;
}

// A handover written straight onto the socket, as a hostile or broken sender
// would; true once the app has closed it or it was delivered.
struct RawHandover {
    QLocalSocket socket;
    bool deliver(const QString& path, const QByteArray& bytes) {
        socket.connectToServer(path);
        if (!socket.waitForConnected(2000)) return false;
        socket.write(bytes);
        socket.flush();
        socket.disconnectFromServer();
        return QTest::qWaitFor([&] { return socket.state() == QLocalSocket::UnconnectedState; }, 5000);
    }
};

QByteArray frame(quint32 length, const QByteArray& bytes) {
    QByteArray out(4, '\0');
    qToBigEndian(length, out.data());
    return out + bytes;
}

}  // namespace

TEST(SingleInstance, ASecondStartHandsItsUrlsToTheFirstInOneGoAndBowsOut) {
    RuntimeFolder runtime;
    const QString key = uniqueKey();
    SingleInstance first(key);
    QString note;
    ASSERT_TRUE(first.start({}, &note));
    EXPECT_TRUE(note.isEmpty()) << note.toStdString();
    QSignalSpy received(&first, &SingleInstance::messagesReceived);

    SingleInstance second(key);
    QString error;
    EXPECT_FALSE(second.start({"brindlex://hideSMS", "brindlex://showSMS"}, &error));
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    ASSERT_TRUE(received.count() > 0 || received.wait(2000));
    ASSERT_EQ(received.count(), 1);
    EXPECT_EQ(received.at(0).at(0).toStringList(), (QStringList{"brindlex://hideSMS", "brindlex://showSMS"}));

    // Different device roots are different phones, with different keys.
    EXPECT_NE(SingleInstance::keyForDeviceRoot("/a"), SingleInstance::keyForDeviceRoot("/b"));
    EXPECT_EQ(SingleInstance::keyForDeviceRoot("/a"), SingleInstance::keyForDeviceRoot("/a"));
}

TEST(SingleInstance, TheSocketAndTheLockLiveInTheRuntimeFolderAndGoWithTheApp) {
    RuntimeFolder runtime;
    const QString key = uniqueKey();
    const QString expected = QString::fromStdString(runtime.path()) + "/" + key;
    {
        SingleInstance app(key);
        ASSERT_TRUE(app.start({}));
        EXPECT_TRUE(app.receiving());
        EXPECT_EQ(app.socketPath(), expected);
        EXPECT_TRUE(isSocket(expected));
        EXPECT_TRUE(fs::exists((expected + ".lock").toStdString()));
    }
    EXPECT_FALSE(fs::exists(expected.toStdString()));
    EXPECT_FALSE(fs::exists((expected + ".lock").toStdString()));
}

TEST(SingleInstance, WithoutARuntimeFolderAPrivateFolderOfTheUsersIsUsedAndAnyOtherRefused) {
    ScopedEnvironment noRuntime("XDG_RUNTIME_DIR", std::nullopt);
    RuntimeFolder temp("TMPDIR");
    const std::string fallback = temp.path() + "/brindlex-" + std::to_string(::geteuid());
    {
        SCOPED_TRACE("made private");
        SingleInstance app(uniqueKey());
        ASSERT_TRUE(app.start({}));
        EXPECT_TRUE(app.receiving());
        EXPECT_TRUE(app.socketPath().startsWith(QString::fromStdString(fallback) + "/"));
        struct stat info {};
        ASSERT_EQ(::lstat(fallback.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0700u);
    }
    // Each of these could let another user plant or reach the socket.
    const std::vector<std::pair<const char*, std::function<void()>>> refused{
        {"open to others", [&] { fs::permissions(fallback, fs::perms::all); }},
        {"another user's",
         [&] {
             if (::geteuid() == 0) {
                 ASSERT_EQ(::chown(fallback.c_str(), kNobody, kNobody), 0);
             } else {
                 fs::permissions(fallback, fs::perms::group_write, fs::perm_options::add);
             }
         }},
        {"a link",
         [&] {
             fs::remove_all(fallback);
             fs::create_directory(temp.path() + "/elsewhere");
             fs::permissions(temp.path() + "/elsewhere", fs::perms::owner_all);
             fs::create_directory_symlink(temp.path() + "/elsewhere", fallback);
         }},
        {"a file",
         [&] {
             fs::remove_all(fallback);
             std::ofstream(fallback) << "";
         }},
    };
    for (const auto& [what, plant] : refused) {
        SCOPED_TRACE(what);
        fs::remove_all(fallback);
        fs::remove_all(temp.path() + "/elsewhere");
        fs::create_directory(fallback);
        fs::permissions(fallback, fs::perms::owner_all);
        plant();
        SingleInstance app(uniqueKey());
        QString note;
        EXPECT_TRUE(app.start({}, &note)) << "the app still runs";
        EXPECT_FALSE(app.receiving());
        EXPECT_TRUE(note.startsWith("cannot receive URLs")) << note.toStdString();
        const std::string target = fs::exists(temp.path() + "/elsewhere") ? temp.path() + "/elsewhere" : fallback;
        EXPECT_TRUE(!fs::is_directory(target) || fs::is_empty(target)) << "nothing is put into it";
    }
    {
        SCOPED_TRACE("a runtime folder open to others");
        RuntimeFolder runtime;
        fs::permissions(runtime.path(), fs::perms::all);
        SingleInstance app(uniqueKey());
        QString note;
        EXPECT_TRUE(app.start({}, &note));
        EXPECT_FALSE(app.receiving());
        EXPECT_TRUE(fs::is_empty(runtime.path()));
    }
}

TEST(SingleInstance, AnotherUserCanNeitherReachTheAppNorHandOverThroughAnOpenedSocket) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as a second user";
    RuntimeFolder runtime;
    SingleInstance app(uniqueKey());
    ASSERT_TRUE(app.start({}));
    QSignalSpy received(&app, &SingleInstance::messagesReceived);
    const std::string path = app.socketPath().toStdString();
    const QByteArray frames = SingleInstance::encode({"brindlex://hideSMS"});

    EXPECT_EQ(asNobody([&] { return handOverRaw(path, frames); }), 1) << "the folder and socket keep others out";
    // Even with the folder and the socket opened up, the app asks who calls.
    fs::permissions(runtime.path(), fs::perms::all);
    fs::permissions(path, fs::perms::all);
    EXPECT_EQ(asNobody([&] { return handOverRaw(path, frames); }), 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(received.count(), 0);

    // The same bytes from this user are taken: the refusal was the caller's uid.
    RawHandover own;
    ASSERT_TRUE(own.deliver(app.socketPath(), frames));
    ASSERT_TRUE(received.count() > 0 || received.wait(2000));
    EXPECT_EQ(received.at(0).at(0).toStringList(), QStringList{"brindlex://hideSMS"});
}

TEST(SingleInstance, ALaterStartDoesNotHandItsUrlsToAnotherUsersSocket) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as a second user";
    RuntimeFolder runtime;
    const QString key = uniqueKey();
    SingleInstance app(key);
    ASSERT_TRUE(app.start({}));
    const std::string path = app.socketPath().toStdString();

    // Another user's program sits where the app's socket was: set up here,
    // it listens as nobody, and says whether any byte reached it.
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t impostor = ::fork();
    if (impostor == 0) {
        ::unlink(path.c_str());
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        const sockaddr_un address = addressOf(path);
        if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) ::_exit(90);
        if (::setresgid(kNobody, kNobody, kNobody) != 0 || ::setresuid(kNobody, kNobody, kNobody) != 0) ::_exit(91);
        if (::listen(fd, 4) != 0) ::_exit(92);
        [[maybe_unused]] const ssize_t told = ::write(ready[1], "r", 1);
        ::alarm(20);
        const int connection = ::accept(fd, nullptr, nullptr);
        char byte;
        ::_exit(::read(connection, &byte, 1) > 0 ? 1 : 0);
    }
    ::close(ready[1]);
    char byte;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ::close(ready[0]);

    SingleInstance later(key);
    QString error;
    EXPECT_FALSE(later.start({"brindlex://hideSMS"}, &error));
    EXPECT_TRUE(error.contains("another user's")) << error.toStdString();
    int status = 0;
    ASSERT_EQ(::waitpid(impostor, &status, 0), impostor);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the impostor received the URL";
}

TEST(SingleInstance, AHandoverIsBoundedInCountAndLengthAndFreeOfControlCharacters) {
    RuntimeFolder runtime;
    SingleInstance app(uniqueKey());
    ASSERT_TRUE(app.start({}));
    QSignalSpy received(&app, &SingleInstance::messagesReceived);

    const QString longest = "brindlex://" + QString(SingleInstance::kMaxMessageBytes - 11, 'x');
    const QStringList most(SingleInstance::kMaxMessages, longest);
    EXPECT_TRUE(SingleInstance::checkMessages(most).isEmpty());
    const std::vector<std::pair<const char*, QByteArray>> refused{
        {"one message too many", SingleInstance::encode(QStringList(SingleInstance::kMaxMessages + 1, "brindlex://x"))},
        {"one byte too long", SingleInstance::encode({longest + "x"})},
        {"a length past the cap, without the bytes", frame(200u << 20, "brindlex://")},
        {"a newline", SingleInstance::encode({"brindlex://nothing\nbrindlex://hideSMS"})},
        {"a NUL", SingleInstance::encode({QString("brindlex://a") + QChar(0) + "b"})},
        {"an escape", SingleInstance::encode({"brindlex://\x1b[2J"})},
        {"a C1 control", SingleInstance::encode({QString("brindlex://") + QChar(0x9b)})},
        {"a frame cut short", SingleInstance::encode({"brindlex://hideSMS"}).chopped(2)},
    };
    for (const auto& [what, bytes] : refused) {
        SCOPED_TRACE(what);
        RawHandover sender;
        ASSERT_TRUE(sender.deliver(app.socketPath(), bytes));
        QCoreApplication::processEvents();
        EXPECT_EQ(received.count(), 0);
    }
    // The most the app takes comes through whole, after all those refusals.
    RawHandover full;
    ASSERT_TRUE(full.deliver(app.socketPath(), SingleInstance::encode(most)));
    ASSERT_TRUE(received.count() > 0 || received.wait(2000));
    EXPECT_EQ(received.at(0).at(0).toStringList(), most);

    // A later start checks its own arguments by the same rules.
    EXPECT_FALSE(SingleInstance::checkMessages(QStringList(SingleInstance::kMaxMessages + 1, "a")).isEmpty());
    EXPECT_FALSE(SingleInstance::checkMessages({longest + "x"}).isEmpty());
    EXPECT_TRUE(SingleInstance::checkMessages({"brindlex://a\tb"}).contains("control character"));
}

TEST(SingleInstance, AUrlWithANewlineIsRefusedOnAFirstStartAsOnAHandover) {
    // Not split into two URLs, by the app's own parsing either.
    EXPECT_EQ(BrindlexAppDelegate::commandOf("brindlex://nothing\nbrindlex://hideSMS"), "");
    EXPECT_EQ(BrindlexAppDelegate::commandOf("brindlex://hideSMS\n"), "");
    EXPECT_EQ(BrindlexAppDelegate::commandOf("brindlex://hideSMS"), "hideSMS");

    RuntimeFolder runtime;
    TempDeviceRoot root;
    // A newline inside single quotes is part of the one argument to sh.
    const ProgramRun run = ProgramRun::of("Brindlex", "'brindlex://nothing\nbrindlex://hideSMS'", root.path(),
                                          "QT_QPA_PLATFORM=offscreen timeout 120 ");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("control character"), std::string::npos) << run.err;
    EXPECT_TRUE(fs::is_empty(runtime.path())) << "refused before it becomes the app";
}

// The settings file is replaced (written beside it and renamed) at each write.
int settingsWritesDuring(const std::function<void()>& work) {
    const int watch = ::inotify_init1(IN_NONBLOCK);
    ::inotify_add_watch(watch, DevicePaths::dataDirectory().c_str(), IN_MOVED_TO);
    work();
    int writes = 0;
    alignas(inotify_event) char buffer[4096];
    for (ssize_t length; (length = ::read(watch, buffer, sizeof buffer)) > 0;)
        for (char* at = buffer; at < buffer + length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(at);
            if (event->len > 0 && std::string(event->name) == "properties.plist") ++writes;
            at += sizeof(inotify_event) + event->len;
        }
    ::close(watch);
    return writes;
}

TEST(SingleInstance, TheUrlsOfOneHandoverChangeTheSettingsFileOnceInTheirOrder) {
    TempDeviceRoot root;
    ASSERT_TRUE(DeviceFixture::createDeviceRoot(root.path(), "6.1.3"));
    Seeding::copyIfNeeded();
    BrindlexAppDelegate delegate;
    auto hidden = [] {
        const auto settings = SettingsStore::load();
        return settings && settings->contains(SettingsKeys::kHideSMS);
    };
    QStringList urls;
    for (int i = 0; i < SingleInstance::kMaxMessages / 2; ++i)
        urls << "brindlex://showSMS"
             << "brindlex://hideSMS";
    EXPECT_EQ(settingsWritesDuring([&] { delegate.handleOpenURLs(urls); }), 1);
    EXPECT_TRUE(hidden()) << "the last one decides";
    urls.append("brindlex://showSMS");
    EXPECT_EQ(settingsWritesDuring([&] { delegate.handleOpenURLs(urls); }), 1);
    EXPECT_FALSE(hidden());
    EXPECT_EQ(settingsWritesDuring([&] { delegate.handleOpenURLs({"brindlex://nothing", "https://a"}); }), 0);
}

TEST(SingleInstance, TheAppRemovesItsSocketAndLockWhenStoppedBySigterm) {
    RuntimeFolder runtime;
    TempDeviceRoot root;
    QProcess app;
    app.setProgram(QString::fromStdString(ProgramRun::beside("Brindlex")));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    app.setProcessEnvironment(environment);
    app.start();
    ASSERT_TRUE(app.waitForStarted());
    const QString key = SingleInstance::keyForDeviceRoot(QString::fromStdString(root.path()));
    const QString socket = QString::fromStdString(runtime.path()) + "/" + key;
    ASSERT_TRUE(QTest::qWaitFor([&] { return isSocket(socket); }, 30000)) << app.readAllStandardError().toStdString();

    ::kill(static_cast<pid_t>(app.processId()), SIGTERM);
    ASSERT_TRUE(app.waitForFinished(30000));
    EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
    EXPECT_TRUE(fs::is_empty(runtime.path())) << "socket or lock left behind";
}
