// The readers of an encrypted backup's key material, from arbitrary bytes:
// the key bag of Manifest.plist (first byte even) and a file's MBFile record
// from Manifest.db (first byte odd). Neither may crash, hang or read past
// the bytes; what they accept keeps their promises: round counts within the
// cap, every class with its key, sizes that are sizes.

#include "fuzz/FuzzCheck.h"
#include "tools/phone/BackupFileRecord.h"
#include "tools/phone/BackupKeyBag.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::string error;
    if (data[0] % 2 == 0) {
        const auto bag = BackupKeyBag::parse(bytes, &error);
        FUZZ_CHECK(bag.has_value() != !error.empty(), "a refused bag says why, an accepted one has no error");
        if (!bag) return 0;
        FUZZ_CHECK(bag->iterations() > 0 && bag->iterations() <= BackupKeyBag::kMaxRounds, "ITER within the cap");
        FUZZ_CHECK(bag->passwordRounds() <= BackupKeyBag::kMaxRounds, "DPIC within the cap");
        FUZZ_CHECK(!bag->classes().empty(), "a bag with class keys");
        for (const auto& key : bag->classes())
            FUZZ_CHECK(key.protectionClass != 0 && !key.wrappedKey.empty() && key.wrappedKey.size() <= bytes.size(),
                       "every class with its key, taken from the bytes");
    } else {
        const auto record = BackupFileRecord::parse(bytes, &error);
        FUZZ_CHECK(record.has_value() != !error.empty(), "a refused record says why");
        if (record) FUZZ_CHECK(record->encryptionKey.size() <= bytes.size(), "a key taken from the bytes");
    }
    return 0;
}
