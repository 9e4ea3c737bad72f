#include "ListFixture.h"
#include "Queues.h"
#include "common/Modal.h"

#include "ui/Widgets.h"
#include "printing/PrintPreview.h"
#include "printing/PrintRange.h"
#include "printing/PrintSettings.h"
#include "printing/PrinterTools.h"
#include "printing/PrinterSelection.h"
#include "printing/RecordingTarget.h"

#include <QtPrintSupport>
#include <QTest>

#include <gtest/gtest.h>

#include <QLabel>
#include <optional>
#include <QToolTip>

namespace {
// The preview over a five-page list (220 pairs, 50 a page), printing to a PDF file.
class PrintTest : public ::testing::Test {
protected:
    ListFixture f{220};
    QString pdf = QString::fromStdString((std::filesystem::temp_directory_path() /
                                          ("vokabis-print-" + std::to_string(::getpid()) + ".pdf")).string());
    std::unique_ptr<PrintPreview> preview;

    void SetUp() override {
        std::filesystem::remove(pdf.toStdString());
        UsePrinter(pdf);
        Module1::PrintAccepted = Module1::PrintAll = Module1::PrintCurrent = db::kFalse;
        Module1::PrintFrom = Module1::PrintTo = 0;
        preview = std::make_unique<PrintPreview>(*f.list);
    }
    void TearDown() override {
        preview.reset();
        std::filesystem::remove(pdf.toStdString());
    }
    // Prints with the range window answered by choose, and the readiness question by answer.
    void Print(std::function<void(PrintRangeDialog*)> choose, const QString& answer = "Da") {
        SeenBox ready;
        OnNextModal<PrintRangeDialog>([choose, answer, &ready](PrintRangeDialog* d) {
            choose(d);
            // Only an accepted choice goes on to the question; nothing may be left waiting.
            if (Module1::PrintAccepted != db::kFalse) AnswerBox(&ready, answer);
        });
        preview->cmdIspis->click();
        if (ready.count) {
            EXPECT_EQ(ready.text, "Je li pisač spreman za ispis?");
            EXPECT_EQ(ready.icon, QMessageBox::Question);
        }
    }
    // Prints, answering the readiness question with Da, and returns the failure then told.
    QString PrintFails(std::function<void(PrintRangeDialog*)> choose) {
        SeenBox ready, failure;
        OnNextModal<PrintRangeDialog>([&](PrintRangeDialog* d) {
            AnswerBoxes({{&ready, "Da"}, {&failure, "U redu"}});
            choose(d);
        });
        preview->cmdIspis->click();
        EXPECT_EQ(ready.count, 1);
        EXPECT_EQ(failure.title, "Pogreška");
        EXPECT_EQ(failure.icon, QMessageBox::Critical);
        return failure.text;
    }
    static void Range(PrintRangeDialog* d, const char* from, const char* to) {
        d->optOdStrDoStr->click();
        d->txtOd->setText(from);
        d->txtDo->setText(to);
        d->cmdPrihvati->click();
    }
    bool Printed() const { return std::filesystem::exists(pdf.toStdString()); }
};
} // namespace

