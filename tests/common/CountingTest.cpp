#include "common/PhoneProfile.h"
#include "common/Person.h"
#include "common/Seeding.h"
#include "common/CounterStore.h"
#include "platform/SqliteDatabase.h"
#include "platform/SqliteStatement.h"
#include "platform/DevicePaths.h"
#include "platform/SystemVersion.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDeviceRoot.h"
#include "tools/fixtures/AddressBookFixture.h"
#include "tools/fixtures/DeviceFixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <sstream>

namespace fs = std::filesystem;

namespace {

constexpr std::time_t kT = 1370000000;  // a moment in mid-2013

std::vector<Person> bare(std::initializer_list<std::string> numbers) {
    std::vector<Person> people;
    for (const auto& number : numbers) people.push_back(Person::bareNumber(number, -1));
    return people;
}

// A seeded device whose counter database and address book the test fills.
class CountingTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        ASSERT_TRUE(DeviceFixture::createDeviceRoot(root_.path(), GetParam()));
        Seeding::copyIfNeeded();
        ASSERT_TRUE(counter_.open(PhoneProfile::find().counterDatabase(), SqliteDatabase::Mode::ReadWrite));
        ASSERT_TRUE(book_.create());
    }

    bool sixOrLater() const { return SystemVersion::isSixOrLater(GetParam()); }

    void row(const std::string& address, std::time_t date, int flags, int segments,
             const std::optional<std::string>& text = "hi", const std::string& type = "SMS") {
        SqliteStatement insert;
        ASSERT_TRUE(insert.prepare(counter_, sixOrLater()
                                                 ? "insert into message (address, date, text, flags, smscount, type) "
                                                   "values (?,?,?,?,?,?)"
                                                 : "insert into message (address, date, text, flags, smscount) "
                                                   "values (?,?,?,?,?)"));
        insert.bindText(1, address);
        insert.bindInt(2, date);
        if (text)
            insert.bindText(3, *text);
        else
            insert.bindNull(3);
        insert.bindInt(4, flags);
        insert.bindInt(5, segments);
        if (sixOrLater()) insert.bindText(6, type);
        ASSERT_EQ(insert.step(), SqliteStatement::Step::Done);
    }
    void received(const std::string& address, std::time_t date, int segments) { row(address, date, 2, segments); }
    void sent(const std::string& address, std::time_t date, int segments) { row(address, date, 3, segments); }

    int contact(const std::optional<std::string>& first, const std::optional<std::string>& last,
                const std::optional<std::string>& organization, const std::vector<std::string>& numbers) {
        return static_cast<int>(book_.addContact(first, last, organization, numbers));
    }

    // The group result as name -> count.
    static std::map<std::string, int> byName(const std::vector<Person>& people, const std::vector<int>& counts) {
        std::map<std::string, int> out;
        for (std::size_t i = 0; i < people.size(); ++i) out[people[i].name()] = counts.at(i);
        return out;
    }

    ScopedEnvironment locale_{"LC_ALL", std::string("en_US.UTF-8")};
    TempDeviceRoot root_;
    SqliteDatabase counter_;
    AddressBookFixture book_{DevicePaths::addressBook()};
};

}  // namespace

