#include "tools/phone/PasswordInput.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

// The terminal's settings, put back when the object goes.
class EchoOff {
public:
    explicit EchoOff(int fd) : fd_(fd) {
        if (::tcgetattr(fd_, &saved_) != 0) return;
        struct termios quiet = saved_;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        quiet.c_lflag |= ECHONL;
        active_ = ::tcsetattr(fd_, TCSAFLUSH, &quiet) == 0;
    }
    ~EchoOff() {
        if (active_) ::tcsetattr(fd_, TCSAFLUSH, &saved_);
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

private:
    int fd_;
    struct termios saved_ {};
    bool active_ = false;
};

}  // namespace

bool PasswordInput::readLine(int fd, SecretBytes& password, const std::function<bool()>& stopRequested,
                             std::string* error) {
    // Room for the whole line up front: a growing buffer would leave copies
    // of the first characters behind in freed memory.
    SecretBytes buffer(kMaxBytes);
    std::size_t length = 0;
    while (length < kMaxBytes) {
        if (stopRequested) {
            // Woken now and then to see whether Ctrl-C came, since SIGINT
            // does not interrupt the read.
            struct pollfd ready {
                fd, POLLIN, 0
            };
            const int polled = ::poll(&ready, 1, 200);
            if (stopRequested()) return false;
            if (polled == 0 || (polled < 0 && errno == EINTR)) continue;
        }
        unsigned char c = 0;
        const ssize_t got = ::read(fd, &c, 1);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            if (error) *error = std::string("cannot read the password: ") + std::strerror(errno);
            return false;
        }
        if (got == 0 || c == '\n') break;
        buffer.data()[length++] = c;
    }
    if (length == kMaxBytes) {
        if (error) *error = "the password given is longer than " + std::to_string(kMaxBytes) + " bytes";
        return false;
    }
    buffer.truncate(length);
    buffer.dropLineEnd();
    password = std::move(buffer);
    return true;
}

std::optional<SecretBytes> PasswordInput::fromFile(const std::string& path, std::string* error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (error) *error = "cannot read the password file " + path + ": " + std::strerror(errno);
        return std::nullopt;
    }
    auto password = fromDescriptor(fd, error);
    ::close(fd);
    return password;
}

std::optional<SecretBytes> PasswordInput::fromDescriptor(int fd, std::string* error) {
    SecretBytes password;
    if (!readLine(fd, password, {}, error)) return std::nullopt;
    if (password.empty()) {
        if (error) *error = "the password given is empty";
        return std::nullopt;
    }
    return password;
}

std::optional<SecretBytes> PasswordInput::fromTerminal(const std::function<bool()>& stopRequested) {
    SecretBytes password;
    bool read = false;
    {
        // Echo off before the prompt shows: what is typed after it is never
        // echoed, nor thrown away by the switch.
        const EchoOff quiet(STDIN_FILENO);
        std::fprintf(stderr, "Backup password: ");
        std::fflush(stderr);
        read = readLine(STDIN_FILENO, password, stopRequested, nullptr);
    }
    if (!read) std::fprintf(stderr, "\n");
    if (!read || password.empty()) return std::nullopt;
    return password;
}
