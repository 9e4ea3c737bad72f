#pragma once
// Drawing targets on Qt: the preview's page picture and the printer. Twips map to device
// pixels by the device's own resolution, so the preview and the paper share one geometry.
#include "printing/DrawingTarget.h"

#include <QFontMetricsF>
#include <QImage>
#include <QPainter>

#include <memory>
#include <optional>

class QPrinter;

namespace printing {

// What both targets share: fonts, measuring and placing text through a painter.
class PainterTarget : public DrawingTarget {
public:
    double TextWidth(const QString& text) override;
    double TextHeight(const QString& text) override;
    void Line(int option, double x1, double y1, double x2, double y2, unsigned rgb) override;

protected:
    void DrawText(double x, double y, const QString& text) override;
    virtual QPainter& Painter() = 0;  // begins the job on first use
    virtual void BeforeInk() {}       // called before anything is drawn
    virtual double Dpi() const = 0;   // device pixels per inch
    double Px(double twips) const { return twips * Dpi() / kTwipsPerInch; }
    // The painter with the current font set, and that font's metrics on this device. Both are
    // made again only when the font changes: a page sets the same font a hundred times.
    const QFontMetricsF& Metrics();
    void PainterChanged() { metrics_.reset(); } // a new painter has the default font

private:
    QFont CurrentFont() const;
    struct FontKey {
        QString name;
        double size = -1;
        bool bold = false, italic = false;
        bool operator==(const FontKey&) const = default;
    } key_;
    std::optional<QFontMetricsF> metrics_;
};

// The preview's sheet: an A4 page kept as an image, so it survives being covered.
class PictureTarget : public PainterTarget {
public:
    static constexpr double kWidthTwips = 11964, kHeightTwips = 16783;
    explicit PictureTarget(double dpi = 96);
    const QImage& image() const { return image_; }
    void Cls() override;
    void NewPage() override {}
    void EndDoc() override {}
    DeviceCaps Caps() const override;
    // The sheet, or less: the preview shows where the paper of the printer ends.
    QSizeF PrintableSize() const override { return printable_; }
    void SetPrintableSize(QSizeF twips) { printable_ = twips.boundedTo({kWidthTwips, kHeightTwips}); }

protected:
    QPainter& Painter() override;
    double Dpi() const override { return dpi_; }

private:
    double dpi_;
    QSizeF printable_{kWidthTwips, kHeightTwips};
    QImage image_;
    std::unique_ptr<QPainter> painter_;
};

// The application's printer. The first drawing call starts the job; EndDoc releases it. On a
// print queue the job carries the title, and it is done only when the server shows it.
class PrinterTarget : public PainterTarget {
public:
    PrinterTarget(QPrinter& printer, const QString& title);
    ~PrinterTarget() override;
    void Cls() override {}
    void NewPage() override;
    void EndDoc() override;
    DeviceCaps Caps() const override;
    QSizeF PrintableSize() const override;

protected:
    QPainter& Painter() override;
    void BeforeInk() override;
    double Dpi() const override;

private:
    bool OnQueue() const;
    [[noreturn]] void Refused(const QString& why) const;

    QPrinter& printer_;
    QString title_;
    QString queue_;      // the printer's name as it was when the job was made
    int lastJob_ = 0;    // the queue's newest job before this one
    std::unique_ptr<QPainter> painter_;
    // A page break waits for the next thing drawn, so a document that ends right after one
    // gets no blank sheet.
    bool pendingBreak_ = false;
};

// The family a stored font name is drawn with: an old "… CE" name this machine lacks is the
// plain one; FaceOnThisMachine is the installed face the fonts' own matching gives for it.
QString PrintFamily(const QString& stored);
QString FaceOnThisMachine(const QString& stored);

// Why the printer cannot take a job now (no printer, its queue gone, the print server down), in
// words that name it; empty when it can, or when it prints to a file.
QString PrinterUnavailable(const QPrinter& printer);

// The printer all printing of the run goes to: the system's default until the user picks one.
QPrinter& AppPrinter();
// The printer's printable area in twips, its own unprintable strips taken off the paper.
QSizeF PrintableArea(const QPrinter& printer);

} // namespace printing
