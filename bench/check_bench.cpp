// How long a whole-file check takes (PRAGMA quick_check, and integrity_check, which also compares
// every index with its table), to decide where the program can afford it. Arguments: pair counts
// (generated files) or paths of existing dictionaries.
#include "Generate.h"

#include "db/Counts.h"
#include "db/Sqlite.h"

#include <chrono>
#include <cstdio>

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        std::string file = argv[i];
        if (file.find_first_not_of("0123456789") == std::string::npos) {
            const auto path = std::filesystem::path(BENCH_DATA_DIR) / ("generated-" + file + ".mdb");
            bench::MakeDictionary(path, std::stol(file));
            file = path.string();
        }
        for (const char* pragma : {"quick_check", "integrity_check", "quick_check + IndexesMatchPairs"}) {
            double best = 1e9;
            std::string verdict;
            for (int run = 0; run < 3; ++run) {
                const auto start = std::chrono::steady_clock::now();
                db::Database d(file, db::kPassword, db::Connection::Options{false, true, false});
                const std::string what = pragma;
                db::Statement check(d.handle(), "PRAGMA " + what.substr(0, what.find(' ')));
                verdict.clear();
                while (check.Step()) verdict += db::CStr(check.Column(0));
                if (what.find(' ') != std::string::npos && !db::IndexesMatchPairs(d.handle())) verdict += " indexes differ";
                best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
            }
            std::printf("%s: %lld pairs, %.0f MB, open + %s %.0f ms (best of 3): %s\n", file.c_str(),
                        db::Database(file, db::kPassword).Count("Select Id From Vokabis"),
                        double(std::filesystem::file_size(file)) / 1e6, pragma, best * 1000, verdict.c_str());
        }
    }
}
