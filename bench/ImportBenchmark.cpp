// brindlex-import-bench [--data DIR] [--runs R] [--megabytes N] [--rounds N] [--program PATH]
//
// Measures the import of an encrypted backup whose sms.db is N MB (default
// 1024) against what the work cannot go below: `openssl enc -d
// -aes-256-cbc` decrypting a file of the same size plus the key derivation
// from the password (PBKDF2-HMAC-SHA256 of N rounds, default 10,000,000 as a
// phone uses, then PBKDF2-HMAC-SHA1 of 10,000). Reports the median time of
// R runs of `brindlex-phone import-backup --password-file` (each into a fresh
// device root, each a fresh process), its peak resident memory and the
// ratio. The backup is built once under DIR and reused. --program times
// another brindlex-phone (an older build, say) on the same backup.
#include "bench/BenchReport.h"
#include "platform/SqliteDatabase.h"
#include "platform/SqliteStatement.h"
#include "tools/fixtures/BackupEncryptor.h"
#include "tools/fixtures/BackupFixture.h"
#include "tools/fixtures/SmsDatabaseFixture.h"
#include "tools/fixtures/TrafficGenerator.h"

#include <openssl/evp.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr const char* kVersion = "17.1";
constexpr const char* kUdid = "00008030-BE4C4000BE4C4000";
constexpr const char* kPassword = "correct horse battery";
constexpr std::uint32_t kIterations = 10000;  // ITER of the key bag
constexpr int kDefaultRuns = 3;

struct Options {
    std::string data = "build/bench-data";
    int runs = kDefaultRuns;
    long megabytes = 1024;
    std::uint32_t rounds = 10'000'000;
    std::string program;  // empty: the brindlex-phone beside this program
};

bool parse(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string flag = argv[i];
        if (i + 1 >= argc) return false;
        const char* value = argv[++i];
        if (flag == "--data") {
            options.data = value;
        } else if (flag == "--runs") {
            options.runs = std::max(1, std::atoi(value));
        } else if (flag == "--megabytes") {
            options.megabytes = std::max(1L, std::atol(value));
        } else if (flag == "--program") {
            options.program = fs::absolute(value).string();
        } else if (flag == "--rounds") {
            options.rounds = static_cast<std::uint32_t>(std::max(1L, std::atol(value)));
        } else {
            return false;
        }
    }
    return true;
}

long long fileBytes(const std::string& path) {
    std::error_code failure;
    const auto size = fs::file_size(path, failure);
    return failure ? -1 : static_cast<long long>(size);
}

// Realistic traffic first, then copies of it (each with guids of its own)
// until the file reaches `bytes`: the sync's reads and the import's checks
// walk rows as they would in a phone's file of that size.
bool generateSms(const std::string& path, long long bytes) {
    SmsDatabaseFixture sms(path);
    if (!sms.createForVersion(kVersion)) return false;
    TrafficOptions traffic;
    traffic.fromDate = 1672531200;  // 2023-01-01
    traffic.toDate = traffic.fromDate + 365 * 86400;
    traffic.nonSmsShare = 0.3;
    TrafficGenerator generator(traffic);
    constexpr std::size_t kBase = 100000;
    if (!sms.storeMessages(generator.generate(kBase))) {
        std::fprintf(stderr, "cannot store messages: %s\n", sms.lastError().c_str());
        return false;
    }
    SqliteDatabase db;
    SqliteStatement columns;
    if (!db.open(path, SqliteDatabase::Mode::ReadWrite) || !columns.prepare(db, "PRAGMA table_info(message)"))
        return false;
    std::string names, values;
    while (columns.step() == SqliteStatement::Step::Row) {
        const std::string name = columns.columnString(1);
        if (name == "ROWID") continue;
        names += (names.empty() ? "" : ", ") + name;
        values += (values.empty() ? "" : ", ") + (name == "guid" ? "guid || '-' || ?1" : name);
    }
    SqliteStatement copy;
    if (!copy.prepare(db, "INSERT INTO message (" + names + ") SELECT " + values +
                              " FROM message WHERE ROWID <= " + std::to_string(kBase)))
        return false;
    for (int pass = 1; fileBytes(path) < bytes; ++pass) {
        copy.reset();
        copy.bindInt(1, pass);
        if (copy.step() != SqliteStatement::Step::Done) {
            std::fprintf(stderr, "cannot copy messages: %s\n", db.lastError().c_str());
            return false;
        }
    }
    return true;
}

