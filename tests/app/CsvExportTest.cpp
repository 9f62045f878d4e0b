#include "app/list/CsvExport.h"
#include "app/list/MailComposer.h"
#include "app/list/MessageStore.h"
#include "app/list/RecordViewController.h"
#include "common/Sms.h"
#include "platform/DevicePaths.h"
#include "platform/ui/AlertView.h"
#include "support/OtherUser.h"
#include "support/ScopedEnvironment.h"
#include "support/TempDeviceRoot.h"
#include "support/UiWait.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iostream>

namespace fs = std::filesystem;

namespace {

constexpr std::time_t kMarchEvening = 1362518100;    // 2013-03-05 21:15:00 UTC
constexpr std::time_t kJanuaryMorning = 1357718703;  // 2013-01-09 08:05:03 UTC

std::shared_ptr<const Person> person(const std::string& name, int recordID) {
    auto result = std::make_shared<Person>();
    result->setName(name);
    result->setRecordID(recordID);
    return result;
}

Sms record(const std::string& name, const std::string& number, std::time_t date, const std::string& text,
           Direction flags) {
    return Sms(person(name, 7), number, date, text, flags, 1);
}

// A reader of RFC 4180 CSV, as a spreadsheet reads the file: quoted fields
// may hold commas, doubled quotes and line breaks.
std::vector<std::vector<QString>> parseCsv(const QString& text) {
    std::vector<std::vector<QString>> rows;
    std::vector<QString> row;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            row.push_back(field);
            field.clear();
        } else if (c == '\n') {
            row.push_back(field);
            rows.push_back(row);
            row.clear();
            field.clear();
        } else {
            field += c;
        }
    }
    EXPECT_FALSE(quoted) << "unterminated quote";
    EXPECT_TRUE(row.empty() && field.isEmpty()) << "text does not end with a line feed";
    return rows;
}

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class CsvExportTest : public ::testing::Test {
protected:
    CsvExportTest() { QLocale::setDefault(english_); }
    ~CsvExportTest() override { QLocale::setDefault(previousLocale_); }

    const QLocale previousLocale_;
    const QLocale english_{QLocale::English, QLocale::UnitedStates};
    ScopedEnvironment tz_{"TZ", std::string("UTC")};
    TempDeviceRoot root_;
};

}  // namespace

TEST_F(CsvExportTest, NoRecordsGiveTheHeaderAndOneLineFeed) {
    EXPECT_EQ(CsvExport::text({}, english_), "Name,Number,Date,Type,Text\n");
}

TEST_F(CsvExportTest, TextIsAlwaysQuotedOtherFieldsOnlyWhenTheyMustBe) {
    const std::vector<Sms> records{
        record("Becker, Anna", "+1 415 555 0101", kMarchEvening, "He said \"hi\", then left", Sms::kReceived),
        record("Dr. \"Doc\" Okafor", "07700,900123", kMarchEvening, "line one\nline two\r\nline three", Sms::kSent),
        record("Line\nBreak", "555\r1", kJanuaryMorning, "", static_cast<Direction>(7)),
        record("Anna Becker", "4155550101", kJanuaryMorning, "plain", Sms::kReceived),
    };
    EXPECT_EQ(CsvExport::text(records, english_),
              "Name,Number,Date,Type,Text\n"
              "\"Becker, Anna\",'+1 415 555 0101,05 Mar 2013 09:15:00 PM,INCOMING,\"He said \"\"hi\"\", then left\"\n"
              "\"Dr. \"\"Doc\"\" Okafor\",\"07700,900123\",05 Mar 2013 09:15:00 PM,OUTGOING,"
              "\"line one\nline two\r\nline three\"\n"
              "\"Line\nBreak\",\"555\r1\",09 Jan 2013 08:05:03 AM,OUTGOING,\"\"\n"
              "Anna Becker,4155550101,09 Jan 2013 08:05:03 AM,INCOMING,\"plain\"\n");
}

