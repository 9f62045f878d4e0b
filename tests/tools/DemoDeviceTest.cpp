#include "tools/fixtures/DemoDevice.h"

#include "platform/SystemVersion.h"
#include "support/TempDeviceRoot.h"
#include "tools/SmsReadBack.h"
#include "tools/fixtures/AddressBookFixture.h"
#include "tools/fixtures/DeviceFixture.h"
#include "tools/fixtures/SmsDatabaseFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace {

constexpr std::int64_t kNow = 1370044800;  // 2013-06-01
constexpr std::int64_t kYear = 365 * 24 * 3600;

std::string digitsOf(const std::string& number) {
    std::string digits;
    std::copy_if(number.begin(), number.end(), std::back_inserter(digits), ::isdigit);
    return digits;
}

TEST(DemoDeviceTest, NewPhoneGetsAYearOfTrafficAndAnAddressBook) {
    TempDeviceRoot root;
    std::string error;
    ASSERT_TRUE(DemoDevice::populate(root.path(), "6.1.3", kNow, &error)) << error;
    EXPECT_EQ(SystemVersion::systemVersion(), "6.1.3");

    auto rows = sms_read_back::read(DeviceFixture::smsDatabase(root.path()), true);
    ASSERT_TRUE(rows);
    EXPECT_GE(rows->size(), 3000u);
    EXPECT_LE(rows->size(), 5000u);
    std::set<std::string> addresses;
    int other = 0;
    for (const auto& row : *rows) {
        ASSERT_TRUE(row.flags == 2 || row.flags == 3);
        ASSERT_GE(row.date, kNow - kYear);
        ASSERT_LE(row.date, kNow);
        addresses.insert(*row.address);
        other += row.type != "SMS";
    }
    EXPECT_EQ(addresses.size(), static_cast<std::size_t>(DemoDevice::kCorrespondents));
    EXPECT_GT(other, 0);
    EXPECT_LT(other, static_cast<int>(rows->size() / 10));
}

TEST(DemoDeviceTest, AddressBookKnowsMostCorrespondentsOneUnderTwoFormats) {
    TempDeviceRoot root;
    ASSERT_TRUE(DemoDevice::populate(root.path(), "6.1.3", kNow));
    auto contacts = AddressBookFixture(DeviceFixture::addressBook(root.path())).contacts();
    EXPECT_GE(contacts.size(), 18u);
    EXPECT_LE(contacts.size(), 22u);

    auto rows = sms_read_back::read(DeviceFixture::smsDatabase(root.path()), true);
    ASSERT_TRUE(rows);
    std::set<std::string> trafficAddresses;
    for (const auto& row : *rows) trafficAddresses.insert(*row.address);

    int organisationsOnly = 0;
    bool secondNumberInOtherFormat = false;
    for (const auto& contact : contacts) {
        organisationsOnly += !contact.first && !contact.last && contact.organization;
        ASSERT_FALSE(contact.numbers.empty());
        EXPECT_TRUE(trafficAddresses.count(contact.numbers[0])) << contact.numbers[0];
        if (contact.numbers.size() < 2) continue;
        const std::string& second = contact.numbers[1];
        EXPECT_FALSE(trafficAddresses.count(second));
        secondNumberInOtherFormat = std::any_of(trafficAddresses.begin(), trafficAddresses.end(),
                                                [&](const auto& a) { return digitsOf(second) == "1" + digitsOf(a); });
    }
    EXPECT_GE(organisationsOnly, 2);
    EXPECT_TRUE(secondNumberInOtherFormat);
}

TEST(DemoDeviceTest, OldPhoneAlsoHoldsRowsTheSyncSkips) {
    TempDeviceRoot root;
    ASSERT_TRUE(DemoDevice::populate(root.path(), "5.1.1", kNow));
    const std::string sms = DeviceFixture::smsDatabase(root.path());
    EXPECT_EQ(SmsDatabaseFixture(sms).detectSchema(), SmsSchema::Old);
    auto skipped = sms_read_back::scalar(sms, "SELECT COUNT(*) FROM message WHERE flags NOT IN (2, 3)");
    ASSERT_TRUE(skipped);
    EXPECT_GT(*skipped, 0);
    EXPECT_LT(*skipped, 20);
    auto rows = sms_read_back::read(sms, false);
    ASSERT_TRUE(rows);
    EXPECT_EQ(static_cast<long long>(rows->size()) + *skipped, SmsDatabaseFixture(sms).messageCount());
}

