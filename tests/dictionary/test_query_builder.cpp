#include "dictionary/QueryBuilder.h"

#include <gtest/gtest.h>

using namespace dictionary;

TEST(QueryBuilder, SortTextsAreExactlyTheDictionarysOwn) {
    EXPECT_EQ(BuildSortSql("ab", "", true, true), "Select * From Vokabis where Engleski LIKE 'ab*'Order By Engleski Asc");
    EXPECT_EQ(BuildSortSql("dog", "pas", false, false),
              "Select * From Vokabis where Hrvatski LIKE 'pas*'And Engleski LIKE 'dog*'Order By Hrvatski Desc");
    EXPECT_EQ(BuildSortSql("o'clock", "", false, true),
              "Select * From Vokabis where Engleski LIKE 'o''clock*'Order By Hrvatski Asc");
    QString tail = "old";
    EXPECT_EQ(BuildSortSql("", "", true, true, &tail), "Select * From Vokabis Order By Engleski Asc");
    EXPECT_EQ(tail, "Order By Engleski Asc");
    EXPECT_EQ(BuildSortSql("", "čaj", true, false, &tail),
              "Select * From Vokabis where Hrvatski LIKE 'čaj*'Order By Engleski Desc");
    EXPECT_EQ(tail, "where Hrvatski LIKE 'čaj*'Order By Engleski Desc");
    // Spaces are text for a sort: the condition is kept, spaces and all.
    EXPECT_EQ(BuildSortSql("  ", "", true, true), "Select * From Vokabis where Engleski LIKE '  *'Order By Engleski Asc");
}

TEST(QueryBuilder, FilterTextsFollowTheTypedBoxAndABlankOtherBoxIsIgnored) {
    EXPECT_EQ(BuildFilterSql("ku", "Hrvatski", "ho", "Engleski"),
              "Select * from Vokabis where Hrvatski LIKE 'ku*' and Engleski LIKE 'ho*'");
    EXPECT_EQ(BuildFilterSql("", "Hrvatski", "", "Engleski"), "Select * from Vokabis where Hrvatski LIKE '*'");
    EXPECT_EQ(BuildFilterSql("a", "Engleski", "   ", "Hrvatski"), "Select * from Vokabis where Engleski LIKE 'a*'");
    // The other box's text goes in as typed once it is not blank; a tab is not blank.
    EXPECT_EQ(BuildFilterSql("a", "Engleski", " b ", "Hrvatski"),
              "Select * from Vokabis where Engleski LIKE 'a*' and Hrvatski LIKE ' b *'");
    EXPECT_EQ(BuildFilterSql("a", "Engleski", "\t", "Hrvatski"),
              "Select * from Vokabis where Engleski LIKE 'a*' and Hrvatski LIKE '\t*'");
    EXPECT_EQ(BuildFilterSql("it's", "Engleski", "'", "Hrvatski"),
              "Select * from Vokabis where Engleski LIKE 'it''s*' and Hrvatski LIKE '''*'");
    EXPECT_EQ(EscapeQuotes("''[a]*"), "''''[a]*"); // pattern characters keep their meaning
}
