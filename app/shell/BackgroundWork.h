#pragma once

#include <QObject>
#include <QThreadPool>

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>

// Runs work off the UI thread and hands its result back on the thread this
// object lives on, through the event loop, so the window keeps painting
// (and the progress overlay spinning) while the database is read. The work
// gets copies of everything it needs and must not touch widgets; each piece
// opens its own database connection. Results arrive in the order the work
// finishes, not the order it was started: callers that care number their
// requests and drop a late answer to an older one. Destroying this object
// waits for the work in progress; results not yet delivered are dropped.
class BackgroundWork : public QObject {
    Q_OBJECT

public:
    explicit BackgroundWork(QObject* parent = nullptr);
    ~BackgroundWork() override;

    template <typename Result>
    void run(std::function<Result()> work, std::function<void(Result)> apply) {
        const std::uint64_t order = ++started_;
        pool_.start([this, order, work = std::move(work), apply = std::move(apply)] {
            yieldToUiThread();
            auto result = std::make_shared<Result>(work());
            // Queued to this object: if it is gone by then, Qt drops the call.
            QMetaObject::invokeMethod(
                this, [this, order, apply, result] { deliver(order, [apply, result] { apply(std::move(*result)); }); },
                Qt::QueuedConnection);
        });
    }

    // Blocks until every piece of work started so far has finished (its
    // results are still delivered through the event loop).
    void waitForDone();

    // Tests hold results back as they arrive and then hand them over in the
    // reverse order of their requests, as a slow old request and a quick new
    // one would arrive.
    static void holdResultsForTesting(bool hold);
    static int heldResultCountForTesting();
    static void releaseHeldResultsNewestFirstForTesting();

private:
    void deliver(std::uint64_t order, std::function<void()> apply);
    // Lowers the calling worker thread's priority, once per thread.
    static void yieldToUiThread();

    std::uint64_t started_ = 0;  // on the UI thread

    QThreadPool pool_;
};
