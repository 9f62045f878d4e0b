// brindlex-screens OUTPUT_DIR
//
// Renders each screen of the app on the current device root to a PNG, on
// Qt's offscreen platform: what ./run shows on a machine without a display,
// and a quick way to look at every screen after a change.
#include "app/shell/BrindlexAppDelegate.h"
#include "platform/ProgramLog.h"
#include "app/shell/Translations.h"
#include "app/shell/RootViewController.h"
#include "platform/AppBundle.h"
#include "platform/ui/ActionSheet.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/PhoneStyle.h"
#include "platform/ui/PhoneWindow.h"
#include "platform/cli/CommandLine.h"

#include <QAbstractAnimation>
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QLocale>
#include <QTest>

#include <cstdio>
#include <cstdlib>

namespace {

QString outputDirectory;

// Far beyond any slide, fade or background count on the demo device.
constexpr int kTimeoutMs = 30000;

bool animationsRunning() {
    for (const QWidget* top : QApplication::topLevelWidgets())
        for (const QAbstractAnimation* animation : top->findChildren<QAbstractAnimation*>())
            if (animation->state() == QAbstractAnimation::Running) return true;
    return false;
}

// Until every slide and fade has ended (the progress overlay's spinner
// included, which runs until the overlay goes) and what they left for the
// next turn of the event loop has run.
void settle(PhoneWindow& window) {
    if (!QTest::qWaitFor([&window] { return !window.navigationController().isAnimating() && !animationsRunning(); },
                         kTimeoutMs))
        ProgramLog::print("an animation never ended\n");
    QCoreApplication::sendPostedEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void save(PhoneWindow& window, const QString& name) {
    settle(window);
    const QString path = outputDirectory + "/" + name + ".png";
    window.grab().save(path);
    std::printf("%s\n", qPrintable(path));
}

}  // namespace

int main(int argc, char** argv) {
    ProgramLog::setProgramName("brindlex-screens");
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Renders every screen of the app on the current device root to PNG files in OUTPUT_DIR."));
    parser.addPositionalArgument(QStringLiteral("OUTPUT_DIR"), QStringLiteral("the folder for the PNG files"));
    if (const auto status = CommandLine::parse(parser, app.arguments(), 1)) return *status;
    if (parser.positionalArguments().isEmpty())
        return CommandLine::usageError(parser, QStringLiteral("no output folder given"));
    QApplication::setApplicationName(QStringLiteral("Brindlex"));
    outputDirectory = QDir(parser.positionalArguments().constFirst()).absolutePath();
    QDir().mkpath(outputDirectory);

    Translations::install(app, Translations::bundleDirectory());
    PhoneStyle::install();

    BrindlexAppDelegate delegate;
    delegate.applicationDidFinishLaunching();
    PhoneWindow& window = *delegate.window();
    RootViewController& root = *delegate.rootViewController();
    // The counts arrive from a background thread.
    if (!QTest::qWaitFor([&root] { return !root.isCounting(); }, kTimeoutMs))
        ProgramLog::print("the main screen's count never arrived\n");
    save(window, "main");

    // Every screen the main screen opens, one after the other.
    const struct {
        const char* name;
        void (RootViewController::*open)();
    } screens[] = {
        {"about", &RootViewController::showAboutView},
        {"period", &RootViewController::datePickView},
        {"person", &RootViewController::showPersonSelectView},
        {"exclusions", &RootViewController::showExcludedView},
        {"preferences", &RootViewController::showPreferencesView},
        {"message-list", &RootViewController::showDetails},
        {"chart", &RootViewController::showChart},
        {"report", &RootViewController::showReport},
    };
    for (const auto& screen : screens) {
        (root.*screen.open)();
        // Each comes onto the navigation stack; chart and report once their
        // work, behind the progress overlay, is done.
        if (!QTest::qWaitFor([&window, &root] { return window.navigationController().topViewController() != &root; },
                             kTimeoutMs))
            ProgramLog::print("the %s screen never opened\n", screen.name);
        save(window, screen.name);
        window.navigationController().popToRootViewControllerAnimated(false);
    }

    root.showMessageTypeMenu();
    save(window, "message-type-menu");
    for (ActionSheet* sheet : root.findChildren<ActionSheet*>())
        if (sheet->isVisible()) sheet->dismissWithClickedButtonIndex(sheet->cancelButtonIndex(), false);

    root.confirmClearDB();
    save(window, "confirm-clear-db");
    return 0;
}
