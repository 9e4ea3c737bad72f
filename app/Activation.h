#pragma once
#include <QString>

class QWidget;

// Brings a window that is already shown to the front with the keyboard focus, on behalf of a
// later start of the program: with that start's activation token (Wayland) or startup id (X11),
// which window managers that prevent focus theft ask for, and which end the launcher's busy
// feedback for the start.
void BringToFront(QWidget* window, const QString& startupId, const QString& activationToken, quint32 launchTime);
// X11: the time of a start, which the window manager weighs against the user's last input in the
// window that has the focus: the "_TIME<n>" of the launcher's startup id, else the X server's
// time now (a start without one was launched a moment ago). 0 elsewhere.
quint32 LaunchTime(const QString& startupId);
