#pragma once
// Starts the real main window on a fresh dictionary file and drives it like a user.
#include "common/Modal.h"
#include "common/ProgramFolder.h"
#include "db/Recordset.h"
#include "dictionary/MainWindow.h"
#include "dictionary/WordGrid.h"

#include <QTest>

#include <gtest/gtest.h>

#include <memory>

class Form4Test : public ::testing::Test {
protected:
    ProgramFolder folder;
    std::unique_ptr<MainWindow> w;

    void Start(const ::Rows& pairs) {
        folder.AddPairs(pairs);
        Module1::OpenDictionaryAndReadSettings(folder.app());
        w = std::make_unique<MainWindow>();
        w->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w.get()));
        // Without a window manager (a bare virtual X display) nothing activates a window;
        // such runs only take screenshots.
        if (QGuiApplication::platformName() == "offscreen") {
            QApplication::setActiveWindow(w.get());
            ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
        }
    }
    void TearDown() override { w.reset(); }

    template <class T = QWidget>
    T* Find(const char* name) const {
        T* found = w->findChild<T*>(name);
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    static void Key(QWidget* target, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QTest::keyClick(target, key, mods);
    }
    static void Backspaces(QWidget* target, int n) {
        for (int i = 0; i < n; ++i) Key(target, Qt::Key_Backspace);
    }
    static void MouseOver(QWidget* target) {
        QMouseEvent move(QEvent::MouseMove, QPointF(3, 3), target->mapToGlobal(QPointF(3, 3)), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(target, &move);
    }
    static void Click(QWidget* target, QPoint at = QPoint(4, 4)) { QTest::mouseClick(target, Qt::LeftButton, {}, at); }
    // Clicks a cell of the grid, or double-clicks it.
    void ClickRow(int row, int column = 0, bool twice = false) const {
        const QPoint at(Grid()->columnViewportPosition(column) + 5, Grid()->rowViewportPosition(row) + 3);
        Click(Grid()->viewport(), at);
        if (twice) QTest::mouseDClick(Grid()->viewport(), Qt::LeftButton, {}, at);
    }

    dictionary::WordGrid* Grid() const { return Find<dictionary::WordGrid>("DBGrid1"); }
    QString Cell(int row, int column) const { return Grid()->model()->index(row, column).data().toString(); }
    int Rows() const { return Grid()->model()->rowCount(); }
    QStringList Column(int column) const {
        QStringList out;
        for (int r = 0; r < Rows(); ++r) out << Cell(r, column);
        return out;
    }
    QString Text(const char* box) const { return Find<QLineEdit>(box)->text(); }
    QString Counter() const { return Text("Text1") + "/" + Text("Text3"); } // current row / rows of the list
    QString Source() const { return QString::fromStdString(w->Data1.RecordSource); }

    // Saves what the user would see, for a person to look at; never compared.
    QString Screenshot(const QString& name) const {
        QDir().mkpath(SCREENSHOT_DIR);
        const QString file = QString(SCREENSHOT_DIR) + "/" + name + "-" + QGuiApplication::platformName() + ".png";
        return w->grab().save(file) ? file : QString();
    }
};