TEST_F(PrintTest, TheCurrentPageARangeAndAllPagesEachMakeOneDocumentWithoutABlankSheet) {
    EXPECT_EQ(preview->Text3->text(), "5");
    preview->cmdNext->click();
    preview->cmdNext->click();
    Print([](PrintRangeDialog* d) { // the page shown, page 3, chosen with Enter alone
        ASSERT_EQ(d->focusWidget(), d->optTekucaStranica);
        QTest::keyClick(d->optTekucaStranica, Qt::Key_Return); // an option button has no Enter of its own
        ASSERT_TRUE(d->isVisible());
        d->cmdPrihvati->setFocus(Qt::TabFocusReason);
        QTest::keyClick(d->cmdPrihvati, Qt::Key_Return);
    });
    ASSERT_TRUE(Printed());
    EXPECT_EQ(PdfPages(pdf), 1);
    const QString page3 = PdfPage(pdf, 1);
    EXPECT_TRUE(page3.contains("Englesko-hrvatski vokabis") && page3.contains("en101") && page3.contains("en150") &&
                !page3.contains("en151")) << page3.toStdString();

    std::filesystem::remove(pdf.toStdString());
    Print([](PrintRangeDialog* d) { Range(d, "2", "4"); });
    ASSERT_EQ(PdfPages(pdf), 3);
    const QString last = PdfPage(pdf, 3);
    EXPECT_TRUE(last.contains("en151") && last.contains("en200"));
    // English on the left, its Croatian pair on the same line to the right.
    EXPECT_TRUE(last.contains(QRegularExpression("en151 +hr070"))) << last.toStdString();

    std::filesystem::remove(pdf.toStdString());
    Print([](PrintRangeDialog* d) {
        d->optSveStranice->click();
        d->cmdPrihvati->click();
    });
    ASSERT_EQ(PdfPages(pdf), 5); // from page 1, although page 3 is shown
    EXPECT_TRUE(PdfPage(pdf, 5).contains("en220"));
    EXPECT_EQ(preview->Text1->text(), "3"); // printing leaves the preview where it was
}

TEST_F(PrintTest, RowsThatWouldFallOffTheSheetAreToldInThePreviewAndBeforePrinting) {
    EXPECT_TRUE(preview->lblUpozorenje->isHidden()); // 50 rows fit A4
    const QString english = QString("abcdefghij").repeated(8);
    f.database->Exec("INSERT INTO Vokabis (Engleski, Hrvatski) VALUES ('" + english.toStdString() + "', 'kratko')");
    f.list = f.database->OpenRecordset("OrderByEngleski");
    Module1::Settings.BrojRedova = 60;
    preview = std::make_unique<PrintPreview>(*f.list);
    EXPECT_FALSE(preview->lblUpozorenje->isHidden());
    EXPECT_EQ(preview->lblUpozorenje->text(), "Na list stane 54 od 60 redova!");
    EXPECT_TRUE(preview->lblUpozorenje->toolTip().contains("redovi 55–60"));
    // Shown, the explanation wraps at a width one can read, not as one line across the screen.
    QToolTip::showText(preview->lblUpozorenje->mapToGlobal(QPoint(2, 2)), preview->lblUpozorenje->toolTip(),
                       preview->lblUpozorenje);
    const QLabel* tip = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == "qtooltip_label" && w->isVisible()) tip = qobject_cast<QLabel*>(w);
    ASSERT_TRUE(tip);
    EXPECT_LE(tip->width(), 560) << tip->text().toStdString();
    EXPECT_GE(tip->height(), 3 * tip->fontMetrics().height());
    QToolTip::hideText();
    for (const QString answer : {"Ne", "Da"}) {
        SeenBox warning, ready;
        OnNextModal<PrintRangeDialog>([&](PrintRangeDialog* d) {
            if (answer == "Da") AnswerBoxes({{&warning, answer}, {&ready, "Da"}}); // the question comes only after Da
            else AnswerBox(&warning, answer);
            d->cmdPrihvati->click();
        });
        preview->cmdIspis->click();
        EXPECT_EQ(warning.title, "Pozor");
        EXPECT_TRUE(warning.text.contains("samo 54 od 60 redova")) << warning.text.toStdString();
        EXPECT_EQ(warning.defaultButton, "Ne");
        EXPECT_EQ(ready.count, answer == "Da");
        EXPECT_EQ(Printed(), answer == "Da");
    }
    ASSERT_EQ(PdfPages(pdf), 1); // told and printed anyway: the rows that fit, none over another
    const QString page = PdfPage(pdf, 1);
    EXPECT_TRUE(page.contains("en053") && !page.contains("en054")) << page.toStdString(); // 54 rows, the long one first
    EXPECT_TRUE(page.contains(QRegularExpression("abcdefghij[a-j]*… +kratko"))) << page.toStdString();
}

