#pragma once
#include <QGuiApplication>

namespace ui {

// The wait cursor for as long as it lives: it goes again however the work ends, a thrown
// failure included, before any message about it is shown.
class WaitCursor {
public:
    WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QGuiApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

} // namespace ui
