// Encrypted backups: the key bag reader on hostile bytes, and
// `brindlex-phone import-backup` on backups the fixture encoder encrypts the
// way a phone does, whole and damaged in each way a real one can be.
#include "common/MarkerSync.h"
#include "platform/DevicePaths.h"
#include "platform/PropertyList.h"
#include "platform/SqliteDatabase.h"
#include "support/CounterRows.h"
#include "support/OtherUser.h"
#include "support/ProgramRun.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDeviceRoot.h"
#include "tools/BackupScenario.h"
#include "tools/fixtures/BackupEncryptor.h"
#include "tools/phone/BackupFileRecord.h"
#include "tools/phone/BackupImport.h"
#include "tools/phone/BackupKeyBag.h"
#include "tools/phone/DecryptedFiles.h"
#include "tools/phone/DeviceRootTransaction.h"

#include <gtest/gtest.h>
#include <plist/plist.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <fstream>

#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace backup_scenario;

namespace {

auto& record = BackupEncryptor::keyBagRecord;
auto& number = BackupEncryptor::keyBagNumber;

std::string header(std::uint32_t iterations = 10000, std::uint32_t rounds = 10000000) {
    return record("VERS", number(3)) + record("TYPE", number(1)) + record("UUID", std::string(16, 'u')) +
           record("HMCK", std::string(40, 'h')) + record("WRAP", number(0)) + record("SALT", std::string(20, 's')) +
           record("ITER", number(iterations)) + record("DPWT", number(1)) + record("DPIC", number(rounds)) +
           record("DPSL", std::string(20, 'd'));
}

std::string classKey(std::uint32_t protectionClass, std::uint32_t wrap = 2) {
    return record("UUID", std::string(16, 'c')) + record("CLAS", number(protectionClass)) +
           record("WRAP", number(wrap)) + record("KTYP", number(0)) + record("WPKY", std::string(40, 'w'));
}

TEST(BackupKeyBagTest, ReadsTheHeaderAndEveryClassSkippingTagsItDoesNotKnow) {
    const std::string bytes =
        header() + classKey(1) + record("PBKY", std::string(32, 'p')) + classKey(2, 3) + classKey(6, 1);
    std::string error;
    const auto bag = BackupKeyBag::parse(bytes, &error);
    ASSERT_TRUE(bag) << error;
    EXPECT_EQ(bag->version(), 3u);
    EXPECT_EQ(bag->iterations(), 10000u);
    EXPECT_EQ(bag->passwordRounds(), 10000000u);
    ASSERT_EQ(bag->classes().size(), 3u);
    EXPECT_EQ(bag->classes()[1].protectionClass, 2u);
    EXPECT_EQ(bag->classes()[1].wrap, 3u);
    EXPECT_EQ(bag->classes()[2].wrap, 1u);
    EXPECT_EQ(bag->classes()[0].wrappedKey, std::string(40, 'w'));
}

TEST(BackupKeyBagTest, HostileBagsAreRefusedWithAReason) {
    const std::string whole = header() + classKey(1) + classKey(2);
    // Cut anywhere inside a record: never a crash or a read past the end.
    for (std::size_t cut = 1; cut < whole.size(); ++cut) {
        std::string error;
        const auto bag = BackupKeyBag::parse(whole.substr(0, whole.size() - cut), &error);
        if (!bag) {
            EXPECT_FALSE(error.empty()) << cut;
        }
    }
    std::string error;
    EXPECT_FALSE(BackupKeyBag::parse(whole.substr(0, whole.size() - 3), &error));
    EXPECT_NE(error.find("only 37 are left"), std::string::npos) << error;

    struct Case {
        const char* what;
        std::string bytes;
        const char* says;
    };
    const std::string noSalt =
        record("VERS", number(3)) + record("UUID", std::string(16, 'u')) + record("ITER", number(10)) + classKey(1);
    const std::vector<Case> cases = {
        {"a length past the end", header() + "WPKY" + number(0xffffffff) + "x", "bytes long, but only"},
        {"a header cut short", header() + "WPK", "inside a record header"},
        {"no salt", noSalt, "no SALT"},
        {"no rounds", header(0), "no ITER"},
        {"absurd ITER", header(2000000000), "more than 100000000"},
        {"absurd DPIC", header(10, 0xffffffff), "(DPIC)"},
        {"a number of 3 bytes", header() + record("UUID", "c") + record("CLAS", "abc"), "not a number"},
        {"no classes", header(), "no class keys"},
        {"a class without its key", header() + record("UUID", "c") + record("CLAS", number(3)), "no WPKY"},
        {"an empty bag", "", "no SALT"},
    };
    for (const Case& each : cases) {
        error.clear();
        EXPECT_FALSE(BackupKeyBag::parse(each.bytes, &error)) << each.what;
        EXPECT_NE(error.find(each.says), std::string::npos) << each.what << ": " << error;
    }
}

// An archive whose $top root is `root`, with `objects` after $null.
std::string archive(plist_t root, std::vector<plist_t> objects) {
    plist_t dict = plist_new_dict();
    plist_t top = plist_new_dict();
    plist_dict_set_item(top, "root", root);
    plist_dict_set_item(dict, "$top", top);
    plist_t list = plist_new_array();
    plist_array_append_item(list, plist_new_string("$null"));
    for (plist_t each : objects) plist_array_append_item(list, each);
    plist_dict_set_item(dict, "$objects", list);
    char* bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(dict, &bytes, &length);
    std::string result(bytes, length);
    std::free(bytes);
    plist_free(dict);
    return result;
}

plist_t file(std::initializer_list<std::pair<const char*, plist_t>> items) {
    plist_t dict = plist_new_dict();
    for (const auto& [key, value] : items) plist_dict_set_item(dict, key, value);
    return dict;
}

TEST(BackupFileRecordTest, ReadsTheFileObjectAndRefusesWhatIsNoArchive) {
    std::string error;
    const auto plain = BackupFileRecord::parse(
        archive(plist_new_uid(1), {file({{"Size", plist_new_uint(4096)},
                                         {"ProtectionClass", plist_new_uint(3)},
                                         {"EncryptionKey", plist_new_data("\x03\0\0\0key", 7)}})}),
        &error);
    ASSERT_TRUE(plain) << error;
    EXPECT_EQ(plain->size, 4096u);
    EXPECT_EQ(plain->protectionClass, 3);
    EXPECT_EQ(plain->encryptionKey, std::string("\x03\0\0\0key", 7));

    const std::vector<std::pair<std::string, const char*>> refused = {
        {"<plist/>", "no binary property list"},
        {archive(plist_new_uid(9), {}), "no file object"},
        {archive(plist_new_uid(1), {plist_new_uid(1)}), "no file object"},  // a loop of references
        {archive(plist_new_uid(1), {file({{"EncryptionKey", plist_new_string("key")}})}), "EncryptionKey is no data"},
        {archive(plist_new_uid(1), {file({{"EncryptionKey", plist_new_uid(7)}})}), "EncryptionKey is no data"},
        {archive(plist_new_uid(1), {file({{"Size", plist_new_string("big")}})}), "Size is no size"},
    };
    for (const auto& [bytes, says] : refused) {
        error.clear();
        EXPECT_FALSE(BackupFileRecord::parse(bytes, &error)) << says;
        EXPECT_NE(error.find(says), std::string::npos) << error;
    }
}

class EncryptedBackupTest : public ::testing::Test {
protected:
    static constexpr const char* kPassword = "correct horse battery";

