// Runs the built programs as a user would and checks that what they leave in
// the device root is the user's alone, under any umask, and that they refuse
// a root other users could change.
#include "common/PhoneProfile.h"
#include "platform/DevicePaths.h"
#include "support/OtherUser.h"
#include "support/ProgramRun.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDeviceRoot.h"
#include "tools/BackupScenario.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

// Every folder and file under `root` (itself included) with its mode.
std::map<std::string, mode_t> modesUnder(const std::string& root) {
    std::map<std::string, mode_t> modes;
    struct stat info {};
    if (::lstat(root.c_str(), &info) == 0) modes["."] = info.st_mode & 07777;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (::lstat(entry.path().c_str(), &info) != 0 || S_ISLNK(info.st_mode)) continue;
        modes[fs::relative(entry.path(), root).string()] = info.st_mode & 07777;
    }
    return modes;
}

class PrivateDeviceRootTest : public ::testing::Test {
protected:
    // The programs without a session bus, under `umask`, on the root `root`.
    ProgramRun run(const std::string& program, const std::string& arguments, const std::string& root,
                   const std::string& umask = "022") {
        return ProgramRun::of(program, arguments, scratch_.path(),
                              "umask " + umask + "; BRINDLEX_DEVICE_ROOT='" + root +
                                  "' DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/bus QT_QPA_PLATFORM=offscreen ");
    }

    // A demo device synced by the ledger, and an imported backup synced too.
    void fillUnder(const std::string& top, const std::string& umask) {
        const std::string demo = top + "/demo", imported = top + "/imported";
        for (const auto& [program, arguments] : std::vector<std::pair<std::string, std::string>>{
                 {"brindlex-phone", "init"}, {"brindlex-phone", "demo"}, {"brindlex-ledger", "sync"}}) {
            const ProgramRun done = run(program, arguments, demo, umask);
            ASSERT_EQ(done.status, 0) << program << " " << arguments << ": " << done.err;
        }
        const BackupFixture backup = backup_scenario::make(top + "/backup", backup_scenario::kPhoneA);
        for (const std::string& arguments : {"import-backup '" + backup.folder() + "'", std::string("sync")}) {
            const ProgramRun done = run("brindlex-ledger", arguments, imported, umask);
            ASSERT_EQ(done.status, 0) << arguments << ": " << done.err;
        }
    }

    TempDeviceRoot scratch_;
};

TEST_F(PrivateDeviceRootTest, WhatTheProgramsLeaveIsTheUsersAloneWhateverTheUmask) {
    for (const char* umask : {"022", "077", "000"}) {
        SCOPED_TRACE(std::string("umask ") + umask);
        const std::string top = scratch_.path() + "/umask" + umask;
        fs::create_directory(top);
        ASSERT_NO_FATAL_FAILURE(fillUnder(top, umask));
        for (const std::string& root : {top + "/demo", top + "/imported"}) {
            const auto modes = modesUnder(root);
            for (const auto& [path, mode] : modes)
                EXPECT_EQ(mode, fs::is_directory(root + "/" + path) ? 0700u : 0600u) << root << ": " << path;
            EXPECT_GT(modes.size(), 8u) << root;
        }
    }

    // Another user reads none of the phone's files, even through folders
    // opened up for them.
    const std::string top = scratch_.path() + "/umask022";
    const ScopedEnvironment demoRoot("BRINDLEX_DEVICE_ROOT", top + "/demo");
    const std::vector<std::string> secrets = {PhoneProfile::find().counterDatabase(),
                                              DevicePaths::settingsFile(),
                                              DevicePaths::smsDatabase(),
                                              DevicePaths::addressBook(),
                                              top + "/imported/private/var/mobile/Library/SMS/sms.db",
                                              top + "/imported/private/var/mobile/Library/Brindlex/properties.plist"};
    for (const std::string& secret : secrets) {
        ASSERT_TRUE(fs::exists(secret)) << secret;
        other_user::openWayTo(secret, scratch_.path());
        EXPECT_FALSE(other_user::canRead(secret)) << secret;
    }
}

TEST_F(PrivateDeviceRootTest, EveryProgramRefusesARootOthersCanWrite) {
    const std::string root = scratch_.path() + "/phone";
    ASSERT_EQ(run("brindlex-phone", "init", root).status, 0);
    ::chmod(root.c_str(), 0777);
    const std::vector<std::pair<std::string, std::string>> programs = {{"brindlex-ledger", "sync"},
                                                                       {"brindlex-ledger", "report"},
                                                                       {"brindlex-phone", "receive +14155550101 hi"},
                                                                       {"brindlex-badged", ""},
                                                                       {"Brindlex", ""}};
    for (const auto& [program, arguments] : programs) {
        const ProgramRun refused = run(program, arguments, root);
        EXPECT_EQ(refused.status, 1) << program << ": " << refused.err;
        EXPECT_NE(refused.err.find("can be written by other users"), std::string::npos) << program << refused.err;
        EXPECT_NE(refused.err.find("chmod 700 " + root), std::string::npos) << program << ": " << refused.err;
    }
    EXPECT_FALSE(fs::exists(root + "/private/var/mobile/Library/Brindlex/properties.plist")) << "nothing was seeded";

    // The fix the message gives is all it takes.
    ::chmod(root.c_str(), 0700);
    const ProgramRun synced = run("brindlex-ledger", "sync", root);
    EXPECT_EQ(synced.status, 0) << synced.err;
}

}  // namespace
