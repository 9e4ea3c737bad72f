#include "printing/PrintPreview.h"

#include "core/Module1.h"
#include "db/Errors.h"
#include "db/Recordset.h"
#include "ui/Colours.h"
#include "ui/MsgBox.h"
#include "ui/Twips.h"
#include "ui/WaitCursor.h"
#include "ui/Widgets.h"
#include "printing/PrintError.h"
#include "printing/PrintRange.h"

#include <QApplication>
#include <QFocusEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QScrollArea>
#include <QToolButton>

using ui::MsgBox;
using ui::Put;
using ui::Px;
using ui::Twips;


// The sheet is drawn with the screen's own pixels: at a scale of 2 a 96 dpi picture would be
// enlarged and blurred.
PrintPreview::PrintPreview(db::Recordset& list, QWidget* parent)
    : QDialog(parent), picture(96 * devicePixelRatioF()), list_(list) {
    ui::SetUpDialog(this, "Form9", "Pregled za ispis", 9330, 6705);
    BuildToolStrip();
    BuildSheet();

    connect(cmdFirst, &QToolButton::clicked, this, [this] { if (CurrentPage > 1) GoTo(1); });
    connect(CmdPrevious, &QToolButton::clicked, this, [this] { if (CurrentPage > 1) GoTo(CurrentPage - 1); });
    connect(cmdNext, &QToolButton::clicked, this, [this] { if (CurrentPage < layout.PageCount) GoTo(CurrentPage + 1); });
    connect(cmdLast, &QToolButton::clicked, this, [this] { if (CurrentPage < layout.PageCount) GoTo(layout.PageCount); });
    connect(cmdIspis, &QToolButton::clicked, this, [this] { cmdIspis_Click(); });
    connect(cmdIzlaz, &QToolButton::clicked, this, [this] {
        Form9 = nullptr;
        close();
    });

    ui::EnterPressesFocusedButton(this);

    // Load: count the pages, then draw the first one before the window is shown.
    CurrentPage = 1;
    layout.CountPages(list_, Module1::Settings, 1);
    picture.SetPrintableSize(printing::PrintableArea(printing::AppPrinter()));
    printing::PrintTarget = &picture;
    Text1->setText(QString::number(CurrentPage));
    Text3->setText(QString::number(layout.PageCount));
    layout.DrawPage(*printing::PrintTarget, Module1::Settings, list_, CurrentPage);
    ShowPicture();
    ShowFit();
}

// The strip along the top: the page counter, Ispis, the warning and the close button.
void PrintPreview::BuildToolStrip() {
    Picture2 = Put<QFrame>(this, "Picture2", Twips(0, 0, 9330, 630));
    Picture2->setFrameShape(QFrame::StyledPanel);
    ui::PutCounterRow(Picture2, 120, 120, {cmdFirst, CmdPrevious, Text1, Text2, Text3, cmdNext, cmdLast});
    cmdIspis = ui::PictureButton(Picture2, "cmdIspis", "ispis", Twips(5160, 30, 540, 540));
    cmdIzlaz = ui::PictureButton(Picture2, "cmdIzlaz", "izlaz", Twips(8700, 35, 540, 540));
    for (QLineEdit* t : {Text1, Text2, Text3}) t->installEventFilter(this);
    // In the free part of the strip, before the close button.
    lblUpozorenje = Put<QLabel>(Picture2, "lblUpozorenje", Twips(5820, 30, 2820, 540));
    lblUpozorenje->setWordWrap(true);
    QFont bold = lblUpozorenje->font();
    bold.setBold(true);
    lblUpozorenje->setFont(bold);
    QPalette red = lblUpozorenje->palette();
    red.setColor(QPalette::WindowText, ui::OnBackground(QColor(192, 0, 0), red.color(QPalette::Window), ui::kTextContrast));
    lblUpozorenje->setPalette(red);
    lblUpozorenje->hide();
    // The buttons show only pictures: their hints are what a pointer and a screen reader get.
    for (auto [b, hint] : {std::pair{cmdFirst, "Prva stranica"}, {CmdPrevious, "Prethodna stranica"},
                           {cmdNext, "Sljedeća stranica"}, {cmdLast, "Zadnja stranica"}, {cmdIspis, "Ispis"},
                           {cmdIzlaz, "Zatvori pregled"}}) {
        b->setToolTip(QString::fromUtf8(hint));
        b->setAccessibleName(QString::fromUtf8(hint));
    }
    Text1->setAccessibleName("Prikazana stranica");
    Text3->setAccessibleName("Broj stranica");
}

// The page as it will be printed, on a grey desk that scrolls.
void PrintPreview::BuildSheet() {
    Scroller1 = Put<QScrollArea>(this, "Scroller1", Twips(0, 600, 9360, 6000));
    auto* sheet = new QWidget;
    sheet->setAutoFillBackground(true);
    QPalette grey = sheet->palette();
    grey.setColor(QPalette::Window, QColor(192, 192, 192));
    sheet->setPalette(grey);
    const QRect at = Twips(90, 120, int(printing::PictureTarget::kWidthTwips), int(printing::PictureTarget::kHeightTwips));
    Picture1 = Put<QLabel>(sheet, "Picture1", at);
    Picture1->setAccessibleName("Izgled stranice");
    sheet->resize(at.right() + Px(90), at.bottom() + Px(120));
    Scroller1->setWidget(sheet);
    Scroller1->setAccessibleName("Pregled stranice"); // Tab reaches it, to scroll with the keys
    Scroller1->setBackgroundRole(QPalette::Dark);
}

