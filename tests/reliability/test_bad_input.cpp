// Every box of every window fed what users and broken files produce: nothing crashes, the
// answer is the window's own message or a plain result, and stored pairs change only as
// the windows say.
#include "dictionary/Form4Fixture.h"

#include "db/Sqlite.h"
#include "dictionary/EntryEditor.h"
#include "printing/PrintPreview.h"
#include "printing/PrintRange.h"
#include "printing/PrintSettings.h"

#include <QRadioButton>

#include <cmath>

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
        OnNextModal<EntryEditor>([&](EntryEditor* e) {
            e->txtEngleski->setText(input);
            e->txtHrvatski->setText(input);
            if (input.isEmpty()) AnswerBox(&box);
            e->cmdSpremi->click();
            e->cmdIzlaz->click();
        });
        w->cmdNova_Click();
        if (input.isEmpty()) {
            EXPECT_EQ(box.text, "Morate unijeti englesku riječ!");
            continue;
        }
        ++stored;
        ASSERT_EQ(folder.Count(), stored) << input.left(40).toStdString();
        db::Database d(folder.path.string(), "KamenPlavetni");
        db::Statement last(d.handle(), "SELECT Engleski FROM Vokabis ORDER BY Id DESC LIMIT 1");
        ASSERT_TRUE(last.Step());
        EXPECT_EQ(db::CStr(last.Column(0)), input.toStdString()); // exactly as typed
    }
}

TEST_F(Form4Test, BadInputInThePrintWindowsIsRefusedOrPrintsSafely) {
    Start(kPairs);
    AutoAnswer answers;
    const Module1::SettingsRecord good = Module1::Settings;
    for (const QString& input : BadInputs()) {
        for (const char* box : {"txtLeftM", "txtTopM", "txtHPomak", "txtVPomak", "txtBrojRedova", "txtFontSizeOstalo"}) {
            Module1::Settings = good;
            PrintSettingsWindow window;
            window.findChild<QLineEdit*>(box)->setText(input);
            window.cmdPrihvati->click();
            for (double v : {Module1::Settings.LeftM, Module1::Settings.TopM, Module1::Settings.XDesno,
                             Module1::Settings.YDolje})
                EXPECT_TRUE(std::isfinite(v)) << input.left(20).toStdString();
            // Whatever was accepted, the preview opens and draws, or says why it cannot.
            ShowPrintPreview(w->Data1.recordset(), w.get());
        }
    }
    Module1::Settings = good;
    EXPECT_GT(answers.boxes, 50); // most of them were refused with a message
    EXPECT_GT(answers.dialogs, 20); // the rest opened the preview
    PrintPreview preview(w->Data1.recordset());
    for (const QString& input : BadInputs()) {
        PrintRangeDialog range(preview.layout.PageCount);
        range.optOdStrDoStr->click();
        range.txtOd->setText(input);
        range.txtDo->setText(input);
        Module1::PrintFrom = Module1::PrintTo = 0;
        range.cmdPrihvati->click();
        EXPECT_TRUE(Module1::PrintFrom == 0 || (Module1::PrintFrom >= 1 && Module1::PrintTo <= preview.layout.PageCount))
            << input.left(20).toStdString();
    }
}
