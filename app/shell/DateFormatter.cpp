#include "app/shell/DateFormatter.h"

#include <QDateTime>

QString DateFormatter::mediumDateFormat() const {
    if (locale_.language() == QLocale::English) return QStringLiteral("MMM d, yyyy");
    // Elsewhere the locale's short form, with the full year that a medium
    // date always shows.
    QString format = locale_.dateFormat(QLocale::ShortFormat);
    if (!format.contains(QStringLiteral("yyyy"))) format.replace(QStringLiteral("yy"), QStringLiteral("yyyy"));
    return format;
}

QString DateFormatter::stringFromDate(std::time_t moment) const {
    const QDate date = QDateTime::fromSecsSinceEpoch(static_cast<qint64>(moment)).date();
    return locale_.toString(date, mediumDateFormat());
}
