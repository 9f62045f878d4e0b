#include "app/shell/BackgroundWork.h"

#include <QPointer>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

namespace {

// A count and a chart may overlap; more would only compete for the disk.
constexpr int kThreads = 2;
// The work yields the processor to the UI thread: on a busy machine the
// window keeps painting, and the counts take a little longer.
constexpr int kWorkerNiceness = 10;

// Touched on the UI thread only, where results are delivered.
struct HeldResults {
    bool hold = false;
    struct Result {
        QPointer<BackgroundWork> work;
        std::uint64_t order;
        std::function<void()> apply;
    };
    std::vector<Result> results;
};

HeldResults& held() {
    static HeldResults instance;
    return instance;
}

}  // namespace

BackgroundWork::BackgroundWork(QObject* parent) : QObject(parent) { pool_.setMaxThreadCount(kThreads); }

BackgroundWork::~BackgroundWork() { pool_.waitForDone(); }

void BackgroundWork::waitForDone() { pool_.waitForDone(); }

void BackgroundWork::yieldToUiThread() {
    thread_local bool lowered = false;
    if (lowered) return;
    lowered = true;
    // On Linux the niceness of PRIO_PROCESS with a thread's id is that
    // thread's alone. Failing to lower it costs only smoothness.
    static_cast<void>(::setpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)), kWorkerNiceness));
}

void BackgroundWork::deliver(std::uint64_t order, std::function<void()> apply) {
    if (held().hold) {
        held().results.push_back({this, order, std::move(apply)});
        return;
    }
    apply();
}

void BackgroundWork::holdResultsForTesting(bool hold) {
    held().hold = hold;
    if (!hold) held().results.clear();
}

int BackgroundWork::heldResultCountForTesting() { return static_cast<int>(held().results.size()); }

void BackgroundWork::releaseHeldResultsNewestFirstForTesting() {
    auto results = std::move(held().results);
    held().results.clear();
    held().hold = false;
    std::stable_sort(results.begin(), results.end(),
                     [](const HeldResults::Result& a, const HeldResults::Result& b) { return a.order > b.order; });
    for (const HeldResults::Result& result : results)
        if (result.work) result.apply();  // its receiver still lives
}
