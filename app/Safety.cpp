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

#include <QPointer>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace {

struct Check {
    // The whole-file check of this run on a thread of its own, with its own connection; stopped
    // through the thread's interruption request, which the engine asks between steps.
    QThread* thread = nullptr;
    std::mutex mutex;
    std::condition_variable over; // told once the check has said whether the file is damaged, or ended
    bool pending = false; // the check of this run has not spoken yet: writes wait for it
    void Stop() {
        if (thread) {
            thread->requestInterruption();
            thread->wait();
            delete thread;
            thread = nullptr;
        }
        std::lock_guard lock(mutex);
        pending = false;
    }
    ~Check() { Stop(); } // a run that ends without quitting the event loop waits here
};
Check check;
std::atomic<bool> checkedWhole{false}; // this run's check found every page and index sound

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

// Lets the writes waiting for the check go on.
void OpenTheGate() {
    std::lock_guard lock(check.mutex);
    check.pending = false;
    check.over.notify_all();
}

// A whole-file check on a connection of its own, off the user's thread.
void CheckWholeFile(std::string path, std::string key) {
    try {
        db::Database d(path, key, db::Connection::Options{false, true, false});
        sqlite3_progress_handler(
            d.handle(), 1000, [](void*) { return QThread::currentThread()->isInterruptionRequested() ? 1 : 0; }, nullptr);
        if (QThread::currentThread()->isInterruptionRequested()) return;
        std::string verdict;
        {
            db::Statement s(d.handle(), "PRAGMA quick_check");
            while (s.Step()) verdict += db::CStr(s.Column(0));
        }
        // The page check cannot see an index out of step with its table (as when a log of
        // another file was read into it); the full integrity check would take half a minute at
        // a million pairs.
        if (verdict == "ok" && !db::IndexesMatchPairs(d.handle())) verdict = "index";
        if (verdict != "ok") db::ReportDamage(path, db::DescribeFailure(SQLITE_CORRUPT, path));
        else checkedWhole = true;
        // Writes need only that verdict; the counts are compared after they may go on.
        OpenTheGate();
        const bool countsWrong = verdict == "ok" && db::CountsUsable(d.handle()) && !db::CountsMatch(d.handle());
        if (countsWrong) {
            db::DistrustCounts();
            QMetaObject::invokeMethod(qApp, RecountAndShowAgain, Qt::QueuedConnection);
        }
    } catch (const db::EngineError&) {
        // Damage already went to the handler; an interrupted or busy check tells nothing.
    }
}

void StartCheck() {
    if (!Module1::DictDb || check.thread) return;
    check.thread = QThread::create([path = Module1::DictDb->path(), key = Module1::DbPassword.toStdString()] {
        CheckWholeFile(path, key);
        OpenTheGate(); // also when the check was stopped or failed
    });
    check.thread->start();
}

// Before the first writes of a run: a pair saved before the whole-file check has spoken could
// go into a damaged file, so the write waits for the check, with a wait cursor and a word in the
// status bar. The window is not served meanwhile (a list run again or a box opened in the
// middle of a save would be worse); the check of the starter dictionary ends within a fraction
// of a second, and the wait comes only when a save is asked for that soon after the start.
void WaitForTheCheck() {
    {
        std::lock_guard lock(check.mutex);
        if (!check.pending) return;
    }
    if (!qApp || QThread::currentThread() != qApp->thread()) { // the check thread, or another
        std::unique_lock lock(check.mutex);
        check.over.wait(lock, [] { return !check.pending; });
        return;
    }
    StartCheck(); // a save before the event loop has run
    if (!check.thread) { // nothing to check: no dictionary is open
        std::lock_guard lock(check.mutex);
        check.pending = false;
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    std::vector<std::pair<QPointer<MainWindow>, QString>> said;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* form4 = qobject_cast<MainWindow*>(w)) {
            said.emplace_back(form4, form4->StatusText());
            form4->SetStatusText("Provjeravam datoteku rječnika prije spremanja…");
            form4->repaint();
        }
    {
        std::unique_lock lock(check.mutex);
        check.over.wait(lock, [] { return !check.pending; });
    }
    for (auto& [form4, text] : said)
        if (form4) form4->SetStatusText(text);
    QApplication::restoreOverrideCursor();
}

} // namespace

void WatchDictionary() {
    db::SetDamageHandler(TellDamage);
    StopWatchingDictionary();
    checkedWhole = false;
    {
        std::lock_guard lock(check.mutex);
        check.pending = Module1::DictDb != nullptr;
    }
    db::SetWriteGate(WaitForTheCheck);
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
    QTimer::singleShot(0, qApp, StartCheck);
}

void StopWatchingDictionary() { check.Stop(); }

bool CheckedWhole() { return checkedWhole && db::WritesRefusedReason().empty(); }