TEST(DemoDeviceTest, RefusesAPhoneThatAlreadyHasMessages) {
    TempDeviceRoot root;
    ASSERT_TRUE(DemoDevice::populate(root.path(), "5.1.1", kNow));
    SmsDatabaseFixture sms(DeviceFixture::smsDatabase(root.path()));
    const long long before = sms.messageCount();
    const auto contactsBefore = AddressBookFixture(DeviceFixture::addressBook(root.path())).contacts().size();

    std::string error;
    EXPECT_FALSE(DemoDevice::populate(root.path(), "6.1.3", kNow, &error));
    EXPECT_NE(error.find("already holds"), std::string::npos) << error;
    EXPECT_EQ(sms.messageCount(), before);
    EXPECT_EQ(AddressBookFixture(DeviceFixture::addressBook(root.path())).contacts().size(), contactsBefore);
    // The existing phone keeps its version.
    EXPECT_EQ(SystemVersion::systemVersion(), "5.1.1");
}

TEST(DemoDeviceTest, ExistingEmptyRootKeepsItsSchema) {
    TempDeviceRoot root;
    ASSERT_TRUE(DeviceFixture::createDeviceRoot(root.path(), "5.1.1"));
    ASSERT_TRUE(DemoDevice::populate(root.path(), "6.1.3", kNow));
    EXPECT_EQ(SystemVersion::systemVersion(), "5.1.1");
    EXPECT_EQ(SmsDatabaseFixture(DeviceFixture::smsDatabase(root.path())).detectSchema(), SmsSchema::Old);
}

}  // namespace

namespace {

// Every version from 7.0 gets the demo too, in its own layout: traffic as
// one-to-one chats and the rows only a modern phone has.
TEST(DemoDeviceTest, ModernPhonesGetTheirLayoutAndTheirOwnKindsOfRows) {
    for (const char* version : {"10.3.4", "14.3", "17.5.1"}) {
        TempDeviceRoot root;
        std::string error;
        ASSERT_TRUE(DemoDevice::populate(root.path(), version, kNow, &error)) << version << ": " << error;
        const std::string sms = DeviceFixture::smsDatabase(root.path());
        EXPECT_EQ(SmsDatabaseFixture(sms).detectColumnSet(), DeviceFixture::columnSetForVersion(version));
        EXPECT_GT(SmsDatabaseFixture(sms).messageCount(), static_cast<long long>(DemoDevice::kMessageCount));

        auto count = [&](const std::string& where) {
            return sms_read_back::scalar(sms, "SELECT COUNT(*) FROM message WHERE " + where).value_or(-1);
        };
        // Every row sits in a chat; sent rows name nobody themselves.
        EXPECT_EQ(count("ROWID NOT IN (SELECT message_id FROM chat_message_join)"), 0) << version;
        EXPECT_EQ(count("is_from_me = 1 AND handle_id <> 0"), 0) << version;
        EXPECT_GT(count("is_from_me = 1"), 1000) << version;
        EXPECT_EQ(count("cache_roomnames IS NOT NULL"), 5) << version;
        EXPECT_EQ(count("associated_message_type <> 0"), 1) << version;
        EXPECT_EQ(count("item_type <> 0"), 1) << version;
        EXPECT_EQ(count("error <> 0"), 1) << version;
        EXPECT_EQ(count("text IS NULL AND attributedBody IS NOT NULL"), std::string(version) == "17.5.1" ? 2 : 0)
            << version;
        const bool nanoseconds = std::string(version) != "10.3.4";
        const auto newest = sms_read_back::scalar(sms, "SELECT MAX(date) FROM message");
        ASSERT_TRUE(newest);
        EXPECT_EQ(*newest > 1000000000000000, nanoseconds) << version;
        const std::int64_t unix = (nanoseconds ? *newest / 1000000000 : *newest) + 978307200;
        EXPECT_LE(unix, kNow) << version;
        EXPECT_GE(unix, kNow - 2 * 24 * 3600) << version;
    }
}

}  // namespace
