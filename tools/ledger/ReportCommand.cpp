#include "tools/ledger/ReportCommand.h"
#include "tools/ledger/LedgerSync.h"
#include "platform/ProgramLog.h"

#include "common/BillingPeriod.h"
#include "common/ExclusionList.h"
#include "common/MarkerSync.h"
#include "common/PhoneProfile.h"
#include "common/QuotaReport.h"
#include "common/Seeding.h"
#include "common/SettingsStore.h"
#include "platform/DevicePaths.h"
#include "platform/SqliteDatabase.h"
#include "platform/SqliteStatement.h"
#include "platform/TerminalText.h"
#include "platform/cli/CommandLine.h"
#include "tools/ledger/ReportFormatter.h"

#include <QCommandLineParser>
#include <QDate>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QCommandLineOption kPeriod(QStringLiteral("period"),
                                 QStringLiteral("current or previous billing period (default: current)"),
                                 QStringLiteral("current|previous"));
const QCommandLineOption kFrom(QStringLiteral("from"), QStringLiteral("first day of the report"),
                               QStringLiteral("YYYY-MM-DD"));
const QCommandLineOption kTo(QStringLiteral("to"), QStringLiteral("last day of the report (default: today)"),
                             QStringLiteral("YYYY-MM-DD"));
const QCommandLineOption kPerson(QStringLiteral("person"),
                                 QStringLiteral("only the messages with this contact or number"),
                                 QStringLiteral("NAME|NUMBER"));
const QCommandLineOption kType(QStringLiteral("type"), QStringLiteral("which messages count (default: both)"),
                               QStringLiteral("sent|received|both"));
const QCommandLineOption kFormat(QStringLiteral("format"), QStringLiteral("output format (default: text)"),
                                 QStringLiteral("text|csv|json"));
const QCommandLineOption kNoSync(QStringLiteral("no-sync"),
                                 QStringLiteral("count what the counter database holds, without copying new messages"));

bool isDirectory(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// 00:00:00 (or 23:59:59 with `endOfDay`) local time of a YYYY-MM-DD date.
std::optional<std::time_t> dayBound(const QString& text, bool endOfDay) {
    const QDate date = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
    if (!date.isValid()) return std::nullopt;
    std::tm local{};
    local.tm_year = date.year() - 1900;
    local.tm_mon = date.month() - 1;
    local.tm_mday = date.day();
    local.tm_hour = endOfDay ? 23 : 0;
    local.tm_min = endOfDay ? 59 : 0;
    local.tm_sec = endOfDay ? 59 : 0;
    local.tm_isdst = -1;
    return std::mktime(&local);
}

struct Choice {
    std::optional<int> status;  // set: end with this status
    QuotaReport::Period period;
    MessageType messageType = MessageType::Both;
    ReportFormatter::Format format = ReportFormatter::Format::Text;
};

// The options that need no device: each wrong value is a usage error.
Choice readOptions(const QCommandLineParser& parser, const PropertyList* settings, std::time_t now) {
    Choice choice;
    const auto usage = [&](const QString& message) {
        choice.status = CommandLine::usageError(parser, message);
        return choice;
    };
    const QString type = parser.value(kType);
    if (type == QLatin1String("received"))
        choice.messageType = MessageType::Received;
    else if (type == QLatin1String("sent"))
        choice.messageType = MessageType::Sent;
    else if (!type.isEmpty() && type != QLatin1String("both"))
        return usage(QStringLiteral("--type must be sent, received or both, not '%1'").arg(type));

    const QString format = parser.value(kFormat);
    if (format == QLatin1String("csv"))
        choice.format = ReportFormatter::Format::Csv;
    else if (format == QLatin1String("json"))
        choice.format = ReportFormatter::Format::Json;
    else if (!format.isEmpty() && format != QLatin1String("text"))
        return usage(QStringLiteral("--format must be text, csv or json, not '%1'").arg(format));

    const bool range = parser.isSet(kFrom) || parser.isSet(kTo);
    if (range && parser.isSet(kPeriod)) return usage(QStringLiteral("--period cannot be combined with --from or --to"));
    if (range) {
        if (!parser.isSet(kFrom)) return usage(QStringLiteral("--to needs --from"));
        const auto from = dayBound(parser.value(kFrom), false);
        if (!from) return usage(QStringLiteral("--from '%1' is not a date (YYYY-MM-DD)").arg(parser.value(kFrom)));
        const auto to =
            parser.isSet(kTo) ? dayBound(parser.value(kTo), true) : std::optional(BillingPeriod::periodEnd(now));
        if (!to) return usage(QStringLiteral("--to '%1' is not a date (YYYY-MM-DD)").arg(parser.value(kTo)));
        if (*from > *to) return usage(QStringLiteral("--from is after --to"));
        choice.period = {*from, *to};
        return choice;
    }
    const QString period = parser.value(kPeriod);
    if (period.isEmpty() || period == QLatin1String("current")) {
        choice.period = QuotaReport::currentPeriod(settings, now);
    } else if (period == QLatin1String("previous")) {
        const auto previous = QuotaReport::previousPeriod(settings, now);
        if (!previous) {
            choice.status = CommandLine::fail(
                QStringLiteral("the period has a fixed start date and no period before it; use --from and --to"));
            return choice;
        }
        choice.period = *previous;
    } else {
        return usage(QStringLiteral("--period must be current or previous, not '%1'").arg(period));
    }
    return choice;
}

// The device root, its data directory and a readable counter database; a
// message for the first that is missing.
std::optional<QString> deviceProblem() {
    if (!isDirectory(DevicePaths::root())) return QString::fromStdString(LedgerSync::noPhoneData());
    if (!isDirectory(DevicePaths::dataDirectory()))
        return QStringLiteral("no data directory at %1").arg(QString::fromStdString(DevicePaths::dataDirectory()));
    const std::string path = PhoneProfile::find().counterDatabase();
    SqliteDatabase db;
    SqliteStatement probe;
    if (!db.open(path, SqliteDatabase::Mode::ReadOnly) || !probe.prepare(db, "SELECT count(*) FROM message") ||
        probe.step() != SqliteStatement::Step::Row)
        return QStringLiteral("cannot read the counter database %1").arg(QString::fromStdString(path));
    return std::nullopt;
}

// Each line made safe for a terminal, the line feeds between them kept.
std::string safeLines(const std::string& output) {
    std::string safe;
    std::size_t start = 0;
    while (start < output.size()) {
        const std::size_t end = std::min(output.find('\n', start), output.size());
        safe += TerminalText::safe(std::string_view(output).substr(start, end - start));
        if (end < output.size()) safe += '\n';
        start = end + 1;
    }
    return safe;
}

}  // namespace

