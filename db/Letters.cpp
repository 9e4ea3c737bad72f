#include "db/Letters.h"

#include <algorithm>
#include <map>
#include <mutex>
#include <unicode/ucol.h>
#include <unicode/uchar.h>
#include <unicode/uset.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>

namespace db {
namespace {

std::string Utf8Of(const std::u16string& s) {
    std::string out;
    for (size_t i = 0; i < s.size();) {
        UChar32 c;
        U16_NEXT(s.data(), i, s.size(), c);
        char buf[4];
        int32_t n = 0;
        U8_APPEND_UNSAFE(buf, n, c);
        out.append(buf, size_t(n));
    }
    return out;
}

// Every string the collation contracts, read once: asking the collator takes milliseconds, more
// than the rest of a keystroke.
struct Collation {
    UCollator* coll = nullptr;
    std::vector<std::u16string> contractions;
};

Collation LoadCollation(const char* locale) {
    Collation c;
    UErrorCode st = U_ZERO_ERROR;
    c.coll = ucol_open(locale, &st);
    if (U_FAILURE(st)) return {};
    USet* set = uset_openEmpty();
    ucol_getContractionsAndExpansions(c.coll, set, nullptr, false, &st);
    const int32_t items = uset_getItemCount(set);
    for (int32_t i = 0; i < items && U_SUCCESS(st); ++i) {
        UChar32 lo, hi;
        UChar text[64];
        const int32_t len = uset_getItem(set, i, &lo, &hi, text, 64, &st);
        if (len > 0) c.contractions.emplace_back(text, text + len);
    }
    uset_close(set);
    if (U_FAILURE(st)) c.contractions.clear();
    return c;
}

const Collation& CollationOf(bool croatian) {
    if (croatian) {
        static const Collation hr = LoadCollation("hr");
        return hr;
    }
    static const Collation root = LoadCollation("");
    return root;
}

void AppendPoint(std::u16string& s, UChar32 c) {
    if (U_IS_BMP(c)) s += char16_t(c);
    else s += {char16_t(U16_LEAD(c)), char16_t(U16_TRAIL(c))};
}

UChar32 FirstOf(const std::u16string& s) {
    UChar32 c;
    int32_t at = 0;
    U16_NEXT(s.data(), at, int32_t(s.size()), c);
    return c;
}

std::optional<std::pair<std::string, std::string>> FindLetterRange(bool croatian, UChar32 letter) {
    const Collation& collation = CollationOf(croatian);
    const UCollator* coll = collation.coll;
    if (!coll || !u_isalpha(letter)) return std::nullopt;
    const UChar32 folded = u_foldCase(letter, U_FOLD_CASE_DEFAULT);
    std::vector<std::u16string> forms;
    UErrorCode st = U_ZERO_ERROR;
    USet* set = uset_openEmpty();
    uset_add(set, folded);
    uset_closeOver(set, USET_CASE_INSENSITIVE);
    const int32_t items = uset_getItemCount(set);
    for (int32_t i = 0; i < items && U_SUCCESS(st); ++i) {
        UChar32 lo, hi;
        UChar text[64];
        const int32_t len = uset_getItem(set, i, &lo, &hi, text, 64, &st);
        if (len > 0) { // a string
            std::u16string form(text, text + len);
            if (u_foldCase(FirstOf(form), U_FOLD_CASE_DEFAULT) == folded) forms.push_back(std::move(form));
        } else {
            for (UChar32 c = lo; c <= hi; ++c) {
                if (u_foldCase(c, U_FOLD_CASE_DEFAULT) != folded) continue;
                std::u16string one;
                AppendPoint(one, c);
                forms.push_back(one);
            }
        }
    }
    uset_close(set);
    for (const std::u16string& c : collation.contractions)
        if (u_foldCase(FirstOf(c), U_FOLD_CASE_DEFAULT) == folded) forms.push_back(c);
    if (U_FAILURE(st) || forms.empty()) return std::nullopt;
    auto less = [&](const std::u16string& a, const std::u16string& b) {
        return ucol_strcoll(coll, a.data(), int32_t(a.size()), b.data(), int32_t(b.size())) == UCOL_LESS;
    };
    const std::u16string low = *std::min_element(forms.begin(), forms.end(), less);
    std::u16string high = *std::max_element(forms.begin(), forms.end(), less);
    high += char16_t(0xFFFF);
    return std::pair{Utf8Of(low), Utf8Of(high)};
}

std::u16string Utf16Of(std::string_view utf8) {
    std::u16string out;
    for (int32_t i = 0, n = int32_t(utf8.size()); i < n;) {
        UChar32 c;
        U8_NEXT(utf8.data(), i, n, c);
        if (c < 0) return {};
        AppendPoint(out, c);
    }
    return out;
}

std::u16string FoldOf(const std::u16string& s) {
    std::u16string out;
    for (size_t i = 0; i < s.size();) {
        UChar32 c;
        U16_NEXT(s.data(), i, s.size(), c);
        AppendPoint(out, u_foldCase(c, U_FOLD_CASE_DEFAULT));
    }
    return out;
}

// The characters that fold to `folded`, itself among them.
std::vector<UChar32> CaseFormsOf(UChar32 folded) {
    std::vector<UChar32> forms;
    USet* set = uset_openEmpty();
    uset_add(set, folded);
    uset_closeOver(set, USET_CASE_INSENSITIVE);
    for (int32_t k = 0, n = uset_size(set); k < n; ++k) {
        const UChar32 form = uset_charAt(set, k);
        if (form >= 0 && u_foldCase(form, U_FOLD_CASE_DEFAULT) == folded) forms.push_back(form);
    }
    uset_close(set);
    return forms;
}

// Every spelling of folded letters in any case, one character for one; none when one of them
// is not a letter.
std::vector<std::u16string> SpellingsOf(const std::u16string& folded) {
    std::vector<std::u16string> spellings = {u""};
    for (size_t i = 0; i < folded.size();) {
        UChar32 c;
        U16_NEXT(folded.data(), i, folded.size(), c);
        if (!u_isalpha(c)) return {};
        std::vector<std::u16string> longer;
        for (const UChar32 form : CaseFormsOf(c)) {
            for (const std::u16string& s : spellings) {
                longer.push_back(s);
                AppendPoint(longer.back(), form);
            }
        }
        spellings = std::move(longer);
    }
    return spellings;
}

std::optional<LetterRanges> FindContractedLetterRanges(bool croatian, const std::string& prefix) {
    const Collation& collation = CollationOf(croatian);
    const std::u16string typed = Utf16Of(prefix);
    const int32_t points = u_countChar32(typed.data(), int32_t(typed.size()));
    if (!collation.coll || points < 2 || points > 3) return std::nullopt;
    const std::u16string folded = FoldOf(typed);
    const auto& all = collation.contractions;
    if (std::none_of(all.begin(), all.end(), [&](const std::u16string& c) { return FoldOf(c) == folded; }))
        return std::nullopt;
    const std::vector<std::u16string> spellings = SpellingsOf(folded);
    if (spellings.empty()) return std::nullopt;
    auto less = [&](const std::u16string& a, const std::u16string& b) {
        return ucol_strcoll(collation.coll, a.data(), int32_t(a.size()), b.data(), int32_t(b.size())) == UCOL_LESS;
    };
    // A term starting with a spelling lies from it to past it followed by U+FFFF, unless its end
    // begins a contraction with what follows: those contractions bound the range as well.
    auto range = [&](const std::vector<std::u16string>& group) {
        std::vector<std::u16string> bounds;
        for (const std::u16string& s : group) {
            bounds.push_back(s);
            for (size_t k = 1; k <= s.size(); ++k) {
                if (U16_IS_TRAIL(s[s.size() - k])) continue;
                const std::u16string_view tail = std::u16string_view(s).substr(s.size() - k);
                for (const std::u16string& c : all)
                    if (c.size() > k && c.starts_with(tail)) bounds.push_back(s.substr(0, s.size() - k) + c);
            }
        }
        std::u16string high = *std::max_element(bounds.begin(), bounds.end(), less);
        high += char16_t(0xFFFF);
        return std::pair{Utf8Of(*std::min_element(bounds.begin(), bounds.end(), less)), Utf8Of(high)};
    };
    std::vector<std::u16string> contracted;
    LetterRanges ranges;
    for (const std::u16string& s : spellings) {
        if (std::find(all.begin(), all.end(), s) != all.end()) contracted.push_back(s);
        else ranges.apart.push_back(range({s}));
    }
    if (contracted.empty()) return std::nullopt;
    ranges.contracted = range(contracted);
    return ranges;
}

} // namespace

std::optional<LetterRanges> ContractedLetterRanges(bool croatian, const std::string& prefix) {
    static std::mutex guard;
    static std::map<std::pair<bool, std::string>, std::optional<LetterRanges>> known;
    const std::lock_guard<std::mutex> lock(guard);
    auto it = known.find({croatian, prefix});
    if (it == known.end()) it = known.emplace(std::pair{croatian, prefix}, FindContractedLetterRanges(croatian, prefix)).first;
    return it->second;
}

std::optional<std::pair<std::string, std::string>> LetterRange(bool croatian, UChar32 letter) {
    static std::mutex guard;
    static std::map<std::pair<bool, UChar32>, std::optional<std::pair<std::string, std::string>>> known;
    const std::lock_guard<std::mutex> lock(guard);
    auto it = known.find({croatian, letter});
    if (it == known.end()) it = known.emplace(std::pair{croatian, letter}, FindLetterRange(croatian, letter)).first;
    return it->second;
}

std::vector<std::string> Spellings(const std::string& utf8) {
    std::vector<std::string> out;
    for (const std::u16string& s : SpellingsOf(FoldOf(Utf16Of(utf8)))) out.push_back(Utf8Of(s));
    return out;
}

std::vector<std::string> CaseForms(UChar32 c) {
    std::vector<std::string> out;
    for (const UChar32 form : CaseFormsOf(u_foldCase(c, U_FOLD_CASE_DEFAULT))) {
        std::u16string text;
        AppendPoint(text, form);
        out.push_back(Utf8Of(text));
    }
    return out;
}

} // namespace db
