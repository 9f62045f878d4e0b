#include "platform/cli/StopFlag.h"

namespace {

volatile std::sig_atomic_t receivedSignal = 0;

}  // namespace

void StopFlag::handle(int signal) {
    if (receivedSignal == 0) receivedSignal = signal;
}

StopFlag::StopFlag() {
    receivedSignal = 0;
    struct sigaction action {};
    action.sa_handler = &StopFlag::handle;
    sigemptyset(&action.sa_mask);
    // Reads and writes go on after the handler; the work asks the flag.
    action.sa_flags = SA_RESTART;
    installed_ = ::sigaction(SIGINT, &action, &previousInterrupt_) == 0;
    if (installed_ && ::sigaction(SIGTERM, &action, &previousTerminate_) != 0) {
        ::sigaction(SIGINT, &previousInterrupt_, nullptr);
        installed_ = false;
    }
}

StopFlag::~StopFlag() { restore(); }

int StopFlag::received() { return receivedSignal; }

void StopFlag::restore() {
    if (!installed_) return;
    ::sigaction(SIGINT, &previousInterrupt_, nullptr);
    ::sigaction(SIGTERM, &previousTerminate_, nullptr);
    installed_ = false;
}

void StopFlag::reraise() {
    const int signal = receivedSignal;
    restore();
    if (signal != 0) ::raise(signal);
}
