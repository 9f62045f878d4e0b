#pragma once

#include <QObject>

#include <csignal>
#include <memory>

class QSocketNotifier;

// Turns SIGINT and SIGTERM into a Qt signal on the event loop. The handler
// itself only writes a byte to a pipe (about all a handler may safely do);
// everything else happens when the loop gets to it, so a stop never lands
// between a sync's COMMIT and the write of its markers. The handlers that
// were there before come back when the object goes. One object at a time:
// the handler has a single pipe to write to.
class SignalPipe : public QObject {
    Q_OBJECT

public:
    explicit SignalPipe(QObject* parent = nullptr);
    ~SignalPipe() override;
    SignalPipe(const SignalPipe&) = delete;
    SignalPipe& operator=(const SignalPipe&) = delete;

    // False when the pipe or the handlers cannot be set up; then nothing is
    // left installed.
    bool install();
    // A stop was asked for (and `interrupted` emitted).
    bool received() const { return received_; }

signals:
    // Emitted once, for the first SIGINT or SIGTERM.
    void interrupted();

private:
    static void handle(int signal);
    bool installHandlers();
    void restoreHandlers();
    void drain();

    static inline int wakeFd_ = -1;  // the pipe's write end, for the handler
    int readFd_ = -1;
    struct sigaction previousInterrupt_ = {};
    struct sigaction previousTerminate_ = {};
    bool handlersInstalled_ = false;
    std::unique_ptr<QSocketNotifier> notifier_;
    bool received_ = false;
};