    // The backup of phone A in `parent`, encrypted with `settings` unless
    // they are none.
    BackupFixture backup(const std::string& parent, const std::optional<BackupEncryptor::Settings>& settings,
                         int messageCount = 3) {
        BackupFixture fixture = make(parent, kPhoneA, {.messageCount = messageCount});
        std::string error;
        if (settings) {
            EXPECT_TRUE(BackupEncryptor::encrypt(fixture.folder(), *settings, &error)) << error;
        }
        return fixture;
    }

    ProgramRun import(const std::string& folder, const std::string& password = kPassword,
                      const std::string& how = "--password-file") {
        const std::string file = scratch_ + "/password";
        std::ofstream(file, std::ios::trunc) << password << "\n";
        const std::string source =
            how == "--password-file" ? "--password-file '" + file + "'" : how + " <'" + file + "'";
        return ProgramRun::of("brindlex-phone", "import-backup '" + folder + "' " + source, scratch_,
                              "DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/bus ");
    }

    // The import of `folder` in this process, `stop` asked between its steps.
    static std::optional<BackupImport::Outcome> importInProcess(const std::string& folder, std::function<bool()> stop,
                                                                std::string* error) {
        BackupImport::Options options;
        options.stopRequested = std::move(stop);
        options.unlock.password = [] { return std::optional<SecretBytes>(SecretBytes(kPassword)); };
        return BackupImport::run(folder, options, error);
    }

