#include "Form4Fixture.h"

#include "db/Counts.h"
#include "dictionary/EntryEditor.h"
#include "dictionary/QueryBuilder.h"

namespace {
const Rows kPairs = {
    {"dog", "pas"},      {"cat", "mačka"},   {"cup", "šalica"}, {"house", "kuća"}, {"horse", "konj"},
    {"o'clock", "sat"},  {"ocean", "ocean"}, {"tea", "čaj"},    {"glass", "čaša"}, {"hedgehog", "jež"},
    {"Abbey", "opatija"}, {"abacus", "računaljka"}};
}

TEST_F(Form4Test, OpensOnTheStoredQueryWithItsLayoutAndCounter) {
    Start(kPairs);
    EXPECT_EQ(w->minimumSize(), w->maximumSize()); // not resizable
    EXPECT_FALSE(w->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(Source(), "OrderByEngleski");
    EXPECT_EQ(Column(0).mid(0, 4), (QStringList{"abacus", "Abbey", "cat", "cup"}));
    EXPECT_EQ(Grid()->model()->headerData(1, Qt::Horizontal).toString(), "Hrvatski");
    EXPECT_EQ(Text("Text2") + Counter(), "od1/12");
    EXPECT_EQ(w->ActiveLink1.Address, folder.app() + "/Help/index.htm"); // the focus on Novi pojam: the Tab test
}

// Tab and Shift+Tab reach every control in their fixed order, the display-only counter boxes
// passed over; the focus the program gives is drawn before any key is pressed, in the grid too.
TEST_F(Form4Test, TabReachesEveryControlBothWaysAndTheFocusIsAlwaysSeen) {
    Start(kPairs);
    EXPECT_TRUE(ShowsItsFocus(Find("cmdNova")));
    const QStringList ring = {"cmdOk",     "cmdDelete",        "cmdPregledaj",     "cmdAsc",      "cmdDesc",
                              "cmdAlati",  "cmdHelp",          "cmdIzlaz",         "txtNadjiEngleski",
                              "txtNadjiHrvatski", "CmdPrevious", "DBGrid1",        "cmdNext",     "cmdFirst", "cmdLast"};
    EXPECT_EQ(TabRing(Find("cmdNova")), ring);
    QStringList back(ring.rbegin(), ring.rend());
    EXPECT_EQ(TabRing(Find("cmdNova"), true), back);
    Key(Find("txtNadjiEngleski"), Qt::Key_Return); // the program moves the focus to the grid
    ASSERT_EQ(QApplication::focusWidget(), Grid());
    EXPECT_TRUE(ShowsItsFocus(Grid())); // the current cell is framed
    Click(Find<QLineEdit>("Text2")); // a counter box still hands a click on
    EXPECT_EQ(QApplication::focusWidget(), Find("txtNadjiEngleski"));
    OnNextModal<EntryEditor>([&](EntryEditor* e) {
        EXPECT_TRUE(ShowsItsFocus(e->cmdSpremi));
        EXPECT_EQ(TabRing(e->cmdSpremi), (QStringList{"cmdIzlaz", "txtEngleski", "txtHrvatski"}));
        // Leaving the Croatian box goes to Prihvati, so Shift+Tab from there passes over it.
        EXPECT_EQ(TabRing(e->cmdSpremi, true), (QStringList{"txtEngleski", "cmdIzlaz"}));
        e->txtEngleski->setText("x");
        e->txtHrvatski->setText("y");
        e->txtHrvatski->setFocus();
        Key(e->txtHrvatski, Qt::Key_Return);
        EXPECT_TRUE(ShowsItsFocus(e->cmdSpremi));
        e->cmdIzlaz->click();
    });
    Click(Find("cmdOk"));
}

TEST_F(Form4Test, ScreenshotForAPersonToLookAt) {
    Start(kPairs);
    Type(Find("txtNadjiHrvatski"), "č");
    Grid()->selectRow(1);
    Grid()->selectionModel()->setCurrentIndex(Grid()->model()->index(0, 0), QItemSelectionModel::NoUpdate);
    const QString file = Screenshot("form4");
    ASSERT_FALSE(file.isEmpty());
    EXPECT_GT(QFileInfo(file).size(), 1000);
    // Every label shows its whole text.
    for (const char* name : {"Label3", "Label2"}) {
        auto* l = Find<QLabel>(name);
        EXPECT_LE(l->sizeHint().width(), l->width()) << name;
    }
    QString editorFile;
    OnNextModal([&](QWidget* m) {
        auto* e = qobject_cast<EntryEditor*>(m);
        e->txtHrvatski->setText("šalica čaja");
        e->cmdIzlaz->setFocus(Qt::TabFocusReason);
        Key(e->cmdIzlaz, Qt::Key_Tab); // past the heading, which must not look selected
        QApplication::processEvents();
        const QString file = QString(SCREENSHOT_DIR) + "/form5-" + QGuiApplication::platformName() + ".png";
        if (m->grab().save(file)) editorFile = file;
        e->cmdIzlaz->click();
    });
    w->cmdOk_Click();
    EXPECT_FALSE(editorFile.isEmpty());
}

// The program's own colours stay as they are on a light palette; on a dark one every text keeps
// 4.5:1 and every picture 3:1 against what it is drawn on, in the main window and the editor.
TEST_F(Form4Test, OwnColoursStayOnALightPaletteAndStayReadableOnADarkOne) {
    Start(kPairs);
    EXPECT_EQ(Find<QLabel>("Label3")->palette().color(QPalette::WindowText), QColor(0, 0, 128));
    EXPECT_EQ(Dominant(Find<QToolButton>("cmdNext")->icon().pixmap(32).toImage()), QColor(0, 0, 128));
    EXPECT_EQ(TooFaint(w.get(), false), QStringList{});
    w.reset();
    const DarkPalette dark;
    Start({});
    EXPECT_EQ(TooFaint(w.get()), QStringList{});
    OnNextModal([&](QWidget* editor) {
        EXPECT_EQ(TooFaint(editor), QStringList{});
        editor->close();
    });
    Click(Find("cmdOk"));
}

TEST_F(Form4Test, TypingNarrowsTheListOnEveryKeystroke) {
    Start(kPairs);
    auto* hr = Find<QLineEdit>("txtNadjiHrvatski");
    auto* en = Find<QLineEdit>("txtNadjiEngleski");
    Type(hr, "Č");
    EXPECT_EQ(Source(), "Select * from Vokabis where Hrvatski LIKE 'Č*'");
    EXPECT_EQ(Column(1), (QStringList{"čaj", "čaša"}));
    Type(hr, "aš");
    EXPECT_EQ(Column(0), QStringList{"glass"});
    Backspaces(hr, 3);
    EXPECT_EQ(Source(), "Select * from Vokabis where Hrvatski LIKE '*'");
    EXPECT_EQ(Rows(), 12);

    Type(en, "ho");
    EXPECT_EQ(Column(0), (QStringList{"horse", "house"}));
    Type(hr, "ku");
    EXPECT_EQ(Source(), "Select * from Vokabis where Hrvatski LIKE 'ku*' and Engleski LIKE 'ho*'");
    EXPECT_EQ(Column(0), QStringList{"house"});
    EXPECT_EQ(en->text(), "ho"); // the other box is never changed
    Backspaces(hr, 2);
    Type(hr, "  "); // blank other box: no second condition
    Backspaces(en, 2);
    Type(en, "o'");
    EXPECT_EQ(Source(), "Select * from Vokabis where Engleski LIKE 'o''*'");
    EXPECT_EQ(Column(0), QStringList{"o'clock"});
}

TEST_F(Form4Test, APatternTheEngineRefusesKeepsTheListAndSaysWhy) {
    Start(kPairs);
    auto* en = Find<QLineEdit>("txtNadjiEngleski");
    Type(en, "c");
    const QString accepted = Source();
    ASSERT_EQ(Rows(), 2);
    Type(en, "[");
    EXPECT_EQ(Source(), accepted);
    EXPECT_EQ(Rows(), 2);
    EXPECT_TRUE(w->StatusText().startsWith("Traženje nije izvedeno")) << w->StatusText().toStdString();
    Type(en, "]"); // "c[]" is still refused; "c[a]" is fine
    Backspaces(en, 1);
    Type(en, "a]");
    EXPECT_EQ(Column(0), QStringList{"cat"});
    EXPECT_EQ(w->StatusText(), ""); // the refusal no longer holds
}

TEST_F(Form4Test, EnterAndDownGoToTheGridAndFocusSelectsTheWholeText) {
    Start(kPairs);
    auto* en = Find<QLineEdit>("txtNadjiEngleski");
    Click(en);
    Type(en, "ca");
    Key(en, Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), Grid());
    EXPECT_EQ(en->text(), "ca"); // nothing inserted
    Click(en, QPoint(en->width() - 5, 5));
    QApplication::processEvents();
    EXPECT_EQ(en->selectedText(), "ca");
    Key(en, Qt::Key_Down);
    EXPECT_EQ(QApplication::focusWidget(), Grid());

    // The counter boxes never keep the focus: it lands in the English box, all selected.
    Click(Find<QLineEdit>("Text3"));
    QApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), en);
    EXPECT_EQ(en->selectedText(), "ca");
}

