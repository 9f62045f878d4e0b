// Files the system reads but does not control, shaped to hurt: each case
// here was a finding of the fuzz targets or is a rule the hostile-input
// hardening must keep.

#include "platform/PropertyList.h"
#include "platform/PropertyListDepth.h"
#include "platform/SqliteDatabase.h"
#include "platform/SqliteHardening.h"
#include "platform/SqliteStatement.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace fs = std::filesystem;

namespace {

std::string corpusFile(const std::string& target, const std::string& name) {
    std::ifstream in(std::string(BRINDLEX_SOURCE_DIR) + "/fuzz/corpus/" + target + "/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class ScratchFolder : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "brindlex-hostile-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
    }
    void TearDown() override { fs::remove_all(folder_); }
    std::string path(const std::string& name) const { return folder_ + "/" + name; }

    std::string folder_;
};

}  // namespace

// A binary property list naming a key twice: read once, the dictionary holds
// the key once, and writing it back and reading again gives the same one.
TEST_F(ScratchFolder, DuplicateKeysOfABinaryPropertyListCollapseToTheValueALookupFinds) {
    const std::string bytes = corpusFile("property_list", "regression-duplicate-key.plist");
    ASSERT_FALSE(bytes.empty());
    const auto settings = PropertyList::fromXml(bytes);
    ASSERT_TRUE(settings.has_value());
    const auto keys = settings->keys();
    EXPECT_EQ(std::count(keys.begin(), keys.end(), "epersonNA0"), 1);
    ASSERT_TRUE(settings->writeToFile(path("copy.plist")));
    const auto again = PropertyList::readFromFile(path("copy.plist"));
    ASSERT_TRUE(again.has_value());
    EXPECT_EQ(again->toXml(), settings->toXml());
    EXPECT_EQ(again->stringValue("epersonNA0"), settings->stringValue("epersonNA0"));
}

// Binary property lists whose keys or strings hold a NUL byte: libplist's
// accessors abort on those, so the file is read through its XML form, where
// no such key or string exists.
TEST_F(ScratchFolder, NulBytesInABinaryPropertyListNeverReachTheAccessors) {
    for (const char* name : {"regression-nul-in-key.plist", "regression-nul-in-string.plist",
                             "regression-nul-in-value.plist", "regression-raw-nul.plist"}) {
        SCOPED_TRACE(name);
        const std::string bytes = corpusFile("property_list", name);
        ASSERT_FALSE(bytes.empty());
        const auto settings = PropertyList::fromXml(bytes);
        if (!settings) continue;
        // Written back, it reads back the same: no string runs past its end.
        EXPECT_EQ(PropertyList::fromXml(settings->toXml())->toXml(), settings->toXml());
        for (const auto& key : settings->keys()) {
            EXPECT_EQ(key.find('\0'), std::string::npos);
            const auto value = settings->stringValue(key);
            if (value) {
                EXPECT_EQ(value->find('\0'), std::string::npos);
            }
        }
    }
}

// The depth target's finding: a shallow binary list whose dictionary key
// holds a NUL byte passes the depth check, and then must not reach
// libplist's key accessor, which asserts on it.
TEST_F(ScratchFolder, AShallowBinaryListWithANulInAKeyPassesTheDepthCheckAndReadsSafely) {
    const std::string bytes = corpusFile("property_list_depth", "regression-nul-in-binary-key.bplist");
    ASSERT_FALSE(bytes.empty());
    EXPECT_FALSE(PropertyListDepth::problem(bytes).has_value());
    const auto settings = PropertyList::fromXml(bytes);
    if (settings) {
        for (const auto& key : settings->keys()) EXPECT_EQ(key.find('\0'), std::string::npos);
    }
}

// XML has no NUL character: a file with one is not a property list.
TEST_F(ScratchFolder, AnXmlPropertyListWithARawNulIsRefused) {
    EXPECT_FALSE(PropertyList::fromXml(corpusFile("property_list", "regression-raw-nul.plist")).has_value());
}

// A database whose schema would run code when read: a view calling a
// function and a trigger. Opened as untrusted, the view cannot be used and
// nothing of the schema runs; the plain table still reads.
TEST_F(ScratchFolder, AnUntrustedDatabaseRunsNothingOfItsSchema) {
    {
        SqliteDatabase db;
        ASSERT_TRUE(db.open(path("crafted.db"), SqliteDatabase::Mode::ReadWriteCreate));
        ASSERT_TRUE(
            db.exec("CREATE TABLE message (text TEXT); INSERT INTO message VALUES ('hi');"
                    "CREATE VIEW sneaky AS SELECT load_extension('/tmp/x') AS text;"
                    "CREATE TRIGGER t AFTER INSERT ON message BEGIN SELECT 1; END;"));
    }
    SqliteDatabase db;
    ASSERT_TRUE(db.open(path("crafted.db"), SqliteDatabase::Mode::Untrusted));
    SqliteStatement view;
    EXPECT_FALSE(view.prepare(db, "SELECT text FROM sneaky"));
    SqliteStatement attach;
    EXPECT_FALSE(db.exec("ATTACH '" + path("other.db") + "' AS other"));
    EXPECT_FALSE(fs::exists(path("other.db")));
    EXPECT_FALSE(db.exec("INSERT INTO message VALUES ('x')"));  // read only
    SqliteStatement table;
    ASSERT_TRUE(table.prepare(db, "SELECT text FROM message"));
    ASSERT_EQ(table.step(), SqliteStatement::Step::Row);
    EXPECT_EQ(table.columnString(0), "hi");
}

// A value longer than the cap is refused instead of being allocated.
TEST_F(ScratchFolder, AnUntrustedDatabaseCannotMakeSqliteAllocateWithoutEnd) {
    SqliteDatabase db;
    ASSERT_TRUE(db.open(path("big.db"), SqliteDatabase::Mode::ReadWriteCreate));
    ASSERT_TRUE(db.exec("CREATE TABLE t (x)"));
    db.close();
    ASSERT_TRUE(db.open(path("big.db"), SqliteDatabase::Mode::Untrusted));
    SqliteStatement huge;
    ASSERT_TRUE(huge.prepare(db, "SELECT zeroblob(" + std::to_string(SqliteHardening::kMaxValueBytes + 1) + ")"));
    EXPECT_EQ(huge.step(), SqliteStatement::Step::Error);
}

// The quick check tells a well-formed file from one with a damaged page.
TEST_F(ScratchFolder, TheQuickCheckRefusesADamagedDatabase) {
    {
        SqliteDatabase db;
        ASSERT_TRUE(db.open(path("sms.db"), SqliteDatabase::Mode::ReadWriteCreate));
        ASSERT_TRUE(db.exec("PRAGMA page_size=512; CREATE TABLE message (text TEXT);"));
        for (int i = 0; i < 200; ++i)
            ASSERT_TRUE(db.exec("INSERT INTO message VALUES ('" + std::string(100, 'a' + i % 26) + "')"));
    }
    std::string problem;
    EXPECT_TRUE(SqliteHardening::quickCheck(path("sms.db"), &problem)) << problem;
    {
        std::fstream file(path("sms.db"), std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(512 * 3 + 8);
        const std::string garbage(64, '\xff');
        file.write(garbage.data(), static_cast<std::streamsize>(garbage.size()));
    }
    EXPECT_FALSE(SqliteHardening::quickCheck(path("sms.db"), &problem));
    EXPECT_FALSE(problem.empty());
    EXPECT_FALSE(SqliteHardening::quickCheck(path("missing.db"), &problem));
}
