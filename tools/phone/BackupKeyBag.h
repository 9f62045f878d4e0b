#pragma once

#include "tools/phone/SecretBytes.h"

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

// The key bag of an encrypted backup (Manifest.plist's BackupKeyBag): a run
// of records, each a 4-byte tag, a 4-byte big-endian length and the value.
// The bag's own fields come first (VERS, TYPE, UUID, HMCK, WRAP, SALT, ITER,
// DPWT, DPIC, DPSL); the second UUID starts the first protection class, and
// every UUID after it the next (UUID, CLAS, WRAP, KTYP, WPKY). Tags this
// reader does not know are skipped: newer phones add some.
//
// The bytes come from a folder anyone could have written, so every length is
// checked against what is left and the round counts are capped: a bag that
// asks for a billion rounds would hold the import for an hour.
class BackupKeyBag {
public:
    static constexpr std::uint64_t kMaxRounds = 100'000'000;
    static constexpr std::size_t kKeyBytes = 32;
    // A class key wrapped with the password key has this WRAP bit; one with
    // only bit 1 is wrapped with a key of the phone itself.
    static constexpr std::uint32_t kWrappedWithPassword = 2;

    struct ClassKey {
        std::uint32_t protectionClass = 0;
        std::uint32_t wrap = 0;
        std::uint32_t keyType = 0;
        std::string wrappedKey;  // WPKY
    };

    // Nothing, with `error` saying what is wrong, for bytes that are not a
    // whole key bag.
    static std::optional<BackupKeyBag> parse(std::string_view bytes, std::string* error);

    // Derives the password key and unwraps every class key wrapped with it.
    // False when none unwraps ("the backup password is wrong") or the bag
    // has none to unwrap. A class whose key alone fails to unwrap is kept as
    // damaged: only a file of that class fails.
    bool unlock(const SecretBytes& password, std::string* error);

    // The key of a file (or of Manifest.db): `classAndWrappedKey` is a 4-byte
    // little-endian protection class and the key wrapped with that class's
    // key. Needs unlock() first.
    std::optional<SecretBytes> fileKey(std::string_view classAndWrappedKey, std::string* error) const;

    std::uint32_t version() const { return version_; }
    std::uint32_t type() const { return type_; }
    std::uint64_t iterations() const { return iterations_; }
    std::uint64_t passwordRounds() const { return passwordRounds_; }
    const std::vector<ClassKey>& classes() const { return classes_; }

private:
    struct Record {
        std::string tag;
        std::string_view value;
    };

    static std::optional<std::vector<Record>> records(std::string_view bytes, std::string* error);
    // A 4- or 8-byte big-endian number.
    static std::optional<std::uint64_t> number(const Record& record, std::string* error);
    bool takeHeader(const Record& record, std::string* error);
    bool checkHeader(std::string* error) const;
    std::optional<SecretBytes> passwordKey(const SecretBytes& password, std::string* error) const;

    std::uint32_t version_ = 0;
    std::uint32_t type_ = 0;
    std::string salt_;
    std::uint64_t iterations_ = 0;
    std::string passwordSalt_;          // DPSL; empty for bags made before iOS 10.2
    std::uint64_t passwordRounds_ = 0;  // DPIC
    std::vector<ClassKey> classes_;
    std::map<std::uint32_t, SecretBytes> unwrapped_;
    std::set<std::uint32_t> damaged_;
};
