#include "printing/PrinterSelection.h"

#include "ui/MsgBox.h"
#include "ui/Twips.h"
#include "ui/Widgets.h"
#include "printing/PrinterTools.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

using ui::Put;
using ui::Twips;

namespace {
// On Linux Qt names a drop-down list by the entry it shows and leaves its purpose to the label's
// relation, so a reader said "Ured" for the list of printers. This one is named by its label,
// "Odaberite pisač", with the printer shown as its value; its entries stay its child.
class PrinterList : public QAccessibleWidget {
public:
    explicit PrinterList(QComboBox* box) : QAccessibleWidget(box, QAccessible::ComboBox) {}
    QComboBox* box() const { return static_cast<QComboBox*>(widget()); }
    QString text(QAccessible::Text t) const override {
        return t == QAccessible::Value ? box()->currentText() : QAccessibleWidget::text(t);
    }
    int childCount() const override { return 1; }
    QAccessibleInterface* child(int index) const override {
        return index == 0 ? QAccessible::queryAccessibleInterface(box()->view()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* c) const override { return c && c->object() == box()->view() ? 0 : -1; }
    QStringList actionNames() const override { return {showMenuAction()}; }
    void doAction(const QString& action) override {
        if (action == showMenuAction()) box()->showPopup();
    }
};

QAccessibleInterface* PrinterListFactory(const QString&, QObject* object) {
    auto* box = qobject_cast<QComboBox*>(object);
    return box && box->objectName() == "cboPrinter" ? new PrinterList(box) : nullptr;
}
} // namespace

PrinterSelection::PrinterSelection(QWidget* parent) : QDialog(parent) {
    static const bool named = (QAccessible::installFactory(PrinterListFactory), true);
    (void)named;
    ui::SetUpDialog(this, "Form2", "Odabir pisača", 4200, 1365);

    Label1 = Put<QLabel>(this, "Label1", Twips(120, 120, 2055, 255), "Odaberite pisač");
    cboPrinter = Put<QComboBox>(this, "cboPrinter", Twips(120, 360, 3975, 315));
    Label1->setBuddy(cboPrinter);
    cmdSelect = Put<QPushButton>(this, "cmdSelect", Twips(120, 840, 1095, 375), "Prihvati");
    cmdIzlaz = Put<QPushButton>(this, "cmdIzlaz", Twips(3000, 840, 1095, 375), "Izlaz");
    lblNoPrinter = Put<QLabel>(this, "lblNoPrinter", Twips(120, 360, 3975, 315), "Na ovom računalu nije instaliran nijedan pisač.");
    setTabOrder(cmdSelect, cmdIzlaz);

    connect(cboPrinter, &QComboBox::activated, this, [this] { cmdSelect->setEnabled(cboPrinter->currentIndex() >= 0); });
    connect(cmdSelect, &QPushButton::clicked, this, [this] {
        if (printing::SelectPrinter(cboPrinter->currentText()))
            ui::MsgBox(this, "Printer nije pronađen!", "Pogreška", 64);
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
    // Without a printer there is nothing to choose: the sentence takes the heading's place, on
    // two lines if it needs them, rather than running off the window's edge.
    Label1->setVisible(cboPrinter->count() > 0);
    lblNoPrinter->setWordWrap(true);
    lblNoPrinter->setGeometry(Twips(120, 120, 3975, 640));
    ui::EnterPressesFocusedButton(this);
    cmdSelect->setFocus();
}

void PrinterSelection::reject() {
    Form2 = nullptr;
    QDialog::reject();
}
