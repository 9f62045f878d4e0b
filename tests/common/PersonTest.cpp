#include "common/Person.h"
#include "common/Sms.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

Person contact(int recordID, const std::string& name, std::initializer_list<std::string> numbers) {
    Person person;
    person.setName(name);
    person.setRecordID(recordID);
    for (const auto& number : numbers) person.addNumber(number);
    return person;
}

}  // namespace

TEST(Person, MatchingRuleTriesTheStarsInOrder) {
    struct Case {
        const char* a;
        const char* b;
        bool equal;
    };
    const Case cases[] = {
        {"*123", "4123", true},     // rule 1: a's suffix
        {"4123", "*123", true},     // rule 3: the pattern second
        {"123*", "1234567", true},  // rule 2: a's prefix
        {"123*", "0123", false},
        {"1234567", "123*", true},  // rule 4
        {"*", "123", false},        // a lone star matches nothing
        {"123", "*", false},
        {"*", "*", false},
        {"*123", "123*", false},  // patterns against each other, as written
        {"123*", "*123", false},
        {"*12*", "912*", true},                 // only the first star counts: suffix "12*"
        {"+14155550123", "4155550123", false},  // no normalising
        {"*4155550123", "+14155550123", true},  // a star joins the two spellings
        {"", "", true},                         // plain equality of the strings
        {"abc", "abc", true},
    };
    for (const auto& c : cases) EXPECT_EQ(Person::equalNumber(c.a, c.b), c.equal) << c.a << " vs " << c.b;
}

TEST(Person, EqualityIsByRecordBetweenContactsAndByNumbersOtherwise) {
    const Person anna = contact(42, "Anna Becker", {"+14155550101", "6175550101"});
    const Person annaAgain = contact(42, "Someone Else", {});
    const Person ben = contact(43, "Ben Carter", {"+14155550101"});
    const Person bare = contact(-1, "6175550101", {"6175550101"});
    const Person pattern = contact(-1, "*0101", {"*0101"});

    EXPECT_TRUE(anna.isEqual(annaAgain));  // names and numbers are not looked at
    EXPECT_FALSE(anna.isEqual(ben));       // shared number, different records
    EXPECT_TRUE(anna.isEqual(bare));
    EXPECT_TRUE(bare.isEqual(anna));
    EXPECT_TRUE(anna.isEqual(pattern));  // anna's number ends in 0101 (rule 3)
    EXPECT_TRUE(pattern.isEqual(anna));
    EXPECT_FALSE(contact(-1, "x", {}).isEqual(anna));  // no numbers, nothing to match
    // A bare person made for a record (recordID 0) compares by record with contacts.
    EXPECT_FALSE(contact(0, "6175550101", {"6175550101"}).isEqual(anna));

    const std::vector<Person> list{ben, bare, anna};
    EXPECT_EQ(Person::indexOfEqual(list, anna), 1);  // the first equal element wins
    EXPECT_EQ(Person::indexOfEqual(list, contact(44, "Nobody", {})), -1);
}

TEST(Person, NumbersNamesAndOrdering) {
    Person person;
    EXPECT_EQ(person.getFirstNumber(), "");
    EXPECT_EQ(person.recordID(), 0);
    person.addNumber("123");
    person.addNumber("456");
    person.addNumber("123");
    EXPECT_EQ(person.numSet().size(), 2u);
    EXPECT_EQ(person.getFirstNumber(), "123");
    EXPECT_EQ(person.hash(), contact(7, "", {"9"}).hash());  // by name alone

    std::vector<Person> people{contact(1, "anna", {}), contact(2, "Zoe", {}), contact(3, "Anna", {})};
    std::stable_sort(people.begin(), people.end(),
                     [](const Person& a, const Person& b) { return a.comparePerson(b) < 0; });
    EXPECT_EQ(people[0].name(), "Anna");
    EXPECT_EQ(people[1].name(), "Zoe");  // case-sensitive: Z before a
    EXPECT_EQ(people[2].name(), "anna");
    EXPECT_EQ(people[0].comparePerson(people[0]), 0);
}

TEST(Sms, RecordsOrderByDateAlone) {
    const auto person = std::make_shared<const Person>(Person::bareNumber("123", 0));
    const Sms older(person, "123", 1000, "a", Sms::kSent, 9);
    const Sms newer(person, "123", 1001, "b", Sms::kReceived, 1);
    const Sms sameSecond(person, "456", 1000, "c", Sms::kReceived, 5);
    EXPECT_LT(older.compare(newer), 0);
    EXPECT_GT(newer.compare(older), 0);
    EXPECT_EQ(older.compare(sameSecond), 0);
}
