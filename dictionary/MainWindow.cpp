#include "dictionary/MainWindow.h"

#include "core/Module1.h"
#include "db/Counts.h"
#include "db/Errors.h"
#include "dictionary/EntryEditor.h"
#include "ui/Colours.h"
#include "ui/Icons.h"
#include "dictionary/RecordsetModel.h"
#include "dictionary/Suggestions.h"
#include "ui/Twips.h"
#include "ui/Widgets.h"
#include "dictionary/WordGrid.h"

#include <QAccessible>
#include <QApplication>
#include <algorithm>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QToolButton>

using ui::Put;
using ui::Px;
using ui::Twips;


MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
    setObjectName("Form4");
    setWindowTitle("Englesko-hrvatski i hrvatsko-engleski vokabis");
    // A fixed dialog border, only the close button; still a window of its own in the task bar.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);

    auto* central = new QWidget(this);
    central->setObjectName("Form4Client");
    setCentralWidget(central);
    Shape1 = ui::Outline(central, "Shape1", Twips(90, 720, 7310, 4815));

    BuildToolbar();
    BuildSearchBoxes();
    BuildGrid();
    BuildCounterRow();
    BuildStatusBar();
    setFixedSize(Px(7485), Px(5955));

    ui::TabOrder({cmdNova, cmdOk, cmdDelete, cmdPregledaj, cmdAsc, cmdDesc, cmdAlati, cmdHelp, cmdIzlaz, Text3,
                          txtNadjiEngleski, txtNadjiHrvatski, Text2, Text1, CmdPrevious, DBGrid1, cmdNext, cmdFirst,
                          cmdLast});
    cmdNova->setFocus();
    ui::ShowFocusAtOnce(this);
    BuildShortcuts();
    ui::EnterPressesFocusedButton(this);

    Load();
    new dictionary::SuggestionLine(this); // what an empty search may have meant, in the status bar
}

MainWindow::~MainWindow() = default;

void MainWindow::BuildSearchBoxes() {
    QWidget* central = centralWidget();
    QFont bold = font();
    bold.setBold(true);
    Label3 = Put<QLabel>(central, "Label3", Twips(195, 840, 1800, 255), "Engleski pojam");
    Label2 = Put<QLabel>(central, "Label2", Twips(3780, 840, 1455, 255), "Hrvatski pojam");
    for (QLabel* l : {Label3, Label2}) {
        l->setFont(bold);
        l->resize(std::max(l->width(), l->sizeHint().width()), l->height()); // this font may be wider
        QPalette pal = l->palette();
        pal.setColor(QPalette::WindowText, ui::OnBackground(QColor(0, 0, 128), pal.color(QPalette::Window), ui::kTextContrast));
        l->setPalette(pal);
    }

    txtNadjiEngleski = Put<QLineEdit>(central, "txtNadjiEngleski", Twips(195, 1080, 3500, 285));
    txtNadjiHrvatski = Put<QLineEdit>(central, "txtNadjiHrvatski", Twips(3780, 1080, 3500, 285));
    Label3->setBuddy(txtNadjiEngleski); // a screen reader names each box by its label
    Label2->setBuddy(txtNadjiHrvatski);
    for (QLineEdit* box : {txtNadjiEngleski, txtNadjiHrvatski}) {
        box->setMouseTracking(true);
        box->installEventFilter(this);
        ui::KeepOnOneLine(box);
        connect(box, &QLineEdit::textChanged, this, [this, box] { SearchChanged(box); });
    }
}

void MainWindow::BuildGrid() {
    DBGrid1 = Put<dictionary::WordGrid>(centralWidget(), "DBGrid1", Twips(195, 1455, 7065, 3555));
    DBGrid1->setAccessibleName("Popis riječi");
    model_ = new dictionary::RecordsetModel(Data1, this);
    DBGrid1->setModel(model_);
    DBGrid1->installEventFilter(this);
    connect(DBGrid1, &dictionary::WordGrid::rowColChanged, this, [this] { DBGrid1_RowColChange(); });
    connect(DBGrid1, &QAbstractItemView::doubleClicked, this, [this] { DBGrid1_DblClick(); });
    connect(model_, &dictionary::RecordsetModel::RowCountDropped, this, [this] {
        ShowCounter();
        RecountStoredCounts();
    });
}

