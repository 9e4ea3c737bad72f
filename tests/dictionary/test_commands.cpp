#include "Form4Fixture.h"

#include "dictionary/EntryEditor.h"

#include <QStandardItemModel>

namespace {
const Rows kPairs = {
    {"ant", "mrav"}, {"bee", "pčela"}, {"cat", "mačka"}, {"dog", "pas"}, {"eel", "jegulja"}, {"fox", "lisica"}};

// Stands in for the browser: remembers what it was asked to open.
class UrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void open(const QUrl& url) { opened << url; }
};
} // namespace

class CommandsTest : public Form4Test {
protected:
    // Clicks the button and tells how many windows or message boxes came up (each is closed).
    int Opened(const char* button) {
        AutoAnswer answer;
        Click(Find(button));
        QTest::qWait(30);
        return answer.boxes + answer.dialogs;
    }
    long Pos() const { return w->Data1.recordset().AbsolutePosition(); }
};

TEST_F(CommandsTest, OnAnEmptyListOnlyNoviPojamOptionsHelpAndExitDoAnything) {
    Start(kPairs);
    int previews = 0, settings = 0;
    w->showPrintPreview = [&] { ++previews; };
    w->showPrintSettings = [&] { ++settings; };
    Type(Find("txtNadjiEngleski"), "zz");
    ASSERT_EQ(Rows(), 0);
    const QString source = Source();
    for (const char* name : {"cmdFirst", "CmdPrevious", "cmdNext", "cmdLast", "cmdOk", "cmdDelete", "cmdPregledaj"})
        EXPECT_EQ(Opened(name), 0) << name;
    EXPECT_EQ(previews, 0);
    EXPECT_EQ(Source(), source);
    Click(Find("cmdAlati"));
    EXPECT_EQ(settings, 1);

    // A word the search did not find is added from here, and shows in the list.
    OnNextModal([&](QWidget* m) {
        auto* e = qobject_cast<EntryEditor*>(m);
        for (const char* term : {"zzz", "zest"}) {
            Type(e->txtEngleski, term);
            Type(e->txtHrvatski, term);
            e->cmdSpremi->click();
        }
        e->cmdIzlaz->click();
    });
    Click(Find("cmdNova"));
    EXPECT_EQ(Column(0), (QStringList{"zzz", "zest"}));
    EXPECT_EQ(folder.Count(), 8);
    EXPECT_EQ(Counter(), "0/2");
}

TEST_F(CommandsTest, NavigationStopsAtBothEndsAndNoCurrentRowDisablesTheRowCommands) {
    Start(kPairs);
    int previews = 0;
    w->showPrintPreview = [&] { ++previews; };
    Click(Find("cmdLast"));
    EXPECT_EQ(Pos(), 5);
    EXPECT_EQ(Grid()->currentIndex().row(), 5);
    Click(Find("cmdNext")); // past the last row: none is current
    EXPECT_EQ(Pos(), -1);
    EXPECT_FALSE(Grid()->currentIndex().isValid());
    Grid()->setFocus(Qt::TabFocusReason); // nor is one made current on the way in
    EXPECT_FALSE(Grid()->currentIndex().isValid());
    EXPECT_EQ(Pos(), -1);
    EXPECT_EQ(Text("Text1"), "0");
    Click(Find("cmdNext")); // guarded: stays after the end
    EXPECT_TRUE(w->Data1.recordset().Eof());
    Grid()->selectRow(2);
    Grid()->selectionModel()->setCurrentIndex({}, QItemSelectionModel::NoUpdate);
    w->Data1.recordset().MoveLast();
    w->Data1.recordset().MoveNext();
    for (const char* name : {"cmdOk", "cmdDelete", "cmdPregledaj"}) EXPECT_EQ(Opened(name), 0) << name;
    EXPECT_EQ(previews, 0);
    EXPECT_EQ(w->Data1.recordset().RowCount(), 6);
    Click(Find("CmdPrevious"));
    EXPECT_EQ(Pos(), 5);
    Click(Find("cmdFirst"));
    Click(Find("CmdPrevious")); // before the first row
    EXPECT_EQ(Pos(), -1);
    Click(Find("CmdPrevious"));
    EXPECT_TRUE(w->Data1.recordset().Bof());
    Click(Find("cmdNext"));
    EXPECT_EQ(Counter(), "1/6");
    Click(Find("cmdPregledaj"));
    EXPECT_EQ(previews, 1);
}

