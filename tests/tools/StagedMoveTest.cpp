// A file the import wrote into the device root itself (a decrypted copy) is
// staged by a rename, not a second write: committed, it is the same file with
// the mode a copy gets; not committed, it goes with the staging folder; what
// cannot be renamed is refused with a reason and stages nothing.
#include "platform/DeviceRootJournal.h"
#include "support/TempDeviceRoot.h"
#include "tools/phone/DeviceRootTransaction.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

struct stat statOf(const std::string& path) {
    struct stat info {};
    ::stat(path.c_str(), &info);
    return info;
}

// A private file of `bytes` in the root, as DecryptedFiles makes one.
std::string privateFile(const std::string& folder, const std::string& bytes) {
    const std::string path = folder + "/.decrypting-1-abcdef-sms.db";
    std::ofstream(path, std::ios::binary) << bytes;
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    return path;
}

TEST(StagedMoveTest, CommittedItIsTheSameFileWithTheModeOfACopy) {
    TempDeviceRoot root;
    DeviceRootTransaction transaction(root.path());
    std::string error;
    ASSERT_TRUE(transaction.begin(&error)) << error;
    const std::string source = privateFile(transaction.root(), "decrypted bytes");
    const ino_t inode = statOf(source).st_ino;
    const std::string target = transaction.root() + "/SMS/sms.db";
    ASSERT_TRUE(transaction.makeDirectories(transaction.root() + "/SMS", &error)) << error;
    ASSERT_TRUE(transaction.stageMove(source, target, &error)) << error;
    EXPECT_FALSE(fs::exists(source)) << "renamed, not copied";
    EXPECT_EQ(statOf(transaction.stagedPath(target)).st_ino, inode);
    ASSERT_TRUE(transaction.commit(&error)) << error;

    EXPECT_EQ(statOf(target).st_ino, inode);
    EXPECT_EQ(statOf(target).st_mode & 07777, 0600u);
    std::ifstream in(target);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "decrypted bytes");
}

TEST(StagedMoveTest, NotCommittedItGoesWithTheStagingFolder) {
    TempDeviceRoot root;
    std::string staged;
    {
        DeviceRootTransaction transaction(root.path());
        std::string error;
        ASSERT_TRUE(transaction.begin(&error)) << error;
        const std::string source = privateFile(transaction.root(), "decrypted bytes");
        ASSERT_TRUE(transaction.stageMove(source, transaction.root() + "/sms.db", &error)) << error;
        staged = transaction.stagedPath(transaction.root() + "/sms.db");
        EXPECT_TRUE(fs::exists(staged));
    }
    EXPECT_FALSE(fs::exists(staged));
    EXPECT_FALSE(fs::exists(root.path() + "/" + DeviceRootJournal::kStagingFolderName));
    EXPECT_FALSE(fs::exists(root.path() + "/sms.db"));
}

TEST(StagedMoveTest, WhatCannotBeMovedIsRefusedAndStagesNothing) {
    TempDeviceRoot root;
    DeviceRootTransaction transaction(root.path());
    std::string error;
    ASSERT_TRUE(transaction.begin(&error)) << error;
    const std::string target = transaction.root() + "/sms.db";
    fs::create_directories(transaction.root() + "/folder");
    fs::create_symlink(transaction.root() + "/folder", transaction.root() + "/link");
    for (const std::string source : {"/missing", "/folder", "/link"}) {
        SCOPED_TRACE(source);
        error.clear();
        EXPECT_FALSE(transaction.stageMove(transaction.root() + source, target, &error));
        EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
    }
    // A target outside the root: refused before anything is renamed.
    const std::string outside = privateFile(root.path() + "/folder", "x");
    EXPECT_FALSE(transaction.stageMove(outside, "/elsewhere/sms.db", &error));
    EXPECT_TRUE(fs::exists(outside));
    ASSERT_TRUE(transaction.commit(&error)) << error;
    EXPECT_FALSE(fs::exists(target)) << "nothing was staged";
}

}  // namespace
