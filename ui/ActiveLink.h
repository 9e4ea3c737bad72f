#pragma once
#include <QString>

namespace ui {

// Holds the address of the help page and opens it in the user's browser on request.
struct ActiveLink {
    QString Address;
    bool Open() const; // false when no program would open it
};

} // namespace ui
