#pragma once

#include <csignal>
#include <memory>

class QSocketNotifier;

// Turns SIGINT and SIGTERM into a clean end of the event loop, so a command
// that runs until it is interrupted unwinds and exits with status 0. The
// handler only writes a byte to a pipe (about all a handler may safely do);
// the event loop reads it and quits. Needs the application object to exist;
// the previous handlers come back when the object goes.
class TerminationSignals {
public:
    TerminationSignals();
    ~TerminationSignals();
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // False when the pipe or the handlers could not be set up.
    bool active() const { return notifier_ != nullptr; }

private:
    static void handle(int signal);
    bool installHandlers();

    static inline int wakeFd_ = -1;  // the pipe's write end, for the handler
    int readFd_ = -1;
    struct sigaction previousInterrupt_ = {};
    struct sigaction previousTerminate_ = {};
    bool installed_ = false;
    std::unique_ptr<QSocketNotifier> notifier_;
};