TEST_P(CountingTest, DirectCountsHonourInclusiveBoundsAndFillRecords) {
    const int anna = contact("Anna", "Becker", std::nullopt, {"+1 (415) 555-0101"});
    received("4155550101", kT, 2);
    received("+19998887777", kT + 100, 1);
    row("+19998887777", kT + 50, 2, 3, std::nullopt);  // NULL body, listed as ""
    received("4155550101", kT - 1, 5);                 // before the period
    received("4155550101", kT + 101, 7);               // after it
    sent("4155550101", kT + 10, 4);
    row("", kT + 20, 2, 9);  // no address: never counted
    if (sixOrLater()) row("4155550101", kT + 30, 2, 50, "imessage", "iMessage");

    std::vector<Sms> records;
    EXPECT_EQ(CounterStore::forCurrentPhone().countIncomingFrom(kT, kT + 100, nullptr, nullptr, &records), 2 + 1 + 3);
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].person()->name(), "Anna Becker");
    EXPECT_EQ(records[0].person()->recordID(), anna);
    EXPECT_EQ(records[0].number(), "4155550101");
    EXPECT_EQ(records[0].flags(), Sms::kReceived);
    EXPECT_EQ(records[0].date(), kT);
    // The rest in the order the statement yields them (the index's: by date).
    for (const Sms& record : {records[1], records[2]}) {
        EXPECT_EQ(record.person()->name(), "+19998887777");
        EXPECT_EQ(record.person()->recordID(), 0);  // bare persons of records keep 0
        EXPECT_EQ(record.text(), record.date() == kT + 50 ? "" : "hi");
    }

    std::vector<Sms> sentRecords;
    EXPECT_EQ(CounterStore::forCurrentPhone().countOutgoingFrom(kT, kT + 100, nullptr, nullptr, &sentRecords), 4);
    ASSERT_EQ(sentRecords.size(), 1u);
    EXPECT_EQ(sentRecords[0].flags(), Sms::kSent);

    // A missing bound counts nothing.
    EXPECT_EQ(CounterStore::forCurrentPhone().countIncomingFrom(std::nullopt, kT, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(CounterStore::forCurrentPhone().countOutgoingFrom(kT, std::nullopt, nullptr, nullptr, nullptr), 0);
}

TEST_P(CountingTest, EachKindOfExclusion) {
    const int anna = contact("Anna", "Becker", std::nullopt, {"4155550101", "6175550101"});
    contact("Ben", "Carter", std::nullopt, {"4155550123"});
    received("4155550101", kT, 1);
    received("6175550101", kT, 2);   // anna's second number
    received("4155550123", kT, 4);   // ben, ends in 123
    received("3125550123", kT, 8);   // unknown, ends in 123
    received("3125550199", kT, 16);  // unknown
    const int all = 31;

    auto count = [&](const std::vector<Person>& excluded) {
        return CounterStore::forCurrentPhone().countIncomingFrom(kT, kT, nullptr, &excluded, nullptr);
    };
    EXPECT_EQ(count({}), all);
    // An excluded contact, rebuilt from its record identifier, under all its numbers.
    auto annaExcluded = Person::excludedContact(anna);
    ASSERT_TRUE(annaExcluded);
    EXPECT_EQ(annaExcluded->name(), "Anna Becker");
    EXPECT_TRUE(annaExcluded->numSet().empty());
    EXPECT_EQ(count({*annaExcluded}), all - 3);
    EXPECT_EQ(count(bare({"3125550199"})), all - 16);
    EXPECT_EQ(count(bare({"*123"})), all - 4 - 8);  // a contact's number and a bare one
    EXPECT_EQ(count(bare({"312*"})), all - 8 - 16);
    EXPECT_EQ(count(bare({"*"})), all);  // a lone star excludes nothing
    EXPECT_EQ(count(bare({"*", "", "3125550199"})), all - 16);
    const std::vector<Person> annaOnly{*annaExcluded};
    EXPECT_EQ(CounterStore::forCurrentPhone().countBadgeFrom(kT, &annaOnly, BadgeType::Received, 0), all - 3);
    EXPECT_FALSE(Person::excludedContact(anna + 1000));
}

TEST_P(CountingTest, AContactWithoutAnyNameIsDroppedExceptFromThePlainBadgeSum) {
    contact(std::nullopt, std::nullopt, std::nullopt, {"4155550177"});
    contact(std::nullopt, std::nullopt, "Metro Transit", {"72345"});
    received("4155550177", kT, 5);
    received("72345", kT, 1);
    received("3125550199", kT, 2);

    std::vector<Sms> records;
    EXPECT_EQ(CounterStore::forCurrentPhone().countIncomingFrom(kT, kT, nullptr, nullptr, &records), 3);
    EXPECT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].person()->name(), "Metro Transit");
    std::vector<Person> people;
    std::vector<int> counts;
    CounterStore::forCurrentPhone().countGroupFrom(kT, kT, people, counts, nullptr);
    EXPECT_EQ(people.size(), 2u);

    EXPECT_EQ(CounterStore::forCurrentPhone().countBadgeFrom(kT, nullptr, BadgeType::Received, 0),
              8);  // plain sum includes it
    const auto unrelated = bare({"000"});
    EXPECT_EQ(CounterStore::forCurrentPhone().countBadgeFrom(kT, &unrelated, BadgeType::Received, 0), 3);
}

