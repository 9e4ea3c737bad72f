// vokabis-db check and stats: what a dictionary file holds and whether the program can use it.
#include "tools/Cli.h"

#include "db/Errors.h"
#include "db/Sqlite.h"

#include <filesystem>
#include <iostream>

namespace fs = std::filesystem;

namespace tools::cli {

int Check(const Options& o) {
    const std::string& path = o.args[1];
    bool ok = false;
    try {
        db::Database d = OpenReadOnly(path); // looking never writes, not even to a file that is no dictionary
        ok = Verify(d, std::cout);
    } catch (const db::EngineError& e) {
        if (!db::IsDamage(e.sqliteCode)) throw;
        // The engine's sentence advises running this very check.
        std::cout << "Datoteka " << path << " je oštećena ili nije rječnik ovog programa: ne može se pročitati. "
                     "Vratite najnoviju sigurnosnu kopiju naredbom \"vokabis-db restore\".\n";
    }
    std::cout << (ok ? "Datoteka je ispravan rječnik.\n" : "Datoteka nije ispravna.\n");
    return ok ? 0 : 1;
}

int Stats(const Options& o) {
    const std::string& path = o.args[1];
    db::Database d = OpenReadOnly(path);
    RequireDictionary(d);
    db::Statement s(d.handle(),
                    "SELECT count(*), sum(Engleski IS NULL OR Engleski = ''), sum(Hrvatski IS NULL OR Hrvatski = ''),"
                    " max(length(Engleski)), max(length(Hrvatski)) FROM Vokabis");
    s.Step();
    auto n = [&](int i) { return db::IsNull(s.Column(i)) ? 0LL : std::get<long long>(s.Column(i)); };
    std::cout << "Parova riječi: " << n(0) << "\n"
              << "Bez engleskog pojma: " << n(1) << "\n"
              << "Bez hrvatskog pojma: " << n(2) << "\n"
              << "Najdulji engleski pojam: " << n(3) << " znakova\n"
              << "Najdulji hrvatski pojam: " << n(4) << " znakova\n"
              << "Veličina datoteke: " << fs::file_size(path) / 1024 << " KB\n";
    return 0;
}

} // namespace tools::cli
