#include "tools/phone/BackupOrigin.h"

#include "platform/PropertyList.h"
#include "tools/phone/BackupImport.h"
#include "tools/phone/BackupSnapshot.h"

#include <filesystem>

void BackupOrigin::describe(PropertyList& record, const std::string& given, const std::string& folder) {
    std::error_code failed;
    std::filesystem::path absolute = std::filesystem::absolute(given, failed).lexically_normal();
    if (!absolute.has_filename()) absolute = absolute.parent_path();  // "DIR/" names DIR
    // Kept as given apart from being made absolute: the folder the user
    // named may not hold a backup of this phone yet, and symbolic links in
    // it are the user's to change.
    record.setString(kDirectoryKey, failed ? given : absolute.string());
    record.setString(kFolderKey, folder);
    if (const auto snapshot = BackupSnapshot::of(folder)) record.setString(kSnapshotKey, snapshot->key());
}

std::optional<BackupOrigin> BackupOrigin::inRoot() {
    const auto record = PropertyList::readFromFile(BackupImport::phoneFile());
    if (!record) return std::nullopt;
    BackupOrigin origin;
    origin.folder = record->stringValue(kFolderKey).value_or("");
    origin.directory = record->stringValue(kDirectoryKey).value_or(origin.folder);
    origin.snapshot = record->stringValue(kSnapshotKey).value_or("");
    origin.udid = record->stringValue(BackupImport::kUdidKey).value_or("");
    origin.deviceName = record->stringValue("DeviceName").value_or("");
    if (origin.directory.empty()) return std::nullopt;
    return origin;
}
