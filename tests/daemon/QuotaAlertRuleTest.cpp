// When the quota alerts speak, what they remember across restarts, and the
// settings that steer them.
#include "common/QuotaAlertSettings.h"
#include "daemon/QuotaAlertRule.h"
#include "daemon/QuotaAlertState.h"
#include "platform/PropertyList.h"
#include "support/TempDeviceRoot.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

const std::vector<int> kDefault{80, 100};

TEST(QuotaAlertRuleTest, AThresholdIsDueOnceTheCountReachesItsShare) {
    EXPECT_EQ(QuotaAlertRule::due(39, 50, kDefault, {}), std::nullopt) << "78 %";
    EXPECT_EQ(QuotaAlertRule::due(40, 50, kDefault, {}), 80) << "exactly 80 %";
    EXPECT_EQ(QuotaAlertRule::due(40, 50, kDefault, {80}), std::nullopt) << "said already";
    EXPECT_EQ(QuotaAlertRule::due(49, 50, kDefault, {80}), std::nullopt);
    EXPECT_EQ(QuotaAlertRule::due(50, 50, kDefault, {80}), 100);
    EXPECT_EQ(QuotaAlertRule::due(75, 50, kDefault, {80, 100}), std::nullopt) << "past the quota, nothing new";
    // 80 % of 7 is 5.6: 5 messages are not there yet, 6 are.
    EXPECT_EQ(QuotaAlertRule::due(5, 7, kDefault, {}), std::nullopt);
    EXPECT_EQ(QuotaAlertRule::due(6, 7, kDefault, {}), 80);
}

TEST(QuotaAlertRuleTest, AJumpPastBothThresholdsAnnouncesOnlyTheHigher) {
    EXPECT_EQ(QuotaAlertRule::due(60, 50, kDefault, {}), 100);
    EXPECT_EQ(QuotaAlertRule::reached(60, 50, kDefault), (std::set<int>{80, 100}));
}

TEST(QuotaAlertRuleTest, WithoutAQuotaNothingIsEverDue) {
    EXPECT_EQ(QuotaAlertRule::due(1000, 0, kDefault, {}), std::nullopt);
    EXPECT_EQ(QuotaAlertRule::due(1000, -5, kDefault, {}), std::nullopt);
    EXPECT_TRUE(QuotaAlertRule::reached(1000, 0, kDefault).empty());
}

TEST(QuotaAlertRuleTest, QuotaLeftBadgesMeasureTheirTotalsAndOffMeasuresBoth) {
    const int measured[] = {0, 1, 2, 0, 0, 1, 2};
    for (int type = 0; type <= 6; ++type)
        EXPECT_EQ(QuotaAlertRule::measuredBadgeType(badgeTypeOfStored(type)), badgeTypeOfStored(measured[type]))
            << type;
}

TEST(QuotaAlertStateTest, RemembersThePeriodAndItsThresholdsInAFile) {
    const TempDeviceRoot root;
    const std::string path = root.path() + "/quotaalerts.plist";
    EXPECT_TRUE(QuotaAlertState::load(path).announcedIn(1000).empty()) << "no file: nothing said";

    ASSERT_TRUE(QuotaAlertState(1000, {80, 100}).save(path));
    const QuotaAlertState loaded = QuotaAlertState::load(path);
    EXPECT_EQ(loaded.announcedIn(1000), (std::set<int>{80, 100}));
    EXPECT_TRUE(loaded.announcedIn(2000).empty()) << "a new period starts afresh";

    std::ofstream(path) << "not a property list";
    EXPECT_TRUE(QuotaAlertState::load(path).announcedIn(1000).empty());
}

TEST(QuotaAlertSettingsTest, DefaultsAreOnAt80And100) {
    EXPECT_TRUE(QuotaAlertSettings::enabled(nullptr));
    EXPECT_EQ(QuotaAlertSettings::thresholds(nullptr), kDefault);
    PropertyList settings;
    EXPECT_TRUE(QuotaAlertSettings::enabled(&settings));
    EXPECT_EQ(QuotaAlertSettings::thresholds(&settings), kDefault);
}

TEST(QuotaAlertSettingsTest, StoredValuesAreReadLenientlyAndPutInOrder) {
    PropertyList settings;
    settings.setString("quotaalerts", "0");
    settings.setString("quotaalert1", "95");
    settings.setInteger("quotaalert2", 50);
    EXPECT_FALSE(QuotaAlertSettings::enabled(&settings));
    EXPECT_EQ(QuotaAlertSettings::thresholds(&settings), (std::vector<int>{50, 95}));

    settings.setInteger("quotaalerts", 1);
    settings.setInteger("quotaalert1", 0);  // off
    settings.setInteger("quotaalert2", 50);
    EXPECT_TRUE(QuotaAlertSettings::enabled(&settings));
    EXPECT_EQ(QuotaAlertSettings::thresholds(&settings), (std::vector<int>{50}));
    settings.setInteger("quotaalert1", 50);
    EXPECT_EQ(QuotaAlertSettings::thresholds(&settings), (std::vector<int>{50})) << "one threshold given twice";
}

}  // namespace
