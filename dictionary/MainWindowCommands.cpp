// The window's commands, and the keys and mouse moves that lead to them.
#include "dictionary/MainWindow.h"

#include "core/Module1.h"
#include "db/Errors.h"
#include "dictionary/QueryBuilder.h"
#include "dictionary/RecordsetModel.h"
#include "dictionary/WordGrid.h"
#include "ui/MsgBox.h"
#include "ui/Widgets.h"

#include <QDir>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QTimer>

#include <algorithm>
void MainWindow::cmdFirst_Click() {
    if (ListIsEmpty()) return;
    Data1.recordset().MoveFirst();
    GridFollowRecordset();
}

void MainWindow::CmdPrevious_Click() {
    if (ListIsEmpty() || Data1.recordset().Bof()) return;
    Data1.recordset().MovePrevious();
    GridFollowRecordset();
}

void MainWindow::cmdNext_Click() {
    if (ListIsEmpty() || Data1.recordset().Eof()) return;
    Data1.recordset().MoveNext();
    GridFollowRecordset();
}

void MainWindow::cmdLast_Click() {
    if (ListIsEmpty()) return;
    Data1.recordset().MoveLast();
    GridFollowRecordset();
}

void MainWindow::cmdNova_Click() {
    if (!MayWrite() || !Data1.HasRecordset()) return;
    // An empty list takes a new pair too: that is how a new dictionary gets its first one.
    if (!ListIsEmpty()) {
        Data1.recordset().MoveLast();
        GridFollowRecordset();
    }
    Module1::IsNewEntry = db::kTrue;
    ShowEntryEditor(QString(), QString());
    Module1::IsNewEntry = db::kFalse;
}

void MainWindow::cmdOk_Click() {
    if (NoCurrentRow() || ListIsEmpty() || !MayWrite()) return;
    const int row = int(Data1.recordset().AbsolutePosition());
    ShowEntryEditor(model_->index(row, 0).data().toString(), model_->index(row, 1).data().toString());
}

namespace {
// "1 par riječi", "3 para riječi", "150 parova riječi", as Croatian counts them.
QString PairsText(qsizetype n) {
    const qsizetype ones = n % 10, tens = n % 100;
    const char* word = ones == 1 && tens != 11                             ? "par"
                       : ones >= 2 && ones <= 4 && (tens < 12 || tens > 14) ? "para"
                                                                             : "parova";
    return QLocale(QLocale::Croatian, QLocale::Croatia).toString(n) + " " + word + " riječi";
}
} // namespace

void MainWindow::cmdDelete_Click() {
    if (NoCurrentRow() || ListIsEmpty()) return;
    const QList<int> rows = DBGrid1->SelectedRows();
    if (rows.isEmpty()) return; // the current row alone is never deleted
    if (!MayWrite()) return;
    if (ui::MsgBox(this, "Želite li izbrisati označene zapise?", "Vokabis", 276) == ui::kNo) return;
    if (rows.size() > 100 &&
        ui::MsgBox(this, "Izbrisat će se " + PairsText(rows.size()) + ". Jeste li sigurni?", "Vokabis", 276) == ui::kNo)
        return;
    db::Recordset& rs = Data1.recordset();
    std::vector<db::Bookmark> marks;
    marks.reserve(size_t(rows.size()));
    for (int row : rows) marks.push_back(rs.BookmarkAt(row)); // in the order of the selection
    try {
        rs.DeleteRows(marks); // all of them or none
    } catch (const db::EngineError& e) {
        ui::MsgBox(this, "Nijedan par nije izbrisan.\n\n" + QString::fromUtf8(e.what()), "Pogreška", 16);
        if (e.number == db::kRowChanged) { // the list shows what the file holds now
            DBGrid1->clearSelection();
            ShowFileAsItIs(-1, *std::min_element(rows.begin(), rows.end()));
        }
        return;
    }
    DBGrid1->clearSelection();
    model_->RemoveRows(rows);
    GridFollowRecordset();
}

void MainWindow::cmdPregledaj_Click() {
    if (NoCurrentRow() || ListIsEmpty()) return;
    if (showPrintPreview) showPrintPreview();
}

void MainWindow::cmdAlati_Click() {
    if (showPrintSettings) showPrintSettings();
}

void MainWindow::cmdHelp_Click() {
    if (!ActiveLink1.Open())
        SetStatusText("Stranica pomoći ne može se otvoriti: " + QDir::toNativeSeparators(ActiveLink1.Address));
}

void MainWindow::cmdIzlaz_Click() {
    if (Module1::DictDb) Module1::DictDb->Close();
    Data1.Close();
    close();
}

