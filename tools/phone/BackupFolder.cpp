#include "tools/phone/BackupFolder.h"

#include "platform/SqliteDatabase.h"
#include "platform/SqliteHardening.h"
#include "platform/SqliteStatement.h"
#include "platform/PropertyList.h"
#include "platform/DevicePaths.h"
#include "tools/phone/BackupCipher.h"
#include "tools/phone/BackupFileRecord.h"
#include "tools/phone/BackupKeyBag.h"
#include "tools/phone/DecryptedFiles.h"
#include "tools/phone/DeviceRootTransaction.h"

#include <openssl/evp.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr const char* kInfoPlist = "Info.plist";
constexpr const char* kManifestPlist = "Manifest.plist";
constexpr const char* kManifestDatabase = "Manifest.db";
// idevicebackup2 rewrites it when a backup starts and when it has finished.
constexpr const char* kStatusPlist = "Status.plist";

}  // namespace

const char* const BackupFolder::kEncryptedAdvice =
    "Give its backup password: typed when asked on the terminal, or from a file with "
    "--password-file FILE, or on standard input with --password-stdin "
    "(never on the command line)";

namespace {

bool fail(std::string* error, const std::string& message) {
    if (error) *error = message;
    return false;
}

}  // namespace

bool BackupFolder::sameIdentifier(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

namespace {

std::string stringOr(const PropertyList& plist, const char* key, const std::string& fallback) {
    auto value = plist.stringValue(key);
    return value && !value->empty() ? *value : fallback;
}

bool isFile(const fs::path& path) {
    std::error_code ignored;
    return fs::exists(path, ignored);
}

}  // namespace

BackupFolder::BackupFolder(std::string path, Phone phone, std::optional<std::string> manifestDatabase)
    : path_(std::move(path)), phone_(std::move(phone)), manifestDatabase_(std::move(manifestDatabase)) {}

BackupFolder::~BackupFolder() = default;
BackupFolder::BackupFolder(BackupFolder&&) noexcept = default;
BackupFolder& BackupFolder::operator=(BackupFolder&&) noexcept = default;

std::string BackupFolder::fileId(std::string_view domain, std::string_view relativePath) {
    const std::string name = std::string(domain) + "-" + std::string(relativePath);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(name.data(), name.size(), digest, &length, EVP_sha1(), nullptr) != 1) return {};
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        hex += kHex[digest[i] >> 4];
        hex += kHex[digest[i] & 0x0f];
    }
    return hex;
}