TEST_F(PrintTest, OdbaciTheCloseBoxAndNoPrintNothing) {
    Print([](PrintRangeDialog* d) { d->cmdOdbaci->click(); });
    EXPECT_FALSE(Printed());
    Print([](PrintRangeDialog* d) { d->close(); }); // the close box counts as Odbaci
    EXPECT_FALSE(Printed());
    EXPECT_EQ(Module1::PrintAccepted, db::kFalse);
    Print([](PrintRangeDialog* d) { Range(d, "2", "3"); }, "Ne");
    EXPECT_FALSE(Printed());
    EXPECT_EQ(Module1::PrintFrom, 2); // the choice stays as made
    EXPECT_EQ(Module1::PrintTo, 3);
}

TEST_F(PrintTest, TheRangeWindowChecksItsBoxesAndStartsFreshEachTime) {
    SeenBox box;
    OnNextModal<PrintRangeDialog>([&](PrintRangeDialog* d) {
        EXPECT_TRUE(d->optTekucaStranica->isChecked());
        EXPECT_FALSE(d->txtOd->isEnabled());
        d->optOdStrDoStr->click();
        EXPECT_TRUE(d->txtOd->isEnabled());
        EXPECT_EQ(d->focusWidget(), d->txtOd);

        d->txtOd->setText("abc");
        AnswerBox(&box);
        QTest::keyClick(d->txtOd, Qt::Key_Return);
        EXPECT_EQ(box.text, "Morate unijeti redni broj stranice!");
        EXPECT_EQ(box.title, "Pogreška");
        EXPECT_EQ(d->focusWidget(), d->txtOd);
        EXPECT_EQ(d->txtOd->text(), "abc");
        d->txtOd->setText("3");
        QTest::keyClick(d->txtOd, Qt::Key_Return);
        EXPECT_EQ(d->focusWidget(), d->txtDo);

        d->txtOd->clear(); // Prihvati with an empty first box
        AnswerBox(&box);
        d->cmdPrihvati->click();
        EXPECT_EQ(box.text, "Pogrešan unos!");
        EXPECT_EQ(box.title, "Vokabis");
        EXPECT_EQ(Module1::PrintAccepted, db::kTrue); // set before the checks
        for (auto [from, to, message] : {std::tuple{"4", "2", "Prva stranica raspona ne smije biti veća od zadnje!"},
                                         std::tuple{"-1", "2", "Pogrešan unos!"}, std::tuple{"1", "3000000000", "Pogrešan unos!"},
                                         std::tuple{"2", "6", "Zadnja stranica popisa je 5."}}) {
            d->txtOd->setText(from);
            d->txtDo->setText(to);
            AnswerBox(&box);
            d->cmdPrihvati->click();
            EXPECT_EQ(box.text, message) << from << "-" << to;
        }
        EXPECT_EQ(Module1::PrintFrom, 0);
        d->optSveStranice->click(); // switching away empties and disables both boxes
        EXPECT_EQ(d->txtOd->text(), "");
        EXPECT_FALSE(d->txtDo->isEnabled());
        d->optOdStrDoStr->click();
        EXPECT_EQ(d->txtDo->text(), "");
        d->txtOd->setText("3,4"); // a decimal comma rounds to the page
        d->txtDo->setText("3");
        AnswerBox(&box, "Ne");
        d->cmdPrihvati->click();
    });
    preview->cmdIspis->click();
    EXPECT_EQ(Module1::PrintFrom, 3);
    EXPECT_EQ(Module1::PrintTo, 3);
    OnNextModal<PrintRangeDialog>([&](PrintRangeDialog* d) {
        EXPECT_TRUE(d->optTekucaStranica->isChecked()); // a fresh window
        EXPECT_EQ(d->txtOd->text(), "");
        d->cmdOdbaci->click();
    });
    preview->cmdIspis->click();
}

