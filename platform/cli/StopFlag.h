#pragma once

#include <csignal>

// SIGINT and SIGTERM as a flag, for work that runs without an event loop
// (SignalPipe serves those): the handler only sets it, and the work asks
// between its steps and winds down by itself. The handlers that were there
// before come back when the object goes. One object at a time: the handler
// has a single flag to set.
class StopFlag {
public:
    StopFlag();
    ~StopFlag();
    StopFlag(const StopFlag&) = delete;
    StopFlag& operator=(const StopFlag&) = delete;

    // False when the handlers could not be installed.
    bool installed() const { return installed_; }
    // The first SIGINT or SIGTERM since the object was made; 0 for none.
    static int received();
    // Puts the earlier handlers back and delivers the signal received
    // again, so the program ends as the signal asks (its status says so).
    void reraise();

private:
    static void handle(int signal);
    void restore();

    struct sigaction previousInterrupt_ {};
    struct sigaction previousTerminate_ {};
    bool installed_ = false;
};
