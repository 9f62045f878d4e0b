#pragma once

#include "tools/phone/BackupOrigin.h"

#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

class BackupPasswordNotice;
class BackupSnapshot;

// Counts each new iPhone backup by itself: watches the folder the device
// root's phone was imported from (BackupOrigin) and, once idevicebackup2 has
// finished a new backup there and left it unchanged for the settle time,
// imports it and tells the daemon (imported()), which then syncs and sets
// the badge as for a new message.
//
// A backup whose Status.plist does not say "finished" is being written and
// is never read. One that changes while it is imported is rolled back and
// tried again once it settles. Any other failure goes to the program log
// and is tried again only when the folder changes again. An encrypted
// backup is opened with the password the keyring holds for the phone;
// without one, or with one that no longer opens it, the user is told, once
// per backup, where to give it.
//
// The import runs on a thread of its own, so the daemon keeps answering
// messages and stop requests while a large backup is copied or decrypted.
class BackupWatcher : public QObject {
    Q_OBJECT

public:
    struct Settings {
        // How long a finished backup must stay unchanged before it is read.
        std::chrono::milliseconds settle = std::chrono::seconds(10);
        // A look at the folder now and then, for changes the file system
        // watcher cannot report (a folder made or replaced under a watched one).
        std::chrono::milliseconds poll = std::chrono::seconds(60);
        // The backup password of the phone with that UDID; nothing when
        // there is none (or no keyring to ask). The keyring by default.
        std::function<std::optional<std::string>(const std::string& udid)> password;
    };

    explicit BackupWatcher(Settings settings, QObject* parent = nullptr);
    // Stops an import under way (it rolls back) and waits for its thread.
    ~BackupWatcher() override;

    // Looks at the folder now and starts watching it.
    void start();
    // An import is under way (its result not yet handled).
    bool importing() const { return importing_; }
    // The settle time the environment asks for (BRINDLEX_BACKUP_SETTLE_MS,
    // for the tests), else the default.
    static std::chrono::milliseconds settleFromEnvironment();
    // Where the daemon keeps which backup it asked the password for.
    static std::string stateFile();

signals:
    // A new backup went into the device root.
    void imported();

private:
    struct Attempt {
        std::string key;
        std::string deviceName;
        bool succeeded = false;
        bool changed = false;  // the backup changed under the import
        bool passwordMissing = false;
        std::string error;
    };

    void check();
    void settled();
    void consider(const BackupOrigin& origin, const BackupSnapshot& snapshot);
    void startImport(const BackupOrigin& origin, const std::string& key);
    void finishImport(const Attempt& attempt);
    void askForPassword(const Attempt& attempt);
    void watch(const BackupOrigin* origin);
    static std::string currentKey(const std::string& folder);

    Settings settings_;
    QFileSystemWatcher watcher_;
    QTimer settleTimer_;
    QTimer pollTimer_;
    BackupPasswordNotice* notice_;
    std::string seenKey_;         // as last looked at; the settle timer runs from its change
    std::string failedKey_;       // the backup whose import failed, not tried again
    std::string notFinishedKey_;  // the unfinished backup already logged
    std::thread worker_;
    std::shared_ptr<std::atomic_bool> stopping_ = std::make_shared<std::atomic_bool>(false);
    bool importing_ = false;
};