TEST_F(CsvExportTest, ParsesBackIntoTheRightColumns) {
    const std::vector<Sms> records{
        record("Becker, Anna", "+1,415", kMarchEvening, "a, \"b\"\nc", Sms::kReceived),
        record("\"Quoted\"", "\r\n", kJanuaryMorning, ",", Sms::kSent),
        record("Zoë Ångström", "07700900123", kJanuaryMorning, "Grüße 😀", Sms::kSent),
    };
    const auto rows = parseCsv(CsvExport::text(records, english_));
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0], (std::vector<QString>{"Name", "Number", "Date", "Type", "Text"}));
    EXPECT_EQ(rows[1],
              (std::vector<QString>{"Becker, Anna", "'+1,415", "05 Mar 2013 09:15:00 PM", "INCOMING", "a, \"b\"\nc"}));
    EXPECT_EQ(rows[2], (std::vector<QString>{"\"Quoted\"", "'\r\n", "09 Jan 2013 08:05:03 AM", "OUTGOING", ","}));
    EXPECT_EQ(rows[3],
              (std::vector<QString>{"Zoë Ångström", "07700900123", "09 Jan 2013 08:05:03 AM", "OUTGOING", "Grüße 😀"}));
}

TEST_F(CsvExportTest, NamesAreTheResolvedNamesAndTheBytesAreUtf8WithoutMark) {
    const std::vector<Sms> records{
        // An unknown number: the count names it by the number itself.
        Sms(person("3125550199", 0), "3125550199", kMarchEvening, "x", Sms::kReceived, 4),
        Sms(person("Zoë Ångström", 12), "0049301234", kMarchEvening, "Grüße 😀", Sms::kSent, 5),
        Sms(nullptr, "5550000", kMarchEvening, "no person", Sms::kSent, 6),
    };
    const QByteArray bytes = CsvExport::text(records, english_).toUtf8();
    EXPECT_TRUE(bytes.startsWith("Name,"));
    EXPECT_EQ(bytes.toStdString(),
              std::string("Name,Number,Date,Type,Text\n"
                          "3125550199,3125550199,05 Mar 2013 09:15:00 PM,INCOMING,\"x\"\n"
                          "Zo\xC3\xAB \xC3\x85ngstr\xC3\xB6m,0049301234,05 Mar 2013 09:15:00 PM,OUTGOING,"
                          "\"Gr\xC3\xBC\xC3\x9F"
                          "e \xF0\x9F\x98\x80\"\n"
                          ",5550000,05 Mar 2013 09:15:00 PM,OUTGOING,\"no person\"\n"));
}

TEST_F(CsvExportTest, DatesFollowTheLocaleAndTheTimeZone) {
    const std::vector<Sms> records{record("A", "1", kMarchEvening, "t", Direction::Received),
                                   record("B", "2", kJanuaryMorning, "t", Direction::Sent)};
    EXPECT_EQ(CsvExport::text(records, english_),
              "Name,Number,Date,Type,Text\n"
              "A,1,05 Mar 2013 09:15:00 PM,INCOMING,\"t\"\n"
              "B,2,09 Jan 2013 08:05:03 AM,OUTGOING,\"t\"\n");
    EXPECT_EQ(CsvExport::text(records, QLocale(QLocale::German, QLocale::Germany)),
              "Name,Number,Date,Type,Text\n"
              "A,1,05 März 2013 09:15:00 PM,INCOMING,\"t\"\n"
              "B,2,09 Jan. 2013 08:05:03 AM,OUTGOING,\"t\"\n");
    ScopedEnvironment newYork("TZ", std::string("America/New_York"));
    EXPECT_EQ(CsvExport::text({records[0]}, english_),
              "Name,Number,Date,Type,Text\nA,1,05 Mar 2013 04:15:00 PM,INCOMING,\"t\"\n");
}

TEST_F(CsvExportTest, WritesAtomicallyCreatingDocumentsAndReplacingTheLastExport) {
    const QString path = CsvExport::documentsFilePath();
    EXPECT_EQ(path.toStdString(), DevicePaths::mobileHome() + "/Documents/data.csv");
    ASSERT_FALSE(fs::exists(DevicePaths::mobileHome() + "/Documents"));
    ASSERT_TRUE(CsvExport::writeAtomically(path, "first,export\n"));
    ASSERT_TRUE(CsvExport::writeAtomically(path, "second\n"));
    EXPECT_EQ(fileBytes(path), "second\n");
    // No temporary file is left beside it.
    EXPECT_EQ(QDir(QFileInfo(path).absolutePath()).entryList(QDir::Files), QStringList{"data.csv"});
}

