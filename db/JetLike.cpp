#include "db/JetLike.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <vector>

namespace db {

std::u32string Fold(std::string_view s) {
    std::u32string out;
    out.reserve(s.size());
    int32_t i = 0;
    const auto n = static_cast<int32_t>(s.size());
    while (i < n) {
        UChar32 c;
        U8_NEXT(s.data(), i, n, c);
        if (c < 0) c = 0xFFFD; // invalid byte: keep a placeholder, never read past the end
        out.push_back(static_cast<char32_t>(u_foldCase(c, U_FOLD_CASE_DEFAULT)));
    }
    return out;
}

namespace {

struct Item {
    enum Kind { Literal, Any, Run, Digit, Set } kind;
    char32_t ch = 0;
    bool negated = false;
    std::vector<std::pair<char32_t, char32_t>> ranges;
};

std::vector<Item> Compile(const std::u32string& p) {
    std::vector<Item> items;
    for (size_t i = 0; i < p.size(); ++i) {
        const char32_t c = p[i];
        if (c == U'*') {
            if (items.empty() || items.back().kind != Item::Run) items.push_back({Item::Run});
        } else if (c == U'?') {
            items.push_back({Item::Any});
        } else if (c == U'#') {
            items.push_back({Item::Digit});
        } else if (c == U'[') {
            Item it{Item::Set};
            size_t j = i + 1;
            if (j < p.size() && p[j] == U'!') { it.negated = true; ++j; }
            const size_t first = j;
            // "]" right after "[" or "[!" is a literal member, as in Jet's "[]]".
            while (j < p.size() && (p[j] != U']' || j == first)) {
                char32_t lo = p[j], hi = p[j];
                if (j + 2 < p.size() && p[j + 1] == U'-' && p[j + 2] != U']') {
                    hi = p[j + 2];
                    j += 2;
                    if (hi < lo) throw PatternError("Neispravan raspon u uzorku");
                }
                it.ranges.emplace_back(lo, hi);
                ++j;
            }
            if (j >= p.size()) throw PatternError("Uzorak ima nezatvorenu uglatu zagradu \"[\"");
            items.push_back(std::move(it));
            i = j;
        } else {
            Item it{Item::Literal};
            it.ch = c;
            items.push_back(it);
        }
    }
    return items;
}

bool MatchOne(const Item& it, char32_t c) {
    switch (it.kind) {
    case Item::Literal: return it.ch == c;
    case Item::Any: return true;
    case Item::Digit: return u_isdigit(static_cast<UChar32>(c));
    case Item::Set: {
        bool in = false;
        for (auto [lo, hi] : it.ranges)
            if (c >= lo && c <= hi) { in = true; break; }
        return in != it.negated;
    }
    case Item::Run: break;
    }
    return false;
}

} // namespace

bool JetLike(std::string_view pattern, std::string_view text) {
    const auto items = Compile(Fold(pattern));
    const auto t = Fold(text);
    // Greedy matching with one backtrack point per "*": linear in practice, never exponential.
    size_t pi = 0, ti = 0, starP = SIZE_MAX, starT = 0;
    while (ti < t.size()) {
        if (pi < items.size() && items[pi].kind == Item::Run) {
            starP = pi++;
            starT = ti;
        } else if (pi < items.size() && MatchOne(items[pi], t[ti])) {
            ++pi;
            ++ti;
        } else if (starP != SIZE_MAX) {
            pi = starP + 1;
            ti = ++starT;
        } else {
            return false;
        }
    }
    while (pi < items.size() && items[pi].kind == Item::Run) ++pi;
    return pi == items.size();
}

} // namespace db
