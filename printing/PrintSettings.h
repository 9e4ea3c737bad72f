#pragma once
#include <QDialog>
#include <QLocale>
#include <QPointer>

class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;

// The print settings window (Form8, caption "Vokabis"): sort column, printer margins, shifts,
// font, font size and rows per page. Prihvati puts them into Settings and the settings row.
class PrintSettingsWindow : public QDialog {
    Q_OBJECT
public:
    explicit PrintSettingsWindow(QWidget* parent = nullptr);

    QTabWidget* optTab;
    QPushButton *cmdPrihvati, *cmdIzlaz;
    QWidget *Picture1, *Picture2, *Picture3, *Picture4, *Picture5, *Picture6, *Picture7, *Picture8;
    QLineEdit *Text1, *Text2, *Text3, *Text4, *Text5, *Text7, *Text9, *Text10; // group headings
    QRadioButton *optEngleski, *optHrvatski, *optDesno, *optLijevo, *optDolje, *optGore;
    QPushButton *cmdPrinter, *cmdMarginr, *cmdOk, *cmdFont;
    QLabel *Label1, *Label5, *Label6_0, *Label6_1;
    QLineEdit *txtLeftM, *txtTopM, *txtHPomak, *txtVPomak, *txtBrojRedova, *txtFontSizeOstalo;
    QCheckBox *chkItalic, *chkBold;

    void cmdPrihvati_Click();
    void cmdFont_Click();
    void cmdMarginr_Click();
    void cmdOk_Click();
    void reject() override; // the close box and Esc are Izlaz

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildSortPage(QWidget* page, int y0);
    void BuildPrinterPage(QWidget* page, int y0);
    void BuildOptionsPage(int y0);
    void FitAndDescribe();
    void Load();
    bool SaveSettings(); // false when the engine refused (the user has been told)
    void ShowFontFlags();
    QString Show(double v) const;
    bool ReadNumber(QLineEdit* box, double* value) const;
    bool Fail(QLineEdit* box);

    QLocale locale_;
    QWidget* opcije_ = nullptr;
};

inline QPointer<PrintSettingsWindow> Form8;

// The name the settings keep for a font chosen in the dialog: three Windows fonts get their
// Central European name.
QString FontNameForSettings(const QString& chosen);

// Opens the window modally from the main window's Opcije.
void ShowPrintSettings(QWidget* parent);
