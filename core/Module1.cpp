#include "core/Module1.h"

#include "db/Files.h"
#include "db/Strays.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace Module1 {

QString WhyReadOnly(const QString& file) {
    const QFileInfo info(file);
    if (!info.exists()) return {}; // the opening says what is wrong
    const QString folder = QDir::toNativeSeparators(info.absolutePath());
    const QString path = QDir::toNativeSeparators(info.absoluteFilePath());
    auto why = [&](const QString& target, const QString& denied) -> QString {
        switch (db::files::WritableAt(QFile::encodeName(target).toStdString())) {
        case db::files::Writable::Yes: return {};
        case db::files::Writable::ReadOnlyMedium: return "Rječnik " + path + " nalazi se na mediju koji se može samo čitati.";
        case db::files::Writable::Refused: break;
        }
        return denied;
    };
    QString reason = why(info.absoluteFilePath(),
                         "U datoteku rječnika " + path + " ne smijete pisati (zaštićena je od pisanja).");
    if (reason.isEmpty())
        reason = why(info.absolutePath(),
                     "U mapu " + folder + " ne smijete pisati, a program uz rječnik u njoj drži svoje radne datoteke.");
    // Opened for writing, a file on a full disk would be read through the engine's working
    // files, which cannot grow; read-only, it is read whole and the user learns why at once.
    if (reason.isEmpty() && db::DiskFullAt(info.absoluteFilePath().toStdString()))
        reason = "Disk na kojem je rječnik " + path + " je pun. Oslobodite mjesta na disku pa ponovno pokrenite program.";
    return reason;
}

QString DatabasePath(const QString& appPath) { return QDir(appPath).filePath("Data/Vokabis.mdb"); }

Layout FindLayout(const QString& appPath) {
    Layout l;
    l.portable = QFileInfo(QDir(appPath).filePath("Data")).isDir();
    if (l.portable) {
        l.dictionary = DatabasePath(appPath);
        l.help = QDir(appPath).filePath("Help/index.htm");
        return l;
    }
    const QString share = QDir::cleanPath(appPath + "/../share/vokabis");
    l.starter = share + "/Vokabis.mdb";
    l.help = share + "/Help/index.htm";
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (!data.isEmpty()) l.dictionary = data + "/Data/Vokabis.mdb"; // empty: no home folder known
    return l;
}

namespace {

constexpr int kCannotMake = 3024; // the engine's "file not found", as for a missing dictionary

[[noreturn]] void Fail(const QString& message) { throw db::EngineError(kCannotMake, message.toStdString()); }

// Makes the missing folders down to dir. From own down they are the program's and private
// (0700); those above are the desktop's standard ones (~/.local, ~/.local/share) and get what
// other programs give them: 0755 less the umask. A folder that exists keeps its mode, and one
// another start made meanwhile counts as made.
bool MakeFolders(const QString& dir, const QString& own) {
    QStringList missing;
    for (QString d = QDir::cleanPath(dir); !QFileInfo::exists(d); d = QFileInfo(d).absolutePath()) {
        if (missing.contains(d)) return false; // the root itself is missing
        missing.prepend(d);
    }
    const QString ownRoot = QDir::cleanPath(own);
    const auto privateMode = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    for (const QString& d : missing) {
        const bool isOwn = d == ownRoot || d.startsWith(ownRoot + "/");
        const auto mode = isOwn ? privateMode
                                : privateMode | QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
        if (!QDir().mkdir(d, mode) && !QFileInfo(d).isDir()) return false;
        if (isOwn) QFile::setPermissions(d, privateMode); // whatever the umask
        // Without this a power cut may take the new folder, and the dictionary made in it, away.
        db::files::Sync(QFile::encodeName(QFileInfo(d).absolutePath()).toStdString());
    }
    return true;
}

} // namespace

