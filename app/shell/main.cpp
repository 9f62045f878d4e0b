// Brindlex: the app. One window per device root; a second start hands its
// brindlex: URLs to the running app and exits.
#include "app/shell/BrindlexAppDelegate.h"
#include "app/shell/Translations.h"
#include "app/shell/SingleInstance.h"
#include "platform/AppBundle.h"
#include "platform/DevicePaths.h"
#include "platform/ui/PhoneStyle.h"

#include <QApplication>
#include <QLocale>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Brindlex"));
    QApplication::setApplicationVersion(QStringLiteral(BRINDLEX_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("org.brindlex.Brindlex"));

    const QStringList urls = app.arguments().mid(1);
    SingleInstance instance(SingleInstance::keyForDeviceRoot(QString::fromStdString(DevicePaths::root())));
    QString error;
    if (!instance.start(urls, &error)) {
        if (error.isEmpty()) return 0;
        std::fprintf(stderr, "Brindlex: %s\n", qPrintable(error));
        return 1;
    }

    Translations::install(app, Translations::bundleDirectory());
    PhoneStyle::install();

    BrindlexAppDelegate delegate;
    QObject::connect(&instance, &SingleInstance::messageReceived, &delegate, &BrindlexAppDelegate::openURL);
    delegate.applicationDidFinishLaunching(urls);
    return app.exec();
}
