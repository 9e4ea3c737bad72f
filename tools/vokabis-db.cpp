// vokabis-db: creates a keyed dictionary file, optionally filled from a UTF-8 TSV of pairs.
#include "db/Database.h"

#include <filesystem>
#include <fstream>
#include <iostream>

static const char* const kPassword = "KamenPlavetni";

int main(int argc, char** argv) {
    if (argc < 3 || std::string(argv[1]) != "create") {
        std::cerr << "Uporaba / usage: vokabis-db create PUTANJA [--from DATOTEKA.tsv]\n";
        return 2;
    }
    const std::string path = argv[2];
    if (std::filesystem::exists(path)) {
        std::cerr << "Datoteka već postoji: " << path << "\n";
        return 1;
    }
    try {
        db::Database d(path, kPassword, true);
        d.CreateSchema();
        if (argc >= 5 && std::string(argv[3]) == "--from") {
            std::ifstream in(argv[4]);
            if (!in) {
                std::cerr << "Ne mogu čitati: " << argv[4] << "\n";
                std::filesystem::remove(path);
                return 1;
            }
            d.Exec("BEGIN");
            d.DropIndexes(); // one index build at the end is far quicker than a million updates
            std::string line;
            while (std::getline(in, line)) {
                const auto tab = line.find('\t');
                if (!line.empty() && line.back() == '\r') line.pop_back(); // written on Windows
                if (tab == std::string::npos) continue;
                d.AddPair(line.substr(0, tab), line.substr(tab + 1));
            }
            d.CreateIndexes();
            d.Exec("COMMIT");
        }
    } catch (const db::EngineError& e) {
        std::cerr << "Pogreška: " << e.what() << "\n";
        std::filesystem::remove(path);
        return 1;
    }
    return 0;
}
