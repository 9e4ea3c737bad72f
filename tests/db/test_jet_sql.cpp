#include "db/JetSql.h"
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
