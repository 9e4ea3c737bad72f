#include "printing/PrinterTools.h"

#include "printing/QtTargets.h"

#include <QPageLayout>
#include <QPrinter>
#include <QPrinterInfo>

#include <limits>

namespace printing {

QStringList SystemPrinters() { return QPrinterInfo::availablePrinterNames(); }

DeviceCaps SystemPrinterCaps() {
    QPrinter& p = AppPrinter();
    const int dpi = p.resolution();
    QPageLayout layout = p.pageLayout();
    layout.setUnits(QPageLayout::Point);
    const QMarginsF m = layout.minimumMargins(); // the strips the printer cannot reach
    return {dpi, dpi, int(m.left() * dpi / 72.0 + 0.5), int(m.top() * dpi / 72.0 + 0.5)};
}

void MeasurePrinter() {
    const DeviceCaps caps = CurrentPrinterCaps ? CurrentPrinterCaps() : SystemPrinterCaps();
    PrinterGeometry.PixelsPerInchX = caps.Get(88);
    PrinterGeometry.PixelsPerInchY = caps.Get(90);
    PrinterGeometry.UnprintableLeft = caps.Get(112);
    PrinterGeometry.UnprintableTop = caps.Get(113);
}

bool SelectPrinter(const QString& name) {
    const QStringList printers = InstalledPrinters ? InstalledPrinters() : SystemPrinters();
    for (const QString& p : printers) {
        if (p != name) continue;
        if (!InstalledPrinters) AppPrinter().setPrinterName(p);
        ChosenPrinter = p;
        return false;
    }
    return true;
}

bool StripInMm(int32_t pixels, int32_t pixelsPerInch, double* mm) {
    // Both products are 32-bit integers, as the measurement has always been made.
    const int64_t twipsTimes10 = int64_t(pixels) * 14400, per = int64_t(pixelsPerInch) * 567;
    constexpr int64_t lo = std::numeric_limits<int32_t>::min(), hi = std::numeric_limits<int32_t>::max();
    if (per == 0 || twipsTimes10 < lo || twipsTimes10 > hi || per < lo || per > hi) return false;
    *mm = double(twipsTimes10) / double(per);
    return true;
}

} // namespace printing
