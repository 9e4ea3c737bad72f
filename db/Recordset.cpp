#include "db/Recordset.h"

#include "db/JetSql.h"
#include "db/Keyset.h"
#include "db/QueryText.h"

#include <algorithm>
#include <optional>
#include <string_view>

namespace db {
namespace {

[[noreturn]] void NoCurrent() { throw EngineError(kNoCurrentRecord, "Nema tekućeg zapisa."); }

} // namespace


Recordset::Recordset(std::shared_ptr<Connection> conn, const std::string& sql) {
    auto ks = std::make_shared<Keyset>();
    ks->conn = std::move(conn);
    sqlite3* db = ks->db();
    const std::string base = ViewBody(db, sql);
    std::string apart, counted;
    const std::string runnable = AddPrefixRanges(InTypedOrder(base, &apart, &counted));
    int keyColumn = ks->LearnColumns(runnable);
    // Only the keys are needed now; reading just them lets an index cover the query.
    const std::string keyName = QuoteName(ks->fields[keyColumn]);
    auto keysOnly = [&](const std::string& query) {
        if (SelectAllFrom(query) == std::string::npos) return query;
        const size_t star = query.find('*');
        return query.substr(0, star) + keyName + query.substr(star + 1);
    };
    const std::string keysSql = keysOnly(runnable);
    if (keysSql != runnable) keyColumn = 0;
    // The order and the collated range it reads do not change which rows there are: the count
    // is of the prefix conditions alone, which an index answers without reading the rows (for a
    // single letter the collated one, by the first character).
    // The stored counts answer the longest lists at once, where the file has them.
    // The text decides first, so a keystroke the counts cannot answer does not ask for them.
    const std::string stored = StoredCountSql(base);
    ks->countSql = !stored.empty() && CountsUsable(db)
                       ? stored
                       : CountSql(keysOnly(AddPrefixRanges(counted.empty() ? base : counted)));
    ks->keysSql = keysSql;
    ks->TakeOrder(!stored.empty());
    if (!apart.empty()) {
        ks->apartSql = "SELECT 1 FROM " + QuoteName(ks->table) + " WHERE " + AddPrefixRanges(apart) + " LIMIT 1";
        ks->sortedKeysSql = keysOnly(AddPrefixRanges(InTypedOrder(base)));
    }
    ks->keyColumn = keyColumn;
    ks->Start();
    ks_ = std::move(ks);
    GoFirst();
}

Recordset::Recordset(std::shared_ptr<Keyset> ks) : ks_(std::move(ks)) { GoFirst(); }

Recordset::~Recordset() = default;

Keyset& Recordset::ks() const {
    if (!ks_) throw EngineError(kClosed, "Skup zapisa je zatvoren.");
    return *ks_;
}

bool Recordset::Bof() const { return ks().Live() == 0 || where_ == Where::Bof; }
bool Recordset::Eof() const { return ks().Live() == 0 || where_ == Where::Eof; }

bool Recordset::HasCurrent() const { return ks().Live() > 0 && where_ == Where::At && !ks_->IsDead(index_); }

void Recordset::RequireCurrent() const {
    if (!HasCurrent()) NoCurrent();
}

long Recordset::AbsolutePosition() const { return HasCurrent() ? long(ks_->Rank(index_)) : -1; }

long Recordset::RecordCount() const {
    const Keyset& k = ks();
    return long(reached_ - k.tree.Prefix(reached_));
}

void Recordset::GoTo(size_t index) {
    where_ = Where::At;
    index_ = index;
    reached_ = std::max(reached_, index + 1);
}

void Recordset::GoFirst() {
    if (ks().Live() == 0) {
        where_ = Where::Eof;
        return;
    }
    GoTo(ks_->tree.FindLive(0));
}

void Recordset::EndEdit() {
    mode_ = EditMode::None;
    buffer_.clear();
    changed_.clear();
}

void Recordset::MoveFirst() {
    EndEdit();
    GoFirst();
}

void Recordset::MoveLast() {
    EndEdit();
    Keyset& k = ks();
    if (k.Live() == 0) {
        where_ = Where::Eof;
        return;
    }
    GoTo(k.tree.FindLive(k.Live() - 1));
    reached_ = k.Size();
}

void Recordset::MoveNext() {
    EndEdit();
    Keyset& k = ks();
    if (Eof()) NoCurrent();
    // Live rows up to and including the current index give the rank of the next one.
    const size_t next = where_ == Where::Bof ? 0 : index_ + 1 - k.tree.Prefix(index_ + 1);
    if (next >= k.Live()) {
        where_ = Where::Eof;
        reached_ = k.Size();
    } else {
        GoTo(k.tree.FindLive(next));
    }
}

void Recordset::MovePrevious() {
    EndEdit();
    Keyset& k = ks();
    if (Bof()) NoCurrent();
    const size_t before = where_ == Where::Eof ? k.Live() : k.Rank(index_);
    if (before == 0) where_ = Where::Bof;
    else GoTo(k.tree.FindLive(before - 1));
}

void Recordset::Move(long rows) {
    RequireCurrent();
    EndEdit();
    Keyset& k = ks();
    const long target = long(k.Rank(index_)) + rows;
    if (target < 0) {
        where_ = Where::Bof;
    } else if (target >= long(k.Live())) {
        where_ = Where::Eof;
        reached_ = k.Size();
    } else {
        GoTo(k.tree.FindLive(size_t(target)));
    }
}

Bookmark Recordset::GetBookmark() const {
    RequireCurrent();
    return {ks_->id, index_};
}

void Recordset::SetBookmark(const Bookmark& b) {
    Keyset& k = ks();
    if (b.keyset != k.id || b.index >= k.Size()) throw EngineError(kBadBookmark, "Oznaka zapisa ne pripada ovom popisu.");
    if (k.IsDead(b.index)) throw EngineError(kRecordDeleted, "Zapis je izbrisan.");
    EndEdit();
    GoTo(b.index);
}

const std::vector<std::string>& Recordset::FieldNames() const { return ks().fields; }

size_t Recordset::FieldIndex(std::string_view name) const {
    const auto& f = ks().fields;
    for (size_t i = 0; i < f.size(); ++i)
        if (EqualsNoCase(f[i], name)) return i;
    throw EngineError(kNoSuchItem, "Polje \"" + std::string(name) + "\" ne postoji u ovom popisu.");
}

Value Recordset::Field(std::string_view name) const {
    const size_t i = FieldIndex(name);
    if (mode_ != EditMode::None) return buffer_[i];
    RequireCurrent();
    return ks_->Row(index_)[i];
}

void Recordset::Delete() {
    RequireCurrent();
    EndEdit();
    Keyset& k = ks();
    RefuseIfReadOnly();
    Transaction t(k.db());
    k.RequireUnchanged(index_);
    Statement s(k.db(), "DELETE FROM " + QuoteName(k.table) + " WHERE rowid = ?");
    s.Bind(1, k.Id(index_));
    s.Step();
    t.Commit();
    k.Kill(index_); // the cursor stays on the deleted row: no current row until the next move
}

namespace {

// Refuses rows that are not this list's, a row deleted already, or one named twice, before
// anything is deleted.
void RequireRowsOf(const Keyset& k, const std::vector<Bookmark>& rows) {
    for (const Bookmark& b : rows) {
        if (b.keyset != k.id || b.index >= k.Size()) throw EngineError(kBadBookmark, "Oznaka zapisa ne pripada ovom popisu.");
        if (k.IsDead(b.index)) throw EngineError(kRecordDeleted, "Zapis je izbrisan.");
    }
    std::vector<size_t> named;
    named.reserve(rows.size());
    for (const Bookmark& b : rows) named.push_back(b.index);
    std::sort(named.begin(), named.end());
    if (std::adjacent_find(named.begin(), named.end()) != named.end())
        throw EngineError(kBadBookmark, "Isti je zapis naveden dvaput; ništa nije izbrisano.");
}

// Most of a long list: the table's indexes and stored counts are taken away and made again
// from the rows that stay, in the same transaction; far less work than keeping them up row
// by row (a whole dictionary of 120,000 pairs: under a second instead of six).
class IndexesAside {
public:
    explicit IndexesAside(const Keyset& k) {
        std::vector<std::string> names;
        {
            Statement idx(k.db(), "SELECT name, sql FROM sqlite_master WHERE type = 'index' AND tbl_name = ? AND sql IS NOT NULL");
            idx.Bind(1, k.table);
            while (idx.Step()) {
                names.push_back(CStr(idx.Column(0)));
                remake_.push_back(CStr(idx.Column(1)));
            }
            Statement has(k.db(), "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'VokabisBrojevi'");
            has.Step();
            counts_ = k.table == "Vokabis" && has.Int(0) > 0;
        }
        if (counts_) DropCounts(k.db());
        for (const std::string& name : names) ExecSql(k.db(), "DROP INDEX " + QuoteName(name));
    }
    void Remake(sqlite3* db) const {
        for (const std::string& sql : remake_) ExecSql(db, sql);
        if (counts_) CreateCounts(db);
    }

private:
    std::vector<std::string> remake_;
    bool counts_ = false;
};

} // namespace

void Recordset::DeleteRows(const std::vector<Bookmark>& rows) {
    EndEdit();
    Keyset& k = ks();
    RequireRowsOf(k, rows);
    RefuseIfReadOnly();
    Transaction t(k.db());
    // Every id is known before the first row goes: the list reads on from the file as it was.
    // A row the list has shown goes only as it was shown; one never read has nothing to compare.
    std::vector<long long> ids;
    ids.reserve(rows.size());
    for (const Bookmark& b : rows) {
        if (k.rows.Kept(b.index)) k.RequireUnchanged(b.index);
        ids.push_back(k.Id(b.index));
    }
    std::optional<IndexesAside> aside;
    if (rows.size() >= 1000 && rows.size() * 4 >= k.Live()) aside.emplace(k);
    {
        Statement s(k.db(), "DELETE FROM " + QuoteName(k.table) + " WHERE rowid = ?");
        for (const long long id : ids) {
            s.Reset();
            s.Bind(1, id);
            s.Step();
        }
    }
    if (aside) aside->Remake(k.db());
    t.Commit();
    for (const Bookmark& b : rows) k.Kill(b.index);
}

void Recordset::AddNew() {
    const size_t n = ks().fields.size();
    EndEdit();
    mode_ = EditMode::Add;
    buffer_.assign(n, Value{});
    changed_.assign(n, false);
}

void Recordset::Edit() {
    RequireCurrent();
    EndEdit();
    buffer_ = ks_->Row(index_);
    changed_.assign(buffer_.size(), false);
    mode_ = EditMode::Edit;
}

void Recordset::SetField(std::string_view name, const Value& v) {
    const size_t i = FieldIndex(name);
    if (mode_ == EditMode::None) throw EngineError(kNotEditing, "Zapis nije otvoren za izmjenu (nedostaje AddNew ili Edit).");
    buffer_[i] = v;
    changed_[i] = true;
}

void Recordset::CancelUpdate() { EndEdit(); }

void Recordset::Update() {
    Keyset& k = ks();
    if (mode_ == EditMode::None) throw EngineError(kNotEditing, "Zapis nije otvoren za izmjenu (nedostaje AddNew ili Edit).");
    std::vector<size_t> set;
    for (size_t i = 0; i < changed_.size(); ++i)
        if (changed_[i]) set.push_back(i);
    RefuseIfReadOnly();
    if (mode_ == EditMode::Add) { // one statement: nothing to compare, nothing to hold
        std::string cols, marks;
        for (size_t i : set) {
            cols += (cols.empty() ? "" : ", ") + QuoteName(k.columns[i]);
            marks += marks.empty() ? "?" : ", ?";
        }
        Statement s(k.db(), set.empty() ? "INSERT INTO " + QuoteName(k.table) + " DEFAULT VALUES"
                                        : "INSERT INTO " + QuoteName(k.table) + " (" + cols + ") VALUES (" + marks + ")");
        for (size_t j = 0; j < set.size(); ++j) s.Bind(int(j + 1), buffer_[set[j]]);
        s.Step();
        const long long rowid = sqlite3_last_insert_rowid(k.db());
        const bool allReached = reached_ == k.Size();
        k.Append(rowid);
        if (allReached) reached_ = k.Size();
    } else if (!set.empty()) {
        std::string assign;
        for (size_t i : set) assign += (assign.empty() ? "" : ", ") + QuoteName(k.columns[i]) + " = ?";
        Transaction t(k.db());
        k.RequireUnchanged(index_);
        Statement s(k.db(), "UPDATE " + QuoteName(k.table) + " SET " + assign + " WHERE rowid = ?");
        for (size_t j = 0; j < set.size(); ++j) s.Bind(int(j + 1), buffer_[set[j]]);
        s.Bind(int(set.size() + 1), k.Id(index_));
        s.Step();
        t.Commit();
        k.rows.Store(index_, buffer_);
    }
    EndEdit();
}

std::unique_ptr<Recordset> Recordset::Clone() const {
    return std::unique_ptr<Recordset>(new Recordset(std::shared_ptr<Keyset>(ks_ ? ks_ : nullptr)));
}

void Recordset::Close() {
    EndEdit();
    ks_.reset();
}

long long Recordset::CurrentKey() const {
    RequireCurrent();
    return ks_->Id(index_);
}

long Recordset::PositionOfKey(long long key) const {
    Keyset& k = ks();
    if (k.order && k.rowids.size() < k.total) k.ReadWhole(); // one pass rather than piece by piece
    for (size_t i = 0; i < k.Size(); ++i)
        if (k.Id(i) == key) return k.IsDead(i) ? -1 : long(k.Rank(i));
    return -1;
}

long Recordset::RowCount() const { return long(ks().Live()); }

long Recordset::MissingRows() const { return long(ks().missing); }

long Recordset::MissingFrom() const { return long(ks().missingFrom); }

Bookmark Recordset::BookmarkAt(long position) const {
    Keyset& k = ks();
    if (position < 0 || size_t(position) >= k.Live()) NoCurrent();
    return {k.id, k.tree.FindLive(size_t(position))};
}

Value Recordset::FieldAt(long position, std::string_view name) const {
    const size_t i = FieldIndex(name);
    return ks_->Row(BookmarkAt(position).index)[i];
}

} // namespace db

