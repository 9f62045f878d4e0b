// brindlex-ui-stall-bench [--data DIR] [--runs R]
//
// How long the app's UI thread stops answering while it works on 200,000
// messages (the device of the chart benchmark, in a folder of its own, with
// a fixed period start so that every message is in the period). A heartbeat
// timer beats every few milliseconds on the UI thread; the longest gap
// between two beats is the longest time the window could not paint or take
// input. Beside it, the processor time the UI thread itself spent in its
// longest-working gap: on a busy machine a gap can also be time the thread
// waited for a processor, which no code of the app can shorten. Measured while the app launches again on the synced
// device (its seeding, sync, period, count and main screen), and while the Chart, the Report and the message list open,
// each until its screen is on top with its data. Every figure is the median and the worst of R runs, after one warm-up
// launch.
#include "app/charts/ChartViewController.h"
#include "app/charts/ReportViewController.h"
#include "app/list/RecordViewController.h"
#include "app/shell/BrindlexAppDelegate.h"
#include "app/shell/RootViewController.h"
#include "bench/BenchApp.h"
#include "bench/BenchDevice.h"
#include "bench/BenchReport.h"
#include "common/SettingsKeys.h"
#include "common/SettingsStore.h"
#include "platform/PropertyList.h"
#include "platform/ui/NavigationController.h"

#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kBeatMs = 2;
constexpr int kTargetMs = 50;
constexpr int kGiveUpMs = 60000;

// Milliseconds of processor time the calling thread has used.
double threadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

struct Stall {
    qint64 wallMs = 0;    // the longest gap between two beats
    qint64 workedMs = 0;  // the most processor time the UI thread used within one gap
};

// Beats on the UI thread and keeps the longest gap between two beats.
class Heartbeat {
public:
    Heartbeat() {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(kBeatMs);
        QObject::connect(&timer_, &QTimer::timeout, [this] { beat(); });
    }
    void start() {
        longest_ = {};
        sinceBeat_.start();
        cpuAtBeat_ = threadCpuMs();
        timer_.start();
    }
    // The longest gaps since start(), the one still open included.
    Stall stop() {
        beat();
        timer_.stop();
        return longest_;
    }

private:
    void beat() {
        const double cpu = threadCpuMs();
        longest_.wallMs = std::max(longest_.wallMs, sinceBeat_.restart());
        longest_.workedMs = std::max(longest_.workedMs, static_cast<qint64>(cpu - cpuAtBeat_ + 0.5));
        cpuAtBeat_ = cpu;
    }

    QTimer timer_;
    QElapsedTimer sinceBeat_;
    double cpuAtBeat_ = 0;
    Stall longest_;
};

bool waitFor(const std::function<bool()>& done) { return QTest::qWaitFor(done, kGiveUpMs); }

// Runs `step` from the event loop with the heartbeat going, and returns the
// longest gaps until `done` holds; -1 when it never does.
Stall longestStall(const std::function<void()>& step, const std::function<bool()>& done) {
    Heartbeat heartbeat;
    heartbeat.start();
    QTimer::singleShot(0, step);
    QTest::qWait(kBeatMs * 5);  // the step has run
    const bool finished = waitFor(done);
    const Stall longest = heartbeat.stop();
    return finished ? longest : Stall{-1, -1};
}

bool settled(BrindlexAppDelegate& app) {
    return !app.navigationController()->isAnimating() && !app.rootViewController()->isCounting();
}

// The screen on top once every slide and count has ended.
template <typename Screen>
bool onTop(BrindlexAppDelegate& app, Screen* screen) {
    return screen && settled(app) && app.navigationController()->topViewController() == screen;
}

struct Figures {
    std::vector<Stall> relaunch, chart, report, list;
};

void measureOnce(std::unique_ptr<BrindlexAppDelegate>& app, Figures& figures) {
    // Relaunch: the old app goes first, outside the measurement.
    app.reset();
    figures.relaunch.push_back(longestStall(
        [&app] {
            app = std::make_unique<BrindlexAppDelegate>();
            app->applicationDidFinishLaunching();
        },
        [&app] { return app && settled(*app); }));
    RootViewController& root = *app->rootViewController();
    NavigationController& navigation = *app->navigationController();

    figures.chart.push_back(
        longestStall([&root] { root.showChart(); }, [&] { return onTop(*app, root.chartViewController()); }));
    navigation.popToRootViewControllerAnimated(false);
    figures.report.push_back(
        longestStall([&root] { root.showReport(); }, [&] { return onTop(*app, root.reportViewController()); }));
    navigation.popToRootViewControllerAnimated(false);
    figures.list.push_back(longestStall([&root] { root.showDetails(); },
                                        [&] {
                                            RecordViewController* list = root.recordViewController();
                                            if (!onTop(*app, list)) return false;
                                            list->repaint();  // its first rows on the screen
                                            return true;
                                        }));
    navigation.popToRootViewControllerAnimated(false);
}

bool report(const char* what, const std::vector<Stall>& runs) {
    std::vector<double> wall, worked;
    for (const Stall& run : runs) {
        if (run.wallMs < 0) {
            std::printf("  %-28s NEVER FINISHED\n", what);
            return false;
        }
        wall.push_back(run.wallMs);
        worked.push_back(run.workedMs);
    }
    const BenchReport::Summary gap = BenchReport::summaryOf(wall), busy = BenchReport::summaryOf(worked);
    const bool met = gap.worst <= kTargetMs;
    std::printf(
        "  %-28s longest gap median %4lld ms, worst %4lld ms%s; UI thread working median %3lld ms, worst %3lld "
        "ms\n",
        what, static_cast<long long>(gap.median), static_cast<long long>(gap.worst), met ? "" : " (MISSED)",
        static_cast<long long>(busy.median), static_cast<long long>(busy.worst));
    return met;
}

}  // namespace

int main(int argc, char** argv) {
    const auto arguments = BenchReport::parseArguments(argc, argv, "brindlex-ui-stall-bench");
    if (!arguments) return 2;
    const std::string root = BenchDevice::enter(arguments->data + "/ui", "new");
    if (!BenchDevice::build(root, "6.1.3")) return 1;
    // A fixed period start before the first message: the period then holds
    // all of them, whatever today is.
    SettingsStore::update([](PropertyList& settings) {
        settings.setDouble(SettingsKeys::kLastFromDate, static_cast<double>(BenchDevice::kFrom));
        settings.remove(SettingsKeys::kCycleMode);
    });

    const auto application = BenchApp::start(argc, argv);

    std::printf(
        "longest stall of the UI thread (target <= %d ms), %zu messages, %zu addresses, %zu contacts, %d runs\n",
        kTargetMs, BenchDevice::kMessages, BenchDevice::kAddresses, BenchDevice::kContacts, arguments->runs);
    std::fflush(stdout);
    // Warm-up: the first launch may still copy messages and fill caches.
    auto app = std::make_unique<BrindlexAppDelegate>();
    app->applicationDidFinishLaunching();
    waitFor([&app] { return settled(*app); });

    Figures figures;
    for (int run = 0; run < arguments->runs; ++run) measureOnce(app, figures);
    app.reset();
    bool met = report("relaunch (start to total)", figures.relaunch);
    met = report("chart", figures.chart) && met;
    met = report("report", figures.report) && met;
    met = report("message list", figures.list) && met;
    std::fflush(stdout);
    return met ? 0 : 1;
}