bool BackupFolder::isFileId(std::string_view text) {
    return text.size() == 40 &&
           std::all_of(text.begin(), text.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
}

bool BackupFolder::isDatabase(const std::string& path) {
    static constexpr char kHeader[] = "SQLite format 3";  // with its NUL, 16 bytes
    char head[sizeof kHeader] = {};
    std::ifstream in(path, std::ios::binary);
    in.read(head, sizeof head);
    return in.gcount() == static_cast<std::streamsize>(sizeof head) && std::memcmp(head, kHeader, sizeof head) == 0;
}

bool BackupFolder::holdsBackup(const std::string& directory) {
    const fs::path folder(directory);
    return isFile(folder / kInfoPlist) || isFile(folder / kManifestDatabase) || isFile(folder / kManifestPlist);
}

std::optional<BackupFolder> BackupFolder::open(const std::string& directory, const std::string& udid,
                                               std::string* error) {
    return open(directory, udid, Unlock{}, error);
}

std::optional<BackupFolder> BackupFolder::open(const std::string& directory, const std::string& udid,
                                               const Unlock& unlock, std::string* error) {
    const auto folder = chooseFolder(directory, udid, error);
    if (!folder) return std::nullopt;
    // Before anything of the backup is read: a backup written meanwhile
    // changes one of them.
    std::vector<std::pair<std::string, FileIdentity>> watched;
    for (const char* name : {kStatusPlist, kInfoPlist, kManifestPlist, kManifestDatabase}) {
        const std::string file = (fs::path(*folder) / name).string();
        watched.emplace_back(file, FileIdentity::of(file));
    }
    auto phone = readPhone(*folder, error);
    if (!phone) return std::nullopt;
    if (!udid.empty() && !sameIdentifier(udid, phone->udid) &&
        !sameIdentifier(udid, fs::path(*folder).filename().string())) {
        fail(error, directory + " is the backup of " + phone->udid + ", not of " + udid);
        return std::nullopt;
    }
    BackupFolder backup(*folder, std::move(*phone), std::nullopt);
    backup.watched_ = std::move(watched);
    // Last: the password is asked only of a backup that is otherwise fine.
    if (!backup.readManifest(unlock, error)) return std::nullopt;
    return backup;
}

std::optional<std::string> BackupFolder::chooseFolder(const std::string& directory, const std::string& udid,
                                                      std::string* error) {
    std::error_code failure;
    const fs::path canonical = fs::canonical(directory, failure);
    if (failure || !fs::is_directory(canonical, failure)) {
        fail(error, directory + ": no such folder");
        return std::nullopt;
    }
    if (holdsBackup(canonical.string())) return canonical.string();

    // idevicebackup2 writes one folder per phone, named by its UDID. Linked
    // folders are not followed: they could lead anywhere.
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(canonical, failure)) {
        if (entry.is_directory(failure) && !entry.is_symlink(failure) && holdsBackup(entry.path().string()))
            names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    std::string listing;
    for (const auto& name : names) listing += "\n  " + describe((canonical / name).string());

    if (!udid.empty()) {
        const auto match = std::find_if(names.begin(), names.end(),
                                        [&](const std::string& name) { return sameIdentifier(name, udid); });
        if (match != names.end()) return (canonical / *match).string();
        // A folder renamed or copied under another name still says whose
        // backup it is in its Info.plist.
        const auto named = std::find_if(names.begin(), names.end(), [&](const std::string& name) {
            return identifies((canonical / name).string(), udid);
        });
        if (named != names.end()) return (canonical / *named).string();
        fail(error, directory + " holds no backup of the phone " + udid +
                        (names.empty() ? std::string() : "; it holds the backups of:" + listing));
        return std::nullopt;
    }
    if (names.size() == 1) return (canonical / names.front()).string();
    if (names.empty()) {
        fail(error, directory +
                        " holds no iPhone backup (no Info.plist or Manifest.db in it or in a folder in it); "
                        "make one with 'idevicebackup2 backup --full " +
                        directory + "'");
    } else {
        fail(error, directory + " holds the backups of several phones; choose one with --udid UDID:" + listing);
    }
    return std::nullopt;
}

bool BackupFolder::identifies(const std::string& folder, const std::string& udid) {
    const auto info = PropertyList::readFromFile((fs::path(folder) / kInfoPlist).string());
    return info && (sameIdentifier(stringOr(*info, "Unique Identifier", ""), udid) ||
                    sameIdentifier(stringOr(*info, "Target Identifier", ""), udid));
}

std::string BackupFolder::describe(const std::string& folder) {
    const std::string name = fs::path(folder).filename().string();
    const auto info = PropertyList::readFromFile((fs::path(folder) / kInfoPlist).string());
    if (!info) return name;
    return name + " (" + stringOr(*info, "Device Name", "unnamed phone") + ", iOS " +
           stringOr(*info, "Product Version", "unknown") + ")";
}

bool BackupFolder::readManifest(const Unlock& unlock, std::string* error) {
    std::string problem;
    // Manifest.plist is missing from some backups; only a readable one says
    // anything.
    const auto plist = member(path_, kManifestPlist, &problem);
    if (!problem.empty()) return fail(error, problem);
    const auto manifest = plist ? PropertyList::readFromFile(*plist) : std::nullopt;
    manifestDatabase_ = member(path_, kManifestDatabase, &problem);
    if (!problem.empty()) return fail(error, problem);
    if (manifest && manifest->integerValue("IsEncrypted", 0) != 0) {
        if (!unlock.password) return fail(error, path_ + " is an encrypted backup. " + kEncryptedAdvice);
        if (!unlockManifest(*manifest, manifestDatabase_.value_or(std::string()), unlock, error)) return false;
    }
    // Since iOS 10.2 Manifest.db itself is encrypted, whatever the plist says.
    if (manifestDatabase_ && !isDatabase(*manifestDatabase_))
        return fail(error,
                    *manifestDatabase_ + " is not a database: the backup is encrypted or damaged. " + kEncryptedAdvice);
    std::string damage;
    if (manifestDatabase_ && !SqliteHardening::quickCheck(*manifestDatabase_, &damage))
        return fail(error, *manifestDatabase_ + " is damaged (" + damage +
                               "): make a new backup with 'idevicebackup2 backup --full DIR'");
    return true;
}

bool BackupFolder::unlockManifest(const PropertyList& manifest, const std::string& database, const Unlock& unlock,
                                  std::string* error) {
    const auto bagBytes = manifest.dataValue("BackupKeyBag");
    if (!bagBytes) return fail(error, path_ + "/Manifest.plist says the backup is encrypted but holds no BackupKeyBag");
    std::string problem;
    auto bag = BackupKeyBag::parse(*bagBytes, &problem);
    if (!bag) return fail(error, path_ + "/Manifest.plist: " + problem + "; the backup is damaged");
    auto password = unlock.password();
    if (!password) {
        if (unlock.stopRequested && unlock.stopRequested()) return fail(error, DeviceRootTransaction::kStopped);
        return fail(error, path_ + " is an encrypted backup and no password was given. " + kEncryptedAdvice);
    }
    if (unlock.deriving) unlock.deriving();
    const bool unlocked = bag->unlock(*password, &problem);
    password = std::nullopt;  // cleared now, not at the end of the import
    if (!unlocked) return fail(error, problem);
    keyBag_ = std::make_unique<BackupKeyBag>(std::move(*bag));
    stopRequested_ = unlock.stopRequested;
    decrypted_ = std::make_unique<DecryptedFiles>(DevicePaths::root());

    // Backups made before iOS 10.2 keep Manifest.db in the clear.
    const auto manifestKey = manifest.dataValue("ManifestKey");
    if (!manifestKey || database.empty()) return true;
    auto key = keyBag_->fileKey(*manifestKey, &problem);
    if (!key) return fail(error, path_ + "/Manifest.db cannot be decrypted: " + problem);
    const std::string plain = decrypted_->create("-Manifest.db", error);
    if (plain.empty() || !BackupCipher::decryptFile(database, plain, *key, std::nullopt, stopRequested_, error))
        return false;
    manifestDatabase_ = plain;
    return true;
}

std::optional<BackupFolder::Phone> BackupFolder::readPhone(const std::string& folder, std::string* error) {
    const std::string path = (fs::path(folder) / kInfoPlist).string();
    std::string problem;
    const auto file = member(folder, kInfoPlist, &problem);
    if (!problem.empty()) {
        fail(error, problem);
        return std::nullopt;
    }
    const auto info = file ? PropertyList::readFromFile(*file) : std::nullopt;
    if (!info) {
        fail(error, path +
                        " is missing or unreadable: the backup is incomplete; make a new one with "
                        "'idevicebackup2 backup --full DIR'");
        return std::nullopt;
    }
    Phone phone;
    // Older backups name the phone by "Target Identifier" alone; the folder
    // idevicebackup2 made is named by the UDID as well.
    phone.udid = stringOr(*info, "Unique Identifier",
                          stringOr(*info, "Target Identifier", fs::path(folder).filename().string()));
    phone.deviceName = stringOr(*info, "Device Name", stringOr(*info, "Display Name", ""));
    phone.productVersion = stringOr(*info, "Product Version", "");
    phone.buildVersion = stringOr(*info, "Build Version", "");
    if (phone.productVersion.empty()) {
        fail(error, path +
                        " has no Product Version: the backup is incomplete; make a new one with "
                        "'idevicebackup2 backup --full DIR'");
        return std::nullopt;
    }
    return phone;
}

std::optional<std::string> BackupFolder::find(std::string_view domain, std::string_view relativePath,
                                              std::string* error, bool* listedButAbsent) const {
    if (error) error->clear();
    if (listedButAbsent) *listedButAbsent = false;
    const std::string what = std::string(domain) + " " + std::string(relativePath);
    std::string id;
    std::string record;
    if (manifestDatabase_) {
        const auto listed = listedFileId(domain, relativePath, error, &record);
        if (!listed) return std::nullopt;
        if (listed->empty()) return std::nullopt;  // not in this backup
        if (!isFileId(*listed)) {
            fail(error, "Manifest.db gives " + what + " the file name '" + *listed +
                            "', which is no backup file name: the backup is damaged; make a new one");
            return std::nullopt;
        }
        id = *listed;
    } else if (encrypted()) {
        fail(error, "the encrypted backup has no file list (Manifest.db), so " + what + " cannot be decrypted");
        return std::nullopt;
    } else {
        id = fileId(domain, relativePath);
    }
    std::string problem;
    auto file = fileOnDisk(id, &problem);
    if (file) watch(*file);
    if (file && encrypted()) return decrypted(what, *file, record, error);
    if (file) return file;
    if (!problem.empty()) {
        fail(error, what + ": " + problem);
    } else if (manifestDatabase_) {
        if (listedButAbsent) *listedButAbsent = true;
        fail(error, "Manifest.db lists " + what + " as " + id + ", but " + path_ + "/" + id.substr(0, 2) + "/" + id +
                        " is missing: the backup is incomplete; make a new one with "
                        "'idevicebackup2 backup --full DIR'");
    }
    return std::nullopt;
}

void BackupFolder::watch(const std::string& path) const {
    for (const auto& [file, identity] : watched_)
        if (file == path) return;
    watched_.emplace_back(path, FileIdentity::of(path));
}

bool BackupFolder::unchanged() const {
    return std::all_of(watched_.begin(), watched_.end(),
                       [](const auto& watched) { return FileIdentity::of(watched.first) == watched.second; });
}

std::optional<std::string> BackupFolder::decrypted(const std::string& what, const std::string& source,
                                                   const std::string& record, std::string* error) const {
    std::string problem;
    const auto file = BackupFileRecord::parse(record, &problem);
    if (!file) {
        fail(error, "Manifest.db cannot say how to decrypt " + what + ": " + problem + "; the backup is damaged");
        return std::nullopt;
    }
    if (file->encryptionKey.empty()) {
        fail(error,
             "Manifest.db gives " + what + " no EncryptionKey, so it cannot be decrypted: the backup is damaged");
        return std::nullopt;
    }
    if (!file->size) {
        fail(error, "Manifest.db gives " + what + " no Size: the backup is damaged");
        return std::nullopt;
    }
    const auto key = keyBag_->fileKey(file->encryptionKey, &problem);
    if (!key) {
        fail(error, what + " cannot be decrypted: " + problem);
        return std::nullopt;
    }
    const std::string name = fs::path(what).filename().string();
    const std::string plain = decrypted_->create("-" + name, error);
    if (plain.empty() || !BackupCipher::decryptFile(source, plain, *key, file->size, stopRequested_, error))
        return std::nullopt;
    return plain;
}

std::optional<std::string> BackupFolder::listedFileId(std::string_view domain, std::string_view relativePath,
                                                      std::string* error, std::string* record) const {
    const std::string& path = *manifestDatabase_;
    SqliteDatabase db;
    SqliteStatement statement;
    if (!db.open(path, SqliteDatabase::Mode::Snapshot) ||
        !statement.prepare(db, "SELECT fileID, file FROM Files WHERE domain = ? AND relativePath = ?")) {
        fail(error, "cannot read the file list in " + path + " (" + db.lastError() +
                        "): the backup is incomplete or damaged; make a new one");
        return std::nullopt;
    }
    statement.bindText(1, domain);
    statement.bindText(2, relativePath);
    switch (statement.step()) {
    case SqliteStatement::Step::Row: {
        if (record) {
            int bytes = 0;
            const unsigned char* blob = statement.columnBlob(1, &bytes);
            *record = blob ? std::string(reinterpret_cast<const char*>(blob), static_cast<std::size_t>(bytes)) : "";
        }
        return statement.columnString(0);
    }
    case SqliteStatement::Step::Done: return std::string();
    case SqliteStatement::Step::Error: break;
    }
    fail(error, "cannot read the file list in " + path + " (" + db.lastError() + ")");
    return std::nullopt;
}

std::optional<std::string> BackupFolder::fileOnDisk(const std::string& id, std::string* error) const {
    for (const std::string& name : {id.substr(0, 2) + "/" + id, id}) {
        std::string problem;
        auto file = member(path_, name, &problem);
        if (!problem.empty()) fail(error, problem);
        if (file || !problem.empty()) return file;
    }
    return std::nullopt;
}

std::optional<std::string> BackupFolder::inside(const std::string& folder, const std::string& candidate) {
    std::error_code failure;
    const fs::path resolved = fs::canonical(candidate, failure);
    if (failure || !fs::is_regular_file(resolved, failure)) return std::nullopt;
    const std::string text = resolved.string();
    if (text.size() <= folder.size() || text.compare(0, folder.size(), folder) != 0 || text[folder.size()] != '/')
        return std::nullopt;
    return text;
}

std::optional<std::string> BackupFolder::member(const std::string& folder, const std::string& name,
                                                std::string* error) {
    if (error) error->clear();
    const fs::path candidate = fs::path(folder) / name;
    std::error_code failure;
    if (!fs::exists(fs::symlink_status(candidate, failure))) return std::nullopt;
    if (auto file = inside(folder, candidate.string())) return file;
    fail(error, candidate.string() + " is not a file inside the backup; refusing to read it");
    return std::nullopt;
}
