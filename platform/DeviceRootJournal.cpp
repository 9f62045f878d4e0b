#include "platform/DeviceRootJournal.h"

#include "platform/DataLock.h"
#include "platform/DevicePaths.h"
#include "platform/ProgramLog.h"
#include "platform/FileWrites.h"
#include "platform/PrivateFiles.h"
#include "platform/TerminalText.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr const char* kHeader = "brindlex-import-journal 1";
constexpr const char* kEnd = "end";

bool fail(std::string* error, const std::string& message) {
    if (error) *error = message;
    return false;
}

bool exists(const std::string& path) {
    struct stat info {};
    return !path.empty() && ::lstat(path.c_str(), &info) == 0;
}

const char* phaseName(DeviceRootJournal::Phase phase) {
    switch (phase) {
    case DeviceRootJournal::Phase::Staging: return "staging";
    case DeviceRootJournal::Phase::Renaming: return "renaming";
    case DeviceRootJournal::Phase::Done: return "done";
    }
    return "";
}

// Fields are separated by tabs, records by newlines; a name holding either
// (or the escape itself) is written with a backslash escape.
std::string escape(const std::string& field) {
    std::string out;
    for (const char c : field) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out;
}

std::vector<std::string> splitFields(const std::string& line) {
    std::vector<std::string> fields(1);
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '\t') {
            fields.emplace_back();
        } else if (c == '\\' && i + 1 < line.size()) {
            const char next = line[++i];
            fields.back() += next == 't' ? '\t' : next == 'n' ? '\n' : next;
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

std::string parentOf(const std::string& path) { return fs::path(path).parent_path().string(); }

}  // namespace

