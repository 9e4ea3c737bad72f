// One working session with the whole program, as start-up builds it, on a dictionary made by
// vokabis-db: search, add, change, delete, preview, print a range, change the settings, exit;
// then a second start that must find all of it. Runs on a virtual X display (xvfb-run) and
// leaves a screenshot of each window in build/screenshots/session-*.png.
#include "common/Modal.h"

#include "core/Module1.h"
#include "app/Startup.h"
#include "db/Sqlite.h"
#include "dictionary/EntryEditor.h"
#include "dictionary/MainWindow.h"
#include "dictionary/WordGrid.h"
#include "printing/PrintPreview.h"
#include "printing/PrintRange.h"
#include "printing/PrintSettings.h"
#include "printing/QtTargets.h"

#include <QtPrintSupport>
#include <QTest>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {
void Shot(QWidget* w, const char* name) {
    QDir().mkpath(SCREENSHOT_DIR);
    w->grab().save(QString(SCREENSHOT_DIR) + "/session-" + name + ".png");
}
QStringList Column(MainWindow* w, int c) {
    QStringList out;
    for (int r = 0; r < w->DBGrid1->model()->rowCount(); ++r) out << w->DBGrid1->model()->index(r, c).data().toString();
    return out;
}
} // namespace

TEST(Session, EverythingDoneInOneRunIsThereAtTheNext) {
    const QString folder = QDir::tempPath() + "/vokabis-session-" + QString::number(::getpid());
    QDir(folder).removeRecursively();
    QDir().mkpath(folder + "/Data");
    ASSERT_EQ(QProcess::execute(VOKABIS_DB, {"create", folder + "/Data/Vokabis.mdb", "--from", SAMPLE_TSV}), 0);

    const QString pdf = folder + "/page.pdf";
    QPrinter& printer = printing::AppPrinter();
    const bool queue = !QPrinterInfo::printerInfo("VokabisPDF").isNull();
    if (queue) {
        printer.setOutputFormat(QPrinter::NativeFormat);
        printer.setPrinterName("VokabisPDF");
    } else {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
    }

    QPointer<MainWindow> w = StartUp(folder);
    ASSERT_TRUE(w);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    Shot(w, "1-start");

    Type(w->txtNadjiEngleski, "ca");
    EXPECT_EQ(Column(w, 0), (QStringList{"cat"}));
    Shot(w, "2-search");
    w->txtNadjiEngleski->clear();

    OnNextModal<EntryEditor>([](EntryEditor* e) { // add a pair
        Type(e->txtEngleski, "zebra");
        Type(e->txtHrvatski, "zebra (prugasta)");
        Shot(e, "3-editor");
        e->cmdSpremi->click();
        e->cmdIzlaz->click();
    });
    w->cmdNova->click();
    const int dog = int(Column(w, 0).indexOf("dog"));
    ASSERT_GE(dog, 0);
    w->DBGrid1->selectionModel()->setCurrentIndex(w->DBGrid1->model()->index(dog, 0), QItemSelectionModel::NoUpdate);
    OnNextModal<EntryEditor>([](EntryEditor* e) { // change one
        e->txtHrvatski->setText("pas, kuče");
        e->cmdSpremi->click();
        e->cmdIzlaz->click();
    });
    w->cmdOk->click();
    const int frog = int(Column(w, 0).indexOf("frog"));
    w->DBGrid1->selectRow(frog); // and delete another
    SeenBox sure;
    AnswerBox(&sure, "Da");
    w->cmdDelete->click();
    EXPECT_FALSE(Column(w, 0).contains("frog"));

    w->cmdFirst->click();
    OnNextModal<PrintPreview>([](PrintPreview* p) {
        Shot(p, "4-preview");
        OnNextModal<PrintRangeDialog>([](PrintRangeDialog* d) {
            d->optOdStrDoStr->click();
            d->txtOd->setText("1");
            d->txtDo->setText("1");
            Shot(d, "5-range");
            static SeenBox ready;
            AnswerBox(&ready, "Da");
            d->cmdPrihvati->click();
        });
        p->cmdIspis->click();
        p->cmdIzlaz->click();
    });
    w->cmdPregledaj->click();

    OnNextModal<PrintSettingsWindow>([](PrintSettingsWindow* s) {
        s->optTab->setCurrentIndex(2);
        s->txtBrojRedova->setText("40");
        Shot(s, "6-settings");
        s->cmdPrihvati->click();
        s->cmdIzlaz->click();
    });
    w->cmdAlati->click();
    w->cmdIzlaz->click();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(w.isNull());
    EXPECT_FALSE(Module1::DictDb->IsOpen());

    if (queue) { // the queue writes the job a moment later
        for (int i = 0; i < 200; ++i) {
            QProcess lp;
            lp.start("lpstat", {"-W", "not-completed", "-o"});
            lp.waitForFinished();
            if (lp.readAllStandardOutput().trimmed().isEmpty()) break;
            QTest::qWait(50);
        }
    } else {
        EXPECT_TRUE(QFile::exists(pdf));
    }

    // The next start.
    Module1::Settings = {};
    QPointer<MainWindow> again = StartUp(folder);
    ASSERT_TRUE(again);
    const QStringList english = Column(again, 0), croatian = Column(again, 1);
    EXPECT_TRUE(english.contains("zebra"));
    EXPECT_EQ(croatian.at(english.indexOf("dog")), "pas, kuče");
    EXPECT_FALSE(english.contains("frog"));
    EXPECT_EQ(Module1::Settings.BrojRedova, 40);
    Shot(again, "7-restart");
    again->cmdIzlaz->click();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QDir(folder).removeRecursively();
}
