// Files that change or stay locked under the reader: the address book
// replaced (as the contacts app saves it: a new file renamed over the old)
// while it is read, and sms.db held by a writer while the sync reads it.

#include "platform/AddressBook.h"
#include "platform/AddressBookReader.h"
#include "support/TempDeviceRoot.h"
#include "tools/fixtures/AddressBookFixture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <thread>

namespace fs = std::filesystem;

namespace {

std::string bookWith(const std::string& folder, const std::string& name, int contacts) {
    const std::string path = folder + "/" + name;
    AddressBookFixture book(path);
    EXPECT_TRUE(book.create()) << book.lastError();
    for (int i = 0; i < contacts; ++i)
        EXPECT_GT(book.addContact("Contact", std::to_string(i), std::nullopt, {"+1415555" + std::to_string(1000 + i)}),
                  0);
    return path;
}

}  // namespace

// Two versions of the book, of 1 and 2 contacts, take turns over the file
// while it is read again and again: every read sees one whole version (or,
// at worst, waits for the next refresh), never a mix or a crash.
TEST(BusyFiles, AnAddressBookReplacedWhileItIsReadGivesOneWholeVersion) {
    TempDeviceRoot root;
    const std::string folder = root.path();
    const std::string one = bookWith(folder, "one.sqlitedb", 1);
    const std::string two = bookWith(folder, "two.sqlitedb", 2);
    const std::string path = folder + "/AddressBook.sqlitedb";
    fs::copy_file(one, path);

    std::atomic<bool> done{false};
    std::thread replacer([&] {
        for (int i = 0; !done; ++i) {
            const std::string next = folder + "/next.sqlitedb";
            fs::copy_file(i % 2 ? one : two, next, fs::copy_options::overwrite_existing);
            fs::rename(next, path);
        }
    });
    int loaded = 0;
    AddressBook book(path, "US");
    for (int i = 0; i < 300; ++i) {
        const auto read = AddressBookReader::read(path, 200);
        if (read.outcome == AddressBookReader::Outcome::Loaded) {
            ++loaded;
            EXPECT_TRUE(read.contacts.size() == 1 || read.contacts.size() == 2) << read.contacts.size();
        }
        book.refreshIfChanged();
        const int count = book.personCount();
        EXPECT_TRUE(count == 0 || count == 1 || count == 2) << count;
    }
    done = true;
    replacer.join();
    EXPECT_GT(loaded, 250) << "a replaced file is read, not refused";
}
