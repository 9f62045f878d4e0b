#include "common/PhoneProfile.h"
#include "platform/AppBundle.h"
#include "platform/DevicePaths.h"
#include "platform/PropertyList.h"
#include "platform/SystemVersion.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDeviceRoot.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

namespace fs = std::filesystem;

namespace {

bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// Clears every variable the root depends on, so each test states its own.
class DevicePathsTest : public ::testing::Test {
protected:
    ScopedEnvironment deviceRoot_{"BRINDLEX_DEVICE_ROOT", std::nullopt};
    ScopedEnvironment dataHome_{"XDG_DATA_HOME", std::nullopt};
    ScopedEnvironment home_{"HOME", "/home/tester"};
};

TEST_F(DevicePathsTest, ExplicitRootWinsOverEverything) {
    ScopedEnvironment root("BRINDLEX_DEVICE_ROOT", "/srv/phone/");
    ScopedEnvironment dataHome("XDG_DATA_HOME", "/data");
    EXPECT_EQ(DevicePaths::root(), "/srv/phone");
    EXPECT_EQ(DevicePaths::settingsFile(), "/srv/phone/private/var/mobile/Library/Brindlex/properties.plist");
    EXPECT_EQ(PhoneProfile::forVersion("6.1.3").counterDatabase(),
              "/srv/phone/private/var/mobile/Library/Brindlex/ledgerwick6.db");
    EXPECT_EQ(PhoneProfile::forVersion("5.1.1").counterDatabase(),
              "/srv/phone/private/var/mobile/Library/Brindlex/ledgerwick.db");
    EXPECT_EQ(DevicePaths::smsDatabase(), "/srv/phone/private/var/mobile/Library/SMS/sms.db");
    EXPECT_EQ(DevicePaths::systemVersionPlist(), "/srv/phone/System/Library/CoreServices/SystemVersion.plist");
    EXPECT_EQ(DevicePaths::lockFile(), "/srv/phone/private/var/mobile/Library/Brindlex/.sync.lock");
}

// The variables as a session may have them (nullopt: unset) and the root
// they make, HOME being /home/tester.
struct RootCase {
    std::optional<std::string> deviceRoot;
    std::optional<std::string> dataHome;
    std::string root;
};

class DeviceRootTest : public DevicePathsTest, public ::testing::WithParamInterface<RootCase> {};

TEST_P(DeviceRootTest, ComesFromTheEnvironment) {
    ScopedEnvironment deviceRoot("BRINDLEX_DEVICE_ROOT", GetParam().deviceRoot);
    ScopedEnvironment dataHome("XDG_DATA_HOME", GetParam().dataHome);
    EXPECT_EQ(DevicePaths::root(), GetParam().root);
}

// An empty root counts as unset; the XDG data home is used only when set to
// an absolute path, otherwise the home default stands.
INSTANTIATE_TEST_SUITE_P(
    Variables, DeviceRootTest,
    ::testing::Values(RootCase{"/srv/phone/", "/data", "/srv/phone"},
                      RootCase{std::nullopt, "/data/", "/data/brindlex/device"},
                      RootCase{"", "/data/", "/data/brindlex/device"},
                      RootCase{std::nullopt, std::nullopt, "/home/tester/.local/share/brindlex/device"},
                      RootCase{std::nullopt, "", "/home/tester/.local/share/brindlex/device"},
                      RootCase{std::nullopt, "relative/data", "/home/tester/.local/share/brindlex/device"}));

TEST_F(DevicePathsTest, RootIsLookedUpOnEveryCall) {
    ScopedEnvironment first("BRINDLEX_DEVICE_ROOT", "/first");
    EXPECT_EQ(DevicePaths::settingsFile(), "/first/private/var/mobile/Library/Brindlex/properties.plist");
    ScopedEnvironment second("BRINDLEX_DEVICE_ROOT", "/second");
    EXPECT_EQ(DevicePaths::settingsFile(), "/second/private/var/mobile/Library/Brindlex/properties.plist");
}

TEST_F(DevicePathsTest, ResolvesPhonePathsUnderTheRoot) {
    ScopedEnvironment root("BRINDLEX_DEVICE_ROOT", "/r");
    EXPECT_EQ(DevicePaths::resolve("/private/var/mobile/Documents/data.csv"),
              "/r/private/var/mobile/Documents/data.csv");
    EXPECT_EQ(DevicePaths::resolve("relative"), "/r/relative");
}

TEST_F(DevicePathsTest, BundleLiesBesideTheProgramsAndHoldsTheSeeds) {
    const std::string bundle = AppBundle::directory();
    EXPECT_TRUE(endsWith(bundle, "/share/brindlex/Brindlex.app")) << bundle;
    EXPECT_EQ(AppBundle::pathForResource("properties.plist"), bundle + "/properties.plist");
    for (const char* seed : {"ledgerwick.db", "ledgerwick6.db", "properties.plist"})
        EXPECT_TRUE(fs::is_regular_file(AppBundle::pathForResource(seed))) << seed;
    EXPECT_TRUE(PropertyList::readFromFile(AppBundle::pathForResource("properties.plist")).has_value());
}

class SystemVersionTest : public ::testing::Test {
protected:
    static void writeVersionFile(const PropertyList& contents) {
        fs::create_directories(fs::path(DevicePaths::systemVersionPlist()).parent_path());
        ASSERT_TRUE(contents.writeToFile(DevicePaths::systemVersionPlist()));
    }

