#include "common/Seeding.h"
#include "platform/DevicePaths.h"
#include "platform/PrivateFiles.h"
#include "platform/PropertyList.h"
#include "platform/SqliteDatabase.h"
#include "support/OtherUser.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDeviceRoot.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

mode_t modeOf(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 ? (info.st_mode & 07777) : 07777;
}

std::string contentsOf(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class ScopedUmask {
public:
    explicit ScopedUmask(mode_t mask) : previous_(::umask(mask)) {}
    ~ScopedUmask() { ::umask(previous_); }
    ScopedUmask(const ScopedUmask&) = delete;
    ScopedUmask& operator=(const ScopedUmask&) = delete;

private:
    mode_t previous_;
};

class PrivateFilesTest : public ::testing::Test {
protected:
    std::string pathOf(const std::string& name) const { return root_.path() + "/" + name; }

    TempDeviceRoot root_;
};

// Every way the programs make a folder or a file gives the same modes under
// any umask, and another user reads none of the files even where the
// folders let them pass.
TEST_F(PrivateFilesTest, FoldersAndFilesAreTheUsersAloneWhateverTheUmask) {
    for (const mode_t mask : {mode_t(022), mode_t(077), mode_t(0), mode_t(0277)}) {
        SCOPED_TRACE("umask " + std::to_string(mask));
        const std::string top = pathOf("umask-" + std::to_string(mask));
        std::vector<std::string> files;
        {
            const ScopedUmask umask(mask);
            std::string error;
            ASSERT_TRUE(PrivateFiles::makeDirectories(top + "/a/b/", &error)) << error;

            const int created = PrivateFiles::createFile(top + "/a/created");
            ASSERT_GE(created, 0);
            ::close(created);
            std::string unique;
            const int made = PrivateFiles::createUniqueFile(top + "/a/unique-", &unique);
            ASSERT_GE(made, 0);
            ::close(made);

            PropertyList settings;
            settings.setString("eperson0", "Anna Becker");
            ASSERT_TRUE(settings.writeToFile(top + "/a/b/settings.plist"));

            SqliteDatabase db;
            ASSERT_TRUE(db.open(top + "/a/b/counter.db", SqliteDatabase::Mode::ReadWriteCreate));
            ASSERT_TRUE(
                db.exec("PRAGMA journal_mode=WAL; CREATE TABLE message(text); INSERT INTO message "
                        "VALUES ('secret');"));
            files = {top + "/a/created",          unique,
                     top + "/a/b/settings.plist", top + "/a/b/counter.db",
                     top + "/a/b/counter.db-wal", top + "/a/b/counter.db-shm"};
            for (const std::string& folder : {top, top + "/a", top + "/a/b"})
                EXPECT_EQ(modeOf(folder), 0700u) << folder;
            for (const std::string& file : files) EXPECT_EQ(modeOf(file), 0600u) << file;
        }
        other_user::openWayTo(top + "/a/b/x", root_.path());
        for (const std::string& file : files) EXPECT_FALSE(other_user::canRead(file)) << file;
        EXPECT_FALSE(other_user::canCreateIn(top + "/a/b"));
        // The probe itself sees what the modes would give away.
        ::chmod(files.front().c_str(), 0644);
        EXPECT_TRUE(other_user::canRead(files.front()));
    }
}

// A link planted where a file is to be made is never written through: the
// file it points to keeps its content and its mode.
TEST_F(PrivateFilesTest, NoFileIsCreatedThroughALink) {
    const std::string victim = pathOf("bashrc");
    std::ofstream(victim) << "the user's own";
    ::chmod(victim.c_str(), 0644);
    fs::create_symlink(victim, pathOf("planted"));
    fs::create_symlink(pathOf("nowhere"), pathOf("dangling"));

    EXPECT_LT(PrivateFiles::createFile(pathOf("planted")), 0);
    EXPECT_EQ(errno, EEXIST);
    EXPECT_LT(PrivateFiles::createFile(pathOf("dangling")), 0);
    EXPECT_FALSE(fs::exists(pathOf("nowhere"))) << "a dangling link made its target";

    // Seeding finds something at the target and leaves it be.
    const std::string seed = pathOf("seed.db");
    std::ofstream(seed) << "seed bytes";
    EXPECT_FALSE(Seeding::copyFileIfMissing(seed.c_str(), pathOf("planted").c_str()));
    EXPECT_FALSE(Seeding::copyFileIfMissing(seed.c_str(), pathOf("dangling").c_str()));
    EXPECT_FALSE(fs::exists(pathOf("nowhere")));
    EXPECT_EQ(contentsOf(victim), "the user's own");
    EXPECT_EQ(modeOf(victim), 0644u);

    // A real copy is the user's alone, though the bundle's seed is public,
    // and leaves no temporary file beside it.
    ::chmod(seed.c_str(), 0644);
    fs::create_directory(pathOf("data"));
    ASSERT_TRUE(Seeding::copyFileIfMissing(seed.c_str(), pathOf("data/ledgerwick6.db").c_str()));
    EXPECT_EQ(contentsOf(pathOf("data/ledgerwick6.db")), "seed bytes");
    EXPECT_EQ(modeOf(pathOf("data/ledgerwick6.db")), 0600u);
    EXPECT_EQ(std::distance(fs::directory_iterator(pathOf("data")), fs::directory_iterator()), 1);
}

// A root an earlier version made with the umask's modes is tightened the
// first time a program asks for it; a file outside reached by a link is not.
TEST_F(PrivateFilesTest, AnOlderRootIsTightenedButNothingBeyondItsLinks) {
    const std::string outside = pathOf("outside");
    std::ofstream(outside) << "not the phone's";
    ::chmod(outside.c_str(), 0644);
    const std::string deviceRoot = pathOf("phone");
    fs::create_directories(deviceRoot + "/private/var/mobile/Library/Brindlex");
    std::ofstream(deviceRoot + "/private/var/mobile/Library/Brindlex/properties.plist") << "<plist/>";
    fs::create_symlink(outside, deviceRoot + "/private/var/mobile/Library/Brindlex/link");
    for (const auto& entry : fs::recursive_directory_iterator(deviceRoot))
        if (!entry.is_symlink()) ::chmod(entry.path().c_str(), entry.is_directory() ? 0755 : 0644);
    ::chmod(deviceRoot.c_str(), 0755);

    const ScopedEnvironment useRoot("BRINDLEX_DEVICE_ROOT", deviceRoot);
    EXPECT_EQ(DevicePaths::secureRoot(), "");
    EXPECT_EQ(modeOf(deviceRoot), 0700u);
    for (const auto& entry : fs::recursive_directory_iterator(deviceRoot)) {
        if (entry.is_symlink()) continue;
        EXPECT_EQ(modeOf(entry.path()), entry.is_directory() ? 0700u : 0600u) << entry.path();
    }
    EXPECT_EQ(modeOf(outside), 0644u);
}

// A root others can write in, or whose data folder is a link, is refused
// with the reason and the way out; one that is missing is not.
TEST_F(PrivateFilesTest, ARootOthersCanChangeIsRefused) {
    const std::string deviceRoot = pathOf("phone");
    const ScopedEnvironment useRoot("BRINDLEX_DEVICE_ROOT", deviceRoot);
    EXPECT_EQ(DevicePaths::secureRoot(), "") << "a missing root is made private by whoever makes it";

    fs::create_directory(deviceRoot);
    for (const mode_t open : {mode_t(0777), mode_t(0770), mode_t(0702), mode_t(01777)}) {
        ::chmod(deviceRoot.c_str(), open);
        const std::string why = DevicePaths::secureRoot();
        EXPECT_NE(why.find("can be written by other users"), std::string::npos) << open << ": " << why;
        EXPECT_NE(why.find("chmod 700 " + deviceRoot), std::string::npos) << why;
    }
    ::chmod(deviceRoot.c_str(), 0755);
    EXPECT_EQ(DevicePaths::secureRoot(), "");

    // A data folder linked elsewhere would send the settings there.
    fs::create_directories(deviceRoot + "/private/var/mobile/Library");
    fs::create_directory(pathOf("elsewhere"));
    fs::create_directory_symlink(pathOf("elsewhere"), DevicePaths::dataDirectory());
    EXPECT_NE(DevicePaths::secureRoot().find("is a link"), std::string::npos);
    fs::remove(DevicePaths::dataDirectory());

    if (other_user::canBecomeNobody()) {
        ASSERT_EQ(::chown(deviceRoot.c_str(), other_user::kNobody, other_user::kNogroup), 0);
        ::chmod(deviceRoot.c_str(), 0700);
        const std::string why = DevicePaths::secureRoot();
        EXPECT_NE(why.find("belongs to user 65534, not to you"), std::string::npos) << why;
    }
}

}  // namespace
