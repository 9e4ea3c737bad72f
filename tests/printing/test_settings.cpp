#include "ListFixture.h"
#include "Queues.h"
#include "common/Modal.h"
#include "common/ProgramFolder.h"

#include "printing/PrintSettings.h"
#include "printing/PrinterSelection.h"
#include "printing/PrinterTools.h"
#include "printing/QtTargets.h"

#include <QtPrintSupport>
#include <QTest>

#include <gtest/gtest.h>

using Module1::Settings;

namespace {
// The settings window on a fresh dictionary, in the given notation.
class SettingsTest : public ::testing::Test {
protected:
    ProgramFolder folder;
    std::unique_ptr<PrintSettingsWindow> w;

    void Open(const char* locale = "hr_HR") {
        QLocale::setDefault(QLocale(locale));
        Module1::OpenDictionaryAndReadSettings(folder.app());
        w = std::make_unique<PrintSettingsWindow>();
        w->show();
        QApplication::setActiveWindow(w.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    }
    void TearDown() override {
        w.reset();
        QLocale::setDefault(QLocale::c());
        printing::InstalledPrinters = nullptr;
        printing::CurrentPrinterCaps = nullptr;
    }
    db::Value Stored(const char* field) const {
        db::Database d(folder.path.string(), db::kPassword);
        auto rs = d.OpenTable("Postavke", db::kReadOnly);
        rs->SetIndex("PrimaryKey");
        rs->Seek("=", db::Value(1LL));
        return rs->Field(field);
    }
};
} // namespace

TEST_F(SettingsTest, DistancesShowInMillimetresAndRoundTripThroughTheRowInBothNotations) {
    for (const char* locale : {"hr_HR", "en_US"}) {
        const bool comma = QString(locale) == "hr_HR";
        auto n = [comma](QString s) { return comma ? s : s.replace(',', '.'); };
        folder.Exec("UPDATE Postavke SET LeftM = 0.42, TopM = 0, XDesno = -0.3, YDolje = 0, SortEng = 0");
        Open(locale);
        auto shown = [&] { // the distances and the directions and sort column chosen
            return QStringList{w->txtLeftM->text(), w->txtHPomak->text(), w->optLijevo->isChecked() ? "lijevo" : "desno",
                               w->txtVPomak->text(), w->optDolje->isChecked() ? "dolje" : "gore",
                               w->optHrvatski->isChecked() ? "hrvatski" : "engleski"};
        };
        EXPECT_EQ(shown(), (QStringList{n("4,2"), "3", "lijevo", "0", "dolje", "hrvatski"})) << locale; // 0 shows as Dolje

        w->txtLeftM->setText(n("4,25"));
        w->optGore->setChecked(true);
        w->txtVPomak->setText("5");
        w->txtFontSizeOstalo->setText(n("10,5"));
        w->txtBrojRedova->setText(n("11,5"));
        w->optEngleski->setChecked(true);
        w->cmdPrihvati->click();
        // Lijevo with 3 is -0.3; halves go to the even neighbour.
        EXPECT_EQ(std::tuple(Settings.LeftM, Settings.XDesno, Settings.YDolje, Settings.VelicinaFonta, Settings.BrojRedova),
                  std::tuple(4.25 * 0.1, 3 * -0.1, 5 * -0.1, 10, 12));
        EXPECT_EQ(std::tuple(db::CDbl(Stored("LeftM")), db::CDbl(Stored("YDolje")), db::CInt(Stored("SortEng")),
                             db::CStr(Stored("MojFontIme"))),
                  std::tuple(4.25 * 0.1, -0.5, -1, std::string("Times New Roman CE")));

        w->txtVPomak->setText("-5"); // a negative number reverses the direction
        w->cmdPrihvati->click();
        EXPECT_DOUBLE_EQ(Settings.YDolje, 0.5);
        w.reset();
        Module1::OpenDictionaryAndReadSettings(folder.app()); // as at the next start
        w = std::make_unique<PrintSettingsWindow>();
        EXPECT_EQ(shown(), (QStringList{n("4,25"), "3", "lijevo", "5", "dolje", "engleski"}));
        w.reset();
        Module1::DictDb->Close();
    }
}

TEST_F(SettingsTest, AFailedCheckStopsThereLeavingEarlierStepsInMemoryAndTheRowAlone) {
    folder.Exec("UPDATE Postavke SET MojFontIme = ''");
    Open();
    w->txtLeftM->setText("3");
    w->txtFontSizeOstalo->setText("14");
    w->txtBrojRedova->setText("");
    SeenBox box;
    AnswerBox(&box);
    w->cmdPrihvati->click();
    EXPECT_EQ(box.text, "Morate unijeti brojčani podatak!");
    EXPECT_EQ(w->focusWidget(), w->txtBrojRedova);
    EXPECT_EQ(std::tuple(Settings.LeftM, Settings.VelicinaFonta, Settings.MojFontIme.toStdString(), Settings.BrojRedova),
              std::tuple(3 * 0.1, 14, std::string("Times New Roman CE"), 50));
    EXPECT_EQ(std::tuple(db::CDbl(Stored("LeftM")), db::CStr(Stored("MojFontIme"))), std::tuple(0.0, std::string("")));
}

TEST_F(SettingsTest, EnterChainsFocusRulesAndHeadings) {
    Open();
    EXPECT_EQ(QApplication::focusWidget(), w->cmdPrihvati);
    EXPECT_EQ(w->optTab->currentIndex(), 0);
    w->optTab->setCurrentIndex(1);
    w->txtLeftM->setFocus();
    w->txtLeftM->setText("x");
    QTest::keyClick(w->txtLeftM, Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), w->txtLeftM); // not a number: it stays, nothing asked
    EXPECT_EQ(w->txtLeftM->text(), "x");
    w->txtLeftM->setText("2,5");
    QTest::keyClick(w->txtLeftM, Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), w->txtTopM);
    QTest::keyClick(w->txtTopM, Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), w->cmdPrihvati);
    w->txtTopM->setFocus(Qt::TabFocusReason);
    QTest::mouseClick(w->txtLeftM, Qt::LeftButton); // leaving txtTopM by any means lands on Prihvati
    QApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), w->cmdPrihvati);
    w->Text5->setFocus(Qt::MouseFocusReason); // a heading hands the focus to the tab strip
    EXPECT_EQ(QApplication::focusWidget(), w->optTab->tabBar());
    w->optTab->setCurrentIndex(2);
    w->txtHPomak->setText("1");
    w->txtHPomak->setFocus();
    for (QLineEdit* next : {w->txtVPomak, w->txtBrojRedova, w->txtFontSizeOstalo}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        EXPECT_EQ(QApplication::focusWidget(), next);
    }
    QTest::keyClick(w->txtFontSizeOstalo, Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), w->cmdPrihvati);
    // Enter on the focused button presses that button, not the margin tool or another default.
    AutoAnswer answer;
    w->optTab->setCurrentIndex(1);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(answer.boxes + answer.dialogs, 0);
    EXPECT_EQ(w->txtLeftM->text(), "2,5"); // the margin typed is saved, not measured over
    EXPECT_DOUBLE_EQ(db::CDbl(Stored("LeftM")), 0.25);
    w->cmdIzlaz->setFocus(Qt::TabFocusReason);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_FALSE(w->isVisible());
}

