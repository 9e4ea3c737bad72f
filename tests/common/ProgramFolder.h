#pragma once
#include "core/Module1.h"

#include <unistd.h>

#include <filesystem>
#include <initializer_list>
#include <string>

namespace fs = std::filesystem;

// A program folder with a fresh dictionary in Data/, removed when the test ends together
// with whatever start-up left open.
struct ProgramFolder {
    fs::path dir = fs::temp_directory_path() / ("vokabis-app-" + std::to_string(::getpid()));
    explicit ProgramFolder(bool withFile = true, const char* password = db::kPassword) {
        fs::remove_all(dir);
        fs::create_directories(dir / "Data");
        if (withFile) {
            db::Database d((dir / "Data/Vokabis.mdb").string(), password, true);
            d.CreateSchema();
        }
    }
    ~ProgramFolder() {
        Module1::SettingsRs.reset();
        if (Module1::DictDb) Module1::DictDb->Close();
        Module1::DictDb.reset();
        fs::remove_all(dir);
    }
    void AddPairs(std::initializer_list<std::pair<const char*, const char*>> pairs) const {
        db::Database d((dir / "Data/Vokabis.mdb").string(), db::kPassword);
        d.Exec("BEGIN");
        for (auto& [e, h] : pairs) d.AddPair(e, h);
        d.Exec("COMMIT");
    }
    void Exec(const std::string& sql) const {
        db::Database((dir / "Data/Vokabis.mdb").string(), db::kPassword).Exec(sql);
    }
    long long Count() const { // pairs in the file, read afresh
        return db::Database((dir / "Data/Vokabis.mdb").string(), db::kPassword).Count("Select * From Vokabis");
    }
    fs::path file() const { return dir / "Data/Vokabis.mdb"; }
    QString path() const { return QString::fromStdString(dir.string()); }
};