TEST_F(CsvExportTest, UnwritableDocumentsFailWithoutTouchingAnythingAndACopyGoesElsewhere) {
    // A file where the folder should be: no user can write into it.
    fs::create_directories(DevicePaths::mobileHome());
    std::ofstream(DevicePaths::mobileHome() + "/Documents") << "not a folder";
    EXPECT_FALSE(CsvExport::writeAtomically(CsvExport::documentsFilePath(), "x\n"));

    const QString copy = CsvExport::writeTemporaryCopy("Name,Number,Date,Type,Text\n");
    ASSERT_FALSE(copy.isEmpty());
    EXPECT_TRUE(copy.endsWith("/data.csv"));
    EXPECT_EQ(fileBytes(copy), "Name,Number,Date,Type,Text\n");
    fs::remove_all(QFileInfo(copy).absolutePath().toStdString());
}

TEST_F(CsvExportTest, FiftyThousandRecordsExportQuickly) {
    std::vector<Sms> records;
    auto anna = person("Anna Becker", 3);
    for (int i = 0; i < 50000; ++i)
        records.emplace_back(anna, "+14155550101", kMarchEvening + i * 60,
                             "A message of an ordinary length, with a comma and a \"quote\" " + std::to_string(i),
                             i % 2 ? Sms::kSent : Sms::kReceived, i + 1);
    QElapsedTimer timer;
    timer.start();
    const QByteArray csv = CsvExport::text(records, english_).toUtf8();
    ASSERT_TRUE(CsvExport::writeAtomically(CsvExport::documentsFilePath(), csv));
    const qint64 exportMs = timer.elapsed();
    EXPECT_EQ(csv.count('\n'), 50001);
    // Reported, not asserted: sanitizer builds on a busy machine vary too much.
    std::cout << "[ timing   ] writing the CSV of 50,000 records: " << exportMs << " ms\n";
}

// --- The mail hand-over -------------------------------------------------------

namespace {

// A stand-in xdg-email first on the PATH: it keeps its arguments and a copy
// of the attachment, and exits with the status it was made with.
class StandInMailer {
public:
    explicit StandInMailer(std::optional<int> exitStatus) {
        const QString script = dir_.filePath("xdg-email");
        if (exitStatus) {
            QFile file(script);
            EXPECT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(QStringLiteral("#!/bin/sh\n"
                                      "for a in \"$@\"; do printf '%s\\0' \"$a\"; done > '%1/args'\n"
                                      "while [ $# -gt 0 ]; do\n"
                                      "  if [ \"$1\" = --attach ]; then cp \"$2\" '%1/attached'; fi\n"
                                      "  shift\n"
                                      "done\n"
                                      "exit %2\n")
                           .arg(dir_.path())
                           .arg(*exitStatus)
                           .toUtf8());
            file.close();
            file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        // Without a status there is no program: only this empty folder is
        // searched.
        const std::string path =
            exitStatus ? dir_.path().toStdString() + ":" + std::getenv("PATH") : dir_.path().toStdString();
        path_.emplace("PATH", path);
    }

    QStringList arguments() const {
        QStringList arguments = QString::fromUtf8(fileBytes(dir_.filePath("args"))).split(QChar(0));
        arguments.removeLast();  // after the last separator
        return arguments;
    }
    QByteArray attached() const { return fileBytes(dir_.filePath("attached")); }

private:
    QTemporaryDir dir_;
    std::optional<ScopedEnvironment> path_;
};

class MailExportTest : public CsvExportTest {
protected:
    MailExportTest() {
        AlertView::resetShownForTesting();
        records_.push_back(
            record("Becker, Anna", "4155550101", kMarchEvening, "See you at \"eight\"", Direction::Received));
        records_.push_back(record("Okafor", "07700900123", kJanuaryMorning, "On my way", Direction::Sent));
        list_->setData(records_);  // the list keeps a copy of its own
    }

