#pragma once

#include <QByteArray>
#include <QLocale>
#include <QString>

#include <vector>

class CsvWriter;
class Sms;

// The message list as CSV: a header line, then one line per record in the
// order given, each ended by a line feed:
//
//   Name,Number,Date,Type,Text
//   Anna Becker,+14155550101,05 Mar 2013 09:15:00 PM,INCOMING,"See you"
//
// The text is always quoted; name, number and date only when they must be.
// Every field is guarded against formulas (a leading apostrophe); the rules
// are CsvWriter's, which the command-line report follows as well.
class CsvExport {
public:
    static QString text(const std::vector<Sms>& records, const QLocale& locale = QLocale());

    // <device root>/private/var/mobile/Documents/data.csv
    static QString documentsFilePath();
    // Writes the bytes as a whole or not at all (a temporary file beside it
    // replaces the old one), creating the folder when it is missing. The
    // file is the user's alone (0600); a link or anything but a file at
    // `path`, or a folder others may write in, is refused, never written
    // through.
    static bool writeAtomically(const QString& path, const QByteArray& bytes);
    // A fresh private folder under the system's temporary folder holding
    // data.csv, for when the Documents folder cannot be written; the path
    // of the file, or empty when that failed too. The folder is left in
    // place: the mail program may read the file after the hand-over; the
    // caller removes it with removeTemporaryCopy().
    static QString writeTemporaryCopy(const QByteArray& bytes);

    // Removes the folder writeTemporaryCopy() made for `path`; anything else
    // is left alone.
    static void removeTemporaryCopy(const QString& path);

private:
    static void appendRecord(CsvWriter& csv, const Sms& record, const QString& date);
};
