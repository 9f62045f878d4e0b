// The address book from a mutated AddressBook.sqlitedb, and the number
// matching over the numbers it holds: every contact a lookup finds is one the
// book holds, a number a contact lists finds a contact, and the star
// patterns match as the rule says.

#include "common/Person.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/ScratchDeviceRoot.h"
#include "platform/AddressBook.h"
#include "platform/AddressBookReader.h"
#include "platform/DevicePaths.h"

#include <cstdint>
#include <string>

namespace {

void checkMatching(const std::string& number) {
    if (number.empty()) return;
    if (number.front() != '*' && number.back() != '*')
        FUZZ_CHECK(Person::equalNumber(number, number), "a plain number matches itself");
    FUZZ_CHECK(Person::equalNumber("*" + number, "0" + number), "a leading star matches any prefix");
    FUZZ_CHECK(Person::equalNumber(number + "*", number + "0"), "a trailing star matches any suffix");
    FUZZ_CHECK(!Person::equalNumber("*", number) || number.front() == '*' || number.back() == '*',
               "a lone star matches no number");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ScratchDeviceRoot::instance("6.1.3");
    const std::string path = DevicePaths::addressBook();
    ScratchDeviceRoot::writeFile(path, data, size);

    const auto read = AddressBookReader::read(path, 0);
    FUZZ_CHECK(read.outcome == AddressBookReader::Outcome::Loaded || read.contacts.empty(),
               "a book that did not load holds no contacts");

    AddressBook book(path, "US");
    book.refreshIfChanged();
    for (const auto& contact : read.contacts) {
        FUZZ_CHECK(book.personWithRecordID(contact.recordID) != nullptr, "every contact read is in the book");
        for (const auto& number : contact.numbers) {
            checkMatching(number);
            const ContactRef found = book.findPersonMatchingPhoneNumber(number);
            if (found) FUZZ_CHECK(book.personWithRecordID(found->recordID) != nullptr, "a match is a contact");
        }
    }
    book.allPeopleSortedLastNameFirst();
    return 0;
}
