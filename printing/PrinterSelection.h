#pragma once
#include <QDialog>
#include <QPointer>

class QComboBox;
class QLabel;
class QPushButton;

// "Odabir pisača" (Form2): the installed printers; the chosen one serves the rest of the run.
class PrinterSelection : public QDialog {
    Q_OBJECT
public:
    explicit PrinterSelection(QWidget* parent = nullptr);

    QLabel* Label1;
    QComboBox* cboPrinter;
    QPushButton *cmdSelect, *cmdIzlaz;
    QLabel* lblNoPrinter; // says so when no printer is installed

    void reject() override; // the close box and Esc are Izlaz
};

inline QPointer<PrinterSelection> Form2;
