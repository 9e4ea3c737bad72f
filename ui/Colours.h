#pragma once
// The program's own colours (the blue headings and frames, the navy labels and pictures, the
// red warning) were chosen for a light window. On a dark desktop theme they are lightened,
// keeping their hue, until they stand out from what they are drawn on.
#include <QColor>
#include <QPalette>

namespace ui {

// The contrast of two colours as WCAG 2 reckons it, from 1 (none) to 21 (black on white).
double Contrast(const QColor& a, const QColor& b);
// A palette whose windows are darker than middle grey.
bool IsDark(const QPalette& palette);
// The least contrast of a text against its background, and of a picture or a frame.
inline constexpr double kTextContrast = 4.5, kPictureContrast = 3.0;
// colour as it is drawn on background under the application's palette: exactly colour on a
// light palette; on a dark one, colour made lighter (same hue) until it has least contrast.
QColor OnBackground(const QColor& colour, const QColor& background, double least);

} // namespace ui
