#include "db/Recordset.h"

#include "db/Counts.h"
#include "db/Database.h"
#include "db/JetSql.h"
#include "db/Sqlite.h"

#include <algorithm>
#include <atomic>
#include <optional>
#include <cctype>
#include <string_view>
#include <unordered_map>

namespace db {
namespace {

std::atomic<uint64_t> nextKeysetId{1};

[[noreturn]] void NoCurrent() { throw EngineError(kNoCurrentRecord, "Nema tekućeg zapisa."); }


// Counts deleted rows below an index, and finds the k-th live row, in O(log n). Nothing is
// allocated before the first deletion: most lists never have one.
class DeadTree {
public:
    void Reset(size_t n) {
        size_ = n;
        t_.clear();
        total_ = 0;
    }
    void PushBack() {
        ++size_;
        if (t_.empty()) return;
        const size_t i = size_; // 1-based index of the new node
        const size_t low = i & (~i + 1);
        t_.push_back(Prefix(i - 1) - Prefix(i - low));
    }
    void Mark(size_t index) {
        if (t_.empty()) t_.assign(size_ + 1, 0);
        for (size_t i = index + 1; i < t_.size(); i += i & (~i + 1)) ++t_[i];
        ++total_;
    }
    size_t Prefix(size_t count) const { // deleted among indexes [0, count)
        if (total_ == 0) return 0;
        size_t s = 0;
        for (size_t i = count; i > 0; i -= i & (~i + 1)) s += t_[i];
        return s;
    }
    size_t total() const { return total_; }
    size_t size() const { return size_; }
    size_t FindLive(size_t k) const { // index of the live row with rank k
        if (total_ == 0) return k;
        size_t pos = 0, step = 1;
        while (step * 2 <= size()) step *= 2;
        for (; step; step /= 2) {
            if (pos + step <= size()) {
                const size_t live = step - t_[pos + step];
                if (live <= k) {
                    pos += step;
                    k -= live;
                }
            }
        }
        return pos;
    }

private:
    std::vector<size_t> t_; // 1-based; empty while nothing is deleted
    size_t size_ = 0;
    size_t total_ = 0;
};

// Plain scanning of query text: the text may come from the file, so nothing here may recurse
// or run long on it.
bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }
bool IsWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }
size_t SkipSpace(const std::string& s, size_t i) {
    while (i < s.size() && IsSpace(s[i])) ++i;
    return i;
}
// The keyword at i (any case), returning the index after it, or npos. A keyword ends a word.
size_t Keyword(const std::string& s, size_t i, std::string_view word) {
    if (s.size() - std::min(i, s.size()) < word.size()) return std::string::npos;
    for (size_t k = 0; k < word.size(); ++k)
        if (std::tolower(static_cast<unsigned char>(s[i + k])) != word[k]) return std::string::npos;
    i += word.size();
    return i < s.size() && IsWordChar(s[i]) ? std::string::npos : i;
}
// A name, optionally in double quotes, at i: its end, with the name itself in *name.
size_t Name(const std::string& s, size_t i, std::string* name) {
    const bool quoted = i < s.size() && s[i] == '"';
    size_t j = i + (quoted ? 1 : 0), start = j;
    while (j < s.size() && IsWordChar(s[j])) ++j;
    if (j == start) return std::string::npos;
    if (name) *name = s.substr(start, j - start);
    if (quoted && (j >= s.size() || s[j] != '"')) return std::string::npos;
    return j + (quoted ? 1 : 0);
}
// "select" blanks "*" blanks "from", then a word boundary: the index after "from", or npos.
size_t SelectAllFrom(const std::string& s) {
    size_t i = Keyword(s, SkipSpace(s, 0), "select");
    if (i == std::string::npos || i >= s.size() || !IsSpace(s[i])) return std::string::npos;
    i = SkipSpace(s, i);
    if (i >= s.size() || s[i] != '*') return std::string::npos;
    const size_t after = SkipSpace(s, i + 1);
    if (after == i + 1) return std::string::npos;
    return Keyword(s, after, "from");
}

