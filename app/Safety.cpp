#include "app/Safety.h"

#include "core/Module1.h"
#include "db/Counts.h"
#include "db/Sqlite.h"
#include "dictionary/MainWindow.h"
#include "ui/MsgBox.h"

#include <QApplication>
#include <QDir>
#include <QTimer>
#include <QWidget>

#include <mutex>
#include <thread>

namespace {

struct Check {
    std::thread thread;
    std::mutex mutex;
    sqlite3* running = nullptr; // the check's connection while it works
    bool stopped = false;
    void Stop() {
        {
            std::lock_guard lock(mutex);
            stopped = true;
            if (running) sqlite3_interrupt(running);
        }
        if (thread.joinable()) thread.join();
    }
    ~Check() { Stop(); } // a run that ends without quitting the event loop waits here
};
Check check;

void TellDamage(const std::string&, const std::string& message) {
    // Whatever thread met the damage, nothing more is written from now on.
    db::RefuseWrites("Datoteka rječnika je oštećena.");
    if (!qApp) return;
    QMetaObject::invokeMethod(
        qApp,
        [text = QString::fromUtf8(message.c_str())] {
            ui::MsgBox(QApplication::activeWindow(), text + "\n\nDo kraja rada rječnik se samo čita: parovi se ne mogu dodavati, "
                                                 "mijenjati ni brisati.",
                               "Pogreška", 16);
        },
        Qt::QueuedConnection);
}

// The stored counts were found wrong (something wrote the file past its triggers): the lists
// already count their own rows; the file gets its counts again, and the list on screen runs
// again, so no pair stays left out of it.
void RecountAndShowAgain() {
    if (!Module1::DictDb || !db::WritesRefusedReason().empty()) return;
    try {
        db::RecountPairs(Module1::DictDb->handle());
    } catch (const db::EngineError&) {
        // Counted from the pairs for the rest of this run; the next run tries again.
    }
    if (QApplication::activeModalWidget()) return; // an open dialog keeps the list it works on
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* form4 = qobject_cast<MainWindow*>(w)) form4->RunListAgain();
}

// A whole-file check on a connection of its own, off the user's thread.
void CheckWholeFile(std::string path, std::string key) {
    try {
        db::Database d(path, key, db::Connection::Options{false, true, false});
        {
            std::lock_guard lock(check.mutex);
            if (check.stopped) return;
            check.running = d.handle();
        }
        std::string verdict;
        {
            db::Statement s(d.handle(), "PRAGMA quick_check");
            while (s.Step()) verdict += db::CStr(s.Column(0));
        }
        // The page check cannot see an index out of step with its table (as when a log of
        // another file was read into it); the full integrity check would take half a minute at
        // a million pairs.
        if (verdict == "ok" && !db::IndexesMatchPairs(d.handle())) verdict = "index";
        const bool countsWrong = verdict == "ok" && db::CountsUsable(d.handle()) && !db::CountsMatch(d.handle());
        {
            std::lock_guard lock(check.mutex);
            check.running = nullptr;
        }
        if (verdict != "ok") {
            db::ReportDamage(path, db::DescribeFailure(SQLITE_CORRUPT, path));
        } else if (countsWrong) {
            db::DistrustCounts();
            QMetaObject::invokeMethod(qApp, RecountAndShowAgain, Qt::QueuedConnection);
        }
    } catch (const db::EngineError& e) {
        std::lock_guard lock(check.mutex);
        check.running = nullptr;
        // Damage already went to the handler; an interrupted or busy check tells nothing.
    }
}

} // namespace

void WatchDictionary() {
    db::SetDamageHandler(TellDamage);
    StopWatchingDictionary();
    static bool connected = false;
    if (!connected) connected = QObject::connect(qApp, &QCoreApplication::aboutToQuit, qApp, StopWatchingDictionary);
    // Both wait for the event loop, so the window is up first.
    QTimer::singleShot(0, qApp, [] {
        if (Module1::ReadOnlyReason.isEmpty()) return;
        ui::MsgBox(QApplication::activeWindow(),
                           Module1::ReadOnlyReason +
                               "\n\nRječnik je otvoren samo za čitanje: riječi možete tražiti, ali ne možete dodavati, "
                               "mijenjati ni brisati parove niti spremati postavke ispisa.",
                           "Vokabis", 64);
    });
    QTimer::singleShot(0, qApp, [] {
        if (!Module1::DictDb || check.thread.joinable()) return;
        check.stopped = false;
        check.thread = std::thread(CheckWholeFile, Module1::DictDb->path(), Module1::DbPassword.toStdString());
    });
}

void StopWatchingDictionary() { check.Stop(); }
