#include "tools/phone/BackupKeyBag.h"

#include "tools/phone/BackupCipher.h"

#include <openssl/evp.h>

namespace {

constexpr std::size_t kHeaderBytes = 8;

bool fail(std::string* error, const std::string& message) {
    if (error) *error = message;
    return false;
}

std::uint32_t bigEndian(std::string_view bytes) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) value = (value << 8) | static_cast<unsigned char>(bytes[i]);
    return value;
}

std::string printable(const std::string& tag) {
    std::string text;
    for (const char c : tag) text += (c >= 0x20 && c < 0x7f) ? c : '?';
    return text;
}

}  // namespace

std::optional<std::vector<BackupKeyBag::Record>> BackupKeyBag::records(std::string_view bytes, std::string* error) {
    std::vector<Record> result;
    std::size_t at = 0;
    while (at < bytes.size()) {
        if (bytes.size() - at < kHeaderBytes) {
            fail(error, "the key bag ends inside a record header at byte " + std::to_string(at));
            return std::nullopt;
        }
        const std::string tag(bytes.substr(at, 4));
        const std::uint32_t length = bigEndian(bytes.substr(at + 4, 4));
        at += kHeaderBytes;
        if (length > bytes.size() - at) {
            fail(error, "the key bag's " + printable(tag) + " record is " + std::to_string(length) +
                            " bytes long, but only " + std::to_string(bytes.size() - at) + " are left");
            return std::nullopt;
        }
        result.push_back({tag, bytes.substr(at, length)});
        at += length;
    }
    return result;
}

std::optional<std::uint64_t> BackupKeyBag::number(const Record& record, std::string* error) {
    if (record.value.size() != 4 && record.value.size() != 8) {
        fail(error, "the key bag's " + record.tag + " is " + std::to_string(record.value.size()) +
                        " bytes long, not a number");
        return std::nullopt;
    }
    std::uint64_t value = bigEndian(record.value);
    if (record.value.size() == 8) value = (value << 32) | bigEndian(record.value.substr(4));
    return value;
}

std::optional<BackupKeyBag> BackupKeyBag::parse(std::string_view bytes, std::string* error) {
    const auto all = records(bytes, error);
    if (!all) return std::nullopt;
    BackupKeyBag bag;
    bool inHeader = true, seenUuid = false;
    for (const Record& record : *all) {
        if (record.tag == "UUID") {
            // The bag's own UUID, then one per class.
            if (seenUuid) {
                inHeader = false;
                bag.classes_.emplace_back();
            }
            seenUuid = true;
            continue;
        }
        if (inHeader) {
            if (!bag.takeHeader(record, error)) return std::nullopt;
            continue;
        }
        ClassKey& key = bag.classes_.back();
        if (record.tag == "WPKY") {
            key.wrappedKey = std::string(record.value);
            continue;
        }
        if (record.tag != "CLAS" && record.tag != "WRAP" && record.tag != "KTYP") continue;
        const auto value = number(record, error);
        if (!value) return std::nullopt;
        const auto small = static_cast<std::uint32_t>(*value);
        (record.tag == "CLAS" ? key.protectionClass : record.tag == "WRAP" ? key.wrap : key.keyType) = small;
    }
    if (!bag.checkHeader(error)) return std::nullopt;
    return bag;
}

bool BackupKeyBag::takeHeader(const Record& record, std::string* error) {
    if (record.tag == "SALT") {
        salt_ = std::string(record.value);
    } else if (record.tag == "DPSL") {
        passwordSalt_ = std::string(record.value);
    } else if (record.tag == "ITER" || record.tag == "DPIC" || record.tag == "VERS" || record.tag == "TYPE") {
        const auto value = number(record, error);
        if (!value) return false;
        if (record.tag == "ITER") iterations_ = *value;
        if (record.tag == "DPIC") passwordRounds_ = *value;
        if (record.tag == "VERS") version_ = static_cast<std::uint32_t>(*value);
        if (record.tag == "TYPE") type_ = static_cast<std::uint32_t>(*value);
    }
    // HMCK, WRAP and DPWT say nothing the unlock needs.
    return true;
}