TEST_F(SettingsTest, TheFontDialogSetsNameAndFlagsAtOnceAndCancelChangesNothing) {
    for (auto [chosen, stored] : {std::pair{"Arial", "Arial CE"}, {"Courier New", "Courier New CE"},
                                  {"Times New Roman", "Times New Roman CE"}, {"Arial Black", "Arial Black"}, {"arial", "arial"}})
        EXPECT_EQ(FontNameForSettings(chosen), stored);
    Open();
    OnNextModal<QFontDialog>([](QFontDialog* d) { d->reject(); });
    w->cmdFont_Click();
    EXPECT_EQ(Settings.MojFontIme, "Times New Roman CE");
    OnNextModal<QFontDialog>([](QFontDialog* d) {
        QFont f("DejaVu Serif");
        f.setBold(true);
        d->setCurrentFont(f);
        d->accept();
    });
    w->cmdFont_Click();
    EXPECT_EQ(std::tuple(Settings.MojFontIme.toStdString(), Settings.MojFontBold, w->chkBold->isChecked(), w->chkBold->isEnabled()),
              std::tuple(std::string("DejaVu Serif"), db::kTrue, true, false));
    EXPECT_EQ(db::CStr(Stored("MojFontIme")), "Times New Roman CE"); // the row waits for Prihvati
}

