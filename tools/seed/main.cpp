// brindlex-seed SCHEMA.sql 5|6 OUTPUT.db
//
// Builds one empty counter database of the app bundle from the shared schema
// file. Lines ending in "-- old" are kept only for the older schema (5),
// lines ending in "-- new" only for the newer one (6).
#include "platform/SqliteDatabase.h"
#include "platform/ProgramLog.h"

#include <sys/stat.h>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace {

bool endsWith(const std::string& line, const std::string& suffix) {
    std::size_t end = line.find_last_not_of(" \t\r");
    if (end == std::string::npos) return false;
    std::string trimmed = line.substr(0, end + 1);
    return trimmed.size() >= suffix.size() &&
           trimmed.compare(trimmed.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::string schemaFor(std::istream& in, bool sixOrLater) {
    std::ostringstream out;
    std::string line;
    while (std::getline(in, line)) {
        const bool oldOnly = endsWith(line, "-- old");
        const bool newOnly = endsWith(line, "-- new");
        if ((oldOnly && sixOrLater) || (newOnly && !sixOrLater)) continue;
        // The marker is ours, not part of the schema SQLite stores.
        if (oldOnly || newOnly) line = line.substr(0, line.rfind("--"));
        out << line << '\n';
    }
    return out.str();
}

}  // namespace

int main(int argc, char** argv) {
    ProgramLog::setProgramName("brindlex-seed");
    if (argc != 4 || (std::string(argv[2]) != "5" && std::string(argv[2]) != "6")) {
        ProgramLog::print("usage: brindlex-seed SCHEMA.sql 5|6 OUTPUT.db\n");
        return 2;
    }
    std::ifstream in(argv[1]);
    if (!in) {
        ProgramLog::print("cannot read %s\n", argv[1]);
        return 1;
    }
    const std::string sql = schemaFor(in, std::string(argv[2]) == "6");
    const std::string output = argv[3];
    const std::string partial = output + ".partial";
    std::remove(partial.c_str());

    SqliteDatabase db;
    if (!db.open(partial, SqliteDatabase::Mode::ReadWriteCreate)) {
        ProgramLog::print("cannot create %s: %s\n", partial.c_str(), db.lastError().c_str());
        return 1;
    }
    if (!db.exec(sql)) {
        ProgramLog::print("%s\n", db.lastError().c_str());
        db.close();
        std::remove(partial.c_str());
        return 1;
    }
    db.close();
    // The bundle is read by every user of an installed program and holds no
    // messages: its seeds are public, unlike the copies made from them.
    ::chmod(partial.c_str(), 0644);
    if (std::rename(partial.c_str(), output.c_str()) != 0) {
        ProgramLog::print("cannot write %s\n", output.c_str());
        return 1;
    }
    return 0;
}
