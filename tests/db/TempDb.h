#pragma once
#include "db/Database.h"

#include <unistd.h>

#include <filesystem>
#include <functional>
#include <initializer_list>
#include <string>
#include <utility>

// A keyed dictionary file in the temp directory, removed again when the test ends.
struct TempDb {
    std::filesystem::path path;
    explicit TempDb(std::initializer_list<std::pair<const char*, const char*>> pairs = {}) {
        static int serial = 0;
        path = std::filesystem::temp_directory_path() /
               ("vokabis-t-" + std::to_string(::getpid()) + "-" + std::to_string(++serial) + ".mdb");
        std::filesystem::remove(path);
        db::Database d(path.string(), "KamenPlavetni", true);
        d.CreateSchema();
        for (auto& [e, h] : pairs) d.AddPair(e, h);
    }
    ~TempDb() { std::filesystem::remove(path); }
    db::Database Open() const { return db::Database(path.string(), "KamenPlavetni"); }
};

// The number (runtime or engine) a call fails with, 0 when it does not fail.
inline int ErrorCode(const std::function<void()>& f) {
    try {
        f();
    } catch (const db::EngineError& e) {
        return e.number;
    }
    return 0;
}
