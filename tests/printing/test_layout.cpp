#include "ListFixture.h"

#include "printing/Layout.h"
#include "printing/RecordingTarget.h"

#include <gtest/gtest.h>

using Module1::SettingsRecord;
using printing::PageLayout;
using printing::RecordingTarget;

namespace {
SettingsRecord Defaults(int rows = 50, int size = 11, double xDesno = 0, double yDolje = 0) {
    return {0, 0, xDesno, yDolje, "DejaVu Serif", int16_t(size), db::kFalse, db::kFalse, int16_t(rows), db::kTrue};
}

struct Drawn {
    RecordingTarget target;
    std::vector<RecordingTarget::Op> texts;
};
Drawn Draw(const ListFixture& f, int page, const SettingsRecord& s = Defaults()) {
    PageLayout layout;
    layout.CountPages(*f.list, s, 1);
    Drawn d;
    layout.DrawPage(d.target, s, *f.list, page);
    d.texts = d.target.Texts();
    return d;
}
} // namespace

TEST(PageLayout, HeaderAndRowsStandWhereTheSheetSaysAndMoveWithShiftsAndMargins) {
    ListFixture f(3);
    const SettingsRecord moved{0.5, 1, 0.3, 0.25, "DejaVu Serif", 20, db::kFalse, db::kTrue, 50, db::kTrue};
    struct Case {
        SettingsRecord settings;
        double headerX, headerY, englishX, croatianX, rowY;
    };
    // 25 letters of the header at half an em (a tenth more in bold), 1.2 em a line; 567 twips a cm.
    for (const Case& c : {Case{Defaults(), 5953.5 - 1750, 1134 - 336, 1134, 6237, 1701 - 264},
                          Case{moved, 6123.6 - 1925 - 283.5, 1275.75 - 336 - 567, 1134 - 113.4, 6237 - 113.4,
                               1842.75 - 480 - 567}}) {
        const auto d = Draw(f, 1, c.settings);
        ASSERT_EQ(d.texts.size(), 7u); // the header and three pairs
        const auto& header = d.texts[0];
        EXPECT_EQ(header.text, "Englesko-hrvatski vokabis");
        EXPECT_EQ(header.fontSize, 14); // whatever the rows' size
        EXPECT_EQ(header.fontName, "DejaVu Serif");
        EXPECT_NEAR(header.x, c.headerX, 1e-9);
        EXPECT_NEAR(header.y, c.headerY, 1e-9);
        EXPECT_EQ(d.texts[1].text, "en001");
        EXPECT_EQ(d.texts[2].text, "hr003");
        EXPECT_NEAR(d.texts[1].x, c.englishX, 1e-9);
        EXPECT_NEAR(d.texts[2].x, c.croatianX, 1e-9);
        EXPECT_NEAR(d.texts[1].y, c.rowY, 1e-9);
        EXPECT_NEAR(d.texts[3].y - d.texts[1].y, 283.5, 1e-9); // half a centimetre a row
        for (int i : {0, 1, 2}) EXPECT_EQ(d.texts[i].bold, c.settings.MojFontBold != db::kFalse) << i;
        EXPECT_EQ(d.texts[1].fontSize, c.settings.VelicinaFonta);
    }
}

TEST(PageLayout, PagesAreCountedFromTheRowsOfTheSettingsAndEndAtTheLastPair) {
    for (auto [pairs, rows, pages] : {std::tuple{100, 50, 2}, {101, 50, 3}, {1, 50, 1}, {0, 50, 0}, {100, 40, 3}}) {
        ListFixture f(pairs);
        PageLayout layout;
        layout.CountPages(*f.list, Defaults(rows), 1);
        EXPECT_EQ(layout.PageCount, pages) << pairs << " pairs, " << rows << " rows";
        EXPECT_EQ(layout.RowsPerPage, rows);
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
    struct Case {
        int rows, size;
        const char* says;
    };
    for (const Case c : {Case{0, 11, "Broj redova"}, Case{50, 0, "Veličina fonta"},
                         Case{50, printing::kMaxFontSize + 1, "Veličina fonta"}}) {
        const SettingsRecord s = Defaults(c.rows, c.size);
        PageLayout layout;
        try {
            layout.CountPages(*f.list, s, 1);
            ADD_FAILURE() << c.rows << " rows, " << c.size << " pt";
        } catch (const printing::PrintError& e) {
            EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << e.what();
        }
        layout.CountPages(*f.list, Defaults(), 1);
        RecordingTarget t;
        EXPECT_THROW(layout.DrawPage(t, s, *f.list, 1), printing::PrintError);
        EXPECT_TRUE(t.ops.empty()); // nothing half-drawn
    }
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
        const SettingsRecord s = Defaults(c.rows, c.size, c.xDesno, c.yDolje);
        PageLayout layout;
        layout.CountPages(*f.list, s, 1);
        layout.PairTotal = std::min(layout.PairTotal, c.pairs);
        RecordingTarget t;
        const printing::PageFit fit = layout.CheckFit(t, s, t.printable);
        EXPECT_EQ(fit.rows - fit.Lost(), c.fits) << c.rows << " rows, " << c.pairs << " pairs";
        EXPECT_EQ(fit.firstLost, c.firstLost);
        EXPECT_EQ(fit.lastLost, c.lastLost);
        EXPECT_EQ(fit.overlap, c.overlap);
        EXPECT_EQ(fit.offSide, c.offSide);
        EXPECT_EQ(fit.Warning().isEmpty(), !c.firstLost && !c.overlap && !c.offSide);
        EXPECT_EQ(fit.Warning().contains(QString("Font od %1 pt").arg(c.size)), c.overlap) << fit.Warning().toStdString();
    }
    const SettingsRecord s = Defaults(60);
    PageLayout layout;
    layout.CountPages(*f.list, s, 1);
    RecordingTarget t;
    EXPECT_EQ(layout.CheckFit(t, s, t.printable).Warning(),
              "Na list papira stane samo 54 od 60 redova po stranici: redovi 55–60 svake stranice padaju izvan "
              "lista i ne bi se ispisali. Smanjite broj redova po stranici ili pomak u opcijama ispisa.");
}

// After a number the noun takes the form Croatian gives it: 1, 2–4 (and 21, 22…) "reda", the rest "redova".
TEST(PageLayout, TheWarningSaysRedaOrRedovaAsTheNumberWants) {
    for (auto [rows, word] : {std::pair{1, "reda"}, {2, "reda"}, {4, "reda"}, {5, "redova"}, {11, "redova"},
                              {12, "redova"}, {14, "redova"}, {21, "reda"}, {23, "reda"}, {60, "redova"}, {112, "redova"}}) {
        printing::PageFit fit;
        fit.rows = rows;
        fit.lost = rows;
        fit.firstLost = 1;
        fit.lastLost = rows;
        EXPECT_EQ(fit.Summary(), QString("Na list stane 0 od %1 %2!").arg(rows).arg(word));
        EXPECT_TRUE(fit.Warning().startsWith(QString("Na list papira stane samo 0 od %1 %2 po stranici").arg(rows).arg(word)))
            << fit.Warning().toStdString();
    }
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
        auto d = Draw(f, 1, Defaults(50, 11, shift));
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
