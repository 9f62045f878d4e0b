#include "tools/phone/SecretBytes.h"

#include <openssl/crypto.h>

#include <cstring>
#include <utility>

SecretBytes::SecretBytes(std::string_view bytes) : bytes_(bytes.size()) {
    if (!bytes.empty()) std::memcpy(bytes_.data(), bytes.data(), bytes.size());
}

SecretBytes::~SecretBytes() { clear(); }

SecretBytes::SecretBytes(SecretBytes&& other) noexcept : bytes_(std::move(other.bytes_)) { other.bytes_.clear(); }

SecretBytes& SecretBytes::operator=(SecretBytes&& other) noexcept {
    if (this != &other) {
        clear();
        bytes_ = std::move(other.bytes_);
        other.bytes_.clear();
    }
    return *this;
}

void SecretBytes::clear() {
    // The whole capacity: a shrink may have left key bytes past the size.
    if (bytes_.capacity() > 0) OPENSSL_cleanse(bytes_.data(), bytes_.capacity());
    bytes_.clear();
}

void SecretBytes::truncate(std::size_t size) {
    if (size >= bytes_.size()) return;
    OPENSSL_cleanse(bytes_.data() + size, bytes_.size() - size);
    bytes_.resize(size);
}

void SecretBytes::dropLineEnd() {
    if (!bytes_.empty() && bytes_.back() == '\n') truncate(bytes_.size() - 1);
    if (!bytes_.empty() && bytes_.back() == '\r') truncate(bytes_.size() - 1);
}