DeviceRootJournal::DeviceRootJournal(std::string root) : root_(std::move(root)) {
    lockFd_ = ::open(root_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (lockFd_ < 0) return;
    while (::flock(lockFd_, LOCK_EX) != 0) {
        if (errno == EINTR) continue;
        ::close(lockFd_);
        lockFd_ = -1;
        return;
    }
}

DeviceRootJournal::~DeviceRootJournal() {
    // Closing the descriptor releases the lock.
    if (lockFd_ >= 0) ::close(lockFd_);
}

std::string DeviceRootJournal::stagingFolder() const { return root_ + "/" + kStagingFolderName; }

std::string DeviceRootJournal::journalFile() const { return stagingFolder() + "/" + kJournalName; }

bool DeviceRootJournal::open(std::string* error) {
    if (!locked()) return fail(error, root_ + ": cannot lock the device root: " + std::strerror(errno));
    if (exists(stagingFolder()) && recover(error) == Recovery::Failed) return false;
    if (PrivateFiles::makeDirectory(stagingFolder()) != 0)
        return fail(error, stagingFolder() + ": " + std::strerror(errno));
    return true;
}

std::string DeviceRootJournal::relative(const std::string& path) const {
    if (path.size() <= root_.size() + 1 || path.compare(0, root_.size(), root_) != 0 || path[root_.size()] != '/')
        return {};
    return path.substr(root_.size() + 1);
}

std::string DeviceRootJournal::absolute(const std::string& path) const {
    if (path.empty() || path.front() == '/') return {};
    for (const auto& part : fs::path(path))
        if (part == "..") return {};
    return root_ + "/" + path;
}

std::string DeviceRootJournal::serialize(Phase phase, const std::vector<Step>& steps) const {
    std::string text = std::string(kHeader) + "\nphase\t" + phaseName(phase) + "\n";
    for (const auto& step : steps) {
        const std::string existed = step.existed ? "1" : "0";
        switch (step.kind) {
        case Kind::Directory: text += "dir\t" + escape(relative(step.target)); break;
        case Kind::Replace:
            text += "replace\t" + escape(relative(step.target)) + "\t" + escape(relative(step.staged)) + "\t" +
                    escape(relative(step.saved)) + "\t" + existed;
            break;
        case Kind::Move:
            text += "move\t" + escape(relative(step.target)) + "\t" + escape(relative(step.saved)) + "\t" + existed;
            break;
        }
        text += "\n";
    }
    return text + kEnd + "\n";
}

bool DeviceRootJournal::parse(const std::string& text, Phase& phase, std::vector<Step>& steps) const {
    std::istringstream lines(text);
    std::string line;
    if (!std::getline(lines, line) || line != kHeader || !std::getline(lines, line)) return false;
    const auto head = splitFields(line);
    if (head.size() != 2 || head[0] != "phase") return false;
    if (head[1] == "staging") {
        phase = Phase::Staging;
    } else if (head[1] == "renaming") {
        phase = Phase::Renaming;
    } else if (head[1] == "done") {
        phase = Phase::Done;
    } else {
        return false;
    }
    while (std::getline(lines, line)) {
        if (line == kEnd) return true;
        const auto fields = splitFields(line);
        Step step;
        if (fields[0] == "dir" && fields.size() == 2) {
            step.kind = Kind::Directory;
        } else if (fields[0] == "replace" && fields.size() == 5) {
            step.kind = Kind::Replace;
            step.staged = absolute(fields[2]);
            step.saved = fields[3].empty() ? std::string() : absolute(fields[3]);
            step.existed = fields[4] == "1";
            if (step.staged.empty() || (step.saved.empty() && !fields[3].empty())) return false;
        } else if (fields[0] == "move" && fields.size() == 4) {
            // A removal staged before a folder was made has no second name
            // yet: the commit gives it one.
            step.kind = Kind::Move;
            step.saved = fields[2].empty() ? std::string() : absolute(fields[2]);
            step.existed = fields[3] == "1";
            if (step.saved.empty() && (!fields[2].empty() || phase != Phase::Staging)) return false;
        } else {
            return false;
        }
        step.target = absolute(fields[1]);
        if (step.target.empty()) return false;
        steps.push_back(std::move(step));
    }
    return false;  // no end line: not a journal this code wrote whole
}

bool DeviceRootJournal::record(Phase phase, const std::vector<Step>& steps, std::string* error) {
    // A path the journal could not name would make the whole undo refuse.
    for (const auto& step : steps)
        for (const std::string* path : {&step.target, &step.staged, &step.saved})
            if (!path->empty() && relative(*path).empty())
                return fail(error, *path + " lies outside the device root " + root_);
    const std::string text = serialize(phase, steps);
    const std::string next = journalFile() + ".new";
    const int fd = ::open(next.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return fail(error, next + ": " + std::strerror(errno));
    const bool written = FileWrites::writeAll(fd, text.data(), text.size()) && ::fsync(fd) == 0;
    const std::string why = std::strerror(errno);
    if (::close(fd) != 0 || !written) {
        ::unlink(next.c_str());
        return fail(error, next + ": " + why);
    }
    // The journal is replaced whole: a reader sees the old one or the new.
    if (::rename(next.c_str(), journalFile().c_str()) != 0) {
        const std::string reason = std::strerror(errno);
        ::unlink(next.c_str());
        return fail(error, journalFile() + ": " + reason);
    }
    FileWrites::syncDirectory(stagingFolder());
    return true;
}

void DeviceRootJournal::rollBack(Phase phase, const std::vector<Step>& steps) {
    std::vector<std::string> folders;
    // Renames happen only in the renaming phase; before it every new file
    // still lies in the staging folder and goes with it.
    if (phase == Phase::Renaming) {
        for (auto it = steps.rbegin(); it != steps.rend(); ++it) {
            const Step& step = *it;
            if (step.kind == Kind::Replace) {
                // New contents still staged: this rename never happened.
                if (exists(step.staged)) continue;
                if (!step.existed) {
                    ::unlink(step.target.c_str());
                } else if (exists(step.saved)) {
                    ::rename(step.saved.c_str(), step.target.c_str());
                }
            } else if (step.kind == Kind::Move) {
                if (step.existed && !exists(step.target) && exists(step.saved))
                    ::rename(step.saved.c_str(), step.target.c_str());
            }
            if (step.kind != Kind::Directory) folders.push_back(parentOf(step.target));
        }
    }
    // Innermost first; a folder something else has filled meanwhile stays.
    for (auto it = steps.rbegin(); it != steps.rend(); ++it)
        if (it->kind == Kind::Directory) ::rmdir(it->target.c_str());
    FileWrites::syncDirectories(std::move(folders));
}

void DeviceRootJournal::discard() {
    ::unlink(journalFile().c_str());
    FileWrites::syncDirectory(stagingFolder());
    std::error_code ignored;
    fs::remove_all(stagingFolder(), ignored);
    FileWrites::syncDirectory(root_);
}

DeviceRootJournal::Recovery DeviceRootJournal::recover(std::string* error) {
    if (!exists(stagingFolder())) return Recovery::Nothing;
    Phase phase = Phase::Staging;
    std::vector<Step> steps;
    if (exists(journalFile())) {
        std::ifstream in(journalFile(), std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (!parse(text, phase, steps)) {
            fail(error, journalFile() +
                            " cannot be read, so an interrupted import can be neither finished nor rolled back; "
                            "move the folder " +
                            stagingFolder() + " away and import the backup again");
            return Recovery::Failed;
        }
    }
    if (phase == Phase::Done) {
        discard();
        return Recovery::Finished;
    }
    rollBack(phase, steps);
    discard();
    return Recovery::RolledBack;
}

DeviceRootJournal::Recovery DeviceRootJournal::recoverAtStart() {
    std::error_code failure;
    const fs::path root = fs::canonical(DevicePaths::root(), failure);
    // Without a staging folder there is nothing to recover, and no lock to
    // wait for: an import that starts now is as any writer a reader meets.
    if (failure || !exists((root / kStagingFolderName).string())) return Recovery::Nothing;
    // A program that was running all along syncs under the data lock; held
    // here, it keeps such a sync from reading sms.db while its -wal is put
    // back. Taken before the root's lock, in the order an import takes them
    // (without a data directory there is no sync to hold off).
    const DataLock dataLock;
    DeviceRootJournal journal(root.string());
    std::string error;
    Recovery recovery = Recovery::Failed;
    if (journal.locked()) {
        recovery = journal.recover(&error);
    } else {
        error = root.string() + ": cannot lock the device root: " + std::strerror(errno);
    }
    switch (recovery) {
    case Recovery::Nothing: break;
    case Recovery::RolledBack:
        ProgramLog::print("an interrupted import was rolled back; %s holds what it held before it\n",
                          TerminalText::safe(root.string()).c_str());
        break;
    case Recovery::Finished:
        ProgramLog::print("an interrupted import was finished; %s holds the imported backup\n",
                          TerminalText::safe(root.string()).c_str());
        break;
    case Recovery::Failed: ProgramLog::print("%s\n", TerminalText::safe(error).c_str()); break;
    }
    return recovery;
}
