#include "tools/phone/TerminationSignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

TerminationSignals::TerminationSignals() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
    readFd_ = fds[0];
    wakeFd_ = fds[1];
    if (!installHandlers()) return;
    notifier_ = std::make_unique<QSocketNotifier>(readFd_, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [] { QCoreApplication::quit(); });
}

TerminationSignals::~TerminationSignals() {
    notifier_.reset();
    if (installed_) {
        ::sigaction(SIGINT, &previousInterrupt_, nullptr);
        ::sigaction(SIGTERM, &previousTerminate_, nullptr);
    }
    if (wakeFd_ >= 0) ::close(wakeFd_);
    if (readFd_ >= 0) ::close(readFd_);
    wakeFd_ = -1;
}

bool TerminationSignals::installHandlers() {
    struct sigaction action = {};
    action.sa_handler = &TerminationSignals::handle;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    if (::sigaction(SIGINT, &action, &previousInterrupt_) != 0) return false;
    if (::sigaction(SIGTERM, &action, &previousTerminate_) != 0) {
        ::sigaction(SIGINT, &previousInterrupt_, nullptr);
        return false;
    }
    installed_ = true;
    return true;
}

void TerminationSignals::handle(int) {
    const int savedErrno = errno;  // the interrupted code may be about to read it
    const char wake = 1;
    // A full pipe already holds a wake-up; nothing is lost by dropping this one.
    [[maybe_unused]] const ssize_t written = ::write(wakeFd_, &wake, 1);
    errno = savedErrno;
}
