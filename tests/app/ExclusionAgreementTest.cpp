// The excluded contacts and numbers of the settings file as the three
// programs that read it show them: the total on the app's main screen, the
// badge the daemon counts and the total of brindlex-ledger report. For every
// shape the file can take (counts missing, too large, not numbers; gaps in
// the numbered keys; values of the wrong kind) the three must exclude the
// same messages, and the ones the app has always excluded.
#include "AppHarness.h"

#include "daemon/BadgeEvent.h"
#include "support/ProgramRun.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <fstream>

namespace {

constexpr std::time_t kNow = 1363780800;  // 2013-03-20 12:00 UTC

// Each sender writes a power of two messages, so any set of excluded
// senders leaves a total of its own.
struct Sender {
    const char* address;
    int messages;
};
constexpr Sender kAnna{"4155550101", 1};  // a contact
constexpr Sender kBen{"3125550123", 2};   // a contact
constexpr Sender kNumbers[] = {{"2065550111", 4}, {"2065550122", 8}, {"7185550100", 16}};
constexpr int kEverything = 31;

// The record identifiers of the two contacts, known once they are added.
struct Contacts {
    long long anna = 0;
    long long ben = 0;
};

// Property-list entries, as a hand-edited or foreign file may hold them.
std::string integer(const std::string& key, long long value) {
    return "<key>" + key + "</key><integer>" + std::to_string(value) + "</integer>";
}
std::string string(const std::string& key, const std::string& value) {
    return "<key>" + key + "</key><string>" + value + "</string>";
}
std::string entry(const std::string& key, const std::string& valueXml) { return "<key>" + key + "</key>" + valueXml; }

struct SettingsCase {
    const char* name;
    std::string (*keys)(const Contacts&);
    int expected;  // what the app has always shown for it
};

const SettingsCase kCases[] = {
    {"NoExclusionKeys", [](const Contacts&) { return std::string(); }, kEverything},
    {"EntriesWithoutCountKeys",
     [](const Contacts& c) { return integer("eperson0", c.anna) + string("epersonNA0", "2065550111"); }, kEverything},
    {"CountsLargerThanTheEntries",
     [](const Contacts& c) {
         return integer("epersoncount", 5) + integer("eperson0", c.anna) + integer("epersoncountNA", 4) +
                string("epersonNA0", "2065550111") + string("epersonNA1", "2065550122");
     },
     kEverything - 1 - 4 - 8},
    {"AGapAmongTheNumbersIsPassed",
     [](const Contacts&) {
         return integer("epersoncountNA", 3) + string("epersonNA0", "2065550111") + string("epersonNA2", "7185550100");
     },
     kEverything - 4 - 16},
    {"AGapAmongTheContactsEndsThem",
     [](const Contacts& c) {
         return integer("epersoncount", 3) + integer("eperson0", c.anna) + integer("eperson2", c.ben);
     },
     kEverything - 1},
    {"ADeletedContactIsSkippedNotAnEnd",
     [](const Contacts& c) {
         return integer("epersoncount", 2) + integer("eperson0", c.ben + 1000) + integer("eperson1", c.ben);
     },
     kEverything - 2},
    {"NumbersOfTheWrongKind",
     [](const Contacts&) {
         return integer("epersoncountNA", 4) + integer("epersonNA0", 2065550111) +
                entry("epersonNA1", "<array><string>7185550100</string></array>") + entry("epersonNA2", "<true/>") +
                entry("epersonNA3", "<dict><key>n</key><string>2065550122</string></dict>");
     },
     kEverything - 4},
    {"CountsAndIdsStoredAsStringsOrReals",
     [](const Contacts& c) {
         return string("epersoncount", "1") + string("eperson0", std::to_string(c.ben)) +
                entry("epersoncountNA", "<real>1.9</real>") + string("epersonNA0", "2065550122") +
                string("epersonNA1", "2065550111");
     },
     kEverything - 2 - 8},
    {"CountsThatAreNoNumbersOrNegative",
     [](const Contacts& c) {
         return string("epersoncount", "two") + integer("eperson0", c.anna) + integer("epersoncountNA", -1) +
                string("epersonNA0", "2065550111");
     },
     kEverything},
    {"PatternsAndStaleKeysBeyondTheCount",
     [](const Contacts& c) {
         return integer("epersoncount", 1) + integer("eperson0", c.anna) + integer("eperson1", c.ben) +
                integer("epersoncountNA", 1) + string("epersonNA0", "*0122") + string("epersonNA1", "7185550100");
     },
     kEverything - 1 - 8},
};

// Names the case in a failure message.
void PrintTo(const SettingsCase& settingsCase, std::ostream* out) { *out << settingsCase.name; }

class ExclusionAgreementTest : public ::testing::TestWithParam<SettingsCase> {
protected:
    ExclusionAgreementTest() { app_.setNow(kNow); }

