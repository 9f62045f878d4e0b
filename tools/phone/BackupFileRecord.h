#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// What an encrypted backup's Manifest.db says of one file in the `file`
// column of its row: a binary property list written by NSKeyedArchiver, an
// MBFile object. The archive keeps every object once in `$objects` and refers
// to it by a UID; `$top`'s `root` is the MBFile, a dictionary whose values
// are either the value itself or a UID of it.
class BackupFileRecord {
public:
    // The 4-byte little-endian protection class and the wrapped file key;
    // empty when the record has none.
    std::string encryptionKey;
    std::optional<std::int64_t> protectionClass;
    std::optional<std::uint64_t> size;

    // Nothing, with `error` saying why, for bytes that are no such archive.
    static std::optional<BackupFileRecord> parse(std::string_view bytes, std::string* error);
};
