#include "platform/PropertyList.h"
#include "support/TempDeviceRoot.h"

#include <gtest/gtest.h>
#include <plist/plist.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

class PropertyListTest : public ::testing::Test {
protected:
    std::string pathOf(const std::string& name) const { return root_.path() + "/" + name; }

    void writeRaw(const std::string& name, const std::string& bytes) const {
        std::ofstream(pathOf(name), std::ios::binary) << bytes;
    }

    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(root_.path()))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    TempDeviceRoot root_;
};

TEST_F(PropertyListTest, IntegerValueAcceptsNumbersAndNumericStrings) {
    PropertyList list;
    list.setInteger("number", 42);
    list.setString("digits", "42");
    list.setString("padded", " 42");
    list.setString("plus", "+7");
    list.setString("minus", "-3");
    list.setString("decimal", "12.5");
    list.setDouble("real", 3.9);
    list.setDouble("negativeReal", -3.9);
    EXPECT_EQ(list.integerValue("number"), 42);
    EXPECT_EQ(list.integerValue("digits"), 42);
    EXPECT_EQ(list.integerValue("padded"), 42);
    EXPECT_EQ(list.integerValue("plus"), 7);
    EXPECT_EQ(list.integerValue("minus"), -3);
    EXPECT_EQ(list.integerValue("decimal"), 12);
    EXPECT_EQ(list.integerValue("real"), 3);
    EXPECT_EQ(list.integerValue("negativeReal"), -3);
}

TEST_F(PropertyListTest, IntegerValueFallsBackForWhatIsNoNumber) {
    PropertyList list;
    list.setString("word", "abc");
    list.setString("empty", "");
    list.setString("nan", "nan");
    list.setString("huge", "99999999999999999999");
    list.setDouble("infinite", INFINITY);
    list.setDouble("notANumber", NAN);
    list.setDouble("tooLarge", 1e300);
    for (const char* key : {"absent", "word", "empty", "nan", "huge", "infinite", "notANumber", "tooLarge"})
        EXPECT_EQ(list.integerValue(key, -77), -77) << key;
}

TEST_F(PropertyListTest, DoubleAndStringValuesConvertBetweenForms) {
    PropertyList list;
    list.setString("text", "1.5");
    list.setInteger("number", -12);
    list.setString("word", "abc");
    EXPECT_EQ(list.doubleValue("text"), 1.5);
    EXPECT_EQ(list.doubleValue("number"), -12.0);
    EXPECT_EQ(list.doubleValue("word", 9.0), 9.0);
    EXPECT_EQ(list.doubleValue("absent", 8.0), 8.0);
    EXPECT_EQ(list.stringValue("number"), "-12");
    EXPECT_EQ(list.stringValue("text"), "1.5");
    EXPECT_FALSE(list.stringValue("absent").has_value());
}

