#pragma once

#include "app/shell/Translations.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>

// The app's German translation, installed for the life of the object: the
// default locale turns German, and the previous locale and no translators
// come back afterwards, so the next test sees the app as it was.
class GermanTranslations {
public:
    GermanTranslations() : previousLocale_(QLocale()) {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        installed_ = Translations::install(*qApp, Translations::bundleDirectory(), QLocale());
    }
    ~GermanTranslations() {
        // The translators are the application's children.
        for (QTranslator* translator : qApp->findChildren<QTranslator*>()) {
            QCoreApplication::removeTranslator(translator);
            delete translator;
        }
        QLocale::setDefault(previousLocale_);
    }
    GermanTranslations(const GermanTranslations&) = delete;
    GermanTranslations& operator=(const GermanTranslations&) = delete;

    // How many translation files were installed; 0 when none was found.
    int installed() const { return installed_; }

private:
    QLocale previousLocale_;
    int installed_ = 0;
};
