#include "ui/Widgets.h"

#include "ui/Colours.h"
#include "ui/Icons.h"
#include "ui/Twips.h"

#include <QAccessibleWidget>
#include <QDialog>
#include <QFocusEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QValidator>

#include <algorithm>
#include <functional>
#include <optional>

namespace ui {

void SetUpDialog(QDialog* window, const char* name, const QString& title, int widthTwips, int heightTwips) {
    window->setObjectName(name);
    window->setWindowTitle(title);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    window->setFixedSize(Px(widthTwips), Px(heightTwips));
    CentreOnScreen(window);
    ShowFocusAtOnce(window);
}

namespace {
// Qt draws a focus frame only once the window has seen a Tab or a shortcut, and forgets it each
// time the window is shown; the program itself puts the focus on the control Enter acts on, and
// the user must see which it is.
class FocusShown : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) static_cast<QWidget*>(watched)->setAttribute(Qt::WA_KeyboardFocusChange);
        return false;
    }
};
} // namespace

void ShowFocusAtOnce(QWidget* window) {
    window->installEventFilter(new FocusShown(window));
}

QFrame* Outline(QWidget* parent, const char* name, QRect geometry) {
    auto* frame = Put<QFrame>(parent, name, geometry);
    const QColor line = OnBackground(QColor(0, 70, 213), frame->palette().color(QPalette::Window), kPictureContrast);
    frame->setStyleSheet(QString("QFrame#%1 { border: 1px solid rgb(%2, %3, %4); background: transparent; }")
                             .arg(name)
                             .arg(line.red())
                             .arg(line.green())
                             .arg(line.blue()));
    return frame;
}

QToolButton* PictureButton(QWidget* parent, const char* name, const char* icon, QRect geometry) {
    auto* b = new QToolButton(parent);
    b->setObjectName(name);
    b->setIcon(ButtonIcon(icon));
    b->setGeometry(geometry);
    b->setIconSize(geometry.size() - QSize(10, 10));
    b->setFocusPolicy(Qt::TabFocus);
    b->setMouseTracking(true);
    return b;
}

namespace {
// A display box is never a stop of Tab, and a screen reader is not told it takes the focus; a
// click still gives it the focus, which the window's own rule hands on at once.
class ClickFocusOnly : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::MouseButtonPress && event->type() != QEvent::MouseButtonDblClick) return false;
        static_cast<QWidget*>(watched)->setFocus(Qt::MouseFocusReason);
        return true; // nothing to select in a box that hands the focus on
    }
};
} // namespace

namespace {
// Presses the button it watches on the events `presses` picks (true), and lets the others go on.
class ClickOn : public QObject {
public:
    ClickOn(QObject* parent, std::function<std::optional<bool>(QEvent*)> presses) : QObject(parent), presses_(std::move(presses)) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        const std::optional<bool> press = presses_(event);
        if (!press) return false;
        auto* button = static_cast<QAbstractButton*>(watched);
        if (*press && button->isEnabled()) button->click();
        return true;
    }

private:
    std::function<std::optional<bool>(QEvent*)> presses_;
};

// A display box is read as a word or a number of the window, not as a box to type in: its name
// is its caption, or what it counts with the number it shows.
class DisplayText : public QAccessibleWidget {
public:
    explicit DisplayText(QWidget* w) : QAccessibleWidget(w, QAccessible::StaticText) {}
    QString text(QAccessible::Text t) const override {
        const QString shown = static_cast<QLineEdit*>(widget())->text();
        if (t == QAccessible::Value) return shown;
        if (t != QAccessible::Name) return QAccessibleWidget::text(t);
        const QString name = widget()->accessibleName();
        if (name.isEmpty() || name == shown) return shown;
        return shown.isEmpty() ? name : name + ": " + shown;
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = true;
        s.editable = false;
        return s;
    }
};

QAccessibleInterface* DisplayTextFactory(const QString&, QObject* object) {
    auto* box = qobject_cast<QLineEdit*>(object);
    return box && box->property("vokabisDisplayBox").toBool() ? new DisplayText(box) : nullptr;
}
} // namespace

void GiveShortcut(QToolButton* button, const QKeySequence& key) {
    button->setShortcut(key);
    button->installEventFilter(new ClickOn(button, [](QEvent* e) -> std::optional<bool> {
        if (e->type() != QEvent::Shortcut) return std::nullopt;
        return true;
    }));
}

QLineEdit* DisplayBox(QWidget* parent, const char* name, QRect geometry, const QString& text) {
    static const bool factory = (QAccessible::installFactory(DisplayTextFactory), true);
    (void)factory;
    auto* t = new QLineEdit(text, parent);
    t->setProperty("vokabisDisplayBox", true);
    t->setObjectName(name);
    t->setGeometry(geometry);
    t->setReadOnly(true);
    t->setFocusPolicy(Qt::NoFocus);
    t->installEventFilter(new ClickFocusOnly(t));
    t->setAlignment(Qt::AlignCenter);
    QPalette pal = t->palette();
    pal.setColor(QPalette::Base, pal.color(QPalette::Button));
    t->setPalette(pal);
    return t;
}

QLineEdit* HeadingBox(QWidget* parent, const char* name, const QString& text, QRect geometry, int maxWidth) {
    QLineEdit* t = DisplayBox(parent, name, geometry, text);
    t->setFrame(false);
    t->setAccessibleName(text);         // a caption, not a value to edit
    QPalette pal = t->palette();
    pal.setColor(QPalette::Text, OnBackground(QColor(0, 70, 213), pal.color(QPalette::Base), kTextContrast));
    t->setPalette(pal);
    const int need = t->fontMetrics().horizontalAdvance(text) + 12;
    t->resize(std::clamp(need, geometry.width(), std::max(geometry.width(), maxWidth)), geometry.height());
    return t;
}

