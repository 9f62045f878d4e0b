#pragma once

#include <optional>
#include <string>

class PropertyList;

// Where the phone in the device root came from, kept in its phone.plist:
// the folder the user gave the import (as an absolute path; idevicebackup2's
// <DIR> or the backup folder itself), the backup folder within it
// (<DIR>/<UDID>) and which backup of that folder was imported (a
// BackupSnapshot key). The daemon watches the folder for the next backup and
// imports it, once.
class BackupOrigin {
public:
    static constexpr const char* kDirectoryKey = "BackupDirectory";
    static constexpr const char* kFolderKey = "BackupFolder";
    static constexpr const char* kSnapshotKey = "ImportedSnapshot";

    std::string directory;  // as the user gave it, made absolute
    std::string folder;     // the backup folder of the phone
    std::string snapshot;   // what was imported; empty when not known
    std::string udid;       // the phone's
    std::string deviceName;

    // Adds the keys for an import of `given` that read the backup folder
    // `folder` to the phone record `record`.
    static void describe(PropertyList& record, const std::string& given, const std::string& folder);
    // What the device root's phone.plist says; nothing when it names no folder.
    static std::optional<BackupOrigin> inRoot();
};