    static void writeVersion(const std::string& version) {
        PropertyList contents;
        contents.setString("ProductVersion", version);
        contents.setString("ProductName", "iPhone OS");
        writeVersionFile(contents);
    }

    TempDeviceRoot root_;
};

TEST_F(SystemVersionTest, MissingFileOrKeyGivesTheDefault) {
    EXPECT_EQ(SystemVersion::systemVersion(), "6.1.3");
    EXPECT_TRUE(PhoneProfile::find().isSixOrLater());
    EXPECT_TRUE(endsWith(PhoneProfile::find().counterDatabase(), "/ledgerwick6.db"));

    PropertyList withoutVersion;
    withoutVersion.setString("ProductName", "iPhone OS");
    writeVersionFile(withoutVersion);
    EXPECT_EQ(SystemVersion::systemVersion(), "6.1.3");
    writeVersion("");
    EXPECT_EQ(SystemVersion::systemVersion(), "6.1.3");
}

struct SchemaCase {
    const char* version;
    bool sixOrLater;
};

class SystemVersionSchemaTest : public SystemVersionTest, public ::testing::WithParamInterface<SchemaCase> {};

// Before 6.0 the old schema and ledgerwick.db, from 6.0 the new schema and
// ledgerwick6.db; a version that is no number counts as old.
TEST_P(SystemVersionSchemaTest, VersionPicksTheSchemaAndTheCounterDatabase) {
    writeVersion(GetParam().version);
    EXPECT_EQ(SystemVersion::systemVersion(), GetParam().version);
    EXPECT_EQ(PhoneProfile::find().isSixOrLater(), GetParam().sixOrLater);
    EXPECT_TRUE(
        endsWith(PhoneProfile::find().counterDatabase(), GetParam().sixOrLater ? "/ledgerwick6.db" : "/ledgerwick.db"))
        << PhoneProfile::find().counterDatabase();
}

// "10.0" is compared as a number, not as text, where it sorts before "6".
INSTANTIATE_TEST_SUITE_P(Versions, SystemVersionSchemaTest,
                         ::testing::Values(SchemaCase{"5.1.1", false}, SchemaCase{"6.0.1", true},
                                           SchemaCase{"10.0", true}, SchemaCase{"garbage", false}));

TEST_F(SystemVersionTest, LeadingNumberReadsLikeAFloatConversion) {
    EXPECT_FLOAT_EQ(SystemVersion::leadingNumber("6.0.1"), 6.0f);
    EXPECT_FLOAT_EQ(SystemVersion::leadingNumber("5.1.1"), 5.1f);
    EXPECT_FLOAT_EQ(SystemVersion::leadingNumber(" 10.2"), 10.2f);
    EXPECT_FLOAT_EQ(SystemVersion::leadingNumber("abc"), 0.0f);
    EXPECT_FLOAT_EQ(SystemVersion::leadingNumber(""), 0.0f);
    EXPECT_FALSE(SystemVersion::isSixOrLater("5.9.9"));
    EXPECT_TRUE(SystemVersion::isSixOrLater("6"));
}

}  // namespace
