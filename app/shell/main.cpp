// Brindlex: the app. One window per device root; a second start hands its
// brindlex: URLs to the running app and exits.
#include "app/shell/BrindlexAppDelegate.h"
#include "platform/ProgramLog.h"
#include "platform/TerminalText.h"
#include "app/shell/Translations.h"
#include "app/shell/SingleInstance.h"
#include "platform/AppBundle.h"
#include "platform/DevicePaths.h"
#include "platform/ui/PhoneStyle.h"
#include "platform/cli/CommandLine.h"
#include "platform/cli/SignalPipe.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QLocale>
#include <QMessageBox>

#include <cstdio>

namespace {

void describe(QCommandLineParser& parser) {
    QCoreApplication::setApplicationName(QStringLiteral("Brindlex"));
    parser.setApplicationDescription(QStringLiteral(
        "Counts the text messages of the phone in the device root and shows where the monthly quota stands.\n"
        "A second start hands its URLs to the running app and exits."));
    parser.addPositionalArgument(QStringLiteral("URL"), QStringLiteral("brindlex://hideSMS or brindlex://showSMS"),
                                 QStringLiteral("[URL...]"));
}

// Started from the desktop's menu nobody reads standard error, so the
// reason is shown in a window as well. An offscreen run (tests, scripts) has
// nobody to close one.
void showRefusal(const std::string& why) {
    if (QGuiApplication::platformName() == QLatin1String("offscreen")) return;
    QMessageBox::critical(nullptr, QStringLiteral("Brindlex"), QString::fromStdString(why));
}

}  // namespace

int main(int argc, char** argv) {
    ProgramLog::setProgramName("Brindlex");
    // Help and version are answered without a display.
    if (CommandLine::asksForHelpOrVersion(argc, argv)) {
        QCoreApplication app(argc, argv);
        QCommandLineParser parser;
        describe(parser);
        return CommandLine::parse(parser, app.arguments()).value_or(CommandLine::kSuccess);
    }
    QApplication app(argc, argv);
    QCommandLineParser parser;
    describe(parser);
    if (const auto status = CommandLine::parse(parser, app.arguments())) return *status;
    QApplication::setApplicationVersion(CommandLine::version());
    QApplication::setDesktopFileName(QStringLiteral("org.brindlex.Brindlex"));

    const QStringList urls = parser.positionalArguments();
    // Nothing is read or written in a root another user could read or change.
    if (const std::string why = DevicePaths::secureRoot(); !why.empty()) {
        ProgramLog::print("%s\n", TerminalText::safe(why).c_str());
        showRefusal(why);
        return 1;
    }
    // Refused alike whether this start opens them or hands them over.
    if (const QString refused = SingleInstance::checkMessages(urls); !refused.isEmpty()) {
        ProgramLog::print("%s\n", qPrintable(refused));
        return CommandLine::kUsage;
    }
    // A stop by signal leaves through the event loop, so the socket and the
    // lock are removed and the settings saved as at any other quit. Set up
    // before the socket exists, so no stop can leave it behind.
    SignalPipe stopRequests;
    if (stopRequests.install())
        QObject::connect(&stopRequests, &SignalPipe::interrupted, &app, &QCoreApplication::quit);
    SingleInstance instance(SingleInstance::keyForDeviceRoot(QString::fromStdString(DevicePaths::root())));
    QString error;
    const bool running = instance.start(urls, &error);
    if (!error.isEmpty()) ProgramLog::print("%s\n", qPrintable(error));
    if (!running) return error.isEmpty() ? 0 : 1;

    Translations::install(app, Translations::bundleDirectory());
    PhoneStyle::install();

    BrindlexAppDelegate delegate;
    QObject::connect(&instance, &SingleInstance::messagesReceived, &delegate, &BrindlexAppDelegate::openURLs);
    delegate.applicationDidFinishLaunching(urls);
    return app.exec();
}
