#pragma once
// The printer the run prints on, chosen among the installed ones, and what it reports about
// its own geometry.
#include "printing/DrawingTarget.h"

#include <QStringList>

#include <cstdint>
#include <functional>

namespace printing {

// The last measurement of the current printer, in its own pixels.
struct PrinterGeometryRecord {
    int32_t PixelsPerInchX = 0, PixelsPerInchY = 0, UnprintableLeft = 0, UnprintableTop = 0;
};
inline PrinterGeometryRecord PrinterGeometry;

// Where the installed printers and the current printer's capabilities come from; tests put
// a fake printer list or a fake device here.
inline std::function<QStringList()> InstalledPrinters;
inline std::function<DeviceCaps()> CurrentPrinterCaps;
QStringList SystemPrinters();
DeviceCaps SystemPrinterCaps();

void MeasurePrinter();
// Makes the first printer with exactly that name the current one; true when none has it.
bool SelectPrinter(const QString& name);
inline QString ChosenPrinter; // the name last chosen, empty for the system's default

// An unprintable strip of the printer in millimetres (1440 / 56.7 mm an inch), or false when
// the printer's numbers cannot be turned into millimetres.
bool StripInMm(int32_t pixels, int32_t pixelsPerInch, double* mm);

} // namespace printing
