// Every box of every window fed what users and broken files produce: nothing crashes, the
// answer is the window's own message or a plain result, and stored pairs change only as
// the windows say.
#include "dictionary/Form4Fixture.h"

#include "dictionary/EntryEditor.h"
#include "printing/PrintPreview.h"
#include "printing/PrintRange.h"
#include "printing/PrintSettings.h"

namespace {
QStringList BadInputs() {
    return {"", "   ", QString(1 << 20, 'x'), "'", "'; DROP TABLE Vokabis; --", "*", "?", "#", "[", "[a", "]",
            QString::fromUtf8("\x01\x07\x1b"), QString::fromUtf8("\u200F\u05E9\u05DC\u05D5\u05DD\u200E"), "4.2", "4,2",
            "1e308", "-0", "40000", "-40000", "0", "-3", "99999", QString::fromUtf8("čćžšđ"), "nan", "inf", "0x10"};
}
const Rows kPairs = {
    {"ant", "mrav"}, {"bee", "pčela"}, {"cat", "mačka"}, {"dog", "pas"}};
} // namespace

TEST_F(Form4Test, BadInputInTheSearchBoxesAndTheEditorNeverCrashesOrLosesAPair) {
    Start(kPairs);
    auto* en = Find<QLineEdit>("txtNadjiEngleski");
    auto* hr = Find<QLineEdit>("txtNadjiHrvatski");
    for (const QString& input : BadInputs()) {
        en->setText(input);
        hr->setText(input.left(3));
        Click(Find("cmdAsc"));
        EXPECT_EQ(folder.Count(), 4) << input.left(40).toStdString();
        en->clear();
        hr->clear();
    }
    EXPECT_EQ(Rows(), 4);

    long stored = 4;
    for (const QString& input : BadInputs()) {
        SeenBox box;
        QString shown; // control characters, kept to one line, may leave nothing
        OnNextModal<EntryEditor>([&](EntryEditor* e) {
            e->txtEngleski->setText(input);
            e->txtHrvatski->setText(input);
            shown = e->txtEngleski->text();
            if (shown.isEmpty()) AnswerBox(&box);
            e->cmdSpremi->click();
            e->cmdIzlaz->click();
        });
        w->cmdNova_Click();
        if (shown.isEmpty()) {
            EXPECT_EQ(box.text, "Morate unijeti englesku riječ!");
            continue;
        }
        const ::Rows pairs = folder.Pairs();
        ASSERT_EQ(long(pairs.size()), ++stored) << input.left(40).toStdString();
        EXPECT_EQ(pairs.back().first, shown.toStdString()); // exactly as the box showed it
    }
}

// A box of the settings window that holds no number (or, for the two whole numbers, none in
// their range) is refused with the window's message, the focus on that box, every box as typed
// and the settings as they were. What is accepted opens the preview or is explained in one box.
TEST_F(Form4Test, BadInputInThePrintWindowsIsRefusedOrPrintsSafely) {
    Start(kPairs);
    QLocale::setDefault(QLocale("hr_HR")); // "4,2" is a number here, "4.2" is not
    const QStringList numbers = {"4,2", "1e308", "-0", "40000", "-40000", "0", "-3", "99999"};
    const QStringList outOfRange = {"1e308", "40000", "-40000", "99999"}; // for the two whole numbers
    auto settings = [] {
        const Module1::SettingsRecord& s = Module1::Settings;
        return std::tuple(s.LeftM, s.TopM, s.XDesno, s.YDolje, s.MojFontIme.toStdString(), s.VelicinaFonta, s.BrojRedova);
    };
    const auto good = settings();
    const Module1::SettingsRecord start = Module1::Settings;
    for (const QString& input : BadInputs()) {
        for (const char* name : {"txtLeftM", "txtTopM", "txtHPomak", "txtVPomak", "txtBrojRedova", "txtFontSizeOstalo"}) {
            SCOPED_TRACE(name + (": " + input.left(20).toStdString()));
            const bool whole = std::string(name) == "txtBrojRedova" || std::string(name) == "txtFontSizeOstalo";
            const bool refused = !numbers.contains(input) || (whole && outOfRange.contains(input));
            Module1::Settings = start;
            PrintSettingsWindow window;
            auto* box = window.findChild<QLineEdit*>(name);
            box->setText(input);
            // By name: bringing the failed box's page forward reorders the window's children.
            auto boxes = [&window] {
                QStringList texts;
                for (QLineEdit* b : window.findChildren<QLineEdit*>()) texts << b->objectName() + "=" + b->text();
                texts.sort();
                return texts;
            };
            const QStringList typed = boxes();
            AutoAnswer answer;
            window.cmdPrihvati->click();
            if (refused) {
                EXPECT_EQ(answer.boxes, 1);
                EXPECT_EQ(answer.last.title + ": " + answer.last.text, "Pogreška: Morate unijeti brojčani podatak!");
                EXPECT_EQ(window.focusWidget(), box);
                EXPECT_EQ(boxes(), typed);
                EXPECT_EQ(settings(), good);
                continue;
            }
            EXPECT_EQ(answer.boxes, 0) << answer.last.text.toStdString();
            // Whatever was accepted, the preview opens and draws, or one box says why it cannot.
            ShowPrintPreview(w->Data1.recordset(), w.get());
            EXPECT_EQ(answer.boxes + answer.dialogs, 1);
            if (!answer.dialogs) {
                EXPECT_EQ(answer.last.title, "Pogreška");
                EXPECT_TRUE(answer.last.text.startsWith("Pregled ispisa ne može se prikazati.")) << answer.last.text.toStdString();
                EXPECT_TRUE(std::string(name) != "txtBrojRedova" || answer.last.text.contains("Broj redova"));
            }
        }
    }
    Module1::Settings = start;
    QLocale::setDefault(QLocale::c());
    // A page range of the one-page list: every such input is refused, the boxes kept as typed.
    PrintPreview preview(w->Data1.recordset());
    ASSERT_EQ(preview.layout.PageCount, 1);
    for (const QString& input : BadInputs()) {
        PrintRangeDialog range(preview.layout.PageCount);
        range.show();
        range.optOdStrDoStr->click();
        range.txtOd->setText(input);
        range.txtDo->setText(input);
        const QString typed = range.txtOd->text() + range.txtDo->text(); // as long as a box holds
        AutoAnswer answer;
        range.cmdPrihvati->click();
        EXPECT_EQ(answer.boxes, 1) << input.left(20).toStdString();
        EXPECT_TRUE(QStringList({"Pogrešan unos!", "Zadnja stranica popisa je 1."}).contains(answer.last.text))
            << answer.last.text.toStdString();
        EXPECT_EQ(Module1::PrintFrom, 0);
        EXPECT_TRUE(range.isVisible());
        EXPECT_EQ(range.focusWidget(), range.txtOd);
        EXPECT_TRUE(range.txtOd->text() + range.txtDo->text() == typed);
    }
}
