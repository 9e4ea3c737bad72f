#include "common/Modal.h"
#include "common/ProgramFolder.h"

#include "app/Safety.h"
#include "app/Session.h"
#include "app/Startup.h"
#include "db/Counts.h"
#include "dictionary/MainWindow.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <random>
#include <thread>

namespace {
int VisibleWindows() {
    int n = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) n += w->isVisible() ? 1 : 0;
    return n;
}
} // namespace

TEST(StartupWindow, AGoodFileShowsTheMainWindowAndClosingItEndsTheRun) {
    ProgramFolder f;
    QPointer<MainWindow> w = StartUp(f.app());
    ASSERT_TRUE(w);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->objectName(), "Form4");
    EXPECT_EQ(w->windowTitle(), "Englesko-hrvatski i hrvatsko-engleski vokabis");
    EXPECT_EQ(Module1::SettingsRs, nullptr);
    w->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(w.isNull());
}

TEST(StartupWindow, AFileThatCannotBeOpenedGivesOneErrorBoxAndNoWindow) {
    struct Case {
        const char* name;
        const char* expect; // a phrase the user must be told
    };
    for (const Case& c : {Case{"missing", "ne postoji"}, Case{"garbage", "nije baza"},
                          Case{"other password", "Lozinka"}, Case{"no settings row", "nema traženog zapisa"},
                          Case{"truncated", "nije baza"}, Case{"plain sqlite", "nije baza"}}) {
        const std::string name = c.name;
        ProgramFolder f(name != "missing" && name != "plain sqlite", name == "other password" ? "Druga" : db::kPassword);
        if (name == "garbage") std::ofstream(f.path, std::ios::binary) << std::string(4096, 'x');
        if (name == "truncated") fs::resize_file(f.path, 1000); // cut inside the first page
        if (name == "plain sqlite") { // a file without a key: readable by anyone, not ours
            db::Database plain(f.path.string(), "", true);
            plain.CreateSchema();
        }
        if (name == "no settings row") f.Exec("DELETE FROM Postavke");
        const std::string before = Slurp(f.path);
        SeenBox seen;
        AnswerBox(&seen);
        EXPECT_EQ(StartUp(f.app()), nullptr) << name;
        EXPECT_EQ(seen.title, "Pogreška") << name;
        EXPECT_EQ(seen.icon, QMessageBox::Critical) << name;
        EXPECT_TRUE(seen.text.contains(QString::fromUtf8(c.expect))) << name << ": " << seen.text.toStdString();
        EXPECT_EQ(VisibleWindows(), 0) << name;
        EXPECT_EQ(Slurp(f.path), before) << name; // nothing written, nothing created
        EXPECT_EQ(fs::exists(f.path), name != "missing") << name;
        EXPECT_EQ(Module1::DictDb, nullptr) << name;
    }
}

TEST(StartupWindow, ARunThatChangedTheDictionaryLeavesABackupOfItBehind) {
    struct Case {
        const char* name;
        const char* change; // on the list's connection (pairs) or the settings one
        bool settingsConnection, exitCommand, damaged = false;
    };
    const char* const pair = "INSERT INTO Vokabis (Engleski, Hrvatski) VALUES ('ink', 'tinta')";
    for (const Case& c : {Case{"nothing changed", nullptr, false, true}, Case{"a pair, Završi rad", pair, false, true},
                          Case{"settings, close box", "UPDATE Postavke SET BrojRedova = 33", true, false},
                          Case{"a pair, then the file found damaged", pair, false, true, true}}) {
        ProgramFolder f;
        MainWindow* w = StartUp(f.app());
        ASSERT_TRUE(w) << c.name;
        Session session(w);
        if (c.change) (c.settingsConnection ? *Module1::DictDb : *w->Data1.database()).Exec(c.change);
        if (c.damaged) db::RefuseWrites("Datoteka rječnika je oštećena.");
        if (c.exitCommand) w->cmdIzlaz->click();
        else w->close();
        const QString backup = session.End();
        db::RefuseWrites("");
        // A file found damaged is not copied: its copy would push a good backup out of the ten.
        EXPECT_EQ(fs::exists(f.dir / "Data/Backup"), c.change != nullptr && !c.damaged) << c.name;
        if (!c.change || c.damaged) continue;
        EXPECT_TRUE(QFileInfo(backup).fileName().contains(QRegularExpression("^Vokabis-\\d{4}-\\d\\d-\\d\\d-\\d{6}\\.mdb$")))
            << backup.toStdString();
        db::Database copy(backup.toStdString(), db::kPassword);
        EXPECT_EQ(copy.Count("Select * From Vokabis Where Engleski = 'ink'"), c.settingsConnection ? 0 : 1) << c.name;
        EXPECT_EQ(copy.Count("Select * From Postavke Where BrojRedova = 33"), c.settingsConnection ? 1 : 0) << c.name;
    }
}

