// brindlex-startup-bench DEVICE_ROOT...
//
// Time from launch to the first paint of the app's window, on the offscreen
// platform, for each device root given: seeding, the sync, the period, the
// counts and building the main screen, as the program does them.
#include "app/shell/BrindlexAppDelegate.h"
#include "bench/BenchApp.h"
#include "bench/BenchReport.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QTest>

#include <cstdio>
#include <cstdlib>

namespace {

// Notes the moment the first paint of the watched window begins.
class FirstPaint : public QObject {
public:
    explicit FirstPaint(const QElapsedTimer& clock) : clock_(clock) {}
    qint64 elapsedMs = -1;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && elapsedMs < 0) elapsedMs = clock_.elapsed();
        return false;
    }

private:
    const QElapsedTimer& clock_;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        BenchReport::printUsage("brindlex-startup-bench", "DEVICE_ROOT...");
        return 2;
    }
    const auto app = BenchApp::start(argc, argv);
    for (int i = 1; i < argc; ++i) {
        ::setenv("BRINDLEX_DEVICE_ROOT", argv[i], 1);
        QElapsedTimer clock;
        clock.start();
        FirstPaint firstPaint(clock);
        BrindlexAppDelegate delegate;
        app->installEventFilter(&firstPaint);
        delegate.applicationDidFinishLaunching();
        while (firstPaint.elapsedMs < 0 && clock.elapsed() < 30000) QTest::qWait(1);
        app->removeEventFilter(&firstPaint);
        std::printf("%-60s launch to first paint: %lld ms\n", argv[i], static_cast<long long>(firstPaint.elapsedMs));
    }
    return 0;
}