    static std::vector<std::string> decryptedLeft() {
        std::vector<std::string> left;
        for (const auto& entry : snapshot(DevicePaths::root()))
            if (entry.first.find(DecryptedFiles::kPrefix) != std::string::npos) left.push_back(entry.first);
        return left;
    }

    TempDeviceRoot scratchRoot_;
    std::string scratch_ = scratchRoot_.path();
};

TEST_F(EncryptedBackupTest, ImportsAndCountsTheSameRowsAsItsUnencryptedTwin) {
    std::vector<CounterRow> plainRows;
    {
        TempDeviceRoot root;
        backup(scratch_ + "/plain", std::nullopt, 40);
        const ProgramRun run = import(scratch_ + "/plain");
        ASSERT_EQ(run.status, 0) << run.err;
        MarkerSync::syncWithStoredMarkers();
        plainRows = counterRows();
    }
    TempDeviceRoot root;
    backup(scratch_ + "/encrypted", BackupEncryptor::Settings{}, 40);
    // What the encoder encrypted: the sms.db the scenario made beside the backup.
    const std::string plainSms = slurp(scratch_ + "/encrypted/sources-" + kPhoneA + "/sms.db");
    const auto before = snapshot(scratch_ + "/encrypted");
    const ProgramRun run = import(scratch_ + "/encrypted");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("takes a few seconds"), std::string::npos) << run.err;
    EXPECT_NE(run.out.find("decrypted with its password"), std::string::npos) << run.out;
    EXPECT_TRUE(slurp(DevicePaths::smsDatabase()) == plainSms) << "decrypted and cut to its Size";
    EXPECT_TRUE(fs::exists(DevicePaths::addressBook()));
    EXPECT_EQ(decryptedLeft(), std::vector<std::string>{});
    EXPECT_EQ(snapshot(scratch_ + "/encrypted"), before) << "the backup is only read";

    MarkerSync::syncWithStoredMarkers();
    const auto rows = counterRows();
    ASSERT_EQ(rows.size(), 40u);
    ASSERT_EQ(rows.size(), plainRows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].address, plainRows[i].address);
        EXPECT_EQ(rows[i].date, plainRows[i].date);
        EXPECT_EQ(rows[i].text, plainRows[i].text);
        EXPECT_EQ(rows[i].flags, plainRows[i].flags);
    }
}

// The decrypted files may be the first thing made in a new device root:
// it is made 0700 like everything else, and another user reads nothing.
TEST_F(EncryptedBackupTest, AnImportIntoANewRootLeavesItTheUsersAlone) {
    TempDeviceRoot parent;
    const std::string root = parent.path() + "/new/phone";
    const ScopedEnvironment useRoot("BRINDLEX_DEVICE_ROOT", root);
    backup(scratch_ + "/encrypted", BackupEncryptor::Settings{}, 5);
    const mode_t previousMask = ::umask(022);
    const ProgramRun run = import(scratch_ + "/encrypted");
    ::umask(previousMask);
    ASSERT_EQ(run.status, 0) << run.err;
    std::vector<std::string> paths = {parent.path() + "/new", root};
    for (const auto& entry : fs::recursive_directory_iterator(root)) paths.push_back(entry.path().string());
    for (const std::string& path : paths) {
        struct stat info {};
        ASSERT_EQ(::lstat(path.c_str(), &info), 0) << path;
        EXPECT_EQ(info.st_mode & 07777, S_ISDIR(info.st_mode) ? 0700u : 0600u) << path;
    }
    other_user::openWayTo(DevicePaths::smsDatabase(), parent.path());
    EXPECT_FALSE(other_user::canRead(DevicePaths::smsDatabase()));
}

