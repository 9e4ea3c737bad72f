#include "Form4Fixture.h"

#include "dictionary/EntryEditor.h"

#include <QClipboard>

namespace {
const Rows kPairs = {{"apple", "jabuka"}, {"bread", "kruh"}, {"cat", "mačka"}, {"dog", "pas"}};
} // namespace

class EditorTest : public Form4Test {
protected:
    // Opens the editor with a main-window command and runs the steps while it is open.
    void WithEditor(const char* command, std::function<void(EntryEditor&)> steps) {
        bool ran = false;
        OnNextModal([&](QWidget* m) {
            auto* e = qobject_cast<EntryEditor*>(m);
            ran = e != nullptr;
            // Focus set before the window is active gives no focus-in (select-all) on a busy machine.
            if (e) {
                EXPECT_TRUE(QTest::qWaitForWindowActive(e));
                steps(*e);
            }
            if (Form5) Form5->cmdIzlaz->click();
        });
        Click(Find(command));
        EXPECT_TRUE(ran) << command;
    }
    // The editor's own focus widget: what has the focus once the editor is active again (an
    // offscreen run does not reactivate a window when a message box over it closes).
    static QWidget* Focus() { return Form5 ? Form5->focusWidget() : QApplication::focusWidget(); }
};

TEST_F(EditorTest, AddModeTakesPairByPairWithEnterAloneAndStaysOpen) {
    Start(kPairs);
    WithEditor("cmdNova", [&](EntryEditor& e) {
        EXPECT_EQ(e.objectName() + e.windowTitle(), "Form5Izmjena i dodavanje riječi");
        EXPECT_EQ(Module1::IsNewEntry, db::kTrue);
        EXPECT_EQ(Text("Text1"), "4"); // Novi pojam went to the last row first
        EXPECT_EQ(Focus(), e.cmdSpremi);
        e.txtEngleski->setFocus();
        Type(e.txtEngleski, "  ");
        Key(e.txtEngleski, Qt::Key_Return);
        EXPECT_EQ(Focus(), e.txtHrvatski);
        Type(e.txtHrvatski, "dva razmaka");
        Key(e.txtHrvatski, Qt::Key_Return);
        EXPECT_EQ(Focus(), e.cmdSpremi);
        Key(e.cmdSpremi, Qt::Key_Return);
        EXPECT_TRUE(e.isVisible());
        EXPECT_EQ(e.txtEngleski->text(), "");
        EXPECT_EQ(e.txtHrvatski->text(), "");
        EXPECT_EQ(Focus(), e.txtEngleski);

        Type(e.txtEngleski, "zebra");
        Key(e.txtEngleski, Qt::Key_Return);
        Type(e.txtHrvatski, "zebra");
        Key(e.txtHrvatski, Qt::Key_Return);
        Key(e.cmdSpremi, Qt::Key_Return);
    });
    EXPECT_EQ(Module1::IsNewEntry, db::kFalse);
    ::Rows expected = kPairs;
    expected.insert(expected.end(), {{"  ", "dva razmaka"}, {"zebra", "zebra"}}); // stored exactly as typed
    EXPECT_EQ(folder.Pairs(), expected);
    EXPECT_EQ(Column(0).mid(4), (QStringList{"  ", "zebra"})); // the grid shows them at the end of the list
    EXPECT_EQ(Counter(), "4/6"); // the row that was last stays current
}

