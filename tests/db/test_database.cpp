#include "db/Database.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

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
