// A kind of phone that only the test tree knows (StandInSource, registered
// with MessageSources) is counted by the daemon's event, the app's main
// screen and the ledger's report, none of which was changed for it. The
// device root also holds an sms.db with messages of its own: the registered
// kind claims the root, so those are never read.
#include "StandInSource.h"
#include "app/AppHarness.h"

#include "common/MessageCopy.h"
#include "common/MessageSources.h"
#include "common/PhoneProfile.h"
#include "common/Seeding.h"
#include "daemon/BadgeEvent.h"
#include "platform/SqliteDatabase.h"
#include "platform/SqliteStatement.h"
#include "platform/ui/Label.h"
#include "platform/ui/TableView.h"
#include "tools/ledger/ReportCommand.h"

#include <gtest/gtest.h>

#include <QPushButton>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// 2013-03-20 12:00 UTC; the seed's billing period began on the 1st.
constexpr std::time_t kNow = 1363780800;

class StandInPhoneTest : public ::testing::Test {
protected:
    StandInPhoneTest() {
        StandInSource::registerKind();
        app_.setNow(kNow);
        // The phone's own file, which nobody may read while the stand-in
        // holds the root.
        app_.store("4155559999", kNow - 500, true);
        app_.store("4155559999", kNow - 400, false);
    }
    ~StandInPhoneTest() override { MessageSources::remove(StandInSource::kKind); }

    void write(const std::vector<std::string>& lines) {
        fs::create_directories(fs::path(StandInSource::file()).parent_path());
        std::ofstream out(StandInSource::file(), std::ios::trunc);
        for (const std::string& line : lines) out << line << '\n';
    }
    void append(const std::string& line) { std::ofstream(StandInSource::file(), std::ios::app) << line << '\n'; }
    static std::string sent(const std::string& address, std::time_t date, const std::string& text = "hello") {
        return "sent\t" + address + "\t" + std::to_string(date) + "\t" + text;
    }
    static std::string received(const std::string& address, std::time_t date, const std::string& text = "hello") {
        return "received\t" + address + "\t" + std::to_string(date) + "\t" + text;
    }

    // (address, text) of every counted row, in the order stored.
    static std::multiset<std::string> counted() {
        SqliteDatabase db;
        SqliteStatement rows;
        std::multiset<std::string> out;
        if (!db.open(PhoneProfile::find().counterDatabase(), SqliteDatabase::Mode::ReadOnly) ||
            !rows.prepare(db, "select address || '|' || text from message where type = 'SMS'"))
            return {{"<unreadable>"}};
        while (rows.step() == SqliteStatement::Step::Row) out.insert(rows.columnString(0));
        return out;
    }

    // The "Total Messages" figure as the main screen shows it: the first
    // label on the caption's line, right of it.
    QString shownTotal() {
        QWidget& window = app_.window();
        const auto labels = window.findChildren<Label*>();
        auto placeOf = [&window](const Label* label) {
            return label->geometry().translated(label->parentWidget()->mapTo(&window, QPoint()));
        };
        for (Label* caption : labels) {
            if (!caption->isVisible() || caption->text() != "Total Messages") continue;
            const QRect line = placeOf(caption);
            const Label* value = nullptr;
            for (const Label* other : labels) {
                const QRect at = placeOf(other);
                if (other->isVisible() && !other->text().isEmpty() && at.center().y() > line.top() &&
                    at.center().y() < line.bottom() && at.left() > line.left() &&
                    (!value || at.left() < placeOf(value).left()))
                    value = other;
            }
            if (value) return value->text();
        }
        return "<not shown>";
    }
    // The screen's cells take a count's answer after it arrives: waits until
    // the total shown is `expected`, then gives what is shown.
    QString totalOnceShown(const QString& expected) {
        app_.waitForCounts();
        return QTest::qWaitFor([&] { return shownTotal() == expected; }, uiwait::timeoutMs) ? expected : shownTotal();
    }