// The stored face is missing here ("Times New Roman CE"): the dialog shows what the print is
// drawn with, and U redu with nothing picked stores nothing.
TEST_F(SettingsTest, TheFontDialogOpensOnTheFacePrintedAndChangesOnlyWhatWasPicked) {
    Open();
    ASSERT_EQ(Settings.MojFontIme, "Times New Roman CE");
    ASSERT_FALSE(QFontDatabase::hasFamily("Times New Roman")) << "the machine has the face: nothing to resolve";
    const QString printed = QFontInfo(QFont("Times New Roman")).family(); // what the fonts' own matching picks
    QString shown;
    QStringList visibleExtras;
    OnNextModal<QFontDialog>([&](QFontDialog* d) {
        shown = d->currentFont().family();
        for (QWidget* c : d->findChildren<QWidget*>()) // no strike-out, underline or writing system to pick
            if ((qobject_cast<QCheckBox*>(c) || qobject_cast<QComboBox*>(c)) && c->isVisibleTo(d)) visibleExtras << c->metaObject()->className();
        d->accept();
    });
    w->cmdFont_Click();
    EXPECT_EQ(shown, printed);
    EXPECT_EQ(visibleExtras, QStringList{});
    EXPECT_EQ(Settings.MojFontIme, "Times New Roman CE");
    EXPECT_EQ(Settings.MojFontBold, db::kFalse);

    OnNextModal<QFontDialog>([](QFontDialog* d) { // only bold picked: the name stays
        QFont f(d->currentFont().family());
        f.setBold(true);
        d->setCurrentFont(f);
        d->accept();
    });
    w->cmdFont_Click();
    EXPECT_EQ(Settings.MojFontIme, "Times New Roman CE");
    EXPECT_EQ(Settings.MojFontBold, db::kTrue);
    EXPECT_EQ(Settings.MojFontItalic, db::kFalse);
}

// A box on another page of the window is refused: its page comes forward with the focus in it.
TEST_F(SettingsTest, ARefusedBoxIsShownOnItsOwnPageWithTheFocusInIt) {
    Open();
    for (auto [box, typedOn, leftOn] : {std::tuple{w->txtLeftM, 1, 2}, {w->txtBrojRedova, 2, 0}, {w->txtTopM, 1, 1}}) {
        w->optTab->setCurrentIndex(typedOn);
        box->setText("abc");
        w->optTab->setCurrentIndex(leftOn);
        SeenBox message;
        AnswerBox(&message);
        w->cmdPrihvati->click();
        EXPECT_EQ(message.text, "Morate unijeti brojčani podatak!");
        EXPECT_TRUE(box->isVisible()) << box->objectName().toStdString();
        EXPECT_EQ(w->focusWidget(), box) << box->objectName().toStdString();
        box->setText("1");
    }
}

TEST_F(SettingsTest, ARefusedWriteIsReportedAndTheNewSettingsStayInForce) {
    Open();
    folder.Exec("CREATE TRIGGER refuse BEFORE UPDATE ON Postavke BEGIN SELECT RAISE(ABORT, 'disk is full'); END");
    w->txtBrojRedova->setText("40");
    SeenBox box;
    AnswerBox(&box);
    w->cmdPrihvati->click();
    EXPECT_EQ(box.title, "Pogreška");
    EXPECT_TRUE(box.text.contains("nisu spremljene")) << box.text.toStdString();
    EXPECT_EQ(Settings.BrojRedova, 40);
    EXPECT_EQ(db::CInt(Stored("BrojRedova")), 50);
    EXPECT_EQ(Module1::SettingsRs, nullptr);
}

TEST_F(SettingsTest, OdrediMarginePutsThePrintersStripsInMillimetres) {
    Open();
    printing::DeviceCaps caps{600, 600, 100, 1200};
    printing::CurrentPrinterCaps = [&] { return caps; };
    w->cmdMarginr_Click();
    EXPECT_EQ(w->txtLeftM->text(), "4,23");
    EXPECT_EQ(w->txtTopM->text(), "50,79"); // 1440 / 56.7 mm an inch, not 25.4
    caps = {300, 300, 0, 0};
    w->cmdMarginr_Click();
    EXPECT_EQ(w->txtLeftM->text(), "0,00");
    caps = {0, 600, 100, 100};
    SeenBox box;
    AnswerBox(&box);
    w->cmdMarginr_Click();
    EXPECT_EQ(box.title, "Pogreška");
    EXPECT_EQ(w->txtLeftM->text(), "0,00"); // unchanged
    caps = {600, 600, 200000, 0}; // 200000 × 14400 leaves the 32-bit range
    AnswerBox(&box);
    w->cmdMarginr_Click();
    EXPECT_EQ(box.count, 2);
    EXPECT_DOUBLE_EQ(Settings.LeftM, 0); // only Prihvati stores them

    printing::CurrentPrinterCaps = nullptr; // the real thing: a PDF printer has no strips
    UsePrinter(folder.app() + "/margins.pdf"); // without a file it is no printer
    w->cmdMarginr_Click();
    EXPECT_EQ(w->txtLeftM->text(), "0,00");
    EXPECT_EQ(printing::PrinterGeometry.PixelsPerInchX, printing::AppPrinter().resolution());
}

