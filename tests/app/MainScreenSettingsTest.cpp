#include "app/shell/MainScreenSettings.h"
#include "common/Seeding.h"
#include "common/SettingsStore.h"
#include "platform/SqliteDatabase.h"
#include "platform/DevicePaths.h"
#include "platform/PropertyList.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDeviceRoot.h"
#include "tools/fixtures/AddressBookFixture.h"
#include "tools/fixtures/DeviceFixture.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

constexpr std::time_t kNow = 1363780800;  // 2013-03-20 12:00 UTC

class MainScreenSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(DeviceFixture::createDeviceRoot(root_.path(), "6.1.3"));
        Seeding::copyIfNeeded();
        ASSERT_TRUE(book_.create());
    }
    PropertyList stored() { return SettingsStore::load().value(); }
    MainScreenSettings reloaded() {
        MainScreenSettings settings;
        const auto file = SettingsStore::load();
        settings.loadFilterSettings(file ? &*file : nullptr);
        settings.loadPeriod(file ? &*file : nullptr, kNow);
        return settings;
    }

    ScopedEnvironment tz_{"TZ", std::string("UTC")};
    TempDeviceRoot root_;
    AddressBookFixture book_{DevicePaths::addressBook()};
    // The badges the saves counted, in order.
    std::vector<int> badges_;
    // Saves as the app does: the file, then the badge's count unless the
    // badge is off or its count fails.
    void save(MainScreenSettings& settings) {
        settings.storeLastDate(kNow);
        if (settings.badgeType == BadgeType::Off) return;
        if (const Counted<int> count = settings.badgeCount()) badges_.push_back(count.value());
    }
};

}  // namespace

TEST_F(MainScreenSettingsTest, AnEmptyFileGivesEveryDefault) {
    const MainScreenSettings settings = reloaded();
    EXPECT_EQ(settings.saveFromDate, MainScreenSettings::PeriodMode::BillingDay);
    EXPECT_EQ(settings.cycleDay, 1);
    EXPECT_EQ(settings.from, 1362096000);  // 1 March 2013 00:00
    EXPECT_EQ(settings.to, 1363823999);    // 20 March 23:59:59
    EXPECT_EQ(settings.badgeType, BadgeType::Sent);
    EXPECT_EQ(settings.smsquota, 0);
    EXPECT_EQ(settings.messageType, MessageType::Both);
    EXPECT_FALSE(settings.selectedPerson);
    EXPECT_TRUE(settings.excludedPersonArray.empty());
    EXPECT_FALSE(settings.hideSMS);
}

TEST_F(MainScreenSettingsTest, SaveAndReloadEveryKeyKeepingForeignKeys) {
    const long long anna = book_.addContact("Anna", "Becker", std::nullopt, {"+1 415 555 0101"});
    ASSERT_TRUE(SettingsStore::update([](PropertyList& s) {
        s.setString("somebodyelses", "kept");
        s.setInteger("lastsyncrdate", 1234);
    }));

    MainScreenSettings settings = reloaded();
    settings.messageType = MessageType::Received;
    settings.smsquota = 250;
    settings.badgeType = BadgeType::QuotaLeftOfReceived;
    settings.saveFromDate = MainScreenSettings::PeriodMode::BillingDay;
    settings.cycleDay = 15;
    settings.selectedPerson = Person::bareNumber("4155550101", -1);
    // Saved in the order number, contact, number...
    settings.excludedPersonArray = {Person::bareNumber("*123", -1), *Person::excludedContact(static_cast<int>(anna)),
                                    Person::bareNumber("3125550199", -1)};
    save(settings);

    PropertyList file = stored();
    EXPECT_EQ(file.stringValue("somebodyelses"), "kept");
    EXPECT_EQ(file.integerValue("lastsyncrdate"), 1234);
    EXPECT_EQ(file.integerValue("smsquota"), 250);
    EXPECT_EQ(file.integerValue("badgetype"), 5);
    EXPECT_EQ(file.stringValue("messagetype"), "1");
    EXPECT_EQ(file.stringValue("cyclemode"), "Y");
    EXPECT_EQ(file.stringValue("cycleday"), "15");
    EXPECT_FALSE(file.contains("lastfromdate"));
    EXPECT_EQ(file.stringValue("lastrecordnumber"), "4155550101");
    EXPECT_EQ(file.integerValue("epersoncount"), 1);
    EXPECT_EQ(file.integerValue("eperson0"), anna);
    EXPECT_EQ(file.integerValue("epersoncountNA"), 2);
    EXPECT_EQ(file.stringValue("epersonNA0"), "*123");
    EXPECT_EQ(file.stringValue("epersonNA1"), "3125550199");
    EXPECT_EQ(badges_, (std::vector<int>{250}));  // quota minus nothing

    // ...reloads as contact, number, number; the person filter resolves to the contact.
    const MainScreenSettings again = reloaded();
    ASSERT_EQ(again.excludedPersonArray.size(), 3u);
    EXPECT_EQ(again.excludedPersonArray[0].name(), "Anna Becker");
    EXPECT_EQ(again.excludedPersonArray[1].name(), "*123");
    EXPECT_EQ(again.excludedPersonArray[2].name(), "3125550199");
    ASSERT_TRUE(again.selectedPerson);
    EXPECT_EQ(again.selectedPerson->name(), "Anna Becker");
    EXPECT_EQ(again.selectedPerson->recordID(), anna);
    EXPECT_EQ(again.messageType, MessageType::Received);
    EXPECT_EQ(again.cycleDay, 15);
    EXPECT_EQ(again.from, 1363305600);  // 15 March 00:00
}

