#pragma once

#include <QCoreApplication>

// The Qt application object the session-bus commands need: QtDBus runs its
// connection on a thread of its own and expects an application object to
// exist before the first connection. The other commands do without, so they
// keep the C locale the application object would replace.
class PhoneEventLoop {
public:
    PhoneEventLoop() = default;
    PhoneEventLoop(const PhoneEventLoop&) = delete;
    PhoneEventLoop& operator=(const PhoneEventLoop&) = delete;

    // Runs until QCoreApplication::quit(); the status quit() was given.
    int exec() { return QCoreApplication::exec(); }

private:
    // QCoreApplication keeps references to these for its whole life, so they
    // are declared, and built, before it.
    int argc_ = 1;
    char name_[15] = "brindlex-phone";
    char* argv_[2] = {name_, nullptr};
    QCoreApplication application_{argc_, argv_};
};
