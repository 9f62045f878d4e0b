#pragma once

#include "common/MessageSource.h"
#include "common/SmsReader.h"
#include "platform/SqliteDatabase.h"

#include <memory>
#include <string>

// The phone's own sms.db as a message source. The system version picks the
// family of layouts; which member the file is, and so which reader reads it,
// its own tables say, read inside the read transaction so that a file
// replaced meanwhile is read as what it is now. The file is opened as
// untrusted (it comes from the phone or a backup).
class SmsDatabaseSource : public MessageSource {
public:
    SmsDatabaseSource(std::string path, std::string systemVersion)
        : path_(std::move(path)), systemVersion_(std::move(systemVersion)) {}

    std::string name() const override { return "sms.db"; }
    std::string location() const override { return path_; }
    SyncStatus open() override;
    SyncStatus beginRead() override;
    void endRead() override;

    bool start(const ReadFrom& from) override { return reader_ && reader_->start(from); }
    Next next(SmsRow& row) override { return reader_->next(row); }
    std::optional<std::int64_t> lastComplete() const override { return reader_->lastComplete(); }
    long long undatedRows() const override { return reader_ ? reader_->undatedRows() : 0; }
    std::string readError() const override { return sms_.lastError(); }

    std::optional<SourcePosition> positionAt(std::int64_t rowid) const override { return reader_->positionAt(rowid); }
    std::optional<SourcePosition> newestPosition() const override { return reader_->newestPosition(); }
    std::int64_t highestRowidEverUsed() const override { return reader_->highestRowidEverUsed(); }
    std::optional<std::int64_t> newestRowidBelow(std::int64_t rowid) const override {
        return reader_->newestRowidBelow(rowid);
    }

private:
    std::string path_;
    std::string systemVersion_;
    SqliteDatabase sms_;
    std::unique_ptr<SmsReader> reader_;
};
