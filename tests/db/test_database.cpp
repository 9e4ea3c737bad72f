#include "TempDb.h"

#include "db/Database.h"
#include "db/Sqlite.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <new>

#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {
struct TempFile {
    fs::path path = fs::temp_directory_path() / ("vokabis-test-" + std::to_string(::getpid()) + ".mdb");
    TempFile() { fs::remove(path); }
    ~TempFile() { fs::remove(path); }
};
std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}
} // namespace

TEST(Database, JetSqlAsBuiltRunsUnchanged) {
    TempFile f;
    db::Database d(f.path, "KamenPlavetni", true);
    d.CreateSchema();
    d.AddPair("abacus", "računaljka");
    d.AddPair("abbey", "opatija");
    d.AddPair("o'clock", "sat");
    d.AddPair("dog", "pas");
    d.AddPair("Abandon", "Napustiti");
    d.Exec("INSERT INTO Vokabis (Engleski, Hrvatski) VALUES (NULL, 'ništa')");
    EXPECT_EQ(d.Count("Select * From Vokabis where Engleski LIKE 'ab*'Order By Engleski Asc"), 3);
    EXPECT_EQ(d.Count("Select * From Vokabis where Hrvatski LIKE 'pas*'And Engleski LIKE 'dog*'Order By Hrvatski Desc"), 1);
    EXPECT_EQ(d.Count("Select * From Vokabis where Engleski LIKE 'o''clock*'Order By Hrvatski Asc"), 1);
    EXPECT_EQ(d.Count("Select * from Vokabis where Engleski LIKE '*'"), 5); // Null never matches
    EXPECT_EQ(d.Count("Select * From Vokabis Order By Engleski Asc"), 6);
    EXPECT_EQ(d.Count("Select * From OrderByEngleski"), 6);
    EXPECT_THROW(d.Count("Select * from Vokabis where Engleski LIKE '[ab*'"), db::EngineError);
}

TEST(Database, FileIsEncryptedAndKeyed) {
    TempFile f;
    {
        db::Database d(f.path, "KamenPlavetni", true);
        d.CreateSchema();
        d.AddPair("umbrella", "kišobran");
    }
    const std::string bytes = Slurp(f.path);
    EXPECT_EQ(bytes.find("umbrella"), std::string::npos);
    EXPECT_EQ(bytes.find("Vokabis"), std::string::npos);
    EXPECT_THROW(db::Database(f.path, "pogresna", false), db::EngineError);
    EXPECT_EQ(Slurp(f.path), bytes); // a failed open writes nothing
    db::Database again(f.path, "KamenPlavetni", false);
    EXPECT_EQ(again.Count("Select * From Vokabis"), 1);
}

TEST(Database, ANewFileAndItsLogsAreReadableByTheOwnerOnly) {
    TempFile f;
    const mode_t old = ::umask(022);
    db::Database d(f.path.string(), "KamenPlavetni", true);
    d.CreateSchema();
    d.AddPair("umbrella", "kišobran");
    ::umask(old);
    for (const char* suffix : {"", "-wal", "-shm"}) {
        const fs::path p = f.path.string() + suffix;
        ASSERT_TRUE(fs::exists(p)) << p;
        EXPECT_EQ(fs::status(p).permissions(), fs::perms::owner_read | fs::perms::owner_write) << p;
    }
}

TEST(Database, MissingFileIsNotCreated) {
    TempFile f;
    EXPECT_THROW(db::Database(f.path, "KamenPlavetni", false), db::EngineError);
    EXPECT_FALSE(fs::exists(f.path));
}