int ReportCommand::run(const QStringList& arguments, std::time_t now) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "report: the numbers the app shows for a period: total messages and segments, the messages left of\n"
        "the quota, per person and per month, with the saved exclusions applied."));
    parser.addPositionalArgument(QStringLiteral("report"), QStringLiteral("the report command"));
    parser.addOptions({kPeriod, kFrom, kTo, kPerson, kType, kFormat, kNoSync});
    if (const auto status = CommandLine::parse(parser, arguments, 1)) return *status;

    // Usage errors come first: they need no device.
    const auto early = readOptions(parser, nullptr, now);
    if (early.status) return *early.status;

    // The counter database is seeded as the app would at its start, and
    // checked before the sync touches it.
    if (isDirectory(DevicePaths::dataDirectory())) Seeding::copyIfNeeded();
    if (const auto problem = deviceProblem()) return CommandLine::fail(*problem);
    const bool syncFailed = !parser.isSet(kNoSync) && MarkerSync::syncWithStoredMarkers().status != SyncStatus::Ok;

    const auto settings = SettingsStore::load();
    const PropertyList* values = settings ? &*settings : nullptr;
    const Choice choice = readOptions(parser, values, now);
    if (choice.status) return *choice.status;

    QuotaReport::Options options;
    options.period = choice.period;
    options.messageType = choice.messageType;
    options.excluded = ExclusionList::fromSettings(values);
    options.quota = SettingsStore::smsquota(values);
    ReportFormatter::Request request;
    request.messageType = choice.messageType;
    for (const Person& excluded : options.excluded) request.exclusions.push_back(excluded.name());
    if (parser.isSet(kPerson)) {
        const std::string wanted = parser.value(kPerson).toStdString();
        const Counted<std::optional<Person>> found = QuotaReport::findPerson(wanted);
        if (!found) return CommandLine::fail(QString::fromStdString(found.failure()));
        options.person = found.value();
        if (!options.person)
            return CommandLine::fail(QStringLiteral("no messages with '%1'").arg(parser.value(kPerson)));
        request.personName = options.person->name();
        request.personNumbers = options.person->numSet();
    }

    // The database can still fail after the check above: a damaged page among
    // the rows, a table of another layout. No report then, not one of zeros.
    const Counted<QuotaReport::Result> report = QuotaReport::build(options);
    if (!report) return CommandLine::fail(QString::fromStdString(report.failure()));
    // Said only with a report after it: without one, why there is none is the
    // line that matters.
    if (syncFailed) ProgramLog::print("the sync failed; the report shows what was copied before\n");
    std::string output = ReportFormatter::format(choice.format, report.value(), request);
    // The text form shows names safely wherever it goes; CSV and JSON stay
    // the data they are in a file or a pipe, but not on a terminal.
    if (choice.format != ReportFormatter::Format::Text && ::isatty(STDOUT_FILENO)) output = safeLines(output);
    std::fwrite(output.data(), 1, output.size(), stdout);
    return std::fflush(stdout) == 0 ? CommandLine::kSuccess : CommandLine::kFailure;
}
