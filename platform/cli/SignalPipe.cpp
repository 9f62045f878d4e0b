#include "platform/cli/SignalPipe.h"

#include <QSocketNotifier>

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

SignalPipe::SignalPipe(QObject* parent) : QObject(parent) {}

SignalPipe::~SignalPipe() {
    notifier_.reset();  // before the descriptor it watches is closed
    restoreHandlers();
    if (wakeFd_ >= 0) ::close(wakeFd_);
    if (readFd_ >= 0) ::close(readFd_);
    wakeFd_ = -1;
}

bool SignalPipe::install() {
    if (readFd_ >= 0) return notifier_ != nullptr;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return false;
    readFd_ = fds[0];
    wakeFd_ = fds[1];
    if (!installHandlers()) return false;
    notifier_ = std::make_unique<QSocketNotifier>(readFd_, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &SignalPipe::drain);
    return true;
}

bool SignalPipe::installHandlers() {
    struct sigaction action = {};
    action.sa_handler = &SignalPipe::handle;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    if (::sigaction(SIGINT, &action, &previousInterrupt_) != 0) return false;
    if (::sigaction(SIGTERM, &action, &previousTerminate_) != 0) {
        ::sigaction(SIGINT, &previousInterrupt_, nullptr);
        return false;
    }
    handlersInstalled_ = true;
    return true;
}

void SignalPipe::restoreHandlers() {
    if (!handlersInstalled_) return;
    ::sigaction(SIGINT, &previousInterrupt_, nullptr);
    ::sigaction(SIGTERM, &previousTerminate_, nullptr);
    handlersInstalled_ = false;
}

void SignalPipe::handle(int) {
    const int savedErrno = errno;  // the interrupted code may be about to read it
    const char wake = 1;
    // A full pipe already holds a wake-up; nothing is lost by dropping this one.
    [[maybe_unused]] const ssize_t written = ::write(wakeFd_, &wake, 1);
    errno = savedErrno;
}

void SignalPipe::drain() {
    char bytes[16];
    while (::read(readFd_, bytes, sizeof bytes) > 0) {
    }
    if (received_) return;
    received_ = true;
    emit interrupted();
}
