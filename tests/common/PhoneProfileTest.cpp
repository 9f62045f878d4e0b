// The version decides, afresh for each operation: what a phone is follows
// SystemVersion.plist as it is when the profile is found, and the sms.db
// reader follows the version's family and the file's own columns.
#include "common/MessageSources.h"
#include "common/PhoneProfile.h"
#include "common/SmsReader.h"
#include "platform/DevicePaths.h"
#include "platform/PropertyList.h"
#include "platform/SqliteDatabase.h"
#include "platform/SystemVersion.h"
#include "support/TempDeviceRoot.h"
#include "tools/fixtures/SmsDatabaseFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

void writeVersion(const std::string& version) {
    PropertyList contents;
    contents.setString("ProductVersion", version);
    fs::create_directories(fs::path(DevicePaths::systemVersionPlist()).parent_path());
    ASSERT_TRUE(contents.writeToFile(DevicePaths::systemVersionPlist()));
}

class PhoneProfileTest : public ::testing::Test {
protected:
    TempDeviceRoot root_;
};

TEST_F(PhoneProfileTest, EachProfileIsFoundFromTheVersionFileAsItIsThen) {
    writeVersion("5.1.1");
    const PhoneProfile before = PhoneProfile::find();
    EXPECT_EQ(before.systemVersion(), "5.1.1");
    EXPECT_EQ(before.counterDatabase(), DevicePaths::dataDirectory() + "/ledgerwick.db");
    EXPECT_EQ(before.countVariant(), CountVariant::EveryRow);
    EXPECT_FALSE(before.counterKeepsService());
    EXPECT_EQ(before.sourceKind()->name, "sms.db before 6.0");

    // The phone was updated: the next operation's profile sees it, the one
    // under way keeps what it found.
    writeVersion("6.0.1");
    const PhoneProfile after = PhoneProfile::find();
    EXPECT_EQ(after.counterDatabase(), DevicePaths::dataDirectory() + "/ledgerwick6.db");
    EXPECT_EQ(after.countVariant(), CountVariant::SmsServiceOnly);
    EXPECT_TRUE(after.counterKeepsService());
    EXPECT_EQ(after.sourceKind()->name, "sms.db from 6.0");
    EXPECT_EQ(before.counterDatabase(), DevicePaths::dataDirectory() + "/ledgerwick.db");

    // Without the file: the default version, a 6.x phone.
    fs::remove(DevicePaths::systemVersionPlist());
    EXPECT_EQ(PhoneProfile::find().systemVersion(), "6.1.3");
    EXPECT_EQ(PhoneProfile::allCounterDatabases(),
              (std::vector<std::string>{after.counterDatabase(), before.counterDatabase()}));
}

// Added kinds are asked first, the latest first; one that fits nothing
// leaves the built-in sms.db.
TEST_F(PhoneProfileTest, AddedKindsAreAskedBeforeTheBuiltInOnesLatestFirst) {
    writeVersion("6.1.3");
    auto kind = [](const std::string& name, bool fits) {
        return MessageSourceKind{name, [fits](const PhoneProfile&) { return fits; },
                                 [](const PhoneProfile&) { return nullptr; }};
    };
    MessageSources::add(kind("never", false));
    EXPECT_EQ(PhoneProfile::find().sourceKind()->name, "sms.db from 6.0");
    MessageSources::add(kind("first", true));
    MessageSources::add(kind("second", true));
    EXPECT_EQ(PhoneProfile::find().sourceKind()->name, "second");
    MessageSources::add(kind("second", false));  // replaces, never doubles
    EXPECT_EQ(PhoneProfile::find().sourceKind()->name, "first");
    for (const char* name : {"never", "first", "second"}) EXPECT_TRUE(MessageSources::remove(name)) << name;
    EXPECT_EQ(PhoneProfile::find().sourceKind()->name, "sms.db from 6.0");
}

struct LayoutCase {
    const char* version;  // of the phone whose file it is, and the one reading it
    std::optional<SmsReader::Layout> layout;
};

class SmsLayoutTest : public ::testing::TestWithParam<LayoutCase> {};

// One reader per layout: the version picks the family, the file's columns
// the member; a file of the other family fits no reader.
TEST_P(SmsLayoutTest, TheVersionsFamilyAndTheFilesColumnsPickTheReader) {
    TempDeviceRoot root;
    const std::string path = DevicePaths::smsDatabase();
    ASSERT_TRUE(SmsDatabaseFixture(path).createForVersion(GetParam().version));
    SqliteDatabase sms;
    ASSERT_TRUE(sms.open(path, SqliteDatabase::Mode::ReadOnly));
    const auto reader = SmsReader::openFile(sms, GetParam().version);
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->layout(), GetParam().layout);
    EXPECT_TRUE(SmsReader::readStatement(sms, GetParam().version).has_value());

    // Read as the other family, the file fits nothing.
    const std::string other = SystemVersion::isSixOrLater(GetParam().version) ? "5.1.1" : "6.1.3";
    EXPECT_FALSE(SmsReader::openFile(sms, other));
    EXPECT_FALSE(SmsReader::readStatement(sms, other).has_value());
    // A reader of another layout refuses the file.
    for (const auto layout : {SmsReader::Layout::Old, SmsReader::Layout::Ios6, SmsReader::Layout::Modern})
        EXPECT_EQ(SmsReader::forLayout(layout)->open(sms), layout == GetParam().layout);
}

INSTANTIATE_TEST_SUITE_P(Versions, SmsLayoutTest,
                         ::testing::Values(LayoutCase{"4.3.5", SmsReader::Layout::Old},
                                           LayoutCase{"5.1.1", SmsReader::Layout::Old},
                                           LayoutCase{"6.1.3", SmsReader::Layout::Ios6},
                                           LayoutCase{"10.3.4", SmsReader::Layout::Modern},
                                           LayoutCase{"17.5.1", SmsReader::Layout::Modern}),
                         [](const ::testing::TestParamInfo<LayoutCase>& info) {
                             std::string name = std::string("v") + info.param.version;
                             std::replace(name.begin(), name.end(), '.', '_');
                             return name;
                         });

}  // namespace
