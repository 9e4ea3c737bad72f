#pragma once
#include <QDialog>
#include <QPointer>

#include <cstdint>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// "Opcije ispisa" (Form1): the page shown, a range of pages or all pages. Accepting stores
// the choice in the PrintRange globals; any way of closing it but Prihvati discards.
class PrintRangeDialog : public QDialog {
    Q_OBJECT
public:
    explicit PrintRangeDialog(int32_t pageCount, QWidget* parent = nullptr);

    QRadioButton *optTekucaStranica, *optOdStrDoStr, *optSveStranice;
    QLabel *Label1, *Label2;
    QLineEdit *txtOd, *txtDo;
    QPushButton *cmdOdbaci, *cmdPrihvati;

    void reject() override; // the close box and Esc are Odbaci

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void cmdPrihvati_Click();
    void cmdOdbaci_Click();
    void OptionChanged();
    // The box's page number, or 0 after telling the user what is wrong with it.
    int32_t PageIn(QLineEdit* box);

    int32_t pageCount_;
};

inline QPointer<PrintRangeDialog> Form1;

// Whether the text reads as a number, with a decimal comma or point and spaces around it.
bool IsNumeric(const QString& text);
// A page number: the nearest whole number, a half to the even neighbour, or 0 for a text that
// is no number or lies outside the 32-bit range. Long lists have far more than 32767 pages.
int32_t PageNumber(const QString& text);
