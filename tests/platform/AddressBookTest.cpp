#include "platform/AddressBook.h"

#include "platform/SqliteDatabase.h"
#include "platform/DevicePaths.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDeviceRoot.h"
#include "tools/fixtures/AddressBookFixture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class AddressBookTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(fixture_.create()) << fixture_.lastError(); }

    long long add(const std::optional<std::string>& first, const std::optional<std::string>& last,
                  const std::vector<std::string>& numbers, const std::optional<std::string>& organization = {}) {
        const long long id = fixture_.addContact(first, last, organization, numbers);
        EXPECT_GT(id, 0) << fixture_.lastError();
        return id;
    }

    // The record identifier of the contact the address resolves to, 0 for none.
    static int matchOf(AddressBook& book, const std::string& address) {
        const ContactRef contact = book.findPersonMatchingPhoneNumber(address);
        return contact ? contact->recordID : 0;
    }

    TempDeviceRoot root_;
    std::string path_ = DevicePaths::addressBook();
    AddressBookFixture fixture_{path_};
};

TEST_F(AddressBookTest, NumbersMatchWhateverTheirFormattingAndCountryPrefix) {
    const long long international = add("Anna", "Becker", {"+1 (415) 555-0123"});
    const long long national = add("Ben", "Hale", {"(650) 555-0199"});
    AddressBook book(path_, "US");
    for (const char* address : {"4155550123", "+14155550123", "1-415-555-0123", "+1 (415) 555-0123"})
        EXPECT_EQ(matchOf(book, address), international) << address;
    for (const char* address : {"6505550199", "+16505550199"}) EXPECT_EQ(matchOf(book, address), national) << address;
    EXPECT_EQ(matchOf(book, "4155550124"), 0);
    EXPECT_EQ(matchOf(book, "+44 415 555 0123"), 0);
}

TEST_F(AddressBookTest, NumberWithoutAreaCodeMatchesUnlessAnExactMatchExists) {
    const long long full = add("Anna", "Becker", {"+1 415 555 0123"});
    {
        AddressBook book(path_, "US");
        EXPECT_EQ(matchOf(book, "5550123"), full);
    }
    const long long local = add("Ben", "Hale", {"555-0123"});
    AddressBook book(path_, "US");
    EXPECT_EQ(matchOf(book, "5550123"), local);
    EXPECT_EQ(matchOf(book, "4155550123"), full);
}

TEST_F(AddressBookTest, DefaultRegionDecidesWhatANationalNumberMeans) {
    const long long london = add("Olivia", "Hart", {"+44 20 7946 0958"});
    AddressBook british(path_, "GB");
    EXPECT_EQ(matchOf(british, "020 7946 0958"), london);
    AddressBook american(path_, "US");
    EXPECT_EQ(matchOf(american, "020 7946 0958"), 0);
}

TEST_F(AddressBookTest, ShortCodeMatchesOnlyTheSameShortCode) {
    add("Anna", "Becker", {"+1 415 557 2345"});
    {
        AddressBook book(path_, "US");
        EXPECT_EQ(matchOf(book, "72345"), 0);
    }
    const long long bank = add(std::nullopt, std::nullopt, {"72345"}, "Northwind Bank");
    AddressBook book(path_, "US");
    EXPECT_EQ(matchOf(book, "72345"), bank);
}

TEST_F(AddressBookTest, HandlesThatAreNoPhoneNumbersMatchOnlyAsTheSameString) {
    const long long carrier = add(std::nullopt, std::nullopt, {"alerts@carrier.example"}, "Carrier");
    const long long metro = add(std::nullopt, std::nullopt, {"Metro Alerts"}, "Metro");
    add("Anna", "Becker", {"+1 415 555 0123"});
    AddressBook book(path_, "US");
    EXPECT_EQ(matchOf(book, "alerts@carrier.example"), carrier);
    EXPECT_EQ(matchOf(book, "Metro Alerts"), metro);
    EXPECT_EQ(matchOf(book, "metro alerts"), 0);
    EXPECT_EQ(matchOf(book, "news@carrier.example"), 0);
    // The digits of an e-mail handle are no phone number.
    EXPECT_EQ(matchOf(book, "4155550123@mail.example"), 0);
    EXPECT_EQ(matchOf(book, ""), 0);
}

