#include "printing/QtTargets.h"

#include "printing/PrintError.h"
#include "printing/PrintQueue.h"
#include "printing/PrinterTools.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPrinter>
#include <QPrinterInfo>

#include <cmath>

namespace printing {

QString PrintFamily(const QString& stored) {
    // Old Windows setups named the Central European cut of a font "… CE"; the fonts of today
    // carry those letters under the plain name.
    if (stored.endsWith(" CE") && !QFontDatabase::hasFamily(stored)) return stored.chopped(3);
    return stored;
}

QString FaceOnThisMachine(const QString& stored) { return QFontInfo(QFont(PrintFamily(stored))).family(); }

QFont PainterTarget::CurrentFont() const {
    QFont f(PrintFamily(FontName));
    f.setPointSizeF(FontSize > 0 ? FontSize : 1);
    f.setBold(FontBold);
    f.setItalic(FontItalic);
    return f;
}

const QFontMetricsF& PainterTarget::Metrics() {
    QPainter& p = Painter();
    const FontKey now{FontName, FontSize, FontBold, FontItalic};
    if (!metrics_ || !(now == key_)) {
        key_ = now;
        p.setFont(CurrentFont());
        metrics_.emplace(p.font(), p.device());
    }
    return *metrics_;
}

double PainterTarget::TextWidth(const QString& text) { return Metrics().horizontalAdvance(text) * kTwipsPerInch / Dpi(); }

double PainterTarget::TextHeight(const QString&) { return Metrics().height() * kTwipsPerInch / Dpi(); }

void PainterTarget::DrawText(double x, double y, const QString& text) {
    // Margins and shifts are not range-checked, so a position may be far off the sheet, or
    // not a number at all; such text cannot be seen and is not handed to the painter.
    if (!std::isfinite(x) || !std::isfinite(y) || std::fabs(x) > 1e9 || std::fabs(y) > 1e9) return;
    BeforeInk();
    const QFontMetricsF& fm = Metrics();
    QPainter& p = Painter();
    p.setPen(Qt::black);
    p.drawText(QPointF(Px(x), Px(y) + fm.ascent()), text); // x, y is the text's top-left corner
}

void PainterTarget::Line(int option, double x1, double y1, double x2, double y2, unsigned rgb) {
    BeforeInk();
    QPainter& p = Painter();
    // The colour comes as the platform's 0x00BBGGRR.
    p.setPen(QPen(QColor(int(rgb & 0xff), int((rgb >> 8) & 0xff), int((rgb >> 16) & 0xff)), 0));
    p.setBrush(Qt::NoBrush);
    const QPointF a(Px(x1), Px(y1)), b(Px(x2), Px(y2));
    // 0 a line, 1 a box's outline, 20 (the test figure) the outline with its diagonal.
    if (option == 1 || option == 20) p.drawRect(QRectF(a, b).normalized());
    if (option != 1) p.drawLine(a, b);
}

PictureTarget::PictureTarget(double dpi) : dpi_(dpi) {
    image_ = QImage(int(kWidthTwips * dpi / kTwipsPerInch + 0.5), int(kHeightTwips * dpi / kTwipsPerInch + 0.5),
                    QImage::Format_RGB32);
    const int dpm = int(dpi / 0.0254 + 0.5);
    image_.setDotsPerMeterX(dpm);
    image_.setDotsPerMeterY(dpm);
    image_.fill(Qt::white);
}

QPainter& PictureTarget::Painter() {
    if (!painter_) {
        painter_ = std::make_unique<QPainter>(&image_);
        painter_->setRenderHint(QPainter::TextAntialiasing);
    }
    return *painter_;
}

void PictureTarget::Cls() {
    painter_.reset();
    PainterChanged();
    image_.fill(Qt::white);
    CurrentX = CurrentY = 0;
}

DeviceCaps PictureTarget::Caps() const { return {int(dpi_), int(dpi_), 0, 0}; }

namespace {
bool PrintsToQueue(const QPrinter& printer) {
    return printer.outputFormat() == QPrinter::NativeFormat && printer.outputFileName().isEmpty();
}
QString QueueName(const QPrinter& printer) {
    return printer.printerName().isEmpty() ? ChosenPrinter : printer.printerName();
}
} // namespace

QString PrinterUnavailable(const QPrinter& printer) {
    // A file takes the pages; Qt turns a printer with no queue behind it into a file with no name.
    if (!printer.outputFileName().isEmpty()) return {};
    const QString name = QueueName(printer);
    if (name.isEmpty())
        return "Nijedan pisač nije odabran, a na ovom računalu nema zadanog pisača. Odaberite pisač u Postavkama "
               "ispisa (Izbor pisača).";
    switch (CheckQueue(name)) {
    case QueueState::ServerDown:
        return "Pisač „" + name + "” nije dostupan: poslužitelj za ispis (CUPS) ne radi. Pokrenite ga i pokušajte ponovo.";
    case QueueState::Gone:
        return "Pisač „" + name + "” ne postoji na poslužitelju za ispis: uklonjen je ili preimenovan. Odaberite "
               "drugi pisač u Postavkama ispisa (Izbor pisača).";
    case QueueState::Ready:
        break;
    }
    return {};
}

PrinterTarget::PrinterTarget(QPrinter& printer, const QString& title)
    : printer_(printer), title_(title), queue_(QueueName(printer)) {
    printer_.setDocName(title_);
}

bool PrinterTarget::OnQueue() const { return PrintsToQueue(printer_); }

void PrinterTarget::Refused(const QString& why) const {
    throw PrintError(kPrinterFailed, ("Pisač „" + queue_ + "” " + why).toStdString());
}

PrinterTarget::~PrinterTarget() {
    if (painter_ && painter_->isActive()) painter_->end();
}

double PrinterTarget::Dpi() const { return printer_.resolution(); }

QPainter& PrinterTarget::Painter() {
    if (!painter_) {
        // The painter's origin is the printable origin: the page margins are the printer's own
        // minimum, not Qt's default ten points.
        const QPageLayout layout = printer_.pageLayout();
        printer_.setPageMargins(layout.minimumMargins(), layout.units());
        // Qt's engine would take a job for a queue that is gone, or a server that is down, and
        // drop it without a word.
        if (const QString why = PrinterUnavailable(printer_); !why.isEmpty())
            throw PrintError(kPrinterFailed, why.toStdString());
        if (OnQueue()) lastJob_ = LastJobNumber(queue_);
        auto p = std::make_unique<QPainter>();
        if (!p->begin(&printer_))
            throw PrintError(kPrinterFailed, "Pisač " + queue_.toStdString() +
                                           " ne prima ispis (nije dostupan ili je odbio posao).");
        painter_ = std::move(p);
        PainterChanged();
    }
    return *painter_;
}

void PrinterTarget::BeforeInk() {
    Painter();
    if (!pendingBreak_) return;
    pendingBreak_ = false;
    if (!printer_.newPage()) throw PrintError(kPrinterFailed, "Pisač nije prihvatio novu stranicu.");
}

void PrinterTarget::NewPage() {
    Painter(); // a page break before anything else still starts the job
    if (printer_.printerState() == QPrinter::Error) throw PrintError(kPrinterFailed, "Pisač je javio pogrešku.");
    pendingBreak_ = true;
}

void PrinterTarget::EndDoc() {
    pendingBreak_ = false;
    if (!painter_) return; // nothing was started
    const bool ok = painter_->end();
    painter_.reset();
    PainterChanged();
    if (!ok || printer_.printerState() == QPrinter::Error)
        throw PrintError(kPrinterFailed, "Ispis nije dovršen: pisač nije prihvatio posao.");
    // The engine has handed the file over; whether the queue took it only the server knows.
    if (OnQueue() && !JobQueued(queue_, lastJob_, title_)) {
        if (CheckQueue(queue_) == QueueState::ServerDown)
            Refused("nije primio ispis: poslužitelj za ispis (CUPS) prestao je raditi. Pokrenite ga i pokušajte ponovo.");
        Refused("nije primio ispis: posla „" + title_ + "” nema u njegovu redu čekanja. Pokušajte ponovo ili "
                "odaberite drugi pisač.");
    }
}

DeviceCaps PrinterTarget::Caps() const {
    const int dpi = printer_.resolution();
    const QRectF paper = printer_.paperRect(QPrinter::DevicePixel);
    const QRectF page = printer_.pageRect(QPrinter::DevicePixel);
    return {dpi, dpi, int(page.left() - paper.left() + 0.5), int(page.top() - paper.top() + 0.5)};
}

QSizeF PrinterTarget::PrintableSize() const { return PrintableArea(printer_); }

QSizeF PrintableArea(const QPrinter& printer) {
    QPageLayout layout = printer.pageLayout();
    layout.setMargins(layout.minimumMargins()); // as Painter() sets them when the job begins
    return layout.paintRect(QPageLayout::Inch).size() * kTwipsPerInch;
}

QPrinter& AppPrinter() {
    static QPrinter printer(QPrinter::HighResolution);
    return printer;
}

} // namespace printing