TEST_F(EditorTest, ValidationChecksEnglishFirstAndTitlesDifferByHowItWasAsked) {
    Start(kPairs);
    WithEditor("cmdNova", [&](EntryEditor& e) {
        SeenBox box;
        AnswerBox(&box);
        e.cmdSpremi->click();
        EXPECT_EQ(box.text, "Morate unijeti englesku riječ!");
        EXPECT_EQ(box.icon, QMessageBox::Information);
        EXPECT_EQ(Focus(), e.txtEngleski);
        Type(e.txtEngleski, "x");
        AnswerBox(&box);
        e.cmdSpremi->click();
        EXPECT_EQ(box.text, "Morate unijeti hrvatsku riječ!");
        EXPECT_EQ(box.title, "Vokabis");
        EXPECT_EQ(Focus(), e.txtHrvatski);
        AnswerBox(&box);
        Key(e.txtHrvatski, Qt::Key_Return);
        EXPECT_EQ(box.title, "Pozor");
        EXPECT_EQ(box.text, "Morate unijeti hrvatsku riječ!");
        EXPECT_EQ(Focus(), e.txtHrvatski);
        e.txtEngleski->clear();
        e.txtEngleski->setFocus();
        AnswerBox(&box);
        Key(e.txtEngleski, Qt::Key_Return);
        EXPECT_EQ(box.title, "Pozor");
        EXPECT_EQ(box.text, "Morate unijeti englesku riječ!");
    });
    EXPECT_EQ(folder.Pairs(), kPairs); // nothing was written
}

TEST_F(EditorTest, ChangeModeWritesTheCurrentPairOnceAndThenAddsPairs) {
    Start(kPairs);
    Grid()->setFocus();
    Key(Grid(), Qt::Key_Down); // "bread"
    WithEditor("cmdOk", [&](EntryEditor& e) {
        EXPECT_EQ(e.txtEngleski->text(), "bread");
        EXPECT_EQ(e.txtHrvatski->text(), "kruh");
        EXPECT_EQ(Module1::IsNewEntry, db::kFalse);
        Key(e.cmdSpremi, Qt::Key_Return); // the unchanged pair goes back, the boxes empty
        EXPECT_EQ(e.txtEngleski->text(), "");
        Type(e.txtEngleski, "loaf");
        Type(e.txtHrvatski, "štruca");
        e.cmdSpremi->click();
        Type(e.txtEngleski, "bun");
        Type(e.txtHrvatski, "žemlja");
        e.cmdSpremi->click();
    });
    ::Rows expected = kPairs; // the pair saved stays
    expected.insert(expected.end(), {{"loaf", "štruca"}, {"bun", "žemlja"}});
    EXPECT_EQ(folder.Pairs(), expected);
    EXPECT_EQ(Column(0), (QStringList{"apple", "bread", "cat", "dog", "loaf", "bun"}));
    EXPECT_EQ(Counter(), "2/6");
}

// A word copied with its line end, or a line with a tab, pasted where a term goes.
TEST_F(EditorTest, APastedTermKeepsToOneLine) {
    Start(kPairs);
    auto* hr = Find<QLineEdit>("txtNadjiHrvatski");
    hr->setFocus();
    QApplication::clipboard()->setText("mač\r\n");
    Key(hr, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Source(), "Select * from Vokabis where Hrvatski LIKE 'mač*'");
    EXPECT_EQ(Column(0), QStringList{"cat"});
    hr->clear();
    WithEditor("cmdNova", [&](EntryEditor& e) {
        e.txtEngleski->setFocus();
        QApplication::clipboard()->setText("\tloaf\n");
        Key(e.txtEngleski, Qt::Key_V, Qt::ControlModifier);
        Type(e.txtEngleski, "s");
        QApplication::clipboard()->setText("bijela\n\nštruca\u2029");
        e.txtHrvatski->setFocus();
        Key(e.txtHrvatski, Qt::Key_V, Qt::ControlModifier);
        e.cmdSpremi->click();
    });
    ::Rows expected = kPairs;
    expected.push_back({"loafs", "bijela štruca"});
    EXPECT_EQ(folder.Pairs(), expected);
}