// Past 64 characters or 20 digits an entry is no phone number: it matches
// only itself, however it is spelled, and the parser never sees it.
TEST_F(AddressBookTest, EntriesTooLongForANumberMatchOnlyAsTheSameString) {
    const std::string digits(8000, '7');
    const std::string padded = "+1 415 555 0123" + std::string(60, ' ');
    const std::string manyDigits = "+1 415 555 0123 0000 0000 00";  // 21 digits, a short string
    const long long longDigits = add("Long", "Digits", {digits});
    const long long longPadded = add("Long", "Padding", {padded});
    const long long longCount = add("Many", "Digits", {manyDigits});
    const long long normal = add("Anna", "Becker", {"+1 (650) 555-0199"});
    AddressBook book(path_, "US");
    EXPECT_EQ(matchOf(book, digits), longDigits);
    EXPECT_EQ(matchOf(book, padded), longPadded);
    EXPECT_EQ(matchOf(book, manyDigits), longCount);
    for (const char* address : {"4155550123", "+14155550123"}) EXPECT_EQ(matchOf(book, address), 0) << address;
    EXPECT_EQ(matchOf(book, digits.substr(1)), 0);
    EXPECT_EQ(matchOf(book, "+1 415 555 0123" + std::string(61, ' ')), 0);
    // Still a number at the limits: 64 characters, 20 digits.
    EXPECT_EQ(matchOf(book, "+1 650 555 0199" + std::string(49, ' ')), normal);
    EXPECT_EQ(matchOf(book, "6505550199"), normal);
}

TEST_F(AddressBookTest, EqualMatchesGoToTheLowestRecordIdentifier) {
    const long long first = add("Anna", "Becker", {"+1 (415) 555-0123"});
    add("Ben", "Hale", {"(415) 555-0123"});
    AddressBook book(path_, "US");
    EXPECT_EQ(matchOf(book, "4155550123"), first);
    // The same string is an exact match, and so is the first contact's number.
    EXPECT_EQ(matchOf(book, "(415) 555-0123"), first);
}

TEST_F(AddressBookTest, ContactsReadAsStoredWithEmptyNamesAbsent) {
    const long long anna = add("", "Becker", {"+1 415 555 0100", "4155550101"}, "");
    {
        // An e-mail address of the same person is no phone number.
        SqliteDatabase db;
        ASSERT_TRUE(db.open(path_, SqliteDatabase::Mode::ReadWrite));
        ASSERT_TRUE(db.exec("INSERT INTO ABMultiValue (record_id, property, value) VALUES (" + std::to_string(anna) +
                            ", 4, 'anna@example.org')"));
    }
    AddressBook book(path_, "US");
    const ContactRef contact = book.personWithRecordID(static_cast<int>(anna));
    ASSERT_TRUE(contact);
    EXPECT_EQ(contact->recordID, anna);
    EXPECT_EQ(contact->first, std::nullopt);
    EXPECT_EQ(contact->last, "Becker");
    EXPECT_EQ(contact->organization, std::nullopt);
    EXPECT_EQ(contact->numbers, (std::vector<std::string>{"+1 415 555 0100", "4155550101"}));
    EXPECT_EQ(matchOf(book, "anna@example.org"), 0);
    EXPECT_FALSE(book.personWithRecordID(static_cast<int>(anna) + 1));
    EXPECT_EQ(book.personCount(), 1);
}

