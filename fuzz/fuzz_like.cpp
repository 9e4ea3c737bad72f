// The LIKE matcher and the prefix rewrite on arbitrary input. Besides not crashing:
// - a prefix pattern matches exactly the texts whose folded form starts with the folded prefix
//   (the prefix index answers such searches on that promise);
// - the matcher, which follows every pattern position at once, agrees with a plain table over
//   (pattern item, text character) built from the same one-character items.
#include "db/JetLike.h"
#include "db/JetSql.h"

#include <unicode/utf8.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// The pattern cut into its items; "*" stays a token of its own. Only for patterns that compiled.
std::vector<std::string> Items(const std::string& pattern) {
    const std::u32string p = db::Fold(pattern);
    std::vector<std::string> items;
    for (size_t i = 0; i < p.size(); ++i) {
        size_t end = i + 1;
        if (p[i] == U'[') {
            size_t j = i + 1;
            if (j < p.size() && p[j] == U'!') ++j;
            const size_t first = j;
            while (p[j] != U']' || j == first) ++j;
            end = j + 1;
        }
        items.push_back(db::Utf8(p.substr(i, end - i)));
        i = end - 1;
    }
    return items;
}

bool ByTable(const std::vector<std::string>& items, const std::u32string& text) {
    // at[j]: the first i items can match the first j characters.
    std::vector<char> at(text.size() + 1, 0), next(text.size() + 1);
    at[0] = 1;
    for (const std::string& item : items) {
        if (item == "*") {
            for (size_t j = 1; j <= text.size(); ++j) at[j] = at[j] || at[j - 1];
            continue;
        }
        const db::LikePattern one(item);
        next.assign(text.size() + 1, 0);
        for (size_t j = 1; j <= text.size(); ++j)
            next[j] = at[j - 1] && one.Matches(db::Utf8(text.substr(j - 1, 1)));
        at.swap(next);
    }
    return at[text.size()];
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t cut = input.find('\0');
    const std::string pattern = input.substr(0, cut);
    const std::string text = cut == std::string::npos ? std::string() : input.substr(cut + 1);
    try {
        const bool match = db::JetLike(pattern, text);
        if (pattern.size() > 1 && pattern.back() == '*' && pattern.find_first_of("*?#[") == pattern.size() - 1) {
            const std::string prefix = db::FoldKey(pattern.substr(0, pattern.size() - 1));
            const bool inRange = prefix.empty() || db::FoldKey(text).compare(0, prefix.size(), prefix) == 0;
            if (!prefix.empty() && match != inRange) std::abort();
        }
        const std::u32string folded = db::Fold(text);
        const auto items = Items(pattern);
        if (items.size() * folded.size() < 20000 && ByTable(items, folded) != match) std::abort();
    } catch (const db::PatternError&) {
    }
    (void)db::AddPrefixRanges(input);
    return 0;
}
