#include "app/list/CsvExport.h"

#include "app/list/MessageDateFormatter.h"
#include "common/CsvWriter.h"
#include "common/Sms.h"
#include "platform/DevicePaths.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryDir>

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

bool CsvExport::writeAtomically(const QString& path, const QByteArray& bytes) {
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

QString CsvExport::writeTemporaryCopy(const QByteArray& bytes) {
    QTemporaryDir folder(QDir(QDir::tempPath()).filePath(QStringLiteral("brindlex-export-XXXXXX")));
    if (!folder.isValid()) return QString();
    const QString path = folder.filePath(kFileName);
    if (!writeAtomically(path, bytes)) return QString();  // the empty folder goes with `folder`
    folder.setAutoRemove(false);
    return path;
}
