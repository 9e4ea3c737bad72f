#include "common/Mount.h"
#include "common/ProgramFolder.h"

#include "db/DataSource.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

using namespace Module1;

namespace {
int StartupError(const QString& appPath, std::string* message = nullptr) {
    try {
        OpenDictionaryAndReadSettings(appPath);
    } catch (const db::EngineError& e) {
        if (message) *message = e.what();
        return e.number;
    }
    return 0;
}
} // namespace

TEST(Startup, OpensTheDictionaryResetsTheFlagsAndReadsTheSettings) {
    ProgramFolder f;
    f.Exec("UPDATE Postavke SET LeftM = 1.5, TopM = '0,8', XDesno = -0.25, YDolje = 2, MojFontIme = 'DejaVu Serif', "
           "VelicinaFonta = 12.5, MojFontItalic = -1, MojFontBold = 1, BrojRedova = 45, SortEng = 7 WHERE Id = 1");
    IsNewEntry = PrintAccepted = PrintAll = PrintCurrent = db::kTrue;
    PrintFrom = 3;
    PrintTo = 9;
    ASSERT_EQ(StartupError(f.app()), 0);
    EXPECT_EQ(std::tuple(IsNewEntry, PrintAccepted, PrintAll, PrintCurrent, PrintFrom, PrintTo),
              std::tuple(db::kFalse, db::kFalse, db::kFalse, db::kFalse, 0, 0));
    const SettingsRecord& s = Settings; // a half goes to the even neighbour; 1 is held as -1
    EXPECT_EQ(std::tuple(s.LeftM, s.TopM, s.XDesno, s.YDolje, s.MojFontIme.toStdString(), s.VelicinaFonta, s.MojFontItalic,
                         s.MojFontBold, s.BrojRedova, s.SortEng),
              std::tuple(1.5, 0.8, -0.25, 2.0, std::string("DejaVu Serif"), 12, db::kTrue, db::kTrue, 45, db::kTrue));
    EXPECT_EQ(SettingsRs, nullptr);
    ASSERT_TRUE(DictDb && DictDb->IsOpen());
    EXPECT_EQ(db::DBEngine().KeyFor(DatabasePath(f.app()).toStdString()), "KamenPlavetni");
}

// A bad settings row stops start-up, says which field, and leaves nothing open.
TEST(Startup, ABadSettingsRowStopsStartupAndSaysWhichField) {
    struct Case {
        const char* sql;
        int code;
        const char* expect;
    };
    for (const Case& c : {Case{"UPDATE Postavke SET MojFontIme = NULL", 94, "MojFontIme"},
                          Case{"UPDATE Postavke SET LeftM = 'lijevo'", 13, "LeftM"},
                          Case{"UPDATE Postavke SET BrojRedova = 40000", 6, "BrojRedova"},
                          Case{"UPDATE Postavke SET Id = 2", db::kNoCurrentRecord, "\"Postavke\" nema traženog zapisa"},
                          Case{"DROP TABLE Postavke", db::kNoSuchTable, "nema tablice \"Postavke\""},
                          Case{"UPDATE Postavke SET SortEng = NULL", 0, ""}}) { // Null reads as false
        ProgramFolder f;
        f.Exec(c.sql);
        std::string message;
        EXPECT_EQ(StartupError(f.app(), &message), c.code) << c.sql;
        EXPECT_NE(message.find(c.expect), std::string::npos) << message;
        EXPECT_EQ(SettingsRs, nullptr) << c.sql;
        EXPECT_TRUE(c.code || Settings.SortEng == db::kFalse);
    }
}

namespace {
// An installed program: bin/ without Data/, the starter and the help page in share/vokabis,
// and a user whose data folder is inside the same temporary tree.
struct InstalledProgram : TempDir {
    fs::path root = dir, starter = root / "share/vokabis/Vokabis.mdb", user = root / "home/.local/share/vokabis/Data/Vokabis.mdb";
    InstalledProgram() {
        fs::create_directories(root / "bin");
        MakeDictionary(starter, {{"umbrella", "kišobran"}});
        QCoreApplication::setApplicationName("vokabis");
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString((root / "home/.local/share").string()));
    }
    ~InstalledProgram() {
        CloseDictionary();
        qunsetenv("XDG_DATA_HOME");
    }
    QString bin() const { return QString::fromStdString((root / "bin").string()); }
};
} // namespace

TEST(Layout, APortableFolderKeepsEverythingBesideTheProgram) {
    InstalledProgram installed; // a user data folder exists, and must not be used
    ProgramFolder f;
    ASSERT_EQ(StartupError(f.app()), 0);
    EXPECT_EQ(DictPath, f.app() + "/Data/Vokabis.mdb");
    EXPECT_EQ(HelpPath, f.app() + "/Help/index.htm");
    EXPECT_FALSE(fs::exists(installed.user.parent_path()));
}