TEST_F(MainScreenSettingsTest, FixedDateModeAgainstBillingDayMode) {
    MainScreenSettings settings = reloaded();
    settings.saveFromDate = MainScreenSettings::PeriodMode::FixedDate;
    settings.cycleDay = 0;
    settings.from = 1360000000;
    settings.badgeType = BadgeType::Off;
    save(settings);
    EXPECT_TRUE(badges_.empty());  // badge off: not counted
    PropertyList file = stored();
    EXPECT_DOUBLE_EQ(file.doubleValue("lastfromdate"), 1360000000.0);
    EXPECT_FALSE(file.contains("cyclemode"));

    // A stored fraction is dropped toward zero on load.
    ASSERT_TRUE(SettingsStore::update([](PropertyList& s) { s.setDouble("lastfromdate", 1360000000.75); }));
    MainScreenSettings fixed = reloaded();
    EXPECT_EQ(fixed.saveFromDate, MainScreenSettings::PeriodMode::FixedDate);
    EXPECT_EQ(fixed.cycleDay, 0);
    EXPECT_EQ(fixed.from, 1360000000);

    // Back to billing-day mode: the fixed start goes, cyclemode comes.
    fixed.saveFromDate = MainScreenSettings::PeriodMode::BillingDay;
    fixed.cycleDay = 31;
    save(fixed);
    file = stored();
    EXPECT_FALSE(file.contains("lastfromdate"));
    EXPECT_EQ(file.stringValue("cycleday"), "31");
    EXPECT_EQ(reloaded().from, 1362268800);  // 31 Feb carries to 3 March
}

TEST_F(MainScreenSettingsTest, OddValuesLoadAsTheirSpecifiedMeaning) {
    ASSERT_TRUE(SettingsStore::update([](PropertyList& s) {
        s.setString("messagetype", "x");
        s.setInteger("smsquota", -5);
        s.setString("cyclemode", "Y");
        s.setString("cycleday", "45");
        s.setInteger("badgetype", 9);
        s.setString("hidesms", "N");
        s.setInteger("epersoncountNA", 3);
        s.setString("epersonNA0", "111");
        s.setString("epersonNA2", "333");  // a gap: the app reads past it
        s.setInteger("epersoncount", 2);
        s.setInteger("eperson0", 999);  // no such contact: dropped
    }));
    MainScreenSettings settings;
    settings.hideSMS = true;
    const auto file = SettingsStore::load();
    settings.loadFilterSettings(&*file);
    settings.loadPeriod(&*file, kNow);
    EXPECT_EQ(settings.messageType, MessageType::Sent);
    EXPECT_EQ(settings.smsquota, -5);
    EXPECT_EQ(settings.badgeType, badgeTypeOfStored(9));  // kept as stored
    EXPECT_EQ(settings.cycleDay, 45);
    EXPECT_EQ(settings.from, 1363478400);  // day 45 of February is 17 March
    EXPECT_TRUE(settings.hideSMS);         // neither "Y" nor absent: unchanged
    ASSERT_EQ(settings.excludedPersonArray.size(), 2u);
    EXPECT_EQ(settings.excludedPersonArray[1].name(), "333");

    // No readable file: a save writes nothing but still counts the badge.
    std::filesystem::remove(DevicePaths::settingsFile());
    settings.badgeType = BadgeType::Both;
    save(settings);
    EXPECT_EQ(badges_, (std::vector<int>{0}));
    EXPECT_FALSE(std::filesystem::exists(DevicePaths::settingsFile()));
}
