#include "ListFixture.h"

#include "printing/Layout.h"
#include "printing/RecordingTarget.h"

#include <gtest/gtest.h>

using printing::PageLayout;
using printing::RecordingTarget;

namespace {
struct Drawn {
    RecordingTarget target;
    std::vector<RecordingTarget::Op> texts;
};
Drawn Draw(const ListFixture& f, int page, int rows = 50) {
    PageLayout layout;
    layout.CountPages(*f.list, int16_t(rows), 1);
    Drawn d;
    layout.DrawPage(d.target, *f.list, page);
    d.texts = d.target.Texts();
    return d;
}
} // namespace

TEST(PageLayout, HeaderAndRowsStandWhereTheSheetSaysAndMoveWithShiftsAndMargins) {
    ListFixture f(3);
    auto d = Draw(f, 1);
    ASSERT_EQ(d.texts.size(), 7u); // the header and three pairs
    const auto& header = d.texts[0];
    EXPECT_EQ(header.text, "Englesko-hrvatski vokabis");
    EXPECT_EQ(header.fontSize, 14);
    EXPECT_EQ(header.fontName, "DejaVu Serif");
    EXPECT_DOUBLE_EQ(header.x, 5953.5 - 25 * 14 * 10 / 2.0); // 25 letters at half an em
    EXPECT_DOUBLE_EQ(header.y, 1134 - 14 * 24);
    EXPECT_EQ(d.texts[1].text, "en001");
    EXPECT_DOUBLE_EQ(d.texts[1].x, 1134);
    EXPECT_DOUBLE_EQ(d.texts[1].y, 1701 - 11 * 24);
    EXPECT_EQ(d.texts[1].fontSize, 11);
    EXPECT_EQ(d.texts[2].text, "hr003");
    EXPECT_DOUBLE_EQ(d.texts[2].x, 6237);
    EXPECT_DOUBLE_EQ(d.texts[3].y - d.texts[1].y, 283.5); // half a centimetre a row

    Module1::Settings.LeftM = 0.5;
    Module1::Settings.XDesno = 0.3;
    Module1::Settings.TopM = 1;
    Module1::Settings.YDolje = 0.25;
    Module1::Settings.MojFontBold = db::kTrue;
    Module1::Settings.VelicinaFonta = 20;
    auto moved = Draw(f, 1);
    EXPECT_NEAR(moved.texts[1].x, 1134 - 113.4, 1e-9);
    EXPECT_NEAR(moved.texts[2].x, 6237 - 113.4, 1e-9);
    EXPECT_NEAR(moved.texts[1].y, 1701 - 0.75 * 567 - 20 * 24, 1e-9);
    EXPECT_EQ(moved.texts[0].fontSize, 14); // the header keeps its size; bold follows the settings
    EXPECT_TRUE(moved.texts[0].bold);
    EXPECT_TRUE(moved.texts[1].bold);
    EXPECT_EQ(moved.texts[1].fontSize, 20);
}

TEST(PageLayout, PagesAreCountedWithoutAnEmptyLastOneAndEndAtTheLastPair) {
    for (auto [pairs, pages] : {std::pair{100, 2}, {101, 3}, {1, 1}, {0, 0}}) {
        ListFixture f(pairs);
        PageLayout layout;
        layout.CountPages(*f.list, 50, 1);
        EXPECT_EQ(layout.PageCount, pages) << pairs;
        EXPECT_EQ(layout.PairTotal, pairs);
    }
    ListFixture f(101);
    f.list->Move(7); // the main window's own row, which drawing must not move
    EXPECT_EQ(Draw(f, 2).texts.size(), 1u + 2 * 50);
    auto last = Draw(f, 3);
    ASSERT_EQ(last.texts.size(), 3u);
    EXPECT_EQ(last.texts[1].text, "en101");
    EXPECT_EQ(Draw(f, 4).texts.size(), 1u); // past the last page: the header alone
    EXPECT_EQ(f.list->AbsolutePosition(), 7);
}

TEST(PageLayout, CroatianOrderChangesTheRowsNotTheColumnsAndNullsDrawEmpty) {
    ListFixture f(3, "Select * From Vokabis Order By Hrvatski Asc");
    f.database->Exec("INSERT INTO Vokabis (Engleski, Hrvatski) VALUES (NULL, 'hr000')");
    f.list = f.database->OpenRecordset("Select * From Vokabis Order By Hrvatski Asc");
    auto d = Draw(f, 1);
    ASSERT_EQ(d.texts.size(), 9u);
    EXPECT_EQ(d.texts[1].text, ""); // a Null English term, its Croatian one still there
    EXPECT_EQ(d.texts[2].text, "hr000");
    EXPECT_EQ(d.texts[3].text, "en003");
    EXPECT_DOUBLE_EQ(d.texts[3].x, 1134); // English stays on the left
    EXPECT_EQ(d.texts[4].text, "hr001");
}

