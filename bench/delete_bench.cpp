// Select all, then Delete, in the main window on a copy of a dictionary (the starter one by
// default), as a user does it: Ctrl+A in the grid, the Delete key, Da to both questions.
// Times collecting the selection and the whole command, and checks that every pair went.
// Usage: delete_bench [dictionary.mdb]. Runs offscreen; the copy is made in the bench data folder.
#include "core/Module1.h"
#include "db/Recordset.h"
#include "dictionary/MainWindow.h"
#include "dictionary/WordGrid.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <filesystem>

namespace {
// Answers every message box with Da as soon as it shows, counting them.
class SayYes : public QObject {
public:
    int boxes = 0;
    bool eventFilter(QObject* o, QEvent* e) override {
        if (auto* box = qobject_cast<QMessageBox*>(o); box && e->type() == QEvent::Show) {
            ++boxes;
            QTimer::singleShot(0, box, [box] {
                for (QAbstractButton* b : box->buttons())
                    if (b->text() == "Da" || b->text() == "&Yes" || b->text() == "Yes") return b->click();
                box->reject();
            });
        }
        return false;
    }
};
} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    namespace fs = std::filesystem;
    const fs::path source = argc > 1 ? fs::path(argv[1]) : fs::path(STARTER_DICTIONARY);
    const fs::path folder = fs::path(BENCH_DATA_DIR) / "delete-app";
    fs::remove_all(folder);
    fs::create_directories(folder / "Data");
    fs::copy_file(source, folder / "Data/Vokabis.mdb");

    Module1::OpenDictionaryAndReadSettings(QString::fromStdString(folder.string()));
    auto* w = new MainWindow;
    w->show();
    (void)QTest::qWaitForWindowExposed(w);
    const long pairs = w->Data1.recordset().RowCount();
    w->DBGrid1->setFocus();
    QTest::keyClick(w->DBGrid1, Qt::Key_A, Qt::ControlModifier);

    QElapsedTimer t;
    t.start();
    const qsizetype selected = w->DBGrid1->SelectedRows().size();
    const double selectMs = double(t.nsecsElapsed()) / 1e6;

    SayYes yes;
    app.installEventFilter(&yes);
    t.restart();
    QTest::keyClick(w->DBGrid1, Qt::Key_Delete);
    const double deleteMs = double(t.nsecsElapsed()) / 1e6;
    app.removeEventFilter(&yes);

    const long left = Module1::DictDb->Count("Select * From Vokabis");
    std::printf("%s\n  %ld pairs, %lld selected\n", source.c_str(), pairs, static_cast<long long>(selected));
    std::printf("  %-44s %8.1f ms\n", "collect the selection (SelectedRows)", selectMs);
    std::printf("  %-44s %8.1f ms\n", "Delete key to done (2 questions answered)", deleteMs);
    std::printf("  questions %d, pairs left in the file %ld, rows in the grid %d\n", yes.boxes, left,
                w->DBGrid1->model()->rowCount());
    delete w;
    return left == 0 ? 0 : 1;
}