// "Ispis stranica" reached with the arrow keys puts the focus in Od, as a click does.
TEST_F(PrintTest, ThePageRangeChosenWithTheArrowKeysTakesTheFocusToOd) {
    SeenBox none;
    OnNextModal<PrintRangeDialog>([&](PrintRangeDialog* d) {
        ASSERT_TRUE(QTest::qWaitForWindowActive(d)); // an arrow key moves the choice only in the active window
        ASSERT_EQ(d->focusWidget(), d->optTekucaStranica);
        QTest::keyClick(d->optTekucaStranica, Qt::Key_Down);
        QCoreApplication::processEvents();
        EXPECT_TRUE(d->optOdStrDoStr->isChecked());
        EXPECT_TRUE(d->txtOd->isEnabled());
        EXPECT_EQ(d->focusWidget(), d->txtOd);
        QTest::keyClick(d->focusWidget(), Qt::Key_Up); // in a box the arrows do not change the choice
        QCoreApplication::processEvents();
        EXPECT_TRUE(d->optOdStrDoStr->isChecked());
        d->optOdStrDoStr->setFocus();
        QTest::keyClick(d->optOdStrDoStr, Qt::Key_Down); // and leaving the range empties Od and Do
        QCoreApplication::processEvents();
        EXPECT_TRUE(d->optSveStranice->isChecked());
        EXPECT_FALSE(d->txtOd->isEnabled());
        EXPECT_EQ(d->focusWidget(), d->optSveStranice);
        d->cmdOdbaci->click();
    });
    preview->cmdIspis->click();
}

// At a screen scale above 1 (QT_SCALE_FACTOR=2, the PrintPreviewAtScale2 run) the sheet is drawn
// with the screen's own pixels, not enlarged from a 96 dpi picture.
TEST_F(PrintTest, ThePreviewPageIsDrawnAtTheScreensPixelRatio) {
    const qreal ratio = preview->devicePixelRatioF();
    if (ratio == 1) GTEST_SKIP() << "the screen's scale is 1 here; PrintPreviewAtScale2 runs this at 2";
    const QPixmap sheet = preview->Picture1->pixmap();
    EXPECT_EQ(sheet.devicePixelRatio(), ratio);
    EXPECT_NEAR(sheet.width(), preview->Picture1->width() * ratio, 2);
    preview->cmdNext->click(); // and so is every page after the first
    EXPECT_EQ(preview->Picture1->pixmap().devicePixelRatio(), ratio);
}

TEST_F(PrintTest, PreviewNavigationStopsAtBothEndsWithoutRedrawing) {
    const qint64 first = preview->Picture1->pixmap().cacheKey();
    preview->cmdFirst->click();
    preview->CmdPrevious->click();
    EXPECT_EQ(preview->Picture1->pixmap().cacheKey(), first); // guarded: not even cleared
    preview->cmdLast->click();
    EXPECT_EQ(preview->Text1->text(), "5");
    const QImage last = preview->picture.image();
    const qint64 lastKey = preview->Picture1->pixmap().cacheKey();
    preview->cmdNext->click();
    EXPECT_EQ(preview->Picture1->pixmap().cacheKey(), lastKey);
    EXPECT_EQ(preview->CurrentPage, 5);
    preview->CmdPrevious->click();
    EXPECT_EQ(preview->Text1->text(), "4");
    EXPECT_NE(preview->picture.image(), last);
    preview->show();
    QApplication::setActiveWindow(preview.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(preview.get()));
    preview->Text3->setFocus(); // the display boxes hand the focus on (Tab passes over them: PrintWindows)
    EXPECT_EQ(preview->focusWidget(), preview->cmdIzlaz);
}

TEST_F(PrintTest, APrinterThatRefusesTheJobIsReportedAndThePreviewStaysUsable) {
    printing::AppPrinter().setOutputFileName("/nonexistent-folder/out.pdf");
    const QString failure = PrintFails([](PrintRangeDialog* d) { d->cmdPrihvati->click(); });
    EXPECT_TRUE(failure.contains("Ispis nije uspio")) << failure.toStdString();
    preview->cmdNext->click();
    EXPECT_EQ(preview->Text1->text(), "2");
}

