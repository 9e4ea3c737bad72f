#pragma once
#include <QString>

class MainWindow;

// The program's entry: opens the dictionary of the program folder, reads the settings and
// shows the main window. When any of it fails the user gets one error box, nothing has
// been written, no window stays open, and the result is null.
MainWindow* StartUp(const QString& appPath);

struct LookUpRequest;
// Shows a look-up asked for on the command line, by this start or a later one, and brings the
// window to the front with the keyboard focus. The selection is read here, when it is shown.
void ShowLookUp(MainWindow* window, const LookUpRequest& request);
