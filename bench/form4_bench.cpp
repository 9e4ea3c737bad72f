// Measures the main window as a user meets it: keystrokes in the search boxes, the sort
// commands and start-up, on generated dictionaries, against the bare indexed query as a floor.
// Each keystroke is also split into the engine's query (the same SQL run once more on the
// window's connection), the window's own work on it (grid model, counter) and the repaint.
// As in a run of the program, the background check runs once the window is up (here waited
// for, before the typing), and at the end the whole list's last pair is visited and the list
// sorted; the resident memory is reported at each point, with where it is.
// Usage: form4_bench [pairs | dictionary.mdb ...] (default 100000 1000000). Runs offscreen.
#include "Generate.h"
#include "Stats.h"
#include "Typing.h"
#include "app/Safety.h"
#include "core/Module1.h"
#include "db/JetSql.h"
#include "db/Recordset.h"
#include "db/Sqlite.h"
#include "dictionary/MainWindow.h"
#include "dictionary/QueryBuilder.h"
#include "dictionary/WordGrid.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>

#include <malloc.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <map>
#include <random>

using bench::Stats;

namespace {

long PeakRssMb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss / 1024;
}

// The fields of /proc/self/status, in kB (Threads: a count).
std::map<std::string, long> Status() {
    std::map<std::string, long> kb;
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (const auto colon = line.find(':'); colon != std::string::npos)
            kb[line.substr(0, colon)] = std::atol(line.c_str() + colon + 1);
    return kb;
}

double CacheMb(sqlite3* db) {
    int used = 0, high = 0;
    sqlite3_db_status(db, SQLITE_DBSTATUS_CACHE_USED, &used, &high, 0);
    return used / 1048576.0;
}

// Resident memory now and at its peak, and where it is: the engine's allocations (of them the
// page caches of the list's and the main connection), what malloc hands out and what it keeps
// free without giving it back (all arenas), and the mapped files (code, fonts, the dictionary's
// shared memory).
void Memory(const char* where, MainWindow& w) {
    auto kb = Status();
    const struct mallinfo2 m = mallinfo2();
    std::printf("  memory %-29s rss %5.1f MB (peak %5.1f; anonymous %5.1f, files %5.1f; %ld threads)\n", where,
                kb["VmRSS"] / 1024.0, kb["VmHWM"] / 1024.0, kb["RssAnon"] / 1024.0,
                (kb["RssFile"] + kb["RssShmem"]) / 1024.0, kb["Threads"]);
    const double list = w.Data1.HasRecordset() ? CacheMb(w.Data1.database()->handle()) : 0;
    std::printf("         engine %5.1f MB (page caches: list %4.1f, main %4.1f)  malloc in use %5.1f, kept free %5.1f, "
                "of it mapped %5.1f MB\n",
                double(sqlite3_memory_used()) / 1048576.0, list, CacheMb(Module1::DictDb->handle()),
                double(m.uordblks + m.hblkhd) / 1048576.0, double(m.fordblks) / 1048576.0, double(m.hblkhd) / 1048576.0);
}

// Starts the background check as the program does once its window is up, and waits for its
// thread to end.
void RunTheCheck() {
    const long threads = Status()["Threads"];
    WatchDictionary();
    QElapsedTimer t;
    t.start();
    while (!CheckedWhole() && t.elapsed() < 60000) QTest::qWait(20);
    while (Status()["Threads"] > threads && t.elapsed() < 60000) QTest::qWait(20);
    std::printf("  %-34s %7lld ms\n", "background check, whole file", t.elapsed());
}

// Where a keystroke's time goes.
struct Split {
    Stats query, window, repaint;
    void Print(const char* what) const {
        std::printf("  %-34s p50 %6.2f / %6.2f / %6.2f ms  p95 %6.2f / %6.2f / %6.2f ms\n", what, query.Pct(50),
                    window.Pct(50), repaint.Pct(50), query.Pct(95), window.Pct(95), repaint.Pct(95));
    }
};

