#include "tools/Cli.h"

#include "core/Module1.h"
#include "db/Counts.h"
#include "db/Recordset.h"
#include "db/Sqlite.h"

#include <cctype>
#include <filesystem>
#include <ostream>

namespace fs = std::filesystem;

namespace tools::cli {

std::string Lower(std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}
std::string Suffix(const std::string& path) { return Lower(fs::path(path).extension().string()); }

Format FormatOf(const std::string& path, const std::string& named) {
    if (Lower(named) == "csv" || (named.empty() && Suffix(path) == ".csv")) return Format::Csv;
    return Format::Tsv;
}

db::Database OpenReadOnly(const std::string& path) {
    return db::Database(path, db::kPassword, db::Connection::Options{false, true, false});
}

void RequireDictionary(db::Database& d) {
    auto has = [&](const char* sql) {
        db::Statement s(d.handle(), sql);
        return s.Step() && s.Int(0) > 0;
    };
    auto hasColumns = [&] {
        db::Statement s(d.handle(), "PRAGMA table_info(Vokabis)");
        int found = 0;
        while (s.Step()) found += db::CStr(s.Column(1)) == "Engleski" || db::CStr(s.Column(1)) == "Hrvatski";
        return found == 2;
    };
    const char* missing = !has("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'Vokabis'") ? "tablice Vokabis"
                          : !hasColumns()                                                              ? "stupaca Engleski i Hrvatski"
                          : !has("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'Postavke'") ? "tablice Postavke"
                                                                                                             : nullptr;
    if (missing)
        throw std::runtime_error(d.path() + " nije rječnik programa Vokabis (nema " + missing + "); datoteka nije mijenjana");
}

bool Verify(db::Database& d, std::ostream& out) {
    RequireDictionary(d);
    bool ok = true;
    std::string verdict;
    try {
        db::Statement integrity(d.handle(), "PRAGMA integrity_check");
        int findings = 0;
        while (integrity.Step()) findings += db::CStr(integrity.Column(0)) != "ok";
        verdict = findings == 0 ? "ok " : "provjera cjelovitosti našla je " + std::to_string(findings) + " pogrešaka ";
    } catch (const db::EngineError&) {
        verdict = "dijelovi datoteke ne mogu se pročitati ";
    }
    if (verdict != "ok ") { // the engine's own findings are English and for developers
        out << "Datoteka je oštećena: " << verdict << "\n";
        return false;
    }
    out << "Cjelovitost datoteke: u redu\n";
    out << "Parova riječi: " << d.Count("Select Id From Vokabis") << "\n";
    if (!db::CountsUsable(d.handle())) {
        out << "Brojevi parova po početnom znaku: još nisu spremljeni (program ih sprema kad prvi put otvori datoteku).\n";
    } else if (db::CountsMatch(d.handle())) {
        out << "Brojevi parova po početnom znaku: u redu\n";
    } else { // the pairs are whole; the program counts them again when it next opens the file
        out << "Spremljeni brojevi parova po početnom znaku ne odgovaraju parovima; program ih ponovno broji kad sljedeći "
               "put otvori datoteku.\n";
        ok = false;
    }
    try {
        const Module1::SettingsRecord s = Module1::ReadSettings(d);
        out << "Postavke ispisa: u redu (" << s.MojFontIme.toStdString() << ", " << s.VelicinaFonta << " pt, "
            << s.BrojRedova << " redova po stranici)\n";
    } catch (const db::EngineError& e) {
        out << "Postavke ispisa: " << e.what() << "\n";
        ok = false;
    }
    db::Statement query(d.handle(), "SELECT count(*) FROM sqlite_master WHERE type = 'view' AND name = 'OrderByEngleski'");
    query.Step();
    bool runs = query.Int(0) > 0;
    if (runs) try { // opened as the program opens it at start, so that both judge the file alike
            d.OpenRecordset("OrderByEngleski");
        } catch (const db::EngineError&) {
            runs = false;
        }
    out << (runs ? "Spremljeni upit OrderByEngleski: u redu\n" : "Spremljeni upit OrderByEngleski nedostaje ili ne radi.\n");
    return ok && runs;
}

} // namespace tools::cli
