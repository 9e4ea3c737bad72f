#include "ui/Colours.h"

#include <QGuiApplication>

#include <algorithm>
#include <cmath>

namespace ui {
namespace {
double Luminance(const QColor& c) {
    auto channel = [](int v) {
        const double s = v / 255.0;
        return s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.red()) + 0.7152 * channel(c.green()) + 0.0722 * channel(c.blue());
}
} // namespace

double Contrast(const QColor& a, const QColor& b) {
    const double x = Luminance(a), y = Luminance(b);
    return (std::max(x, y) + 0.05) / (std::min(x, y) + 0.05);
}

bool IsDark(const QPalette& palette) { return palette.color(QPalette::Window).lightness() < 128; }

QColor OnBackground(const QColor& colour, const QColor& background, double least) {
    if (!IsDark(QGuiApplication::palette())) return colour;
    const QColor hsl = colour.toHsl();
    for (int l = hsl.lightness(); l <= 255; ++l) {
        const QColor lighter = QColor::fromHsl(hsl.hslHue(), hsl.hslSaturation(), l, colour.alpha()).toRgb();
        if (Contrast(lighter, background) >= least) return lighter;
    }
    return QColor(255, 255, 255, colour.alpha());
}

} // namespace ui
