#pragma once
// The kinds of control every window of the program is made of, built one way everywhere.
#include <QRect>
#include <QString>

class QEvent;
class QLineEdit;
class QToolButton;
class QWidget;

namespace dictionary {

// A button that shows a picture and no caption; reachable with Tab, not taking the focus on a click.
QToolButton* PictureButton(QWidget* parent, const char* name, const char* icon, QRect geometry);
// A read-only box with centred text on the button-face colour (counters, page numbers).
QLineEdit* DisplayBox(QWidget* parent, const char* name, QRect geometry, const QString& text = {});
// A group's caption on its frame's top edge: as wide as its text needs, up to maxWidth.
QLineEdit* HeadingBox(QWidget* parent, const char* name, const QString& text, QRect geometry, int maxWidth);

// For every window, once its buttons are built: Enter on a focused push or picture button
// presses that button, and no push button becomes the window's default by itself, so Enter
// anywhere else never presses a button the user did not choose. A button made the default
// by name before the call stays the default.
void EnterPressesFocusedButton(QWidget* window);

// Selects the whole text of a box that has just got the focus, after the click that brought
// the focus has placed the caret.
void SelectWholeTextOnFocus(QLineEdit* box);
// For a box's FocusOut event: when the user left it (Tab, Shift+Tab, a click), the focus goes
// on to target; a message box or another window taking it for a moment does not count.
void FocusOnLeaving(const QEvent* focusOut, QWidget* window, QWidget* target);

// Places a window, frame included, in the middle of the screen its parent is on (or the
// primary one), rather than over its parent; call it once its size is fixed.
void CentreOnScreen(QWidget* window);

} // namespace dictionary
