#include "ui/MsgBox.h"

#include <QMessageBox>
#include <QPushButton>

namespace ui {

int MsgBox(QWidget* parent, const QString& prompt, const QString& title, int style) {
    QMessageBox box(parent);
    box.setWindowTitle(title);
    box.setText(prompt);
    const bool yesNo = (style & 7) == 4;
    switch (style & 0x70) {
    case 16: box.setIcon(QMessageBox::Critical); break;
    case 32: box.setIcon(QMessageBox::Question); break;
    case 48: box.setIcon(QMessageBox::Warning); break;
    case 64: box.setIcon(QMessageBox::Information); break;
    default: box.setIcon(QMessageBox::NoIcon); break;
    }
    if (yesNo) {
        // The labels are set here, so they read in Croatian whatever translations are installed.
        box.addButton("Da", QMessageBox::YesRole)->setObjectName("Da");
        QPushButton* no = box.addButton("Ne", QMessageBox::NoRole);
        no->setObjectName("Ne");
        box.setEscapeButton(no);
        box.setDefaultButton(style & 256 ? no : qobject_cast<QPushButton*>(box.buttons().first()));
        box.exec();
        return box.clickedButton() && box.clickedButton()->objectName() == "Da" ? kYes : kNo;
    }
    QPushButton* ok = box.addButton("U redu", QMessageBox::AcceptRole);
    ok->setObjectName("U redu");
    box.setEscapeButton(ok);
    box.setDefaultButton(ok);
    box.exec();
    return 1;
}

} // namespace ui
