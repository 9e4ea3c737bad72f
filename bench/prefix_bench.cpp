// Times what a search keystroke and the opening list cost on a large dictionary.
// Usage: prefix_bench [pairs] (default 1000000). The generated file is kept for later runs.
#include "db/Database.h"
#include "Generate.h"
#include "Stats.h"
#include "db/Recordset.h"

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point from) { return std::chrono::duration<double, std::milli>(Clock::now() - from).count(); }

long PeakRssMb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss / 1024;
}

template <class F>
void Time(const char* what, F f) {
    const auto t = Clock::now();
    const long long rows = f();
    std::printf("%-52s %9.1f ms  %8lld rows\n", what, Ms(t), rows);
}

// A fresh list each time, as a new query meets it: p50 and p95 of `runs`.
template <class F>
void Fresh(const char* what, int runs, F f) {
    bench::Stats s;
    for (int i = 0; i < runs; ++i) {
        const auto t = Clock::now();
        f();
        s.ms.push_back(Ms(t));
    }
    std::printf("%-52s p50 %7.1f ms  p95 %7.1f ms\n", what, s.Pct(50), s.Pct(95));
}

// Far places of lists the record set reads in pieces: the last row (Idi na zadnji zapis, Ctrl+End),
// the middle (the scroll bar dragged there), and the first screen of a letter sorted by the other term.
void FarReads(db::Database& d) {
    for (const char* sql : {"Select * From Vokabis Order By Engleski Asc", "Select * From Vokabis Order By Engleski Desc",
                            "Select * From Vokabis Order By Hrvatski Asc"}) {
        const std::string label = std::string("last row: ") + (sql + 22);
        Fresh(label.c_str(), 10, [&] {
            auto rs = d.OpenRecordset(sql);
            rs->MoveLast();
            rs->Field("Engleski");
        });
    }
    Fresh("middle: 40 rows of Order By Engleski Asc", 10, [&] {
        auto rs = d.OpenRecordset("Select * From Vokabis Order By Engleski Asc");
        for (long p = rs->RowCount() / 2, n = 0; n < 40; ++p, ++n) rs->FieldAt(p, "Hrvatski");
    });
    for (const char* sql : {"Select * From Vokabis Where Hrvatski Like 'l*' Order By Engleski Asc",
                            "Select * From Vokabis Where Hrvatski Like 'đ*' Order By Engleski Desc",
                            "Select * From Vokabis Where Engleski Like 'y*' Order By Hrvatski Asc",
                            "Select * From Vokabis Where Engleski Like 'x*' Order By Hrvatski Asc"}) {
        const std::string label = std::string("16 rows: ") + (sql + 22);
        Fresh(label.c_str(), 10, [&] {
            auto rs = d.OpenRecordset(sql);
            for (long p = 0; p < std::min(16L, rs->RowCount()); ++p) rs->FieldAt(p, "Hrvatski");
        });
    }
}

} // namespace

int main(int argc, char** argv) {
    const long pairs = argc > 1 ? std::atol(argv[1]) : 1000000;
    const auto path = std::filesystem::path(BENCH_DATA_DIR) / ("generated-" + std::to_string(pairs) + ".mdb");
    const double built = bench::MakeDictionary(path, pairs);
    if (built > 0) std::printf("%-52s %9.1f ms  %8ld rows\n", "build the file (bulk insert, then the indexes)", built * 1000, pairs);
    std::printf("file size %.1f MB\n", double(std::filesystem::file_size(path)) / 1e6);

    db::Database d(path.string(), db::kPassword);
    std::unique_ptr<db::Recordset> keep;
    Time("open OrderByEngleski (keyset of every row)", [&] {
        keep = d.OpenRecordset("OrderByEngleski");
        return keep->RowCount();
    });
    Time("  read 40 visible rows at the middle", [&] {
        long long n = 0;
        for (long p = keep->RowCount() / 2; n < 40; ++p, ++n) keep->FieldAt(p, "Hrvatski");
        return n;
    });
    Time("  clone, MoveLast, RecordCount", [&] {
        auto c = keep->Clone();
        c->MoveLast();
        return (long long)c->RecordCount();
    });
    FarReads(d);
    for (const char* sql : {"Select * From Vokabis where Engleski LIKE 'a*'Order By Engleski Asc",
                            "Select * From Vokabis where Engleski LIKE 'ab*'Order By Engleski Asc",
                            "Select * From Vokabis where Engleski LIKE 'abc*'Order By Engleski Asc",
                            "Select * From Vokabis where Hrvatski LIKE 'ča*'Order By Hrvatski Asc",
                            "Select * From Vokabis where Hrvatski LIKE 'ljo*'And Engleski LIKE 'a*'Order By Hrvatski Asc",
                            "Select * From Vokabis where Engleski LIKE '*abc*'"}) {
        std::string label = std::string(sql).substr(28);
        if (label.size() > 50) label = label.substr(0, 47) + "...";
        Time(label.c_str(), [&] { return d.OpenRecordset(sql)->RowCount(); });
    }
    std::printf("peak resident memory %ld MB\n", PeakRssMb());
    return 0;
}