// Odredi margine asks the printer: one that is gone, or a server that is down, has nothing to
// say, and the boxes keep what the user had.
TEST_F(SettingsTest, OdrediMargineWithoutAPrinterSaysSoAndLeavesTheBoxes) {
    TempQueue queue, other;
    if (!queue.made || !other.made) GTEST_SKIP() << "no print server to add a queue to (scripts/pdf-printer)";
    Open();
    QPrinter& printer = UsePrinter();
    w->txtLeftM->setText("4,2");
    w->txtTopM->setText("8,47");
    auto measure = [&] {
        SeenBox box;
        AnswerBox(&box);
        w->cmdMarginr_Click();
        EXPECT_EQ(box.title, "Pogreška");
        EXPECT_TRUE(box.text.endsWith("Margine nisu promijenjene.")) << box.text.toStdString();
        EXPECT_EQ(w->txtLeftM->text(), "4,2");
        EXPECT_EQ(w->txtTopM->text(), "8,47");
        return box.text;
    };
    ASSERT_FALSE(printing::SelectPrinter(queue.name));
    queue.Remove();
    EXPECT_TRUE(measure().startsWith("Pisač „" + queue.name + "” ne postoji"));
    ASSERT_FALSE(printing::SelectPrinter(other.name));
    const StoppedServer stopped;
    EXPECT_TRUE(measure().startsWith("Pisač „" + other.name + "” nije dostupan: poslužitelj za ispis"));
    printer.setPrinterName(QString());
    printing::ChosenPrinter.clear();
    EXPECT_TRUE(measure().startsWith("Nijedan pisač nije odabran"));
}

TEST_F(SettingsTest, TheTestPageIsOneSheetWithTheFigureAtThePrintableOriginAndNoText) {
    Open();
    const QString pdf = folder.app() + "/test.pdf";
    UsePrinter(pdf);
    SeenBox box;
    AnswerBox(&box, "Ne");
    w->cmdOk_Click();
    EXPECT_EQ(box.text, "Želite li ispisati test sliku");
    EXPECT_FALSE(QFile::exists(pdf));
    AnswerBox(&box, "Da");
    w->cmdOk_Click();
    ASSERT_TRUE(QFile::exists(pdf));
    QProcess::execute("pdftoppm", {"-r", "72", "-gray", "-png", "-singlefile", pdf, folder.app() + "/test"});
    EXPECT_EQ(PdfPages(pdf), 1);
    EXPECT_TRUE(PdfPage(pdf, 1).trimmed().isEmpty());
    const QImage page(folder.app() + "/test.png");
    ASSERT_FALSE(page.isNull());
    auto dark = [&](int x, int y) { return qGray(page.pixel(x, y)) < 128; };
    const int side = int(100 / 25.4 * 72); // 100 mm at 72 dpi
    EXPECT_TRUE(dark(0, 0) || dark(1, 1)); // the figure starts at the origin
    EXPECT_TRUE(dark(side / 2, 0) || dark(side / 2, 1)); // its outline, top
    EXPECT_TRUE(dark(0, side / 2) || dark(1, side / 2)); // and left
    EXPECT_FALSE(dark(side / 2, side / 2) || dark(side / 2 + 1, side / 2)); // one figure: no diagonal across it
    EXPECT_FALSE(dark(side + 20, side + 20)); // nothing beyond it
}

TEST_F(SettingsTest, ATestPageForAQueueThatIsGoneIsToldByNameAndOneThatPrintsCarriesItsTitle) {
    TempQueue queue;
    if (!queue.made) GTEST_SKIP() << "no print server to add a queue to (scripts/pdf-printer)";
    Open();
    const QDir out(folder.app() + "/pdf");
    TempQueue own(out.path());
    ASSERT_TRUE(own.made);
    UsePrinter();
    ASSERT_FALSE(printing::SelectPrinter(queue.name));
    queue.Remove();
    SeenBox ask, failure;
    AnswerBoxes({{&ask, "Da"}, {&failure, "U redu"}});
    w->cmdOk_Click();
    EXPECT_EQ(failure.title, "Pogreška");
    EXPECT_TRUE(failure.text.startsWith("Test slika nije ispisana.")) << failure.text.toStdString();
    EXPECT_TRUE(failure.text.contains("Pisač „" + queue.name + "” ne postoji")) << failure.text.toStdString();

    ASSERT_FALSE(printing::SelectPrinter(own.name));
    std::unique_ptr<AutoAnswer> after; // counts any message that follows the question
    OnNextModal<QMessageBox>([&](QMessageBox* box) {
        after = std::make_unique<AutoAnswer>();
        for (QAbstractButton* b : box->buttons())
            if (b->text() == "Da") b->click();
    });
    w->cmdOk_Click();
    ASSERT_TRUE(after);
    EXPECT_EQ(after->boxes, 0) << after->last.text.toStdString(); // the queue took it: nothing to say
    EXPECT_EQ(NewestJobTitle(own.name), "Vokabis – test slika");
    EXPECT_EQ(PdfPages(WaitForJob(own.name, out)), 1);
}