TEST_F(AddressBookTest, SortsLastNameFirstIgnoringCase) {
    const long long zellerAnna = add("anna", "Zeller", {});
    const long long bob = add("Bob", std::nullopt, {});
    const long long acme = add(std::nullopt, std::nullopt, {}, "acme");
    const long long zellerCarl = add("Carl", "zeller", {});
    const long long zellerAnnaAgain = add("Anna", "ZELLER", {});
    const long long adams = add("Zoe", "Adams", {});
    AddressBook book(path_, "US");
    std::vector<long long> order;
    for (const ContactRef& contact : book.allPeopleSortedLastNameFirst()) order.push_back(contact->recordID);
    EXPECT_EQ(order, (std::vector<long long>{acme, adams, bob, zellerAnna, zellerAnnaAgain, zellerCarl}));
}

TEST_F(AddressBookTest, UnreadableBooksAreEmptyAndNeverCreated) {
    const auto expectEmpty = [](const std::string& path, const char* what) {
        AddressBook book(path, "US");
        book.refreshIfChanged();
        EXPECT_EQ(book.personCount(), 0) << what;
        EXPECT_TRUE(book.allPeopleSortedLastNameFirst().empty()) << what;
        EXPECT_FALSE(book.findPersonMatchingPhoneNumber("4155550123")) << what;
        EXPECT_FALSE(book.personWithRecordID(1)) << what;
    };
    const std::string missing = root_.path() + "/missing/AddressBook.sqlitedb";
    expectEmpty(missing, "missing");
    EXPECT_FALSE(fs::exists(missing));

    const std::string garbage = root_.path() + "/garbage.sqlitedb";
    std::ofstream(garbage) << std::string(4096, '\x5a');
    expectEmpty(garbage, "garbage");

    const std::string tableless = root_.path() + "/tableless.sqlitedb";
    SqliteDatabase db;
    ASSERT_TRUE(db.open(tableless, SqliteDatabase::Mode::ReadWriteCreate));
    ASSERT_TRUE(db.exec("CREATE TABLE unrelated (x)"));
    expectEmpty(tableless, "without tables");
}

TEST_F(AddressBookTest, ChangedFileIsPickedUpOnRefreshAndOldContactsStayValid) {
    const long long anna = add("Anna", "Becker", {"+1 415 555 0100"});
    AddressBook book(path_, "US");
    book.refreshIfChanged();
    const ContactRef before = book.personWithRecordID(static_cast<int>(anna));
    EXPECT_EQ(matchOf(book, "4155550199"), 0);

    const long long ben = add("Ben", "Hale", {"+1 415 555 0199"});
    EXPECT_EQ(matchOf(book, "4155550199"), 0) << "answers stand until the next refresh";
    book.refreshIfChanged();
    EXPECT_EQ(matchOf(book, "4155550199"), ben);

    // A replaced file, even one that happens to reuse record identifiers.
    fs::remove(path_);
    ASSERT_TRUE(fixture_.create());
    const long long carl = add("Carl", "Zeller", {"+1 415 555 0300"});
    book.refreshIfChanged();
    EXPECT_EQ(book.personCount(), 1);
    EXPECT_EQ(matchOf(book, "4155550199"), 0);
    EXPECT_EQ(matchOf(book, "4155550300"), carl);
    EXPECT_EQ(before->last, "Becker");

    fs::remove(path_);
    book.refreshIfChanged();
    EXPECT_EQ(book.personCount(), 0);
}

TEST_F(AddressBookTest, ChangeRightAfterALoadIsSeenEvenWithSizeAndTimeUnchanged) {
    const long long anna = add("Anna", "Becker", {"+1 415 555 0100"});
    AddressBook book(path_, "US");
    book.refreshIfChanged();
    const auto size = fs::file_size(path_);
    const auto modified = fs::last_write_time(path_);
    {
        SqliteDatabase db;
        ASSERT_TRUE(db.open(path_, SqliteDatabase::Mode::ReadWrite));
        ASSERT_TRUE(db.exec("UPDATE ABPerson SET Last = 'Beckes'"));
    }
    ASSERT_EQ(fs::file_size(path_), size);
    fs::last_write_time(path_, modified);  // as if within the same clock tick
    book.refreshIfChanged();
    EXPECT_EQ(book.personWithRecordID(static_cast<int>(anna))->last, "Beckes");
}

