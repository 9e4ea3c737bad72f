#pragma once
// Generated dictionaries for the benchmarks: English-like words of 3 to 12 letters and
// Croatian ones with č ć dž đ lj nj š ž, from a fixed seed so every run measures the same data.
#include "db/Database.h"

#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace bench {

inline std::string Word(std::mt19937& rng, const std::vector<std::string>& letters) {
    std::uniform_int_distribution<int> len(3, 12), pick(0, int(letters.size()) - 1);
    std::string w;
    for (int n = len(rng); n > 0; --n) w += letters[size_t(pick(rng))];
    return w;
}

inline const std::vector<std::string>& EnglishLetters() {
    static const std::vector<std::string> l = {"a", "b", "c", "d", "e", "f", "g", "h", "i", "k", "l",
                                               "m", "n", "o", "p", "r", "s", "t", "u", "v", "w", "y"};
    return l;
}

inline const std::vector<std::string>& CroatianLetters() {
    static const std::vector<std::string> l = {"a", "b", "c", "č", "ć", "d", "dž", "đ", "e", "g", "i", "j", "k", "l",
                                               "lj", "m", "n", "nj", "o", "p", "r", "s", "š", "t", "u", "v", "z", "ž"};
    return l;
}

// Builds the file unless an earlier run left it; returns the seconds spent building.
inline double MakeDictionary(const std::filesystem::path& path, long pairs) {
    if (std::filesystem::exists(path)) return 0;
    const auto start = std::chrono::steady_clock::now();
    std::filesystem::create_directories(path.parent_path());
    const auto partial = path.string() + ".part";
    std::filesystem::remove(partial);
    {
        db::Database d(partial, db::kPassword, true);
        d.CreateSchema();
        std::mt19937 rng(42);
        d.Exec("BEGIN");
        d.DropIndexes();
        for (long i = 0; i < pairs; ++i) d.AddPair(Word(rng, EnglishLetters()), Word(rng, CroatianLetters()));
        d.CreateIndexes();
        d.Exec("COMMIT");
    }
    std::filesystem::rename(partial, path);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace bench
