// The journal's recovery on its own: an import cut after any number of its
// renames is rolled back to the root it found, one cut after its last is
// finished, and a journal that names paths outside the root is refused.
#include "platform/DeviceRootJournal.h"
#include "support/TempDeviceRoot.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using Kind = DeviceRootJournal::Kind;
using Phase = DeviceRootJournal::Phase;
using Step = DeviceRootJournal::Step;

std::map<std::string, std::string> contents(const std::string& root) {
    std::map<std::string, std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::ostringstream bytes;
        if (entry.is_regular_file()) bytes << in.rdbuf();
        entries[fs::relative(entry.path(), root).string()] = entry.is_directory() ? "folder" : bytes.str();
    }
    return entries;
}

void write(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

class DeviceRootJournalTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(root_ + "/data");
        write(root_ + "/data/sms.db", "old messages");
        write(root_ + "/data/book.db", "old contacts");
        write(root_ + "/data/counts.db", "old counts");
        before_ = contents(root_);
    }

    // Stages an import as DeviceRootTransaction does: sms.db replaced, a
    // -wal added in a new folder, the address book removed, the counts kept
    // aside.
    std::vector<Step> stage(DeviceRootJournal& journal) {
        const std::string staging = journal.stagingFolder();
        std::vector<Step> steps = {
            {Kind::Directory, root_ + "/data/new", {}, {}, false},
            {Kind::Replace, root_ + "/data/new/sms.db-wal", staging + "/wal", {}, false},
            {Kind::Replace, root_ + "/data/sms.db", staging + "/sms", staging + "/replaced-1", true},
            {Kind::Move, root_ + "/data/book.db", {}, staging + "/removed-2", true},
            {Kind::Move, root_ + "/data/counts.db", {}, root_ + "/data/counts-old-phone.db", true},
        };
        EXPECT_TRUE(journal.record(Phase::Staging, {steps[0]}, nullptr));
        fs::create_directory(steps[0].target);
        write(staging + "/wal", "new frames");
        write(staging + "/sms", "new messages");
        EXPECT_TRUE(journal.record(Phase::Renaming, steps, nullptr));
        return steps;
    }

    // The first `count` renames of the commit, as it makes them.
    static void apply(const std::vector<Step>& steps, std::size_t count) {
        for (std::size_t i = 0; i < count && i < steps.size(); ++i) {
            const Step& step = steps[i];
            if (step.kind == Kind::Move) fs::rename(step.target, step.saved);
            if (step.kind != Kind::Replace) continue;
            if (step.existed) fs::create_hard_link(step.target, step.saved);
            fs::rename(step.staged, step.target);
        }
    }

    TempDeviceRoot scratch_;
    std::string root_ = fs::canonical(scratch_.path()).string();
    std::map<std::string, std::string> before_;
};

TEST_F(DeviceRootJournalTest, CutAfterAnyRenameRollsBackToTheRootItFound) {
    for (std::size_t applied = 0; applied <= 5; ++applied) {
        SCOPED_TRACE(std::to_string(applied) + " renames made");
        {
            DeviceRootJournal journal(root_);
            ASSERT_TRUE(journal.open(nullptr));
            apply(stage(journal), applied);
        }  // killed here: the lock goes with the process
        DeviceRootJournal next(root_);
        ASSERT_TRUE(next.locked());
        EXPECT_EQ(next.recover(nullptr), DeviceRootJournal::Recovery::RolledBack);
        EXPECT_EQ(contents(root_), before_);
        EXPECT_EQ(next.recover(nullptr), DeviceRootJournal::Recovery::Nothing);
    }
}

// An import into a fresh root stages the removal of sms.db's sidecars, then
// makes the address book's folder: the journal it writes then lists a
// removal without the second name the commit gives it.
TEST_F(DeviceRootJournalTest, CutWhileStagingAfterARemovalRollsBack) {
    {
        DeviceRootJournal journal(root_);
        ASSERT_TRUE(journal.open(nullptr));
        const std::vector<Step> steps = {{Kind::Move, root_ + "/data/sms.db-wal", {}, {}, false},
                                         {Kind::Move, root_ + "/data/book.db", {}, {}, false},
                                         {Kind::Directory, root_ + "/data/new", {}, {}, false}};
        ASSERT_TRUE(journal.record(Phase::Staging, steps, nullptr));
        fs::create_directory(steps[2].target);
    }
    DeviceRootJournal next(root_);
    std::string error;
    EXPECT_EQ(next.recover(&error), DeviceRootJournal::Recovery::RolledBack) << error;
    EXPECT_EQ(contents(root_), before_);
}

TEST_F(DeviceRootJournalTest, CutAfterTheLastRenameIsFinished) {
    {
        DeviceRootJournal journal(root_);
        ASSERT_TRUE(journal.open(nullptr));
        const auto steps = stage(journal);
        apply(steps, steps.size());
        ASSERT_TRUE(journal.record(Phase::Done, steps, nullptr));
    }
    DeviceRootJournal next(root_);
    EXPECT_EQ(next.recover(nullptr), DeviceRootJournal::Recovery::Finished);
    const std::map<std::string, std::string> expected = {{"data", "folder"},
                                                         {"data/new", "folder"},
                                                         {"data/new/sms.db-wal", "new frames"},
                                                         {"data/sms.db", "new messages"},
                                                         {"data/counts-old-phone.db", "old counts"}};
    EXPECT_EQ(contents(root_), expected);
}

TEST_F(DeviceRootJournalTest, AJournalNamingPathsOutsideTheRootIsRefused) {
    const std::string outside = scratch_.path() + "-outside";
    write(outside, "someone else's file");
    fs::create_directory(root_ + "/" + DeviceRootJournal::kStagingFolderName);
    write(root_ + "/" + DeviceRootJournal::kStagingFolderName + "/" + DeviceRootJournal::kJournalName,
          "brindlex-import-journal 1\nphase\trenaming\nreplace\t../" + fs::path(outside).filename().string() +
              "\t.brindlex-import/x\t\t0\nend\n");
    DeviceRootJournal journal(root_);
    std::string error;
    EXPECT_EQ(journal.recover(&error), DeviceRootJournal::Recovery::Failed);
    EXPECT_NE(error.find("cannot be read"), std::string::npos) << error;
    std::ifstream in(outside);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "someone else's file");
    // Left for the owner to look at, and an import refuses to start over it.
    EXPECT_TRUE(fs::exists(journal.stagingFolder()));
    EXPECT_FALSE(journal.open(&error));
    fs::remove(outside);
}

TEST_F(DeviceRootJournalTest, AStagingFolderWithoutJournalIsLeftoverFilesOnly) {
    fs::create_directory(root_ + "/" + DeviceRootJournal::kStagingFolderName);
    write(root_ + "/" + DeviceRootJournal::kStagingFolderName + "/half-copied", "partial");
    DeviceRootJournal journal(root_);
    EXPECT_EQ(journal.recover(nullptr), DeviceRootJournal::Recovery::RolledBack);
    EXPECT_EQ(contents(root_), before_);
}

}  // namespace