TEST_F(EditorTest, FocusRulesAndKrajOrEscLoseOnlyWhatWasNotSaved) {
    Start(kPairs);
    WithEditor("cmdOk", [&](EntryEditor& e) {
        e.txtHrvatski->setFocus(Qt::TabFocusReason);
        QApplication::processEvents();
        EXPECT_EQ(e.txtHrvatski->selectedText(), "jabuka"); // select-all on focus
        Key(e.txtHrvatski, Qt::Key_Backtab); // leaving it, even backwards, lands on Prihvati
        QApplication::processEvents();
        EXPECT_EQ(Focus(), e.cmdSpremi);
        e.txtHrvatski->setFocus(Qt::TabFocusReason);
        Click(e.txtEngleski);
        QApplication::processEvents();
        EXPECT_EQ(Focus(), e.cmdSpremi); // (Tab passes over the heading: the Tab ring of Form4Test)
        Click(e.Text4); // the heading never keeps the focus nor looks selected
        QApplication::processEvents();
        EXPECT_EQ(Focus(), e.cmdSpremi);
        EXPECT_FALSE(e.Text4->hasSelectedText());
        Type(e.txtEngleski, "izgubljeno");
        Key(e.cmdSpremi, Qt::Key_Escape);
        EXPECT_FALSE(Form5);
    });
    WithEditor("cmdNova", [&](EntryEditor& e) {
        EXPECT_EQ(e.txtEngleski->text(), ""); // a fresh window each time
    });
    EXPECT_EQ(folder.Pairs(), kPairs);
}

TEST_F(EditorTest, ARefusedWriteKeepsTheTypedTextAndTheListAsTheyWere) {
    Start(kPairs);
    // The engine itself refuses this one pair, as a full disk would refuse any.
    folder.Exec("CREATE TRIGGER refuse BEFORE INSERT ON Vokabis WHEN NEW.Engleski = 'odbij' "
                "BEGIN SELECT RAISE(ABORT, 'disk is full'); END");
    const std::string longTerm(100000, 'w');
    WithEditor("cmdNova", [&](EntryEditor& e) {
        SeenBox box;
        Type(e.txtEngleski, "odbij");
        Type(e.txtHrvatski, "ne");
        AnswerBox(&box);
        e.cmdSpremi->click();
        EXPECT_EQ(box.title, "Pogreška");
        EXPECT_TRUE(box.text.contains("nije spremljen")) << box.text.toStdString();
        EXPECT_EQ(e.txtEngleski->text(), "odbij");
        EXPECT_EQ(e.txtHrvatski->text(), "ne");
        EXPECT_EQ(w->Data1.recordset().editMode(), db::EditMode::None);
        // The same window then saves a pair the engine takes, however long.
        e.txtEngleski->setText(QString::fromStdString(longTerm));
        e.cmdSpremi->click();
        EXPECT_EQ(e.txtEngleski->text(), "");
    });
    ::Rows expected = kPairs;
    expected.emplace_back(longTerm, "ne");
    EXPECT_EQ(folder.Pairs(), expected);
    EXPECT_EQ(Rows(), 5);
}

// Another copy of the program replaced the pair this list shows: the change is refused with a
// message, the typed text stays, the list shows the file as it is; the other copy's pair stays.
// (A delete of rows another copy changed: CommandsTest.ADeleteThatFailsPartWayDeletesNothingAndSaysSo.)
TEST_F(EditorTest, AChangeOfAPairAnotherProgramReplacedIsRefusedAndTheListShowsTheTruth) {
    Start(kPairs);
    ASSERT_EQ(Cell(3, 0), "dog");
    folder.Exec("DELETE FROM Vokabis WHERE Engleski = 'dog'; INSERT INTO Vokabis (Engleski, Hrvatski) VALUES ('eel', 'jegulja')");
    w->cmdLast_Click();
    SeenBox box;
    WithEditor("cmdOk", [&](EntryEditor& e) {
        e.txtHrvatski->setText("pas lutalica");
        AnswerBox(&box);
        e.cmdSpremi->click();
        EXPECT_EQ(e.txtEngleski->text(), "dog");
        EXPECT_EQ(e.txtHrvatski->text(), "pas lutalica");
        // Saving again writes over no other pair: the one it was for is gone.
        AnswerBox(&box);
        e.cmdSpremi->click();
    });
    EXPECT_EQ(box.count, 2);
    EXPECT_TRUE(box.text.contains("nije spremljen")) << box.text.toStdString();
    EXPECT_EQ(Column(0), (QStringList{"apple", "bread", "cat", "eel"}));
    EXPECT_EQ(folder.Pairs(), (::Rows{{"apple", "jabuka"}, {"bread", "kruh"}, {"cat", "mačka"}, {"eel", "jegulja"}}));
}
