// Every program's command line as a new user meets it, and brindlex-ledger
// report end to end: its formats on a demo device and one line of error for
// each kind of bad input, never a crash or a stack of warnings.
#include "common/PhoneProfile.h"
#include "common/QuotaReport.h"
#include "common/Seeding.h"
#include "common/SettingsStore.h"
#include "platform/DevicePaths.h"
#include "platform/SqliteDatabase.h"
#include "support/ProgramRun.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDeviceRoot.h"
#include "tools/fixtures/DeviceFixture.h"
#include "tools/ledger/ReportFormatter.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::size_t lines(const std::string& text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

class CommandLineTest : public ::testing::Test {
protected:
    CommandLineTest() {
        ::setenv("BRINDLEX_DEVICE_ROOT", root_.path().c_str(), 1);
        // What a desktop session provides; without it Qt's GUI programs warn.
        ::setenv("XDG_RUNTIME_DIR", scratch_.path().c_str(), 1);
    }
    ~CommandLineTest() override { ::unsetenv("XDG_RUNTIME_DIR"); }

    // Runs a program of bin/ with shell-quoted arguments; the device root
    // comes from the environment the child inherits.
    ProgramRun run(const std::string& program, const std::string& arguments) {
        return ProgramRun::of(program, arguments + " </dev/null", scratch_.path());
    }

    // A device root filled by the phone simulator's demo.
    void demoDevice() {
        const ProgramRun demo = run("brindlex-phone", "demo");
        ASSERT_EQ(demo.status, 0) << demo.err;
    }

    ScopedEnvironment tz_{"TZ", std::string("UTC")};
    ScopedEnvironment display_{"QT_QPA_PLATFORM", std::string("offscreen")};
    TempDeviceRoot scratch_;  // the programs' output files
    TempDeviceRoot root_;
};

TEST_F(CommandLineTest, EveryProgramAnswersHelpAndVersionAndRefusesUnknownOptions) {
    for (const char* program :
         {"Brindlex", "brindlex-badged", "brindlex-ledger", "brindlex-phone", "brindlex-screens"}) {
        SCOPED_TRACE(program);
        const ProgramRun help = run(program, "--help");
        EXPECT_EQ(help.status, 0) << help.err;
        EXPECT_NE(help.out.find("sage"), std::string::npos) << help.out;  // "Usage:" or "usage:"
        EXPECT_EQ(help.err, "");

        const ProgramRun version = run(program, "--version");
        EXPECT_EQ(version.status, 0) << version.err;
        EXPECT_EQ(version.out, std::string(program) + " " + BRINDLEX_VERSION + "\n");

        const ProgramRun unknown = run(program, "--no-such-option");
        EXPECT_EQ(unknown.status, 2);
        EXPECT_EQ(unknown.out, "");
        EXPECT_NE(unknown.err.find("no-such-option"), std::string::npos) << unknown.err;
    }
    EXPECT_FALSE(std::filesystem::exists("--help")) << "no folder named after an option";
}