TEST_F(CommandsTest, DeleteRemovesExactlyTheSelectedRowsAfterAskingWithNoAsDefault) {
    Start(kPairs);
    Click(Find("cmdDelete")); // a current row but nothing selected: nothing asked
    QTest::qWait(20);
    EXPECT_EQ(Rows(), 6);
    for (int row : {1, 3, 4}) Grid()->selectionModel()->select(Grid()->model()->index(row, 0),
                                                                QItemSelectionModel::Select | QItemSelectionModel::Rows);
    SeenBox box;
    AnswerBox(&box, "Ne");
    Click(Find("cmdDelete"));
    EXPECT_EQ(box.text, "Želite li izbrisati označene zapise?");
    EXPECT_EQ(box.title, "Vokabis");
    EXPECT_EQ(box.icon, QMessageBox::Critical);
    EXPECT_EQ(box.buttons, (QStringList{"Da", "Ne"}));
    EXPECT_EQ(box.defaultButton, "Ne");
    EXPECT_EQ(Rows(), 6);
    EXPECT_EQ(folder.Count(), 6);

    ClickRow(3); // the current row goes too
    AnswerBox(&box, "Da");
    Click(Find("cmdDelete"));
    EXPECT_EQ(Column(0), (QStringList{"ant", "cat", "fox"}));
    EXPECT_EQ(folder.Count(), 3);
    EXPECT_EQ(Pos(), -1); // no current row until the next move, not a neighbour
    EXPECT_FALSE(Grid()->currentIndex().isValid());
    EXPECT_EQ(Counter(), "0/3");
    Click(Find("cmdNext"));
    EXPECT_EQ(w->Data1.recordset().Field("Engleski"), db::Value(std::string("fox")));

    // The Delete key in the grid is the same command, question included.
    Grid()->selectRow(0);
    Grid()->setFocus();
    AnswerBox(&box, "Da");
    Key(Grid(), Qt::Key_Delete);
    EXPECT_EQ(box.count, 3);
    EXPECT_EQ(Column(0), (QStringList{"cat", "fox"}));
}

// The usual list keys and clicks choose rows; moving alone never does, and only chosen rows go.
TEST_F(CommandsTest, RowsAreChosenWithTheKeyboardAndWithShiftOrCtrlClicks) {
    Start(kPairs);
    auto chosen = [&] {
        QList<int> rows = Grid()->SelectedRows();
        std::sort(rows.begin(), rows.end());
        return rows;
    };
    ClickRow(1);
    Grid()->setFocus();
    Key(Grid(), Qt::Key_Space);
    EXPECT_EQ(chosen(), QList<int>{1});
    Key(Grid(), Qt::Key_Space); // toggles
    EXPECT_EQ(chosen(), QList<int>{});
    Key(Grid(), Qt::Key_Down, Qt::ShiftModifier);
    Key(Grid(), Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(chosen(), (QList<int>{1, 2, 3}));
    Key(Grid(), Qt::Key_Up, Qt::ShiftModifier); // the range shrinks back towards where it began
    EXPECT_EQ(chosen(), (QList<int>{1, 2}));
    Key(Grid(), Qt::Key_Down, Qt::ControlModifier);
    Key(Grid(), Qt::Key_Down);
    EXPECT_EQ(Grid()->currentIndex().row(), 4);
    EXPECT_EQ(chosen(), (QList<int>{1, 2})); // moving chose nothing
    Key(Grid(), Qt::Key_Space, Qt::ControlModifier);
    EXPECT_EQ(chosen(), (QList<int>{1, 2, 4}));
    Key(Grid(), Qt::Key_End, Qt::ShiftModifier);
    EXPECT_EQ(chosen(), (QList<int>{1, 2, 4, 5}));
    Key(Grid(), Qt::Key_Home, Qt::ShiftModifier);
    EXPECT_EQ(chosen(), (QList<int>{0, 1, 2, 3, 4}));

    Grid()->clearSelection();
    ClickRow(1);
    const QPoint row4(5, Grid()->rowViewportPosition(4) + 3);
    QTest::mouseClick(Grid()->viewport(), Qt::LeftButton, Qt::ShiftModifier, row4);
    EXPECT_EQ(chosen(), (QList<int>{1, 2, 3, 4}));
    QTest::mouseClick(Grid()->viewport(), Qt::LeftButton, Qt::ControlModifier, QPoint(5, Grid()->rowViewportPosition(2) + 3));
    EXPECT_EQ(chosen(), (QList<int>{1, 3, 4}));
    ClickRow(0); // a plain click moves only
    EXPECT_EQ(chosen(), (QList<int>{1, 3, 4}));

    SeenBox box;
    AnswerBox(&box, "Da");
    Key(Grid(), Qt::Key_Delete);
    EXPECT_EQ(Column(0), (QStringList{"ant", "cat", "fox"}));

    // Enter and F2 open the current pair in the editor, as a double-click does.
    ClickRow(1);
    QStringList seen;
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_F2}) {
        OnNextModal<EntryEditor>([&](EntryEditor* e) {
            seen << e->txtEngleski->text();
            e->cmdIzlaz->click();
        });
        Key(Grid(), key);
        QTest::qWait(20);
    }
    EXPECT_EQ(seen, (QStringList{"cat", "cat"}));
}