// Each control's hint replaces the last at once and stays over the grid, until the toolbar clears it.
TEST_F(Form4Test, StatusBarHintsStayUntilTheToolbarClearsThem) {
    Start(kPairs);
    const char* const english = "Unesite nekoliko prvih slova engleske riječi.";
    for (auto [name, hint] : {std::pair{"txtNadjiEngleski", english}, {"DBGrid1", english},
                              {"txtNadjiHrvatski", "Unesite nekoliko prvih slova hrvatske riječi."},
                              {"cmdAsc", "Sortiraj uzlazno"}, {"cmdDesc", "Sortiraj silazno"}, {"cmdDelete", "Izbriši zapis"},
                              {"cmdIzlaz", "Završi rad"}, {"cmdFirst", "Idi na prvi zapis"},
                              {"cmdLast", "Idi na zadnji zapis"}, {"DBGrid1", "Idi na zadnji zapis"}, {"picToolbar", ""}}) {
        MouseOver(std::string(name) == "DBGrid1" ? Grid()->viewport() : Find(name));
        EXPECT_EQ(w->StatusText(), QString::fromUtf8(hint)) << name;
    }
}

TEST_F(Form4Test, SortCommandsUseTheSortColumnOfTheSettingsAndSkipAnEmptyList) {
    Start(kPairs);
    auto* en = Find<QLineEdit>("txtNadjiEngleski");
    auto* hr = Find<QLineEdit>("txtNadjiHrvatski");
    Type(en, "c");
    Module1::Settings.SortEng = db::kTrue;
    Click(Find("cmdDesc"));
    EXPECT_EQ(Source(), "Select * From Vokabis where Engleski LIKE 'c*'Order By Engleski Desc");
    EXPECT_EQ(w->SqlTail, "where Engleski LIKE 'c*'Order By Engleski Desc");
    EXPECT_EQ(Column(0), (QStringList{"cup", "cat"}));
    Backspaces(en, 1);
    Module1::Settings.SortEng = db::kFalse; // changed since start-up, read at the click
    Click(Find("cmdAsc"));
    EXPECT_EQ(Source(), "Select * From Vokabis Order By Hrvatski Asc");
    EXPECT_EQ(Column(1).mid(0, 4), (QStringList{"čaj", "čaša", "jež", "konj"}));

    // A blank Croatian box counts for a sort; the empty result resets the counter to 0 of 0.
    Type(hr, " ");
    Type(en, "c");
    ASSERT_EQ(Rows(), 2);
    Click(Find("cmdAsc"));
    EXPECT_EQ(Source(), "Select * From Vokabis where Hrvatski LIKE ' *'And Engleski LIKE 'c*'Order By Hrvatski Asc");
    EXPECT_EQ(Counter(), "0/0");
    // On an empty list the command does nothing, even though the boxes would now give rows.
    hr->blockSignals(true), hr->clear(), hr->blockSignals(false); // emptied without a search
    const QString before = Source();
    Click(Find("cmdDesc"));
    EXPECT_EQ(Source(), before);
    EXPECT_EQ(Rows(), 0);
}