// The current page's rows cannot be read (the list was closed under the preview): the job is
// still ended, and the failure is told instead of leaving a slot and ending the program.
TEST_F(PrintTest, ACurrentPageThatCannotBeReadEndsItsJobAndIsTold) {
    f.list->Close();
    Module1::PrintCurrent = db::kTrue;
    printing::RecordingTarget printer;
    EXPECT_THROW(preview->PrintPages(printer), printing::PrintError);
    ASSERT_FALSE(printer.ops.empty());
    EXPECT_EQ(printer.ops.back().kind, printing::RecordingTarget::Op::EndDoc);
    const QString failure = PrintFails([](PrintRangeDialog* d) {
        d->optTekucaStranica->click();
        d->cmdPrihvati->click();
    });
    EXPECT_TRUE(failure.contains("Ispis nije uspio")) << failure.toStdString();
}

TEST_F(PrintTest, ARealPrintQueueGetsTheRangeAsOneJob) {
    const QDir out(QString(CUPS_PDF_DIR) + "/own-" + QString::number(::getpid()));
    TempQueue queue(out.path());
    if (!queue.made) GTEST_SKIP() << "no print server to add a queue to (scripts/pdf-printer)";
    QPrinter& printer = UsePrinter();
    printer.setPrinterName(queue.name);
    ASSERT_EQ(printer.printerName(), queue.name);
    Print([](PrintRangeDialog* d) { Range(d, "2", "4"); });
    const QString job = WaitForJob(queue.name, out);
    ASSERT_FALSE(job.isEmpty());
    EXPECT_EQ(NewestJobTitle(queue.name), "Vokabis – popis riječi"); // how the user finds it in the queue
    EXPECT_EQ(PdfPages(job), 3);
    EXPECT_TRUE(PdfPage(job, 1).contains("en051")) << PdfPage(job, 1).toStdString();
    EXPECT_TRUE(PdfPage(job, 3).contains("en200"));
    QDir(out).removeRecursively();
}

// The queue chosen in the settings is removed, or the print server stopped, before Ispis: the
// print engine says nothing then, so the program has to find out from the server itself.
TEST_F(PrintTest, APrinterThatIsGoneOrAServerThatIsDownIsToldByNameAndNothingCountsAsPrinted) {
    TempQueue queue;
    if (!queue.made) GTEST_SKIP() << "no print server to add a queue to (scripts/pdf-printer)";
    QPrinter& printer = UsePrinter();
    ASSERT_FALSE(printing::SelectPrinter(queue.name));
    ASSERT_EQ(printer.printerName(), queue.name);
    queue.Remove();
    auto print = [&] { return PrintFails([](PrintRangeDialog* d) { Range(d, "2", "3"); }); };
    const QString gone = print();
    EXPECT_TRUE(gone.contains("Pisač „" + queue.name + "”")) << gone.toStdString();
    EXPECT_TRUE(gone.contains("ne postoji")) << gone.toStdString();
    EXPECT_TRUE(NewestJobTitle(queue.name).isEmpty());

    if (QPrinterInfo::printerInfo("VokabisPDF").isNull()) return;
    ASSERT_FALSE(printing::SelectPrinter("VokabisPDF"));
    const StoppedServer stopped;
    if (::geteuid() == 0) {
        EXPECT_TRUE(stopped.wasRunning) << "the private print server never ran";
    }
    const QString down = print();
    EXPECT_TRUE(down.contains("Pisač „VokabisPDF”")) << down.toStdString();
    EXPECT_TRUE(down.contains("poslužitelj za ispis")) << down.toStdString();
}

