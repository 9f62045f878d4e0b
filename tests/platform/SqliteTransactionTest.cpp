#include "platform/SqliteDatabase.h"
#include "platform/ProgramLog.h"
#include "platform/SqliteStatement.h"
#include "platform/SqliteTransaction.h"
#include "support/CapturedStderr.h"
#include "support/TempDeviceRoot.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A database file with one table, and a connection to it that fails fast
// on locks instead of waiting the usual five seconds.
class SqliteTransactionTest : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = dir_.path() + "/t.db";
        ASSERT_TRUE(db_.open(path_, SqliteDatabase::Mode::ReadWriteCreate));
        ASSERT_TRUE(db_.exec("CREATE TABLE t (v INTEGER)"));
        db_.setBusyTimeout(50);
    }

    std::vector<long long> values() const {
        SqliteDatabase reader;
        std::vector<long long> found;
        if (!reader.open(path_, SqliteDatabase::Mode::ReadOnly)) return found;
        SqliteStatement select;
        if (!select.prepare(reader, "SELECT v FROM t ORDER BY rowid")) return found;
        while (select.step() == SqliteStatement::Step::Row) found.push_back(select.columnInt(0));
        return found;
    }

    TempDeviceRoot dir_;
    std::string path_;
    SqliteDatabase db_;
};

TEST_F(SqliteTransactionTest, GoingOutOfScopeWithoutCommitRollsBackEveryWrite) {
    ASSERT_TRUE(db_.exec("INSERT INTO t VALUES (1)"));
    {
        SqliteTransaction transaction(db_, SqliteTransaction::Behavior::Immediate, "writing");
        ASSERT_TRUE(transaction.isActive());
        EXPECT_TRUE(db_.inTransaction());
        ASSERT_TRUE(db_.exec("INSERT INTO t VALUES (2)"));
        ASSERT_TRUE(db_.exec("DELETE FROM t WHERE v = 1"));
    }
    EXPECT_FALSE(db_.inTransaction());
    EXPECT_EQ(values(), std::vector<long long>{1});

    // An explicit rollback does the same, and the object's end adds nothing.
    SqliteTransaction transaction(db_, SqliteTransaction::Behavior::Deferred, "writing");
    ASSERT_TRUE(db_.exec("INSERT INTO t VALUES (3)"));
    transaction.rollback();
    EXPECT_FALSE(transaction.isActive());
    EXPECT_FALSE(transaction.commit());
    EXPECT_EQ(values(), std::vector<long long>{1});
}

TEST_F(SqliteTransactionTest, CommitKeepsTheWritesAndTheEndOfTheObjectUndoesNothingAfterIt) {
    {
        SqliteTransaction transaction(db_, SqliteTransaction::Behavior::Immediate, "writing");
        ASSERT_TRUE(db_.exec("INSERT INTO t VALUES (1)"));
        // Other connections see nothing before the commit.
        EXPECT_TRUE(values().empty());
        EXPECT_TRUE(transaction.commit());
        EXPECT_FALSE(transaction.isActive());
        // Written after the commit, outside any transaction: must survive the
        // object's end.
        ASSERT_TRUE(db_.exec("INSERT INTO t VALUES (2)"));
    }
    EXPECT_EQ(values(), (std::vector<long long>{1, 2}));
}

TEST_F(SqliteTransactionTest, ANestedTransactionThatCannotBeginLeavesTheOuterOneAlone) {
    SqliteTransaction outer(db_, SqliteTransaction::Behavior::Immediate, "writing the outer rows");
    ASSERT_TRUE(outer.isActive());
    ASSERT_TRUE(db_.exec("INSERT INTO t VALUES (1)"));
    const std::string log = stderrOf([&] {
        SqliteTransaction inner(db_, SqliteTransaction::Behavior::Deferred, "writing the inner rows");
        EXPECT_FALSE(inner.isActive());
        // Neither its commit nor its end may touch the outer transaction.
        EXPECT_FALSE(inner.commit());
    });
    EXPECT_EQ(lineCount(log), 1) << log;
    EXPECT_NE(log.find("writing the inner rows"), std::string::npos) << log;
    EXPECT_NE(log.find("within a transaction"), std::string::npos) << log;

    EXPECT_TRUE(db_.inTransaction());
    ASSERT_TRUE(db_.exec("INSERT INTO t VALUES (2)"));
    EXPECT_TRUE(outer.commit());
    EXPECT_EQ(values(), (std::vector<long long>{1, 2}));
}

