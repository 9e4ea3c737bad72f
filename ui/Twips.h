#pragma once
#include <QRect>

namespace ui {

// Windows are laid out in twips; 15 of them make a pixel at 96 dpi, and Qt scales pixels
// for high-dpi screens itself.
inline int Px(int twips) { return (twips + 7) / 15; }
inline QRect Twips(int left, int top, int width, int height) { return {Px(left), Px(top), Px(width), Px(height)}; }

} // namespace ui