    void exportAndWait() {
        list_->exportData();
        EXPECT_TRUE(QTest::qWaitFor([] { return AlertView::shownCountForTesting() > 0; }, 10000));
    }
    QString expectedCsv() const { return CsvExport::text(records_, english_); }

    std::vector<Sms> records_;
    QWidget owner_;
    RecordViewController* list_ =
        RecordViewController::initWithArrayData(records_, MessageStore::counterDatabase(), &owner_);
};

}  // namespace

TEST_F(MailExportTest, HandsTheMailOverAndTellsWhereTheFileIs) {
    StandInMailer mailer(0);
    ASSERT_TRUE(MailComposer::canSendMail());
    exportAndWait();
    const QString documents = CsvExport::documentsFilePath();
    EXPECT_EQ(mailer.arguments(),
              (QStringList{"--utf8", "--subject", "Ledgerwick Exported CSV", "--body", "", "--attach", documents}));
    EXPECT_EQ(mailer.attached(), expectedCsv().toUtf8());
    EXPECT_EQ(fileBytes(documents), expectedCsv().toUtf8());
    EXPECT_EQ(AlertView::shownCountForTesting(), 1);
    EXPECT_EQ(AlertView::lastShownTitle(), "Export");
    EXPECT_EQ(AlertView::lastShownMessage(),
              "If the attachment is missing, you will find the file at " + documents + ".");
}

TEST_F(MailExportTest, AFailedSendShowsTheAlertAndKeepsTheFile) {
    StandInMailer mailer(4);
    exportAndWait();
    EXPECT_EQ(AlertView::lastShownTitle(), "Export");
    EXPECT_EQ(AlertView::lastShownMessage(), "Your email has failed to send");
    EXPECT_EQ(fileBytes(CsvExport::documentsFilePath()), expectedCsv().toUtf8());
}

TEST_F(MailExportTest, WithoutXdgEmailOnlyTheFileIsWritten) {
    StandInMailer none(std::nullopt);
    ASSERT_FALSE(MailComposer::canSendMail());
    list_->exportData();
    records_.pop_back();
    list_->setData(records_);
    list_->exportData();      // a second export replaces the first
    uiwait::runQueuedWork();  // anything the exports left for later, such as an alert
    EXPECT_EQ(AlertView::shownCountForTesting(), 0);
    EXPECT_EQ(list_->mailComposer(), nullptr);
    EXPECT_EQ(fileBytes(CsvExport::documentsFilePath()), expectedCsv().toUtf8());
}

TEST_F(MailExportTest, UnwritableDocumentsStillMailTheCsvAndTheUserIsTold) {
    fs::create_directories(DevicePaths::mobileHome());
    std::ofstream(DevicePaths::mobileHome() + "/Documents") << "not a folder";
    const QString documents = CsvExport::documentsFilePath();
    {
        StandInMailer mailer(0);
        exportAndWait();
        const QStringList arguments = mailer.arguments();
        ASSERT_EQ(arguments.size(), 7);
        const QString copy = arguments[6];
        EXPECT_NE(copy, documents);
        EXPECT_TRUE(copy.endsWith("/data.csv"));
        EXPECT_EQ(mailer.attached(), expectedCsv().toUtf8());  // the text from memory
        EXPECT_EQ(AlertView::lastShownMessage(), "The file could not be saved to " + documents +
                                                     ".\n\nIf the attachment is missing, you will find the file at " +
                                                     copy + ".");
        fs::remove_all(QFileInfo(copy).absolutePath().toStdString());
    }
    AlertView::resetShownForTesting();
    StandInMailer none(std::nullopt);
    list_->exportData();
    EXPECT_EQ(AlertView::shownCountForTesting(), 1);
    EXPECT_EQ(AlertView::lastShownMessage(), "The file could not be saved to " + documents + ".");
}

TEST_F(MailExportTest, ComposerHandsOverRecipientsAndFailsWhenTheProgramIsGone) {
    struct Outcome : MailComposerDelegate {
        std::optional<MailComposeResult> result;
        void mailComposeControllerDidFinish(MailComposer&, MailComposeResult r) override { result = r; }
    } outcome;
    MailComposer composer;
    composer.setMailComposeDelegate(&outcome);
    composer.setSubject("S");
    composer.setToRecipients({"anna@example.org"});
    EXPECT_EQ(composer.arguments(), (QStringList{"--utf8", "--subject", "S", "--body", "", "anna@example.org"}));
    StandInMailer none(std::nullopt);
    composer.present();  // no program any more since the button was tapped
    EXPECT_EQ(outcome.result, MailComposeResult::Failed);
}

// A link planted in Documents (someone else's doing in a root once open to
// others) is refused, not written through: the file it points to keeps its
// content. The export itself is the user's alone.
TEST_F(CsvExportTest, TheExportIsPrivateAndNeverWrittenThroughALink) {
    const QString path = CsvExport::documentsFilePath();
    ASSERT_TRUE(CsvExport::writeAtomically(path, "Name,Number,Date,Type,Text\n"));
    const std::string file = path.toStdString();
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::mask, fs::perms::owner_read | fs::perms::owner_write);
    other_user::openWayTo(file, root_.path());
    EXPECT_FALSE(other_user::canRead(file));

