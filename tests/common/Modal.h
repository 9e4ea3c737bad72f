#pragma once
// Driving modal windows from a test: the window's own event loop runs the steps.
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <functional>

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

struct SeenBox {
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons{};
    QString defaultButton{};
    int count = 0;
};
// Answers the next message box with the button of that text and tells what it said.
inline void AnswerBox(SeenBox* seen, const QString& answer = "U redu") {
    OnNextModal<QMessageBox>([seen, answer](QMessageBox* box) {
        seen->title = box->windowTitle();
        seen->text = box->text();
        seen->icon = box->icon();
        seen->buttons.clear();
        for (QAbstractButton* b : box->buttons()) seen->buttons << b->text();
        seen->defaultButton = box->defaultButton() ? box->defaultButton()->text() : QString();
        ++seen->count;
        for (QAbstractButton* b : box->buttons())
            if (b->text() == answer) return b->click();
        box->close();
    });
}


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
            if (auto* box = qobject_cast<QMessageBox*>(d)) last = {box->windowTitle(), box->text(), box->icon()};
            QTimer::singleShot(0, d, [d] { d->reject(); });
        }
        return false;
    }
};
