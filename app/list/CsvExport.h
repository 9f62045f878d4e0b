#pragma once

#include <QByteArray>
#include <QLocale>
#include <QString>

#include <vector>

class Sms;

// The message list as CSV: a header line, then one line per record in the
// order given, each ended by a line feed:
//
//   Name,Number,Date,Type,Text
//   Anna Becker,+14155550101,05 Mar 2013 09:15:00 PM,INCOMING,"See you"
//
// The text is always quoted, its quotes doubled. Name, number and date are
// quoted the same way only when they hold a comma, a quote or a line break,
// so ordinary lines keep the shape that readers of earlier files expect
// while a contact such as "Becker, Anna" stays in its own column.
//
// Bodies, names and addresses are written by strangers. Any field that a
// spreadsheet would take for a formula (its first character =, +, -, @, tab
// or carriage return) gets a leading apostrophe, so the program shows it as
// text instead of computing it: "=1+1" is written as "'=1+1", a number
// "+14155550101" as '+14155550101.
class CsvExport {
public:
    // `field` with a leading apostrophe when a spreadsheet would evaluate it.
    static QString neutralised(const QString& field);
    static QString text(const std::vector<Sms>& records, const QLocale& locale = QLocale());
    static QString quotedWhenNeeded(const QString& field);
    static QString quoted(const QString& field);

    // <device root>/private/var/mobile/Documents/data.csv
    static QString documentsFilePath();
    // Writes the bytes as a whole or not at all (a temporary file beside it
    // replaces the old one), creating the folder when it is missing.
    static bool writeAtomically(const QString& path, const QByteArray& bytes);
    // A fresh private folder under the system's temporary folder holding
    // data.csv, for when the Documents folder cannot be written; the path
    // of the file, or empty when that failed too. The folder is left in
    // place: the mail program may read the file long after the hand-over.
    static QString writeTemporaryCopy(const QByteArray& bytes);

private:
    static void appendRecord(QString& csv, const Sms& record, const QString& date);
};