TEST(Layout, TheFirstStartOfAnInstalledProgramCopiesTheStarterPrivately) {
    InstalledProgram p;
    const mode_t old = ::umask(022);
    OpenDictionaryAndReadSettings(p.bin());
    ::umask(old);
    EXPECT_EQ(DictPath.toStdString(), p.user.string());
    EXPECT_EQ(HelpPath.toStdString(), (p.root / "share/vokabis/Help/index.htm").string());
    EXPECT_EQ(DictDb->Count("Select * From Vokabis"), 1);
    EXPECT_EQ(fs::status(p.user).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    for (const auto& e : fs::directory_iterator(p.user.parent_path())) // no temporary copy is left
        EXPECT_EQ(e.path().filename().string().rfind(".Vokabis", 0), std::string::npos) << e.path();
    DictDb->Exec("INSERT INTO Vokabis (Engleski, Hrvatski) VALUES ('dog', 'pas')");
    CloseDictionary();
    OpenDictionaryAndReadSettings(p.bin()); // the next start opens the user's file as it is
    EXPECT_EQ(DictDb->Count("Select * From Vokabis"), 2);
    EXPECT_EQ(ReadPairs(p.starter).size(), 1u);
}

// Going back to the starter by deleting one's file after a run that was killed: the new copy
// must not take in the old file's log.
TEST(Layout, TheStartersCopyNeverTakesInALogLeftBesideIt) {
    InstalledProgram p;
    fs::create_directories(p.user.parent_path());
    PlantStrayLog(p.user);
    const std::string stray = Slurp(p.user.string() + "-wal");
    OpenDictionaryAndReadSettings(p.bin());
    EXPECT_EQ(IntegrityOf(*DictDb), "ok");
    EXPECT_EQ(DictDb->Count("Select * From Vokabis"), 1);
    std::string kept;
    for (const auto& e : fs::directory_iterator(p.user.parent_path()))
        if (e.path().filename().string().rfind("Vokabis.mdb-wal-ostatak-", 0) == 0 && Slurp(e.path()) == stray)
            kept = e.path().string();
    EXPECT_FALSE(kept.empty());
    EXPECT_TRUE(StartupNotice.contains(QString::fromStdString(kept))) << StartupNotice.toStdString();
}

TEST(Layout, AnInstalledProgramThatCannotMakeTheUsersFileSaysWhyInCroatian) {
    struct Case {
        const char* name;
        const char* expect;
    };
    for (const Case& c : {Case{"no starter", "Početni rječnik"}, Case{"data folder is a file", "Mapa za vaš rječnik"}}) {
        InstalledProgram p;
        const std::string name = c.name;
        if (name == "no starter") fs::remove(p.starter);
        if (name == "data folder is a file") { // even root cannot make a folder under a file
            fs::create_directories(p.root / "home/.local/share");
            std::ofstream(p.root / "home/.local/share/vokabis") << "x";
        }
        std::string message;
        EXPECT_EQ(StartupError(p.bin(), &message), 3024) << name;
        EXPECT_NE(message.find(c.expect), std::string::npos) << name << ": " << message;
        EXPECT_FALSE(fs::exists(p.user)) << name;
        EXPECT_EQ(DictDb, nullptr) << name;
    }
}

// A dictionary whose file and folder cannot be written (checked as an ordinary user, for whom
// permissions hold) opens read-only: words can be looked up, nothing is written, nothing is
// created beside it, and the reason names the file.
TEST(Startup, ADictionaryThatCannotBeWrittenOpensReadOnly) {
    ProgramFolder f;
    f.AddPairs({{"ant", "mrav"}, {"bee", "pčela"}});
    const fs::path data = f.dir / "Data";
    fs::permissions(f.path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    fs::permissions(data, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                              fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    const pid_t child = ::fork();
    if (child == 0) { // the engine and start-up only: no window in a forked process
        if (::getuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(90);
        int failed = 0;
        auto expect = [&](bool ok, int bit) { failed |= ok ? 0 : 1 << bit; };
        try {
            OpenDictionaryAndReadSettings(f.app());
            expect(ReadOnlyReason.contains(QString::fromStdString(data.string())), 0);
            db::DataSource list;
            list.DatabaseName = DatabasePath(f.app()).toStdString();
            list.RecordSource = "OrderByEngleski";
            list.ReadOnly = true;
            list.Refresh();
            expect(list.recordset().RowCount() == 2, 1);
            expect(ErrorCode([&] { list.recordset().Delete(); }) == db::kWritesRefused, 2);
            expect(ErrorCode([&] {
                       auto rs = DictDb->OpenTable("Postavke");
                       rs->SetIndex("PrimaryKey");
                       rs->Seek("=", db::Value(1LL));
                       rs->Edit();
                   }) == db::kWritesRefused, 3);
        } catch (const std::exception&) {
            failed |= 1 << 4;
        }
        ::_exit(failed);
    }
    int status = -1;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "failed checks, one bit each";
    for (const char* beside : {"-journal", "-wal", "-shm"}) EXPECT_FALSE(fs::exists(f.path.string() + beside)) << beside;
    EXPECT_EQ(f.Count(), 2);
    fs::permissions(data, fs::perms::owner_all, fs::perm_options::add);
}

// A pair a killed run committed lies only in the -wal; started from a read-only medium (or a copy
// of the folder there) the program still shows it.
TEST(Startup, APairCommittedToTheLogIsShownFromAReadOnlyMedium) {
    ProgramFolder f;
    f.AddPairs({{"dog", "pas"}});
    SaveAndDie(f.path, "log", "dnevnik");
    ReadOnlyView view(f.dir, f.dir.parent_path() / (f.dir.filename().string() + "-ro"));
    if (!view.ok) GTEST_SKIP() << "a read-only bind mount needs root";
    ASSERT_EQ(StartupError(QString::fromStdString(view.at.string())), 0);
    EXPECT_TRUE(ReadOnlyReason.contains("samo čitati")) << ReadOnlyReason.toStdString();
    EXPECT_EQ(DictDb->Count("Select * From Vokabis Where Engleski = 'log'"), 1);
    CloseDictionary();
    db::RefuseWrites("");
}

// A disk with no room left at start-up, for a new file or after pairs were added until it was
// full: the user is told that the disk is full and can look words up, the file is never called
// damaged, and a fresh file gets none of the engine's working files beside it.
TEST(Startup, AFullDiskOpensReadOnlyAndIsNeverReportedAsADamagedFile) {
    for (const bool pairsAdded : {false, true}) {
        ProgramFolder f;
        const fs::path saved = f.dir / "saved.mdb";
        fs::copy_file(f.path, saved);
        Mount disk(pairsAdded ? "-t tmpfs -o size=20m" : "-t tmpfs -o size=2m", "none", f.dir / "Data");
        if (!disk.ok) GTEST_SKIP() << "a small tmpfs needs root";
        fs::copy_file(saved, f.path);
        if (pairsAdded) FillUntilFull(f.path);
        else std::system(("dd if=/dev/zero of='" + f.dir.string() + "/Data/fill' bs=1k count=4096 2>/dev/null").c_str());
        std::string error;
        EXPECT_EQ(StartupError(f.app(), &error), 0) << error;
        EXPECT_TRUE(ReadOnlyReason.contains("pun")) << ReadOnlyReason.toStdString();
        const long long pairs = DictDb ? DictDb->Count("Select * From Vokabis") : -1;
        EXPECT_TRUE(pairsAdded ? pairs > 0 : pairs == 0) << pairs;
        CloseDictionary();
        for (const char* beside : {"-journal", "-wal", "-shm"})
            EXPECT_TRUE(pairsAdded || !fs::exists(f.path.string() + beside)) << beside;
        db::RefuseWrites("");
    }
}

// Under any umask, the folders made for a new user's dictionary are the program's own (0700) or
// standard ones that follow the umask as other programs' do; folders that existed keep their mode.
TEST(Startup, FoldersMadeForTheUsersDictionaryAreNeverOpenToEveryone) {
    for (const mode_t mask : {mode_t(0), mode_t(022), mode_t(077)}) {
        InstalledProgram p;
        fs::create_directories(p.root / "home");
        fs::permissions(p.root / "home", fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
        const mode_t old = ::umask(mask);
        const int rc = StartupError(p.bin());
        ::umask(old);
        ASSERT_EQ(rc, 0) << mask;
        const auto standard = fs::perms(0755 & ~mask);
        EXPECT_EQ(fs::status(p.root / "home").permissions(), fs::perms(0750)) << mask;
        EXPECT_EQ(fs::status(p.root / "home/.local").permissions(), standard) << mask;
        EXPECT_EQ(fs::status(p.root / "home/.local/share").permissions(), standard) << mask;
        EXPECT_EQ(fs::status(p.root / "home/.local/share/vokabis").permissions(), fs::perms::owner_all) << mask;
        EXPECT_EQ(fs::status(p.user.parent_path()).permissions(), fs::perms::owner_all) << mask;
    }
}
