#include "db/JetLike.h"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <algorithm>

namespace db {

std::string Utf8(const std::u32string& text) {
    std::string out;
    out.reserve(text.size());
    for (char32_t c : text) {
        uint8_t buf[4];
        int32_t n = 0;
        UBool err = false;
        U8_APPEND(buf, n, 4, static_cast<UChar32>(c), err);
        if (err) out += "\xEF\xBF\xBD"; // no such character (a surrogate, past U+10FFFF): U+FFFD stands in
        else out.append(reinterpret_cast<char*>(buf), size_t(n));
    }
    return out;
}

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

bool LikePattern::Item::Accepts(char32_t c) const {
    switch (kind) {
    case Literal: return ch == c;
    case Any: return true;
    case Digit: return u_isdigit(static_cast<UChar32>(c));
    case Set: {
        bool in = false;
        for (auto [lo, hi] : ranges)
            if (c >= lo && c <= hi) { in = true; break; }
        return in != negated;
    }
    }
    return false;
}

LikePattern::LikePattern(std::string_view pattern) {
    const std::u32string p = Fold(pattern);
    std::vector<size_t> runs; // item indexes a "*" stands before
    for (size_t i = 0; i < p.size(); ++i) {
        const char32_t c = p[i];
        if (c == U'*') {
            if (runs.empty() || runs.back() != items_.size()) runs.push_back(items_.size());
        } else if (c == U'?') {
            items_.push_back({Item::Any});
        } else if (c == U'#') {
            items_.push_back({Item::Digit});
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
            items_.push_back(std::move(it));
            i = j;
        } else {
            Item it{Item::Literal};
            it.ch = c;
            items_.push_back(it);
        }
    }
    words_ = items_.size() / 64 + 1; // one bit per item and one for "all matched"
    runs_.assign(words_, 0);
    for (size_t r : runs) runs_[r / 64] |= uint64_t(1) << (r % 64);
}

const uint64_t* LikePattern::Mask(char32_t c) const {
    if (auto it = maskAt_.find(c); it != maskAt_.end()) return &masks_[it->second];
    if (masks_.size() > (size_t(1) << 22)) { // a text of very many different characters: start over
        masks_.clear();
        maskAt_.clear();
    }
    const size_t at = masks_.size();
    masks_.resize(at + words_, 0);
    for (size_t i = 0; i < items_.size(); ++i)
        if (items_[i].Accepts(c)) masks_[at + i / 64] |= uint64_t(1) << (i % 64);
    maskAt_.emplace(c, at);
    return &masks_[at];
}

bool LikePattern::Matches(std::string_view text) const {
    const size_t m = items_.size();
    // Every item takes one character and a character takes at least one byte.
    if (text.size() < m) return false;
    state_.assign(words_, 0);
    next_.assign(words_, 0);
    state_[0] = 1;
    size_t lo = 0; // words below it are empty for good: the set only moves up
    int32_t i = 0;
    const auto n = static_cast<int32_t>(text.size());
    for (size_t read = 0; i < n; ++read) {
        UChar32 raw;
        U8_NEXT(text.data(), i, n, raw);
        if (raw < 0) raw = 0xFFFD;
        const uint64_t* mask = Mask(static_cast<char32_t>(u_foldCase(raw, U_FOLD_CASE_DEFAULT)));
        // After `read` characters no position past `read` can be reached.
        const size_t hi = std::min(words_ - 1, (read + 1) / 64);
        uint64_t carry = 0;
        bool any = false;
        for (size_t w = lo; w <= hi; ++w) {
            const uint64_t advanced = state_[w] & mask[w];
            next_[w] = (advanced << 1) | carry | (state_[w] & runs_[w]);
            carry = advanced >> 63;
            any = any || next_[w] != 0;
        }
        if (!any) return false;
        std::swap(state_, next_);
        while (state_[lo] == 0) ++lo;
    }
    return (state_[m / 64] >> (m % 64)) & 1;
}

bool JetLike(std::string_view pattern, std::string_view text) { return LikePattern(pattern).Matches(text); }

} // namespace db