bool BackupKeyBag::checkHeader(std::string* error) const {
    if (salt_.empty()) return fail(error, "the key bag has no SALT");
    if (iterations_ == 0) return fail(error, "the key bag has no ITER");
    if (iterations_ > kMaxRounds)
        return fail(error, "the key bag asks for " + std::to_string(iterations_) + " rounds (ITER); more than " +
                               std::to_string(kMaxRounds) + " is no backup's");
    // Since iOS 10.2 the password goes through a first, slower derivation.
    if (!passwordSalt_.empty() && passwordRounds_ == 0) return fail(error, "the key bag has DPSL but no DPIC");
    if (passwordRounds_ > kMaxRounds)
        return fail(error, "the key bag asks for " + std::to_string(passwordRounds_) + " rounds (DPIC); more than " +
                               std::to_string(kMaxRounds) + " is no backup's");
    if (classes_.empty()) return fail(error, "the key bag holds no class keys");
    for (const ClassKey& key : classes_) {
        if (key.protectionClass == 0) return fail(error, "a class key in the key bag has no CLAS");
        if (key.wrappedKey.empty())
            return fail(error, "the key of protection class " + std::to_string(key.protectionClass) +
                                   " has no WPKY in the key bag");
    }
    return true;
}

std::optional<SecretBytes> BackupKeyBag::passwordKey(const SecretBytes& password, std::string* error) const {
    const auto* text = reinterpret_cast<const char*>(password.data());
    const int length = static_cast<int>(password.size());
    SecretBytes first;
    if (!passwordSalt_.empty()) {
        first = SecretBytes(kKeyBytes);
        if (PKCS5_PBKDF2_HMAC(text, length, reinterpret_cast<const unsigned char*>(passwordSalt_.data()),
                              static_cast<int>(passwordSalt_.size()), static_cast<int>(passwordRounds_), EVP_sha256(),
                              static_cast<int>(first.size()), first.data()) != 1) {
            fail(error, "the key derivation failed in libcrypto");
            return std::nullopt;
        }
        text = reinterpret_cast<const char*>(first.data());
    }
    SecretBytes key(kKeyBytes);
    const int textLength = passwordSalt_.empty() ? length : static_cast<int>(first.size());
    if (PKCS5_PBKDF2_HMAC(text, textLength, reinterpret_cast<const unsigned char*>(salt_.data()),
                          static_cast<int>(salt_.size()), static_cast<int>(iterations_), EVP_sha1(),
                          static_cast<int>(key.size()), key.data()) != 1) {
        fail(error, "the key derivation failed in libcrypto");
        return std::nullopt;
    }
    return key;
}

bool BackupKeyBag::unlock(const SecretBytes& password, std::string* error) {
    unwrapped_.clear();
    damaged_.clear();
    const auto key = passwordKey(password, error);
    if (!key) return false;
    bool any = false;
    for (const ClassKey& classKey : classes_) {
        if ((classKey.wrap & kWrappedWithPassword) == 0) continue;
        any = true;
        if (auto unwrapped = BackupCipher::unwrap(*key, classKey.wrappedKey))
            unwrapped_[classKey.protectionClass] = std::move(*unwrapped);
        else
            damaged_.insert(classKey.protectionClass);
    }
    if (!any) return fail(error, "the key bag holds no class key wrapped with the backup password");
    // With the right password every key unwraps; with a wrong one none does.
    if (unwrapped_.empty()) return fail(error, "the backup password is wrong");
    return true;
}

std::optional<SecretBytes> BackupKeyBag::fileKey(std::string_view classAndWrappedKey, std::string* error) const {
    if (classAndWrappedKey.size() <= 4) {
        fail(error, "its key is " + std::to_string(classAndWrappedKey.size()) + " bytes long, too short to hold one");
        return std::nullopt;
    }
    std::uint32_t protectionClass = 0;
    for (int i = 3; i >= 0; --i)
        protectionClass = (protectionClass << 8) | static_cast<unsigned char>(classAndWrappedKey[i]);
    const std::string name = "protection class " + std::to_string(protectionClass);
    if (damaged_.count(protectionClass)) {
        fail(error, "the key of its " + name + " does not unwrap with the backup password: the key bag is damaged");
        return std::nullopt;
    }
    const auto classKey = unwrapped_.find(protectionClass);
    if (classKey == unwrapped_.end()) {
        fail(error, "the key bag holds no key of its " + name + " that the backup password unwraps");
        return std::nullopt;
    }
    auto key = BackupCipher::unwrap(classKey->second, classAndWrappedKey.substr(4));
    if (!key) fail(error, "its key does not unwrap with the key of its " + name + ": the backup is damaged");
    return key;
}