TEST_F(CommandsTest, EnterPressesAFocusedButtonAndShortcutsReachTheCommands) {
    Start(kPairs);
    auto press = [](Qt::Key key, Qt::KeyboardModifiers mods = Qt::ControlModifier) {
        QTest::keyClick(QApplication::focusWidget(), key, mods);
    };
    Find("cmdLast")->setFocus(Qt::TabFocusReason);
    press(Qt::Key_Return, Qt::NoModifier);
    EXPECT_EQ(Pos(), 5);

    press(Qt::Key_F);
    EXPECT_EQ(QApplication::focusWidget(), Find("txtNadjiEngleski"));
    int previews = 0;
    w->showPrintPreview = [&] { ++previews; };
    press(Qt::Key_P);
    EXPECT_EQ(previews, 1);
    bool adding = false;
    OnNextModal([&](QWidget* m) {
        adding = Module1::IsNewEntry == db::kTrue;
        m->close();
    });
    press(Qt::Key_N);
    EXPECT_TRUE(adding);
    QApplication::setActiveWindow(w.get()); // an offscreen run does not do it when the editor closes
    UrlCatcher browser; // Pomoć and F1 open the page beside the program
    QDesktopServices::setUrlHandler("file", &browser, "open");
    press(Qt::Key_F1, Qt::NoModifier);
    Click(Find("cmdHelp"));
    QDesktopServices::unsetUrlHandler("file");
    const QUrl page = QUrl::fromLocalFile(folder.app() + "/Help/index.htm");
    EXPECT_EQ(browser.opened, (QList<QUrl>{page, page}));
    press(Qt::Key_Q);
    EXPECT_FALSE(w->isVisible());
    EXPECT_FALSE(Module1::DictDb->IsOpen());
}

TEST(HelpPage, IsWellFormedCroatianHtmlAndEveryPictureIsThere) {
    const QString dir = QString(SOURCE_DIR) + "/resources/Help";
    QFile f(dir + "/index.htm");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString page = QString::fromUtf8(f.readAll()).remove("<!DOCTYPE html>");
    QXmlStreamReader xml(page);
    while (!xml.atEnd()) xml.readNext();
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString() << " at line " << xml.lineNumber();
    EXPECT_TRUE(page.contains("<html lang=\"hr\">") && page.contains("<title>Vokabis – pomoć</title>"));
    EXPECT_FALSE(page.contains("<script"));
    QStringList pictures, missing;
    for (auto img = QRegularExpression("<img src=\"([^\"]+)\"").globalMatch(page); img.hasNext();)
        pictures << img.next().captured(1);
    for (const QString& p : pictures)
        if (!QFile::exists(dir + "/" + p)) missing << p;
    EXPECT_GE(pictures.size(), 13);
    EXPECT_TRUE(missing.isEmpty()) << missing.join(", ").toStdString();
}

#include "test_commands.moc"