TEST(PrinterSelection, ListsThePrintersSelectsTheFirstAndChoosesByExactName) {
    QStringList printers{"Ured", "Kuća", "Kuća"};
    printing::InstalledPrinters = [&] { return printers; };
    printing::ChosenPrinter.clear();
    {
        PrinterSelection s;
        EXPECT_EQ(s.windowTitle(), "Odabir pisača");
        EXPECT_EQ(s.cboPrinter->count(), 3);
        EXPECT_EQ(s.cboPrinter->currentIndex(), 0);
        EXPECT_TRUE(s.cmdSelect->isEnabled());
        // A reader names the list by what it is for, and says its value apart.
        QAccessibleInterface* list = QAccessible::queryAccessibleInterface(s.cboPrinter);
        EXPECT_EQ(list->text(QAccessible::Name), "Odaberite pisač");
        EXPECT_EQ(list->text(QAccessible::Value), "Ured");
        EXPECT_EQ(list->role(), QAccessible::ComboBox);
        s.cboPrinter->setCurrentIndex(2);
        s.cmdSelect->click();
        EXPECT_EQ(printing::ChosenPrinter, "Kuća");
        EXPECT_FALSE(s.cmdSelect->isEnabled()); // until an entry is picked again
        emit s.cboPrinter->activated(1);
        EXPECT_TRUE(s.cmdSelect->isEnabled());
    }
    printing::ChosenPrinter.clear();
    EXPECT_TRUE(printing::SelectPrinter("kuća"));
    EXPECT_TRUE(printing::ChosenPrinter.isEmpty());
    {
        PrinterSelection s;
        printers = {"Ured"}; // "Kuća" was removed after the list was filled
        s.cboPrinter->setCurrentIndex(1);
        SeenBox box;
        AnswerBox(&box);
        s.cmdSelect->click();
        EXPECT_EQ(box.text, "Printer nije pronađen!");
        EXPECT_TRUE(printing::ChosenPrinter.isEmpty());
    }
    printers.clear();
    {
        PrinterSelection s;
        EXPECT_EQ(s.cboPrinter->count(), 0);
        EXPECT_FALSE(s.cmdSelect->isEnabled());
        EXPECT_FALSE(s.lblNoPrinter->isHidden());
        s.show(); // the whole sentence shows, above the buttons, with no "Odaberite pisač" over it
        QLabel* l = s.lblNoPrinter;
        EXPECT_LE(l->wordWrap() ? l->heightForWidth(l->width()) : l->fontMetrics().horizontalAdvance(l->text()),
                  l->wordWrap() ? l->height() : l->width());
        EXPECT_LT(l->geometry().bottom(), s.cmdSelect->y());
        EXPECT_LE(l->geometry().right(), s.width());
        EXPECT_TRUE(s.Label1->isHidden());
    }
    printing::InstalledPrinters = nullptr;
}

TEST(PrinterSelection, ARealQueueBecomesThePrinterOfTheRun) {
    if (QPrinterInfo::printerInfo("VokabisPDF2").isNull()) GTEST_SKIP() << "no VokabisPDF2 queue (scripts/pdf-printer)";
    QPrinter& printer = UsePrinter();
    PrinterSelection s;
    const int at = s.cboPrinter->findText("VokabisPDF2");
    ASSERT_GE(at, 0);
    s.cboPrinter->setCurrentIndex(at);
    s.cmdSelect->click();
    EXPECT_EQ(printer.printerName(), "VokabisPDF2");
}

TEST_F(SettingsTest, WrappedHintsShowTheirLastLine) {
    Open();
    for (QLabel* l : {w->Label5, w->Label1}) {
        EXPECT_LE(l->heightForWidth(l->width()), l->height()) << l->objectName().toStdString();
        EXPECT_LE(l->geometry().bottom(), l->parentWidget()->height() - 4); // inside its frame
    }
}
