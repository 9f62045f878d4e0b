// The CSV export's guard against formulas: bodies, names and addresses come
// from strangers, and a spreadsheet evaluates a cell that starts like a
// formula even when the field is quoted. Each such field gets a leading
// apostrophe; anything else is written as it was.

#include "app/list/CsvExport.h"
#include "common/Person.h"
#include "common/Sms.h"
#include "support/ScopedEnvironment.h"

#include <QLocale>
#include <QString>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

Sms message(const std::string& name, const std::string& number, const std::string& text) {
    auto person = std::make_shared<Person>();
    person->setName(name);
    return Sms(person, number, 1362517200, text, Sms::kReceived, 1);
}

}  // namespace

TEST(CsvInjection, EveryFormulaStartGetsALeadingApostrophe) {
    EXPECT_EQ(CsvExport::neutralised("=1+1"), "'=1+1");
    EXPECT_EQ(CsvExport::neutralised("+41 79 555 01 01"), "'+41 79 555 01 01");
    EXPECT_EQ(CsvExport::neutralised("-2+3"), "'-2+3");
    EXPECT_EQ(CsvExport::neutralised("@SUM(A1:A9)"), "'@SUM(A1:A9)");
    EXPECT_EQ(CsvExport::neutralised("\t=cmd"), "'\t=cmd");
    EXPECT_EQ(CsvExport::neutralised("\r=cmd"), "'\r=cmd");
    EXPECT_EQ(CsvExport::neutralised("=HYPERLINK(\"http://x\",\"y\")"), "'=HYPERLINK(\"http://x\",\"y\")");
}

TEST(CsvInjection, OtherFieldsAreWrittenAsTheyAre) {
    EXPECT_EQ(CsvExport::neutralised(""), "");
    EXPECT_EQ(CsvExport::neutralised("Anna Becker"), "Anna Becker");
    EXPECT_EQ(CsvExport::neutralised("4155550101"), "4155550101");
    EXPECT_EQ(CsvExport::neutralised("1+1"), "1+1");              // only the first character counts
    EXPECT_EQ(CsvExport::neutralised(" =1+1"), " =1+1");          // a blank first is text to a spreadsheet
    EXPECT_EQ(CsvExport::neutralised("'=already"), "'=already");  // one apostrophe, never two
    EXPECT_EQ(CsvExport::neutralised("\n=1"), "\n=1");            // a line break stays inside the quotes
}

TEST(CsvInjection, TheExportGuardsNamesNumbersAndBodies) {
    ScopedEnvironment tz("TZ", std::string("UTC"));
    const std::vector<Sms> records{
        message("=cmd|'/c calc'!A0", "+14155550100", "@SUM(1,2)"),
        message("-Becker, Anna", "4155550101", "=HYPERLINK(\"http://x\",\"y\")"),
    };
    EXPECT_EQ(CsvExport::text(records, QLocale(QLocale::English, QLocale::UnitedStates)),
              "Name,Number,Date,Type,Text\n"
              "'=cmd|'/c calc'!A0,'+14155550100,05 Mar 2013 09:00:00 PM,INCOMING,\"'@SUM(1,2)\"\n"
              "\"'-Becker, Anna\",4155550101,05 Mar 2013 09:00:00 PM,INCOMING,"
              "\"'=HYPERLINK(\"\"http://x\"\",\"\"y\"\")\"\n");
}