bool buildBackup(const Options& options, const std::string& parent) {
    const std::string plain = parent + "/plain-sms.db";
    std::printf("  generating an encrypted backup with a %ld MB sms.db in %s ...\n", options.megabytes, parent.c_str());
    std::fflush(stdout);
    fs::remove_all(parent);
    fs::create_directories(parent);
    BackupFixture fixture(parent + "/" + kUdid, BackupFixture::Layout::Manifest);
    BackupFixture::Phone phone{.udid = kUdid, .productVersion = kVersion, .buildVersion = "21B80"};
    std::string error;
    if (!generateSms(plain, options.megabytes << 20) || !fixture.create(phone) ||
        !fixture.addFile(BackupFixture::kHomeDomain, BackupFixture::kSmsDatabasePath, plain)) {
        std::fprintf(stderr, "cannot build the backup: %s\n", fixture.lastError().c_str());
        return false;
    }
    fs::remove(plain);
    BackupEncryptor::Settings settings;
    settings.password = kPassword;
    settings.passwordRounds = options.rounds;
    settings.iterations = kIterations;
    if (!BackupEncryptor::encrypt(fixture.folder(), settings, &error)) {
        std::fprintf(stderr, "cannot encrypt the backup: %s\n", error.c_str());
        return false;
    }
    std::ofstream(parent + "/password") << kPassword << "\n";
    std::ofstream(parent + "/.generated");
    return true;
}

// Built in a child process, so this one stays small: the peak memory of
// each measured child starts from this process's size.
bool buildOnce(const Options& options, const std::string& parent) {
    if (fs::exists(parent + "/.generated")) return true;
    std::fflush(stdout);
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(buildBackup(options, parent) ? 0 : 1);
    int status = 0;
    return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

struct Measured {
    double seconds = 0;
    double cpuSeconds = 0;  // user and system time, of every thread
    long peakKilobytes = 0;
    bool ok = false;
};

Measured runMeasured(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    Measured measured;
    std::fflush(stdout);
    measured.seconds = BenchReport::secondsOf([&] {
        const pid_t pid = ::fork();
        if (pid == 0) {
            std::freopen("/dev/null", "w", stdout);
            ::execvp(args[0], args.data());
            ::_exit(127);
        }
        int status = 0;
        struct rusage usage {};
        if (pid < 0 || ::wait4(pid, &status, 0, &usage) != pid) return;
        measured.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        measured.peakKilobytes = usage.ru_maxrss;
        measured.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                              static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    });
    return measured;
}

struct Derivation {
    double seconds = 0;
    double cpuSeconds = 0;
};

// The derivation an import of this backup goes through, as libcrypto does it.
Derivation derive(std::uint32_t rounds) {
    const unsigned char salt[20] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20};
    unsigned char first[32], second[32];
    const std::clock_t cpuStart = std::clock();
    Derivation derivation;
    derivation.seconds = BenchReport::secondsOf([&] {
        PKCS5_PBKDF2_HMAC(kPassword, static_cast<int>(std::strlen(kPassword)), salt, sizeof salt,
                          static_cast<int>(rounds), EVP_sha256(), sizeof first, first);
        PKCS5_PBKDF2_HMAC(reinterpret_cast<const char*>(first), sizeof first, salt, sizeof salt,
                          static_cast<int>(kIterations), EVP_sha1(), sizeof second, second);
    });
    derivation.cpuSeconds = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    return derivation;
}

