#include "app/list/CsvExport.h"

#include "app/list/MessageDateFormatter.h"
#include "common/CsvWriter.h"
#include "common/Sms.h"
#include "platform/DevicePaths.h"
#include "platform/FileWrites.h"
#include "platform/PrivateFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kFileName = QStringLiteral("data.csv");

}  // namespace

QString CsvExport::text(const std::vector<Sms>& records, const QLocale& locale) {
    const MessageDateFormatter formatter(locale);
    CsvWriter csv;
    for (const char* name : {"Name", "Number", "Date", "Type", "Text"}) csv.text(name);
    csv.endRecord();
    for (const Sms& record : records) appendRecord(csv, record, formatter.stringFromDate(record.date()));
    return QString::fromStdString(csv.csv());
}

namespace {

// Text as Qt holds it: a byte sequence that is no UTF-8 becomes U+FFFD here,
// field by field, as the export has always written it.
std::string asQtHoldsIt(const std::string& text) { return QString::fromStdString(text).toStdString(); }

}  // namespace

void CsvExport::appendRecord(CsvWriter& csv, const Sms& record, const QString& date) {
    // The name as the count resolved it: for an unknown number that is the
    // number itself.
    csv.text(record.person() ? asQtHoldsIt(record.person()->name()) : std::string());
    csv.text(asQtHoldsIt(record.number()));
    csv.text(date.toStdString());
    csv.text(record.flags() == Sms::kReceived ? "INCOMING" : "OUTGOING");
    csv.text(asQtHoldsIt(record.text()), CsvWriter::Quoting::Always);
    csv.endRecord();
}

QString CsvExport::documentsFilePath() {
    return QDir(QString::fromStdString(DevicePaths::mobileHome())).filePath(QStringLiteral("Documents/") + kFileName);
}

namespace {

// Writes the bytes into a new private file beside `target` and renames it
// over the target. rename() replaces whatever name is there without
// following it; a link found there beforehand is refused all the same, as
// someone other than the app put it there.
bool replaceFile(const std::string& target, const QByteArray& bytes) {
    struct stat found {};
    if (::lstat(target.c_str(), &found) == 0 && !S_ISREG(found.st_mode)) return false;
    std::string temporary;
    const int fd = PrivateFiles::createUniqueFile(target + ".", &temporary);
    if (fd < 0) return false;
    bool ok = FileWrites::writeAll(fd, bytes.constData(), static_cast<std::size_t>(bytes.size())) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (ok) ok = ::rename(temporary.c_str(), target.c_str()) == 0;
    if (!ok) ::unlink(temporary.c_str());
    return ok;
}

}  // namespace

bool CsvExport::writeAtomically(const QString& path, const QByteArray& bytes) {
    const std::string target = QFile::encodeName(QFileInfo(path).absoluteFilePath()).toStdString();
    const std::string folder = QFile::encodeName(QFileInfo(path).absolutePath()).toStdString();
    if (!PrivateFiles::makeDirectories(folder)) return false;
    // The messages go only into a folder that is the user's alone.
    if (!PrivateFiles::whyNotPrivate(folder, false).empty()) return false;
    if (!replaceFile(target, bytes)) return false;
    FileWrites::syncDirectory(folder);
    return true;
}

QString CsvExport::writeTemporaryCopy(const QByteArray& bytes) {
    QTemporaryDir folder(QDir(QDir::tempPath()).filePath(QStringLiteral("brindlex-export-XXXXXX")));
    if (!folder.isValid()) return QString();
    const QString path = folder.filePath(kFileName);
    if (!writeAtomically(path, bytes)) return QString();  // the empty folder goes with `folder`
    folder.setAutoRemove(false);
    return path;
}

void CsvExport::removeTemporaryCopy(const QString& path) {
    const QFileInfo file(path);
    const QDir folder = file.absoluteDir();
    const QString expected = QDir(QDir::tempPath()).filePath(QStringLiteral("brindlex-export-"));
    if (file.fileName() != kFileName || !folder.absolutePath().startsWith(expected)) return;
    QDir(folder).removeRecursively();
}
