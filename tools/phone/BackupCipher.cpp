#include "tools/phone/BackupCipher.h"

#include "tools/phone/DeviceRootTransaction.h"

#include <openssl/evp.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr std::size_t kBlockBytes = 16;

bool fail(std::string* error, const std::string& message) {
    if (error) *error = message;
    return false;
}

struct ContextFree {
    void operator()(EVP_CIPHER_CTX* context) const { EVP_CIPHER_CTX_free(context); }
};
using Context = std::unique_ptr<EVP_CIPHER_CTX, ContextFree>;

// A file descriptor closed when it goes.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

bool writeAll(int fd, const unsigned char* bytes, std::size_t count) {
    while (count > 0) {
        const ssize_t written = ::write(fd, bytes, count);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        bytes += written;
        count -= static_cast<std::size_t>(written);
    }
    return true;
}

ssize_t readSome(int fd, unsigned char* bytes, std::size_t count) {
    ssize_t got;
    do got = ::read(fd, bytes, count);
    while (got < 0 && errno == EINTR);
    return got;
}

}  // namespace

std::optional<SecretBytes> BackupCipher::unwrap(const SecretBytes& key, std::string_view wrapped) {
    // RFC 3394 adds one 8-byte block to what it wraps.
    if (key.size() != 32 || wrapped.size() < 24 || wrapped.size() % 8 != 0) return std::nullopt;
    Context context(EVP_CIPHER_CTX_new());
    if (!context) return std::nullopt;
    EVP_CIPHER_CTX_set_flags(context.get(), EVP_CIPHER_CTX_FLAG_WRAP_ALLOW);
    SecretBytes plain(wrapped.size());
    int length = 0, last = 0;
    const auto* input = reinterpret_cast<const unsigned char*>(wrapped.data());
    if (EVP_DecryptInit_ex(context.get(), EVP_aes_256_wrap(), nullptr, key.data(), nullptr) != 1 ||
        EVP_DecryptUpdate(context.get(), plain.data(), &length, input, static_cast<int>(wrapped.size())) != 1 ||
        length <= 0 || EVP_DecryptFinal_ex(context.get(), plain.data() + length, &last) != 1)
        return std::nullopt;
    plain.truncate(static_cast<std::size_t>(length + last));
    return plain;
}

bool BackupCipher::decryptFile(const std::string& source, const std::string& target, const SecretBytes& key,
                               std::optional<std::uint64_t> size, const std::function<bool()>& stopRequested,
                               std::string* error) {
    Descriptor in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0) return fail(error, "cannot read " + source + ": " + std::strerror(errno));
    Descriptor out(::open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOFOLLOW));
    if (out.get() < 0) return fail(error, "cannot write " + target + ": " + std::strerror(errno));
    Context context(EVP_CIPHER_CTX_new());
    static const unsigned char kZeroIv[kBlockBytes] = {};
    if (!context || key.size() != 32 ||
        EVP_DecryptInit_ex(context.get(), EVP_aes_256_cbc(), nullptr, key.data(), kZeroIv) != 1)
        return fail(error, "cannot start decrypting " + source);
    // With a known size the plaintext is cut to it, padding and all, as some
    // files carry more than one block of it.
    EVP_CIPHER_CTX_set_padding(context.get(), size ? 0 : 1);

    std::vector<unsigned char> cipher(kChunkBytes);
    SecretBytes plain(kChunkBytes + kBlockBytes);
    std::uint64_t read = 0, written = 0;
    const std::uint64_t limit = size.value_or(UINT64_MAX);
    for (;;) {
        if (stopRequested && stopRequested()) return fail(error, DeviceRootTransaction::kStopped);
        const ssize_t got = readSome(in.get(), cipher.data(), cipher.size());
        if (got < 0) return fail(error, "cannot read " + source + ": " + std::strerror(errno));
        if (got == 0) break;
        read += static_cast<std::uint64_t>(got);
        int length = 0;
        if (EVP_DecryptUpdate(context.get(), plain.data(), &length, cipher.data(), static_cast<int>(got)) != 1)
            return fail(error, "cannot decrypt " + source);
        const std::uint64_t keep = std::min<std::uint64_t>(static_cast<std::uint64_t>(length), limit - written);
        if (!writeAll(out.get(), plain.data(), keep))
            return fail(error, "cannot write " + target + ": " + std::strerror(errno));
        written += keep;
    }
    if (read % kBlockBytes != 0)
        return fail(error, source + " is " + std::to_string(read) +
                               " bytes long, not whole cipher blocks: the backup is damaged or incomplete");
    int last = 0;
    if (EVP_DecryptFinal_ex(context.get(), plain.data(), &last) != 1)
        return fail(error, source + " does not decrypt with its key (its padding is wrong): the backup is damaged");
    const std::uint64_t keep = std::min<std::uint64_t>(static_cast<std::uint64_t>(last), limit - written);
    if (!writeAll(out.get(), plain.data(), keep))
        return fail(error, "cannot write " + target + ": " + std::strerror(errno));
    written += keep;
    if (size && written < *size)
        return fail(error, source + " decrypts to " + std::to_string(written) + " bytes, but the backup gives it " +
                               std::to_string(*size) + ": the backup is damaged or incomplete");
    if (!out.close()) return fail(error, "cannot write " + target + ": " + std::strerror(errno));
    return true;
}