std::string ownFolder() { return fs::read_symlink("/proc/self/exe").parent_path().string(); }

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!parse(argc, argv, options)) {
        BenchReport::printUsage(argv[0], "[--data DIR] [--runs R] [--megabytes N] [--rounds N] [--program PATH]");
        return 2;
    }
    const std::string data = fs::absolute(options.data).string();
    const std::string parent =
        data + "/import-" + std::to_string(options.megabytes) + "mb-" + std::to_string(options.rounds);
    if (!buildOnce(options, parent)) return 1;
    const std::string folder = parent + "/" + kUdid;
    const std::string id = BackupFixture::fileId(BackupFixture::kHomeDomain, BackupFixture::kSmsDatabasePath);
    const std::string encryptedSms = folder + "/" + id.substr(0, 2) + "/" + id;
    const std::string root = parent + "/root";
    const std::string floorOut = parent + "/openssl-out";
    ::setenv("BRINDLEX_DEVICE_ROOT", root.c_str(), 1);
    const std::string phone = options.program.empty() ? ownFolder() + "/brindlex-phone" : options.program;

    std::printf("import of an encrypted backup, sms.db %lld bytes, %u rounds (median of %d runs)\n",
                fileBytes(encryptedSms), options.rounds, options.runs);
    // Each run's import against the floor measured right after it: on a
    // machine shared with other work the pairs see the same load. The
    // processor times show the same comparison without the waits for a core.
    std::vector<double> imports, floors, ratios, cpuRatios;
    long peak = 0;
    for (int run = 0; run < options.runs; ++run) {
        fs::remove_all(root);
        const Measured import = runMeasured({phone, "import-backup", folder, "--password-file", parent + "/password"});
        if (!import.ok) {
            std::fprintf(stderr, "the import failed\n");
            return 1;
        }
        peak = std::max(peak, import.peakKilobytes);
        fs::remove_all(root);
        // Any key decrypts without padding: the same work as with the file's own.
        const Measured floor =
            runMeasured({"openssl", "enc", "-d", "-aes-256-cbc", "-nopad", "-K", std::string(64, '7'), "-iv",
                         std::string(32, '0'), "-in", encryptedSms, "-out", floorOut});
        fs::remove(floorOut);
        if (!floor.ok) {
            std::fprintf(stderr, "openssl enc failed\n");
            return 1;
        }
        const Derivation derivation = derive(options.rounds);
        imports.push_back(import.seconds);
        floors.push_back(floor.seconds + derivation.seconds);
        ratios.push_back(import.seconds / floors.back());
        cpuRatios.push_back(import.cpuSeconds / (floor.cpuSeconds + derivation.cpuSeconds));
        std::printf(
            "  run %d: import %.3f s (processor %.3f s, %.1f MB peak); openssl %.3f s (%.3f s) + derivation "
            "%.3f s (%.3f s); ratio %.2f, of processor time %.2f\n",
            run + 1, import.seconds, import.cpuSeconds, import.peakKilobytes / 1024.0, floor.seconds, floor.cpuSeconds,
            derivation.seconds, derivation.cpuSeconds, ratios.back(), cpuRatios.back());
        std::fflush(stdout);
    }
    const double import = BenchReport::summaryOf(imports).median;
    const double floor = BenchReport::summaryOf(floors).median;
    const double ratio = BenchReport::summaryOf(ratios).median;
    std::printf(
        "  import-backup %.3f s, openssl + derivation %.3f s (medians); ratio of each run, median %.2f "
        "(target <= 1.5); of processor time %.2f\n",
        import, floor, ratio, BenchReport::summaryOf(cpuRatios).median);
    std::printf("  peak memory %.1f MB (target <= 64 MB)\n", peak / 1024.0);
    return ratio <= 1.5 && peak <= 64 * 1024 ? 0 : 1;
}