TEST_P(CountingTest, PersonFilterMatchesItsNumbersExactlyForAnyNumberOfNumbers) {
    EXPECT_EQ(CounterStore::generateAddressOrSQL(0), "");
    EXPECT_EQ(CounterStore::generateAddressOrSQL(1), "address = ?");
    EXPECT_EQ(CounterStore::generateAddressOrSQL(3), "(address = ? OR address = ?  OR address = ? )");

    Person many;
    many.setRecordID(-1);
    int expected = 0;
    for (int i = 0; i < 1200; ++i) {
        const std::string number = "+1415555" + std::to_string(1000 + i);
        many.addNumber(number);
        if (i % 40 == 0) {  // 30 of them wrote
            received(number, kT, 1 + i % 3);
            expected += 1 + i % 3;
        }
    }
    received("+14155550000", kT, 100);  // not one of the filter's numbers
    EXPECT_EQ(CounterStore::forCurrentPhone().countIncomingFrom(kT, kT, &many, nullptr, nullptr), expected);

    Person thirty;
    thirty.setRecordID(-1);
    for (int i = 0; i < 30 * 40; i += 40) thirty.addNumber("+1415555" + std::to_string(1000 + i));
    EXPECT_EQ(CounterStore::forCurrentPhone().countIncomingFrom(kT, kT, &thirty, nullptr, nullptr), expected);

    Person spelledDifferently = Person::bareNumber("4155551000", -1);  // no normalising in SQL
    EXPECT_EQ(CounterStore::forCurrentPhone().countIncomingFrom(kT, kT, &spelledDifferently, nullptr, nullptr), 0);
}

TEST_P(CountingTest, GroupsMergeAContactsAddressesAndKeepBareNumbersApart) {
    contact("Anna", "Becker", std::nullopt, {"4155550101", "+1 617 555 0101"});
    contact("Ben", std::nullopt, std::nullopt, {"4155550123"});
    received("4155550101", kT, 1);
    sent("6175550101", kT, 2);
    sent("+14155550101", kT, 4);
    received("4155550123", kT, 8);
    received("3125550199", kT, 16);
    sent("3125550199", kT, 32);
    received("3125550199", kT + 1000, 64);  // outside the period

    std::vector<Person> people;
    std::vector<int> counts;
    CounterStore::forCurrentPhone().countGroupFrom(kT, kT + 10, people, counts, nullptr);
    const auto both = byName(people, counts);
    EXPECT_EQ(both.size(), 3u);
    EXPECT_EQ(both.at("Anna Becker"), 7);
    EXPECT_EQ(both.at("Ben"), 8);
    EXPECT_EQ(both.at("3125550199"), 48);
    for (const auto& person : people) {
        if (person.name() == "Anna Becker") {
            EXPECT_EQ(person.numSet().size(), 3u);
        }
        if (person.name() == "3125550199") {
            EXPECT_EQ(person.recordID(), -1);
        }
    }

    // Received then sent into the same arrays: persons already present merge.
    std::vector<Person> merged;
    std::vector<int> mergedCounts;
    CounterStore::forCurrentPhone().countIncomingGroupFrom(kT, kT + 10, merged, mergedCounts, nullptr);
    EXPECT_EQ(byName(merged, mergedCounts).at("Anna Becker"), 1);
    CounterStore::forCurrentPhone().countOutgoingGroupFrom(kT, kT + 10, merged, mergedCounts, nullptr);
    EXPECT_EQ(byName(merged, mergedCounts), both);

    // Exclusions leave their persons out of the groups.
    std::vector<Person> excludedPeople;
    std::vector<int> excludedCounts;
    const auto excluded = bare({"*0101", "3125550199"});
    CounterStore::forCurrentPhone().countGroupFrom(kT, kT + 10, excludedPeople, excludedCounts, &excluded);
    EXPECT_EQ(byName(excludedPeople, excludedCounts), (std::map<std::string, int>{{"Ben", 8}}));

    // A missing bound leaves the arrays as they were.
    CounterStore::forCurrentPhone().countGroupFrom(std::nullopt, kT, people, counts, nullptr);
    EXPECT_EQ(people.size(), 3u);
    EXPECT_EQ(counts.size(), 3u);

    const Counted<std::vector<Person>> listed =
        CounterStore::forCurrentPhone().getUniquePerson({Person::bareNumber("Zed", -1)});
    ASSERT_TRUE(listed.ok()) << listed.failure();
    const std::vector<Person>& everyone = listed.value();
    ASSERT_EQ(everyone.size(), 4u);
    EXPECT_EQ(everyone[0].name(), "3125550199");
    EXPECT_EQ(everyone[1].name(), "Anna Becker");
    EXPECT_EQ(everyone[2].name(), "Ben");
    EXPECT_EQ(everyone[3].name(), "Zed");
}

