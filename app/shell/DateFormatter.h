#pragma once

#include <QLocale>
#include <QString>

#include <ctime>

// Dates as the app shows them: the locale's medium style without a time
// ("Mar 20, 2013" in English, "20.03.2013" in German), in local time.
class DateFormatter {
public:
    explicit DateFormatter(QLocale locale = QLocale()) : locale_(std::move(locale)) {}

    QString stringFromDate(std::time_t moment) const;
    QString mediumDateFormat() const;

private:
    QLocale locale_;
};