void PrintPreview::ShowFit() {
    fit = layout.CheckFit(picture, Module1::Settings, printing::PrintableArea(printing::AppPrinter()));
    lblUpozorenje->setText(fit.Summary());
    // As rich text, so that the tip wraps at a readable width instead of running across the screen.
    QString tip;
    for (const QString& paragraph : fit.Warning().split("\n\n", Qt::SkipEmptyParts)) tip += "<p>" + paragraph.toHtmlEscaped() + "</p>";
    lblUpozorenje->setToolTip(tip);
    lblUpozorenje->setAccessibleDescription(fit.Warning());
    lblUpozorenje->setVisible(!fit.Summary().isEmpty());
}

void PrintPreview::ShowPicture() {
    QPixmap sheet = QPixmap::fromImage(picture.image());
    sheet.setDevicePixelRatio(picture.Caps().logPixelsX / 96.0);
    Picture1->setPixmap(sheet);
}

void PrintPreview::GoTo(int32_t page) {
    picture.Cls();
    CurrentPage = page;
    printing::PrintTarget = &picture;
    layout.DrawPage(*printing::PrintTarget, Module1::Settings, list_, CurrentPage);
    ShowPicture();
    Text1->setText(QString::number(CurrentPage));
}

int PrintPreview::PrintPages(printing::DrawingTarget& printer) {
    printing::PrintTarget = &printer;
    int drawn = 0;
    std::string failure;
    auto loop = [&](int32_t from, int32_t to) {
        for (int32_t p = from; p <= to; ++p) {
            try {
                layout.DrawPage(printer, Module1::Settings, list_, p);
                ++drawn;
                printer.NewPage();
            } catch (const std::runtime_error& e) { // a printing or a dictionary failure
                failure = e.what(); // the printer or the list gave up: the rest of the range is not sent
                return;
            }
        }
    };
    if (Module1::PrintCurrent != db::kFalse) {
        try { // a failure still ends the job below
            layout.DrawPage(printer, Module1::Settings, list_, PageNumber(Text1->text()));
            ++drawn;
        } catch (const std::runtime_error& e) {
            failure = e.what();
        }
    }
    if (Module1::PrintAll != db::kFalse) loop(1, PageNumber(Text3->text()));
    if (Module1::PrintFrom != 0) loop(Module1::PrintFrom, Module1::PrintTo);
    printer.FontName = "Times New Roman CE";
    printer.FontItalic = false;
    printer.FontBold = false;
    printer.FontSize = 11;
    printer.EndDoc();
    if (!failure.empty() && drawn == 0) throw printing::PrintError(printing::kPrinterFailed, failure); // nothing went out
    if (!failure.empty())
        throw printing::PrintError(printing::kPrinterFailed,
                                   "Ispis je prekinut nakon " + std::to_string(drawn) + ". stranice: " + failure);
    return drawn;
}

void PrintPreview::cmdIspis_Click() {
    if (!Form1) Form1 = new PrintRangeDialog(layout.PageCount, this);
    Form1->exec();
    if (Module1::PrintAccepted == db::kFalse) return;
    // Rows that would fall off the sheet or overprint are never lost without a word.
    if (!fit.Warning().isEmpty() &&
        MsgBox(this, fit.Warning() + "\n\nŽelite li ipak ispisati?", "Pozor", 276) != ui::kYes)
        return;
    if (MsgBox(this, "Je li pisač spreman za ispis?", "Vokabis", 36) != ui::kYes) return;
    try {
        const ui::WaitCursor wait;
        printing::PrinterTarget printer(printing::AppPrinter(), "Vokabis – popis riječi");
        PrintPages(printer);
    } catch (const std::exception& e) {
        MsgBox(this, "Ispis nije uspio.\n\n" + QString::fromUtf8(e.what()), "Pogreška", 16);
    }
}

bool PrintPreview::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn && (watched == Text1 || watched == Text2 || watched == Text3)) {
        // The display boxes take no keys: Tab and Shift+Tab pass over them to the buttons beyond.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason == Qt::TabFocusReason) focusNextChild();
        else if (reason == Qt::BacktabFocusReason) focusPreviousChild();
        else cmdIzlaz->setFocus();
    }
    return QDialog::eventFilter(watched, event);
}

void ShowPrintPreview(db::Recordset& list, QWidget* parent) {
    try {
        Form9 = new PrintPreview(list, parent);
    } catch (const std::exception& e) {
        MsgBox(parent, "Pregled ispisa ne može se prikazati.\n\n" + QString::fromUtf8(e.what()), "Pogreška", 16);
        return;
    }
    Form9->exec();
}