// The queue goes, or the server stops, while the job is being drawn: the engine still ends the
// document as if it had been sent.
TEST(PrintQueue, AJobTheServerDoesNotShowAfterTheEndIsRefusedByName) {
    TempQueue queue;
    if (!queue.made) GTEST_SKIP() << "no print server to add a queue to (scripts/pdf-printer)";
    QPrinter printer(QPrinter::HighResolution);
    printer.setPrinterName(queue.name);
    ASSERT_EQ(printer.printerName(), queue.name);
    auto endAfter = [&](auto meanwhile) -> std::string {
        printing::PrinterTarget target(printer, "Vokabis – popis riječi");
        target.Print("en001");
        meanwhile();
        try {
            target.EndDoc();
        } catch (const printing::PrintError& e) {
            return e.what();
        }
        return "";
    };
    const std::string gone = endAfter([&] { queue.Remove(); });
    EXPECT_EQ(gone, "Pisač „" + queue.name.toStdString() + "” nije primio ispis: posla „Vokabis – popis riječi” nema u "
                    "njegovu redu čekanja. Pokušajte ponovo ili odaberite drugi pisač.");
    TempQueue again;
    ASSERT_TRUE(again.made);
    printer.setPrinterName(again.name);
    std::unique_ptr<StoppedServer> stopped;
    const std::string down = endAfter([&] { stopped = std::make_unique<StoppedServer>(); });
    EXPECT_TRUE(QString::fromStdString(down).startsWith("Pisač „" + again.name + "” nije primio ispis: poslužitelj za ispis"))
        << down;
}

TEST(PrintLongList, PageNumbersPast32767AreTakenAsTheyAre) {
    ListFixture f(32770);
    Module1::Settings.BrojRedova = 1;
    PrintPreview preview(*f.list);
    EXPECT_EQ(preview.Text3->text(), "32770");
    preview.cmdLast->click();
    Module1::PrintCurrent = db::kTrue;
    Module1::PrintAll = db::kFalse;
    Module1::PrintFrom = Module1::PrintTo = 0;
    printing::RecordingTarget printer;
    EXPECT_EQ(preview.PrintPages(printer), 1);
    EXPECT_EQ(printer.Texts().at(1).text, "en9999"); // the last in the English order

    auto* range = new PrintRangeDialog(32770); // it deletes itself on closing
    range->optOdStrDoStr->click();
    range->txtOd->setText("32768");
    range->txtDo->setText("32770");
    AutoAnswer refusal;
    range->cmdPrihvati->click();
    EXPECT_EQ(refusal.boxes, 0);
    EXPECT_EQ(Module1::PrintFrom, 32768);
    EXPECT_EQ(Module1::PrintTo, 32770);
    EXPECT_EQ(PageNumber("41194,5"), 41194); // a half to the even neighbour
    EXPECT_EQ(PageNumber("5000000000"), 0);
}

// Tab and Shift+Tab reach every enabled control of each print window; where leaving a box sends
// the focus to Prihvati, Tab reaches that box last and Shift+Tab from Prihvati passes over it.
// The focus the window gives at its opening is drawn at once.
TEST(PrintWindows, TabReachesEveryControlBothWaysAndTheFirstFocusIsSeen) {
    ListFixture f(3);
    auto ring = [](QDialog* w, const char* start, QStringList forward, QStringList backward) {
        w->show();
        QApplication::setActiveWindow(w);
        ASSERT_TRUE(QTest::qWaitForWindowActive(w));
        QApplication::processEvents(); // what an option's click leaves to do
        QWidget* first = w->findChild<QWidget*>(start);
        QWidget* focused = QApplication::focusWidget();
        EXPECT_TRUE(focused && ShowsItsFocus(focused)) << start;
        EXPECT_EQ(TabRing(first), forward) << start;
        EXPECT_EQ(TabRing(first, true), backward) << start;
    };
    PrintSettingsWindow settings;
    settings.optTab->setCurrentIndex(1);
    ring(&settings, "cmdPrihvati",
         {"cmdIzlaz", "qt_tabwidget_tabbar", "cmdPrinter", "cmdMarginr", "cmdOk", "txtLeftM", "txtTopM"},
         {"txtLeftM", "cmdOk", "cmdMarginr", "cmdPrinter", "qt_tabwidget_tabbar", "cmdIzlaz"});
    settings.optTab->setCurrentIndex(2);
    const QStringList options = {"cmdIzlaz", "qt_tabwidget_tabbar", "txtHPomak", "optDesno", "cmdFont", "txtVPomak",
                                 "optGore", "txtBrojRedova", "txtFontSizeOstalo"};
    ring(&settings, "cmdPrihvati", options, QStringList(options.rbegin(), options.rend()));
    PrintRangeDialog range(9);
    ring(&range, "cmdPrihvati", {"cmdOdbaci", "optTekucaStranica"}, {"optTekucaStranica", "cmdOdbaci"});
    QTest::mouseClick(range.optOdStrDoStr, Qt::LeftButton);
    ring(&range, "cmdPrihvati", {"cmdOdbaci", "optOdStrDoStr", "txtOd", "txtDo"}, {"txtOd", "optOdStrDoStr", "cmdOdbaci"});
    PrintPreview preview(*f.list);
    const QStringList strip = {"CmdPrevious", "cmdNext", "cmdLast", "cmdIspis", "cmdIzlaz", "Scroller1"};
    ring(&preview, "cmdFirst", strip, QStringList(strip.rbegin(), strip.rend()));
}