// A damaged file: either start-up refuses it, or the window opens and the first report of the
// damage (the background check or a row that cannot be read) gives one message with the remedy;
// the dictionary is then only read, and no row shows as an empty pair.
TEST(StartupWindow, ADamagedFileIsReportedOnceAndThenOnlyRead) {
    struct Case {
        const char* name;
        std::function<void(const fs::path&)> damage;
    };
    auto overwrite = [](const fs::path& p, std::uintmax_t at, const std::string& bytes) {
        std::fstream f(p, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(std::streamoff(at));
        f.write(bytes.data(), std::streamsize(bytes.size()));
    };
    const Case cases[] = {
        {"64 zero bytes at 1500", [&](const fs::path& p) { overwrite(p, 1500, std::string(64, '\0')); }},
        {"bytes changed mid-file", [&](const fs::path& p) { overwrite(p, fs::file_size(p) / 2, "VOKABIS"); }},
        {"bytes changed in the last page", [&](const fs::path& p) { overwrite(p, fs::file_size(p) - 512, "VOKABIS"); }},
        {"cut mid-page", [](const fs::path& p) { fs::resize_file(p, fs::file_size(p) - 1536); }},
        // Every page reads, but an index no longer matches its table (as when a log of another
        // file was taken in): only a check that compares them can see it.
        {"an index out of step with its table",
         [](const fs::path& p) {
             sqlite3* raw = nullptr;
             sqlite3_open_v2(p.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
             sqlite3_key(raw, db::kPassword, int(std::strlen(db::kPassword)));
             db::RegisterFunctions(raw);
             sqlite3_create_function(raw, "vokabis_fold", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                     [](sqlite3_context* ctx, int, sqlite3_value**) { sqlite3_result_blob(ctx, "x", 1, SQLITE_STATIC); },
                                     nullptr, nullptr);
             db::ExecSql(raw, "UPDATE Vokabis SET Engleski = Engleski || 'x' WHERE Id % 7 = 0");
             sqlite3_close(raw);
         }},
    };
    for (const Case& c : cases) {
        ProgramFolder f;
        f.AddPairs(ManyPairs(4000));
        c.damage(f.path);
        QPointer<MainWindow> w;
        SeenBox seen;
        int boxes = 0;
        {
            AutoAnswer answer; // every box, however deep in nested loops it opens
            w = StartUp(f.app());
            for (int i = 0; i < 500 && w && db::WritesRefusedReason().empty(); ++i) QTest::qWait(10);
            QTest::qWait(200);
            seen = answer.last;
            boxes = answer.boxes;
        }
        EXPECT_EQ(seen.title, "Pogreška") << c.name;
        EXPECT_TRUE(seen.text.contains("oštećena") || seen.text.contains("nije rječnik")) << c.name << ": "
                                                                                         << seen.text.toStdString();
        if (!w) continue; // refused at start-up, as a file that is not a dictionary is
        EXPECT_EQ(boxes, 1) << c.name;
        if (db::WritesRefusedReason().empty()) {
            ADD_FAILURE() << c.name << ": still writable";
            delete w;
            continue;
        }
        EXPECT_TRUE(seen.text.contains("vokabis-db restore")) << c.name << ": " << seen.text.toStdString();
        const std::string before = Slurp(f.path);
        w->cmdNova_Click();
        EXPECT_TRUE(w->StatusText().contains("samo za čitanje")) << c.name;
        auto* grid = w->findChild<QAbstractItemView*>("DBGrid1");
        for (int r = 0; r < grid->model()->rowCount(); r += 97)
            for (int col = 0; col < 2; ++col)
                EXPECT_FALSE(grid->model()->index(r, col).data().toString().isEmpty()) << c.name << " row " << r;
        EXPECT_TRUE(Slurp(f.path) == before) << c.name;
        delete w;
        db::SetDamageHandler(nullptr);
    }
}

// Counts that something wrote past (here: a total five short) must not hide pairs: the background
// check finds them wrong, the list is counted from the pairs, and the file gets them right again.
TEST(StartupWindow, WrongStoredCountsHideNoPairAndAreCountedAgain) {
    ProgramFolder f;
    f.AddPairs(ManyPairs(3000));
    f.Exec("UPDATE VokabisBrojevi SET Broj = Broj - 5 WHERE Polje IN ('', 'Engleski')");
    QPointer<MainWindow> w = StartUp(f.app());
    ASSERT_TRUE(w);
    for (int i = 0; i < 500 && w->Text3->text() != "3000"; ++i) QTest::qWait(10);
    EXPECT_EQ(w->Text3->text(), "3000");
    EXPECT_EQ(w->Data1.recordset().RowCount(), 3000);
    QTest::keyClicks(w->txtNadjiEngleski, "w");
    EXPECT_EQ(w->Text3->text(), "3000");
    delete w;
    StopWatchingDictionary();
    EXPECT_TRUE(db::CountsMatch(f.Open().handle()));
}

// Damage the whole-file check finds, in pages a new pair does not touch: a pair saved the moment
// the window is up, before the check has ended, must not go into the damaged file. The write
// waits for the check's verdict and is then refused.
TEST(StartupWindow, NoPairIsWrittenIntoADamagedFileBeforeTheCheckHasSpoken) {
    ProgramFolder f;
    f.AddPairs(ManyPairs(20000));
    {
        std::fstream file(f.path, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(std::streamoff(fs::file_size(f.path) / 3));
        file.write("VOKABIS", 7);
    }
    AutoAnswer answer;
    QPointer<MainWindow> w = StartUp(f.app());
    ASSERT_TRUE(w);
    db::Recordset& list = w->Data1.recordset();
    const int refused = ErrorCode([&] {
        list.AddNew();
        list.SetField("Engleski", std::string("ink"));
        list.SetField("Hrvatski", std::string("tinta"));
        list.Update();
    });
    EXPECT_NE(refused, 0) << "a pair went into the damaged file";
    EXPECT_FALSE(db::WritesRefusedReason().empty());
    delete w;
    StopWatchingDictionary();
    db::SetDamageHandler(nullptr);
    db::RefuseWrites("");
}

// The background check stopped at any moment, also while it is failing on a damaged file and
// closing its connection (run under scripts/test-sanitizers, AddressSanitizer and the thread
// checks name any use of what the check's thread owns).
TEST(StartupWindow, TheBackgroundCheckCanBeStoppedAtAnyMoment) {
    ProgramFolder f;
    f.AddPairs(ManyPairs(4000));
    Module1::OpenDictionaryAndReadSettings(f.app());
    ASSERT_TRUE(Module1::DictDb);
    AutoAnswer answer; // the damage is told in a message box
    std::mt19937 rng(24);
    for (const bool damaged : {false, true}) {
        if (damaged) { // the check's own connection then fails as it reads the schema
            std::fstream file(f.path, std::ios::in | std::ios::out | std::ios::binary);
            file.seekp(100);
            file.write("VOKABIS VOKABIS VOKABIS", 23);
        }
        for (int i = 0; i < 60; ++i) {
            WatchDictionary();
            QCoreApplication::processEvents(); // the check starts with the event loop
            std::this_thread::sleep_for(std::chrono::microseconds(rng() % 3000));
            StopWatchingDictionary();
        }
    }
    db::SetDamageHandler(nullptr);
    db::RefuseWrites("");
    Module1::DictDb.reset();
    SUCCEED(); // the failure this looks for is a crash or a sanitizer's report
}
