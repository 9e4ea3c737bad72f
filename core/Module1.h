#pragma once
// The program's shared globals and its start-up routine.
#include "db/Engine.h"
#include "db/SettingsRow.h"
#include "db/TableRecordset.h"

#include <QString>

#include <cstdint>
#include <memory>

namespace Module1 {

// The in-memory copy of the settings row; the print settings window changes and saves it.
struct SettingsRecord {
    double LeftM = 0;  // printer margins, cm
    double TopM = 0;
    double XDesno = 0; // shifts of the whole print, cm, positive right / down
    double YDolje = 0;
    QString MojFontIme;
    int16_t VelicinaFonta = 0; // points
    int16_t MojFontItalic = db::kFalse;
    int16_t MojFontBold = db::kFalse;
    int16_t BrojRedova = 0;
    int16_t SortEng = db::kFalse; // true: lists sorted by the English column
};

inline QString AppPath;
inline QString DbPassword;
inline db::Workspace* DictWorkspace = nullptr;
inline std::shared_ptr<db::Database> DictDb;
inline std::unique_ptr<db::TableRecordset> SettingsRs; // open only while the row is read or written
inline SettingsRecord Settings;

inline int16_t IsNewEntry = db::kFalse;
inline int16_t PrintAccepted = db::kFalse;
inline int32_t PrintFrom = 0;
inline int32_t PrintTo = 0;
inline int16_t PrintAll = db::kFalse;
inline int16_t PrintCurrent = db::kFalse;

// Why the dictionary cannot be written in this run (a Croatian sentence with the path); empty
// when it can. Start-up fills it; then the file is opened read-only and every command that
// would write says so instead.
inline QString ReadOnlyReason;
QString WhyReadOnly(const QString& file);

// The dictionary file of a program folder.
QString DatabasePath(const QString& appPath);

// Where one run's files are. A program folder holding a Data/ folder is portable: the
// dictionary and the help page live beside the program. Without Data/ the program is
// installed: each user has a dictionary in their own data folder, first copied from the
// starter shipped in ../share/vokabis, and the help page is in that share folder.
struct Layout {
    bool portable = true;
    QString dictionary; // the file start-up opens
    QString help;       // Help/index.htm
    QString starter;    // installed only: the read-only dictionary a new user starts from
};
Layout FindLayout(const QString& appPath);

// Installed layout: makes the user's dictionary from the starter when there is no file yet,
// written beside it under a temporary name with mode 0600 and then renamed, so a torn copy
// never stands in its place and an existing file is never replaced. Throws db::EngineError
// with a Croatian message.
void MakeUserDictionary(const Layout& layout);

// What start-up did that the user should hear of once the window is up (leftovers moved aside);
// empty when nothing.
inline QString StartupNotice;

inline QString DictPath; // the dictionary of this run, set by start-up
inline QString HelpPath;

// Everything start-up does before the main window: finds the dictionary (making a new user's
// copy in the installed layout), opens it, resets the shared flags and reads the settings row.
// Any failure is thrown as db::EngineError; nothing but that copy is created or written, and
// no settings record set is left open.
void OpenDictionaryAndReadSettings(const QString& appPath);

// Reads the settings row 1 of an open dictionary (strict conversions; SortEng Null is False).
SettingsRecord ReadSettings(db::Database& database);

// The record and the row as the engine holds it, field by field.
SettingsRecord FromRow(const db::SettingsRow& row);
db::SettingsRow ToRow(const SettingsRecord& settings);

} // namespace Module1