// The charts list people in the order the counter database has always listed
// its distinct addresses: the older file in the order they are first met,
// oldest row first (ties by row), the newer one sorted by address. An address
// whose rows in the period are neither sent nor received is listed with 0
// when both directions are counted.
TEST_P(CountingTest, GroupsListPeopleInTheOrderTheDatabaseListsItsAddresses) {
    received("300", kT + 5, 1);
    sent("100", kT + 1, 2);
    received("200", kT + 1, 4);
    sent("050", kT + 9, 8);
    sent("300", kT, 16);
    row("999", kT + 3, 5, 32);
    auto groupOf = [](std::optional<Direction> only) {
        std::vector<Person> people;
        std::vector<int> counts;
        CounterStore store = CounterStore::forCurrentPhone();
        const Counted<int> added = !only ? store.countGroupFrom(kT, kT + 10, people, counts, nullptr)
                                   : *only == Direction::Sent
                                       ? store.countOutgoingGroupFrom(kT, kT + 10, people, counts, nullptr)
                                       : store.countIncomingGroupFrom(kT, kT + 10, people, counts, nullptr);
        EXPECT_TRUE(added.ok()) << added;
        std::vector<std::pair<std::string, int>> listed;
        for (std::size_t i = 0; i < people.size(); ++i) listed.emplace_back(people[i].name(), counts[i]);
        return listed;
    };
    using Listed = std::vector<std::pair<std::string, int>>;
    if (sixOrLater()) {
        EXPECT_EQ(groupOf(std::nullopt), (Listed{{"050", 8}, {"100", 2}, {"200", 4}, {"300", 17}, {"999", 0}}));
        EXPECT_EQ(groupOf(Direction::Sent), (Listed{{"050", 8}, {"100", 2}, {"300", 16}}));
    } else {
        EXPECT_EQ(groupOf(std::nullopt), (Listed{{"300", 17}, {"100", 2}, {"200", 4}, {"999", 0}, {"050", 8}}));
        EXPECT_EQ(groupOf(Direction::Sent), (Listed{{"300", 16}, {"100", 2}, {"050", 8}}));
    }
    EXPECT_EQ(groupOf(Direction::Received), (Listed{{"200", 4}, {"300", 1}}));
}

