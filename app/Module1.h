#pragma once
// The program's shared globals and its start-up routine.
#include "db/Engine.h"
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

// Everything start-up does before the main window: opens the dictionary, resets the shared
// flags and reads the settings row. Any failure is thrown as db::EngineError; nothing is
// created or written, and no settings record set is left open.
void OpenDictionaryAndReadSettings(const QString& appPath);

// Reads the settings row 1 of an open dictionary (strict conversions; SortEng Null is False).
SettingsRecord ReadSettings(db::Database& database);

} // namespace Module1
