#include "daemon/BackupWatcher.h"

#include "daemon/BackupPasswordNotice.h"
#include "platform/DevicePaths.h"
#include "platform/PasswordKeyring.h"
#include "platform/ProgramLog.h"
#include "platform/PropertyList.h"
#include "platform/TerminalText.h"
#include "tools/phone/BackupImport.h"
#include "tools/phone/BackupSnapshot.h"
#include "tools/phone/DeviceRootTransaction.h"
#include "tools/phone/SecretBytes.h"

#include <QFileInfo>

#include <algorithm>
#include <cstdlib>

namespace {

constexpr const char* kAskedKey = "PasswordAskedFor";
constexpr const char* kWrongPassword = "the backup password is wrong";

std::optional<std::string> keyringPassword(const std::string& udid) {
    PasswordKeyring::Lookup found = PasswordKeyring::lookup(udid);
    if (found.status == PasswordKeyring::Status::Unavailable)
        ProgramLog::print("no backup password from the keyring: %s\n", TerminalText::safe(found.reason).c_str());
    if (found.status != PasswordKeyring::Status::Found) return std::nullopt;
    return std::move(found.password);
}

const char* safe(const std::string& text, std::string& holder) {
    holder = TerminalText::safe(text);
    return holder.c_str();
}

// An error that lists folders, one per line, as a terminal shows it, on the
// one line a log entry is.
std::string oneLine(const std::string& text) {
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\n') {
            line += text[i];
            continue;
        }
        while (i + 1 < text.size() && text[i + 1] == ' ') ++i;
        line += !line.empty() && line.back() == ':' ? " " : "; ";
    }
    return line;
}

}  // namespace

BackupWatcher::BackupWatcher(Settings settings, QObject* parent)
    : QObject(parent), settings_(std::move(settings)), notice_(new BackupPasswordNotice(this)) {
    if (!settings_.password) settings_.password = keyringPassword;
    settleTimer_.setSingleShot(true);
    connect(&settleTimer_, &QTimer::timeout, this, &BackupWatcher::settled);
    connect(&pollTimer_, &QTimer::timeout, this, &BackupWatcher::check);
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, &BackupWatcher::check);
    connect(&watcher_, &QFileSystemWatcher::fileChanged, this, &BackupWatcher::check);
}

BackupWatcher::~BackupWatcher() {
    stopping_->store(true);
    if (worker_.joinable()) worker_.join();
}

std::chrono::milliseconds BackupWatcher::settleFromEnvironment() {
    const char* value = std::getenv("BRINDLEX_BACKUP_SETTLE_MS");
    if (!value || !*value) return Settings{}.settle;
    char* end = nullptr;
    const long ms = std::strtol(value, &end, 10);
    if (*end != '\0' || ms < 0) return Settings{}.settle;
    return std::chrono::milliseconds(ms);
}

std::string BackupWatcher::stateFile() { return DevicePaths::dataDirectory() + "/backupwatch.plist"; }

void BackupWatcher::start() {
    pollTimer_.start(settings_.poll);
    const auto origin = BackupOrigin::inRoot();
    std::string holder;
    if (origin) ProgramLog::print("watching %s for new backups\n", safe(origin->directory, holder));
    check();
}

std::string BackupWatcher::currentKey(const std::string& folder) {
    const auto snapshot = BackupSnapshot::of(folder);
    return snapshot ? snapshot->key() : std::string();
}

void BackupWatcher::check() {
    const auto origin = BackupOrigin::inRoot();
    watch(origin ? &*origin : nullptr);
    if (!origin) return;
    const std::string key = currentKey(origin->folder);
    if (key != seenKey_) {
        // Every change starts the settle time again: idevicebackup2 writes
        // for minutes, and only a backup left alone is looked at.
        seenKey_ = key;
        settleTimer_.start(settings_.settle);
        return;
    }
    if (!settleTimer_.isActive()) settled();
}

void BackupWatcher::settled() {
    const auto origin = BackupOrigin::inRoot();
    if (!origin || importing_) return;
    const auto snapshot = BackupSnapshot::of(origin->folder);
    const std::string key = snapshot ? snapshot->key() : std::string();
    if (key != seenKey_) {
        seenKey_ = key;
        settleTimer_.start(settings_.settle);
        return;
    }
    if (snapshot) consider(*origin, *snapshot);
}