// The chart reads its group and its total in one pass; whatever the rows,
// it must come to what the group count and the direct counts find on their
// own: the same people in the same order with the same numbers, the same
// total, the same records in the same order. Rows of every kind are drawn
// from a seed: both directions and others, ties of date, rows outside the
// period, other services, empty addresses, contacts with and without names,
// and exclusions of each kind.
TEST_P(CountingTest, TheChartsOnePassCountsWhatTheGroupAndDirectCountsCount) {
    contact("Anna", "Becker", std::nullopt, {"4155550101", "+1 617 555 0101"});
    contact(std::nullopt, std::nullopt, std::nullopt, {"3125550000"});  // no name: never counted
    contact(std::nullopt, std::nullopt, "Acme", {"2125550100"});
    const std::vector<std::string> addresses{"4155550101", "+16175550101", "3125550000", "2125550100",
                                             "7735550111", "7735550112",   "*0112",      ""};
    const std::vector<std::vector<Person>> exclusions{
        {}, bare({"7735550111"}), bare({"*0112"}), {Person::bareNumber("+16175550101", -1)}};
    auto describe = [](const std::vector<Person>& people, const std::vector<int>& counts,
                       const std::vector<Sms>& records, const Counted<int>& total) {
        std::ostringstream out;
        out << "total " << total << "\n";
        for (std::size_t i = 0; i < people.size(); ++i) {
            out << people[i].name() << " #" << people[i].recordID() << " " << counts.at(i) << ":";
            for (const auto& number : people[i].numSet()) out << " " << number;
            out << "\n";
        }
        for (const Sms& sms : records)
            out << sms.rowid() << " " << flagsOf(sms.flags()) << " " << sms.number() << " " << sms.date() << " "
                << sms.text() << " " << sms.person()->name() << "\n";
        return out.str();
    };
    // Seeds that once told the two apart stay first in the list.
    for (const unsigned seed : {1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        ASSERT_TRUE(counter_.exec("DELETE FROM message"));
        std::mt19937 random(seed);
        auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
        ASSERT_TRUE(counter_.exec("BEGIN"));
        for (int i = 0; i < 120; ++i) {
            const int flags[] = {2, 3, 2, 3, 0, 5};
            row(addresses[static_cast<std::size_t>(pick(static_cast<int>(addresses.size())))], kT - 2 + pick(16),
                flags[pick(6)], pick(5), "m" + std::to_string(i), pick(6) == 0 ? "iMessage" : "SMS");
        }
        ASSERT_TRUE(counter_.exec("COMMIT"));
        for (const auto& excluded : exclusions) {
            for (const MessageType type : {MessageType::Both, MessageType::Received, MessageType::Sent}) {
                SCOPED_TRACE("type " + std::to_string(static_cast<int>(type)) + ", " + std::to_string(excluded.size()) +
                             " excluded");
                CounterStore store = CounterStore::forCurrentPhone();
                std::vector<Person> people, onePassPeople;
                std::vector<int> counts, onePassCounts;
                std::vector<Sms> records, onePassRecords;
                ASSERT_TRUE(store.countGroupOf(type, kT, kT + 10, people, counts, &excluded).ok());
                const Counted<int> total =
                    store.countMessages(type, Direction::Sent, kT, kT + 10, nullptr, &excluded, &records);
                const Counted<int> onePass = store.countGroupAndMessages(
                    type, Direction::Sent, kT, kT + 10, onePassPeople, onePassCounts, &excluded, onePassRecords);
                EXPECT_EQ(describe(onePassPeople, onePassCounts, onePassRecords, onePass),
                          describe(people, counts, records, total));
            }
        }
    }
}

TEST_P(CountingTest, BadgeForEveryTypeWithAndWithoutQuota) {
    received("3125550199", kT, 130);
    sent("3125550199", kT + 5, 20);
    received("3125550100", kT - 10, 1000);  // before `from`
    if (sixOrLater()) row("3125550199", kT, 3, 500, "x", "iMessage");

    const int expected[7] = {150, 130, 20, 150, 0, 0, 80};  // quota 100
    for (int type = 0; type <= 6; ++type) {
        EXPECT_EQ(CounterStore::forCurrentPhone().countBadgeFrom(kT, nullptr, badgeTypeOfStored(type), 100),
                  expected[type])
            << "type " << type;
        const auto unrelated = bare({"*999"});
        EXPECT_EQ(CounterStore::forCurrentPhone().countBadgeFrom(kT, &unrelated, badgeTypeOfStored(type), 100),
                  expected[type])
            << "type " << type;
    }
    EXPECT_EQ(CounterStore::forCurrentPhone().countBadgeFrom(kT, nullptr, BadgeType::QuotaLeftOfBoth, 1000), 850);
    EXPECT_EQ(CounterStore::forCurrentPhone().countBadgeFrom(kT, nullptr, BadgeType::QuotaLeftOfReceived, 0),
              0);  // no quota
    EXPECT_EQ(CounterStore::forCurrentPhone().countBadgeFrom(kT + 3600, nullptr, BadgeType::Received, 0), 0);
    EXPECT_FALSE(CounterStore::forCurrentPhone().countBadgeFrom(std::nullopt, nullptr, BadgeType::Received, 0).ok())
        << "no period start";
}

TEST_P(CountingTest, AnUnreadableBookCountsButAnUnreadableDatabaseIsAFailureWithItsReason) {
    received("4155550101", kT, 3);
    sent("4155550101", kT, 2);
    std::vector<Person> people;
    std::vector<int> counts;

    // A corrupt address book is an empty one: counts still come back.
    std::ofstream(DevicePaths::addressBook(), std::ios::trunc) << std::string(5000, 'x');
    EXPECT_EQ(CounterStore::forCurrentPhone().countIncomingFrom(kT, kT, nullptr, nullptr, nullptr), 3);
    fs::remove(DevicePaths::addressBook());
    EXPECT_EQ(CounterStore::forCurrentPhone().countIncomingFrom(kT, kT, nullptr, nullptr, nullptr), 3);
    // A missing bound is nothing to count, not a failure of the database.
    EXPECT_EQ(CounterStore::forCurrentPhone().countIncomingFrom(std::nullopt, kT, nullptr, nullptr, nullptr), 0);
    EXPECT_FALSE(CounterStore::forCurrentPhone().countBadgeFrom(std::nullopt, nullptr, BadgeType::Both, 0).ok());

    // Every way the counter database can be unreadable: each count the main
    // screen, the badge and the report use fails, with why, and appends no
    // record.
    const std::vector<Person> someone = bare({"*999"});
    const struct {
        const char* what;
        std::function<void()> spoil;
        const char* says;
    } spoiled[] = {
        {"missing table", [&] { ASSERT_TRUE(counter_.exec("DROP TABLE message")); }, "no such table: message"},
        {"another layout",
         [&] {
             ASSERT_TRUE(
                 counter_.exec("DROP TABLE message; CREATE TABLE message (address TEXT, date INTEGER); "
                               "INSERT INTO message VALUES ('4155550101', " +
                               std::to_string(kT) + ")"));
         },
         "no such column"},
        {"garbage file",
         [&] {
             counter_.close();
             std::ofstream(PhoneProfile::find().counterDatabase(), std::ios::trunc) << std::string(8192, '\x02');
         },
         "file is not a database"},
        {"no file",
         [&] {
             counter_.close();
             fs::remove(PhoneProfile::find().counterDatabase());
         },
         "unable to open"},
    };
    for (const auto& spoil : spoiled) {
        SCOPED_TRACE(spoil.what);
        Seeding::copyIfNeeded();
        if (!counter_.isOpen()) {
            ASSERT_TRUE(counter_.open(PhoneProfile::find().counterDatabase(), SqliteDatabase::Mode::ReadWrite));
        }
        spoil.spoil();
        std::vector<Sms> records;
        for (const std::vector<Person>* excluded : {static_cast<const std::vector<Person>*>(nullptr), &someone}) {
            const Counted<int> incoming =
                CounterStore::forCurrentPhone().countIncomingFrom(kT, kT, nullptr, excluded, &records);
            ASSERT_FALSE(incoming.ok());
            EXPECT_NE(incoming.failure().find(PhoneProfile::find().counterDatabase()), std::string::npos) << incoming;
            EXPECT_NE(incoming.failure().find(spoil.says), std::string::npos) << incoming;
            EXPECT_FALSE(CounterStore::forCurrentPhone().countOutgoingFrom(kT, kT, nullptr, excluded, &records).ok());
            EXPECT_FALSE(CounterStore::forCurrentPhone()
                             .countMessages(MessageType::Both, Direction::Received, kT, kT, nullptr, excluded, &records)
                             .ok());
            for (int type = 0; type <= 6; ++type) {
                const Counted<int> badge =
                    CounterStore::forCurrentPhone().countBadgeFrom(kT, excluded, badgeTypeOfStored(type), 100);
                EXPECT_FALSE(badge.ok()) << "badge type " << type << ": " << badge;
                EXPECT_NE(badge.failure().find(spoil.says), std::string::npos) << badge;
            }
            EXPECT_FALSE(CounterStore::forCurrentPhone().countGroupFrom(kT, kT, people, counts, excluded).ok());
        }
        EXPECT_TRUE(records.empty());
        counter_.close();
        fs::remove(PhoneProfile::find().counterDatabase());
    }
    EXPECT_FALSE(fs::exists(PhoneProfile::find().counterDatabase())) << "counting never creates the file";
}

// A store keeps its file and statements open between operations; each
// operation must end its read, or the rows written between two operations
// would stay hidden from the next one and the writer would find the file
// locked. The badge's sum reads one row and stops: the case that needs it.
TEST_P(CountingTest, OneStoreKeptAcrossOperationsSeesTheRowsWrittenBetweenThem) {
    counter_.setBusyTimeout(0);  // a read left open fails the write at once
    received("3125550199", kT, 1);
    CounterStore store = CounterStore::forCurrentPhone();
    std::vector<Person> people;
    std::vector<int> counts;
    for (int round = 1; round <= 3; ++round) {
        SCOPED_TRACE(round);
        EXPECT_EQ(store.countBadgeFrom(kT, nullptr, BadgeType::Received, 0), round * (round + 1) / 2);
        EXPECT_EQ(store.countIncomingFrom(kT, kT, nullptr, nullptr, nullptr), round * (round + 1) / 2);
        people.clear();
        counts.clear();
        EXPECT_EQ(store.countGroupFrom(kT, kT, people, counts, nullptr), round * (round + 1) / 2);
        const Counted<std::vector<Person>> everyone = store.getUniquePerson();
        ASSERT_TRUE(everyone.ok()) << everyone.failure();
        EXPECT_EQ(everyone.value().size(), static_cast<std::size_t>(round));
        // Between two operations of the store: another address writes a row.
        received("31255502" + std::to_string(round), kT, round + 1);
    }
    ASSERT_TRUE(counter_.exec("DELETE FROM message WHERE address = '3125550199'"));
    EXPECT_EQ(store.countBadgeFrom(kT, nullptr, BadgeType::Received, 0), 2 + 3 + 4);
}

// A damaged page among the rows: the rows before it are no total.
TEST_P(CountingTest, ADamagedPagePartWayIsAFailureNotAPartialTotal) {
    ASSERT_TRUE(counter_.exec("BEGIN"));
    for (int i = 0; i < 3000; ++i) received("415555" + std::to_string(1000 + i % 50), kT, 1);
    ASSERT_TRUE(counter_.exec("COMMIT"));
    ASSERT_EQ(CounterStore::forCurrentPhone().countIncomingFrom(kT, kT, nullptr, nullptr, nullptr), 3000);
    counter_.close();

    // Overwrite the middle half of the file, where the rows and the indexes
    // are; the schema on the first page stays readable.
    const auto size = fs::file_size(PhoneProfile::find().counterDatabase());
    ASSERT_GT(size, 16u * 4096u);
    {
        std::fstream file(PhoneProfile::find().counterDatabase(), std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(static_cast<std::streamoff>(size / 4 / 4096 * 4096));
        const std::string garbage(size / 2 / 4096 * 4096, '\x7f');
        file.write(garbage.data(), static_cast<std::streamsize>(garbage.size()));
    }
    const Counted<int> count = CounterStore::forCurrentPhone().countIncomingFrom(kT, kT, nullptr, nullptr, nullptr);
    EXPECT_FALSE(count.ok()) << count;
    EXPECT_NE(count.failure().find("malformed"), std::string::npos) << count;
    const std::vector<Person> someone = bare({"*999"});
    EXPECT_FALSE(CounterStore::forCurrentPhone().countBadgeFrom(kT, &someone, BadgeType::Received, 0).ok());
    // The group count too: no list of whoever was read before the damage.
    std::vector<Person> people;
    std::vector<int> counts;
    const Counted<int> grouped = CounterStore::forCurrentPhone().countGroupFrom(kT, kT, people, counts, nullptr);
    EXPECT_FALSE(grouped.ok()) << grouped;
    EXPECT_TRUE(people.empty());
    EXPECT_TRUE(counts.empty());
}

INSTANTIATE_TEST_SUITE_P(BothSchemas, CountingTest, ::testing::Values("5.1.1", "6.1.3"),
                         [](const auto& info) { return std::string(info.param[0] == '5' ? "Old" : "New"); });
