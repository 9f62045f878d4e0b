#include "app/shell/Translations.h"

#include "platform/AppBundle.h"

#include <QCoreApplication>
#include <QDir>
#include <QRegularExpression>
#include <QSet>
#include <QTranslator>

QString Translations::bundleDirectory() { return QString::fromStdString(AppBundle::directory()) + "/translations"; }

int Translations::install(QCoreApplication& app, const QString& directory, const QLocale& locale) {
    // The parts present: "brindlex_shell" of "brindlex_shell_de.qm".
    static const QRegularExpression partName(QStringLiteral("^(brindlex_[a-z]+)_"));
    QSet<QString> parts;
    for (const QString& file : QDir(directory).entryList({QStringLiteral("brindlex_*.qm")}, QDir::Files)) {
        const auto match = partName.match(file);
        if (match.hasMatch()) parts.insert(match.captured(1));
    }
    int installed = 0;
    for (const QString& part : parts) {
        auto* translator = new QTranslator(&app);
        if (translator->load(locale, part, QStringLiteral("_"), directory) &&
            QCoreApplication::installTranslator(translator))
            ++installed;
        else
            delete translator;
    }
    return installed;
}
