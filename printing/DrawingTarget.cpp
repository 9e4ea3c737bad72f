#include "printing/DrawingTarget.h"

namespace printing {

int DeviceCaps::Get(int index) const {
    switch (index) {
    case 88: return logPixelsX;
    case 90: return logPixelsY;
    case 112: return physicalOffsetX;
    case 113: return physicalOffsetY;
    default: return 0;
    }
}

void DrawingTarget::Print(const QString& text) {
    DrawText(CurrentX, CurrentY, text);
    const double h = TextHeight(text);
    CurrentX = 0;
    CurrentY += h;
}

} // namespace printing
