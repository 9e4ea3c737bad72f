#pragma once
// Driving modal windows from a test: the window's own event loop runs the steps.
#include <QTest>
#include <QtWidgets>

#include <algorithm>
#include <cmath>
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

// The contrast of two colours as WCAG 2 reckons it, 1 to 21.
inline double Contrast(QColor a, QColor b) {
    auto luminance = [](QColor c) {
        auto channel = [](int v) {
            const double s = v / 255.0;
            return s <= 0.04045 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(c.red()) + 0.7152 * channel(c.green()) + 0.0722 * channel(c.blue());
    };
    const double x = luminance(a), y = luminance(b);
    return (std::max(x, y) + 0.05) / (std::min(x, y) + 0.05);
}

// The colour most of a picture's opaque pixels have.
inline QColor Dominant(const QImage& picture) {
    const QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    QHash<QRgb, int> count;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (const QRgb p = image.pixel(x, y); qAlpha(p) == 255) ++count[p];
    QRgb most = 0;
    for (auto it = count.cbegin(); it != count.cend(); ++it)
        if (!count.contains(most) || it.value() > count[most]) most = it.key();
    return QColor(most);
}

// The texts of a window below 4.5:1 against what they are drawn on and, with pictures, the
// picture buttons whose picture is below 3:1 against the button, each with its contrast.
inline QStringList TooFaint(QWidget* window, bool pictures = true) {
    QStringList out;
    for (QWidget* c : window->findChildren<QWidget*>()) {
        if (!c->isEnabled()) continue; // a control that cannot be used is shown faint on purpose
        c->ensurePolished();
        const QPalette& p = c->palette();
        double ratio = 0, least = 4.5;
        if (auto* b = qobject_cast<QToolButton*>(c); b && !b->icon().isNull()) {
            if (!pictures) continue;
            ratio = Contrast(Dominant(b->icon().pixmap(b->iconSize()).toImage()), p.color(QPalette::Button));
            least = 3;
        } else if (qobject_cast<QLineEdit*>(c)) {
            ratio = Contrast(p.color(QPalette::Text), p.color(QPalette::Base));
        } else if (auto* l = qobject_cast<QLabel*>(c); l && !l->pixmap().isNull()) {
            continue; // a picture of a page, drawn in the page's own colours
        } else if (qobject_cast<QLabel*>(c) || qobject_cast<QRadioButton*>(c) || qobject_cast<QCheckBox*>(c)) {
            ratio = Contrast(p.color(QPalette::WindowText), p.color(QPalette::Window));
        } else {
            continue;
        }
        if (ratio < least) out << QString("%1 %2:1").arg(c->objectName()).arg(ratio, 0, 'f', 2);
    }
    return out;
}

// While it lives, the application has a dark palette, as a dark desktop theme gives it.
struct DarkPalette {
    QPalette light = QApplication::palette();
    DarkPalette() {
        QPalette dark(QColor(53, 53, 53), QColor(53, 53, 53)); // buttons and windows
        for (auto role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text}) dark.setColor(role, Qt::white);
        dark.setColor(QPalette::Base, QColor(35, 35, 35));
        dark.setColor(QPalette::Highlight, QColor(42, 130, 218));
        QApplication::setPalette(dark);
    }
    ~DarkPalette() { QApplication::setPalette(light); }
};
