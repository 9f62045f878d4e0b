#pragma once

#include "common/QuotaReport.h"

#include <string>

class CsvWriter;

// Writes a report for people and for programs:
//
// - text: the totals as label and value, then the per-person and the
//   per-month tables, each column aligned (numbers to the right);
// - csv: one table, a header line and one line per figure, each ended by a
//   line feed, written by the app's export's CsvWriter: a field holding a
//   comma, a quote or a line break is quoted with its quotes doubled, and a
//   name a spreadsheet would take for a formula gets a leading apostrophe:
//
//     Kind,Name,Messages,Segments,Received,Sent
//     total,All,12,14,6,8
//     quota,Quota,,500,,          (only with a quota)
//     left,Messages Left,,486,,   (only with a quota)
//     person,Anna Becker,,9,,
//     month,2013-03,,14,6,8
//
// - json: one object, its members in alphabetical order, described in the
//   README under "The report from the command line"; "format" says which
//   version of that shape it is.
class ReportFormatter {
public:
    enum class Format { Text, Csv, Json };

    // What the report was asked for, shown beside the numbers.
    struct Request {
        MessageType messageType = MessageType::Both;
        std::string personName;  // empty: all persons
        std::vector<std::string> personNumbers;
        std::vector<std::string> exclusions;  // names of the excluded persons
    };

    static std::string format(Format format, const QuotaReport::Result& result, const Request& request);

    static std::string text(const QuotaReport::Result& result, const Request& request);
    static std::string csv(const QuotaReport::Result& result);
    static std::string json(const QuotaReport::Result& result, const Request& request);

    // "2013-03-05": a moment's local date.
    static std::string localDate(std::time_t moment);
    // "2013-03"
    static std::string monthName(const MonthTotals::Month& month);
    static std::string typeName(MessageType messageType);

private:
    // kind,name,,segments,,
    static void figureRecord(CsvWriter& out, const std::string& kind, const std::string& name, int segments);
};