// The processor time this thread has used: on a shared machine the wall clock also counts the
// time others' processes had the cores, this only the keystroke's own work.
double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// One keystroke, until the grid has painted its new first rows.
double Keystroke(MainWindow& w, QLineEdit* box, const QString& ch, int* wrongCounter, Split* split = nullptr,
                 double* cpuMs = nullptr) {
    const double cpuStart = ThreadCpuMs();
    QElapsedTimer t;
    t.start();
    bench::TypeInto(box, ch);
    const double handled = double(t.nsecsElapsed()) / 1e6;
    w.DBGrid1->viewport()->repaint();
    const double ms = double(t.nsecsElapsed()) / 1e6;
    if (cpuMs) *cpuMs = ThreadCpuMs() - cpuStart;
    const int rows = w.DBGrid1->model()->rowCount();
    if (rows > 0 && w.Text3->text() != QString::number(rows)) ++*wrongCounter;
    if (split) {
        QElapsedTimer q;
        q.start();
        w.Data1.database()->OpenRecordset(w.Data1.RecordSource).reset();
        const double query = double(q.nsecsElapsed()) / 1e6;
        split->query.ms.push_back(query);
        split->window.ms.push_back(std::max(0.0, handled - query));
        split->repaint.ms.push_back(ms - handled);
    }
    return ms;
}

// The floor: the same prefix condition on the bare file, reading every matching id.
double Floor(sqlite3* db, const char* field, const QString& prefix) {
    const std::string sql = db::AddPrefixRanges(
        ("Select Id from Vokabis where " + QString(field) + " LIKE '" + dictionary::EscapeQuotes(prefix) + "*'").toStdString());
    QElapsedTimer t;
    t.start();
    db::Statement s(db, sql);
    long n = 0;
    while (s.Step()) ++n;
    return double(t.nsecsElapsed()) / 1e6;
}

void Row(const char* what, const Stats& ours, const Stats* floor = nullptr, const char* other = "floor") {
    std::printf("  %-34s p50 %7.2f ms  p95 %7.2f ms", what, ours.Pct(50), ours.Pct(95));
    if (floor && floor->Pct(50) > 0)
        std::printf("   %s p50 %7.2f p95 %7.2f   ratio p95 %.2f", other, floor->Pct(50), floor->Pct(95), ours.Pct(95) / floor->Pct(95));
    std::printf("\n");
}

double Click(MainWindow& w, QToolButton* b) {
    QElapsedTimer t;
    t.start();
    b->click();
    w.DBGrid1->viewport()->repaint();
    return double(t.nsecsElapsed()) / 1e6;
}

// The whole list's last pair (all its ids read), then a sort, as a user may end a session.
void LastPairAndSort(MainWindow& w) {
    bench::TypeInto(w.txtNadjiEngleski, QString());
    const double last = Click(w, w.cmdLast);
    std::printf("  %-34s %7.1f ms\n", "go to the last pair", last);
    Memory("at the last pair", w);
    Row("sort ascending, then", Stats{{Click(w, w.cmdAsc)}});
    Memory("sorted", w);
}

// Ten runs of `once`, each giving the milliseconds it measured.
template <class F>
Stats Ten(F once) {
    Stats s;
    for (int i = 0; i < 10; ++i) s.ms.push_back(once());
    return s;
}

double Since(const QElapsedTimer& t) { return double(t.nsecsElapsed()) / 1e6; }

// Times f() and the repaint after it, each time on a fresh list of sql run by the window.
template <class F>
Stats OnFreshList(MainWindow& w, const char* sql, F f, bool timeTheRun = false) {
    return Ten([&] {
        QElapsedTimer t;
        t.start();
        w.RunRecordSource(sql);
        if (!timeTheRun) {
            w.DBGrid1->viewport()->repaint();
            t.restart();
        }
        f();
        w.DBGrid1->viewport()->repaint();
        return Since(t);
    });
}

// The engine's part: the same reads on a fresh record set of the window's connection.
template <class F>
Stats EngineAlone(MainWindow& w, const char* sql, F f, bool timeTheRun = false) {
    return Ten([&] {
        QElapsedTimer t;
        t.start();
        auto rs = w.Data1.database()->OpenRecordset(sql);
        if (!timeTheRun) t.restart();
        f(*rs);
        return Since(t);
    });
}

