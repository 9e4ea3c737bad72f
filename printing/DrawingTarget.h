#pragma once
// Where pages are drawn: the preview's page picture, the printer, or a recording for tests.
// Positions and sizes are twips (1440 per inch) from the target's origin: the picture's
// top-left corner or the printer's printable origin.
#include "printing/PrintError.h"

#include <QSizeF>
#include <QString>

namespace printing {

constexpr double kTwipsPerInch = 1440.0;

// What a device reports about itself, with the indices its capability queries use.
struct DeviceCaps {
    int logPixelsX = 96;      // 88: pixels per inch across
    int logPixelsY = 96;      // 90: pixels per inch down
    int physicalOffsetX = 0;  // 112: unprintable left strip, device pixels
    int physicalOffsetY = 0;  // 113: unprintable top strip, device pixels
    int Get(int index) const;
};

class DrawingTarget {
public:
    virtual ~DrawingTarget() = default;

    QString FontName = "Times New Roman";
    double FontSize = 12; // points
    bool FontBold = false;
    bool FontItalic = false;
    double CurrentX = 0;
    double CurrentY = 0;

    virtual double TextWidth(const QString& text) = 0;
    virtual double TextHeight(const QString& text) = 0;
    // Draws the text with its top-left corner at CurrentX, CurrentY, then moves to the
    // start of the next line, as a line printer would.
    void Print(const QString& text);
    virtual void Cls() = 0;
    // Printer only: end the page, end the job. A failure throws PrintError 482.
    virtual void NewPage() = 0;
    virtual void EndDoc() = 0;
    // A straight line (drawing option 0), an outlined box (1), or the box with its diagonal
    // (20); the colour is 0x00BBGGRR.
    virtual void Line(int option, double x1, double y1, double x2, double y2, unsigned rgb) = 0;
    virtual DeviceCaps Caps() const = 0;
    // The area ink can reach from the origin, in twips: what the page layout must stay inside.
    virtual QSizeF PrintableSize() const = 0;

protected:
    virtual void DrawText(double x, double y, const QString& text) = 0;
};

} // namespace printing
