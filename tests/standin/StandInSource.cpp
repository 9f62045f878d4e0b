#include "StandInSource.h"

#include "common/MessageSources.h"
#include "common/PhoneProfile.h"
#include "platform/DevicePaths.h"
#include "platform/ProgramLog.h"

#include <charconv>
#include <filesystem>
#include <fstream>
#include <memory>

std::string StandInSource::file() { return DevicePaths::resolve("/private/var/mobile/Library/StandIn/messages.txt"); }

void StandInSource::registerKind() {
    MessageSources::add(MessageSourceKind{
        kKind, [](const PhoneProfile&) { return std::filesystem::exists(file()); },
        [](const PhoneProfile&) -> std::unique_ptr<MessageSource> { return std::make_unique<StandInSource>(file()); }});
}

SyncStatus StandInSource::open() {
    std::ifstream in(path_);
    if (!in) {
        ProgramLog::failure("syncing: opening " + path_, "cannot read the file");
        return SyncStatus::CannotOpenSmsDatabase;
    }
    lines_.clear();
    for (std::string line; std::getline(in, line);) lines_.push_back(line);
    return SyncStatus::Ok;
}

// "sent|received \t address \t date \t text"; nothing for any other line.
std::optional<StandInSource::Message> StandInSource::parse(const std::string& line) {
    const std::size_t first = line.find('\t');
    const std::size_t second = first == std::string::npos ? first : line.find('\t', first + 1);
    const std::size_t third = second == std::string::npos ? second : line.find('\t', second + 1);
    if (third == std::string::npos) return std::nullopt;
    const std::string kind = line.substr(0, first);
    if (kind != "sent" && kind != "received") return std::nullopt;
    Message message{kind == "sent" ? Direction::Sent : Direction::Received, line.substr(first + 1, second - first - 1),
                    0, line.substr(third + 1)};
    const auto [end, error] = std::from_chars(line.data() + second + 1, line.data() + third, message.date);
    if (error != std::errc() || end != line.data() + third || message.address.empty()) return std::nullopt;
    return message;
}

bool StandInSource::start(const ReadFrom& from) {
    from_ = from;
    nextLine_ = 0;
    pending_.reset();
    complete_.reset();
    return true;
}

bool StandInSource::wanted(const Message& message) const {
    if (!from_.receivedFrom || !from_.sentFrom) return true;
    return message.date >= (message.direction == Direction::Sent ? *from_.sentFrom : *from_.receivedFrom);
}

// A message is complete once the next one is read, as with sms.db, where
// one message may have several rows.
MessageSource::Next StandInSource::next(SmsRow& row) {
    while (nextLine_ < lines_.size()) {
        const auto rowid = static_cast<std::int64_t>(++nextLine_);
        if (rowid <= from_.afterRowid) continue;
        if (pending_) complete_ = pending_;
        pending_ = rowid;
        std::optional<Message> message = parse(lines_[nextLine_ - 1]);
        if (!message || !wanted(*message)) continue;
        current_ = std::move(*message);
        row = SmsRow{};
        row.rowid = rowid;
        row.address = current_.address.c_str();
        row.addressBytes = static_cast<int>(current_.address.size());
        row.date = current_.date;
        row.text = current_.text.c_str();
        row.textBytes = static_cast<int>(current_.text.size());
        row.flags = current_.direction;
        row.type = "SMS";
        row.typeBytes = 3;
        return Next::Row;
    }
    if (pending_) complete_ = pending_;
    pending_.reset();
    return Next::Done;
}

// A line names its message by its whole text: another file with another
// line there is another phone.
std::optional<SourcePosition> StandInSource::positionAt(std::int64_t rowid) const {
    if (rowid < 1 || rowid > highestRowidEverUsed()) return std::nullopt;
    SourcePosition position;
    position.rowid = rowid;
    position.text = lines_[static_cast<std::size_t>(rowid - 1)];
    return position;
}

std::optional<SourcePosition> StandInSource::newestPosition() const { return positionAt(highestRowidEverUsed()); }

std::optional<std::int64_t> StandInSource::newestRowidBelow(std::int64_t rowid) const {
    const std::int64_t below = std::min(rowid - 1, highestRowidEverUsed());
    return below >= 1 ? std::optional(below) : std::nullopt;
}
