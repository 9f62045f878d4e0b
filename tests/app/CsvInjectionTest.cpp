// The CSV export's guard against formulas, end to end: bodies, names and
// addresses come from strangers, and a spreadsheet evaluates a cell that
// starts like a formula even when the field is quoted. The rule itself is
// CsvWriter's, tested with it.

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
