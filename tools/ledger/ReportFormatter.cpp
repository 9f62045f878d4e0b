#include "tools/ledger/ReportFormatter.h"

#include "common/CsvWriter.h"
#include "platform/TerminalText.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cstdio>
#include <sstream>

namespace {

// Columns are measured in characters, not bytes: names may be in any script.
std::size_t displayWidth(const std::string& text) {
    return static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

std::string padded(const std::string& text, std::size_t width, bool right) {
    const std::size_t length = displayWidth(text);
    const std::string fill(width > length ? width - length : 0, ' ');
    return right ? fill + text : text + fill;
}

// A table of rows whose first column is text and the others numbers.
std::string table(const std::vector<std::vector<std::string>>& rows) {
    std::vector<std::size_t> widths;
    for (const auto& row : rows) {
        widths.resize(std::max(widths.size(), row.size()), 0);
        for (std::size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], displayWidth(row[i]));
    }
    std::string out;
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t i = 0; i < row.size(); ++i) {
            if (i > 0) line += "  ";
            line += padded(row[i], widths[i], i > 0);
        }
        out += line + "\n";
    }
    return out;
}

QJsonArray stringArray(const std::vector<std::string>& values) {
    QJsonArray array;
    for (const std::string& value : values) array.append(QString::fromStdString(value));
    return array;
}

QJsonObject moment(std::time_t seconds) {
    const QDateTime local = QDateTime::fromSecsSinceEpoch(seconds);
    // The offset in the text, so the moment is unambiguous anywhere.
    return QJsonObject{{"seconds", static_cast<qint64>(seconds)},
                       {"local", local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODate)}};
}

}  // namespace

std::string ReportFormatter::format(Format format, const QuotaReport::Result& result, const Request& request) {
    switch (format) {
    case Format::Csv: return csv(result);
    case Format::Json: return json(result, request);
    case Format::Text: break;
    }
    return text(result, request);
}

std::string ReportFormatter::text(const QuotaReport::Result& result, const Request& request) {
    // Names come from the address book or the messages: shown on a terminal,
    // an escape sequence in one would be obeyed.
    std::string exclusions;
    for (const std::string& name : request.exclusions)
        exclusions += (exclusions.empty() ? "" : ", ") + TerminalText::safe(name);
    std::vector<std::vector<std::string>> totals{
        {"Period", localDate(result.period.from) + " to " + localDate(result.period.to)},
        {"Type", typeName(request.messageType)},
        {"Person", request.personName.empty() ? "All" : TerminalText::safe(request.personName)},
        {"Exclusions", exclusions.empty() ? "None" : exclusions},
        {"Messages", std::to_string(result.messages)},
        {"Segments", std::to_string(result.segments) + " (received " + std::to_string(result.received) + ", sent " +
                         std::to_string(result.sent) + ")"},
        {"Quota", result.quota > 0 ? std::to_string(result.quota) : "-"},
        {"Messages Left", result.quotaLeft ? std::to_string(*result.quotaLeft) : "-"},
    };
    std::string out;
    for (const auto& row : totals) out += padded(row[0] + ":", 15, false) + row[1] + "\n";

    std::vector<std::vector<std::string>> persons{{"Person", "Segments"}};
    for (const auto& row : result.persons)
        persons.push_back({TerminalText::safe(row.person.name()), std::to_string(row.segments)});
    out += '\n';
    out += table(persons);

    std::vector<std::vector<std::string>> months{{"Month", "Received", "Sent"}};
    int received = 0;
    int sent = 0;
    for (const auto& month : result.months) {
        months.push_back({monthName(month), std::to_string(month.incoming), std::to_string(month.outgoing)});
        received += month.incoming;
        sent += month.outgoing;
    }
    if (!result.months.empty()) months.push_back({"Total", std::to_string(received), std::to_string(sent)});
    out += '\n';
    out += table(months);
    return out;
}

std::string ReportFormatter::csv(const QuotaReport::Result& result) {
    CsvWriter out;
    for (const char* name : {"Kind", "Name", "Messages", "Segments", "Received", "Sent"}) out.text(name);
    out.endRecord();
    out.text("total");
    out.text("All");
    for (const int value : {result.messages, result.segments, result.received, result.sent}) out.number(value);
    out.endRecord();
    if (result.quotaLeft) {
        figureRecord(out, "quota", "Quota", result.quota);
        figureRecord(out, "left", "Messages Left", *result.quotaLeft);
    }
    // Names come from the address book or are the numbers themselves: text
    // from strangers, guarded like the app's export guards it.
    for (const auto& row : result.persons) figureRecord(out, "person", row.person.name(), row.segments);
    for (const auto& month : result.months) {
        out.text("month");
        out.text(monthName(month));
        out.text("");
        for (const int value : {month.incoming + month.outgoing, month.incoming, month.outgoing}) out.number(value);
        out.endRecord();
    }
    return out.csv();
}

void ReportFormatter::figureRecord(CsvWriter& out, const std::string& kind, const std::string& name, int segments) {
    out.text(kind);
    out.text(name);
    out.text("");
    out.number(segments);
    out.text("");
    out.text("");
    out.endRecord();
}

std::string ReportFormatter::json(const QuotaReport::Result& result, const Request& request) {
    QJsonArray persons;
    for (const auto& row : result.persons)
        persons.append(QJsonObject{{"name", QString::fromStdString(row.person.name())},
                                   {"numbers", stringArray(row.person.numSet())},
                                   {"segments", row.segments}});
    QJsonArray months;
    for (const auto& month : result.months)
        months.append(QJsonObject{{"month", QString::fromStdString(monthName(month))},
                                  {"received", month.incoming},
                                  {"sent", month.outgoing}});
    QJsonValue person = QJsonValue::Null;
    if (!request.personName.empty())
        person = QJsonObject{{"name", QString::fromStdString(request.personName)},
                             {"numbers", stringArray(request.personNumbers)}};

    const QJsonObject root{
        {"format", 1},
        {"period", QJsonObject{{"from", moment(result.period.from)}, {"to", moment(result.period.to)}}},
        {"type", QString::fromStdString(typeName(request.messageType))},
        {"person", person},
        {"exclusions", stringArray(request.exclusions)},
        {"messages", result.messages},
        {"segments", result.segments},
        {"received", result.received},
        {"sent", result.sent},
        {"quota", result.quota > 0 ? QJsonValue(result.quota) : QJsonValue(QJsonValue::Null)},
        {"quotaLeft", result.quotaLeft ? QJsonValue(*result.quotaLeft) : QJsonValue(QJsonValue::Null)},
        {"persons", persons},
        {"months", months},
    };
    return QJsonDocument(root).toJson(QJsonDocument::Indented).toStdString();
}

std::string ReportFormatter::localDate(std::time_t moment) {
    std::tm local{};
    ::localtime_r(&moment, &local);
    char text[16];
    std::strftime(text, sizeof text, "%Y-%m-%d", &local);
    return text;
}

std::string ReportFormatter::monthName(const MonthTotals::Month& month) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d", month.year, month.month);
    return text;
}

std::string ReportFormatter::typeName(MessageType messageType) {
    switch (messageType) {
    case MessageType::Received: return "received";
    case MessageType::Sent: return "sent";
    case MessageType::Both: break;
    }
    return "both";
}
