#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Key material and passwords: bytes that are overwritten (OPENSSL_cleanse,
// which the compiler may not drop) when the object goes or is replaced, so
// no copy of a key outlives its use in freed memory. Move-only: a copy would
// be one more place to clear.
class SecretBytes {
public:
    SecretBytes() = default;
    explicit SecretBytes(std::size_t size) : bytes_(size) {}
    explicit SecretBytes(std::string_view bytes);
    ~SecretBytes();
    SecretBytes(SecretBytes&& other) noexcept;
    SecretBytes& operator=(SecretBytes&& other) noexcept;
    SecretBytes(const SecretBytes&) = delete;
    SecretBytes& operator=(const SecretBytes&) = delete;

    unsigned char* data() { return bytes_.data(); }
    const unsigned char* data() const { return bytes_.data(); }
    std::size_t size() const { return bytes_.size(); }
    bool empty() const { return bytes_.empty(); }
    // Shortens to `size` bytes, clearing those cut off.
    void truncate(std::size_t size);
    // Drops a line end ("\n" or "\r\n") at the end, as typed or stored with one.
    void dropLineEnd();

private:
    void clear();

    std::vector<unsigned char> bytes_;
};
