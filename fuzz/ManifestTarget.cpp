// The backup's file lookup through a mutated Manifest.db. The scratch backup
// holds the real files, a link that leads out of it and a file beside it;
// whatever the manifest says, a file handed out is a regular file inside the
// backup whose name is a 40-digit file id, and never the file outside.

#include "fuzz/FuzzCheck.h"
#include "fuzz/ScratchDeviceRoot.h"
#include "tools/phone/BackupFolder.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

std::string backupPath;
std::string outsidePath;

void writeText(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

const char* const kInfo =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>"
    "<key>Unique Identifier</key><string>00008030-FUZZ</string>"
    "<key>Product Version</key><string>17.1</string></dict></plist>\n";

// Files under the ids the phone paths hash to, and a link under a made-up
// id that leads out of the backup.
void layOutBackup(const std::string& root) {
    const fs::path backup = fs::path(root) / "backup";
    writeText(backup / "Info.plist", kInfo);
    for (const char* path : {BackupFolder::kSmsDatabasePath, BackupFolder::kAddressBookPath, "Library/Other"}) {
        const std::string id = BackupFolder::fileId(BackupFolder::kHomeDomain, path);
        writeText(backup / id.substr(0, 2) / id, "SQLite format 3");
    }
    outsidePath = (fs::path(root) / "outside").string();
    writeText(outsidePath, "not the backup's");
    const std::string linked(40, 'a');
    fs::create_directories(backup / "aa");
    fs::create_symlink(outsidePath, backup / "aa" / linked);
    fs::create_symlink(outsidePath, backup / std::string(40, 'b'));
    backupPath = fs::canonical(backup).string();
}

void checkFound(const BackupFolder& folder, const char* relativePath) {
    std::string error;
    const auto found = folder.find(BackupFolder::kHomeDomain, relativePath, &error);
    if (!found) return;
    const fs::path path(*found);
    FUZZ_CHECK(fs::is_regular_file(fs::symlink_status(path)), "a regular file, not a link");
    FUZZ_CHECK(path.string().rfind(backupPath + "/", 0) == 0, "inside the backup");
    FUZZ_CHECK(fs::canonical(path).string() == path.string(), "with no link on its way");
    FUZZ_CHECK(BackupFolder::isFileId(path.filename().string()), "named by a file id");
    FUZZ_CHECK(fs::canonical(path).string() != fs::canonical(outsidePath).string(), "never the file outside");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& root = ScratchDeviceRoot::instance("17.1");
    if (backupPath.empty()) layOutBackup(root);
    ScratchDeviceRoot::writeFile(backupPath + "/Manifest.db", data, size);
    std::string error;
    const auto folder = BackupFolder::open(backupPath, "", &error);
    if (!folder) return 0;
    for (const char* path : {BackupFolder::kSmsDatabasePath, BackupFolder::kAddressBookPath, "Library/Other",
                             "Library/Linked", "../../outside", ""})
        checkFound(*folder, path);
    return 0;
}
