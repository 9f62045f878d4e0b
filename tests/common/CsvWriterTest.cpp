// The CSV rules the app's export and the command-line report share: quoting
// only where a reader needs it, and a guard against formulas for text from
// strangers, since a spreadsheet evaluates a cell that starts like a formula
// even when the field is quoted.

#include "common/CsvWriter.h"

#include <gtest/gtest.h>

TEST(CsvWriter, EveryFormulaStartGetsALeadingApostrophe) {
    EXPECT_EQ(CsvWriter::neutralised("=1+1"), "'=1+1");
    EXPECT_EQ(CsvWriter::neutralised("+41 79 555 01 01"), "'+41 79 555 01 01");
    EXPECT_EQ(CsvWriter::neutralised("+14155550179"), "'+14155550179");
    EXPECT_EQ(CsvWriter::neutralised("-2+3"), "'-2+3");
    EXPECT_EQ(CsvWriter::neutralised("@SUM(A1:A9)"), "'@SUM(A1:A9)");
    EXPECT_EQ(CsvWriter::neutralised("@SUM(1+1)"), "'@SUM(1+1)");
    EXPECT_EQ(CsvWriter::neutralised("\t=cmd"), "'\t=cmd");
    EXPECT_EQ(CsvWriter::neutralised("\r=cmd"), "'\r=cmd");
    EXPECT_EQ(CsvWriter::neutralised("=HYPERLINK(\"http://x\",\"y\")"), "'=HYPERLINK(\"http://x\",\"y\")");
}

TEST(CsvWriter, OtherFieldsAreWrittenAsTheyAre) {
    EXPECT_EQ(CsvWriter::neutralised(""), "");
    EXPECT_EQ(CsvWriter::neutralised("Anna Becker"), "Anna Becker");
    EXPECT_EQ(CsvWriter::neutralised("4155550101"), "4155550101");
    EXPECT_EQ(CsvWriter::neutralised("1+1"), "1+1");              // only the first character counts
    EXPECT_EQ(CsvWriter::neutralised(" =1+1"), " =1+1");          // a blank first is text to a spreadsheet
    EXPECT_EQ(CsvWriter::neutralised("'=already"), "'=already");  // one apostrophe, never two
    EXPECT_EQ(CsvWriter::neutralised("\n=1"), "\n=1");            // a line break stays inside the quotes
    EXPECT_EQ(CsvWriter::neutralised("Zoë"), "Zoë");
}

TEST(CsvWriter, FieldsAreQuotedOnlyWhenTheyMustBeOrWhenAsked) {
    EXPECT_EQ(CsvWriter::quotedWhenNeeded("Anna Becker"), "Anna Becker");
    EXPECT_EQ(CsvWriter::quotedWhenNeeded("05 Mar, 2013"), "\"05 Mar, 2013\"");
    EXPECT_EQ(CsvWriter::quotedWhenNeeded("Dr. \"Doc\""), "\"Dr. \"\"Doc\"\"\"");
    EXPECT_EQ(CsvWriter::quotedWhenNeeded("555\r1"), "\"555\r1\"");
    EXPECT_EQ(CsvWriter::quotedWhenNeeded("a\nb"), "\"a\nb\"");
    EXPECT_EQ(CsvWriter::quotedWhenNeeded(""), "");
    EXPECT_EQ(CsvWriter::quoted(""), "\"\"");
    EXPECT_EQ(CsvWriter::quoted("plain"), "\"plain\"");
}

TEST(CsvWriter, RecordsGuardTextThenQuoteItAndLeaveNumbersAlone) {
    CsvWriter csv;
    csv.text("Kind");
    csv.text("Name");
    csv.endRecord();
    csv.text("=cmd|'/c calc'!A0");
    csv.text("-Becker, Anna");
    csv.text("@SUM(1,2)", CsvWriter::Quoting::Always);
    csv.text("");
    csv.number(-10);
    csv.number(0);
    csv.endRecord();
    csv.endRecord();  // an empty record is an empty line
    EXPECT_EQ(csv.csv(),
              "Kind,Name\n"
              "'=cmd|'/c calc'!A0,\"'-Becker, Anna\",\"'@SUM(1,2)\",,-10,0\n"
              "\n");
}