TEST_F(CommandLineTest, ReportOfTheDemoDeviceInEachFormat) {
    demoDevice();
    const ProgramRun text = run("brindlex-ledger", "report --from 2000-01-01");
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(text.err, "");
    EXPECT_NE(text.out.find("Messages Left: -"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("Month    Received  Sent"), std::string::npos) << "columns aligned:\n" << text.out;

    const ProgramRun json = run("brindlex-ledger", "report --from 2000-01-01 --format json --no-sync");
    ASSERT_EQ(json.status, 0) << json.err;
    QJsonParseError error{};
    const QJsonObject report = QJsonDocument::fromJson(QByteArray::fromStdString(json.out), &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << json.out;
    EXPECT_EQ(report.value("format").toInt(), 1);
    EXPECT_EQ(report.value("type").toString(), "both");
    EXPECT_TRUE(report.value("quota").isNull());
    const int segments = report.value("segments").toInt();
    EXPECT_GT(segments, 1000) << "a year of demo traffic";
    EXPECT_EQ(report.value("received").toInt() + report.value("sent").toInt(), segments);
    int perPerson = 0;
    for (const auto& person : report.value("persons").toArray())
        perPerson += person.toObject().value("segments").toInt();
    EXPECT_LE(perPerson, segments);
    int perMonth = 0;
    for (const auto& month : report.value("months").toArray())
        perMonth += month.toObject().value("received").toInt() + month.toObject().value("sent").toInt();
    EXPECT_GT(perMonth, 0);
    EXPECT_GE(report.value("months").toArray().size(), 12);

    const ProgramRun csv = run("brindlex-ledger", "report --from 2000-01-01 --format csv --no-sync");
    ASSERT_EQ(csv.status, 0) << csv.err;
    std::istringstream rows(csv.out);
    std::string header, total;
    std::getline(rows, header);
    std::getline(rows, total);
    EXPECT_EQ(header, "Kind,Name,Messages,Segments,Received,Sent");
    EXPECT_EQ(
        total.rfind(
            "total,All," + std::to_string(report.value("messages").toInt()) + "," + std::to_string(segments) + ",", 0),
        0u)
        << total;
    EXPECT_EQ(lines(csv.out), 2 + report.value("persons").toArray().size() + report.value("months").toArray().size());
}

TEST_F(CommandLineTest, ReportWithQuotaPersonAndType) {
    demoDevice();
    Seeding::copyIfNeeded();
    ASSERT_TRUE(SettingsStore::update([](PropertyList& settings) { settings.setInteger("smsquota", 100000); }));
    const ProgramRun all = run("brindlex-ledger", "report --from 2000-01-01 --type sent --format json");
    const ProgramRun anna =
        run("brindlex-ledger", "report --from 2000-01-01 --type sent --format json --person 'anna becker'");
    ASSERT_EQ(all.status, 0) << all.err;
    ASSERT_EQ(anna.status, 0) << anna.err;
    const QJsonObject everybody = QJsonDocument::fromJson(QByteArray::fromStdString(all.out)).object();
    const QJsonObject one = QJsonDocument::fromJson(QByteArray::fromStdString(anna.out)).object();
    EXPECT_EQ(everybody.value("received").toInt(), 0) << "sent only";
    EXPECT_EQ(everybody.value("quotaLeft").toInt(), 100000 - everybody.value("segments").toInt());
    EXPECT_EQ(one.value("person").toObject().value("name").toString(), "Anna Becker");
    const QJsonArray persons = one.value("persons").toArray();
    ASSERT_EQ(persons.size(), 1);
    EXPECT_EQ(persons[0].toObject().value("segments").toInt(), one.value("segments").toInt());
    EXPECT_LT(one.value("segments").toInt(), everybody.value("segments").toInt());
}

TEST_F(CommandLineTest, BadInputGivesOneLineAndStatusOneOrTwo) {
    demoDevice();
    const struct {
        const char* arguments;
        int status;
        const char* says;
    } cases[] = {
        {"report --bogus", 2, "bogus"},
        {"report --from 2013-02-30", 2, "not a date"},
        {"report --from yesterday", 2, "not a date"},
        {"report --from 2013-05-02 --to 2013-05-01", 2, "--from is after --to"},
        {"report --to 2013-05-01", 2, "--to needs --from"},
        {"report --period last", 2, "--period must be"},
        {"report --period current --from 2013-05-01", 2, "cannot be combined"},
        {"report --type all", 2, "--type must be"},
        {"report --format xml", 2, "--format must be"},
        {"report --person 'Nobody Atall'", 1, "no messages with 'Nobody Atall'"},
        {"frobnicate", 2, "unknown command 'frobnicate'"},
    };
    for (const auto& bad : cases) {
        SCOPED_TRACE(bad.arguments);
        const ProgramRun result = run("brindlex-ledger", bad.arguments);
        EXPECT_EQ(result.status, bad.status);
        EXPECT_EQ(result.out, "");
        const std::string first = result.err.substr(0, result.err.find('\n'));
        EXPECT_EQ(first.rfind("brindlex-ledger: ", 0), 0u) << result.err;
        EXPECT_NE(first.find(bad.says), std::string::npos) << result.err;
        // A person who is not there is a plain failure: no usage after it.
        if (bad.status == 1) {
            EXPECT_EQ(lines(result.err), 1u) << result.err;
        }
    }
}

TEST_F(CommandLineTest, AMissingRootOrAnUnreadableDatabaseIsOneLine) {
    ::setenv("BRINDLEX_DEVICE_ROOT", (root_.path() + "/nowhere").c_str(), 1);
    for (const char* command : {"report", "sync"}) {
        const ProgramRun missing = run("brindlex-ledger", command);
        EXPECT_EQ(missing.status, 1) << command;
        EXPECT_EQ(lines(missing.err), 1u) << missing.err;
        EXPECT_NE(missing.err.find("no phone data at"), std::string::npos) << missing.err;
        // What a user can do, not the simulator.
        EXPECT_NE(missing.err.find("brindlex-ledger import-backup FOLDER"), std::string::npos) << missing.err;
    }
    EXPECT_FALSE(std::filesystem::exists(root_.path() + "/nowhere"));

    ::setenv("BRINDLEX_DEVICE_ROOT", root_.path().c_str(), 1);
    ASSERT_TRUE(DeviceFixture::createDeviceRoot(root_.path(), "6.1.3"));
    Seeding::copyIfNeeded();
    std::ofstream(PhoneProfile::find().counterDatabase(), std::ios::trunc) << std::string(4096, 'x');
    const ProgramRun damaged = run("brindlex-ledger", "report");
    EXPECT_EQ(damaged.status, 1);
    EXPECT_EQ(lines(damaged.err), 1u) << damaged.err;
    EXPECT_NE(damaged.err.find("cannot read the counter database"), std::string::npos) << damaged.err;
}

// A counter database that passes the first look (its message table is
// there) but cannot be counted: no report of zeros, status 1 and one line
// that says why.
TEST_F(CommandLineTest, ACountThatFailsGivesNoReportButStatusOneAndOneLine) {
    ASSERT_TRUE(DeviceFixture::createDeviceRoot(root_.path(), "6.1.3"));
    Seeding::copyIfNeeded();
    const struct {
        const char* what;
        const char* sql;
        const char* says;
        bool withoutAddresses = false;  // the person a command line names cannot be looked up either
    } spoiled[] = {
        {"a table of another layout",
         "DROP TABLE message; CREATE TABLE message (address TEXT, date INTEGER); "
         "INSERT INTO message VALUES ('4155550101', 1370000000)",
         "no such column"},
        {"a table without its rows' columns", "ALTER TABLE message DROP COLUMN smscount", "no such column: smscount"},
        {"a table without its addresses",
         "DROP TABLE message; CREATE TABLE message (date INTEGER, text TEXT, flags INTEGER, smscount INTEGER, "
         "type TEXT)",
         "no such column: address", true},
    };
    for (const auto& spoil : spoiled) {
        SCOPED_TRACE(spoil.what);
        std::filesystem::remove(PhoneProfile::find().counterDatabase());
        Seeding::copyIfNeeded();
        {
            SqliteDatabase db;
            ASSERT_TRUE(db.open(PhoneProfile::find().counterDatabase(), SqliteDatabase::Mode::ReadWrite));
            ASSERT_TRUE(db.exec(spoil.sql)) << db.lastError();
        }
        std::vector<std::string> reports;
        for (const char* format : {"text", "json", "csv"})
            reports.push_back(std::string("report --no-sync --from 2013-01-01 --format ") + format);
        // Not "no messages with" him: nobody could be looked up.
        if (spoil.withoutAddresses) reports.push_back("report --no-sync --from 2013-01-01 --person 'Anna Becker'");
        for (const std::string& arguments : reports) {
            const ProgramRun report = run("brindlex-ledger", arguments);
            EXPECT_EQ(report.status, 1) << arguments;
            EXPECT_EQ(report.out, "") << arguments;
            EXPECT_EQ(lines(report.err), 1u) << report.err;
            EXPECT_EQ(
                report.err.rfind(
                    "brindlex-ledger: cannot read the counter database " + PhoneProfile::find().counterDatabase(), 0),
                0u)
                << report.err;
            EXPECT_NE(report.err.find(spoil.says), std::string::npos) << report.err;
        }
        // With its sync, which fails on the same table: the sync's own trace,
        // then the reason; no promise of a report that never comes.
        const ProgramRun synced = run("brindlex-ledger", "report --from 2013-01-01");
        EXPECT_EQ(synced.status, 1);
        EXPECT_EQ(synced.out, "");
        const std::string last = synced.err.substr(synced.err.rfind('\n', synced.err.size() - 2) + 1);
        EXPECT_EQ(last.rfind("brindlex-ledger: cannot read the counter database", 0), 0u) << synced.err;
        EXPECT_EQ(synced.err.find("the report shows"), std::string::npos) << synced.err;
    }
}

// A contact's name holds an escape sequence: the text report shows it with
// the control characters replaced, so the terminal obeys none of it.
TEST_F(CommandLineTest, ReportShowsNamesWithoutTheirControlCharacters) {
    ASSERT_EQ(run("brindlex-phone", "init").status, 0);
    const ProgramRun added = run("brindlex-phone", "contacts add 'Evil\x1b[2J' 'Name\x1b]0;x\x07' +14155550100");
    ASSERT_EQ(added.status, 0) << added.err;
    const ProgramRun received = run("brindlex-phone", "receive +14155550100 hello");
    ASSERT_TRUE(received.status == 0 || received.status == 1) << received.err;  // stored, told or not

    for (const std::string person : {"", " --person +14155550100"}) {
        const ProgramRun report = run("brindlex-ledger", "report --from 2000-01-01" + person);
        ASSERT_EQ(report.status, 0) << report.err;
        EXPECT_EQ(report.out.find('\x1b'), std::string::npos) << report.out;
        EXPECT_EQ(report.out.find('\x07'), std::string::npos) << report.out;
        EXPECT_NE(report.out.find("Evil\xEF\xBF\xBD[2J Name\xEF\xBF\xBD]0;x\xEF\xBF\xBD"), std::string::npos)
            << report.out;
    }
}

// Names in the CSV follow the app's export: quoted when they must be, and
// guarded against formulas; the figures stay numbers, a negative one too.
TEST(ReportFormatterTest, CsvQuotesAndGuardsNamesAsTheExportDoes) {
    QuotaReport::Result result;
    result.messages = 4;
    result.segments = 510;
    result.quota = 500;
    result.quotaLeft = -10;
    for (const char* name : {"Anna Becker", "Becker, Anna", "Anna \"AB\" Becker", "=HYPERLINK(\"http://x\",\"y\")",
                             "@SUM(1+1)", "-2+3", "+14155550179"})
        result.persons.push_back({Person::bareNumber(name, -1), 1});
    EXPECT_EQ(ReportFormatter::csv(result),
              "Kind,Name,Messages,Segments,Received,Sent\n"
              "total,All,4,510,0,0\n"
              "quota,Quota,,500,,\n"
              "left,Messages Left,,-10,,\n"
              "person,Anna Becker,,1,,\n"
              "person,\"Becker, Anna\",,1,,\n"
              "person,\"Anna \"\"AB\"\" Becker\",,1,,\n"
              "person,\"'=HYPERLINK(\"\"http://x\"\",\"\"y\"\")\",,1,,\n"
              "person,'@SUM(1+1),,1,,\n"
              "person,'-2+3,,1,,\n"
              "person,'+14155550179,,1,,\n");
}

TEST(ReportFormatterTest, TextAlignsColumns) {
    QuotaReport::Result result;
    result.segments = 12;
    Person zoe = Person::bareNumber("Zoë", -1);
    Person longer = Person::bareNumber("+14155550123", -1);
    result.persons = {{zoe, 5}, {longer, 12345}};
    const std::string text = ReportFormatter::text(result, {});
    EXPECT_NE(text.find("Person        Segments\n"
                        "Zoë                  5\n"
                        "+14155550123     12345\n"),
              std::string::npos)
        << text;
}

}  // namespace
