#pragma once
// Driving modal windows from a test: the window's own event loop runs the steps.
#include <QTest>
#include <QtWidgets>

#include <functional>
#include <ostream>
#include <vector>

// Runs f on the next modal window of type T (any window by default) once it is up; f must
// close it. Waits while some other modal window is on top.
template <class T = QWidget>
void OnNextModal(std::function<void(T*)> f, int tries = 300) {
    QTimer::singleShot(5, [f, tries] {
        QWidget* m = QApplication::activeModalWidget();
        if (auto* t = qobject_cast<T*>(m); t && m->isVisible()) f(t);
        else if (tries > 0) OnNextModal<T>(f, tries - 1);
    });
}
inline void OnNextModal(std::function<void(QWidget*)> f, int tries = 300) { OnNextModal<QWidget>(f, tries); }

// Types text one character at a time, as a person does (any letter, č and ž included).
inline void Type(QWidget* target, const QString& text) {
    for (QChar ch : text) QTest::sendKeyEvent(QTest::Click, target, Qt::Key_unknown, QString(ch), Qt::NoModifier);
}

struct SeenBox {
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons{};
    QString defaultButton{};
    int count = 0;
};
// Answers the next message boxes in turn, each with the button of its text, telling what each said.
inline void AnswerBoxes(std::vector<std::pair<SeenBox*, QString>> boxes) {
    if (boxes.empty()) return;
    const auto [seen, answer] = boxes.front();
    boxes.erase(boxes.begin());
    OnNextModal<QMessageBox>([seen, answer, boxes](QMessageBox* box) {
        seen->title = box->windowTitle();
        seen->text = box->text();
        seen->icon = box->icon();
        seen->buttons.clear();
        for (QAbstractButton* b : box->buttons()) seen->buttons << b->text();
        seen->defaultButton = box->defaultButton() ? box->defaultButton()->text() : QString();
        ++seen->count;
        AnswerBoxes(boxes); // waits while this one is on top
        for (QAbstractButton* b : box->buttons())
            if (b->text() == answer) return b->click();
        box->close();
    });
}
inline void AnswerBox(SeenBox* seen, const QString& answer = "U redu") { AnswerBoxes({{seen, answer}}); }

// While it lives, every dialog that opens (message boxes included) is answered at once with
// its escape button, and counted; for tests that cannot know whether a box will come.
class AutoAnswer : public QObject {
public:
    int boxes = 0, dialogs = 0;
    SeenBox last; // what the last message box said
    AutoAnswer() { qApp->installEventFilter(this); }
    ~AutoAnswer() override { qApp->removeEventFilter(this); }
    bool eventFilter(QObject* o, QEvent* e) override {
        if (auto* d = qobject_cast<QDialog*>(o); d && e->type() == QEvent::Show) {
            ++(qobject_cast<QMessageBox*>(d) ? boxes : dialogs);
            if (auto* box = qobject_cast<QMessageBox*>(d)) last = {box->windowTitle(), box->text(), box->icon(), {}, {}, 0};
            QTimer::singleShot(0, d, [d] { d->reject(); });
        }
        return false;
    }
};

// The controls of a window a screen reader would announce without a name.
inline QStringList UnnamedControls(QWidget* window) {
    QStringList out;
    for (QWidget* c : window->findChildren<QWidget*>()) {
        const bool control = qobject_cast<QAbstractButton*>(c) || qobject_cast<QLineEdit*>(c) ||
                             qobject_cast<QAbstractItemView*>(c) || qobject_cast<QComboBox*>(c) ||
                             (qobject_cast<QLabel*>(c) && c->objectName() == "Picture1");
        if (control && !c->objectName().isEmpty() && !c->objectName().startsWith("qt_") &&
            QAccessible::queryAccessibleInterface(c)->text(QAccessible::Name).trimmed().isEmpty())
            out << c->objectName();
    }
    return out;
}

// Test failures show texts as text.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

// The controls Tab (Shift+Tab when backwards) reaches from start, by name, until the focus comes
// back to start; a walk that never comes back stops after 40 steps.
inline QStringList TabRing(QWidget* start, bool backwards = false) {
    start->setFocus(Qt::OtherFocusReason);
    QApplication::processEvents();
    QStringList reached;
    for (int i = 0; i < 40; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, backwards ? Qt::ShiftModifier : Qt::NoModifier);
        QApplication::processEvents(); // the rules that hand the focus on do it once the key is done
        QWidget* at = QApplication::focusWidget();
        if (!at || at == start) break;
        reached << at->objectName();
    }
    return reached;
}

// Whether the control, which has the focus, looks different without it: the focus is seen.
inline bool ShowsItsFocus(QWidget* control) {
    if (!control->hasFocus()) return false;
    const QImage focused = control->grab().toImage();
    control->clearFocus();
    const QImage plain = control->grab().toImage();
    control->setFocus();
    return focused != plain;
}
