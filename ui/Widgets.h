#pragma once
// The kinds of control every window of the program is made of, built one way everywhere.
#include <QRect>
#include <QString>

#include <initializer_list>
#include <type_traits>

class QDialog;
class QKeySequence;
class QEvent;
class QFrame;
class QLineEdit;
class QToolButton;
class QWidget;

namespace ui {

// The frame of a window of the program over its parent: its object name and caption, a fixed
// size in twips, a title bar with only the close button; it is deleted when it closes and
// stands in the middle of the screen.
void SetUpDialog(QDialog* window, const char* name, const QString& title, int widthTwips, int heightTwips);

// A control of kind W named `name` at `geometry`, with its caption when it takes one.
template <class W>
W* Put(QWidget* parent, const char* name, QRect geometry, const char* text = nullptr) {
    W* w = nullptr;
    if constexpr (std::is_constructible_v<W, QString, QWidget*>) w = text ? new W(QString::fromUtf8(text), parent) : new W(parent);
    else w = new W(parent);
    w->setObjectName(name);
    w->setGeometry(geometry);
    return w;
}

// The thin blue rectangle that frames a group of controls.
QFrame* Outline(QWidget* parent, const char* name, QRect geometry);

// A button that shows a picture and no caption; reachable with Tab, not taking the focus on a click.
QToolButton* PictureButton(QWidget* parent, const char* name, const char* icon, QRect geometry);
// A read-only box with centred text on the button-face colour (counters, page numbers); Tab
// passes over it, a click gives it the focus for the window's rule to hand on.
QLineEdit* DisplayBox(QWidget* parent, const char* name, QRect geometry, const QString& text = {});
// A group's caption on its frame's top edge: as wide as its text needs, up to maxWidth.
QLineEdit* HeadingBox(QWidget* parent, const char* name, const QString& text, QRect geometry, int maxWidth);

// The row that moves through a list and counts it: first, previous, "n od count", next, last.
// Its controls are named cmdFirst, CmdPrevious, Text1, Text2, Text3, cmdNext, cmdLast.
struct CounterRow {
    QToolButton *&first, *&previous;
    QLineEdit *&current, *&of, *&count;
    QToolButton *&next, *&last;
};
// Builds the row with its top-left corner at (left, top) in twips into the given members.
void PutCounterRow(QWidget* parent, int left, int top, const CounterRow& row);

// key presses button at once (not after the pressed look a button's own shortcut waits for), and
// is the button's own, so a screen reader reports it as the button's key.
void GiveShortcut(QToolButton* button, const QKeySequence& key);

// Tab visits the controls in this order.
void TabOrder(std::initializer_list<QWidget*> controls);
// Where leaving box always sends the focus to target, Shift+Tab from target passes over box to
// the control before it, rather than into a box it could only leave back to target.
void BacktabPasses(QWidget* target, QWidget* box);
// The focus frame is drawn from the moment a control of the window gets the focus, whoever
// put it there; SetUpDialog does it for the dialogs.
void ShowFocusAtOnce(QWidget* window);

// For every window, once its buttons are built: Enter on a focused push or picture button
// presses that button, and no push button becomes the window's default by itself, so Enter
// anywhere else never presses a button the user did not choose. A button made the default
// by name before the call stays the default.
void EnterPressesFocusedButton(QWidget* window);

// Selects the whole text of a box that has just got the focus, after the click that brought
// the focus has placed the caret.
void SelectWholeTextOnFocus(QLineEdit* box);
// A term is one line: text the box gets (pasted, dropped, or a stored term shown for a change)
// loses the line breaks at its ends, and a tab or line break inside it becomes one space, as
// the box shows it.
void KeepOnOneLine(QLineEdit* box);
// For a box's FocusOut event: when the user left it (Tab, Shift+Tab, a click), the focus goes
// on to target; a message box or another window taking it for a moment does not count.
void FocusOnLeaving(const QEvent* focusOut, QWidget* window, QWidget* target);

// Places a window, frame included, in the middle of the screen its parent is on (or the
// primary one), rather than over its parent; call it once its size is fixed.
void CentreOnScreen(QWidget* window);

} // namespace ui