    const std::string bashrc = root_.path() + "/bashrc";
    std::ofstream(bashrc) << "the user's own";
    fs::remove(file);
    fs::create_symlink(bashrc, file);
    EXPECT_FALSE(CsvExport::writeAtomically(path, "$(rm -rf ~)\n"));
    EXPECT_EQ(fileBytes(QString::fromStdString(bashrc)), "the user's own");
    EXPECT_TRUE(fs::is_symlink(file));

    // Nor through a Documents folder that is a link.
    const std::string documents = fs::path(file).parent_path().string();
    fs::remove_all(documents);
    fs::create_directory(root_.path() + "/elsewhere");
    fs::create_directory_symlink(root_.path() + "/elsewhere", documents);
    EXPECT_FALSE(CsvExport::writeAtomically(path, "x\n"));
    EXPECT_TRUE(fs::is_empty(root_.path() + "/elsewhere"));
}

// The private copy made when Documents cannot take the export lives only as
// long as the mail program may need it: it goes with a failed hand-over,
// with the next export and with the list.
TEST_F(MailExportTest, TheTemporaryCopyGoesWhenItIsNoLongerNeeded) {
    fs::create_directories(DevicePaths::mobileHome());
    std::ofstream(DevicePaths::mobileHome() + "/Documents") << "not a folder";
    const auto copyOfLastMail = [](const StandInMailer& mailer) {
        const QStringList arguments = mailer.arguments();
        return arguments.size() == 7 ? fs::path(arguments[6].toStdString()).parent_path() : fs::path();
    };
    fs::path failedCopy;
    {
        StandInMailer failing(4);
        exportAndWait();
        failedCopy = copyOfLastMail(failing);
        ASSERT_FALSE(failedCopy.empty());
        EXPECT_EQ(failing.attached(), expectedCsv().toUtf8());
    }
    EXPECT_FALSE(fs::exists(failedCopy)) << "a failed hand-over left " << failedCopy;

    std::vector<fs::path> sentCopies;
    StandInMailer mailer(0);
    for (int i = 0; i < 2; ++i) {
        AlertView::resetShownForTesting();
        exportAndWait();
        sentCopies.push_back(copyOfLastMail(mailer));
        ASSERT_TRUE(fs::exists(sentCopies.back() / "data.csv")) << "the alert names it";
        EXPECT_EQ(fs::status(sentCopies.back() / "data.csv").permissions() & fs::perms::mask,
                  fs::perms::owner_read | fs::perms::owner_write);
    }
    EXPECT_NE(sentCopies[0], sentCopies[1]);
    EXPECT_FALSE(fs::exists(sentCopies[0])) << "the next export takes the earlier copy away";
    delete list_;
    EXPECT_FALSE(fs::exists(sentCopies[1])) << "the list takes its copy with it";
}
