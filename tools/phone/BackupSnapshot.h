#pragma once

#include <optional>
#include <string>

// What tells one backup in a folder from the next one idevicebackup2 writes
// there, without reading the phone's files: the state Status.plist gives
// ("finished" once the whole backup is written) and the size and
// modification time of the files every backup rewrites (Status.plist,
// Manifest.plist, Manifest.db, Info.plist). The inode is left out, so a
// backup copied with its times kept is still the same backup.
class BackupSnapshot {
public:
    static constexpr const char* kFinished = "finished";

    // The backup in the backup folder `folder` (<DIR>/<UDID>); nothing when
    // it has no Status.plist.
    static std::optional<BackupSnapshot> of(const std::string& folder);

    // Status.plist says the backup is complete.
    bool finished() const { return state_ == kFinished; }
    const std::string& state() const { return state_; }
    // One line that is equal for two looks at the same backup and differs
    // as soon as a file of it is rewritten.
    const std::string& key() const { return key_; }
    bool operator==(const BackupSnapshot&) const = default;

private:
    std::string state_;
    std::string key_;
};
