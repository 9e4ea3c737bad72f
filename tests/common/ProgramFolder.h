#pragma once
#include "common/TempFiles.h"
#include "core/Module1.h"

#include <QString>

// Closes whatever start-up left open.
inline void CloseDictionary() {
    Module1::SettingsRs.reset();
    if (Module1::DictDb) Module1::DictDb->Close();
    Module1::DictDb.reset();
}

// A program folder with a fresh dictionary in Data/, removed when the test ends together
// with whatever start-up left open.
struct ProgramFolder : TempDb {
    explicit ProgramFolder(bool withFile = true, const char* password = db::kPassword)
        : TempDb({}, "Data/Vokabis.mdb", withFile ? password : nullptr) {
        fs::create_directories(dir / "Data");
    }
    ~ProgramFolder() { CloseDictionary(); }
    void AddPairs(const Rows& pairs) const { ::AddPairs(path, pairs); }
    QString app() const { return QString::fromStdString(dir.string()); } // the folder start-up is given
};