// Far places of a fresh list in the window: Ctrl+End and Idi na zadnji zapis, the scroll bar
// dragged to the middle, and a letter of one term sorted by the other up to its first paint.
void FarPlaces(MainWindow& w) {
    std::printf("  far places of a fresh list (window / engine alone):\n");
    for (const char* sql : {"Select * From Vokabis Order By Engleski Asc", "Select * From Vokabis Order By Engleski Desc",
                            "Select * From Vokabis Order By Hrvatski Asc"}) {
        const Stats end = OnFreshList(w, sql, [&] { QTest::keyClick(w.DBGrid1, Qt::Key_End, Qt::ControlModifier); });
        const Stats last = OnFreshList(w, sql, [&] { w.cmdLast->click(); });
        const Stats engine = EngineAlone(w, sql, [](db::Recordset& rs) {
            rs.MoveLast();
            rs.Field("Engleski");
        });
        std::printf("    %-48s\n", sql + 22);
        Row("      Ctrl+End", end, &engine, "engine");
        Row("      Idi na zadnji zapis", last, &engine, "engine");
    }
    const char* whole = "Select * From Vokabis Order By Engleski Asc";
    const Stats middle = OnFreshList(w, whole, [&] {
        QScrollBar* bar = w.DBGrid1->verticalScrollBar();
        bar->setValue(bar->maximum() / 2);
    });
    const Stats middleEngine = EngineAlone(w, whole, [](db::Recordset& rs) {
        for (long p = rs.RowCount() / 2, n = 0; n < 40; ++p, ++n) rs.FieldAt(p, "Hrvatski");
    });
    Row("    scroll bar to the middle", middle, &middleEngine, "engine");
    for (const char* sql : {"Select * From Vokabis Where Hrvatski Like 'l*' Order By Engleski Asc",
                            "Select * From Vokabis Where Engleski Like 'a*' Order By Hrvatski Desc"}) {
        const Stats first = OnFreshList(w, sql, [] {}, true);
        const Stats engine = EngineAlone(w, sql, [](db::Recordset& rs) {
            for (long p = 0; p < std::min(16L, rs.RowCount()); ++p) rs.FieldAt(p, "Hrvatski");
        }, true);
        std::printf("    %-48s\n", sql + 22);
        Row("      to the first painted screen", first, &engine, "engine");
    }
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::vector<std::string> sizes;
    for (int i = 1; i < argc; ++i) sizes.push_back(argv[i]);
    if (sizes.empty()) sizes = {"100000", "1000000"};
    std::map<long, double> p95ByLength1to4;

    for (const std::string& arg : sizes) {
        const std::filesystem::path data(BENCH_DATA_DIR);
        const bool given = arg.find_first_not_of("0123456789") != std::string::npos; // a dictionary file
        const long pairs = given ? 0 : std::atol(arg.c_str());
        const auto file = given ? std::filesystem::path(arg) : data / ("generated-" + arg + ".mdb");
        if (!given) bench::MakeDictionary(file, pairs);
        const auto folder = data / (given ? "app-given" : "app-" + arg);
        std::filesystem::create_directories(folder / "Data");
        std::filesystem::remove(folder / "Data/Vokabis.mdb");
        std::filesystem::create_symlink(std::filesystem::absolute(file), folder / "Data/Vokabis.mdb");
        if (given) std::printf("%s\n", arg.c_str());
        else std::printf("%ld pairs\n", pairs);

        QElapsedTimer t;
        t.start();
        Module1::OpenDictionaryAndReadSettings(QString::fromStdString(folder.string()));
        auto* w = new MainWindow;
        w->show();
        (void)QTest::qWaitForWindowExposed(w);
        w->DBGrid1->viewport()->repaint();
        std::printf("  %-34s %7.1f ms\n", "start-up to first painted grid", double(t.nsecsElapsed()) / 1e6);
        Memory("window shown", *w);
        RunTheCheck();
        Memory("after the check", *w);

        // Words to look up, taken from the list itself.
        std::mt19937 rng(7);
        db::Recordset& rs = w->Data1.recordset();
        if (given) std::printf("  %ld pairs\n", rs.RowCount());
        std::uniform_int_distribution<long> pick(0, rs.RowCount() - 1);
        std::vector<QString> english, croatian;
        for (int i = 0; i < 60; ++i) {
            english.push_back(QString::fromStdString(db::CStr(rs.FieldAt(pick(rng), "Engleski"))));
            croatian.push_back(QString::fromStdString(db::CStr(rs.FieldAt(pick(rng), "Hrvatski"))));
        }
        sqlite3* bare = Module1::DictDb->handle();
        int wrong = 0;
        for (auto [box, field, words] : {std::tuple{w->txtNadjiEngleski, "Engleski", &english},
                                         std::tuple{w->txtNadjiHrvatski, "Hrvatski", &croatian}}) {
            Stats byLength[5], floorByLength[5], clear, all, allFloor, cpuOne, cpuAll;
            Split typing, clearing;
            for (const QString& word : *words) {
                const QString prefix = word.left(4);
                for (int n = 1; n <= prefix.size(); ++n) {
                    double cpu = 0;
                    const double ms = Keystroke(*w, box, prefix.mid(n - 1, 1), &wrong, &typing, &cpu);
                    cpuAll.ms.push_back(cpu);
                    if (n == 1) cpuOne.ms.push_back(cpu);
                    const double f = Floor(bare, field, prefix.left(n));
                    byLength[n].ms.push_back(ms);
                    floorByLength[n].ms.push_back(f);
                    all.ms.push_back(ms);
                    allFloor.ms.push_back(f);
                }
                clear.ms.push_back(Keystroke(*w, box, QString(), &wrong, &clearing));
            }
            std::printf("  %s box\n", field);
            for (int n = 1; n <= 4; ++n) {
                const std::string label = "    prefix of " + std::to_string(n);
                Row(label.c_str(), byLength[n], &floorByLength[n]);
            }
            Row("    lengths 1-4 together", all, &allFloor);
            Row("    clearing the box (\"*\" only)", clear);
            Row("    prefix of 1, thread CPU time", cpuOne);
            Row("    lengths 1-4, thread CPU time", cpuAll);
            std::printf("    split into query / window / repaint:\n");
            typing.Print("    lengths 1-4");
            clearing.Print("    clearing the box");
            if (!given) p95ByLength1to4[pairs] = std::max(p95ByLength1to4[pairs], all.Pct(95));
        }
        std::printf("  counter wrong after %d keystrokes\n", wrong);
        Memory("after typing", *w);

        Stats ascAll, descAll, ascOne, descOne;
        for (int i = 0; i < 5; ++i) {
            ascAll.ms.push_back(Click(*w, w->cmdAsc));
            descAll.ms.push_back(Click(*w, w->cmdDesc));
        }
        QTest::sendKeyEvent(QTest::Click, w->txtNadjiEngleski, Qt::Key_unknown, "a", Qt::NoModifier);
        for (int i = 0; i < 5; ++i) {
            ascOne.ms.push_back(Click(*w, w->cmdAsc));
            descOne.ms.push_back(Click(*w, w->cmdDesc));
        }
        FarPlaces(*w);
        Row("sort ascending, whole list", ascAll);
        Row("sort descending, whole list", descAll);
        Row("sort ascending, 1-letter filter", ascOne);
        Row("sort descending, 1-letter filter", descOne);
        Memory("after the sorts", *w);
        LastPairAndSort(*w);
        std::printf("  %-34s %7ld MB\n", "peak resident memory so far", PeakRssMb());
        StopWatchingDictionary();
        delete w;
        Module1::DictDb->Close();
        Module1::DictDb.reset();
    }
    if (p95ByLength1to4.size() == 2)
        std::printf("1M/100k ratio of the keystroke p95 (lengths 1-4): %.2f\n",
                    p95ByLength1to4.rbegin()->second / p95ByLength1to4.begin()->second);
    return 0;
}
