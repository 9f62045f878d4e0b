#include "app/shell/BackupImportJob.h"

#include "app/shell/MainScreenData.h"
#include "platform/PasswordKeyring.h"
#include "platform/PropertyList.h"
#include "tools/phone/BackupImport.h"
#include "tools/phone/SecretBytes.h"

#include <filesystem>

namespace fs = std::filesystem;

namespace {

bool manifestSaysEncrypted(const fs::path& folder) {
    const auto manifest = PropertyList::readFromFile((folder / "Manifest.plist").string());
    return manifest && manifest->integerValue("IsEncrypted", 0) != 0;
}

}  // namespace

bool BackupImportJob::isEncrypted(const std::string& folder) {
    if (manifestSaysEncrypted(folder)) return true;
    // The folder idevicebackup2 writes holds one backup per phone; which one
    // is imported is the import's choice, so any encrypted one asks.
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error))
        if (entry.is_directory(error) && manifestSaysEncrypted(entry.path())) return true;
    return false;
}

BackupImportJob::Result BackupImportJob::importFolder(const std::string& folder,
                                                      const std::optional<std::string>& password,
                                                      std::function<bool()> stopRequested, bool rememberPassword) {
    BackupImport::Options options;
    options.stopRequested = std::move(stopRequested);
    // Asked only when the backup is encrypted; without a password the
    // import's refusal says how to give one.
    options.unlock.password = [&password]() -> std::optional<SecretBytes> {
        if (!password) return std::nullopt;
        return SecretBytes(*password);
    };
    Result result;
    const int stored = MainScreenData().storedMessages();
    const auto outcome = BackupImport::run(folder, options, &result.error);
    result.imported = outcome.has_value();
    if (outcome && outcome->samePhone) result.storedBefore = stored;
    // Only a password that opened the backup is worth keeping.
    if (outcome && outcome->encrypted && rememberPassword && password)
        result.passwordRemembered = PasswordKeyring::store(outcome->phone.udid, *password, &result.keyringError);
    return result;
}