TEST_F(PropertyListTest, FileRoundTripKeepsTypesAndNegativeNumbers) {
    PropertyList list;
    list.setInteger("negative", -3);
    list.setInteger("lowest", INT64_MIN);
    list.setInteger("large", 5'000'000'000);
    list.setDouble("real", 1686000000.25);
    list.setString("text", "<&> ünïcode");
    ASSERT_TRUE(list.writeToFile(pathOf("list.plist")));

    auto loaded = PropertyList::readFromFile(pathOf("list.plist"));
    ASSERT_TRUE(loaded.has_value());
    EXPECT_EQ(loaded->size(), 5u);
    EXPECT_EQ(loaded->integerValue("negative"), -3);
    EXPECT_EQ(loaded->integerValue("lowest"), INT64_MIN);
    EXPECT_EQ(loaded->integerValue("large"), 5'000'000'000);
    EXPECT_EQ(loaded->doubleValue("real"), 1686000000.25);
    EXPECT_EQ(loaded->stringValue("text"), "<&> ünïcode");
}

TEST_F(PropertyListTest, ReadsHandWrittenXml) {
    auto list = PropertyList::fromXml(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<plist version=\"1.0\"><dict>"
        "<key>quota</key><integer>-3</integer>"
        "<key>day</key><string>15</string>"
        "<key>start</key><real>12.75</real>"
        "</dict></plist>");
    ASSERT_TRUE(list.has_value());
    EXPECT_EQ(list->integerValue("quota"), -3);
    EXPECT_EQ(list->integerValue("day"), 15);
    EXPECT_EQ(list->doubleValue("start"), 12.75);
}

TEST_F(PropertyListTest, ReadsTheBinaryFormToo) {
    plist_t dict = plist_new_dict();
    plist_dict_set_item(dict, "quota", plist_new_uint(250));
    char* bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(dict, &bytes, &length);
    plist_free(dict);
    ASSERT_NE(bytes, nullptr);
    writeRaw("binary.plist", std::string(bytes, length));
    std::free(bytes);

    auto list = PropertyList::readFromFile(pathOf("binary.plist"));
    ASSERT_TRUE(list.has_value());
    EXPECT_EQ(list->integerValue("quota"), 250);
}

TEST_F(PropertyListTest, AnythingButADictionaryReadsAsNothing) {
    PropertyList list;
    list.setString("key", "value");
    const std::string xml = list.toXml();
    ASSERT_TRUE(PropertyList::fromXml(xml).has_value());
    for (const std::string& bytes : {std::string(), std::string("garbage"), xml.substr(0, xml.size() - 20),
                                     std::string("<plist version=\"1.0\"><array/></plist>"),
                                     std::string("<plist version=\"1.0\"><string>x</string></plist>")}) {
        EXPECT_FALSE(PropertyList::fromXml(bytes).has_value()) << bytes;
        writeRaw("bad.plist", bytes);
        EXPECT_FALSE(PropertyList::readFromFile(pathOf("bad.plist")).has_value()) << bytes;
    }
    EXPECT_FALSE(PropertyList::readFromFile(pathOf("missing.plist")).has_value());
    EXPECT_FALSE(PropertyList::readFromFile(root_.path()).has_value());
}

TEST_F(PropertyListTest, WriteReplacesTheFileWithoutLeftovers) {
    writeRaw("list.plist", "old contents");
    PropertyList list;
    list.setInteger("n", 1);
    // The file names people the user writes to: it is the user's alone,
    // whatever the umask and whatever mode the file had before.
    ::chmod(pathOf("list.plist").c_str(), 0644);
    for (const mode_t mask : {mode_t(022), mode_t(077), mode_t(0)}) {
        const mode_t previousMask = ::umask(mask);
        const bool written = list.writeToFile(pathOf("list.plist"));
        ::umask(previousMask);
        ASSERT_TRUE(written);

        EXPECT_EQ(entries(), std::vector<std::string>{"list.plist"});
        EXPECT_EQ(PropertyList::readFromFile(pathOf("list.plist"))->integerValue("n"), 1);
        struct stat info {};
        ASSERT_EQ(::stat(pathOf("list.plist").c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0600u) << "umask " << mask;
    }
}

TEST_F(PropertyListTest, FailedWriteReportsAndCleansUp) {
    PropertyList list;
    list.setInteger("n", 1);
    EXPECT_FALSE(list.writeToFile(pathOf("no/such/folder/list.plist")));
    // Renaming over a directory fails after the temporary file was written.
    fs::create_directory(pathOf("occupied"));
    EXPECT_FALSE(list.writeToFile(pathOf("occupied")));
    EXPECT_EQ(entries(), std::vector<std::string>{"occupied"});
    EXPECT_TRUE(fs::is_directory(pathOf("occupied")));
}

TEST_F(PropertyListTest, KeysContainsRemoveAndSize) {
    PropertyList list;
    list.setInteger("a", 1);
    list.setString("b", "2");
    list.setInteger("a", 3);  // replaces, does not add
    EXPECT_EQ(list.size(), 2u);
    auto keys = list.keys();
    std::sort(keys.begin(), keys.end());
    EXPECT_EQ(keys, (std::vector<std::string>{"a", "b"}));

    list.remove("a");
    list.remove("absent");
    EXPECT_FALSE(list.contains("a"));
    EXPECT_TRUE(list.contains("b"));
    EXPECT_EQ(list.keys(), std::vector<std::string>{"b"});
    EXPECT_TRUE(PropertyList().keys().empty());
}

}  // namespace