    void SetUp() override {
        AddressBookFixture book = app_.addressBook();
        contacts_.anna = book.addContact("Anna", "Becker", std::nullopt, {"+1 (415) 555-0101"});
        contacts_.ben = book.addContact("Ben", "Okafor", std::nullopt, {"312-555-0123"});
        int minute = 0;
        auto write = [&](const Sender& sender) {
            for (int i = 0; i < sender.messages; ++i) app_.store(sender.address, kNow - 3600 + 60 * minute++, false);
        };
        write(kAnna);
        write(kBen);
        for (const Sender& sender : kNumbers) write(sender);

        // The whole file, as another program may have left it: the billing
        // period from the 1st (which the daemon and the app read alike),
        // received messages on the badge, and the case's keys.
        std::ofstream(DevicePaths::settingsFile(), std::ios::trunc)
            << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>" + string("cyclemode", "Y") +
                   string("cycleday", "1") + integer("badgetype", 1) + GetParam().keys(contacts_) + "</dict></plist>\n";
        ASSERT_TRUE(SettingsStore::load()) << "the case's file must read";
    }

    // What the app's main screen shows as the total after launch.
    std::string appTotal() {
        app_.launch();
        return app_.shownValue("Total Messages").toStdString();
    }

    // The badge one event of the daemon sets.
    std::string daemonBadge() {
        std::vector<int> badges;
        std::vector<std::string> warnings;
        BadgeEvent event(BadgeEvent::Hooks{[](std::chrono::milliseconds) { return true; },
                                           [&](int value) { badges.push_back(value); }, [] { return kNow; },
                                           [&](const std::string& problem) { warnings.push_back(problem); }});
        event.CTSMSEvent("kCTMessageReceivedNotification");
        EXPECT_TRUE(warnings.empty()) << warnings.front();
        return badges.size() == 1 ? std::to_string(badges[0]) : "no badge";
    }

    // The total of the command-line report for the same period.
    std::string reportTotal() {
        const ProgramRun report =
            ProgramRun::of("brindlex-ledger", "report --no-sync --format json --from 2013-03-01 --to 2013-03-20",
                           scratch_.path().toStdString());
        EXPECT_EQ(report.status, 0) << report.err;
        const QJsonObject json = QJsonDocument::fromJson(QByteArray::fromStdString(report.out)).object();
        return json.contains("segments") ? std::to_string(json.value("segments").toInt()) : "no total";
    }

    AppHarness app_;
    QTemporaryDir scratch_;  // the report's output files
    Contacts contacts_;
};

TEST_P(ExclusionAgreementTest, AppBadgeAndReportExcludeTheSameMessages) {
    const std::string expected = std::to_string(GetParam().expected);
    // The app syncs first; the daemon's event and the report then count the
    // same rows.
    EXPECT_EQ(appTotal(), expected) << "the app's Total Messages";
    EXPECT_EQ(daemonBadge(), expected) << "the daemon's badge";
    EXPECT_EQ(reportTotal(), expected) << "brindlex-ledger report";
}

INSTANTIATE_TEST_SUITE_P(SettingsFiles, ExclusionAgreementTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
