// The backup folder as the vokabis-db tool leaves it: which copies are kept, what a killed
// backup leaves behind, what the folder's file system cannot do.
#include "common/Mount.h"
#include "common/TempFiles.h"
#include "db/Backup.h"
#include "db/Files.h"
#include "tools/RunTool.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

std::string Line(const std::string& out) { return out.substr(0, out.find('\n')); }
std::string Name(const std::string& out) { return fs::path(Line(out)).filename().string(); }
bool Has(const std::vector<std::string>& names, const std::string& n) {
    return std::find(names.begin(), names.end(), n) != names.end();
}
fs::perms Mode(const fs::path& p) { return fs::status(p).permissions(); }

struct Fd {
    int fd;
    ~Fd() { ::close(fd); }
};

} // namespace

TEST(Backup, TheCopiesKeptAreTheLastMadeWhateverTheClockSaid) {
    if (std::system("command -v faketime >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "faketime is not installed (scripts/setup installs it)";
    TempDir d;
    const std::string db = d / "d.mdb", good = d / "good.mdb";
    MakeDictionary(db, {{"now", "sada"}});
    MakeDictionary(good, {{"then", "tada"}});
    for (int i = 0; i < 10; ++i) ASSERT_EQ(Tool("backup " + db, "faketime -f '+365d x1'").rc, 0); // the clock was ahead
    std::vector<std::string> made;
    for (int i = 0; i < 3; ++i) {
        const Result r = Tool("backup " + db);
        ASSERT_EQ(r.rc, 0) << r.out;
        made.push_back(Name(r.out));
    }
    for (const std::string& n : made) EXPECT_TRUE(Has(Copies(d / "Backup"), n)) << n << " was pruned";
    const Result restored = Tool("restore " + good + " " + db);
    ASSERT_EQ(restored.rc, 0) << restored.out;
    const std::string keptAs = "sačuvana je kao ";
    const size_t at = restored.out.find(keptAs);
    ASSERT_NE(at, std::string::npos) << restored.out;
    const std::string kept = Line(restored.out.substr(at + keptAs.size()));
    ASSERT_TRUE(fs::exists(kept)) << restored.out; // the copy it names is there
    EXPECT_EQ(ReadPairs(kept), (Rows{{"now", "sada"}}));
    made.push_back(fs::path(kept).filename().string());
    for (int i = 0; i < 2; ++i) { // and the clock set back: still the newest
        const Result r = Tool("backup " + db, "faketime -f '-365d x1'");
        ASSERT_EQ(r.rc, 0) << r.out;
        made.push_back(Name(r.out));
    }
    const auto copies = Copies(d / "Backup");
    EXPECT_EQ(copies.size(), 10u);
    for (const std::string& n : made) EXPECT_TRUE(Has(copies, n)) << n << " was pruned";
    for (const auto& n : d.Names("Backup")) // the order and the lock too
        EXPECT_EQ(Mode(d / ("Backup/" + n)), fs::perms::owner_read | fs::perms::owner_write) << n;
}

// Copies of an earlier version, which noted no order, and names no backup would make.
TEST(Backup, CopiesFromBeforeTheOrderWasNotedAreOlderAndNoNameStopsABackup) {
    TempDir d;
    const std::string db = d / "d.mdb";
    MakeDictionary(db, {{"dog", "pas"}});
    fs::create_directories(d / "Backup");
    for (int i = 0; i < 10; ++i) d.Write("Backup/d-2099-01-01-00000" + std::to_string(i) + ".mdb", "x");
    const std::string huge = "d-2024-01-01-120000-99999999999999999999.mdb", other = "d-2024-01-01-120000-x.mdb";
    d.Write("Backup/" + huge, "x");
    d.Write("Backup/" + other, "not a copy of ours");
    d.Write("Backup/.d.mdb.redoslijed", "\x01\xff garbage\nd-2000-01-01-000000.mdb\nd-2099-01-01-0000"); // torn
    std::vector<std::string> made;
    for (int i = 0; i < 2; ++i) {
        const Result r = Tool("backup " + db);
        ASSERT_EQ(r.rc, 0) << r.out;
        ASSERT_TRUE(fs::exists(Line(r.out))) << r.out; // reported made, and made
        made.push_back(Name(r.out));
    }
    const auto copies = Copies(d / "Backup");
    EXPECT_EQ(copies.size(), 11u) << "ten copies and the file that is not one";
    for (const std::string& n : made) EXPECT_TRUE(Has(copies, n)) << n;
    for (const std::string& gone : {huge, std::string("d-2099-01-01-000000.mdb"), std::string("d-2099-01-01-000001.mdb")})
        EXPECT_FALSE(Has(copies, gone)) << gone;
    EXPECT_TRUE(Has(copies, other));
}

TEST(Backup, PartialCopiesOfKilledBackupsGoFirstThoseBeingWrittenStay) {
    TempDir d;
    const std::string db = d / "d.mdb", folder = d / "Backup";
    MakeDictionary(db, ManyPairs(20000));
    fs::create_directories(folder);
    const Mount disk("-t tmpfs -o size=20m", "none", folder);
    if (!disk.ok) std::printf("No tmpfs could be mounted (not root?): the full disk is not tried.\n");
    ASSERT_GT(fs::file_size(db), 2u << 20); // more than the dead partial leaves free
    const std::string dead = folder + "/.d-2026-01-01-000000.mdb.novo", live = folder + "/.d-2026-01-01-000001.mdb.novo",
                      folderLikeOne = folder + "/.d-2026-01-01-000002.mdb.novo";
    std::ofstream(dead, std::ios::binary) << std::string(size_t(disk.ok ? 19 : 1) << 20, 'x');
    for (const char* beside : {"-wal", "-shm", "-journal"}) std::ofstream(dead + beside) << "x"; // killed as it was made whole
    const Fd held{::open(live.c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0600)}; // another backup is writing it
    ASSERT_EQ(::flock(held.fd, LOCK_EX), 0);
    fs::create_directory(folderLikeOne);
    const Result r = Tool("backup " + db + " " + folder);
    ASSERT_EQ(r.rc, 0) << r.out;
    for (const char* beside : {"", "-wal", "-shm", "-journal"}) EXPECT_FALSE(fs::exists(dead + beside)) << beside;
    EXPECT_TRUE(fs::exists(live));
    EXPECT_TRUE(fs::is_directory(folderLikeOne));
    EXPECT_EQ(db::Database(Line(r.out), db::kPassword).Count("Select Id From Vokabis"), 20000);
    if (!disk.ok) return;
    // A disk with no room: said so, and neither a copy nor a part of one left.
    std::ofstream(folder + "/filler", std::ios::binary) << std::string(size_t(16) << 20, 'x');
    const auto before = d.Names("Backup");
    const Result full = Tool("backup " + db + " " + folder);
    EXPECT_EQ(full.rc, 1);
    EXPECT_NE(full.out.find("disk je pun"), std::string::npos) << full.out;
    EXPECT_EQ(d.Names("Backup"), before);
}

// The library answers renameat2 with EINVAL; this test runs again in a child that loads it.
TEST(Backup, WhereRenameCannotRefuseToReplaceALinkPutsTheCopyInPlace) {
    const std::string preload = std::string("LD_PRELOAD=") + NO_RENAMEAT2;
    if (!std::getenv("VOKABIS_NO_RENAMEAT2")) {
        TempDir d;
        const std::string db = d / "d.mdb";
        MakeDictionary(db, {{"dog", "pas"}});
        for (int i = 0; i < 2; ++i) {
            const Result r = Tool("backup " + db, preload);
            ASSERT_EQ(r.rc, 0) << r.out;
            EXPECT_EQ(ReadPairs(Line(r.out)), (Rows{{"dog", "pas"}}));
        }
        EXPECT_EQ(Copies(d / "Backup").size(), 2u);
        for (const auto& n : d.Names("Backup")) EXPECT_FALSE(n.ends_with(".novo")) << n;
        const Result child = RunShell("VOKABIS_NO_RENAMEAT2=1 " + preload + " " + fs::read_symlink("/proc/self/exe").string() +
                                 " --gtest_filter=Backup.WhereRenameCannotRefuseToReplaceALinkPutsTheCopyInPlace");
        EXPECT_EQ(child.rc, 0) << child.out;
        EXPECT_NE(child.out.find("[  PASSED  ] 1 test"), std::string::npos) << child.out;
        return;
    }
    TempDir d;
    const std::string from = d.Write("from", "new"), taken = d.Write("taken", "old");
    ASSERT_NE(::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, (d / "x").c_str(), RENAME_NOREPLACE), 0);
    ASSERT_EQ(errno, EINVAL) << "the library is not loaded";
    EXPECT_EQ(db::files::RenameNoReplace(from, taken), db::files::Made::Exists);
    EXPECT_EQ(Slurp(taken), "old");
    EXPECT_EQ(Slurp(from), "new");
    EXPECT_EQ(db::files::RenameNoReplace(from, d / "free"), db::files::Made::Yes);
    EXPECT_EQ(Slurp(d / "free"), "new");
    EXPECT_FALSE(fs::exists(from));
}

TEST(Backup, AFailedBackupNamesTheCopyAndSaysInCroatianThatTheDictionaryIsDamaged) {
    TempDir d;
    const std::string damaged = d / "damaged.mdb", torn = d / "torn.mdb";
    MakeDictionary(damaged, ManyPairs(3000));
    fs::copy_file(damaged, torn);
    {
        std::fstream f(damaged, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(100000); // a page of pairs, past the ones the schema is read from
        f << std::string(64, 'x');
    }
    const Result r = Tool("backup " + damaged);
    EXPECT_EQ(r.rc, 1);
    EXPECT_NE(r.out.find("rječnik je oštećen"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find(".novo"), std::string::npos) << r.out; // the copy's own name, not the hidden one
    EXPECT_EQ(r.out.find("kod"), std::string::npos) << r.out;
    EXPECT_TRUE(NoEngineEnglish(r.out)) << r.out;
    if (fs::exists(d / "Backup")) {
        for (const auto& n : d.Names("Backup")) EXPECT_TRUE(n.ends_with(".brava") || n.ends_with(".redoslijed")) << n;
    }
    fs::resize_file(torn, 3000);
    const Result check = Tool("check " + torn);
    EXPECT_EQ(check.rc, 1);
    EXPECT_NE(check.out.find("oštećena"), std::string::npos) << check.out;
    EXPECT_EQ(check.out.find("vokabis-db check"), std::string::npos) << check.out; // it is the check
}

TEST(Backup, OnlyFoldersMadeForTheCopiesGetTheirModesAndNeverThroughALink) {
    TempDir d;
    const std::string db = d / "d.mdb";
    MakeDictionary(db, {{"dog", "pas"}});
    ASSERT_EQ(Tool("backup " + db + " " + d / "new/sub", "umask 000;").rc, 0);
    EXPECT_EQ(Mode(d / "new"), fs::perms(0755)); // a parent as for anyone
    EXPECT_EQ(Mode(d / "new/sub"), fs::perms(0700)); // the copies' own
    EXPECT_EQ(Copies(d / "new/sub").size(), 1u);
    ASSERT_EQ(Tool("backup " + db, "umask 000;").rc, 0);
    EXPECT_EQ(Mode(d / "Backup"), fs::perms(0700));
    fs::create_directories(d / "shared");
    fs::permissions(d / "shared", fs::perms::all | fs::perms::sticky_bit);
    fs::create_directories(d / "e");
    MakeDictionary(d / "e/d.mdb", {{"dog", "pas"}});
    fs::create_directory_symlink(d / "shared", d / "e/Backup");
    ASSERT_EQ(Tool("backup " + d / "e/d.mdb").rc, 0);
    EXPECT_EQ(Mode(d / "shared"), fs::perms::all | fs::perms::sticky_bit);
    EXPECT_EQ(Copies(d / "shared").size(), 1u);
}

// The exit backup copies the encrypted pages as they are, once the pairs still in the log are in
// the file; while another reader keeps the log from it, it copies through the engine. Either way
// the copy holds every committed pair and is one file on its own that the key opens.
TEST(Backup, PagesCopiedAsTheyAreHoldEveryCommittedPairAndStandAlone) {
    for (const bool readerHoldsTheLog : {false, true}) {
        TempDir d;
        const fs::path file = d / "d.mdb";
        MakeDictionary(file, ManyPairs(500));
        db::Database writer(file.string(), db::kPassword), reader(file.string(), db::kPassword);
        db::ExecSql(writer.handle(), "PRAGMA wal_autocheckpoint = 0");
        if (readerHoldsTheLog) { // a read begun before the pair below, and not ended
            db::ExecSql(reader.handle(), "BEGIN");
            db::Statement(reader.handle(), "SELECT count(*) FROM Vokabis").Step();
        }
        writer.AddPair("late", "kasno"); // stays in the log
        const std::string copy = db::MakeBackup(file.string(), db::kPassword, d / "B", 10, true);
        EXPECT_FALSE(fs::exists(copy + "-wal") || fs::exists(copy + "-shm")) << readerHoldsTheLog;
        sqlite3* raw = nullptr;
        ASSERT_EQ(sqlite3_open_v2(copy.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
        sqlite3_key(raw, db::kPassword, int(std::strlen(db::kPassword)));
        {
            db::Statement mode(raw, "PRAGMA journal_mode");
            ASSERT_TRUE(mode.Step());
            EXPECT_EQ(db::CStr(mode.Column(0)), "delete") << readerHoldsTheLog;
        }
        sqlite3_close(raw);
        // Pages copied as they are keep their bytes; the engine encrypts each page anew.
        EXPECT_EQ(Slurp(copy).substr(1024, 3072) == Slurp(file).substr(1024, 3072), !readerHoldsTheLog);
        EXPECT_EQ(ReadPairs(copy).size(), 501u) << readerHoldsTheLog;
    }
}
