#include "db/SettingsRow.h"

#include "db/Errors.h"
#include "db/Sqlite.h"
#include "db/TableRecordset.h"

namespace db {
namespace {

const char* SqlType(SettingKind kind) {
    switch (kind) {
    case SettingKind::Double: return "REAL";
    case SettingKind::Text: return "TEXT";
    default: return "INTEGER"; // booleans too, as -1 and 0
    }
}

Value Stored(double v) { return v; }
Value Stored(int16_t v) { return (long long)v; }
Value Stored(const std::string& v) { return v; }

void Take(double& to, const Value& v) { to = std::get<double>(v); }
void Take(int16_t& to, const Value& v) { to = int16_t(std::get<long long>(v)); }
void Take(std::string& to, const Value& v) { to = std::get<std::string>(v); }

} // namespace

Value ConvertSetting(const SettingField& field, const Value& v) {
    try {
        switch (field.kind) {
        case SettingKind::Double: return CDbl(v);
        case SettingKind::Text: return CStr(v);
        case SettingKind::Integer: return (long long)CInt(v);
        case SettingKind::Boolean: return (long long)CBool(v);
        case SettingKind::BooleanOrNull: return (long long)(IsNull(v) ? kFalse : CBool(v));
        }
    } catch (const EngineError& e) {
        // The field is named, so the user knows what in the file is wrong.
        throw EngineError(e.number, std::string("Postavke, polje ") + field.name + ": " + e.what(), e.sqliteCode);
    }
    return {};
}

void CreateSettingsTable(sqlite3* db) {
    std::string columns = "Id INTEGER PRIMARY KEY", marks = "1";
    ForEachSetting([&](const SettingField& f) {
        columns += std::string(", ") + f.name + " " + SqlType(f.kind);
        marks += ", ?";
    });
    ExecSql(db, "CREATE TABLE Postavke (" + columns + ");");
    Statement insert(db, "INSERT INTO Postavke VALUES (" + marks + ")");
    const SettingsRow initial;
    int i = 0;
    ForEachSetting([&](const SettingField&, const auto& value) { insert.Bind(++i, Stored(value)); }, initial);
    insert.Step();
}

void SeekSettingsRow(TableRecordset& rs) {
    rs.SetIndex("PrimaryKey");
    rs.Seek("=", Value(1LL));
}

SettingsRow ReadSettingsRow(const TableRecordset& rs) {
    SettingsRow row;
    ForEachSetting([&](const SettingField& f, auto& member) { Take(member, ConvertSetting(f, rs.Field(f.name))); }, row);
    return row;
}

void WriteSettingsRow(TableRecordset& rs, const SettingsRow& row) {
    ForEachSetting([&](const SettingField& f, const auto& value) { rs.SetField(f.name, Stored(value)); }, row);
}

} // namespace db