TEST_F(AddressBookTest, LockedBookIsEmptyAtOnceAndRetriedAfterwards) {
    add("Anna", "Becker", {"+1 415 555 0100"});
    SqliteDatabase writer;
    ASSERT_TRUE(writer.open(path_, SqliteDatabase::Mode::ReadWrite));
    ASSERT_TRUE(writer.exec("BEGIN EXCLUSIVE"));
    // Long unchanged, so that nothing but the failed load calls for a retry.
    fs::last_write_time(path_, fs::file_time_type::clock::now() - std::chrono::hours(1));
    AddressBook book(path_, "US");
    const auto start = std::chrono::steady_clock::now();
    book.refreshIfChanged();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(book.personCount(), 0);

    // The file itself never changed: only the failed load brings the retry.
    ASSERT_TRUE(writer.exec("ROLLBACK"));
    book.refreshIfChanged();
    EXPECT_EQ(book.personCount(), 1);
}

TEST_F(AddressBookTest, LockDuringReloadKeepsTheContactsAlreadyRead) {
    add("Anna", "Becker", {"+1 415 555 0100"});
    AddressBook book(path_, "US");
    book.refreshIfChanged();
    add("Ben", "Hale", {"+1 415 555 0199"});
    SqliteDatabase writer;
    ASSERT_TRUE(writer.open(path_, SqliteDatabase::Mode::ReadWrite));
    ASSERT_TRUE(writer.exec("BEGIN EXCLUSIVE"));
    book.refreshIfChanged();
    EXPECT_EQ(book.personCount(), 1);
    EXPECT_NE(matchOf(book, "4155550100"), 0);

    ASSERT_TRUE(writer.exec("ROLLBACK"));
    book.refreshIfChanged();
    EXPECT_EQ(book.personCount(), 2);
}

TEST_F(AddressBookTest, SharedBookFollowsTheDeviceRoot) {
    const long long anna = add("Anna", "Becker", {"Anna's pager"});
    AddressBook& shared = AddressBook::shared();
    shared.refreshIfChanged();
    EXPECT_EQ(matchOf(shared, "Anna's pager"), anna);
    {
        // Another device whose book is missing altogether.
        TempDeviceRoot otherDevice;
        shared.refreshIfChanged();
        EXPECT_EQ(shared.personCount(), 0);
        EXPECT_EQ(matchOf(shared, "Anna's pager"), 0);
    }
    shared.refreshIfChanged();
    EXPECT_EQ(matchOf(shared, "Anna's pager"), anna);
}

TEST(AddressBookRegionTest, TakesTheTerritoryOfTheFirstLocaleThatNamesOne) {
    struct Case {
        std::optional<std::string> all, messages, lang;
        std::string region;
    };
    const std::vector<Case> cases = {
        {std::nullopt, std::nullopt, "de_DE.UTF-8", "DE"},
        {std::nullopt, std::nullopt, "pt_BR", "BR"},
        {std::nullopt, std::nullopt, "ca_ES@valencia", "ES"},
        {"fr_CA.UTF-8", "de_DE.UTF-8", "en_GB.UTF-8", "CA"},
        {std::nullopt, "de_AT", "en_GB.UTF-8", "AT"},
        {"C", "POSIX", "en_GB.UTF-8", "GB"},
        {"C.UTF-8", "en", "", "US"},
        {std::nullopt, std::nullopt, std::nullopt, "US"},
        {std::nullopt, std::nullopt, "en_XX.UTF-8", "US"},
    };
    for (const Case& c : cases) {
        ScopedEnvironment all("LC_ALL", c.all);
        ScopedEnvironment messages("LC_MESSAGES", c.messages);
        ScopedEnvironment lang("LANG", c.lang);
        EXPECT_EQ(AddressBook::defaultRegionFromLocale(), c.region)
            << c.all.value_or("-") << " " << c.messages.value_or("-") << " " << c.lang.value_or("-");
    }
}

}  // namespace
