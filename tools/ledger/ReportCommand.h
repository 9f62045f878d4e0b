#pragma once

#include <QStringList>

#include <ctime>

// brindlex-ledger report: the numbers the app shows for a period, on
// standard output as text, CSV or JSON. It syncs first, as the app does when
// it comes to the front, unless told not to. Wrong arguments give status 2,
// a device it cannot read or count status 1, each with one line on standard
// error.
class ReportCommand {
public:
    // `arguments`: the program name, "report", then the report's options.
    static int run(const QStringList& arguments, std::time_t now);
};
