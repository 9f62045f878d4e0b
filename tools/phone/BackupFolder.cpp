#include "tools/phone/BackupFolder.h"

#include "platform/SqliteDatabase.h"
#include "platform/SqliteHardening.h"
#include "platform/SqliteStatement.h"
#include "platform/PropertyList.h"

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

}  // namespace

const char* const BackupFolder::kEncryptedAdvice =
    "Brindlex reads only unencrypted backups. Turn backup encryption off with "
    "'idevicebackup2 encryption off PASSWORD' (PASSWORD is the backup password), "
    "then make a new backup with 'idevicebackup2 backup --full DIR'";

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
    const auto folder = chooseFolder(directory, udid, error);
    if (!folder) return std::nullopt;
    std::optional<std::string> manifestDatabase;
    if (!refuseEncrypted(*folder, manifestDatabase, error)) return std::nullopt;
    auto phone = readPhone(*folder, error);
    if (!phone) return std::nullopt;
    if (!udid.empty() && !sameIdentifier(udid, phone->udid) &&
        !sameIdentifier(udid, fs::path(*folder).filename().string())) {
        fail(error, directory + " is the backup of " + phone->udid + ", not of " + udid);
        return std::nullopt;
    }
    return BackupFolder(*folder, std::move(*phone), std::move(manifestDatabase));
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

std::string BackupFolder::describe(const std::string& folder) {
    const std::string name = fs::path(folder).filename().string();
    const auto info = PropertyList::readFromFile((fs::path(folder) / kInfoPlist).string());
    if (!info) return name;
    return name + " (" + stringOr(*info, "Device Name", "unnamed phone") + ", iOS " +
           stringOr(*info, "Product Version", "unknown") + ")";
}

bool BackupFolder::refuseEncrypted(const std::string& folder, std::optional<std::string>& manifestDatabase,
                                   std::string* error) {
    std::string problem;
    // Manifest.plist is missing from some backups; only a readable one says
    // anything.
    const auto plist = member(folder, kManifestPlist, &problem);
    if (!problem.empty()) return fail(error, problem);
    const auto manifest = plist ? PropertyList::readFromFile(*plist) : std::nullopt;
    if (manifest && manifest->integerValue("IsEncrypted", 0) != 0)
        return fail(error, folder + " is an encrypted backup. " + kEncryptedAdvice);
    // Since iOS 10.2 Manifest.db itself is encrypted, whatever the plist says.
    manifestDatabase = member(folder, kManifestDatabase, &problem);
    if (!problem.empty()) return fail(error, problem);
    if (manifestDatabase && !isDatabase(*manifestDatabase))
        return fail(error,
                    *manifestDatabase + " is not a database: the backup is encrypted or damaged. " + kEncryptedAdvice);
    std::string damage;
    if (manifestDatabase && !SqliteHardening::quickCheck(*manifestDatabase, &damage))
        return fail(error, *manifestDatabase + " is damaged (" + damage +
                               "): make a new backup with 'idevicebackup2 backup --full DIR'");
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
    if (manifestDatabase_) {
        const auto listed = listedFileId(domain, relativePath, error);
        if (!listed) return std::nullopt;
        if (listed->empty()) return std::nullopt;  // not in this backup
        if (!isFileId(*listed)) {
            fail(error, "Manifest.db gives " + what + " the file name '" + *listed +
                            "', which is no backup file name: the backup is damaged; make a new one");
            return std::nullopt;
        }
        id = *listed;
    } else {
        id = fileId(domain, relativePath);
    }
    std::string problem;
    auto file = fileOnDisk(id, &problem);
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

std::optional<std::string> BackupFolder::listedFileId(std::string_view domain, std::string_view relativePath,
                                                      std::string* error) const {
    const std::string& path = *manifestDatabase_;
    SqliteDatabase db;
    SqliteStatement statement;
    if (!db.open(path, SqliteDatabase::Mode::Snapshot) ||
        !statement.prepare(db, "SELECT fileID FROM Files WHERE domain = ? AND relativePath = ?")) {
        fail(error, "cannot read the file list in " + path + " (" + db.lastError() +
                        "): the backup is incomplete or damaged; make a new one");
        return std::nullopt;
    }
    statement.bindText(1, domain);
    statement.bindText(2, relativePath);
    switch (statement.step()) {
    case SqliteStatement::Step::Row: return statement.columnString(0);
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
