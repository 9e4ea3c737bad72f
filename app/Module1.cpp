#include "app/Module1.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <unistd.h>

namespace Module1 {

QString WhyReadOnly(const QString& file) {
    const QFileInfo info(file);
    if (!info.exists()) return {}; // the opening says what is wrong
    const QString folder = QDir::toNativeSeparators(info.absolutePath());
    const QString path = QDir::toNativeSeparators(info.absoluteFilePath());
    auto why = [&](const QByteArray& target, const QString& denied) -> QString {
        if (::access(target.constData(), W_OK) == 0) return {};
        if (errno == EROFS) return "Rječnik " + path + " nalazi se na mediju koji se može samo čitati.";
        return denied;
    };
    QString reason = why(QFile::encodeName(info.absoluteFilePath()),
                         "U datoteku rječnika " + path + " ne smijete pisati (zaštićena je od pisanja).");
    if (reason.isEmpty())
        reason = why(QFile::encodeName(info.absolutePath()),
                     "U mapu " + folder + " ne smijete pisati, a program uz rječnik u njoj drži svoje radne datoteke.");
    return reason;
}

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
    // A dictionary that cannot be written is opened read-only, for looking words up.
    const QString file = DatabasePath(AppPath);
    ReadOnlyReason = WhyReadOnly(file);
    db::RefuseWrites(ReadOnlyReason.toStdString());
    try {
        DictDb = DictWorkspace->OpenDatabase(file.toStdString(), false, !ReadOnlyReason.isEmpty(),
                                             ";pwd=" + DbPassword.toStdString());
    } catch (const db::EngineError& e) {
        const int rc = e.code & 0xff;
        if (!ReadOnlyReason.isEmpty() ||
            (rc != SQLITE_READONLY && rc != SQLITE_CANTOPEN && rc != SQLITE_PERM && rc != SQLITE_FULL) ||
            !QFileInfo(file).isFile())
            throw;
        ReadOnlyReason = rc == SQLITE_FULL ? "Disk na kojem je rječnik " + QDir::toNativeSeparators(file) +
                                                 " je pun. Oslobodite mjesta na disku pa ponovno pokrenite program."
                                           : "Rječnik " + QDir::toNativeSeparators(file) + " ne može se otvoriti za pisanje.";
        db::RefuseWrites(ReadOnlyReason.toStdString());
        DictDb = DictWorkspace->OpenDatabase(file.toStdString(), false, true, ";pwd=" + DbPassword.toStdString());
    }
    IsNewEntry = db::kFalse;
    PrintAccepted = db::kFalse;
    PrintFrom = 0;
    PrintTo = 0;
    PrintAll = db::kFalse;
    PrintCurrent = db::kFalse;
    Settings = ReadSettings(*DictDb);
}

} // namespace Module1
