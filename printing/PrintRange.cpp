#include "printing/PrintRange.h"

#include "core/Module1.h"
#include "ui/MsgBox.h"
#include "ui/Twips.h"
#include "ui/Widgets.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <climits>
#include <cmath>

using ui::MsgBox;
using ui::Put;
using ui::Px;
using ui::Twips;

bool IsNumeric(const QString& text) {
    try {
        db::CDbl(db::Value(text.toStdString()));
        return true;
    } catch (const db::EngineError&) {
        return false;
    }
}

int32_t PageNumber(const QString& text) {
    double d = 0;
    try {
        d = db::CDbl(db::Value(text.toStdString()));
    } catch (const db::EngineError&) {
        return 0;
    }
    const double n = std::nearbyint(d); // the default rounding: a half to the even neighbour
    return std::isfinite(n) && n >= INT32_MIN && n <= INT32_MAX ? int32_t(n) : 0;
}

PrintRangeDialog::PrintRangeDialog(int32_t pageCount, QWidget* parent) : QDialog(parent), pageCount_(pageCount) {
    ui::SetUpDialog(this, "Form1", "Opcije ispisa", 4440, 2445);

    optTekucaStranica = Put<QRadioButton>(this, "optTekucaStranica", Twips(240, 165, 1815, 375), "Ispis tekuće stranice");
    optOdStrDoStr = Put<QRadioButton>(this, "optOdStrDoStr", Twips(240, 645, 1215, 375), "Ispis stranica");
    optSveStranice = Put<QRadioButton>(this, "optSveStranice", Twips(240, 1125, 1575, 375), "Ispis svih stranica");
    for (QRadioButton* o : {optTekucaStranica, optOdStrDoStr, optSveStranice}) {
        o->resize(std::max(o->width(), o->sizeHint().width()), o->height());
        connect(o, &QRadioButton::clicked, this, [this] { OptionChanged(); });
    }
    optTekucaStranica->setChecked(true);

    Label1 = Put<QLabel>(this, "Label1", Twips(2400, 480, 495, 255), "Od");
    Label2 = Put<QLabel>(this, "Label2", Twips(3480, 480, 495, 255), "Do");
    txtOd = Put<QLineEdit>(this, "txtOd", Twips(2400, 720, 855, 285));
    txtDo = Put<QLineEdit>(this, "txtDo", Twips(3480, 720, 855, 285));
    Label1->setBuddy(txtOd);
    Label2->setBuddy(txtDo);
    for (QLineEdit* box : {txtOd, txtDo}) {
        box->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        box->setEnabled(false);
        box->installEventFilter(this);
    }

    cmdOdbaci = Put<QPushButton>(this, "cmdOdbaci", Twips(240, 1920, 1215, 375), "Odbaci");
    cmdPrihvati = Put<QPushButton>(this, "cmdPrihvati", Twips(3000, 1920, 1215, 375), "Prihvati");
    connect(cmdOdbaci, &QPushButton::clicked, this, [this] { cmdOdbaci_Click(); });
    connect(cmdPrihvati, &QPushButton::clicked, this, [this] { cmdPrihvati_Click(); });

    // Leaving txtDo always goes to Prihvati, so the boxes come last before it and Odbaci after
    // it: Tab reaches every control on the way round.
    ui::TabOrder({optTekucaStranica, optOdStrDoStr, optSveStranice, txtOd, txtDo, cmdPrihvati, cmdOdbaci});
    ui::BacktabPasses(cmdPrihvati, txtDo);
    ui::EnterPressesFocusedButton(this);
    optTekucaStranica->setFocus();
}

void PrintRangeDialog::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    QPainter p(this); // the rule above the two buttons
    p.setPen(palette().color(QPalette::Mid));
    p.drawLine(Px(120), Px(1680), Px(4320), Px(1680));
    p.setPen(palette().color(QPalette::Light));
    p.drawLine(Px(120), Px(1680) + 1, Px(4320), Px(1680) + 1);
}

void PrintRangeDialog::OptionChanged() {
    if (optOdStrDoStr->isChecked()) {
        txtOd->setEnabled(true);
        txtDo->setEnabled(true);
        txtOd->setFocus();
        // An arrow key checks the option by a click and then gives the option the focus: Od
        // takes it back once that is done.
        QTimer::singleShot(0, txtOd, [this] {
            if (optOdStrDoStr->isChecked()) txtOd->setFocus(Qt::OtherFocusReason);
        });
    } else if (txtOd->isEnabled()) {
        txtOd->clear();
        txtDo->clear();
        txtOd->setEnabled(false);
        txtDo->setEnabled(false);
    }
}

int32_t PrintRangeDialog::PageIn(QLineEdit* box) {
    const int32_t page = PageNumber(box->text());
    if (page < 1) {
        MsgBox(this, "Pogrešan unos!", "Vokabis", 64);
        box->setFocus();
        return 0;
    }
    if (page > pageCount_) {
        MsgBox(this, QString("Zadnja stranica popisa je %1.").arg(pageCount_), "Pogreška", 0);
        box->setFocus();
        return 0;
    }
    return page;
}

void PrintRangeDialog::cmdPrihvati_Click() {
    Module1::PrintAccepted = db::kTrue;
    Module1::PrintAll = optSveStranice->isChecked() ? db::kTrue : db::kFalse;
    Module1::PrintCurrent = optTekucaStranica->isChecked() ? db::kTrue : db::kFalse;
    Module1::PrintFrom = 0;
    Module1::PrintTo = 0;
    if (optOdStrDoStr->isChecked()) {
        const int32_t from = PageIn(txtOd);
        if (!from) return;
        const int32_t to = PageIn(txtDo);
        if (!to) return;
        if (from > to) {
            MsgBox(this, "Prva stranica raspona ne smije biti veća od zadnje!", "Pogreška", 0);
            txtOd->setFocus();
            return;
        }
        Module1::PrintFrom = from;
        Module1::PrintTo = to;
    }
    Form1 = nullptr;
    accept();
}

void PrintRangeDialog::cmdOdbaci_Click() {
    Module1::PrintAccepted = db::kFalse;
    Form1 = nullptr;
    QDialog::reject();
}

void PrintRangeDialog::reject() { cmdOdbaci_Click(); }

bool PrintRangeDialog::eventFilter(QObject* watched, QEvent* event) {
    auto* box = qobject_cast<QLineEdit*>(watched);
    if (!box) return QDialog::eventFilter(watched, event);
    if (event->type() == QEvent::FocusIn) {
        ui::SelectWholeTextOnFocus(box);
    } else if (event->type() == QEvent::FocusOut && box == txtDo) {
        ui::FocusOnLeaving(event, this, cmdPrihvati);
    } else if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (IsNumeric(box->text())) (box == txtOd ? static_cast<QWidget*>(txtDo) : cmdPrihvati)->setFocus();
            else MsgBox(this, "Morate unijeti redni broj stranice!", "Pogreška", 64);
            return true; // the Enter itself never reaches the box or the default button
        }
    }
    return QDialog::eventFilter(watched, event);
}