// While the dictionary is read-only, every command that would write says so in the status bar
// and opens nothing; looking up and moving still work.
TEST_F(CommandsTest, OnAReadOnlyDictionaryTheWritingCommandsSaySoAndOpenNothing) {
    Start(kPairs);
    db::RefuseWrites("Datoteka je na mediju samo za čitanje.");
    Grid()->selectRow(1);
    for (const char* name : {"cmdNova", "cmdOk", "cmdDelete", "DBGrid1"}) {
        w->SetStatusText(QString());
        AutoAnswer answer;
        std::string(name) == "DBGrid1" ? ClickRow(1, 0, true) : Click(Find(name));
        QTest::qWait(30);
        EXPECT_EQ(answer.boxes + answer.dialogs, 0) << name;
        EXPECT_EQ(w->StatusText(), "Rječnik je otvoren samo za čitanje: promjene se ne mogu spremiti.") << name;
    }
    EXPECT_EQ(folder.Count(), 6);
    Type(Find("txtNadjiEngleski"), "c");
    EXPECT_EQ(Column(0), QStringList{"cat"});
    db::RefuseWrites("");
}

// Ctrl+A and Delete in the grid, as a user does it on a long list. More than a hundred rows ask
// a second time, naming how many pairs go, with Ne as the default.
TEST_F(CommandsTest, SelectAllAndDeleteOfManyRowsAsksTwice) {
    Start(ManyPairs(150, "w", "r", 1000));
    Grid()->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), Grid());
    Key(Grid(), Qt::Key_A, Qt::ControlModifier);
    ASSERT_EQ(Grid()->SelectedRows().size(), 150);

    SeenBox first, second;
    AnswerBoxes({{&first, "Da"}, {&second, "Ne"}});
    Key(Grid(), Qt::Key_Delete);
    EXPECT_EQ(first.text, "Želite li izbrisati označene zapise?");
    EXPECT_EQ(first.defaultButton, "Ne");
    EXPECT_EQ(second.text, "Izbrisat će se 150 parova riječi. Jeste li sigurni?");
    EXPECT_EQ(second.buttons, (QStringList{"Da", "Ne"}));
    EXPECT_EQ(second.defaultButton, "Ne");
    EXPECT_EQ(folder.Count(), 150);
    EXPECT_EQ(Rows(), 150);

    Grid()->setFocus();
    Key(Grid(), Qt::Key_A, Qt::ControlModifier);
    first = second = {};
    AnswerBoxes({{&first, "Da"}, {&second, "Da"}});
    Key(Grid(), Qt::Key_Delete);
    EXPECT_EQ(second.count, 1);
    EXPECT_EQ(folder.Count(), 0);
    EXPECT_EQ(Rows(), 0);
    EXPECT_EQ(Counter(), "0/0");
}

// The selected rows go in one transaction: when one of them cannot go (another copy of the
// program changed it meanwhile), none goes, and the message says exactly that.
TEST_F(CommandsTest, ADeleteThatFailsPartWayDeletesNothingAndSaysSo) {
    Start(ManyPairs(60, "w", "r", 1000));
    Grid()->setFocus();
    Key(Grid(), Qt::Key_A, Qt::ControlModifier);
    db::Database(folder.path.string(), db::kPassword).Exec("UPDATE Vokabis SET Hrvatski = 'drugi' WHERE Engleski = 'w1003'");
    SeenBox first, failed;
    AnswerBoxes({{&first, "Da"}, {&failed, "U redu"}});
    Key(Grid(), Qt::Key_Delete);
    EXPECT_EQ(first.text, "Želite li izbrisati označene zapise?");
    EXPECT_EQ(failed.title, "Pogreška");
    EXPECT_TRUE(failed.text.contains("Nijedan par nije izbrisan.") && failed.text.contains("Drugi program"))
        << failed.text.toStdString();
    EXPECT_EQ(folder.Count(), 60) << "a failure part-way deleted some pairs";
    EXPECT_EQ(Rows(), 60);
    EXPECT_EQ(Cell(3, 1), "drugi"); // the list shows what the file holds now
}

// The rows deleted are those selected, each once however the selections overlap.
TEST(WordGridSelection, SelectedRowsComeOnceEach) {
    QStandardItemModel model(300, 2);
    dictionary::WordGrid grid;
    grid.setModel(&model);
    auto select = [&](int top, int bottom) {
        grid.selectionModel()->select(QItemSelection(model.index(top, 0), model.index(bottom, 1)),
                                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
    };
    select(200, 202);
    select(5, 6);
    select(201, 203); // overlaps the first
    QList<int> rows = grid.SelectedRows();
    std::sort(rows.begin(), rows.end());
    EXPECT_EQ(rows, (QList<int>{5, 6, 200, 201, 202, 203}));
    grid.selectAll();
    EXPECT_EQ(grid.SelectedRows().size(), 300);
}
