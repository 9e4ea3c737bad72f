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

using dictionary::Px;
using dictionary::Twips;

EntryEditor& Form5Ref(MainWindow& form4) {
    if (!Form5) Form5 = new EntryEditor(form4);
    return *Form5;
}

EntryEditor::EntryEditor(MainWindow& form4) : QDialog(&form4), form4_(form4) {
    setObjectName("Form5");
    setWindowTitle("Izmjena i dodavanje riječi");
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(Px(7005), Px(2520));
    dictionary::CentreOnScreen(this);

    Shape1 = new QFrame(this);
    Shape1->setObjectName("Shape1");
    Shape1->setGeometry(Twips(90, 195, 6800, 1530));
    Shape1->setStyleSheet("QFrame#Shape1 { border: 1px solid rgb(0, 70, 213); background: transparent; }");

    Text4 = dictionary::HeadingBox(this, "Text4", "Izmjenite ili dodajte novi pojam", Twips(360, 90, 2415, 225),
                                   Shape1->width() - Px(360));
    Text4->setFocusPolicy(Qt::StrongFocus); // Tab reaches it, and it hands the focus on
    Text4->setAccessibleName(Text4->text());

    Label1 = new QLabel("Engleski pojam", this);
    Label1->setObjectName("Label1");
    Label1->setGeometry(Twips(240, 435, 1935, 255));
    txtEngleski = new QLineEdit(this);
    txtEngleski->setObjectName("txtEngleski");
    txtEngleski->setGeometry(Twips(240, 675, 6495, 285));
    Label2 = new QLabel("Hrvatski pojam", this);
    Label2->setObjectName("Label2");
    Label2->setGeometry(Twips(240, 1035, 1935, 255));
    txtHrvatski = new QLineEdit(this);
    txtHrvatski->setObjectName("txtHrvatski");
    txtHrvatski->setGeometry(Twips(240, 1275, 6495, 285));
    Label1->setBuddy(txtEngleski); // a screen reader names each box by its label
    Label2->setBuddy(txtHrvatski);
    for (QLineEdit* box : {txtEngleski, txtHrvatski}) {
        box->setMaxLength(std::numeric_limits<int>::max()); // no limit of our own
        box->installEventFilter(this);
    }
    Text4->installEventFilter(this);

    cmdSpremi = new QPushButton("Prihvati", this);
    cmdSpremi->setObjectName("cmdSpremi");
    cmdSpremi->setGeometry(Twips(120, 2040, 1095, 375));
    cmdIzlaz = new QPushButton("Kraj", this);
    cmdIzlaz->setObjectName("cmdIzlaz");
    cmdIzlaz->setGeometry(Twips(5760, 2040, 1095, 375));
    connect(cmdSpremi, &QPushButton::clicked, this, [this] { cmdSpremi_Click(); });
    connect(cmdIzlaz, &QPushButton::clicked, this, [this] { reject(); });

    setTabOrder(cmdSpremi, cmdIzlaz);
    setTabOrder(cmdIzlaz, Text4);
    setTabOrder(Text4, txtEngleski);
    setTabOrder(txtEngleski, txtHrvatski);
    dictionary::EnterPressesFocusedButton(this);
    cmdSpremi->setFocus();
}

void EntryEditor::reject() {
    Form5 = nullptr; // the next opening starts fresh
    QDialog::reject();
}

void EntryEditor::cmdSpremi_Click() {
    if (txtEngleski->text().isEmpty()) {
        dictionary::MsgBox(this, "Morate unijeti englesku riječ!", "Vokabis", 64);
        txtEngleski->setFocus();
        return;
    }
    if (txtHrvatski->text().isEmpty()) {
        dictionary::MsgBox(this, "Morate unijeti hrvatsku riječ!", "Vokabis", 64);
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
        dictionary::MsgBox(this, "Par nije spremljen.\n\n" + QString::fromUtf8(e.what()), "Pogreška", 16);
        if (e.number == db::kRowChanged) form4_.ShowFileAsItIs(key, place); // the boxes keep the typed text
        return false;
    } catch (const std::exception& e) {
        rs.CancelUpdate();
        dictionary::MsgBox(this, "Par nije spremljen.\n\n" + QString::fromUtf8(e.what()), "Pogreška", 16);
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
    dictionary::MsgBox(this, english ? "Morate unijeti englesku riječ!" : "Morate unijeti hrvatsku riječ!", "Pozor", 64);
    box->setFocus();
}

bool EntryEditor::eventFilter(QObject* watched, QEvent* event) {
    auto* box = qobject_cast<QLineEdit*>(watched);
    if (!box) return QDialog::eventFilter(watched, event);
    if (event->type() == QEvent::FocusIn) {
        if (box == Text4) {
            cmdSpremi->setFocus();
            QTimer::singleShot(0, box, [box] { box->deselect(); }); // Tab selected it on the way in
        } else dictionary::SelectWholeTextOnFocus(box);
    } else if (event->type() == QEvent::FocusOut && box == txtHrvatski) {
        dictionary::FocusOnLeaving(event, this, cmdSpremi); // whichever way the user left it
    } else if (event->type() == QEvent::KeyPress && box != Text4) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            EnterIn(box);
            return true; // never inserted, never passed to the dialog's default button
        }
    }
    return QDialog::eventFilter(watched, event);
}
