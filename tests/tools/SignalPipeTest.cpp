#include "platform/cli/SignalPipe.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <gtest/gtest.h>

#include <csignal>

namespace {

volatile std::sig_atomic_t earlierHandlerCalls = 0;
extern "C" void earlierHandler(int) { earlierHandlerCalls = earlierHandlerCalls + 1; }

// The event loop turns until `done` or five seconds have passed.
template <typename Done>
bool processEventsUntil(Done done) {
    QDeadlineTimer deadline(5000);
    while (!done() && !deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return done();
}

class SignalPipeTest : public ::testing::Test {
protected:
    void SetUp() override {
        earlierHandlerCalls = 0;
        struct sigaction action = {};
        action.sa_handler = earlierHandler;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGINT, &action, &savedInterrupt_);
        ::sigaction(SIGTERM, &action, &savedTerminate_);
    }
    void TearDown() override {
        ::sigaction(SIGINT, &savedInterrupt_, nullptr);
        ::sigaction(SIGTERM, &savedTerminate_, nullptr);
    }

    int argc_ = 1;
    char name_[16] = "tests_tools";
    char* argv_[2] = {name_, nullptr};
    QCoreApplication app_{argc_, argv_};
    struct sigaction savedInterrupt_ = {};
    struct sigaction savedTerminate_ = {};
};

TEST_F(SignalPipeTest, EitherStopSignalBecomesOneInterruptionOnTheEventLoop) {
    for (int signal : {SIGINT, SIGTERM}) {
        SignalPipe pipe;
        ASSERT_TRUE(pipe.install());
        int interruptions = 0;
        QObject::connect(&pipe, &SignalPipe::interrupted, [&] { ++interruptions; });

        std::raise(signal);
        std::raise(signal);
        EXPECT_TRUE(processEventsUntil([&] { return pipe.received(); })) << signal;
        QCoreApplication::processEvents();
        EXPECT_EQ(interruptions, 1) << signal;
        EXPECT_EQ(earlierHandlerCalls, 0) << "the signal went to the handler that was there before";
    }
}

TEST_F(SignalPipeTest, TheHandlersThatWereThereBeforeComeBackWhenThePipeGoes) {
    {
        SignalPipe pipe;
        ASSERT_TRUE(pipe.install());
    }
    std::raise(SIGINT);
    std::raise(SIGTERM);
    EXPECT_EQ(earlierHandlerCalls, 2);
}

}  // namespace
