#pragma once
// A keystroke in a search box as the user makes it: a letter, or an empty text for clearing
// the box (all selected, then Backspace).
#include <QLineEdit>
#include <QTest>

namespace bench {

inline void TypeInto(QLineEdit* box, const QString& ch) {
    if (ch.isEmpty()) {
        box->selectAll();
        QTest::keyClick(box, Qt::Key_Backspace);
    } else {
        QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, ch, Qt::NoModifier);
    }
}

} // namespace bench
