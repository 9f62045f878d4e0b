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

#include <QApplication>
#include <QCommandLineParser>
#include <QLocale>

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
        return 1;
    }
    SingleInstance instance(SingleInstance::keyForDeviceRoot(QString::fromStdString(DevicePaths::root())));
    QString error;
    if (!instance.start(urls, &error)) {
        if (error.isEmpty()) return 0;
        ProgramLog::print("%s\n", qPrintable(error));
        return 1;
    }

    Translations::install(app, Translations::bundleDirectory());
    PhoneStyle::install();

    BrindlexAppDelegate delegate;
    QObject::connect(&instance, &SingleInstance::messageReceived, &delegate, &BrindlexAppDelegate::openURL);
    delegate.applicationDidFinishLaunching(urls);
    return app.exec();
}