// A saved query read whole is run as its own text, so that the keys come from an index alone.
// Only a short text without comments is taken so: anything else runs through the view itself,
// which gives the same rows.
std::string ViewBody(sqlite3* db, const std::string& sql) {
    constexpr size_t kLongest = 4096;
    if (sql.size() > 200) return sql;
    size_t i = SelectAllFrom(sql);
    std::string name;
    if (i == std::string::npos || i >= sql.size() || !IsSpace(sql[i])) return sql;
    i = Name(sql, SkipSpace(sql, i), &name);
    if (i == std::string::npos || SkipSpace(sql, i) != sql.size()) return sql;
    Statement s(db, "SELECT sql FROM sqlite_master WHERE type = 'view' AND name = ? COLLATE NOCASE");
    s.Bind(1, name);
    if (!s.Step()) return sql;
    const std::string text = CStr(s.Column(0));
    if (text.size() > kLongest || text.find("--") != std::string::npos || text.find("/*") != std::string::npos) return sql;
    // create view <name> as select<blank>...
    size_t j = Keyword(text, SkipSpace(text, 0), "create");
    if (j == std::string::npos || j >= text.size() || !IsSpace(text[j])) return sql;
    j = Keyword(text, SkipSpace(text, j), "view");
    if (j == std::string::npos || j >= text.size() || !IsSpace(text[j])) return sql;
    j = Name(text, SkipSpace(text, j), nullptr);
    if (j == std::string::npos || j >= text.size() || !IsSpace(text[j])) return sql;
    j = Keyword(text, SkipSpace(text, j), "as");
    if (j == std::string::npos || j >= text.size() || !IsSpace(text[j])) return sql;
    j = SkipSpace(text, j);
    const size_t body = j;
    j = Keyword(text, j, "select");
    if (j == std::string::npos || j >= text.size() || !IsSpace(text[j])) return sql;
    return text.substr(body);
}

} // namespace

struct Keyset {
    static constexpr size_t kPage = 16; // a screenful of the grid as the window opens: read before it paints
    static constexpr size_t kFirstIds = 1024; // more than a screenful, read when the query runs
    std::shared_ptr<Connection> conn;
    uint64_t id = nextKeysetId++;
    std::string table;
    std::vector<std::string> fields;  // as the query names them
    std::vector<std::string> columns; // the table's columns behind them
    // The query's ids are read in its order as far as they are needed; how many it gave is
    // counted when it runs. The ids after the query's own are the rows added since.
    std::string keysSql, countSql;
    // When keysSql reads a letter's range that leaves some spellings out: the query that finds
    // rows spelled so, and the keys in the order of a sort, to read instead if there are any.
    std::string apartSql, sortedKeysSql;
    int keyColumn = 0;
    size_t total = 0;               // rows the query gave
    std::vector<long long> rowids;  // the query's ids read so far
    std::vector<long long> added;
    // The file as the query saw it: while it is unchanged, running the query again gives
    // the same ids in the same order, so the rest can be read on without a statement held open.
    long long dataVersion = 0, ownChanges = 0, largestId = 0;
    std::vector<char> dead;
    DeadTree tree;
    size_t missing = 0, missingFrom = 0; // rows the count promised and the query lacked, and where they began
    std::unordered_map<size_t, std::vector<std::vector<Value>>> pages;
    std::unique_ptr<Statement> fetch;

    sqlite3* db() const { return conn->handle(); }
    size_t Size() const { return total + added.size(); }
    size_t Live() const { return Size() - tree.total(); }
    size_t Rank(size_t index) const { return index - tree.Prefix(index); }
    bool IsDead(size_t index) const { return index < dead.size() && dead[index] != 0; }

