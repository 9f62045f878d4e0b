#include "tools/phone/BackupSnapshot.h"

#include "platform/PropertyList.h"

#include <sys/stat.h>

namespace {

// "name:size:mtime-ns;", or "name:-;" for a missing file.
std::string identityOf(const std::string& folder, const char* name) {
    struct stat status {};
    std::string part = std::string(name) + ":";
    if (::stat((folder + "/" + name).c_str(), &status) != 0) return part + "-;";
    const long long modifiedNs = static_cast<long long>(status.st_mtim.tv_sec) * 1'000'000'000 + status.st_mtim.tv_nsec;
    return part + std::to_string(status.st_size) + ":" + std::to_string(modifiedNs) + ";";
}

}  // namespace

std::optional<BackupSnapshot> BackupSnapshot::of(const std::string& folder) {
    // Status.plist first: a rewrite that lands between the look at the
    // times and the read of the state shows in the times.
    const std::string statusIdentity = identityOf(folder, "Status.plist");
    const auto status = PropertyList::readFromFile(folder + "/Status.plist");
    if (!status) return std::nullopt;
    BackupSnapshot snapshot;
    snapshot.state_ = status->stringValue("SnapshotState").value_or("");
    snapshot.key_ = snapshot.state_ + ";" + statusIdentity + identityOf(folder, "Manifest.db") +
                    identityOf(folder, "Manifest.plist") + identityOf(folder, "Info.plist");
    return snapshot;
}
