#include "dictionary/EntryEditor.h"

#include "core/Module1.h"
#include "dictionary/MainWindow.h"
#include "ui/MsgBox.h"
#include "ui/Twips.h"
#include "ui/Widgets.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <limits>

using ui::Put;
using ui::Px;
using ui::Twips;

EntryEditor& Form5Ref(MainWindow& form4) {
    if (!Form5) Form5 = new EntryEditor(form4);
    return *Form5;
}

EntryEditor::EntryEditor(MainWindow& form4) : QDialog(&form4), form4_(form4) {
    ui::SetUpDialog(this, "Form5", "Izmjena i dodavanje riječi", 7005, 2520);
    Shape1 = ui::Outline(this, "Shape1", Twips(90, 195, 6800, 1530));

    Text4 = ui::HeadingBox(this, "Text4", "Izmjenite ili dodajte novi pojam", Twips(360, 90, 2415, 225),
                                   Shape1->width() - Px(360));

    Label1 = Put<QLabel>(this, "Label1", Twips(240, 435, 1935, 255), "Engleski pojam");
    txtEngleski = Put<QLineEdit>(this, "txtEngleski", Twips(240, 675, 6495, 285));
    Label2 = Put<QLabel>(this, "Label2", Twips(240, 1035, 1935, 255), "Hrvatski pojam");
    txtHrvatski = Put<QLineEdit>(this, "txtHrvatski", Twips(240, 1275, 6495, 285));
    Label1->setBuddy(txtEngleski); // a screen reader names each box by its label
    Label2->setBuddy(txtHrvatski);
    for (QLineEdit* box : {txtEngleski, txtHrvatski}) {
        box->setMaxLength(std::numeric_limits<int>::max()); // no limit of our own
        ui::KeepOnOneLine(box);
        box->installEventFilter(this);
    }
    Text4->installEventFilter(this);

    cmdSpremi = Put<QPushButton>(this, "cmdSpremi", Twips(120, 2040, 1095, 375), "Prihvati");
    connect(cmdSpremi, &QPushButton::clicked, this, [this] { cmdSpremi_Click(); });
    cmdIzlaz = Put<QPushButton>(this, "cmdIzlaz", Twips(5760, 2040, 1095, 375), "Kraj");
    connect(cmdIzlaz, &QPushButton::clicked, this, [this] { reject(); });

    ui::TabOrder({cmdSpremi, cmdIzlaz, Text4, txtEngleski, txtHrvatski});
    ui::BacktabPasses(cmdSpremi, txtHrvatski);
    ui::EnterPressesFocusedButton(this);
    cmdSpremi->setFocus();
}

void EntryEditor::reject() {
    Form5 = nullptr; // the next opening starts fresh
    QDialog::reject();
}

void EntryEditor::cmdSpremi_Click() {
    if (txtEngleski->text().isEmpty()) {
        ui::MsgBox(this, "Morate unijeti englesku riječ!", "Vokabis", 64);
        txtEngleski->setFocus();
        return;
    }
    if (txtHrvatski->text().isEmpty()) {
        ui::MsgBox(this, "Morate unijeti hrvatsku riječ!", "Vokabis", 64);
        txtHrvatski->setFocus();
        return;
    }
    if (!SaveEntry()) return; // the boxes keep what was typed
    form4_.Text1->setText(QString::number(form4_.Data1.recordset().AbsolutePosition() + 1));
    txtEngleski->clear();
    txtHrvatski->clear();
    txtEngleski->setFocus();
}

bool EntryEditor::SaveEntry() {
    db::Recordset& rs = form4_.Data1.recordset();
    long long key = -1;
    const long place = rs.AbsolutePosition();
    try {
        // After the first save of an opening in change mode, the next ones add pairs.
        if (Module1::IsNewEntry != db::kFalse || saved_) {
            rs.AddNew();
        } else {
            key = rs.CurrentKey();
            rs.Edit();
        }
        rs.SetField("Engleski", txtEngleski->text().toStdString());
        rs.SetField("Hrvatski", txtHrvatski->text().toStdString());
        rs.Update();
    } catch (const db::EngineError& e) {
        rs.CancelUpdate(); // nothing half-written stays in the record set
        ui::MsgBox(this, "Par nije spremljen.\n\n" + QString::fromUtf8(e.what()), "Pogreška", 16);
        if (e.number == db::kRowChanged) form4_.ShowFileAsItIs(key, place); // the boxes keep the typed text
        return false;
    } catch (const std::exception& e) {
        rs.CancelUpdate();
        ui::MsgBox(this, "Par nije spremljen.\n\n" + QString::fromUtf8(e.what()), "Pogreška", 16);
        return false;
    }
    saved_ = true;
    form4_.RecordsetWritten();
    return true;
}

void EntryEditor::EnterIn(QLineEdit* box) {
    const bool english = box == txtEngleski;
    if (!box->text().isEmpty()) {
        (english ? static_cast<QWidget*>(txtHrvatski) : cmdSpremi)->setFocus();
        return;
    }
    ui::MsgBox(this, english ? "Morate unijeti englesku riječ!" : "Morate unijeti hrvatsku riječ!", "Pozor", 64);
    box->setFocus();
}

bool EntryEditor::eventFilter(QObject* watched, QEvent* event) {
    auto* box = qobject_cast<QLineEdit*>(watched);
    if (!box) return QDialog::eventFilter(watched, event);
    if (event->type() == QEvent::FocusIn) {
        if (box == Text4) {
            cmdSpremi->setFocus();
            QTimer::singleShot(0, box, [box] { box->deselect(); }); // Tab selected it on the way in
        } else ui::SelectWholeTextOnFocus(box);
    } else if (event->type() == QEvent::FocusOut && box == txtHrvatski) {
        ui::FocusOnLeaving(event, this, cmdSpremi); // whichever way the user left it
    } else if (event->type() == QEvent::KeyPress && box != Text4) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            EnterIn(box);
            return true; // never inserted, never passed to the dialog's default button
        }
    }
    return QDialog::eventFilter(watched, event);
}