// Nothing is written to a file that is not already a dictionary, and nothing is created
// beside it: an empty file, a link to a device, a folder, a keyed file of another layout.
TEST(Database, WhatIsNotADictionaryIsNeitherOpenedNorWrittenTo) {
    TempFile f;
    const fs::path link = f.path.string() + ".link";
    for (const std::string c : {"empty", "device", "folder", "no pairs table"}) {
        fs::remove_all(f.path);
        fs::remove(link);
        fs::remove("/dev/zero-journal");
        fs::path opened = f.path;
        if (c == "empty") std::ofstream(f.path, std::ios::binary).flush();
        if (c == "device") {
            fs::create_symlink("/dev/zero", link);
            opened = link;
        }
        if (c == "folder") fs::create_directory(f.path);
        if (c == "no pairs table") db::Database(f.path, "KamenPlavetni", true).Exec("CREATE TABLE Drugo (x)");
        const std::string before = fs::is_regular_file(f.path) ? Slurp(f.path) : "";
        std::string message;
        try {
            db::Database d(opened, "KamenPlavetni", false);
            ADD_FAILURE() << c << " was opened";
        } catch (const db::EngineError& e) {
            message = e.what();
        }
        EXPECT_NE(message.find(opened.string()), std::string::npos) << c << ": " << message; // names the file
        if (fs::is_regular_file(f.path)) {
            EXPECT_TRUE(Slurp(f.path) == before) << c;
        }
        for (const char* beside : {"-journal", "-wal", "-shm"}) {
            EXPECT_FALSE(fs::exists(f.path.string() + beside)) << c << beside;
            EXPECT_FALSE(fs::exists(opened.string() + beside)) << c << beside;
        }
        EXPECT_FALSE(fs::exists("/dev/zero-journal")) << c;
    }
    fs::remove_all(f.path);
    fs::remove(link);
}

// Every failure the user can meet is a Croatian sentence naming the file, never the engine's text.
TEST(Database, EngineFailuresReadAsCroatianSentencesWithThePath) {
    for (int rc : {SQLITE_CANTOPEN, SQLITE_READONLY, SQLITE_IOERR, SQLITE_IOERR_WRITE, SQLITE_FULL, SQLITE_BUSY,
                   SQLITE_CORRUPT, SQLITE_NOTADB, SQLITE_ERROR}) {
        const std::string m = db::DescribeFailure(rc, "/d/Vokabis.mdb", rc == SQLITE_ERROR ? "no such table: Vokabis" : "");
        EXPECT_EQ(m.find("no such"), std::string::npos) << m;
        EXPECT_EQ(m.find(sqlite3_errstr(rc)), std::string::npos) << m;
        EXPECT_NE(m.find("/d/Vokabis.mdb"), std::string::npos) << rc << ": " << m;
    }
    EXPECT_EQ(db::DescribeFailure(SQLITE_ERROR, "", "Neispravan raspon u uzorku"), "Neispravan raspon u uzorku");
}

namespace {
// Allocations larger than this fail, as they do when memory runs out.
std::atomic<size_t> allocationLimit{SIZE_MAX};
struct MemoryLimit {
    explicit MemoryLimit(size_t bytes) { allocationLimit = bytes; }
    ~MemoryLimit() { allocationLimit = SIZE_MAX; }
};
} // namespace

void* operator new(size_t n) {
    void* p = n <= allocationLimit ? std::malloc(n ? n : 1) : nullptr;
    if (!p) throw std::bad_alloc();
    return p;
}
// Not inlined, so that the compiler does not pair a visible free() with the new above.
[[gnu::noinline]] void operator delete(void* p) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete(void* p, size_t) noexcept { std::free(p); }

// A failure inside the program's SQL functions ends the statement with the Croatian sentence
// instead of unwinding through the engine, and the connection goes on working.
TEST(Database, AFunctionThatFailsEndsItsStatementWithAMessage) {
    TempDb f({{"house", "kuća"}});
    db::Database d = f.Open();
    for (const char* sql : {"SELECT vokabis_fold(hex(zeroblob(500000)))", "SELECT 'x' LIKE hex(zeroblob(500000))"}) {
        db::Statement s(d.handle(), sql);
        try {
            const MemoryLimit limit(1 << 20);
            s.Step();
            ADD_FAILURE() << sql;
        } catch (const db::EngineError& e) {
            EXPECT_EQ(e.sqliteCode, SQLITE_NOMEM) << sql;
            EXPECT_EQ(e.what(), db::DescribeFailure(SQLITE_NOMEM, "")) << sql;
        }
    }
    EXPECT_EQ(d.Count("Select * From Vokabis Where Engleski Like 'h*'"), 1);
}

// The engine refuses to replace a function while a statement runs: that refusal is reported.
TEST(Database, ARefusedRegistrationIsReported) {
    TempDb f({{"house", "kuća"}});
    db::Database d = f.Open();
    db::Statement running(d.handle(), "SELECT Engleski FROM Vokabis");
    ASSERT_TRUE(running.Step());
    EXPECT_EQ(ErrorCode([&] { db::RegisterFunctions(d.handle()); }), db::kEngineFailed);
}
