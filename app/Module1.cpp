#include "app/Module1.h"

#include <QDir>

namespace Module1 {

QString DatabasePath(const QString& appPath) { return QDir(appPath).filePath("Data/Vokabis.mdb"); }

namespace {

// A conversion failure names the field, so the user knows what in the file is wrong.
template <class F>
auto Read(db::TableRecordset& rs, const char* field, F convert) {
    const db::Value v = rs.Field(field);
    try {
        return convert(v);
    } catch (const db::EngineError& e) {
        throw db::EngineError(e.code, std::string("Postavke, polje ") + field + ": " + e.what());
    }
}

} // namespace

SettingsRecord ReadSettings(db::Database& database) {
    SettingsRs = database.OpenTable("Postavke", db::kReadOnly);
    struct CloseAlways {
        ~CloseAlways() {
            if (SettingsRs) SettingsRs->Close();
            SettingsRs.reset();
        }
    } closer;
    db::TableRecordset& rs = *SettingsRs;
    rs.SetIndex("PrimaryKey");
    rs.Seek("=", db::Value(1LL));
    SettingsRecord s;
    s.LeftM = Read(rs, "LeftM", db::CDbl);
    s.TopM = Read(rs, "TopM", db::CDbl);
    s.XDesno = Read(rs, "XDesno", db::CDbl);
    s.YDolje = Read(rs, "YDolje", db::CDbl);
    s.MojFontIme = QString::fromStdString(Read(rs, "MojFontIme", db::CStr));
    s.VelicinaFonta = Read(rs, "VelicinaFonta", db::CInt);
    s.MojFontItalic = Read(rs, "MojFontItalic", db::CBool);
    s.MojFontBold = Read(rs, "MojFontBold", db::CBool);
    s.BrojRedova = Read(rs, "BrojRedova", db::CInt);
    s.SortEng = Read(rs, "SortEng", [](const db::Value& v) { return db::IsNull(v) ? db::kFalse : db::CBool(v); });
    return s;
}

void OpenDictionaryAndReadSettings(const QString& appPath) {
    AppPath = appPath;
    DbPassword = "KamenPlavetni";
    DictWorkspace = &db::DBEngine().Workspaces(0);
    DictDb = DictWorkspace->OpenDatabase(DatabasePath(AppPath).toStdString(), false, false,
                                         ";pwd=" + DbPassword.toStdString());
    IsNewEntry = db::kFalse;
    PrintAccepted = db::kFalse;
    PrintFrom = 0;
    PrintTo = 0;
    PrintAll = db::kFalse;
    PrintCurrent = db::kFalse;
    Settings = ReadSettings(*DictDb);
}

} // namespace Module1
