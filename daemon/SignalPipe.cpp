#include "daemon/SignalPipe.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

int pipeFds[2] = {-1, -1};

extern "C" void writeToPipe(int) {
    const int savedErrno = errno;
    const char byte = 1;
    // Nothing to do on failure: a full pipe already holds a pending stop.
    [[maybe_unused]] ssize_t written = ::write(pipeFds[1], &byte, 1);
    errno = savedErrno;
}

}  // namespace

SignalPipe::SignalPipe(QObject* parent) : QObject(parent) {}

SignalPipe::~SignalPipe() {
    if (pipeFds[0] < 0) return;
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    pipeFds[0] = pipeFds[1] = -1;
}

bool SignalPipe::install() {
    if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) return false;
    struct sigaction action {};
    action.sa_handler = writeToPipe;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    if (::sigaction(SIGINT, &action, nullptr) != 0 || ::sigaction(SIGTERM, &action, nullptr) != 0) return false;
    notifier_ = new QSocketNotifier(pipeFds[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &SignalPipe::drain);
    return true;
}

void SignalPipe::drain() {
    char bytes[16];
    while (::read(pipeFds[0], bytes, sizeof bytes) > 0) {
    }
    if (received_) return;
    received_ = true;
    emit interrupted();
}
