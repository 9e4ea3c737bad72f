// The LIKE matcher and the prefix rewrite on arbitrary input. Besides not crashing, a prefix
// pattern must match exactly the texts whose folded form starts with the folded prefix: the
// prefix index answers such searches on that promise.
#include "db/JetLike.h"
#include "db/JetSql.h"

#include <cstdint>
#include <cstdlib>
#include <string>

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
    } catch (const db::PatternError&) {
    }
    (void)db::AddPrefixRanges(input);
    return 0;
}