// Each print window keeps its own colours on a light palette and every text 4.5:1 and every
// picture 3:1 against what it is drawn on with a dark one.
TEST(PrintWindows, OwnColoursStayOnALightPaletteAndStayReadableOnADarkOne) {
    ListFixture f(3);
    for (bool darkTheme : {false, true}) {
        std::optional<DarkPalette> dark;
        if (darkTheme) dark.emplace();
        PrintSettingsWindow settings;
        PrintPreview preview(*f.list);
        PrintRangeDialog range(1);
        PrinterSelection printers;
        if (!darkTheme) {
            EXPECT_EQ(settings.Text5->palette().color(QPalette::Text), QColor(0, 70, 213));
            EXPECT_EQ(preview.lblUpozorenje->palette().color(QPalette::WindowText), QColor(192, 0, 0));
        }
        for (QWidget* w : std::initializer_list<QWidget*>{&settings, &preview, &range, &printers})
            EXPECT_EQ(TooFaint(w, darkTheme), QStringList{}) << w->objectName().toStdString() << (darkTheme ? " dark" : " light");
    }
}

// Each print window over a small main window in the screen's corner.
TEST(PrintWindows, OpenCentredOnTheScreenWithEveryControlNamedForAScreenReader) {
    ListFixture f(3);
    QWidget main;
    main.setGeometry(20, 20, 240, 160);
    main.show();
    const QPoint centre = main.screen()->availableGeometry().center();
    for (QDialog* w : std::initializer_list<QDialog*>{new PrintSettingsWindow(&main), new PrintPreview(*f.list, &main),
                                                      new PrintRangeDialog(1, &main), new PrinterSelection(&main)}) {
        w->show();
        EXPECT_LE((w->frameGeometry().center() - centre).manhattanLength(), 2) << w->objectName().toStdString();
        EXPECT_EQ(UnnamedControls(w), QStringList{}) << w->objectName().toStdString();
        for (QLabel* l : w->findChildren<QLabel*>()) { // a label beside a box names it
            const char* box = l->objectName() == "Label6_0"   ? "txtLeftM"
                              : l->objectName() == "Label6_1" ? "txtTopM"
                              : w->objectName() == "Form1"    ? (l->text() == "Od" ? "txtOd" : "txtDo")
                              : w->objectName() == "Form2" && l->objectName() != "lblNoPrinter" ? "cboPrinter" : "-";
            EXPECT_EQ(l->buddy(), w->findChild<QWidget*>(box) ? w->findChild<QWidget*>(box) : l->buddy()) << l->objectName().toStdString();
        }
        w->close();
    }
    QDialog huge(&main); // larger than the screen: its title bar stays on it
    huge.resize(main.screen()->availableGeometry().size() * 2);
    ui::CentreOnScreen(&huge);
    EXPECT_EQ(huge.pos(), main.screen()->availableGeometry().topLeft());
}