    // Runs the query: its first ids, and when there are more, how many, all as of one moment.
    void Start() {
        auto keys = std::make_unique<Statement>(db(), keysSql);
        bool more = keys->Step();
        if (!apartSql.empty()) {
            // Asked while the keys' statement is open: of the same state of the file.
            Statement apart(db(), apartSql);
            if (apart.Step()) {
                keysSql = sortedKeysSql;
                keys = std::make_unique<Statement>(db(), keysSql);
                more = keys->Step();
            }
        }
        for (; more && rowids.size() < kFirstIds; more = keys->Step()) rowids.push_back(keys->Int(keyColumn));
        total = rowids.size();
        if (more) {
            // The id statement is still open, so these read the same state of the file.
            Statement count(db(), countSql);
            count.Step();
            total = size_t(count.Int(0));
            Statement largest(db(), "SELECT max(rowid) FROM " + QuoteName(table));
            largest.Step();
            largestId = largest.Int(0);
            dataVersion = DataVersion();
            ownChanges = sqlite3_total_changes(db());
        }
        tree.Reset(total);
    }
    // Which of the query's columns is the table's row key (an alias of its row id); -1 if none.
    int KeyColumn() const {
        Statement info(db(), "PRAGMA table_info(" + QuoteName(table) + ")");
        std::string key;
        int keys = 0;
        while (info.Step()) {
            if (info.Int(5) > 0) {
                ++keys;
                key = std::get<std::string>(info.Column(1));
                const Value type = info.Column(2);
                if (IsNull(type) || std::get<std::string>(type).empty() ||
                    std::toupper(static_cast<unsigned char>(std::get<std::string>(type)[0])) != 'I')
                    keys = 2; // not a row-id alias
            }
        }
        for (size_t i = 0; keys == 1 && i < columns.size(); ++i)
            if (columns[i] == key) return int(i);
        return -1;
    }
    long long DataVersion() const {
        Statement v(db(), "PRAGMA data_version");
        v.Step();
        return v.Int(0);
    }
    long long Id(size_t index) {
        if (index >= total) return added[index - total];
        if (index >= rowids.size()) ReadIds(index + 1);
        return rowids[index];
    }
    // Reads on until at least `count` of the query's ids are known (all of them once anything
    // changed: the query then runs on the file as it is, which is done only once).
    void ReadIds(size_t count) {
        if (DataVersion() == dataVersion && sqlite3_total_changes(db()) == ownChanges) {
            const size_t want = std::min(total, std::max(count + kPage, rowids.size() * 2));
            Statement keys(db(), keysSql);
            for (size_t skip = rowids.size(); skip > 0 && keys.Step();) --skip;
            while (rowids.size() < want && keys.Step()) rowids.push_back(keys.Int(keyColumn));
            if (keys.Finished() && rowids.size() < total) EndsShort();
        } else {
            // Rows the query did not give then are left out: those already read, and those
            // added since (ids only grow). Rows gone since read as empty, at the end.
            std::vector<long long> seen(rowids);
            std::sort(seen.begin(), seen.end());
            Statement keys(db(), keysSql);
            while (rowids.size() < total && keys.Step()) {
                const long long id = keys.Int(keyColumn);
                if (id <= largestId && !std::binary_search(seen.begin(), seen.end(), id)) rowids.push_back(id);
            }
            rowids.resize(total, 0); // a row gone reads as Null
            return;
        }
        rowids.resize(std::max(rowids.size(), std::min(count, total)), 0);
    }

    // The query ran out before its count (stored counts written past their triggers): the
    // rows it does not have are not in the list, and no list trusts the counts again this run.
    void EndsShort() {
        DistrustCounts();
        const size_t found = rowids.size();
        missingFrom = Rank(found);
        const size_t before = tree.total();
        rowids.resize(total, 0);
        for (size_t i = found; i < total; ++i) Kill(i);
        missing += tree.total() - before;
    }

    void Append(long long rowid) {
        added.push_back(rowid);
        tree.PushBack();
        // A page already read keeps what it showed; the new row joins it as it is now.
        const size_t index = Size() - 1;
        if (auto it = pages.find(index / kPage); it != pages.end()) it->second.push_back(Read(rowid).value_or(Nulls()));
    }
    void Kill(size_t index) {
        if (dead.size() < Size()) dead.resize(Size(), 0);
        if (!dead[index]) {
            dead[index] = 1;
            tree.Mark(index);
        }
    }
    const std::vector<Value>& Row(size_t index) {
        auto it = pages.find(index / kPage);
        if (it == pages.end()) {
            if (pages.size() > 512) pages.clear(); // bounded memory on long scrolls
            std::vector<std::vector<Value>> page;
            const size_t first = index / kPage * kPage;
            for (size_t i = first; i < std::min(first + kPage, Size()); ++i)
                page.push_back(Read(Id(i)).value_or(Nulls())); // a row gone from the table reads as Null
            it = pages.emplace(index / kPage, std::move(page)).first;
        }
        return it->second[index % kPage];
    }
    std::vector<Value> Nulls() const { return std::vector<Value>(columns.size()); }
    // The row as the table holds it now; nothing when it is gone.
    std::optional<std::vector<Value>> Read(long long rowid) {
        if (!fetch) {
            std::string sql = "SELECT ";
            for (size_t i = 0; i < columns.size(); ++i) sql += (i ? ", " : "") + QuoteName(columns[i]);
            fetch = std::make_unique<Statement>(db(), sql + " FROM " + QuoteName(table) + " WHERE rowid = ?");
        }
        fetch->Reset();
        fetch->Bind(1, rowid);
        std::optional<std::vector<Value>> row;
        if (fetch->Step()) {
            row.emplace(columns.size());
            for (size_t c = 0; c < columns.size(); ++c) (*row)[c] = fetch->Column(int(c));
        }
        fetch->Reset();
        return row;
    }
    // What this record set last read of a row: the optimistic lock a write checks against.
    // Called inside the write's transaction, so nobody can change the row in between.
    void RequireUnchanged(size_t index) {
        const std::vector<Value> seen = Row(index);
        if (Read(Id(index)) != seen)
            throw EngineError(kRowChanged, "Drugi program je u međuvremenu promijenio ili izbrisao ovaj par riječi; "
                                           "ništa nije spremljeno. Popis sada pokazuje stanje u datoteci.");
    }
    void Store(size_t index, std::vector<Value> row) {
        if (auto it = pages.find(index / kPage); it != pages.end()) it->second[index % kPage] = std::move(row);
    }
};

