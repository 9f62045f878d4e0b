#pragma once

#include "common/MessageSource.h"

#include <optional>
#include <string>
#include <vector>

// A kind of phone that is no phone: its messages are a plain text file in
// the device root, one a line, "sent" or "received", the address, the date
// in Unix seconds and the text, separated by tabs. Its number of a message
// is its line number. It lives in the test tree on purpose: everything a new
// kind of phone needs is this folder and one MessageSources::add().
class StandInSource : public MessageSource {
public:
    static constexpr const char* kKind = "stand-in text file";

    // <root>/private/var/mobile/Library/StandIn/messages.txt
    static std::string file();
    // Adds the kind: it fits a device root that holds the file.
    static void registerKind();

    explicit StandInSource(std::string path) : path_(std::move(path)) {}

    std::string name() const override { return "messages.txt"; }
    std::string location() const override { return path_; }
    // Reads the whole file: the read then sees it as it was at one moment.
    SyncStatus open() override;
    SyncStatus beginRead() override { return SyncStatus::Ok; }
    void endRead() override {}

    bool start(const ReadFrom& from) override;
    Next next(SmsRow& row) override;
    std::optional<std::int64_t> lastComplete() const override { return complete_; }
    // Every line carries its date, or is passed over as no message.
    long long undatedRows() const override { return 0; }
    std::string readError() const override { return "no error"; }

    std::optional<SourcePosition> positionAt(std::int64_t rowid) const override;
    std::optional<SourcePosition> newestPosition() const override;
    std::int64_t highestRowidEverUsed() const override { return static_cast<std::int64_t>(lines_.size()); }
    std::optional<std::int64_t> newestRowidBelow(std::int64_t rowid) const override;

private:
    struct Message {
        Direction direction;
        std::string address;
        std::int64_t date;
        std::string text;
    };
    static std::optional<Message> parse(const std::string& line);
    bool wanted(const Message& message) const;

    std::string path_;
    std::vector<std::string> lines_;
    ReadFrom from_;
    std::size_t nextLine_ = 0;
    std::optional<std::int64_t> pending_, complete_;
    Message current_{};
};
