#pragma once

#include <QLocale>
#include <QString>

#include <ctime>

// The date and time of one message as the list and the CSV export write it:
// "05 Mar 2013 09:15:00 PM" (two-digit day, abbreviated month, four-digit
// year, 12-hour clock with seconds and the AM/PM marker) in the locale's
// words and in local time.
class MessageDateFormatter {
public:
    explicit MessageDateFormatter(QLocale locale = QLocale()) : locale_(std::move(locale)) {}

    QString stringFromDate(std::time_t moment) const;

private:
    QLocale locale_;
};