// The stored counts promised pairs the file lacks: they are counted again, so that the next
// list is right from its start. A file that is only read keeps them; lists count for themselves.
void MainWindow::RecountStoredCounts() {
    if (!Module1::DictDb || Data1.ReadOnly || !db::WritesRefusedReason().empty()) return;
    try {
        db::RecountPairs(Module1::DictDb->handle());
    } catch (const db::EngineError&) {
        // Counted from the pairs for the rest of this run; the next run tries again.
    }
}

void MainWindow::BuildStatusBar() {
    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName("StatusBar1");
    StatusBar1->setSizeGripEnabled(false);
    StatusBar1->setFixedHeight(Px(345));
    StatusBar1->setAccessibleName("Traka stanja");
    statusPanel_ = new QLabel(StatusBar1);
    statusPanel_->setObjectName("StatusBar1Panel1");
    statusPanel_->setAccessibleName("Poruka");
    StatusBar1->addWidget(statusPanel_, 1);
    setStatusBar(StatusBar1);
}

// Keys of their own for the commands used most. Each is the button's own, so a screen reader
// reports it as the button's key, and the tooltip names it beside the hint.
void MainWindow::BuildShortcuts() {
    const std::pair<QKeySequence, QToolButton*> keys[] = {{QKeySequence(Qt::Key_F1), cmdHelp},
                                                          {QKeySequence(Qt::CTRL | Qt::Key_N), cmdNova},
                                                          {QKeySequence(Qt::CTRL | Qt::Key_P), cmdPregledaj},
                                                          {QKeySequence(Qt::CTRL | Qt::Key_Q), cmdIzlaz}};
    for (auto [key, button] : keys) ui::GiveShortcut(button, key);
    for (auto it = hints_.cbegin(); it != hints_.cend(); ++it) {
        auto* button = static_cast<QToolButton*>(it.key());
        const QString key = button->shortcut().toString(QKeySequence::NativeText);
        button->setToolTip(key.isEmpty() ? it.value() : it.value() + " (" + key + ")");
    }
    const QKeySequence find(Qt::CTRL | Qt::Key_F);
    connect(new QShortcut(find, this), &QShortcut::activated, this, [this] { txtNadjiEngleski->setFocus(Qt::ShortcutFocusReason); });
    txtNadjiEngleski->setToolTip("Unesite nekoliko prvih slova engleske riječi. (" + find.toString(QKeySequence::NativeText) + ")");
}

void MainWindow::BuildToolbar() {
    picToolbar = new QFrame(centralWidget());
    picToolbar->setObjectName("picToolbar");
    picToolbar->setGeometry(Twips(0, 0, 7450, 630));
    picToolbar->setFrameShape(QFrame::StyledPanel);
    picToolbar->setMouseTracking(true);
    picToolbar->installEventFilter(this);
    auto at = [](int left) { return Twips(left, 15, 540, 540); };
    cmdNova = ui::PictureButton(picToolbar, "cmdNova", "nova", at(15));
    cmdOk = ui::PictureButton(picToolbar, "cmdOk", "ok", at(570));
    cmdDelete = ui::PictureButton(picToolbar, "cmdDelete", "delete", at(1125));
    cmdPregledaj = ui::PictureButton(picToolbar, "cmdPregledaj", "pregledaj", at(1680));
    cmdAsc = ui::PictureButton(picToolbar, "cmdAsc", "asc", at(2235));
    cmdDesc = ui::PictureButton(picToolbar, "cmdDesc", "desc", at(2790));
    cmdAlati = ui::PictureButton(picToolbar, "cmdAlati", "alati", at(3345));
    cmdHelp = ui::PictureButton(picToolbar, "cmdHelp", "help", at(6260));
    cmdIzlaz = ui::PictureButton(picToolbar, "cmdIzlaz", "izlaz", at(6800));
    for (QObject* b : picToolbar->children()) b->installEventFilter(this);
    connect(cmdAsc, &QToolButton::clicked, this, [this] { SortCommand(true); });
    connect(cmdDesc, &QToolButton::clicked, this, [this] { SortCommand(false); });
    connect(cmdNova, &QToolButton::clicked, this, &MainWindow::cmdNova_Click);
    connect(cmdOk, &QToolButton::clicked, this, &MainWindow::cmdOk_Click);
    connect(cmdDelete, &QToolButton::clicked, this, &MainWindow::cmdDelete_Click);
    connect(cmdPregledaj, &QToolButton::clicked, this, &MainWindow::cmdPregledaj_Click);
    connect(cmdAlati, &QToolButton::clicked, this, &MainWindow::cmdAlati_Click);
    connect(cmdHelp, &QToolButton::clicked, this, &MainWindow::cmdHelp_Click);
    connect(cmdIzlaz, &QToolButton::clicked, this, &MainWindow::cmdIzlaz_Click);
}

