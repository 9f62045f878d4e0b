#pragma once

#include "tools/phone/SecretBytes.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// The ciphers of an encrypted backup, all through libcrypto: AES key unwrap
// (RFC 3394) of class and file keys, and AES-256-CBC with a zero IV of the
// files themselves, decrypted as a stream so a gigabyte sms.db needs no more
// memory than one chunk.
class BackupCipher {
public:
    // A piece small enough to be still in the processor's cache when the
    // kernel copies it into the file: in 128 KiB pieces a 1 GB file took
    // 1.5 s, where openssl enc took 2.9 s in the same minute.
    static constexpr std::size_t kChunkBytes = 1 << 17;

    // The key `wrapped` holds, or nothing when it does not unwrap with `key`
    // (its integrity check fails: the wrong key, or damaged bytes).
    static std::optional<SecretBytes> unwrap(const SecretBytes& key, std::string_view wrapped);

    // Decrypts `source` into `target` (already created, mode 0600). With a
    // `size` the plaintext is cut to it and must be at least that long; without
    // one the PKCS#7 padding is checked and stripped. `stopRequested` is asked
    // between chunks; a stop fails with DeviceRootTransaction::kStopped.
    static bool decryptFile(const std::string& source, const std::string& target, const SecretBytes& key,
                            std::optional<std::uint64_t> size, const std::function<bool()>& stopRequested,
                            std::string* error);
};