void MakeUserDictionary(const Layout& l) {
    if (l.portable) return;
    if (l.dictionary.isEmpty()) Fail("Vaša mapa s podacima nije poznata (nije postavljena varijabla HOME).");
    const QFileInfo target(l.dictionary);
    // A dangling link counts as a file: the user put it there, and opening it will say so.
    if (target.exists() || target.isSymLink()) return;
    const QString dir = target.absolutePath();
    QFile from(l.starter);
    if (!from.open(QIODevice::ReadOnly))
        Fail(QString("Početni rječnik %1 ne postoji ili se ne može pročitati; program nije potpuno instaliran.")
                 .arg(l.starter));
    // The layout puts the file in Data/ of the program's own folder.
    if (!MakeFolders(dir, QFileInfo(dir).absolutePath()))
        Fail(QString("Mapa za vaš rječnik ne može se napraviti: %1").arg(dir));
    QTemporaryFile to(dir + "/.Vokabis.mdb.XXXXXX"); // created with mode 0600
    if (!to.open()) Fail(QString("U mapu %1 ne može se pisati, pa se vaš rječnik ne može napraviti.").arg(dir));
    to.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    bool ok = true;
    while (ok && !from.atEnd()) {
        const QByteArray chunk = from.read(1 << 20);
        ok = !chunk.isEmpty() && to.write(chunk) == chunk.size();
    }
    ok = ok && to.flush();
    ok = ok && db::files::Sync(QFile::encodeName(to.fileName()).toStdString());
    if (!ok)
        Fail(QString("Početni rječnik ne može se kopirati u %1 (nema mjesta na disku ili se ne može pisati).")
                 .arg(dir));
    // A log left by a file that had this name (a run killed, then the file deleted to go back to
    // the starter) would be read into the new copy; it is moved aside and the user told.
    StartupNotice = QString::fromStdString(db::DescribeStrays(db::MoveStraysAside(QFile::encodeName(l.dictionary).toStdString())));
    // The rename never replaces a file: if another start was quicker, its copy is kept.
    if (to.rename(l.dictionary))
        to.setAutoRemove(false); // it now carries the dictionary's name
    else if (!QFileInfo::exists(l.dictionary))
        Fail(QString("Vaš rječnik ne može se spremiti kao %1.").arg(l.dictionary));
    db::files::Sync(QFile::encodeName(dir).toStdString()); // makes the rename survive a power cut
}

namespace {

void Copy(QString& to, const std::string& from) { to = QString::fromStdString(from); }
void Copy(std::string& to, const QString& from) { to = from.toStdString(); }
template <class T>
void Copy(T& to, const T& from) { to = from; }

} // namespace

SettingsRecord FromRow(const db::SettingsRow& row) {
    SettingsRecord s;
    db::ForEachSetting([](const db::SettingField&, auto& to, const auto& from) { Copy(to, from); }, s, row);
    return s;
}

db::SettingsRow ToRow(const SettingsRecord& s) {
    db::SettingsRow row;
    db::ForEachSetting([](const db::SettingField&, auto& to, const auto& from) { Copy(to, from); }, row, s);
    return row;
}

SettingsRecord ReadSettings(db::Database& database) {
    SettingsRs = database.OpenTable("Postavke", db::kReadOnly);
    struct CloseAlways {
        ~CloseAlways() {
            if (SettingsRs) SettingsRs->Close();
            SettingsRs.reset();
        }
    } closer;
    db::SeekSettingsRow(*SettingsRs);
    return FromRow(db::ReadSettingsRow(*SettingsRs));
}

void OpenDictionaryAndReadSettings(const QString& appPath) {
    AppPath = appPath;
    StartupNotice.clear();
    const Layout layout = FindLayout(AppPath);
    DictPath = layout.dictionary;
    HelpPath = layout.help;
    MakeUserDictionary(layout);
    DbPassword = db::kPassword;
    DictWorkspace = &db::DBEngine().Workspaces(0);
    // A dictionary that cannot be written is opened read-only, for looking words up.
    const QString file = DictPath;
    ReadOnlyReason = WhyReadOnly(file);
    db::RefuseWrites(ReadOnlyReason.toStdString());
    try {
        DictDb = DictWorkspace->OpenDatabase(file.toStdString(), false, !ReadOnlyReason.isEmpty(),
                                             ";pwd=" + DbPassword.toStdString());
    } catch (const db::EngineError& e) {
        const int rc = e.sqliteCode & 0xff;
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