void MainWindow::BuildCounterRow() {
    ui::PutCounterRow(centralWidget(), 180, 5085, {cmdFirst, CmdPrevious, Text1, Text2, Text3, cmdNext, cmdLast});
    for (QLineEdit* t : {Text1, Text2, Text3}) t->installEventFilter(this);
    for (QToolButton* b : {cmdFirst, CmdPrevious, cmdNext, cmdLast}) b->installEventFilter(this);
    connect(cmdFirst, &QToolButton::clicked, this, &MainWindow::cmdFirst_Click);
    connect(CmdPrevious, &QToolButton::clicked, this, &MainWindow::CmdPrevious_Click);
    connect(cmdNext, &QToolButton::clicked, this, &MainWindow::cmdNext_Click);
    connect(cmdLast, &QToolButton::clicked, this, &MainWindow::cmdLast_Click);

    const std::pair<QToolButton*, const char*> hints[] = {
        {cmdNova, "Novi pojam"},          {cmdOk, "Izmjeni prijevod"},           {cmdDelete, "Izbriši zapis"},
        {cmdPregledaj, "Pregledaj ispis"}, {cmdAsc, "Sortiraj uzlazno"},          {cmdDesc, "Sortiraj silazno"},
        {cmdAlati, "Opcije"},              {cmdHelp, "Pomoć"},                    {cmdIzlaz, "Završi rad"},
        {cmdFirst, "Idi na prvi zapis"},   {CmdPrevious, "Idi na prethodni zapis"}, {cmdNext, "Idi na sljedeći zapis"},
        {cmdLast, "Idi na zadnji zapis"}};
    for (auto [button, hint] : hints) {
        hints_[button] = QString::fromUtf8(hint);
        button->setAccessibleName(hints_[button]); // what a screen reader says instead of a picture
    }
    Text1->setAccessibleName("Broj tekućeg zapisa");
    Text3->setAccessibleName("Broj zapisa");
}

void MainWindow::Load() {
    ActiveLink1.Address = Module1::HelpPath;
    Data1.DatabaseName = Module1::DictPath.toStdString();
    Data1.RecordSource = "OrderByEngleski";
    Data1.ReadOnly = !Module1::ReadOnlyReason.isEmpty();
    try {
        RefreshData1();
    } catch (const db::EngineError& e) {
        if (db::IsDamage(e.sqliteCode)) return; // the damage has its own message
        QMessageBox::critical(nullptr, "Pogreška", "Popis riječi ne može se otvoriti.\n\n" + QString::fromUtf8(e.what()));
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, "Pogreška", "Popis riječi ne može se otvoriti.\n\n" + QString::fromUtf8(e.what()));
    }
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (centred_) return;
    centred_ = true;
    if (QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
}

void MainWindow::RefreshData1() {
    Data1.Refresh();
    model_->Reload();
    if (model_->rowCount() > 0) // the first row is current, and nothing is selected
        DBGrid1->selectionModel()->setCurrentIndex(model_->index(0, 0), QItemSelectionModel::NoUpdate);
    ShowCounter();
}

bool MainWindow::RunRecordSource(const QString& sql) {
    const std::string previous = Data1.RecordSource;
    Data1.RecordSource = sql.toStdString();
    try {
        RefreshData1();
    } catch (const std::exception& e) {
        Data1.RecordSource = previous;
        searchFailure_ = "Traženje nije izvedeno: " + QString::fromUtf8(e.what());
        SetStatusText(searchFailure_);
        return false;
    }
    if (!searchFailure_.isEmpty() && StatusText() == searchFailure_) SetStatusText(QString()); // no longer true
    searchFailure_.clear();
    return true;
}

void MainWindow::GridFollowRecordset() {
    if (!Data1.HasRecordset()) return;
    const long pos = Data1.recordset().AbsolutePosition();
    if (pos < 0) { // before the first row, after the last, or on a deleted one
        DBGrid1->selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    } else {
        const int column = DBGrid1->currentIndex().isValid() ? DBGrid1->currentIndex().column() : 0;
        DBGrid1->selectionModel()->setCurrentIndex(model_->index(int(pos), column), QItemSelectionModel::NoUpdate);
        DBGrid1->scrollTo(DBGrid1->currentIndex());
    }
    ShowCounter();
}

