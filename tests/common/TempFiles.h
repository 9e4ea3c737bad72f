#pragma once
// Temporary folders and dictionary files, removed when the test ends; reading files back.
#include "db/Database.h"
#include "db/Sqlite.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace fs = std::filesystem;
using Rows = std::vector<std::pair<std::string, std::string>>;

inline std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The pairs of a dictionary file in the order they were stored.
inline Rows ReadPairs(const fs::path& file) {
    db::Database d(file.string(), db::kPassword);
    db::Statement s(d.handle(), "SELECT Engleski, Hrvatski FROM Vokabis ORDER BY Id");
    Rows rows;
    while (s.Step()) rows.emplace_back(db::CStr(s.Column(0)), db::CStr(s.Column(1)));
    return rows;
}

inline void AddPairs(const fs::path& file, const Rows& pairs) {
    db::Database d(file.string(), db::kPassword);
    db::Transaction t(d.handle());
    for (const auto& [e, h] : pairs) d.AddPair(e, h);
    t.Commit();
}

inline void MakeDictionary(const fs::path& file, const Rows& pairs = {}, const char* password = db::kPassword) {
    fs::create_directories(file.parent_path());
    db::Database(file.string(), password, true).CreateSchema();
    if (!pairs.empty()) AddPairs(file, pairs);
}

// What the engine's full check says of a dictionary file: "ok" when it is whole.
inline std::string IntegrityOf(db::Database& d) {
    db::Statement check(d.handle(), "PRAGMA integrity_check");
    return check.Step() ? db::CStr(check.Column(0)) : std::string();
}

// n pairs "word0 – riječ0", "word1 – riječ1"... or other words, numbered from first.
inline Rows ManyPairs(int n, const std::string& en = "word", const std::string& hr = "riječ", int first = 0) {
    Rows rows;
    for (int i = first; i < first + n; ++i) rows.emplace_back(en + std::to_string(i), hr + std::to_string(i));
    return rows;
}

// Leaves beside `file` the write-ahead log of another dictionary, with committed pairs in it,
// as a program killed while it wrote leaves it once its file is deleted.
inline void PlantStrayLog(const fs::path& file) {
    const fs::path other = file.string() + ".drugi";
    MakeDictionary(other, {{"other", "drugi"}});
    {
        db::Database d(other.string(), db::kPassword);
        d.Exec("PRAGMA wal_autocheckpoint = 0");
        db::Transaction t(d.handle());
        for (int i = 0; i < 300; ++i) d.AddPair("stray" + std::to_string(i), "zalutao");
        t.Commit();
        fs::copy_file(other.string() + "-wal", file.string() + "-wal", fs::copy_options::overwrite_existing);
    }
    fs::remove(other);
}

// A fresh folder of its own; a/"name" is the path of a file in it.
struct TempDir {
    fs::path dir;
    TempDir() {
        static int serial = 0;
        dir = fs::temp_directory_path() / ("vokabis-t" + std::to_string(::getpid()) + "-" + std::to_string(++serial));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    TempDir(const TempDir&) = delete;
    ~TempDir() {
        std::error_code ignored;
        fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(dir, ignored);
    }
    std::string operator/(const std::string& name) const { return (dir / name).string(); }
    std::string Write(const std::string& name, const std::string& text) const {
        std::ofstream(dir / name, std::ios::binary) << text;
        return *this / name;
    }
    std::vector<std::string> Names(const std::string& under = "") const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir / under)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

// A keyed dictionary file holding these pairs (none made when password is null).
struct TempDb : TempDir {
    fs::path path;
    explicit TempDb(std::initializer_list<std::pair<std::string, std::string>> pairs = {},
                    const std::string& name = "d.mdb", const char* password = db::kPassword)
        : path(dir / name) {
        if (password) MakeDictionary(path, Rows(pairs), password);
    }
    explicit TempDb(const Rows& pairs) : path(dir / "d.mdb") { MakeDictionary(path, pairs); }
    db::Database Open() const { return db::Database(path.string(), db::kPassword); }
    void Exec(const std::string& sql) const { Open().Exec(sql); }
    long long Count() const { return Open().Count("Select * From Vokabis"); }
    Rows Pairs() const { return ReadPairs(path); }
};

// The engine error code a call fails with, 0 when it does not fail.
inline int ErrorCode(const std::function<void()>& f) {
    try {
        f();
    } catch (const db::EngineError& e) {
        return e.number;
    }
    return 0;
}

// A pair saved by a program that is then killed: it is committed, but only in the file's -wal.
inline void SaveAndDie(const fs::path& file, const std::string& english, const std::string& croatian) {
    const pid_t child = ::fork();
    if (child == 0) {
        db::Database d(file.string(), db::kPassword);
        d.AddPair(english, croatian);
        ::_exit(0); // no close, so nothing moves from the log into the file
    }
    int status = 0;
    ::waitpid(child, &status, 0);
}

// Takes up a small disk's room, adds pairs until the engine says the disk is full, ends that run
// as the program would (the connection closed), and leaves the disk full.
inline void FillUntilFull(const fs::path& file) {
    const std::string kb(1024, 'x');
    {
        std::ofstream filler(file.parent_path() / "filler", std::ios::binary);
        for (auto left = fs::space(file.parent_path()).available; left > 512 * 1024; left -= kb.size())
            filler.write(kb.data(), std::streamsize(kb.size()));
    }
    try {
        db::Database d(file.string(), db::kPassword);
        for (int i = 0;; ++i) {
            db::Transaction t(d.handle());
            for (int j = 0; j < 50; ++j) d.AddPair("word" + std::to_string(i * 50 + j), "riječ " + std::string(200, 'x'));
            t.Commit();
        }
    } catch (const db::EngineError&) {
    }
    std::ofstream more(file.parent_path() / "filler", std::ios::binary | std::ios::app);
    while (more.write(kb.data(), std::streamsize(kb.size())) && more.flush()) {
    }
}
