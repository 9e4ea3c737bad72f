#pragma once
// The settings row of Postavke: its fields, their order, their column types, the row a new
// dictionary starts with and how each value is converted. The schema, start-up, the print
// settings window and vokabis-db all go through here.
#include "db/Value.h"

#include <string>

struct sqlite3;

namespace db {

class TableRecordset;

// How a field is converted when it is read: strictly (a Null or a text that is no number is an
// error), except SortEng, whose Null reads as False.
enum class SettingKind { Double, Text, Integer, Boolean, BooleanOrNull };

struct SettingField {
    const char* name;
    SettingKind kind;
};

// Calls visit(field, rows.member...) for each field, in the order the row is read and written.
// Any records with these member names will do: the engine's SettingsRow and the program's
// Settings alike; with no record, visit(field) walks the list alone.
template <class Visit, class... Rows>
void ForEachSetting(Visit&& visit, Rows&... rows) {
    using K = SettingKind;
    visit(SettingField{"LeftM", K::Double}, rows.LeftM...);
    visit(SettingField{"TopM", K::Double}, rows.TopM...);
    visit(SettingField{"XDesno", K::Double}, rows.XDesno...);
    visit(SettingField{"YDolje", K::Double}, rows.YDolje...);
    visit(SettingField{"MojFontIme", K::Text}, rows.MojFontIme...);
    visit(SettingField{"VelicinaFonta", K::Integer}, rows.VelicinaFonta...);
    visit(SettingField{"MojFontItalic", K::Boolean}, rows.MojFontItalic...);
    visit(SettingField{"MojFontBold", K::Boolean}, rows.MojFontBold...);
    visit(SettingField{"BrojRedova", K::Integer}, rows.BrojRedova...);
    visit(SettingField{"SortEng", K::BooleanOrNull}, rows.SortEng...);
}

// The row as the engine holds it. The initial values are those of a new dictionary.
struct SettingsRow {
    double LeftM = 0, TopM = 0, XDesno = 0, YDolje = 0; // cm
    std::string MojFontIme = "Times New Roman CE";
    int16_t VelicinaFonta = 11;
    int16_t MojFontItalic = kFalse, MojFontBold = kFalse;
    int16_t BrojRedova = 50;
    int16_t SortEng = kTrue;
};

// A value of the field, converted as its kind says: a double, a text, or a whole number for
// the integers and the booleans (True as -1). Throws EngineError naming the field.
Value ConvertSetting(const SettingField& field, const Value& v);

// Creates Postavke with its row 1 at the initial values.
void CreateSettingsTable(sqlite3* db);

// Makes row 1 the current row of a record set on Postavke.
void SeekSettingsRow(TableRecordset& rs);
// The current row, each field converted; the first field that does not convert throws.
SettingsRow ReadSettingsRow(const TableRecordset& rs);
// Sets every field of the row being edited, in order (between Edit and Update).
void WriteSettingsRow(TableRecordset& rs, const SettingsRow& row);

} // namespace db