void MainWindow::ShowCounter() {
    Text1->setText(QString::number(Data1.HasRecordset() ? Data1.recordset().AbsolutePosition() + 1 : 0));
    Text3->setText(QString::number(CountPairs()));
    // A move may have read far enough to find the list shorter than it said.
    model_->FollowRowCount();
}

long MainWindow::CountPairs() const {
    if (!Data1.HasRecordset()) return 0;
    auto clone = Data1.recordset().Clone();
    if (!clone->Eof()) clone->MoveLast();
    const long n = clone->RecordCount();
    clone->Close();
    return n;
}

QString MainWindow::StatusText() const { return statusPanel_->text(); }

void MainWindow::SetStatusText(const QString& text) {
    if (text == statusPanel_->text()) return;
    statusPanel_->setText(text);
    // A reader is told each new message: the label keeps its name, the message is its description.
    statusPanel_->setAccessibleDescription(text);
    if (!text.isEmpty()) {
        QAccessibleEvent alert(statusPanel_, QAccessible::Alert);
        QAccessible::updateAccessibility(&alert);
    }
}

void MainWindow::DBGrid1_RowColChange() {
    const QModelIndex cur = DBGrid1->currentIndex();
    model_->SetCurrentRow(cur.isValid() ? cur.row() : -1);
    if (Data1.HasRecordset() && cur.isValid()) {
        db::Recordset& rs = Data1.recordset();
        // The record set's current row is the grid's.
        if (cur.row() < rs.RowCount() && rs.AbsolutePosition() != cur.row()) rs.SetBookmark(rs.BookmarkAt(cur.row()));
    }
    ShowCounter();
}

void MainWindow::DBGrid1_DblClick() {
    const QModelIndex cur = DBGrid1->currentIndex();
    if (!cur.isValid() || !MayWrite()) return;
    const QString english = model_->index(cur.row(), 0).data().toString();
    if (english.isEmpty()) return;
    ShowEntryEditor(english, model_->index(cur.row(), 1).data().toString());
}

void MainWindow::ShowEntryEditor(const QString& english, const QString& croatian) {
    EntryEditor& editor = Form5Ref(*this);
    editor.txtEngleski->setText(english);
    editor.txtHrvatski->setText(croatian);
    editor.exec();
    ShowCounter();
}

void MainWindow::RecordsetWritten() {
    model_->Sync();
    GridFollowRecordset();
}

void MainWindow::RunListAgain() {
    if (!Data1.HasRecordset()) return;
    const db::Recordset& rs = Data1.recordset();
    const long at = rs.AbsolutePosition();
    ShowFileAsItIs(at >= 0 ? rs.CurrentKey() : -1, std::max(0L, at));
}

void MainWindow::ShowFileAsItIs(long long currentKey, long place) {
    // Called from slots and after failed writes: whatever reading the list meets is said in the
    // status bar, never thrown on into Qt.
    try {
        ShowListAgainAt(currentKey, place);
    } catch (const std::exception& e) {
        SetStatusText("Popis se ne može ponovno pročitati: " + QString::fromUtf8(e.what()));
    }
}

void MainWindow::ShowListAgainAt(long long currentKey, long place) {
    if (!RunRecordSource(QString::fromStdString(Data1.RecordSource)) || !Data1.HasRecordset()) return;
    db::Recordset& rs = Data1.recordset();
    const long rows = rs.RowCount();
    if (rows == 0) return;
    const long at = rs.PositionOfKey(currentKey);
    if (at >= 0) {
        rs.SetBookmark(rs.BookmarkAt(at));
    } else { // the pair is gone: no row is current, so nothing is written over a neighbour
        rs.MoveLast();
        rs.MoveNext();
    }
    GridFollowRecordset();
    DBGrid1->scrollTo(model_->index(int(std::clamp(at >= 0 ? at : place, 0L, rows - 1)), 0));
    if (at >= 0) Text1->setText(QString::number(at + 1));
    Text3->setText(QString::number(CountPairs()));
}

bool MainWindow::MayWrite() {
    if (db::WritesRefusedReason().empty()) return true;
    SetStatusText("Rječnik je otvoren samo za čitanje: promjene se ne mogu spremiti.");
    return false;
}

bool MainWindow::ListIsEmpty() const {
    return !Data1.HasRecordset() || (Data1.recordset().Bof() && Data1.recordset().Eof());
}

bool MainWindow::NoCurrentRow() const { return !Data1.HasRecordset() || Data1.recordset().AbsolutePosition() == -1; }
