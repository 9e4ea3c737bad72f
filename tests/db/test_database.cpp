#include "common/TempFiles.h"

#include "db/Sqlite.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <stdexcept>

#include <sys/stat.h>

TEST(Database, JetSqlAsBuiltRunsUnchanged) {
    TempDb t({{"abacus", "računaljka"}, {"abbey", "opatija"}, {"o'clock", "sat"}, {"dog", "pas"}, {"Abandon", "Napustiti"}});
    auto d = t.Open();
    d.Exec("INSERT INTO Vokabis (Engleski, Hrvatski) VALUES (NULL, 'ništa')");
    for (auto [sql, rows] : {std::pair{"Select * From Vokabis where Engleski LIKE 'ab*'Order By Engleski Asc", 3},
                             {"Select * From Vokabis where Hrvatski LIKE 'pas*'And Engleski LIKE 'dog*'Order By Hrvatski Desc", 1},
                             {"Select * From Vokabis where Engleski LIKE 'o''clock*'Order By Hrvatski Asc", 1},
                             {"Select * from Vokabis where Engleski LIKE '*'", 5}, // Null never matches
                             {"Select * From Vokabis Order By Engleski Asc", 6}, {"Select * From OrderByEngleski", 6}})
        EXPECT_EQ(d.Count(sql), rows) << sql;
    EXPECT_THROW(d.Count("Select * from Vokabis where Engleski LIKE '[ab*'"), db::EngineError);
}

// The file holds no readable word, a wrong key writes nothing, and the file and its logs are
// readable by the owner only.
TEST(Database, FileIsEncryptedKeyedAndPrivate) {
    const mode_t old = ::umask(022);
    TempDb t({{"umbrella", "kišobran"}});
    {
        auto open = t.Open();
        ::umask(old);
        for (const char* suffix : {"", "-wal", "-shm"}) {
            const fs::path p = t.path.string() + suffix;
            ASSERT_TRUE(fs::exists(p)) << p;
            EXPECT_EQ(fs::status(p).permissions(), fs::perms::owner_read | fs::perms::owner_write) << p;
        }
    }
    const std::string bytes = Slurp(t.path);
    EXPECT_EQ(bytes.find("umbrella"), std::string::npos);
    EXPECT_EQ(bytes.find("Vokabis"), std::string::npos);
    EXPECT_THROW(db::Database(t.path, "pogresna", false), db::EngineError);
    EXPECT_EQ(Slurp(t.path), bytes);
    EXPECT_EQ(t.Count(), 1);
}

// Nothing is written to a file that is not already a dictionary, and nothing is created
// beside it: a missing file, an empty one, a link to a device, a folder, another layout.
TEST(Database, WhatIsNotADictionaryIsNeitherOpenedNorWrittenTo) {
    for (const std::string c : {"missing", "empty", "device", "folder", "no pairs table"}) {
        TempDir dir;
        const fs::path file = dir / "d.mdb", opened = c == "device" ? fs::path(dir / "link") : file;
        fs::remove("/dev/zero-journal");
        if (c == "empty") std::ofstream(file, std::ios::binary).flush();
        if (c == "device") fs::create_symlink("/dev/zero", opened);
        if (c == "folder") fs::create_directory(file);
        if (c == "no pairs table") db::Database(file, db::kPassword, true).Exec("CREATE TABLE Drugo (x)");
        const std::string before = fs::is_regular_file(file) ? Slurp(file) : "";
        std::string message;
        try {
            db::Database d(opened, db::kPassword, false);
            ADD_FAILURE() << c << " was opened";
        } catch (const db::EngineError& e) {
            message = e.what();
        }
        EXPECT_NE(message.find(opened.string()), std::string::npos) << c << ": " << message; // names the file
        EXPECT_EQ(fs::exists(file), c != "missing" && c != "device") << c;
        if (fs::is_regular_file(file)) {
            EXPECT_TRUE(Slurp(file) == before) << c;
        }
        for (const char* beside : {"-journal", "-wal", "-shm"})
            EXPECT_FALSE(fs::exists(file.string() + beside) || fs::exists(opened.string() + beside)) << c << beside;
        EXPECT_FALSE(fs::exists("/dev/zero-journal")) << c;
    }
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

// A transaction inside another: a failure caught inside takes back only the inner part's work,
// an inner part that commits is kept or taken back with the outer one.
TEST(Database, ATransactionInsideAnotherIsAllOrNothingOnItsOwn) {
    TempDb t;
    auto d = t.Open();
    {
        db::Transaction outer(d.handle());
        d.AddPair("kept", "zadržan");
        try {
            db::Transaction inner(d.handle());
            d.AddPair("half", "pola");
            throw std::runtime_error("inner failure");
        } catch (const std::runtime_error&) {
        }
        {
            db::Transaction inner(d.handle());
            d.AddPair("inner", "unutra");
            inner.Commit();
        }
        outer.Commit();
    }
    EXPECT_EQ(t.Pairs(), (Rows{{"kept", "zadržan"}, {"inner", "unutra"}}));
    {
        db::Transaction outer(d.handle());
        db::Transaction inner(d.handle());
        d.AddPair("gone", "nestao");
        inner.Commit();
    } // the outer one never commits
    EXPECT_EQ(t.Count(), 2);
    EXPECT_TRUE(sqlite3_get_autocommit(d.handle())) << "no transaction left open";
}

// A statement whose rows ran out is not started over by another step (the engine would give its
// rows again, and a reader of ids would take them twice); moved, it keeps where it was.
TEST(Database, AFinishedStatementGivesNoRowsUntilItIsResetAndMovesWithItsPlace) {
    TempDb t({{"a", "a"}, {"b", "b"}});
    auto d = t.Open();
    db::Statement s(d.handle(), "SELECT Engleski FROM Vokabis ORDER BY Id");
    ASSERT_TRUE(s.Step());
    db::Statement moved(std::move(s));
    ASSERT_TRUE(moved.Step());
    EXPECT_EQ(db::CStr(moved.Column(0)), "b");
    EXPECT_FALSE(moved.Step());
    EXPECT_FALSE(moved.Step());
    EXPECT_TRUE(moved.Finished());
    moved.Reset();
    ASSERT_TRUE(moved.Step());
    EXPECT_EQ(db::CStr(moved.Column(0)), "a");
}
