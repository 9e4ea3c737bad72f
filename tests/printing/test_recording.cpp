#include "db/Errors.h"
#include "printing/RecordingTarget.h"

#include <gtest/gtest.h>

using printing::RecordingTarget;

TEST(RecordingTarget, PrintGoesToTheNextLineAndMeasuresCharactersNotBytes) {
    RecordingTarget t;
    t.FontSize = 10;
    EXPECT_EQ(t.TextWidth("žaba"), t.TextWidth("abcd")); // four letters, five bytes
    t.CurrentX = 500;
    t.CurrentY = 1000;
    t.Print("čaj");
    t.FontBold = true;
    t.Print("tea");
    const auto texts = t.Texts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0].x, 500);
    EXPECT_EQ(texts[0].y, 1000);
    EXPECT_EQ(texts[1].x, 0);
    EXPECT_EQ(texts[1].y, 1000 + t.TextHeight("čaj"));
    EXPECT_TRUE(texts[1].bold);
    EXPECT_FALSE(texts[0].bold);
    EXPECT_GT(t.TextWidth("tea"), 300); // bold is wider
}

TEST(RecordingTarget, PagesAndPrinterFailures) {
    RecordingTarget t;
    t.Print("1");
    t.NewPage();
    t.Print("2");
    t.NewPage();
    t.EndDoc(); // no blank sheet after the last page break
    EXPECT_EQ(t.Pages(), 2);
    t.failNewPage = true;
    try {
        t.NewPage();
        FAIL();
    } catch (const db::EngineError& e) {
        EXPECT_EQ(e.code, 482);
    }
    EXPECT_EQ(t.Caps().Get(88), 600);
    EXPECT_EQ(t.Caps().Get(113), 120);
}