TEST_F(Form4Test, CounterAlwaysShowsTheCurrentRowAndTheRowsOfTheList) {
    Start(kPairs);
    auto* grid = Grid();
    grid->setFocus();
    Key(grid, Qt::Key_Down);
    Key(grid, Qt::Key_Down);
    EXPECT_EQ(w->CountPairs(), 12);
    EXPECT_EQ(w->Data1.recordset().AbsolutePosition(), 2); // counting moved nothing
    EXPECT_EQ(Counter(), "3/12");
    auto* en = Find<QLineEdit>("txtNadjiEngleski");
    Type(en, "x");
    EXPECT_EQ(Counter(), "0/0");
    Backspaces(en, 1);
    Type(en, "h");
    EXPECT_EQ(Counter(), "1/3");
    for (int i = 0; i < 3; ++i) Click(Find("cmdNext")); // past the last row
    EXPECT_EQ(Counter(), "0/3");
}

TEST_F(Form4Test, ACutOffCellShowsItsWholeTextAsATooltip) {
    const char* longTerm = "a term far too long to fit into half of the grid, however wide the font";
    folder.AddPairs({{longTerm, "dugo"}});
    Start(kPairs);
    ASSERT_EQ(Cell(0, 0), longTerm);
    auto tipAt = [&](int column) {
        const QPoint at(Grid()->columnViewportPosition(column) + 5, 3);
        QHelpEvent help(QEvent::ToolTip, at, Grid()->viewport()->mapToGlobal(at));
        QApplication::sendEvent(Grid()->viewport(), &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    EXPECT_EQ(tipAt(1), ""); // "dugo" fits
    EXPECT_EQ(tipAt(0), longTerm);
}

// What a screen reader is told: a name for every control, in the editor too; the picture
// buttons' hints and keys, the hint for the keyboard focus too, names for the status bar, its
// message and the row selectors, and the counter's "od" as a word. What reaches a real reader,
// events included, tests/a11y checks through AT-SPI.
TEST_F(Form4Test, AScreenReaderHearsHintsKeysAndNames) {
    Start(kPairs);
    auto name = [](QWidget* c) { return QAccessible::queryAccessibleInterface(c)->text(QAccessible::Name); };
    EXPECT_EQ(UnnamedControls(w.get()), QStringList{});
    EXPECT_EQ(name(Find("cmdLast")), "Idi na zadnji zapis"); // a button's hint, a box's label
    EXPECT_EQ(name(Find("txtNadjiHrvatski")), "Hrvatski pojam");
    auto* nova = Find<QToolButton>("cmdNova");
    EXPECT_EQ(nova->toolTip(), "Novi pojam (Ctrl+N)");
    EXPECT_EQ(Find("cmdIzlaz")->toolTip(), "Završi rad (Ctrl+Q)");
    EXPECT_EQ(Find("cmdAsc")->toolTip(), "Sortiraj uzlazno");
    QAccessibleActionInterface* actions = QAccessible::queryAccessibleInterface(nova)->actionInterface();
    EXPECT_EQ(actions->keyBindingsForAction(QAccessibleActionInterface::pressAction()), QStringList{"Ctrl+N"});
    nova->setFocus();
    Key(nova, Qt::Key_Tab);
    EXPECT_EQ(w->StatusText(), "Izmjeni prijevod"); // the hint follows the keyboard focus

    auto* panel = Find<QLabel>("StatusBar1Panel1");
    EXPECT_EQ(name(Find("StatusBar1")), "Traka stanja");
    EXPECT_EQ(name(panel), "Poruka");
    w->SetStatusText("Nema parova.");
    EXPECT_EQ(QAccessible::queryAccessibleInterface(panel)->text(QAccessible::Description), "Nema parova.");
    QAccessibleInterface* od = QAccessible::queryAccessibleInterface(Find("Text2"));
    EXPECT_EQ(od->role(), QAccessible::StaticText);
    EXPECT_FALSE(od->state().focusable || od->state().editable);
    EXPECT_EQ(Grid()->model()->headerData(0, Qt::Vertical, Qt::AccessibleTextRole).toString(), "Redak 1, tekući");
    EXPECT_EQ(Grid()->model()->headerData(1, Qt::Vertical, Qt::AccessibleTextRole).toString(), "Redak 2");
    OnNextModal([&](QWidget* editor) {
        EXPECT_EQ(UnnamedControls(editor), QStringList{});
        EXPECT_EQ(name(editor->findChild<QWidget*>("txtHrvatski")), "Hrvatski pojam");
        editor->close();
    });
    Click(Find("cmdOk"));
}

// Only the user and the commands choose the current row (the commands: CommandsTest).
TEST_F(Form4Test, GridMovesTheCurrentRowAndSelectsOnlyThroughTheRecordSelectors) {
    Start(kPairs);
    auto* grid = Grid();
    grid->setFocus();
    ClickRow(2, 1);
    EXPECT_EQ(grid->currentIndex().row(), 2);
    EXPECT_TRUE(grid->SelectedRows().isEmpty()); // the current row alone is not a selection
    Key(grid, Qt::Key_K); // no search: "konj" is neither current nor selected
    EXPECT_EQ(grid->currentIndex().row(), 2);
    EXPECT_TRUE(grid->SelectedRows().isEmpty());
    Key(grid, Qt::Key_Right); // wraps to the next row
    EXPECT_EQ(grid->currentIndex().row(), 3);
    EXPECT_EQ(grid->currentIndex().column(), 0);
    EXPECT_EQ(Text("Text1"), "4");

    QHeaderView* selectors = grid->verticalHeader();
    Click(selectors->viewport(), QPoint(5, selectors->sectionViewportPosition(1) + 1)); // near the edge too
    QTest::mouseClick(selectors->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      QPoint(5, selectors->sectionViewportPosition(4) + 8));
    EXPECT_EQ(grid->SelectedRows(), (QList<int>{1, 4}));
    Key(grid, Qt::Key_Tab);
    EXPECT_NE(QApplication::focusWidget(), grid); // Tab leaves the grid
}

TEST_F(Form4Test, DoubleClickHandsTheRowToTheEditorUnlessItsEnglishIsEmpty) {
    folder.AddPairs({{"", "prazno"}});
    Start(kPairs);
    QStringList seen;
    OnNextModal<EntryEditor>([&](EntryEditor* editor) {
        seen << editor->txtEngleski->text() << editor->txtHrvatski->text();
        editor->txtHrvatski->setText("brojaljka");
        editor->cmdSpremi->click();
        editor->cmdIzlaz->click();
    });
    ClickRow(1, 0, true);
    EXPECT_EQ(seen, (QStringList{"abacus", "računaljka"}));
    EXPECT_EQ(Cell(1, 1), "brojaljka"); // written over the pair that was double-clicked
    EXPECT_EQ(Text("Text3"), "13");
    seen.clear();
    ClickRow(0, 0, true);
    QApplication::processEvents();
    EXPECT_TRUE(seen.isEmpty()); // the row with the empty English term
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

// Stored counts raised past the pairs (something wrote the file past its triggers): the list
// promises rows the file lacks. Once its rows are read, the grid and the counter show the real
// length at once, no empty row is left at its end, and the file's counts are counted again.
TEST_F(Form4Test, AListShorterThanItsCountIsCorrectedAtOnce) {
    folder.AddPairs(ManyPairs(1500, "a", "x", 10000));
    folder.AddPairs({{"dog", "pas"}});
    db::Database(folder.path.string(), db::kPassword)
        .Exec("UPDATE VokabisBrojevi SET Broj = Broj + 7 WHERE Polje = 'Engleski' AND Znak = 'a'");
    Start({});
    Type(Find<QLineEdit>("txtNadjiEngleski"), "a");
    ASSERT_EQ(Source(), "Select * from Vokabis where Engleski LIKE 'a*'");
    ASSERT_EQ(Rows(), 1507); // what the counts promise until the rows are read
    Grid()->scrollToBottom();
    Cell(Rows() - 1, 0); // the grid reads the rows it shows
    QCoreApplication::processEvents();
    EXPECT_EQ(Rows(), 1500);
    EXPECT_EQ(Text("Text3"), "1500");
    EXPECT_EQ(Cell(Rows() - 1, 0), "a11499");
    EXPECT_TRUE(db::CountsMatch(db::Database(folder.path.string(), db::kPassword).handle())) << "counted again";
}

// Ctrl+End on a long list reads its last rows from the end: the last pair, in the total order
// (equal terms by their ids), and the counter of every row.
TEST_F(Form4Test, CtrlEndShowsTheLastPairAndTheExactCounter) {
    ::Rows pairs;
    for (int i = 0; i < 3000; ++i) pairs.emplace_back("w" + std::to_string(10000 + i), i % 2 ? "b" : "a");
    Start(pairs);
    ASSERT_TRUE(w->RunRecordSource("Select * From Vokabis Order By Hrvatski Desc"));
    Grid()->setFocus();
    Key(Grid(), Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(Grid()->currentIndex().row(), 2999);
    EXPECT_EQ(Cell(2999, 0), "w10000");
    EXPECT_EQ(Counter(), "3000/3000");
}

// Reading the list again meets a file damaged since it opened: what it meets is said in the
// status bar, and nothing is thrown on into Qt (from a slot it would end the program).
TEST_F(Form4Test, AListReadAgainFromADamagedFileThrowsNothing) {
    Start(ManyPairs(20000, "w", "r", 100000));
    db::SetDamageHandler([](const std::string&, const std::string&) {});
    {
        std::fstream file(folder.path, std::ios::in | std::ios::out | std::ios::binary);
        const auto size = std::streamoff(fs::file_size(folder.path));
        file.seekp(size / 4);
        file.write(std::string(size_t(size / 2), 'x').data(), size / 2);
    }
    EXPECT_NO_THROW(w->ShowFileAsItIs(-1, 0));
    EXPECT_TRUE(w->StatusText().startsWith("Popis se ne može ponovno pročitati")) << w->StatusText().toStdString();
    db::SetDamageHandler(nullptr);
    db::RefuseWrites("");
}

// A word from the command line or another program's selection is shown as if typed.
TEST_F(Form4Test, ALookUpIsTypedIntoTheBoxThatFindsIt) {
    Start(kPairs);
    auto* en = Find<QLineEdit>("txtNadjiEngleski");
    auto* hr = Find<QLineEdit>("txtNadjiHrvatski");
    using Box = MainWindow::LookUpBox;
    struct Case {
        QString raw;
        Box box;
        QLineEdit* into;
        QString text;
    };
    const QString hundred = QString(99, 'a') + "b";
    const Case cases[] = {
        {"house", Box::Either, en, "house"},
        {"kuća", Box::Either, hr, "kuća"},         // only the Croatian box finds it
        {"ocean", Box::Either, en, "ocean"},       // both do: English
        {"qqq", Box::Either, en, "qqq"},           // neither: English, with its suggestions
        {"kuća", Box::English, en, "kuća"},        // --en
        {"ho", Box::Croatian, hr, "ho"},           // --hr
        {"\n  \n  tea \r\nsecond line", Box::Either, en, "tea"}, // the first line with text, trimmed
        {"h?rse\tx", Box::Either, en, "h?rse x"},  // a tab as a paste makes it; the pattern as typed
        {hundred + "cut off", Box::Either, en, hundred},
        {QString(99, 'a') + " b", Box::Either, en, QString(99, 'a')}, // no space left at the cut
    };
    for (const Case& c : cases) {
        en->setText("cat"); // a look-up replaces whatever both boxes held
        hr->setText("č");
        EXPECT_EQ(w->LookUp(c.raw, c.box), c.into) << c.raw.toStdString();
        EXPECT_EQ(c.into->text(), c.text) << c.raw.toStdString();
        QLineEdit* other = c.into == en ? hr : en;
        EXPECT_EQ(other->text(), QString()) << c.raw.toStdString();
        EXPECT_EQ(QApplication::focusWidget(), c.into) << c.raw.toStdString();
        EXPECT_EQ(Source(), dictionary::BuildFilterSql(c.text, c.into == en ? "Engleski" : "Hrvatski", "",
                                                       c.into == en ? "Hrvatski" : "Engleski"));
    }
    w->LookUp("h?rse", Box::Either); // a wildcard keeps its meaning, as when typed
    EXPECT_EQ(Column(0), QStringList{"horse"});
    en->setText("cat");
    EXPECT_EQ(w->LookUp(" \n\t\n", Box::Either), nullptr); // nothing to look up: nothing changes
    EXPECT_EQ(en->text(), "cat");
}