// The rounds a phone uses (about three seconds of derivation each side):
// no narrowing of the counts on the way to libcrypto. Labelled real-rounds
// for ctest (tests/RealRoundsLabel.cmake), so it can be run or left out alone.
TEST_F(EncryptedBackupTest, ThePhonesOwnRoundCountsUnlock) {
    TempDeviceRoot root;
    backup(scratch_ + "/encrypted", BackupEncryptor::Settings{.passwordRounds = 10'000'000, .iterations = 10'000});
    const ProgramRun run = import(scratch_ + "/encrypted");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(SmsDatabaseFixture(DevicePaths::smsDatabase()).messageCount(), 3);
}

TEST_F(EncryptedBackupTest, OnePasswordSourceAtATime) {
    const ProgramRun run = ProgramRun::of(
        "brindlex-phone", "import-backup dir --password-stdin --password-file '" + scratch_ + "/password'", scratch_);
    EXPECT_EQ(run.status, 2) << run.err;
}

// Messages the phone kept only in sms.db-wal: the -wal is decrypted too.
TEST_F(EncryptedBackupTest, TheWalOfAnEncryptedBackupIsDecryptedWithItsDatabase) {
    TempDeviceRoot root;
    const BackupFixture fixture = makeWithWal(scratch_ + "/encrypted", kPhoneA, 12);
    std::string error;
    ASSERT_TRUE(BackupEncryptor::encrypt(fixture.folder(), {}, &error)) << error;
    const ProgramRun run = import(fixture.folder());
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("sms.db-wal"), std::string::npos) << run.out;
    MarkerSync::syncWithStoredMarkers();
    EXPECT_EQ(counterRows().size(), 12u);
    EXPECT_EQ(decryptedLeft(), std::vector<std::string>{});
}

TEST_F(EncryptedBackupTest, PasswordOnStandardInputAndAKeyStoredAsPlainData) {
    TempDeviceRoot root;
    backup(scratch_ + "/encrypted", BackupEncryptor::Settings{.keyAsPlainData = true});
    const ProgramRun run = import(scratch_ + "/encrypted", kPassword, "--password-stdin");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(SmsDatabaseFixture(DevicePaths::smsDatabase()).messageCount(), 3);
}

// --remember-password without a keyring to keep it (no session bus): the
// import stands, and standard error says the password was not kept; of an
// unencrypted backup, that there is none to keep.
TEST_F(EncryptedBackupTest, APasswordToRememberWithoutAKeyringLeavesTheImportStanding) {
    TempDeviceRoot root;
    backup(scratch_ + "/plain", std::nullopt);
    const ProgramRun plain = import(scratch_ + "/plain", kPassword, "--remember-password --password-stdin");
    ASSERT_EQ(plain.status, 0) << plain.err;
    EXPECT_NE(plain.err.find("the backup is not encrypted: there is no password to remember"), std::string::npos)
        << plain.err;

    backup(scratch_ + "/encrypted", BackupEncryptor::Settings{}, 5);
    const ProgramRun run = import(scratch_ + "/encrypted", kPassword, "--remember-password --password-stdin");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(SmsDatabaseFixture(DevicePaths::smsDatabase()).messageCount(), 5);
    EXPECT_NE(run.err.find("the keyring did not store the password: "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("the next backups are imported only with the password given again"), std::string::npos)
        << run.err;
    EXPECT_EQ(run.out.find("remembered"), std::string::npos) << run.out;
}

TEST_F(EncryptedBackupTest, RefusalsSayWhyAndWriteNothingToTheRoot) {
    struct Case {
        const char* what;
        BackupEncryptor::Settings settings;
        const char* says;
        std::string password = kPassword;
        std::string how = "--password-file";
    };
    const std::vector<Case> cases = {
        {"wrong password", {}, "the backup password is wrong", "Tr0ub4dor&3"},
        {"no password and no terminal", {}, "--password-file FILE", kPassword, "</dev/null"},
        {"an empty password", {}, "the password given is empty", "", "--password-stdin"},
        {"a class key that does not unwrap", {.damagedClass = 3}, "protection class 3 does not unwrap"},
        {"a file row without its key", {.withoutKey = "Library/SMS/sms.db"}, "no EncryptionKey"},
        {"a file shorter than its Size", {.overstated = "Library/SMS/sms.db"}, "but the backup gives it"},
        {"Manifest.db's class key is damaged", {.manifestClass = 5, .damagedClass = 5}, "Manifest.db cannot be"},
        {"the truncated key bag", {}, "bytes long, but only"},
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.what);
        TempDeviceRoot root;
        const std::string parent = scratch_ + "/" + std::to_string(&each - cases.data());
        backup(parent, each.settings);
        if (std::string(each.what) == "the truncated key bag") {
            const std::string plist = parent + "/" + kPhoneA + "/Manifest.plist";
            auto manifest = PropertyList::readFromFile(plist);
            ASSERT_TRUE(manifest);
            const auto bag = manifest->dataValue("BackupKeyBag");
            ASSERT_TRUE(bag);
            manifest->setData("BackupKeyBag", bag->substr(0, bag->size() - 7));
            ASSERT_TRUE(manifest->writeToFile(plist));
        }
        const ProgramRun run = each.how == "</dev/null"
                                   ? ProgramRun::of("brindlex-phone", "import-backup '" + parent + "' </dev/null",
                                                    scratch_, "DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/bus ")
                                   : import(parent, each.password, each.how);
        EXPECT_EQ(run.status, 1) << run.err;
        EXPECT_NE(run.err.find(each.says), std::string::npos) << run.err;
        EXPECT_EQ(snapshot(root.path()), (std::map<std::string, std::string>{})) << "nothing written";
    }
}

// A stop (SIGINT or SIGTERM, which the command turns into this) at any of
// the import's checks, decryption chunks included, leaves the root as it was
// and no decrypted file behind; one late enough lets the import finish.
TEST_F(EncryptedBackupTest, StopAtAnyPointLeavesNoDecryptedFile) {
    TempDeviceRoot root;
    BackupFixture fixture = make(scratch_ + "/encrypted", kPhoneA);
    {
        // Several chunks of decryption, so stops land inside it too.
        SqliteDatabase db;
        ASSERT_TRUE(db.open(fixture.pathOf(BackupFixture::kHomeDomain, BackupFixture::kSmsDatabasePath),
                            SqliteDatabase::Mode::ReadWrite));
        ASSERT_TRUE(db.exec("CREATE TABLE padding (bytes BLOB); INSERT INTO padding VALUES (randomblob(3000000))"));
    }
    std::string error;
    ASSERT_TRUE(BackupEncryptor::encrypt(fixture.folder(), {}, &error)) << error;

    bool finished = false;
    int stopsInside = 0;
    for (int at = 0; at < 200 && !finished; ++at) {
        SCOPED_TRACE("stop at check " + std::to_string(at));
        int asked = 0;
        bool sawDecrypted = false;
        BackupImport::Options options;
        options.stopRequested = [&] {
            sawDecrypted = sawDecrypted || !decryptedLeft().empty();
            return asked++ >= at;  // a signal, once come, stays
        };
        options.unlock.password = [] { return std::optional<SecretBytes>(SecretBytes(kPassword)); };
        const auto outcome = BackupImport::run(fixture.folder(), options, &error);
        finished = outcome.has_value();
        if (!finished) {
            EXPECT_EQ(error, DeviceRootTransaction::kStopped);
            if (sawDecrypted) ++stopsInside;
            EXPECT_EQ(decryptedLeft(), std::vector<std::string>{});
        }
    }
    EXPECT_TRUE(finished);
    EXPECT_GE(stopsInside, 3) << "stops while decrypted files existed";
    EXPECT_EQ(decryptedLeft(), std::vector<std::string>{});
    EXPECT_EQ(SmsDatabaseFixture(DevicePaths::smsDatabase()).messageCount(), 3);
}

// SQLite's quick check of sms.db is made on the copy staged for the commit,
// so what is checked is what goes in: a file with damaged pages is refused,
// named as the backup holds it, and leaves the root empty and no decrypted
// byte behind, encrypted or not.
TEST_F(EncryptedBackupTest, ADamagedSmsDatabaseIsRefusedFromItsStagedCopy) {
    for (const bool encrypted : {false, true}) {
        SCOPED_TRACE(encrypted ? "encrypted" : "unencrypted");
        TempDeviceRoot root;
        const std::string parent = scratch_ + (encrypted ? "/damaged-e" : "/damaged-u");
        const BackupFixture fixture = make(parent, kPhoneA, {.messageCount = 200});
        const std::string sms = fixture.pathOf(BackupFixture::kHomeDomain, BackupFixture::kSmsDatabasePath);
        {
            // Every page after the first (the schema) overwritten: the file
            // still opens, and its tables are garbage.
            std::fstream file(sms, std::ios::in | std::ios::out | std::ios::binary);
            const auto size = static_cast<std::size_t>(fs::file_size(sms));
            ASSERT_GT(size, 8192u);
            file.seekp(4096);
            file << std::string(size - 4096, '\xa5');
        }
        std::string error;
        if (encrypted) {
            ASSERT_TRUE(BackupEncryptor::encrypt(fixture.folder(), {}, &error)) << error;
        }
        const ProgramRun run = import(fixture.folder());
        EXPECT_EQ(run.status, 1) << run.err;
        EXPECT_NE(run.err.find("is damaged"), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(encrypted ? std::string("Library/SMS/sms.db, decrypted") : sms), std::string::npos)
            << run.err;
        EXPECT_EQ(snapshot(root.path()), (std::map<std::string, std::string>{})) << "nothing written";
    }
}

// A backup written to while it is imported (idevicebackup2 started again on
// the same folder). Whichever of its files changes, at whichever point after
// the import looked at it and before its commit, the import fails with the
// one error a caller retries on, and the root stays as it was; a change
// before the import looked, or once it is committing, lets it finish.
// Encrypted and not, in each way a backup's files change: rewritten in place
// (a new size), replaced by a rename (a new file), touched (a new time).
TEST_F(EncryptedBackupTest, ABackupChangedWhileImportedFailsAndLeavesTheRootAsItWas) {
    struct Change {
        const char* what;
        std::function<void(const BackupFixture&)> apply;
    };
    const std::vector<Change> changes = {
        {"Status.plist rewritten as a backup starts",
         [](const BackupFixture& fixture) {
             std::ofstream(fixture.folder() + "/Status.plist", std::ios::app) << "\n";
         }},
        {"Manifest.db replaced by a rename",
         [](const BackupFixture& fixture) {
             const std::string next = fixture.folder() + "/Manifest.db.new";
             fs::copy_file(fixture.manifestDatabase(), next, fs::copy_options::overwrite_existing);
             fs::rename(next, fixture.manifestDatabase());
         }},
        {"sms.db written with the same size",
         [](const BackupFixture& fixture) {
             const std::string sms = fixture.pathOf(BackupFixture::kHomeDomain, BackupFixture::kSmsDatabasePath);
             fs::last_write_time(sms, fs::last_write_time(sms) + std::chrono::seconds(1));
         }},
    };
    for (const bool encrypted : {false, true}) {
        for (const Change& change : changes) {
            SCOPED_TRACE(std::string(encrypted ? "encrypted, " : "unencrypted, ") + change.what);
            TempDeviceRoot root;
            const std::string parent =
                scratch_ + "/" + (encrypted ? "e-" : "u-") + std::to_string(&change - &changes[0]);
            const BackupFixture fixture =
                backup(parent, encrypted ? std::optional(BackupEncryptor::Settings{}) : std::nullopt);
            std::string error;
            ASSERT_TRUE(importInProcess(fixture.folder(), {}, &error)) << error;
            auto before = snapshot(root.path());

            int refused = 0;
            for (int at = 1;; ++at) {
                SCOPED_TRACE("changed at check " + std::to_string(at));
                int asked = 0;
                const auto outcome = importInProcess(
                    fixture.folder(),
                    [&] {
                        if (asked++ == at) change.apply(fixture);
                        return false;
                    },
                    &error);
                EXPECT_EQ(decryptedLeft(), std::vector<std::string>{});
                if (outcome) {
                    before = snapshot(root.path());
                } else {
                    EXPECT_EQ(error, BackupImport::kBackupChanged);
                    EXPECT_EQ(snapshot(root.path()), before) << "the root as it was";
                    ++refused;
                }
                if (asked <= at) {
                    EXPECT_TRUE(outcome) << "an import the change did not reach goes in: " << error;
                    break;
                }
            }
            EXPECT_GE(refused, 1);
            EXPECT_EQ(SmsDatabaseFixture(DevicePaths::smsDatabase()).messageCount(), 3);
        }
    }
}

// The program on a terminal of its own (a pseudo-terminal), as a user runs it.
class OnTerminal {
public:
    explicit OnTerminal(const std::string& folder) {
        pid_ = ::forkpty(&master_, nullptr, nullptr, nullptr);
        if (pid_ == 0) {
            ::setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus", 1);
            const std::string program = ProgramRun::beside("brindlex-phone");
            ::execl(program.c_str(), program.c_str(), "import-backup", folder.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
    }
    ~OnTerminal() {
        if (master_ >= 0) ::close(master_);
    }

    // Reads what the program writes until `text` has appeared (true) or the
    // program's side is closed (false).
    bool readUntil(const std::string& text) {
        while (output_.find(text) == std::string::npos) {
            struct pollfd ready {
                master_, POLLIN, 0
            };
            if (::poll(&ready, 1, 60000) <= 0) {
                timedOut_ = true;
                return false;
            }
            char buffer[256];
            const ssize_t got = ::read(master_, buffer, sizeof buffer);
            if (got <= 0) return false;  // EIO once the program has closed it
            output_.append(buffer, static_cast<std::size_t>(got));
        }
        return true;
    }
    void type(const std::string& keys) { ASSERT_EQ(::write(master_, keys.data(), keys.size()), ssize_t(keys.size())); }
    bool echoes() const {
        struct termios settings {};
        return ::tcgetattr(master_, &settings) == 0 && (settings.c_lflag & ECHO) != 0;
    }
    // The wait status once the program has ended.
    int finish() {
        readUntil("\x01never written\x01");
        int status = 0;
        if (timedOut_) {
            ADD_FAILURE() << "still running a minute after its last output";
            ::kill(pid_, SIGKILL);
        }
        EXPECT_EQ(::waitpid(pid_, &status, 0), pid_) << std::strerror(errno);
        return status;
    }
    const std::string& output() const { return output_; }

private:
    pid_t pid_ = -1;
    int master_ = -1;
    std::string output_;
    bool timedOut_ = false;
};

TEST_F(EncryptedBackupTest, OnATerminalThePasswordIsAskedWithoutEchoAndCtrlCPutsTheTerminalBack) {
    TempDeviceRoot root;
    backup(scratch_ + "/encrypted", BackupEncryptor::Settings{});
    const std::string folder = scratch_ + "/encrypted/" + kPhoneA;
    {
        OnTerminal terminal(folder);
        ASSERT_TRUE(terminal.readUntil("Backup password: ")) << terminal.output();
        EXPECT_FALSE(terminal.echoes());
        terminal.type(std::string(kPassword) + "\n");
        const int status = terminal.finish();
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << terminal.output();
        EXPECT_EQ(terminal.output().find(kPassword), std::string::npos) << "typed without echo";
        EXPECT_TRUE(terminal.echoes()) << "echo back on";
        EXPECT_EQ(SmsDatabaseFixture(DevicePaths::smsDatabase()).messageCount(), 3);
    }
    TempDeviceRoot another;
    OnTerminal terminal(folder);
    ASSERT_TRUE(terminal.readUntil("Backup password: ")) << terminal.output();
    terminal.type("half a pass");
    terminal.type("\x03");  // Ctrl-C: SIGINT for the program
    const int status = terminal.finish();
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status << terminal.output();
    EXPECT_NE(terminal.output().find("interrupted"), std::string::npos) << terminal.output();
    EXPECT_TRUE(terminal.echoes()) << "echo back on after Ctrl-C";
    EXPECT_EQ(snapshot(another.path()), (std::map<std::string, std::string>{}));
}

}  // namespace
