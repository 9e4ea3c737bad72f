#pragma once
#include "printing/Layout.h"
#include "printing/QtTargets.h"

#include <QDialog>
#include <QPointer>

class QFrame;
class QLabel;
class QLineEdit;
class QScrollArea;
class QToolButton;

namespace db {
class Recordset;
}

// "Pregled za ispis" (Form9): the main list laid out as printed pages, one at a time, and
// the print command. Opening it counts the pages; a list that cannot be laid out throws.
class PrintPreview : public QDialog {
    Q_OBJECT
public:
    PrintPreview(db::Recordset& list, QWidget* parent = nullptr);

    QFrame* Picture2;
    QToolButton *cmdFirst, *CmdPrevious, *cmdNext, *cmdLast, *cmdIspis, *cmdIzlaz;
    QLineEdit *Text1, *Text2, *Text3;
    QScrollArea* Scroller1;
    QLabel* Picture1;
    QLabel* lblUpozorenje; // says when the rows do not all print whole; its hint says why

    printing::PageFit fit;

    int32_t CurrentPage = 1;
    printing::PageLayout layout;
    printing::PictureTarget picture;

    void cmdIspis_Click();
    // Draws the chosen pages on the target as one document; returns the pages drawn.
    int PrintPages(printing::DrawingTarget& printer);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildToolStrip();
    void BuildSheet();
    void GoTo(int32_t page);
    void ShowPicture();
    void ShowFit();

    db::Recordset& list_;
};

inline QPointer<PrintPreview> Form9;

// What the main window's Pregledaj ispis runs: the preview over its list, modally; settings
// that cannot make a page are explained instead.
void ShowPrintPreview(db::Recordset& list, QWidget* parent);
