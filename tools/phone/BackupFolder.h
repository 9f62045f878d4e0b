#pragma once

#include "platform/FileIdentity.h"
#include "tools/phone/SecretBytes.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class BackupKeyBag;
class PropertyList;
class DecryptedFiles;

// The read side of an unencrypted iPhone backup as idevicebackup2 (or a
// Mac/PC) writes it: Info.plist, Manifest.plist and, since iOS 10,
// Manifest.db with the Files table. Every file of the phone is stored under
// its file id, the SHA-1 of "domain-relativePath" in hex: in a subfolder
// named by the id's first two digits since iOS 10, flat in the folder before.
//
// An encrypted backup is opened with its password: the key bag of
// Manifest.plist gives the class keys, ManifestKey the key of Manifest.db,
// each file's row in Manifest.db the key of the file. Its files are handed
// out as decrypted copies in the device root (DecryptedFiles), which go when
// the object goes.
//
// Nothing here writes into the backup: it is someone's only copy of their phone.
// Manifest.db is opened as an immutable snapshot, so not even a -shm file
// appears beside it, and every file handed out is a regular file that lies
// inside the backup folder after all symbolic links are resolved.
class BackupFolder {
public:
    static constexpr const char* kHomeDomain = "HomeDomain";
    static constexpr const char* kSmsDatabasePath = "Library/SMS/sms.db";
    // The phone keeps sms.db in WAL mode; a backup taken before SQLite
    // checkpointed holds the newest messages in this file alone.
    static constexpr const char* kSmsWalPath = "Library/SMS/sms.db-wal";
    static constexpr const char* kAddressBookPath = "Library/AddressBook/AddressBook.sqlitedb";

    // What Info.plist says about the phone.
    struct Phone {
        std::string udid;  // "Unique Identifier"
        std::string deviceName;
        std::string productVersion;
        std::string buildVersion;
    };

    // How an encrypted backup is opened. Without `password` it is refused.
    struct Unlock {
        // Asked once, only for an encrypted backup; nothing gives up.
        std::function<std::optional<SecretBytes>()> password;
        // Told just before the key derivation, which takes seconds.
        std::function<void()> deriving;
        // Asked between chunks of decryption; true stops with
        // DeviceRootTransaction::kStopped.
        std::function<bool()> stopRequested;
    };

    // The backup folder `directory` names: the folder itself when it holds a
    // backup, else its one subfolder that does, or the subfolder of `udid`
    // (empty: none asked for). Refuses a folder that holds no backup,
    // several without a choice (listing them) and an encrypted backup that
    // `unlock` cannot open.
    static std::optional<BackupFolder> open(const std::string& directory, const std::string& udid, std::string* error);
    static std::optional<BackupFolder> open(const std::string& directory, const std::string& udid, const Unlock& unlock,
                                            std::string* error);
    ~BackupFolder();
    BackupFolder(BackupFolder&&) noexcept;
    BackupFolder& operator=(BackupFolder&&) noexcept;

    // SHA-1 of "domain-relativePath" as 40 lower-case hex digits.
    static std::string fileId(std::string_view domain, std::string_view relativePath);
    static bool isFileId(std::string_view text);
    // Whether the file starts as an SQLite database does. An encrypted
    // backup's files are ciphertext from their first byte.
    static bool isDatabase(const std::string& path);
    // UDIDs compared as the tools treat them, ignoring case.
    static bool sameIdentifier(std::string_view a, std::string_view b);

    // What to tell the owner of an encrypted backup.
    static const char* const kEncryptedAdvice;

    // The file the backup holds for a phone path: through Manifest.db when
    // there is one, else by its file id; of an encrypted backup its
    // decrypted copy. Nothing, with `error` empty, when the
    // backup lacks the file; nothing with `error` set when the backup lists it
    // but the file is missing, lies outside the backup or is not a regular
    // file, or when Manifest.db cannot be read. `listedButAbsent`, when
    // given, tells the one case of those where only the file is missing.
    std::optional<std::string> find(std::string_view domain, std::string_view relativePath, std::string* error,
                                    bool* listedButAbsent = nullptr) const;

    // Whether the backup's files read so far (its plists, Manifest.db and
    // every file find() handed out) are still the ones read: same file,
    // size and modification time. A backup being written while it was read
    // may have given parts of two backups.
    bool unchanged() const;

    const std::string& path() const { return path_; }
    const Phone& phone() const { return phone_; }
    bool hasManifestDatabase() const { return manifestDatabase_.has_value(); }
    bool encrypted() const { return keyBag_ != nullptr; }

private:
    BackupFolder(std::string path, Phone phone, std::optional<std::string> manifestDatabase);

    // Whether `directory` itself looks like a backup folder.
    static bool holdsBackup(const std::string& directory);
    static std::optional<std::string> chooseFolder(const std::string& directory, const std::string& udid,
                                                   std::string* error);
    static std::optional<Phone> readPhone(const std::string& folder, std::string* error);
    // Sets `manifestDatabase_` to Manifest.db, when the backup has one; for an
    // encrypted backup unlocks it first and decrypts Manifest.db. False when
    // the backup is encrypted and cannot be unlocked.
    bool readManifest(const Unlock& unlock, std::string* error);
    bool unlockManifest(const PropertyList& manifest, const std::string& database, const Unlock& unlock,
                        std::string* error);
    // The decrypted copy of the backup file `source` for the row `record`.
    std::optional<std::string> decrypted(const std::string& what, const std::string& source, const std::string& record,
                                         std::string* error) const;
    static std::string describe(const std::string& folder);
    // The Info.plist in `folder` names the phone `udid`.
    static bool identifies(const std::string& folder, const std::string& udid);

    // The file id Manifest.db gives the phone path (empty when not listed)
    // and, when `record` is given, the row's file record.
    std::optional<std::string> listedFileId(std::string_view domain, std::string_view relativePath, std::string* error,
                                            std::string* record = nullptr) const;
    // The id's file, in its two-digit subfolder or flat; nothing when
    // neither is there or the file found is not a regular file inside the
    // backup (then with `error` set).
    std::optional<std::string> fileOnDisk(const std::string& id, std::string* error) const;
    // `candidate` with every link resolved, when that is a regular file
    // inside `folder` (itself free of links).
    static std::optional<std::string> inside(const std::string& folder, const std::string& candidate);
    // The file `name` of the folder, resolved as above. Nothing, with `error`
    // empty, when there is none; with `error` set when it is something else.
    static std::optional<std::string> member(const std::string& folder, const std::string& name, std::string* error);

    // Notes the identity `path` has now, unless noted before.
    void watch(const std::string& path) const;

    std::string path_;  // canonical: no symbolic links in it
    Phone phone_;
    std::optional<std::string> manifestDatabase_;
    std::unique_ptr<BackupKeyBag> keyBag_;  // unlocked; only for an encrypted backup
    std::unique_ptr<DecryptedFiles> decrypted_;
    std::function<bool()> stopRequested_;
    // The files read, as they were before they were read.
    mutable std::vector<std::pair<std::string, FileIdentity>> watched_;
};