void MainWindow::SortCommand(bool ascending) {
    if (!Data1.HasRecordset()) return;
    if (Data1.recordset().Eof() && Data1.recordset().Bof()) return; // nothing to sort
    QString tail;
    const QString sql = dictionary::BuildSortSql(txtNadjiEngleski->text(), txtNadjiHrvatski->text(),
                                                 Module1::Settings.SortEng != db::kFalse, ascending, &tail);
    if (RunRecordSource(sql)) SqlTail = tail;
}

void MainWindow::SearchChanged(QLineEdit* typed) {
    const bool english = typed == txtNadjiEngleski;
    QLineEdit* other = english ? txtNadjiHrvatski : txtNadjiEngleski;
    RunRecordSource(dictionary::BuildFilterSql(typed->text(), english ? "Engleski" : "Hrvatski", other->text(),
                                               english ? "Hrvatski" : "Engleski"));
}

QString MainWindow::LookUpText(const QString& raw) {
    QString text;
    for (const QString& line : raw.split(QRegularExpression("[\\n\\r\\v\\f\\x{2028}\\x{2029}]")))
        if (!(text = line.trimmed()).isEmpty()) break; // a selection often starts with a line break
    if (text.size() > kLookUpMax) {
        text.truncate(kLookUpMax);
        if (text.back().isHighSurrogate()) text.chop(1); // never half a character
        text = text.trimmed();
    }
    return text;
}

QLineEdit* MainWindow::LookUp(const QString& raw, LookUpBox which) {
    const QString text = LookUpText(raw);
    if (text.isEmpty()) return nullptr;
    QLineEdit* box = which == LookUpBox::Croatian ? txtNadjiHrvatski : txtNadjiEngleski;
    QLineEdit* other = box == txtNadjiEngleski ? txtNadjiHrvatski : txtNadjiEngleski;
    // Each box's own change runs its search, as typing does.
    other->clear();
    box->setText(text);
    const auto found = [this] { return searchFailure_.isEmpty() && !ListIsEmpty(); };
    if (which == LookUpBox::Either && !found()) {
        box->clear();
        other->setText(text);
        if (found()) {
            box = other;
        } else { // neither finds it: the English box, with what it suggests
            other->clear();
            box->setText(text);
        }
    }
    box->setFocus(Qt::OtherFocusReason);
    return box;
}

void MainWindow::SearchGotFocus(QLineEdit* box) { ui::SelectWholeTextOnFocus(box); }

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    auto* box = qobject_cast<QLineEdit*>(watched);
    const bool search = box && (box == txtNadjiEngleski || box == txtNadjiHrvatski);
    switch (event->type()) {
    case QEvent::FocusIn:
        if (hints_.contains(watched)) SetStatusText(hints_.value(watched)); // for the keyboard as for the mouse
        if (search) SearchGotFocus(box);
        else if (box == Text1 || box == Text2 || box == Text3) {
            txtNadjiEngleski->setFocus(Qt::OtherFocusReason);
            QTimer::singleShot(0, box, [box] { box->deselect(); }); // Tab selected it on the way in
        }
        break;
    case QEvent::KeyPress:
        if (watched == DBGrid1) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Delete) {
                cmdDelete_Click(); // asks first, as the toolbar command does
                return true;
            }
            // The keyboard's double-click: the current pair goes to the editor.
            if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter || key->key() == Qt::Key_F2) &&
                !(key->modifiers() & ~Qt::KeypadModifier)) {
                if (!key->isAutoRepeat()) DBGrid1_DblClick();
                return true;
            }
        }
        if (search) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                DBGrid1->setFocus(Qt::OtherFocusReason);
                return true; // nothing is inserted
            }
            if (key == Qt::Key_Down) DBGrid1->setFocus(Qt::OtherFocusReason); // and the box still sees the key
        }
        break;
    case QEvent::MouseMove:
        if (box == txtNadjiEngleski) SetStatusText("Unesite nekoliko prvih slova engleske riječi.");
        else if (box == txtNadjiHrvatski) SetStatusText("Unesite nekoliko prvih slova hrvatske riječi.");
        else if (watched == picToolbar && !StatusText().isEmpty()) SetStatusText(QString());
        else if (hints_.contains(watched)) {
            SetStatusText(hints_.value(watched));
            // A button lets an idle mouse move through to the toolbar, which would clear the hint.
            if (static_cast<QMouseEvent*>(event)->buttons() == Qt::NoButton) return true;
        }
        break;
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}
