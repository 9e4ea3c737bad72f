#pragma once
// The printed page: one routine that draws a numbered page of the main list on any drawing
// target, the preview picture and the printer alike, in the geometry of the settings.
#include "printing/DrawingTarget.h"

#include <QString>

#include <cstdint>

namespace db {
class Recordset;
}

namespace printing {

constexpr double kTwipsPerCm = 567.0;

// Places text with its bottom edge at y (cm on the sheet), centred between x1 and x2, or with
// its left edge at x; the sheet is mapped by the shifts and margins of the settings.
void PrintCentred(DrawingTarget& target, double x1, double x2, double y, const QString& text);
void PrintAt(DrawingTarget& target, double x, double y, const QString& text);

// The pages of one list, counted once when the preview opens.
struct PageLayout {
    int32_t RowsPerPage = 0;
    int32_t ColumnsPerPage = 1;
    int32_t PairTotal = 0;
    int32_t PageCount = 0;

    // Throws db::EngineError with a Croatian message when the settings cannot make a page
    // (fewer than one row per page, a font size no target takes).
    void CountPages(const db::Recordset& list, int16_t rows, int32_t columns);
    // Reads the rows afresh from a clone of the list: the list's own cursor never moves.
    void DrawPage(DrawingTarget& target, const db::Recordset& list, int32_t page) const;
};

// The target the page layout draws on: the preview's picture or the printer.
inline DrawingTarget* PrintTarget = nullptr;

// The header's text and the checks of the font sizes, shared with the settings window.
inline const char* const kHeader = "Englesko-hrvatski vokabis";
constexpr int kMaxFontSize = 1638; // the largest point size a target is asked to take
void CheckPrintSettings();          // throws db::EngineError when the settings cannot print

} // namespace printing
