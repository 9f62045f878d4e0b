#include "app/list/CsvExport.h"

#include "app/list/MessageDateFormatter.h"
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
    QString csv = QStringLiteral("Name,Number,Date,Type,Text");
    csv.reserve(qsizetype(records.size()) * 96 + 64);
    for (const Sms& record : records) {
        csv += QLatin1Char('\n');
        appendRecord(csv, record, formatter.stringFromDate(record.date()));
    }
    csv += QLatin1Char('\n');
    return csv;
}

void CsvExport::appendRecord(QString& csv, const Sms& record, const QString& date) {
    // The name as the count resolved it: for an unknown number that is the
    // number itself.
    const QString name = record.person() ? QString::fromStdString(record.person()->name()) : QString();
    csv += quotedWhenNeeded(neutralised(name));
    csv += QLatin1Char(',');
    csv += quotedWhenNeeded(neutralised(QString::fromStdString(record.number())));
    csv += QLatin1Char(',');
    csv += quotedWhenNeeded(neutralised(date));
    csv += record.flags() == Sms::kReceived ? QLatin1String(",INCOMING,") : QLatin1String(",OUTGOING,");
    csv += quoted(neutralised(QString::fromStdString(record.text())));
}

QString CsvExport::neutralised(const QString& field) {
    // Quotes do not stop a spreadsheet: it still evaluates "=HYPERLINK(...)"
    // read from a quoted field. A leading apostrophe makes the cell text.
    if (field.isEmpty()) return field;
    switch (field.front().unicode()) {
    case '=':
    case '+':
    case '-':
    case '@':
    case '\t':
    case '\r': return QLatin1Char('\'') + field;
    default: return field;
    }
}

QString CsvExport::quotedWhenNeeded(const QString& field) {
    for (const QChar c : field) {
        if (c == QLatin1Char(',') || c == QLatin1Char('"') || c == QLatin1Char('\r') || c == QLatin1Char('\n'))
            return quoted(field);
    }
    return field;
}

QString CsvExport::quoted(const QString& field) {
    QString escaped = field;
    escaped.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
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
