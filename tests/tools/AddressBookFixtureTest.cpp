#include "tools/fixtures/AddressBookFixture.h"

#include "support/TempDeviceRoot.h"
#include "tools/SmsReadBack.h"

#include <gtest/gtest.h>

namespace {

class AddressBookFixtureTest : public ::testing::Test {
protected:
    std::string path() const { return root_.path() + "/AddressBook/AddressBook.sqlitedb"; }
    TempDeviceRoot root_;
};

TEST_F(AddressBookFixtureTest, ContactsRoundTripWithTheirNumbersInOrder) {
    AddressBookFixture book(path());
    ASSERT_TRUE(book.create()) << book.lastError();
    const long long anna = book.addContact("Anna", "Becker", std::nullopt, {"+1 (415) 555-0100", "4155550101"});
    const long long bank = book.addContact(std::nullopt, std::nullopt, "Northwind Bank", {"72345"});
    const long long nobody = book.addContact("Liam", std::nullopt, std::nullopt, {});
    ASSERT_GT(anna, 0) << book.lastError();
    EXPECT_GT(bank, anna);
    EXPECT_GT(nobody, bank);

    auto contacts = book.contacts();
    ASSERT_EQ(contacts.size(), 3u);
    EXPECT_EQ(contacts[0].recordID, anna);
    EXPECT_EQ(contacts[0].first, "Anna");
    EXPECT_EQ(contacts[0].last, "Becker");
    EXPECT_FALSE(contacts[0].organization.has_value());
    EXPECT_EQ(contacts[0].numbers, (std::vector<std::string>{"+1 (415) 555-0100", "4155550101"}));
    EXPECT_FALSE(contacts[1].first.has_value());
    EXPECT_FALSE(contacts[1].last.has_value());
    EXPECT_EQ(contacts[1].organization, "Northwind Bank");
    EXPECT_EQ(contacts[2].last, std::nullopt);
    EXPECT_TRUE(contacts[2].numbers.empty());
}

TEST_F(AddressBookFixtureTest, NumbersAreMultiValuesWithThePhoneProperty) {
    AddressBookFixture book(path());
    ASSERT_TRUE(book.create());
    const long long id = book.addContact("Anna", "Becker", std::nullopt, {"+1 (415) 555-0100", "4155550101"});
    // The way a contacts reader finds a person's phone numbers.
    EXPECT_EQ(sms_read_back::scalar(
                  path(), "SELECT COUNT(*) FROM ABMultiValue WHERE property = 3 AND record_id = " + std::to_string(id)),
              2);
}

TEST_F(AddressBookFixtureTest, CreateKeepsContactsAndMissingFileFails) {
    AddressBookFixture book(path());
    EXPECT_TRUE(book.contacts().empty());
    EXPECT_EQ(book.addContact("A", "B", std::nullopt, {"1"}), -1);
    EXPECT_FALSE(book.lastError().empty());

    ASSERT_TRUE(book.create());
    ASSERT_GT(book.addContact("A", "B", std::nullopt, {"1"}), 0);
    ASSERT_TRUE(book.create());
    EXPECT_EQ(book.contacts().size(), 1u);
}

}  // namespace
