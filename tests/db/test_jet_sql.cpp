#include "db/JetSql.h"
#include "db/JetTokens.h"
#include "db/QueryText.h"
#include "db/JetTexts.h"

#include <gtest/gtest.h>

// The rewrites give every text what they have always given it: the outputs of 100,000 random
// texts hash to the value the earlier scanners gave.
TEST(JetSql, RewritesGiveWhatTheyAlwaysGave) {
    std::mt19937 rng(20261207);
    uint64_t hash = 14695981039346656037ull;
    auto add = [&](const std::string& s) {
        for (unsigned char c : s + '\0') hash = (hash ^ c) * 1099511628211ull;
    };
    for (int i = 0; i < 100000; ++i) {
        const std::string sql = testing_jet::RandomJet(rng);
        std::string apart, counted;
        add(db::AddPrefixRanges(sql));
        add(db::InTypedOrder(sql));
        add(db::InTypedOrder(sql, &apart, &counted) + apart + '|' + counted);
        add(db::CountSql(sql));
        add(db::StoredCountSql(sql));
        add(std::to_string(db::SelectAllFrom(sql)));
    }
    EXPECT_EQ(hash, 330869131979501105u);
}

// Doubled quotes stay inside their string or name, an unclosed quote takes the rest of the text,
// and every token is the bytes at its place.
TEST(JetSql, TokensAsTheRewritesReadThem) {
    const struct {
        std::string text, tokens;
    } cases[] = {
        {"Engleski LIKE 'it''s*'", "W[Engleski] _[ ] W[LIKE] _[ ] S['it''s*']"},
        {"\"a\"\"b\"x\t'open \"", "N[\"a\"\"b\"] W[x] _[\t] U['open \"]"},
        {"1.5e3 x_1<>y>=z", "D[1] Y[.] D[5e3] _[ ] W[x_1] Y[<>] W[y] Y[>=] W[z]"},
        {"[Engleski]--č;", "Y[[] W[Engleski] Y[]] Y[-] Y[-] Y[č] Y[;]"},
    };
    for (const auto& c : cases) {
        std::string seen, joined;
        for (const db::JetToken& t : db::JetTokens(c.text)) {
            EXPECT_EQ(t.at, joined.size()) << c.text;
            joined += t.text;
            seen += std::string(seen.empty() ? "" : " ") + "_WDSNUY"[t.kind] + "[" + std::string(t.text) + "]";
        }
        EXPECT_EQ(seen, c.tokens);
        EXPECT_EQ(joined, c.text);
    }
    EXPECT_EQ(db::JetTokens("'it''s*'")[0].Unquoted(), "it's*");
    EXPECT_EQ(db::JetTokens("\"a\"\"b\"")[0].Unquoted(), "a\"b");
}