TEST(PageLayout, SettingsThatCannotMakeAPageAreRefusedInWords) {
    ListFixture f(10);
    PageLayout layout;
    Module1::Settings.BrojRedova = 0;
    try {
        layout.CountPages(*f.list, 0, 1);
        FAIL();
    } catch (const printing::PrintError& e) {
        EXPECT_NE(std::string(e.what()).find("Broj redova"), std::string::npos);
    }
    Module1::Settings.BrojRedova = 50;
    Module1::Settings.VelicinaFonta = 0;
    RecordingTarget t;
    EXPECT_THROW(layout.DrawPage(t, *f.list, 1), printing::PrintError);
    EXPECT_TRUE(t.ops.empty()); // nothing half-drawn
}

TEST(PageLayout, RowsOffThePrintableAreaOrTallerThanTheirPitchAreFound) {
    ListFixture f(120);
    struct Case {
        int rows, size;
        double yDolje;
        int pairs, fits, firstLost, lastLost;
        bool overlap;
        double xDesno = 0;
        bool offSide = false;
    };
    // A4 of 29.7 cm holds rows down to 2.5 + 0.5 × 54 cm; 12 points of the recording target are
    // 288 twips a line, more than the 283.5 of half a centimetre; a shift of 8.9 cm leaves the right
    // column more than a centimetre of the 21.
    for (const Case c : {Case{60, 11, 0, 120, 54, 55, 60, false}, Case{54, 11, 0, 120, 54, 0, 0, false},
                         Case{60, 11, 0, 3, 3, 0, 0, false}, Case{50, 12, 0, 120, 50, 0, 0, true},
                         Case{50, 11, -3, 120, 49, 1, 1, false}, Case{50, 11, 0, 120, 50, 0, 0, false, 8.9, false},
                         Case{50, 11, 0, 120, 50, 0, 0, false, 9.1, true}, Case{50, 11, 0, 120, 50, 0, 0, false, -2.1, true}}) {
        Module1::Settings.VelicinaFonta = int16_t(c.size);
        Module1::Settings.YDolje = c.yDolje;
        Module1::Settings.XDesno = c.xDesno;
        PageLayout layout;
        layout.CountPages(*f.list, int16_t(c.rows), 1);
        layout.PairTotal = std::min(layout.PairTotal, c.pairs);
        RecordingTarget t;
        const printing::PageFit fit = layout.CheckFit(t, t.printable);
        EXPECT_EQ(fit.rows - fit.Lost(), c.fits) << c.rows << " rows, " << c.pairs << " pairs";
        EXPECT_EQ(fit.firstLost, c.firstLost);
        EXPECT_EQ(fit.lastLost, c.lastLost);
        EXPECT_EQ(fit.overlap, c.overlap);
        EXPECT_EQ(fit.offSide, c.offSide);
        EXPECT_EQ(fit.Warning().isEmpty(), !c.firstLost && !c.overlap && !c.offSide);
    }
    Module1::Settings.VelicinaFonta = 11;
    Module1::Settings.YDolje = Module1::Settings.XDesno = 0;
    PageLayout layout;
    layout.CountPages(*f.list, 60, 1);
    RecordingTarget t;
    EXPECT_EQ(layout.CheckFit(t, t.printable).Warning(),
              "Na list papira stane samo 54 od 60 redova po stranici: redovi 55–60 svake stranice padaju izvan "
              "lista i ne bi se ispisali. Smanjite broj redova po stranici ili pomak u opcijama ispisa.");
}

TEST(PageLayout, ATermWiderThanItsColumnIsCutWithAnEllipsisAndNeverCrossesIntoTheOther) {
    ListFixture f(0);
    const QString english = QString("abcdefghij").repeated(8); // the longest terms of the starter dictionary
    const QString croatian = QString::fromUtf8("čćžšđ riječ ").repeated(16).left(189);
    f.database->Exec("INSERT INTO Vokabis (Engleski, Hrvatski) VALUES ('" + english.toStdString() + "', '" +
                     croatian.toStdString() + "')");
    f.database->Exec("INSERT INTO Vokabis (Engleski, Hrvatski) VALUES ('b', 'b')");
    f.list = f.database->OpenRecordset("OrderByEngleski");
    for (double shift : {0.0, 1.0}) {
        Module1::Settings.XDesno = shift;
        auto d = Draw(f, 1);
        RecordingTarget& t = d.target;
        t.FontSize = 11;
        ASSERT_EQ(d.texts.size(), 5u);
        const auto &en = d.texts[1], &hr = d.texts[2];
        EXPECT_TRUE(en.text.endsWith(QString::fromUtf8("…")) && english.startsWith(en.text.chopped(1)));
        EXPECT_LE(en.x + t.TextWidth(en.text), hr.x - 0.25 * 567);
        EXPECT_GT(en.x + t.TextWidth(english.left(en.text.size()) + en.text.back()), hr.x - 0.25 * 567); // cut no more than needed
        EXPECT_TRUE(hr.text.endsWith(QString::fromUtf8("…")) && croatian.startsWith(hr.text.chopped(1)));
        EXPECT_LE(hr.x + t.TextWidth(hr.text), t.printable.width());
        EXPECT_EQ(d.texts[3].text, "b"); // a short term as it is
    }
}