TEST_F(SqliteTransactionTest, AWriteLockHeldElsewhereLeavesItInactiveAndSaysSoOnce) {
    SqliteDatabase other;
    ASSERT_TRUE(other.open(path_, SqliteDatabase::Mode::ReadWrite));
    SqliteTransaction holder(other, SqliteTransaction::Behavior::Immediate, "holding the lock");
    ASSERT_TRUE(holder.isActive());

    const std::string log = stderrOf([&] {
        SqliteTransaction blocked(db_, SqliteTransaction::Behavior::Immediate, "adding the rows");
        EXPECT_FALSE(blocked.isActive());
        EXPECT_TRUE(db_.lastErrorIsBusy());
    });
    EXPECT_EQ(log, ProgramLog::programName() + ": adding the rows (BEGIN IMMEDIATE): database is locked\n");
}

TEST_F(SqliteTransactionTest, AFailedCommitKeepsItsErrorAndRollsBackAtTheEnd) {
    // A reader in the middle of a read keeps COMMIT from its exclusive lock.
    SqliteDatabase reader;
    ASSERT_TRUE(reader.open(path_, SqliteDatabase::Mode::ReadOnly));
    ASSERT_TRUE(reader.exec("BEGIN"));
    SqliteStatement pin;
    ASSERT_TRUE(pin.prepare(reader, "SELECT count(*) FROM t"));
    ASSERT_EQ(pin.step(), SqliteStatement::Step::Row);

    const std::string log = stderrOf([&] {
        SqliteTransaction transaction(db_, SqliteTransaction::Behavior::Immediate, "storing the rows");
        ASSERT_TRUE(db_.exec("INSERT INTO t VALUES (1)"));
        EXPECT_FALSE(transaction.commit());
        EXPECT_TRUE(db_.lastErrorIsBusy());
        EXPECT_EQ(db_.lastError(), "database is locked");
        EXPECT_TRUE(transaction.isActive());
    });
    EXPECT_EQ(log, ProgramLog::programName() + ": storing the rows (COMMIT): database is locked\n");
    EXPECT_FALSE(db_.inTransaction());
    pin.finalize();
    reader.close();
    EXPECT_TRUE(values().empty());
}

TEST(ProgramLogTest, OneLineWithWhatWasBeingDoneAndSqlitesMessage) {
    const std::string program = ProgramLog::programName();
    TempDeviceRoot dir;
    SqliteDatabase db;
    ASSERT_TRUE(db.open(dir.path() + "/t.db", SqliteDatabase::Mode::ReadWriteCreate));
    SqliteStatement statement;
    ASSERT_FALSE(statement.prepare(db, "SELECT * FROM missing"));
    std::string log = stderrOf([&] { db.logFailure("reading the\nmissing table"); });
    // A line break in the context (a path may hold one) must not split the line.
    EXPECT_EQ(log, program + ": reading the missing table: no such table: missing\n");

    // A failed open keeps SQLite's reason for the log.
    SqliteDatabase absent;
    ASSERT_FALSE(absent.open(dir.path() + "/none/x.db", SqliteDatabase::Mode::ReadOnly));
    log = stderrOf([&] { absent.logFailure("opening x.db"); });
    EXPECT_EQ(log, program + ": opening x.db: unable to open database file\n");
    EXPECT_FALSE(absent.lastErrorIsBusy());

    log = stderrOf([] { ProgramLog::failure("a", "b\r\nc"); });
    EXPECT_EQ(log, program + ": a: b  c\n");
}

TEST(ProgramLogTest, EveryLineNamesTheProgramThatWroteIt) {
    const std::string before = ProgramLog::programName();
    EXPECT_EQ(before, "tests_platform") << "until a main names itself: the name it was started by";

    ProgramLog::setProgramName("/usr/lib/brindlex/brindlex-badged");
    std::string log = stderrOf([] { ProgramLog::print("copied %d messages of %s\n", 3, "sms.db"); });
    EXPECT_EQ(log, "brindlex-badged: copied 3 messages of sms.db\n") << "a path is cut to its base name";
    log = stderrOf([] { ProgramLog::failure("syncing", "disk I/O error"); });
    EXPECT_EQ(log, "brindlex-badged: syncing: disk I/O error\n");

    ProgramLog::setProgramName("Brindlex");
    const std::string longText(5000, 'x');
    log = stderrOf([&] { ProgramLog::print("%s\n", longText.c_str()); });
    EXPECT_EQ(log, "Brindlex: " + longText + "\n") << "no length limit cuts a line";
    ProgramLog::setProgramName(before);
}

}  // namespace