void PutCounterRow(QWidget* parent, int left, int top, const CounterRow& row) {
    row.first = PictureButton(parent, "cmdFirst", "first", Twips(left, top, 495, 375));
    row.previous = PictureButton(parent, "CmdPrevious", "previous", Twips(left + 495, top, 495, 375));
    row.current = DisplayBox(parent, "Text1", Twips(left + 1125, top + 90, 855, 255));
    row.of = DisplayBox(parent, "Text2", Twips(left + 2040, top + 90, 375, 255), "od");
    row.count = DisplayBox(parent, "Text3", Twips(left + 2520, top + 90, 855, 255));
    row.next = PictureButton(parent, "cmdNext", "next", Twips(left + 3540, top, 495, 375));
    row.last = PictureButton(parent, "cmdLast", "last", Twips(left + 4035, top, 540, 375));
    row.of->setAccessibleName("od");
}

void TabOrder(std::initializer_list<QWidget*> controls) {
    for (auto it = controls.begin(); it + 1 < controls.end(); ++it) QWidget::setTabOrder(*it, *(it + 1));
}

void EnterPressesFocusedButton(QWidget* window) {
    auto* filter = new ClickOn(window, [](QEvent* e) -> std::optional<bool> {
        if (e->type() != QEvent::KeyPress) return std::nullopt;
        const auto* key = static_cast<QKeyEvent*>(e);
        if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) || (key->modifiers() & ~Qt::KeypadModifier))
            return std::nullopt;
        return !key->isAutoRepeat(); // held down, it presses once
    });
    for (QAbstractButton* b : window->findChildren<QAbstractButton*>()) {
        // Option buttons and check boxes pass Enter on to the window, which has no default to press.
        if (!qobject_cast<QPushButton*>(b) && !qobject_cast<QToolButton*>(b)) continue;
        b->installEventFilter(filter);
        if (auto* push = qobject_cast<QPushButton*>(b); push && !push->isDefault()) push->setAutoDefault(false);
    }
}

namespace {
// Whether Tab or Shift+Tab would stop at c in window, as Qt decides it.
bool TabStop(QWidget* c, QWidget* window) {
    return c->window() == window && c->isVisible() && c->isEnabled() && (c->focusPolicy() & Qt::TabFocus) &&
           !c->focusProxy();
}

class BacktabPast : public QObject {
public:
    BacktabPast(QWidget* target, QWidget* box) : QObject(target), target_(target), box_(box) {}
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool backtab = key->key() == Qt::Key_Backtab || (key->key() == Qt::Key_Tab && (key->modifiers() & Qt::ShiftModifier));
        if (!backtab || (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) return false;
        QWidget* window = target_->window();
        auto previous = [&](QWidget* from) {
            QWidget* c = from->previousInFocusChain();
            while (c != target_ && !TabStop(c, window)) c = c->previousInFocusChain();
            return c;
        };
        QWidget* reached = previous(target_);
        if (reached != box_) return false;
        previous(reached)->setFocus(Qt::BacktabFocusReason);
        return true;
    }

private:
    QWidget *target_, *box_;
};
} // namespace

void BacktabPasses(QWidget* target, QWidget* box) {
    target->installEventFilter(new BacktabPast(target, box));
}

void SelectWholeTextOnFocus(QLineEdit* box) {
    QTimer::singleShot(0, box, [box] {
        if (box->hasFocus()) box->selectAll(); // any length: a very long term must not overflow a count
    });
}

namespace {
bool BreaksLine(QChar c) {
    const auto kind = c.category();
    return kind == QChar::Other_Control || kind == QChar::Separator_Line || kind == QChar::Separator_Paragraph;
}

class OneLine : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& text, int& cursor) const override {
        if (std::none_of(text.cbegin(), text.cend(), BreaksLine))
            return Acceptable; // what is typed; the box's text stays exactly as it is
        QString out;
        int outCursor = 0;
        for (int i = 0; i < text.size();) {
            int end = i;
            while (end < text.size() && BreaksLine(text[end])) ++end;
            if (end == i) out += text[end++];
            else if (i > 0 && end < text.size()) out += u' '; // a run inside the text, never at an end
            if (cursor >= end) outCursor = int(out.size());
            i = end;
        }
        text = out;
        cursor = outCursor;
        return Acceptable;
    }
};
} // namespace

void KeepOnOneLine(QLineEdit* box) {
    box->setValidator(new OneLine(box));
}

void FocusOnLeaving(const QEvent* focusOut, QWidget* window, QWidget* target) {
    const auto reason = static_cast<const QFocusEvent*>(focusOut)->reason();
    if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || reason == Qt::MouseFocusReason ||
        reason == Qt::ShortcutFocusReason || reason == Qt::OtherFocusReason)
        QMetaObject::invokeMethod(target, [window, target] { if (window->isVisible()) target->setFocus(); }, Qt::QueuedConnection);
}

void CentreOnScreen(QWidget* window) {
    QWidget* parent = window->parentWidget() ? window->parentWidget()->window() : nullptr;
    QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    // The frame is not known before the window is shown; the parent's frame is the best guess
    // of the one the window manager will add.
    QSize frame(0, 0);
    if (parent && parent->isVisible()) frame = parent->frameGeometry().size() - parent->size();
    const QSize outer = window->size() + frame;
    const QRect area = screen->availableGeometry();
    // Moving the window also tells a dialog not to place itself over its parent when shown.
    // A window larger than the screen keeps its title bar on it, where it can still be moved.
    window->move(area.x() + std::max(0, (area.width() - outer.width()) / 2),
                 area.y() + std::max(0, (area.height() - outer.height()) / 2));
}

} // namespace ui
