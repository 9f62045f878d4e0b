// The CSV export round trip: a name, a number and a body from the input go
// into the export, and libcsv, a CSV parser of its own, reads the text back
// to exactly those fields (after the formula guard's apostrophe), under the
// header, one record per message.

#include "app/list/CsvExport.h"
#include "common/CsvWriter.h"
#include "common/Person.h"
#include "common/Sms.h"
#include "fuzz/FuzzCheck.h"

#include <QByteArray>
#include <QLocale>
#include <QString>

#include <csv.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Parsed {
    std::vector<std::vector<std::string>> rows{1};
};

void onField(void* field, std::size_t bytes, void* data) {
    auto* parsed = static_cast<Parsed*>(data);
    parsed->rows.back().emplace_back(static_cast<const char*>(field), bytes);
}

void onRow(int, void* data) { static_cast<Parsed*>(data)->rows.emplace_back(); }

// Blanks around an unquoted field are part of it.
int noSpace(unsigned char) { return 0; }

std::vector<std::vector<std::string>> parse(const QByteArray& text) {
    csv_parser parser;
    FUZZ_CHECK(csv_init(&parser, CSV_STRICT | CSV_STRICT_FINI) == 0, "libcsv starts");
    csv_set_space_func(&parser, noSpace);
    Parsed parsed;
    const std::size_t used =
        csv_parse(&parser, text.constData(), static_cast<std::size_t>(text.size()), onField, onRow, &parsed);
    FUZZ_CHECK(used == static_cast<std::size_t>(text.size()), "the export is well-formed CSV");
    FUZZ_CHECK(csv_fini(&parser, onField, onRow, &parsed) == 0, "the export ends well-formed");
    csv_free(&parser);
    if (parsed.rows.back().empty()) parsed.rows.pop_back();
    return parsed.rows;
}

// A field as the export must give it back: the text as Qt holds it (invalid
// UTF-8 replaced), with the apostrophe of the formula guard.
std::string expected(const std::string& field) {
    return CsvWriter::neutralised(QString::fromStdString(field).toStdString());
}

std::vector<std::string> splitFields(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> fields(1);
    for (std::size_t i = 1; i < size; ++i) {
        if (data[i] == 0x1f && fields.size() < 3)
            fields.emplace_back();
        else
            fields.back() += static_cast<char>(data[i]);
    }
    fields.resize(3);
    return fields;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const auto fields = splitFields(data, size);  // name, number, body
    auto person = std::make_shared<Person>();
    person->setName(fields[0]);
    const Direction direction = (data[0] & 1) ? Sms::kReceived : Sms::kSent;
    const std::vector<Sms> records{Sms(person, fields[1], 1362517200, fields[2], direction, 1)};

    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const auto rows = parse(CsvExport::text(records, english).toUtf8());
    FUZZ_CHECK(rows.size() == 2, "a header and one record");
    FUZZ_CHECK((rows[0] == std::vector<std::string>{"Name", "Number", "Date", "Type", "Text"}), "the header");
    const auto& row = rows[1];
    FUZZ_CHECK(row.size() == 5, "five fields");
    FUZZ_CHECK(row[0] == expected(fields[0]), "the name comes back");
    FUZZ_CHECK(row[1] == expected(fields[1]), "the number comes back");
    FUZZ_CHECK(row[3] == (direction == Sms::kReceived ? "INCOMING" : "OUTGOING"), "the direction");
    FUZZ_CHECK(row[4] == expected(fields[2]), "the body comes back");
    return 0;
}