    // What `brindlex-ledger report --format csv` prints, run in-process.
    static std::string ledgerReport() {
        std::fflush(stdout);
        char path[] = "/tmp/brindlex-standin-XXXXXX";
        const int capture = ::mkstemp(path);
        const int saved = ::dup(STDOUT_FILENO);
        ::dup2(capture, STDOUT_FILENO);
        const int status = ReportCommand::run({"brindlex-ledger", "report", "--format", "csv"}, kNow);
        std::fflush(stdout);
        ::dup2(saved, STDOUT_FILENO);
        ::close(saved);
        ::close(capture);
        std::ifstream in(path);
        std::string out((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        fs::remove(path);
        return status == 0 ? out : "status " + std::to_string(status) + ": " + out;
    }
    // The "total" line of the report.
    static std::string reportTotal() {
        const std::string report = ledgerReport();
        const std::size_t at = report.find("\ntotal,");
        return at == std::string::npos ? report : report.substr(at + 1, report.find('\n', at + 1) - at - 1);
    }

    AppHarness app_;
};

}  // namespace

TEST_F(StandInPhoneTest, TheRegisteredKindClaimsTheRootOnlyWhileItsFileIsThere) {
    EXPECT_EQ(PhoneProfile::find().sourceKind()->name, "sms.db from 6.0");
    write({sent("4155550101", kNow - 60)});
    EXPECT_EQ(PhoneProfile::find().sourceKind()->name, StandInSource::kKind);
    EXPECT_TRUE(MessageSources::remove(StandInSource::kKind));
    EXPECT_FALSE(MessageSources::remove(StandInSource::kKind));
    EXPECT_EQ(PhoneProfile::find().sourceKind()->name, "sms.db from 6.0");
}

TEST_F(StandInPhoneTest, TheDaemonsEventCopiesItsMessagesOnceAndSetsTheBadge) {
    write({sent("4155550101", kNow - 300), received("4155550102", kNow - 200), sent("4155550102", kNow - 100),
           "a line that is no message", sent("4155550103", kNow - 50, std::string(161, 'x'))});
    std::vector<int> badges;
    std::vector<std::string> warnings;
    BadgeEvent event(BadgeEvent::Hooks{[](std::chrono::milliseconds) { return true; },
                                       [&](int value) { badges.push_back(value); }, [] { return kNow; },
                                       [&](const std::string& problem) { warnings.push_back(problem); }});
    event.CTSMSEvent("");
    // The badge counts sent segments by default: 1 + 1 + 2.
    EXPECT_EQ(badges, std::vector<int>{4});
    EXPECT_EQ(counted(), (std::multiset<std::string>{"4155550101|hello", "4155550102|hello", "4155550102|hello",
                                                     "4155550103|" + std::string(161, 'x')}));

    // A message that arrives later is copied by the next event, and only it.
    append(sent("4155550104", kNow - 10, "later"));
    event.CTSMSEvent("kCTMessageSentNotification");
    EXPECT_EQ(badges, (std::vector<int>{4, 5}));
    EXPECT_EQ(counted().size(), 5u);
    EXPECT_EQ(counted().count("4155559999|hello"), 0u) << "sms.db was read";
    EXPECT_TRUE(warnings.empty()) << warnings.front();
}

TEST_F(StandInPhoneTest, TheAppsMainScreenAndTheLedgerReportShowItsTotal) {
    write({received("4155550101", kNow - 300, std::string(161, 'y')), sent("4155550102", kNow - 200),
           sent("4155550102", kNow - 100)});
    app_.launch();
    // Both directions by default: 2 + 1 + 1 segments.
    EXPECT_EQ(totalOnceShown("4"), "4");
    EXPECT_EQ(reportTotal(), "total,All,3,4,2,2");

    append(received("4155550103", kNow - 20));
    app_.goToBackground();
    emit app_.window().activated();
    EXPECT_EQ(totalOnceShown("5"), "5");
    EXPECT_EQ(reportTotal(), "total,All,4,5,3,2");
}

// A root that holds only the stand-in's file, no sms.db and no system
// version, holds a phone all the same: the main screen counts it rather
// than offering a backup import.
TEST_F(StandInPhoneTest, ARootWithOnlyItsFileIsNoEmptyPhone) {
    fs::remove(DevicePaths::smsDatabase());
    fs::remove(DevicePaths::systemVersionPlist());
    write({sent("4155550102", kNow - 200), sent("4155550102", kNow - 100)});
    app_.launch();
    EXPECT_FALSE(app_.root().importButton()->isVisible());
    EXPECT_TRUE(app_.root().filterTableView()->isVisible());
    EXPECT_EQ(totalOnceShown("2"), "2");
}

// Whatever order lines arrive, syncs run and the phone is restored from an
// older backup (its later lines gone, the numbers they had given again to
// new ones), every message a sync saw is counted exactly once, and a
// message is never lost once it was there at a sync: the sync's mark and its
// matching of a replaced source work through the interface alone.
TEST_F(StandInPhoneTest, AnyOrderOfAppendsSyncsAndRestoresCountsEachMessageOnce) {
    for (const unsigned seed : {1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        fs::remove(PhoneProfile::find().counterDatabase());
        Seeding::copyIfNeeded();
        std::mt19937 random(seed);
        std::vector<std::string> lines;
        std::multiset<std::string> model;  // every message there at a sync, once
        auto sync = [&] {
            for (const std::string& line : lines) {
                const std::size_t address = line.find('\t') + 1, date = line.find('\t', address) + 1;
                const std::string entry =
                    line.substr(address, date - address - 1) + "|" + line.substr(line.find('\t', date) + 1);
                if (model.count(entry) == 0) model.insert(entry);
            }
            std::vector<std::int64_t> markers;
            EXPECT_EQ(MessageCopy::run(0, 0, markers), SyncStatus::Ok);
        };
        write({});
        for (int step = 0; step < 40; ++step) {
            const unsigned what = random() % 5;
            if (what < 3) {
                const std::string address = "41555501" + std::to_string(random() % 5);
                const std::string text = "m" + std::to_string(step);
                lines.push_back(sent(address, kNow - 1000 + step, text));
                append(lines.back());
            } else if (what == 3) {
                sync();
            } else {
                lines.resize(random() % (lines.size() + 1));
                write(lines);
            }
        }
        sync();
        EXPECT_EQ(counted(), model);
    }
}
