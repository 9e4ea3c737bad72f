// The ids of a list in a total order, read in pieces where they are needed.
#include "db/Keyset.h"

#include "db/JetSql.h"
#include "db/JetTokens.h"

#include <algorithm>
#include <cctype>
#include <iterator>

namespace db {
namespace {

// Where a piece is read from: an end of the list, or a row already known, with the rows the
// engine passes over before the piece.
struct From {
    size_t skip = 0;
    bool reverse = false;
    bool seek = false; // on from the anchor, not from an end
    long long anchor = 0;
    Value term;
    bool fromEnd = false;
};

// Stops a statement once it has run about as many steps as a walk passing `rows` index entries
// takes (each a look-up of the row and the letter's test).
class WalkBudget {
public:
    static constexpr int kStepsPerRow = 8; // measured: 5 to 7 engine instructions
    WalkBudget(sqlite3* db, size_t rows) : db_(db), left_(rows) { sqlite3_progress_handler(db, kStepsPerRow, &Tick, this); }
    ~WalkBudget() { sqlite3_progress_handler(db_, 0, nullptr, nullptr); }
    WalkBudget(const WalkBudget&) = delete;
    WalkBudget& operator=(const WalkBudget&) = delete;
    bool Spent() const { return spent_; }

private:
    static int Tick(void* self) {
        auto* b = static_cast<WalkBudget*>(self);
        if (b->left_ == 0) return b->spent_ = true, 1;
        --b->left_;
        return 0;
    }
    sqlite3* db_;
    size_t left_;
    bool spent_ = false;
};

// Whether a condition names the column, bare or quoted.
bool MentionsWord(const std::string& text, const std::string& word) {
    for (const JetToken& t : JetTokens(text))
        if (t.Is(word) || (t.kind == JetToken::kName && EqualsNoCase(t.Unquoted(), word))) return true;
    return false;
}

} // namespace

void Keyset::TakeOrder(bool letter) {
    order = KeyOrderOf(keysSql);
    // Sought by its name in the table too: only a column the query gives as itself.
    bool given = false;
    for (size_t i = 0; order && i < fields.size(); ++i)
        given = given || (EqualsNoCase(fields[i], order->column) && EqualsNoCase(columns[i], order->column));
    if (!given) {
        order.reset();
        return;
    }
    keysSql = order->Sql(false);
    if (letter) WalkOrderIndex();
}

void Keyset::WalkOrderIndex() {
    if (!order || order->where.empty() || MentionsWord(order->where, order->column)) return;
    Statement list(db(), "PRAGMA index_list(" + QuoteName(table) + ")");
    while (list.Step()) {
        const std::string name = CStr(list.Column(1));
        Statement info(db(), "PRAGMA index_info(" + QuoteName(name) + ")");
        int columns = 0;
        bool ours = false;
        while (info.Step()) {
            ++columns;
            ours = !IsNull(info.Column(2)) && EqualsNoCase(CStr(info.Column(2)), order->column);
        }
        if (columns == 1 && ours) {
            order->indexedBy = name;
            keysSql = order->Sql(false);
            piece = kWalkIds;
            return;
        }
    }
}

long long Keyset::PieceId(size_t index) {
    const size_t number = index / piece;
    if (!pieces.count(number) && !ReadPiece(number)) return rowids[index]; // read whole instead
    return pieces.at(number).ids[index - number * piece];
}

bool Keyset::ReadPiece(size_t number) {
    if (Changed()) return ReadWhole(), false;
    const size_t first = number * piece, n = std::min(piece, total - first);
    // The nearer end, or the nearest piece known, whichever leaves the engine fewer rows to pass.
    From from{first, false, false, 0, {}, false};
    if (total - first - n < from.skip) from = {total - first - n, true, false, 0, {}, true};
    Statement term(db(), "SELECT " + order->column + " FROM " + QuoteName(table) + " WHERE rowid = ?");
    auto consider = [&](size_t skip, bool reverse, long long anchor, bool fromEnd) {
        if (skip >= from.skip) return;
        term.Reset();
        term.Bind(1, anchor);
        if (!term.Step() || IsNull(term.Column(0))) return; // Null sorts apart: no seek past it
        from = {skip, reverse, true, anchor, term.Column(0), fromEnd};
    };
    const auto above = pieces.upper_bound(number);
    if (above != pieces.end())
        consider(above->first * piece - first - n, true, above->second.ids.front(), above->second.fromEnd);
    if (above == pieces.begin()) consider(first - rowids.size(), false, rowids.back(), false);
    else consider(first - std::prev(above)->first * piece - std::prev(above)->second.ids.size(), false,
                  std::prev(above)->second.ids.back(), std::prev(above)->second.fromEnd);
    // Passing rows in a walk costs a look-up each: far from what is known the engine sorts.
    if (!order->indexedBy.empty() && from.skip > 4 * piece) return ReadWhole(), false;
    Statement keys(db(), order->Sql(from.reverse, from.seek) + " LIMIT " + std::to_string(n) + " OFFSET " +
                             std::to_string(from.skip));
    if (from.seek) {
        keys.Bind(1, from.term);
        keys.Bind(2, from.anchor);
    }
    std::optional<std::vector<long long>> read = Walked(keys, n);
    if (!read) return ReadWhole(), false;
    std::vector<long long> ids = std::move(*read);
    if (from.reverse) std::reverse(ids.begin(), ids.end());
    // A count too high shows as a piece cut short, or as pieces placed from the two ends
    // that overlap: the whole list is read then, and the rows it lacks are taken out.
    if (ids.size() < n || !InOrder(number, ids)) return ReadWhole(), false;
    pieces[number] = {std::move(ids), from.fromEnd};
    return true;
}

std::optional<std::vector<long long>> Keyset::Walked(Statement& keys, size_t n) {
    std::vector<long long> ids;
    // Sorting reads about the list's rows; a walk passing more than that (and a screen's worth
    // more) is better left to the sort.
    std::optional<WalkBudget> budget;
    if (!order->indexedBy.empty()) budget.emplace(db(), total + 16 * kWalkIds);
    try {
        while (ids.size() < n && keys.Step()) ids.push_back(keys.Int(keyColumn));
    } catch (const EngineError&) {
        if (budget && budget->Spent()) return std::nullopt;
        throw;
    }
    return ids;
}

bool Keyset::InOrder(size_t number, const std::vector<long long>& ids) {
    const auto above = pieces.upper_bound(number);
    if (above != pieces.end() && !After(ids.back(), above->second.ids.front())) return false;
    return After(above == pieces.begin() ? rowids.back() : std::prev(above)->second.ids.back(), ids.front());
}

bool Keyset::After(long long first, long long then) {
    Statement s(db(), order->AfterSql(table, false));
    s.Bind(1, first);
    s.Bind(2, then);
    return s.Step() && s.Int(0) == 1;
}

void Keyset::ReadWhole() {
    const bool changed = Changed();
    KeyOrder sorted = *order;
    sorted.indexedBy.clear(); // the engine's sort gives the same order
    std::vector<long long> all;
    {
        Statement keys(db(), sorted.Sql(false));
        while (keys.Step()) all.push_back(keys.Int(keyColumn));
    }
    std::vector<long long> ids = changed ? Filled(all) : Placed(all);
    pieces.clear();
    order.reset();
    rowids = std::move(ids);
}

// The file is as the query saw it, so the places read from the start hold; those read from the
// end moved with a count that was wrong. Too high: the places just before them are the rows the
// query lacks. Too low: the rows just before them are left out, as rows past a count always were.
std::vector<long long> Keyset::Placed(const std::vector<long long>& all) {
    size_t end = total;
    for (const auto& [number, p] : pieces)
        if (p.fromEnd) {
            end = number * piece;
            break;
        }
    const long long shift = (long long)total - (long long)all.size();
    std::vector<long long> ids(total, 0);
    for (size_t i = 0; i < total; ++i) {
        const long long from = i < end ? (long long)i : (long long)i - shift;
        if (from >= 0 && from < (long long)all.size() && (i >= end || (long long)i < (long long)end - shift)) ids[i] = all[size_t(from)];
    }
    if (shift > 0) {
        DistrustCounts();
        const size_t lo = size_t(shift) > end ? 0 : end - size_t(shift);
        const size_t hi = size_t(shift) > end ? std::min(total, size_t(shift)) : end;
        missingFrom = Rank(lo);
        const size_t before = tree.total();
        for (size_t i = lo; i < hi; ++i) Kill(i);
        missing += tree.total() - before;
    }
    return ids;
}

// The file changed: the rows the query did not give then are left out, those already read
// and those added since (ids only grow); places left over read as empty rows.
std::vector<long long> Keyset::Filled(const std::vector<long long>& all) const {
    std::vector<long long> ids(total, 0), seen(rowids);
    std::vector<char> known(total, 0);
    std::fill(known.begin(), known.begin() + std::min(total, rowids.size()), 1);
    std::copy(rowids.begin(), rowids.begin() + std::min(total, rowids.size()), ids.begin());
    for (const auto& [number, p] : pieces) {
        std::copy(p.ids.begin(), p.ids.end(), ids.begin() + number * piece);
        std::fill(known.begin() + number * piece, known.begin() + number * piece + p.ids.size(), 1);
        seen.insert(seen.end(), p.ids.begin(), p.ids.end());
    }
    std::sort(seen.begin(), seen.end());
    size_t at = 0;
    for (const long long id : all) {
        if (id > marks.largestId || std::binary_search(seen.begin(), seen.end(), id)) continue;
        while (at < total && known[at]) ++at;
        if (at == total) break;
        ids[at++] = id;
    }
    return ids;
}

} // namespace db
