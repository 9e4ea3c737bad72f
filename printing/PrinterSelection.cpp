#include "printing/PrinterSelection.h"

#include "ui/MsgBox.h"
#include "ui/Twips.h"
#include "ui/Widgets.h"
#include "printing/PrinterTools.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

using dictionary::Px;
using dictionary::Twips;

PrinterSelection::PrinterSelection(QWidget* parent) : QDialog(parent) {
    setObjectName("Form2");
    setWindowTitle("Odabir pisača");
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(Px(4200), Px(1365));
    dictionary::CentreOnScreen(this);

    Label1 = new QLabel("Odaberite pisač", this);
    Label1->setObjectName("Label1");
    Label1->setGeometry(Twips(120, 120, 2055, 255));
    cboPrinter = new QComboBox(this);
    cboPrinter->setObjectName("cboPrinter");
    cboPrinter->setGeometry(Twips(120, 360, 3975, 315));
    Label1->setBuddy(cboPrinter);
    cmdSelect = new QPushButton("Prihvati", this);
    cmdSelect->setObjectName("cmdSelect");
    cmdSelect->setGeometry(Twips(120, 840, 1095, 375));
    cmdIzlaz = new QPushButton("Izlaz", this);
    cmdIzlaz->setObjectName("cmdIzlaz");
    cmdIzlaz->setGeometry(Twips(3000, 840, 1095, 375));
    lblNoPrinter = new QLabel("Na ovom računalu nije instaliran nijedan pisač.", this);
    lblNoPrinter->setObjectName("lblNoPrinter");
    lblNoPrinter->setGeometry(Twips(120, 360, 3975, 315));
    setTabOrder(cmdSelect, cmdIzlaz);

    connect(cboPrinter, &QComboBox::activated, this, [this] { cmdSelect->setEnabled(cboPrinter->currentIndex() >= 0); });
    connect(cmdSelect, &QPushButton::clicked, this, [this] {
        if (printing::SelectPrinter(cboPrinter->currentText()))
            dictionary::MsgBox(this, "Printer nije pronađen!", "Pogreška", 64);
        else
            cmdSelect->setEnabled(false);
    });
    connect(cmdIzlaz, &QPushButton::clicked, this, [this] { reject(); });

    // Load: the printers in the collection's order, the first one selected.
    cboPrinter->clear();
    cboPrinter->addItems(printing::InstalledPrinters ? printing::InstalledPrinters() : printing::SystemPrinters());
    cboPrinter->setCurrentIndex(cboPrinter->count() > 0 ? 0 : -1);
    cmdSelect->setEnabled(cboPrinter->currentIndex() >= 0);
    cboPrinter->setVisible(cboPrinter->count() > 0);
    lblNoPrinter->setVisible(cboPrinter->count() == 0);
    dictionary::EnterPressesFocusedButton(this);
    cmdSelect->setFocus();
}

void PrinterSelection::reject() {
    Form2 = nullptr;
    QDialog::reject();
}