void BackupWatcher::consider(const BackupOrigin& origin, const BackupSnapshot& snapshot) {
    const std::string& key = snapshot.key();
    if (key == origin.snapshot || key == failedKey_) return;
    std::string holder;
    if (!snapshot.finished()) {
        // Still being written (or given up half way): not a byte of it is read.
        if (key != notFinishedKey_)
            ProgramLog::print("the backup in %s is not finished (SnapshotState \"%s\"); it is read once it is\n",
                              safe(origin.folder, holder), TerminalText::safe(snapshot.state()).c_str());
        notFinishedKey_ = key;
        return;
    }
    startImport(origin, key);
}

void BackupWatcher::startImport(const BackupOrigin& origin, const std::string& key) {
    std::string holder;
    ProgramLog::print("importing the new backup in %s\n", safe(origin.folder, holder));
    importing_ = true;
    if (worker_.joinable()) worker_.join();
    worker_ = std::thread([this, origin, key, password = settings_.password, stopping = stopping_] {
        Attempt attempt;
        attempt.key = key;
        attempt.deviceName = origin.deviceName;
        BackupImport::Options options;
        options.udid = origin.udid;
        // Stops, and rolls back, as soon as the backup is not the one that
        // settled: idevicebackup2 started the next one under the import.
        options.stopRequested = [&] {
            if (stopping->load()) return true;
            attempt.changed = currentKey(origin.folder) != key;
            return attempt.changed;
        };
        options.unlock.password = [&]() -> std::optional<SecretBytes> {
            std::optional<std::string> found = password(origin.udid);
            if (!found) {
                attempt.passwordMissing = true;
                return std::nullopt;
            }
            SecretBytes secret(*found);
            std::fill(found->begin(), found->end(), '\0');
            return secret;
        };
        options.unlock.deriving = [] {
            ProgramLog::print("unlocking the backup with the password from the keyring; this takes a few seconds\n");
        };
        std::string error;
        attempt.succeeded = BackupImport::run(origin.directory, options, &error).has_value();
        // A remembered password the backup no longer opens (the user changed
        // it on the phone) is as good as none: the user is asked for the new one.
        if (!attempt.succeeded && error.find(kWrongPassword) != std::string::npos) {
            ProgramLog::print("the password in the keyring does not open the new backup\n");
            attempt.passwordMissing = true;
        }
        if (!attempt.succeeded && !attempt.changed && currentKey(origin.folder) != key) attempt.changed = true;
        attempt.error = error;
        QMetaObject::invokeMethod(
            this, [this, attempt] { finishImport(attempt); }, Qt::QueuedConnection);
    });
}

void BackupWatcher::finishImport(const Attempt& attempt) {
    if (worker_.joinable()) worker_.join();
    importing_ = false;
    if (stopping_->load()) return;
    if (attempt.succeeded) {
        ProgramLog::print("imported the new backup\n");
        emit imported();
    } else if (attempt.changed) {
        ProgramLog::print(
            "the backup changed while it was imported; nothing of it was kept, and it is "
            "imported again once it stays unchanged\n");
        seenKey_.clear();
    } else if (attempt.passwordMissing) {
        failedKey_ = attempt.key;
        askForPassword(attempt);
    } else {
        failedKey_ = attempt.key;
        std::string holder;
        ProgramLog::print("the new backup was not imported: %s\n", safe(oneLine(attempt.error), holder));
    }
    check();
}

void BackupWatcher::askForPassword(const Attempt& attempt) {
    // Once per backup, across restarts of the daemon too.
    auto state = PropertyList::readFromFile(stateFile());
    if (state && state->stringValue(kAskedKey) == attempt.key) return;
    ProgramLog::print("the new backup is encrypted and the keyring holds no password for it\n");
    notice_->post(QString::fromStdString(attempt.deviceName));
    PropertyList record = state ? std::move(*state) : PropertyList();
    record.setString(kAskedKey, attempt.key);
    if (!record.writeToFile(stateFile())) {
        std::string holder;
        ProgramLog::print("cannot write %s\n", safe(stateFile(), holder));
    }
}

void BackupWatcher::watch(const BackupOrigin* origin) {
    // Re-armed on every look: a file replaced by a rename, as Status.plist
    // is, drops out of the watch, and a folder made anew must be added.
    QStringList paths{QString::fromStdString(DevicePaths::dataDirectory())};
    if (origin) {
        paths << QString::fromStdString(origin->directory) << QString::fromStdString(origin->folder)
              << QString::fromStdString(origin->folder + "/Status.plist");
    }
    QStringList missing;
    const QStringList watched = watcher_.files() + watcher_.directories();
    for (const QString& path : paths)
        if (!watched.contains(path) && QFileInfo::exists(path)) missing << path;
    if (!missing.isEmpty()) watcher_.addPaths(missing);
}
