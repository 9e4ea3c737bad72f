#include "db/TableRecordset.h"

#include "db/Database.h"
#include "db/JetSql.h"
#include "db/Sqlite.h"

namespace db {

TableRecordset::TableRecordset(std::shared_ptr<Connection> conn, const std::string& table, bool readOnly)
    : conn_(std::move(conn)), table_(table), readOnly_(readOnly) {
    Statement info(conn_->handle(), "PRAGMA table_info(" + QuoteName(table) + ")");
    int keys = 0;
    while (info.Step()) {
        const std::string name = std::get<std::string>(info.Column(1));
        fields_.push_back(name);
        if (info.Int(5) > 0) {
            ++keys;
            keyColumn_ = name;
        }
    }
    if (fields_.empty()) throw EngineError(kNoSuchTable, "U bazi rječnika nema tablice \"" + table + "\".");
    if (keys != 1) keyColumn_.clear(); // a key over several columns is not one this program seeks on
}

Connection& TableRecordset::conn() const {
    if (!conn_) throw EngineError(kClosed, "Skup zapisa je zatvoren.");
    return *conn_;
}

void TableRecordset::SetIndex(const std::string& name) {
    conn();
    if (name != "PrimaryKey" || keyColumn_.empty())
        throw EngineError(kNoSuchIndex, "Tablica \"" + table_ + "\" nema indeks \"" + name + "\".");
    index_ = name;
}

void TableRecordset::Seek(std::string_view comparison, const Value& key) {
    sqlite3* db = conn().handle();
    if (index_.empty()) throw EngineError(kNoSuchIndex, "Za traženje u tablici \"" + table_ + "\" nije odabran indeks.");
    if (comparison != "=") throw EngineError(kNoSuchIndex, "Traženje podržava samo usporedbu \"=\".");
    editing_ = false;
    std::string cols;
    for (const auto& f : fields_) cols += ", " + QuoteName(f);
    Statement s(db, "SELECT rowid" + cols + " FROM " + QuoteName(table_) + " WHERE " + QuoteName(keyColumn_) + " = ?");
    s.Bind(1, key);
    hasRow_ = s.Step();
    noMatch_ = !hasRow_;
    row_.clear();
    if (hasRow_) {
        rowid_ = s.Int(0);
        for (size_t i = 0; i < fields_.size(); ++i) row_.push_back(s.Column(int(i + 1)));
    }
}

size_t TableRecordset::FieldIndex(std::string_view name) const {
    for (size_t i = 0; i < fields_.size(); ++i)
        if (EqualsNoCase(fields_[i], name)) return i;
    throw EngineError(kNoSuchItem, "Polje \"" + std::string(name) + "\" ne postoji u tablici \"" + table_ + "\".");
}

Value TableRecordset::Field(std::string_view name) const {
    conn();
    const size_t i = FieldIndex(name);
    if (!hasRow_) throw EngineError(kNoCurrentRecord, "U tablici \"" + table_ + "\" nema traženog zapisa.");
    return row_[i];
}

void TableRecordset::Edit() {
    conn();
    if (readOnly_) throw EngineError(kNotUpdatable, "Tablica \"" + table_ + "\" otvorena je samo za čitanje.");
    RefuseIfReadOnly();
    if (!hasRow_) throw EngineError(kNoCurrentRecord, "U tablici \"" + table_ + "\" nema traženog zapisa.");
    editing_ = true;
    changed_.assign(fields_.size(), false);
}

void TableRecordset::SetField(std::string_view name, const Value& v) {
    const size_t i = FieldIndex(name);
    if (!editing_) throw EngineError(kNotEditing, "Zapis nije otvoren za izmjenu (nedostaje Edit).");
    row_[i] = v;
    changed_[i] = true;
}

void TableRecordset::Update() {
    sqlite3* db = conn().handle();
    if (!editing_) throw EngineError(kNotEditing, "Zapis nije otvoren za izmjenu (nedostaje Edit).");
    std::string assign;
    std::vector<size_t> set;
    for (size_t i = 0; i < fields_.size(); ++i)
        if (changed_[i]) {
            assign += (assign.empty() ? "" : ", ") + QuoteName(fields_[i]) + " = ?";
            set.push_back(i);
        }
    if (!set.empty()) {
        Statement s(db, "UPDATE " + QuoteName(table_) + " SET " + assign + " WHERE rowid = ?");
        for (size_t j = 0; j < set.size(); ++j) s.Bind(int(j + 1), row_[set[j]]);
        s.Bind(int(set.size() + 1), rowid_);
        s.Step();
        if (sqlite3_changes(db) == 0) throw EngineError(kRecordDeleted, "Zapis je u međuvremenu izbrisan; izmjena nije spremljena.");
    }
    editing_ = false;
}

void TableRecordset::Close() {
    conn_.reset();
    hasRow_ = false;
}

} // namespace db