Recordset::Recordset(std::shared_ptr<Connection> conn, const std::string& sql) {
    auto ks = std::make_shared<Keyset>();
    ks->conn = std::move(conn);
    sqlite3* db = ks->db();
    const std::string base = ViewBody(db, sql);
    std::string apart, counted;
    const std::string runnable = AddPrefixRanges(InTypedOrder(base, &apart, &counted));
    // Learn which table the rows come from and which column is its row key.
    int keyColumn = -1;
    {
        Statement probe(db, runnable);
        for (int i = 0; i < probe.ColumnCount(); ++i) {
            const char* table = sqlite3_column_table_name(probe.get(), i);
            const char* origin = sqlite3_column_origin_name(probe.get(), i);
            if (!table || !origin || (!ks->table.empty() && ks->table != table))
                throw EngineError(kNotUpdatable, "Upit ne daje zapise jedne tablice pa se ne može uređivati.");
            ks->table = table;
            ks->fields.push_back(probe.ColumnName(i));
            ks->columns.push_back(origin);
        }
        if (ks->table.empty()) throw EngineError(kNotUpdatable, "Upit ne daje nijedno polje.");
        keyColumn = ks->KeyColumn();
        if (keyColumn < 0)
            throw EngineError(kNotUpdatable, "Upit ne daje ključ zapisa tablice " + ks->table + " pa se ne može uređivati.");
    }
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

void Recordset::DeleteRows(const std::vector<Bookmark>& rows) {
    EndEdit();
    Keyset& k = ks();
    for (const Bookmark& b : rows) {
        if (b.keyset != k.id || b.index >= k.Size()) throw EngineError(kBadBookmark, "Oznaka zapisa ne pripada ovom popisu.");
        if (k.IsDead(b.index)) throw EngineError(kRecordDeleted, "Zapis je izbrisan.");
    }
    {
        std::vector<size_t> named;
        named.reserve(rows.size());
        for (const Bookmark& b : rows) named.push_back(b.index);
        std::sort(named.begin(), named.end());
        if (std::adjacent_find(named.begin(), named.end()) != named.end())
            throw EngineError(kBadBookmark, "Isti je zapis naveden dvaput; ništa nije izbrisano.");
    }
    RefuseIfReadOnly();
    Transaction t(k.db());
    // Every id is known before the first row goes: the list reads on from the file as it was.
    // A row the list has shown goes only as it was shown; one never read has nothing to compare.
    std::vector<long long> ids;
    ids.reserve(rows.size());
    for (const Bookmark& b : rows) {
        if (k.pages.count(b.index / Keyset::kPage)) k.RequireUnchanged(b.index);
        ids.push_back(k.Id(b.index));
    }
    // Most of a long list: the table's indexes and stored counts are taken away and made again
    // from the rows that stay, in the same transaction; far less work than keeping them up row
    // by row (a whole dictionary of 120,000 pairs: under a second instead of six).
    std::vector<std::string> remake;
    bool counts = false;
    if (rows.size() >= 1000 && rows.size() * 4 >= k.Live()) {
        std::vector<std::string> names;
        {
            Statement idx(k.db(), "SELECT name, sql FROM sqlite_master WHERE type = 'index' AND tbl_name = ? AND sql IS NOT NULL");
            idx.Bind(1, k.table);
            while (idx.Step()) {
                names.push_back(CStr(idx.Column(0)));
                remake.push_back(CStr(idx.Column(1)));
            }
            Statement has(k.db(), "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'VokabisBrojevi'");
            has.Step();
            counts = k.table == "Vokabis" && has.Int(0) > 0;
        }
        if (counts) DropCounts(k.db());
        for (const std::string& name : names) ExecSql(k.db(), "DROP INDEX " + QuoteName(name));
    }
    {
        Statement s(k.db(), "DELETE FROM " + QuoteName(k.table) + " WHERE rowid = ?");
        for (const long long id : ids) {
            s.Reset();
            s.Bind(1, id);
            s.Step();
        }
    }
    for (const std::string& sql : remake) ExecSql(k.db(), sql);
    if (counts) CreateCounts(k.db());
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
        k.Store(index_, buffer_);
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
