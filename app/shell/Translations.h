#pragma once

#include <QLocale>
#include <QString>

class QCoreApplication;

// Loads the app's translations for a locale: every brindlex_<part> file of
// the bundle's translations folder that has that locale. Texts without a
// translation show in English, their own key.
class Translations {
public:
    // The number of translation files installed.
    static int install(QCoreApplication& app, const QString& directory, const QLocale& locale = QLocale());
    static QString bundleDirectory();
};
