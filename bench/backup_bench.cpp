// Times the backup the program makes when a run that changed the dictionary ends (the file's
// pages copied as they are) and the tool's (through the engine): at the starter dictionary's
// size the exit may wait at most 1 s for it.
// Usage: backup_bench [FILE...] (default: generated files of 123,582 and 1,000,000 pairs).
#include "Generate.h"
#include "db/Backup.h"

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

// Processor time of this process, ms: on a busy shared machine the clock on the wall also
// counts the time other programs had the processor.
double CpuMs() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

int main(int argc, char** argv) {
    std::vector<fs::path> files;
    for (int i = 1; i < argc; ++i) files.emplace_back(argv[i]);
    if (files.empty())
        for (long pairs : {123582L, 1000000L}) {
            files.push_back(fs::path(BENCH_DATA_DIR) / ("generated-" + std::to_string(pairs) + ".mdb"));
            bench::MakeDictionary(files.back(), pairs);
        }
    int over = 0;
    for (const fs::path& file : files)
        for (const bool pages : {true, false}) { // the exit's copy of a checked file; the tool's, through the engine
            const fs::path folder = fs::path(BENCH_DATA_DIR) / "backup-bench";
            std::vector<double> ms, cpu;
            for (int run = 0; run < 5; ++run) {
                fs::remove_all(folder);
                const auto t = std::chrono::steady_clock::now();
                const double c = CpuMs();
                db::MakeBackup(file.string(), db::kPassword, folder.string(), 10, pages);
                ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t).count());
                cpu.push_back(CpuMs() - c);
            }
            fs::remove_all(folder);
            std::sort(ms.begin(), ms.end());
            std::sort(cpu.begin(), cpu.end());
            const double mb = double(fs::file_size(file)) / (1 << 20);
            std::printf("backup of %-24s %7.1f MB  %-18s median %7.1f ms  (best %7.1f, worst %7.1f)  processor %7.1f ms\n",
                        file.filename().c_str(), mb, pages ? "pages as they are" : "through the engine", ms[2],
                        ms.front(), ms.back(), cpu[2]);
            over += mb < 25 && ms[2] > 1000; // a starter-sized file must not keep the exit waiting 1 s
        }
    return over ? 1 : 0;
}
