#pragma once
// The printed page: one routine that draws a numbered page of the main list on any drawing
// target, the preview picture and the printer alike, in the geometry of the settings.
#include "printing/DrawingTarget.h"

#include <QString>

#include <cstdint>

namespace db {
class Recordset;
}
namespace Module1 {
struct SettingsRecord;
}

namespace printing {

constexpr double kTwipsPerCm = 567.0;

// Places text with its bottom edge at y (cm on the sheet), centred between x1 and x2, or with
// its left edge at x; the sheet is mapped by the shifts and margins of the settings.
void PrintCentred(DrawingTarget& target, const Module1::SettingsRecord& settings, double x1, double x2, double y,
                  const QString& text);
void PrintAt(DrawingTarget& target, const Module1::SettingsRecord& settings, double x, double y, const QString& text);

// How the rows of the fullest page sit on the printable area.
struct PageFit {
    int32_t rows = 0;                   // rows the fullest page draws
    int32_t firstLost = 0, lastLost = 0; // the first and last row, 1-based, off the printable area
    int32_t lost = 0;                   // how many rows are off it
    bool overlap = false;               // the font is taller than the half centimetre a row gets
    bool offSide = false;               // a column starts off the sheet, or too near its right edge
    int16_t fontSize = 0;               // of the rows, for the warning
    int32_t Lost() const { return lost; }
    QString Summary() const; // a few words for the preview's strip; empty when every row prints whole
    QString Warning() const; // what is lost and what to change, in full sentences
};

// Room left between a term of the left column and the right column.
constexpr double kColumnGapCm = 0.25;
// The text, cut at its end with "…" when wider than room twips on the target.
QString Elided(DrawingTarget& target, const QString& text, double room);

// The pages of one list, counted once when the preview opens. Each call is given the settings
// it works with: the windows pass the program's Settings.
struct PageLayout {
    int32_t RowsPerPage = 0;
    int32_t ColumnsPerPage = 1;
    int32_t PairTotal = 0;
    int32_t PageCount = 0;

    // Takes RowsPerPage from the settings. Throws PrintError with a Croatian message when
    // the settings cannot make a page (fewer than one row per page, a font size no target takes).
    void CountPages(const db::Recordset& list, const Module1::SettingsRecord& settings, int32_t columns);
    // Reads the rows afresh from a clone of the list: the list's own cursor never moves.
    // A term wider than its column is cut with "…": a row keeps its one line and its place.
    void DrawPage(DrawingTarget& target, const Module1::SettingsRecord& settings, const db::Recordset& list,
                  int32_t page) const;
    // Measures with the target's fonts against a printable area in twips.
    PageFit CheckFit(DrawingTarget& target, const Module1::SettingsRecord& settings, QSizeF printable) const;
};

// The target the page layout draws on: the preview's picture or the printer.
inline DrawingTarget* PrintTarget = nullptr;

// The header's text, and the check of the settings that counting and drawing make first.
inline const char* const kHeader = "Englesko-hrvatski vokabis";
constexpr int kMaxFontSize = 1638; // the largest point size a target is asked to take
void CheckPrintSettings(const Module1::SettingsRecord& settings); // throws PrintError when they cannot print

} // namespace printing
