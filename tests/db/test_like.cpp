#include "db/JetLike.h"

#include <gtest/gtest.h>

using db::JetLike;

TEST(JetLike, WildcardsAndSets) {
    EXPECT_TRUE(JetLike("ab*", "abacus"));
    EXPECT_FALSE(JetLike("ab*", "cab"));
    EXPECT_TRUE(JetLike("*", ""));
    EXPECT_TRUE(JetLike("?at", "cat"));
    EXPECT_FALSE(JetLike("?at", "at"));
    EXPECT_TRUE(JetLike("a#c", "a7c"));
    EXPECT_FALSE(JetLike("a#c", "abc"));
    EXPECT_TRUE(JetLike("[a-c]x", "bx"));
    EXPECT_FALSE(JetLike("[!a]x", "ax"));
    EXPECT_TRUE(JetLike("[!a]x", "zx"));
    EXPECT_TRUE(JetLike("o'clock*", "o'clock tower"));
    EXPECT_TRUE(JetLike("*a*b*c", "xxaxxbxxc"));
    EXPECT_FALSE(JetLike("*a*b*c", "xxaxxbxxcx"));
}

TEST(JetLike, CroatianCaseFolding) {
    EXPECT_TRUE(JetLike("Č*", "čaša"));
    EXPECT_TRUE(JetLike("đa*", "ĐAK"));
    EXPECT_TRUE(JetLike("[š-ž]*", "Žaba"));
    EXPECT_FALSE(JetLike("c*", "čaša"));
}

TEST(JetLike, MalformedPatternRaises) {
    EXPECT_THROW(JetLike("[ab*", "a"), db::PatternError);
    EXPECT_THROW(JetLike("[z-a]", "b"), db::PatternError);
}
