#pragma once
#include "db/DataSource.h"
#include "ui/ActiveLink.h"

#include <QHash>
#include <QMainWindow>

#include <functional>

class QFrame;
class QLabel;
class QLineEdit;
class QStatusBar;
class QToolButton;

namespace dictionary {
class RecordsetModel;
class WordGrid;
} // namespace dictionary

// The dictionary window (Form4): the word list, its two search boxes, the toolbar, the row
// counter and the status bar. All of it works on the one record set of Data1.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    db::DataSource Data1;
    ui::ActiveLink ActiveLink1;
    QString SqlTail;

    // The window's controls, named as everywhere else in the program.
    QFrame* picToolbar;
    QToolButton *cmdNova, *cmdOk, *cmdDelete, *cmdPregledaj, *cmdAsc, *cmdDesc, *cmdAlati, *cmdHelp, *cmdIzlaz;
    QFrame* Shape1;
    QLabel *Label3, *Label2;
    QLineEdit *txtNadjiEngleski, *txtNadjiHrvatski;
    dictionary::WordGrid* DBGrid1;
    QToolButton *cmdFirst, *CmdPrevious, *cmdNext, *cmdLast;
    QLineEdit *Text1, *Text2, *Text3;
    QStatusBar* StatusBar1;

    // The print windows, shown modally; the printing part of the program sets them.
    std::function<void()> showPrintPreview, showPrintSettings;

    // A word from outside the window (the command line, another program's selection) is shown
    // as if typed: only its first line with text, trimmed, at most kLookUpMax characters, then
    // the box's own one-line cleaning; a wildcard stays the wildcard it is when typed. Either:
    // the English box, or the Croatian one when only that one finds pairs. The box it went to
    // has the focus; null when the text is empty.
    enum class LookUpBox { Either, English, Croatian };
    static constexpr int kLookUpMax = 100;
    static QString LookUpText(const QString& raw);
    QLineEdit* LookUp(const QString& raw, LookUpBox which);

    long CountPairs() const;
    QString StatusText() const;
    void SetStatusText(const QString& text);

    // Runs sql as the new list. A text the engine refuses leaves the list, the record source
    // and the counter as they were and says why in the status bar; the result is false.
    bool RunRecordSource(const QString& sql);
    // The grid's current row moves to the record set's current row (after record commands).
    void GridFollowRecordset();

    void SortCommand(bool ascending);
    // After the record set was written to (the entry editor): the grid shows the rows as they are.
    void RecordsetWritten();
    // Text1 and Text3: the current row's number (0 when there is none) and the list's row count.
    void ShowCounter();
    void RecountStoredCounts();
    // Another program changed the file under the list: the list is run again and the row that
    // was current stays current when it is still there (else the place is kept, with no row).
    void ShowFileAsItIs(long long currentKey, long place);
    void ShowListAgainAt(long long currentKey, long place);
    // Runs the list again where it stands, the current pair still current.
    void RunListAgain();
    // A command that would write says so in the status bar and stops when the dictionary is
    // read-only; true when it may go on.
    bool MayWrite();

    // The commands of the toolbar and the navigation row.
    void cmdFirst_Click();
    void CmdPrevious_Click();
    void cmdNext_Click();
    void cmdLast_Click();
    void cmdNova_Click();
    void cmdOk_Click();
    void cmdDelete_Click();
    void cmdPregledaj_Click();
    void cmdAlati_Click();
    void cmdHelp_Click();
    void cmdIzlaz_Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void Load();
    void RefreshData1();
    void DBGrid1_RowColChange();
    void DBGrid1_DblClick();
    bool ListIsEmpty() const;
    bool NoCurrentRow() const;
    void ShowEntryEditor(const QString& english, const QString& croatian);
    void SearchChanged(QLineEdit* typed);
    void SearchGotFocus(QLineEdit* box);
    void BuildToolbar();
    void BuildSearchBoxes();
    void BuildGrid();
    void BuildCounterRow();
    void BuildStatusBar();
    void BuildShortcuts();

    dictionary::RecordsetModel* model_;
    QHash<QObject*, QString> hints_; // status-bar hints of the toolbar buttons
    QLabel* statusPanel_;
    bool centred_ = false;
    QString searchFailure_; // the status-bar text of the last refused search, until one is accepted
};
