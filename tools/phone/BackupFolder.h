#pragma once

#include <optional>
#include <string>
#include <string_view>

// The read side of an unencrypted iPhone backup as idevicebackup2 (or a
// Mac/PC) writes it: Info.plist, Manifest.plist and, since iOS 10,
// Manifest.db with the Files table. Every file of the phone is stored under
// its file id, the SHA-1 of "domain-relativePath" in hex: in a subfolder
// named by the id's first two digits since iOS 10, flat in the folder before.
//
// Nothing here writes: the backup is someone's only copy of their phone.
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

    // The backup folder `directory` names: the folder itself when it holds a
    // backup, else its one subfolder that does, or the subfolder of `udid`
    // (empty: none asked for). Refuses a folder that holds no backup,
    // several without a choice (listing them) and an encrypted backup.
    static std::optional<BackupFolder> open(const std::string& directory, const std::string& udid, std::string* error);

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
    // there is one, else by its file id. Nothing, with `error` empty, when the
    // backup lacks the file; nothing with `error` set when the backup lists it
    // but the file is missing, lies outside the backup or is not a regular
    // file, or when Manifest.db cannot be read. `listedButAbsent`, when
    // given, tells the one case of those where only the file is missing.
    std::optional<std::string> find(std::string_view domain, std::string_view relativePath, std::string* error,
                                    bool* listedButAbsent = nullptr) const;

    const std::string& path() const { return path_; }
    const Phone& phone() const { return phone_; }
    bool hasManifestDatabase() const { return manifestDatabase_.has_value(); }

private:
    BackupFolder(std::string path, Phone phone, std::optional<std::string> manifestDatabase);

    // Whether `directory` itself looks like a backup folder.
    static bool holdsBackup(const std::string& directory);
    static std::optional<std::string> chooseFolder(const std::string& directory, const std::string& udid,
                                                   std::string* error);
    static std::optional<Phone> readPhone(const std::string& folder, std::string* error);
    // False for an encrypted backup; else sets `manifestDatabase` to
    // Manifest.db, when the backup has one.
    static bool refuseEncrypted(const std::string& folder, std::optional<std::string>& manifestDatabase,
                                std::string* error);
    static std::string describe(const std::string& folder);

    // The file id Manifest.db gives the phone path; empty when not listed.
    std::optional<std::string> listedFileId(std::string_view domain, std::string_view relativePath,
                                            std::string* error) const;
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

    std::string path_;  // canonical: no symbolic links in it
    Phone phone_;
    std::optional<std::string> manifestDatabase_;
};
