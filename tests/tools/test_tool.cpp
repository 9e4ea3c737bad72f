// The vokabis-db tool, run as a user runs it, on real files.
#include "common/Child.h"
#include "common/Mount.h"
#include "common/TempFiles.h"
#include "tools/RunTool.h"

#include "db/Recordset.h"
#include "tools/Formats.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <random>

namespace {
using Dir = TempDir;
const auto Read = ReadPairs;
const auto Make = [](const std::string& file, const Rows& rows) { MakeDictionary(file, rows); };
} // namespace

TEST(Tool, TsvAndCsvComeBackByteForByte) {
    Dir d;
    const std::string tsv = "umbrella\tkišobran\n o'clock \t sat \nČ\tč\n\"quoted\"\t\"navodnici\"\n";
    const std::string csv = "plain,obično\n\"a, b\",x\ty\n\"say \"\"hi\"\"\",\"dva\nreda\"\n  spaces  ,ž\n";
    for (auto [name, text] : {std::pair{"in.tsv", tsv}, {"in.csv", csv}}) {
        const std::string file = d.Write(name, text), db = d / "d.mdb";
        fs::remove(db);
        ASSERT_EQ(Tool("create " + db + " --from " + file).rc, 0) << name;
        const std::string out = d / ("out" + fs::path(name).extension().string());
        ASSERT_EQ(Tool("export " + db + " " + out).rc, 0);
        EXPECT_EQ(Slurp(out), text) << name;
    }
    EXPECT_EQ(Tool("stats " + d / "d.mdb").out.find("Parova riječi: 4"), 0u);
    // An editor's byte order mark is not part of the first word.
    fs::remove(d / "d.mdb");
    ASSERT_EQ(Tool("create " + d / "d.mdb" + " --from " + d.Write("bom.csv", "\xEF\xBB\xBF" "aaa,bbb\n")).rc, 0);
    EXPECT_EQ(Read(d / "d.mdb"), (Rows{{"aaa", "bbb"}}));
}

// Random terms with everything that has a meaning in TSV or CSV, and a byte order mark leading
// the very first term: CSV brings every one back; TSV either brings them back or refuses whole.
TEST(Tool, EveryStoredTermComesBackFromItsExport) {
    Dir d;
    std::mt19937 rng(15);
    const std::vector<std::string> pieces = {"a", "Ž", "đ", "\t", "\n", "\r", "\r\n", "\"", ",", std::string(1, '\0'),
                                             "\xEF\xBB\xBF", "\\", " ", "'", "\x01", "\xF0\x9F\x98\x80", "\"\""};
    auto term = [&] {
        std::string t;
        for (int n = int(rng() % 6); n > 0; --n) t += pieces[rng() % pieces.size()];
        return t;
    };
    Rows all, tsvSafe;
    for (int i = 0; i < 400; ++i) all.emplace_back(term(), term());
    all[0].first = "\xEF\xBB\xBF" + all[0].first;
    for (const auto& r : all)
        if (tools::FitsTsv(r.first) && tools::FitsTsv(r.second)) tsvSafe.push_back(r);
    ASSERT_LT(tsvSafe.size(), all.size());
    tsvSafe[0].first = "\xEF\xBB\xBF" "x\x02";
    for (auto [rows, ext] : {std::pair{all, ".csv"}, {tsvSafe, ".tsv"}}) {
        const std::string db = d / (std::string("in") + ext + ".mdb"), out = d / (std::string("out") + ext);
        Make(db, rows);
        const Result r = Tool("export " + db + " " + out);
        ASSERT_EQ(r.rc, 0) << r.out;
        ASSERT_EQ(Tool("create " + d / (std::string("back") + ext + ".mdb") + " --from " + out).rc, 0) << ext;
        EXPECT_EQ(Read(d / (std::string("back") + ext + ".mdb")), rows) << ext;
    }
    const Result refused = Tool("export " + d / "in.csv.mdb" + " " + d / "all.tsv");
    EXPECT_EQ(refused.rc, 1);
    EXPECT_NE(refused.out.find("Izvezite u CSV"), std::string::npos) << refused.out;
    EXPECT_NE(refused.out.find("(Id "), std::string::npos) << refused.out;
    EXPECT_FALSE(fs::exists(d / "all.tsv"));
    EXPECT_EQ(Tool("export " + d / "in.csv.mdb").out.find("Izvoz odbijen"), 0u); // nor half a list on stdout
}

TEST(Tool, AnExportNeverWritesOverTheDictionaryNorLeavesAHalfFile) {
    Dir d;
    const std::string db = d / "d.mdb";
    ASSERT_EQ(Tool("create " + db + " --from " + d.Write("ok.tsv", "dog\tpas\n")).rc, 0);
    fs::create_symlink(db, d / "link.tsv");
    fs::create_hard_link(db, d / "hard.tsv");
    const std::string dictionary = Slurp(db);
    for (const std::string& target : {db, d / "link.tsv", d / "hard.tsv", db + "-wal", d / "./d.mdb"}) {
        const Result r = Tool("export " + db + " " + target + " --force");
        EXPECT_EQ(r.rc, 1) << target;
        EXPECT_NE(r.out.find("sama datoteka rječnika"), std::string::npos) << r.out;
        EXPECT_EQ(Slurp(db), dictionary) << target;
    }
    const std::string old = d.Write("old.csv", "keep,me\n");
    EXPECT_EQ(Tool("export " + db + " " + old).rc, 1); // an existing target needs --force
    EXPECT_EQ(Slurp(old), "keep,me\n");
    d.Write("tab.tsv", "a\tb\n");
    db::Database(db, db::kPassword).AddPair("tab\there", "x");
    EXPECT_EQ(Tool("export " + db + " " + d / "tab.tsv" + " --force").rc, 1); // a failed export
    EXPECT_EQ(Slurp(d / "tab.tsv"), "a\tb\n");
    EXPECT_EQ(Tool("export " + db + " " + old + " --force").rc, 0);
    EXPECT_EQ(Slurp(old), "dog,pas\ntab\there,x\n");
    EXPECT_EQ(d.Names(), (std::vector<std::string>{"d.mdb", "d.mdb-shm", "d.mdb-wal", "hard.tsv", "link.tsv", "ok.tsv",
                                                   "old.csv", "tab.tsv"})); // no partial file left
}

TEST(Tool, CheckAndTheOtherReadersNeverWriteAndSayWhatIsWrongInCroatian) {
    Dir d;
    const std::string empty = d.Write("empty.mdb", ""), view = d / "noview.mdb", damaged = d / "damaged.mdb";
    ASSERT_EQ(Tool("create " + view).rc, 0);
    db::Database(view, db::kPassword).Exec("DROP VIEW OrderByEngleski");
    ASSERT_EQ(Tool("create " + damaged).rc, 0);
    const std::string counts = d / "counts.mdb";
    ASSERT_EQ(Tool("create " + counts).rc, 0);
    db::Database(counts, db::kPassword).Exec("UPDATE VokabisBrojevi SET Broj = Broj + 1");
    EXPECT_EQ(fs::status(damaged).permissions(), fs::perms::owner_read | fs::perms::owner_write); // private
    {
        std::fstream f(damaged, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(1500);
        f << std::string(64, 'x'); // inside the first encrypted page
    }
    for (const std::string command : {"check", "stats", "export", "backup", "import"}) {
        const Result r = Tool(command + " " + empty + (command == "import" ? " " + d.Write("p.tsv", "a\tb\n") : ""));
        EXPECT_EQ(r.rc, 1) << command;
        EXPECT_NE(r.out.find("nije rječnik"), std::string::npos) << command << ": " << r.out;
        EXPECT_EQ(r.out.find("u redu"), std::string::npos) << r.out; // no success before the failure
        EXPECT_TRUE(NoEngineEnglish(r.out)) << r.out;
        EXPECT_EQ(fs::file_size(empty), 0u) << command;
    }
    for (auto [file, says] :
         {std::pair{view, "OrderByEngleski nedostaje"}, {damaged, "oštećena"}, {counts, "ne odgovaraju parovima"}}) {
        const Result r = Tool("check " + file);
        EXPECT_EQ(r.rc, 1);
        EXPECT_NE(r.out.find(says), std::string::npos) << r.out;
        EXPECT_TRUE(NoEngineEnglish(r.out)) << r.out;
    }
}

// check opens the saved list as the program does: a list the program can show (however odd its
// text) passes, one the program cannot start on is named in Croatian.
TEST(Tool, CheckAgreesWithTheProgramAboutTheSavedList) {
    Dir d;
    const std::string odd = d / "odd.mdb", keyless = d / "keyless.mdb";
    for (const auto& [file, body] :
         {std::pair{odd, "SELECT * FROM Vokabis /*" + std::string(50000, 'k') + "*/ ORDER BY Engleski"},
          {keyless, std::string("SELECT Engleski, Hrvatski FROM Vokabis ORDER BY Engleski")}}) {
        ASSERT_EQ(Tool("create " + file + " --from " + d.Write("p.tsv", "dog\tpas\ncat\tmačka\n")).rc, 0);
        db::Database(file, db::kPassword).Exec("DROP VIEW OrderByEngleski; CREATE VIEW OrderByEngleski AS " + body);
        ASSERT_NO_THROW(db::Database(file, db::kPassword).OpenRecordset("Select * From Vokabis")); // the rows are fine
    }
    const Result good = Tool("check " + odd);
    EXPECT_EQ(good.rc, 0) << good.out;
    EXPECT_NE(good.out.find("Spremljeni upit OrderByEngleski: u redu"), std::string::npos) << good.out;
    ASSERT_THROW(db::Database(keyless, db::kPassword).OpenRecordset("OrderByEngleski"), db::EngineError);
    const Result bad = Tool("check " + keyless);
    EXPECT_EQ(bad.rc, 1) << bad.out;
    EXPECT_NE(bad.out.find("OrderByEngleski nedostaje ili ne radi"), std::string::npos) << bad.out;
    EXPECT_TRUE(NoEngineEnglish(bad.out)) << bad.out;
}

// A quote that never closes, or text after a closing quote in the same field, is no CSV: the
// import is refused with the line named, and nothing goes in (with --skip-bad, only that record
// is left out).
TEST(Tool, ACsvQuoteThatDoesNotCloseTheFieldRefusesTheImport) {
    Dir d;
    struct Case {
        const char* text;
        const char* says;
        Rows skipped; // what --skip-bad brings in
    };
    for (const Case& c : {
             Case{"house,kuća\ndog,\"pas\ncat,mačka\nmouse,\"miš\"\nbird,ptica\n", "redak 2: tekst iza zatvorenog navodnika",
                  {{"house", "kuća"}, {"bird", "ptica"}}},
             Case{"house,kuća\ndog,\"pas\" x\nbird,ptica\n", "redak 2: tekst iza zatvorenog navodnika",
                  {{"house", "kuća"}, {"bird", "ptica"}}},
             Case{"\"a\"b,c\nbird,ptica\n", "redak 1: tekst iza zatvorenog navodnika", {{"bird", "ptica"}}},
             Case{"house,kuća\ndog,\"pas\ncat,mačka\n", "redak 2: navodnik nije zatvoren", {{"house", "kuća"}}},
         }) {
        const std::string csv = d.Write("q.csv", c.text), db = d / "q.mdb";
        fs::remove(db);
        const Result r = Tool("create " + db + " --from " + csv);
        EXPECT_EQ(r.rc, 1) << c.text << r.out;
        EXPECT_NE(r.out.find(c.says), std::string::npos) << c.text << r.out;
        EXPECT_EQ(r.out.find("Uvezeno"), std::string::npos) << r.out;
        fs::remove(db);
        ASSERT_EQ(Tool("create " + db + " --from " + csv + " --skip-bad").rc, 0) << c.text;
        EXPECT_EQ(Read(db), c.skipped) << c.text;
    }
}

// The format is csv or tsv in any case, by --format or by the suffix in any case; any other
// named format is refused before anything is read or written.
TEST(Tool, FormatsAreNamedInAnyCaseAndUnknownOnesAreRefused) {
    Dir d;
    const std::string upper = d.Write("in.CSV", "\"a, b\",c\n"), db = d / "f.mdb";
    ASSERT_EQ(Tool("create " + db + " --from " + upper).rc, 0);
    EXPECT_EQ(Read(db), (Rows{{"a, b", "c"}}));
    const std::string out = d / "out.Csv";
    ASSERT_EQ(Tool("export " + db + " " + out).rc, 0);
    EXPECT_EQ(Slurp(out), "\"a, b\",c\n");
    EXPECT_EQ(Tool("export " + db + " --format CSV").out, "\"a, b\",c\n");
    EXPECT_EQ(Tool("export " + db + " --format Tsv").out, "a, b\tc\n");
    for (const char* wrong : {"cvs", "xls", "json"}) {
        const Result r = Tool("export " + db + " " + d / "x.txt --format " + wrong);
        EXPECT_EQ(r.rc, 2) << wrong;
        EXPECT_NE(r.out.find("Nepoznat zapis"), std::string::npos) << r.out;
        EXPECT_FALSE(fs::exists(d / "x.txt")) << wrong;
        const Result in = Tool("import " + db + " " + upper + " --format " + wrong);
        EXPECT_EQ(in.rc, 2) << wrong;
    }
    EXPECT_EQ(Read(db), (Rows{{"a, b", "c"}}));
}

TEST(Tool, BadLinesAreNamedAndTheImportIsAllOrNothing) {
    Dir d;
    const std::string db = d / "d.mdb";
    ASSERT_EQ(Tool("create " + db + " --from " + d.Write("ok.tsv", "dog\tpas\ncat\tmačka\n")).rc, 0);
    const std::string before = Tool("export " + db).out;
    const std::string bad = d.Write("bad.tsv", "sun\tsunce\nno tab here\nmoon\tmje\xC3sec\na\tb\tc\n\nsea\tmore\n");
    const Result refused = Tool("import " + db + " " + bad);
    EXPECT_EQ(refused.rc, 1);
    EXPECT_NE(refused.out.find("redak 2: nedostaje drugi stupac"), std::string::npos) << refused.out;
    EXPECT_NE(refused.out.find("redak 3: tekst nije ispravan UTF-8"), std::string::npos);
    EXPECT_NE(refused.out.find("redak 4: više od dva stupca"), std::string::npos);
    EXPECT_EQ(Tool("export " + db).out, before); // nothing went in
    const Result skipped = Tool("import " + db + " " + bad + " --skip-bad");
    EXPECT_EQ(skipped.rc, 0) << skipped.out;
    EXPECT_EQ(Tool("export " + db).out, before + "sun\tsunce\nsea\tmore\n");
    std::string many; // a long import tells how far it is (one killed midway: CrashStates.ImportsAndCreate)
    for (const auto& [e, h] : ManyPairs(10000)) many += e + '\t' + h + '\n';
    EXPECT_NE(Tool("import " + db + " " + d.Write("many.tsv", many)).out.find("Uvoz: 50 % (5000 od 10000 parova)\n"),
              std::string::npos);
    EXPECT_NE(Tool("create " + d / "x.mdb" + " --from " + bad).rc, 0);
    EXPECT_FALSE(fs::exists(d / "x.mdb")); // a refused create leaves no file behind
}

TEST(Tool, FreeDictBecomesCleanPairs) {
    const std::string base = "/usr/share/dictd/freedict-eng-hrv";
    if (!fs::exists(base + ".index")) GTEST_SKIP() << "dict-freedict-eng-hrv is not installed";
    const auto pairs = tools::ReadFreeDict(base, true);
    EXPECT_GT(pairs.size(), 120000u);
    size_t empty = 0, umbrella = 0;
    for (const auto& p : pairs) {
        empty += p.english.empty() || p.croatian.empty();
        if (p.english == "umbrella") umbrella += p.croatian == "kišobran" || p.croatian == "suncobran";
        EXPECT_EQ(p.english.find(" /"), std::string::npos) << p.english; // no pronunciation left
    }
    EXPECT_EQ(empty, 0u);
    EXPECT_EQ(umbrella, 2u);
    const auto back = tools::ReadFreeDict("/usr/share/dictd/freedict-hrv-eng", false);
    EXPECT_NE(std::find(back.begin(), back.end(), tools::Pair{"umbrella", "kišobran"}), back.end());
    EXPECT_EQ(tools::SplitTranslations("kuća, dom (obiteljski, rodni), ognjište"),
              (std::vector<std::string>{"kuća", "dom (obiteljski, rodni)", "ognjište"}));
    EXPECT_EQ(tools::SplitTranslations("korisnik (program koji, kupac, stranka"), // a note cut short
              (std::vector<std::string>{"korisnik", "kupac", "stranka"}));
}

TEST(Tool, AnOldAccessDictionaryBringsItsPairsAndSettings) {
    // mdbtools reads Jet 4 files but nothing on Debian writes them, so the reader is tested on
    // what mdb-export prints for such a file.
    Dir d;
    const std::string fake = d.Write("mdb-export",
                                     "#!/bin/sh\n"
                                     "if [ \"$2\" = Vokabis ]; then\n"
                                     "  printf 'ID,Engleski,Hrvatski\\n1,\"dog\",\"pas\"\\n2,\"it\"\"s\",\"to je\"\\n'\n"
                                     "else\n"
                                     "  printf 'Kljuc,LeftM,TopM,XDesno,YDolje,MojFontIme,VelicinaFonta,MojFontItalic,"
                                     "MojFontBold,BrojRedova,SortEng\\n1,0.42,0.3,-0.1,0,\"Arial CE\",12.5,0,1,'\"${ROWS:-45}\"',\\n'\n"
                                     "fi\n");
    fs::permissions(fake, fs::perms::owner_all);
    const std::string tables = d.Write("mdb-tables", "#!/bin/sh\n"
                                                     "case \"$2\" in *old.mdb) printf 'Vokabis\\nPostavke\\n' ;;\n"
                                                     "  *nwind.mdb) printf 'Customers\\nOrders\\n' ;; *) exit 1 ;; esac\n");
    fs::permissions(tables, fs::perms::owner_all);
    const std::string path = "PATH=" + d.dir.string() + ":$PATH";
    const std::string db = d / "d.mdb";
    // Not this program's layout, and not an Access file at all: said in Croatian, nothing made.
    for (auto [name, expect] : {std::pair{"nwind.mdb", "nema tablice Vokabis). Tablice u njoj: Customers, Orders."},
                                {"text.mdb", "nije datoteka baze podataka Access"}}) {
        const Result refused = Tool("create " + db + " --from " + d.Write(name, "x"), path);
        EXPECT_EQ(refused.rc, 1);
        EXPECT_NE(refused.out.find(expect), std::string::npos) << refused.out;
        EXPECT_FALSE(fs::exists(db));
    }
    const Result real = Tool("create " + db + " --from " + d / "text.mdb"); // mdbtools itself
    EXPECT_NE(real.out.find("nije datoteka baze podataka Access"), std::string::npos) << real.out;
    EXPECT_TRUE(NoEngineEnglish(real.out)) << real.out;
    const Result r = Tool("create " + db + " --from " + d.Write("old.mdb", "") + " --mdb-export " + fake, path);
    ASSERT_EQ(r.rc, 0) << r.out;
    EXPECT_EQ(Tool("export " + db).out, "dog\tpas\nit\"s\tto je\n");
    const Result check = Tool("check " + db);
    EXPECT_EQ(check.rc, 0) << check.out;
    EXPECT_NE(check.out.find("Arial CE, 12 pt, 45 redova"), std::string::npos) << check.out;
    {   // stored as the program keeps them: True as -1, an empty SortEng as False, whole points
        db::Database made(db, db::kPassword);
        db::Statement row(made.handle(), "SELECT quote(MojFontBold) || quote(SortEng) || quote(VelicinaFonta) FROM Postavke");
        ASSERT_TRUE(row.Step());
        EXPECT_EQ(db::CStr(row.Column(0)), "-1012");
    }
    const Result bad = Tool("create " + d / "bad.mdb" + " --from " + d / "old.mdb" + " --mdb-export " + fake, "ROWS=40000 " + path);
    EXPECT_EQ(bad.rc, 1);
    EXPECT_NE(bad.out.find("BrojRedova"), std::string::npos) << bad.out; // not a file the program cannot start from
    EXPECT_FALSE(fs::exists(d / "bad.mdb"));
}

TEST(Tool, AWrongCommandLineSaysWhatWasWrongThenTheHelp) {
    const std::string db = "d.mdb"; // never reached
    EXPECT_EQ(Tool("import").rc, 2);
    EXPECT_NE(Tool("--help").out.find("usage"), std::string::npos);
    for (auto [args, says] : {std::pair{"check " + db + " --bogus", "Nepoznata opcija: --bogus\n"},
                              {"create " + db + " --from", "Opciji --from nedostaje vrijednost.\n"},
                              {"check " + db + " --force=yes", "Opcije --skip-bad, --force, --help i --version ne primaju vrijednost.\n"}}) {
        const Result r = Tool(args);
        EXPECT_EQ(r.rc, 2) << args;
        EXPECT_EQ(r.out.find(says), 0u) << r.out; // what was wrong, then the help
        EXPECT_NE(r.out.find("usage"), std::string::npos) << r.out;
    }
}

// Help, version and a wrong option are answered without a display and without opening a window;
// the help page says the same version.
TEST(Tool, TheProgramAnswersHelpVersionAndWrongOptionsWithoutADisplay) {
    const std::string noDisplay = "env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM= timeout 20 ";
    auto program = [&](const std::string& args) { return RunShell(noDisplay + VOKABIS + " " + args); };
    for (const char* args : {"--help", "-h"}) {
        const Result r = program(args);
        EXPECT_EQ(r.rc, 0) << args << r.out;
        EXPECT_NE(r.out.find("ova pomoć"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("--version"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("vokabis --odabir"), std::string::npos) << r.out;
    }
    const std::string version = VOKABIS_VERSION;
    // The help page beside the program names the version it belongs to.
    EXPECT_NE(Slurp(fs::path(VOKABIS).parent_path() / "Help/index.htm").find("Vokabis, inačica " + version + "<"),
              std::string::npos);
    const Result v = program("--version");
    EXPECT_EQ(v.rc, 0) << v.out;
    EXPECT_EQ(v.out, "Vokabis " + version + "\n");
    const Result tool = Tool("--version");
    EXPECT_EQ(tool.rc, 0) << tool.out;
    EXPECT_EQ(tool.out, "vokabis-db " + version + "\n");
    const Result wrong = program("--nepoznato");
    EXPECT_EQ(wrong.rc, 2) << wrong.out;
    EXPECT_EQ(wrong.out, "Nepoznata opcija: --nepoznato\nPopis opcija daje: vokabis --help\n");
}

TEST(Tool, BackupsAreWholeDictionariesAndTheNewestTenAreKept) {
    Dir d;
    const std::string db = d / "d.mdb";
    Make(db, {{"dog", "pas"}});
    std::vector<std::string> made;
    for (int i = 0; i < 11; ++i) {
        const Result r = Tool("backup " + db);
        ASSERT_EQ(r.rc, 0) << r.out;
        made.push_back(r.out.substr(0, r.out.size() - 1));
    }
    std::vector<std::string> kept;
    for (size_t i = 1; i < made.size(); ++i) kept.push_back(fs::path(made[i]).filename().string());
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(Copies(d / "Backup"), kept); // the oldest went, though all came within a few seconds
    EXPECT_EQ(fs::status(made.back()).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(Tool("check " + made.back()).rc, 0);
    EXPECT_FALSE(fs::exists(made.back() + "-wal"));
    EXPECT_EQ(Read(made.back()), (Rows{{"dog", "pas"}})); // a folder named for it: Backup.OnlyFoldersMade…
}

TEST(Tool, RestoreChecksTheBackupFirstAndKeepsTheFileItReplaces) {
    Dir d;
    const std::string db = d / "d.mdb", good = d / "good.mdb", noRow = d / "norow.mdb";
    Make(db, {{"now", "sada"}});
    Make(good, {{"then", "tada"}});
    Make(noRow, {{"x", "y"}});
    db::Database(noRow, db::kPassword).Exec("DELETE FROM Postavke");
    const std::string damaged = d / "damaged.mdb";
    fs::copy_file(good, damaged);
    fs::resize_file(damaged, 5000);
    for (const std::string& bad : {d.Write("empty.mdb", ""), damaged, noRow, d / "missing.mdb", db}) {
        const Result r = Tool("restore " + bad + " " + db);
        EXPECT_EQ(r.rc, 1) << bad << ": " << r.out;
        EXPECT_TRUE(NoEngineEnglish(r.out)) << r.out;
        EXPECT_EQ(Read(db), (Rows{{"now", "sada"}})) << bad;
        EXPECT_FALSE(fs::exists(d / "Backup")) << bad; // refused before anything was touched
    }
    {
        db::Database open(db, db::kPassword); // the program still has it open
        EXPECT_EQ(Tool("restore " + good + " " + db).rc, 1);
    }
    EXPECT_EQ(Read(db), (Rows{{"now", "sada"}}));
    const Result r = Tool("restore " + good + " " + db);
    ASSERT_EQ(r.rc, 0) << r.out;
    EXPECT_EQ(Read(db), (Rows{{"then", "tada"}}));
    const auto kept = Copies(d / "Backup");
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_NE(r.out.find(kept[0]), std::string::npos) << r.out;
    EXPECT_EQ(Read(d / ("Backup/" + kept[0])), (Rows{{"now", "sada"}}));
    // A damaged dictionary is replaced too; its bytes are kept as they were.
    fs::resize_file(db, 3000);
    const std::string torn = Slurp(db);
    ASSERT_EQ(Tool("restore " + good + " " + db).rc, 0);
    EXPECT_EQ(Read(db), (Rows{{"then", "tada"}}));
    size_t rawKept = 0;
    for (const auto& n : Copies(d / "Backup")) rawKept += Slurp(d / ("Backup/" + n)) == torn;
    EXPECT_EQ(rawKept, 1u);
    // So is one with a single byte changed on a page in the middle, which the engine cannot copy.
    fs::remove(db);
    Make(db, ManyPairs(3000, "w", "r"));
    const auto middle = std::streamoff(fs::file_size(db) / 2);
    std::fstream(db, std::ios::in | std::ios::out | std::ios::binary).seekp(middle).put('\x55');
    const std::string flipped = Slurp(db);
    const Result over = Tool("restore " + good + " " + db);
    ASSERT_EQ(over.rc, 0) << over.out;
    EXPECT_EQ(Read(db), (Rows{{"then", "tada"}}));
    rawKept = 0;
    for (const auto& n : d.Names("Backup")) rawKept += Slurp(d / ("Backup/" + n)) == flipped;
    EXPECT_EQ(rawKept, 1u) << over.out;
}

// A program or tool that starts writing while a restore runs: its pair ends up in the restored
// dictionary or in the copy kept of the one replaced, or it is told that it could not write;
// never in a file that is no longer the dictionary.
TEST(Tool, AWriterStartedDuringARestoreNeverWritesIntoTheReplacedFile) {
    Dir d;
    const std::string db = d / "d.mdb", big = d / "big.mdb", pristine = d / "pristine.mdb";
    Make(pristine, ManyPairs(30000));
    Make(big, {{"restored", "vraćeno"}});
    const std::string pair = d.Write("pair.tsv", "added\tdodano\n");
    auto fresh = [&] {
        fs::remove_all(d / "Backup");
        for (const char* s : {"", "-wal", "-shm", ".novo"}) fs::remove(db + s);
        fs::copy_file(pristine, db);
    };
    fresh();
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(Tool("restore " + big + " " + db).rc, 0);
    const long whole = long(std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start).count());
    std::mt19937 rng(29);
    int written = 0;
    for (int trial = 0; trial < 12; ++trial) {
        fresh();
        Child restore({VOKABIS_DB, "restore", big, db}, 2);
        usleep(useconds_t(long(rng() % 1000) * whole / 1000));
        const Result add = Tool("import " + db + " " + pair);
        restore.ReadUntil(std::string(1, '\0')); // to its end
        int status = 0;
        waitpid(restore.pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status)) << trial;
        if (WEXITSTATUS(status) != 0) { // the writer came first and holds the file
            EXPECT_NE(restore.out.find("otvoren u drugom programu"), std::string::npos) << trial << ": " << restore.out;
        }
        long long found = 0;
        std::vector<std::string> files{db};
        if (fs::exists(d / "Backup"))
            for (const auto& n : d.Names("Backup"))
                if (n[0] != '.') files.push_back(d / ("Backup/" + n));
        for (const std::string& f : files) {
            db::Database after(f, db::kPassword);
            EXPECT_EQ(IntegrityOf(after), "ok") << trial << " " << f;
            found += after.Count("Select Id From Vokabis Where Engleski = 'added'");
        }
        if (add.rc == 0) {
            ++written;
            EXPECT_EQ(found, 1) << trial << ": the pair was added, yet it is nowhere";
        } else {
            EXPECT_EQ(found, 0) << trial;
            EXPECT_TRUE(NoEngineEnglish(add.out)) << add.out;
        }
    }
    EXPECT_GT(written, 0);
}

// A dictionary deleted after a program was killed leaves its log; a file made or restored in its
// place must not take that log in. It is moved aside, kept and named.
TEST(Tool, ANewFileNeverTakesInTheLogOfOneThatWasThere) {
    Dir d;
    const std::string db = d / "d.mdb", good = d / "good.mdb";
    Make(good, {{"then", "tada"}});
    for (const std::string& command : {"create " + db, "restore " + good + " " + db}) {
        fs::remove(db);
        PlantStrayLog(db);
        const std::string stray = Slurp(db + "-wal");
        const Result r = Tool(command);
        ASSERT_EQ(r.rc, 0) << r.out;
        EXPECT_TRUE(NoEngineEnglish(r.out)) << r.out;
        db::Database after(db, db::kPassword);
        EXPECT_EQ(IntegrityOf(after), "ok") << command;
        EXPECT_EQ(after.Count("Select Id From Vokabis Where Engleski LIKE 'stray*'"), 0) << command;
        std::string movedTo;
        for (const auto& n : d.Names())
            if (n.rfind("d.mdb-wal-ostatak-", 0) == 0 && Slurp(d / n) == stray) movedTo = n;
        EXPECT_FALSE(movedTo.empty()) << command << ": the log was not kept";
        EXPECT_NE(r.out.find(movedTo), std::string::npos) << r.out;
        for (const auto& n : d.Names())
            if (n.rfind("d.mdb-", 0) == 0 && n.find("ostatak") != std::string::npos) fs::remove(d / n);
    }
}

// A pair a killed program committed lies only in the -wal; on a read-only medium every reader of
// the tool still sees it, and the private copy it reads goes away with the tool, as do copies
// that killed runs left (not those of running ones).
TEST(Tool, APairCommittedToTheLogIsSeenOnAReadOnlyMedium) {
    Dir d, tmp;
    Make(d / "data/d.mdb", {{"dog", "pas"}});
    SaveAndDie(d / "data/d.mdb", "log", "dnevnik");
    ASSERT_GT(fs::file_size(d / "data/d.mdb-wal"), 0u);
    ReadOnlyView view(d.dir / "data", d.dir / "ro");
    if (!view.ok) GTEST_SKIP() << "a read-only bind mount needs root";
    const std::string file = d / "ro/d.mdb", env = "TMPDIR=" + tmp.dir.string();
    const pid_t gone = ::fork(); // a run killed before it removed its copy left that behind
    if (gone == 0) ::_exit(0);
    ::waitpid(gone, nullptr, 0);
    fs::create_directories(tmp.dir / ("vokabis-kopija-" + std::to_string(gone) + "-killed"));
    fs::create_directories(tmp.dir / ("vokabis-kopija-" + std::to_string(::getpid()) + "-running"));
    const Result check = Tool("check " + file, env);
    EXPECT_EQ(check.rc, 0) << check.out;
    EXPECT_NE(check.out.find("Parova riječi: 2"), std::string::npos) << check.out;
    EXPECT_EQ(Tool("export " + file, env).out, "dog\tpas\nlog\tdnevnik\n");
    EXPECT_NE(Tool("stats " + file, env).out.find("Parova riječi: 2"), std::string::npos);
    EXPECT_EQ(tmp.Names(), std::vector<std::string>{"vokabis-kopija-" + std::to_string(::getpid()) + "-running"});
}

// A read-only look at a file nobody may write leaves nothing beside it that would stop the file's
// owner from opening it for writing later; and a writable open copes with the -wal and -shm an
// older version left with the file's mode 0400, keeping the pair in that -wal.
TEST(Tool, AReadOnlyLookLeavesNothingThatBlocksALaterWritableOpen) {
    Dir d;
    const std::string file = d / "data/d.mdb";
    Make(file, {{"dog", "pas"}});
    const fs::path data = d.dir / "data";
    auto asNobody = [&](const std::function<bool()>& run) { // permissions hold only for an ordinary user
        const pid_t child = ::fork();
        if (child == 0) {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(90);
            ::_exit(run() ? 0 : 1);
        }
        int status = -1;
        ::waitpid(child, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    };
    const auto readOnly = fs::perms::owner_read, privateFile = fs::perms::owner_read | fs::perms::owner_write;
    fs::permissions(file, readOnly);
    for (const fs::path& p : {data, fs::path(file)}) ASSERT_EQ(::chown(p.c_str(), 65534, 65534), 0);
    EXPECT_TRUE(asNobody([&] { return Tool("check " + file).rc == 0 && Tool("export " + file).out == "dog\tpas\n"; }));
    for (const char* beside : {"-wal", "-shm"}) EXPECT_FALSE(fs::exists(file + beside)) << beside;
    fs::permissions(file, privateFile);
    EXPECT_TRUE(asNobody([&] {
        SaveAndDie(file, "log", "dnevnik");
        return true;
    }));
    ASSERT_GT(fs::file_size(file + "-wal"), 0u);
    for (const char* beside : {"", "-wal", "-shm"}) fs::permissions(file + beside, readOnly); // an older version's look
    fs::permissions(file, privateFile); // the owner makes it writable again
    const std::string more = d.Write("more.tsv", "cat\tmačka\n");
    EXPECT_TRUE(asNobody([&] {
        const Result r = Tool("import " + file + " " + more);
        return r.rc == 0 && Tool("export " + file).out == "dog\tpas\nlog\tdnevnik\ncat\tmačka\n";
    }));
}

// With the disk full, the tool says so; a sound file is never called damaged.
TEST(Tool, CheckOnAFullDiskSaysTheDiskIsFullNotThatTheFileIsDamaged) {
    Dir d;
    Mount disk("-t tmpfs -o size=20m", "none", d.dir / "disk");
    if (!disk.ok) GTEST_SKIP() << "a small tmpfs needs root";
    const std::string file = d / "disk/d.mdb";
    Make(file, {{"dog", "pas"}});
    FillUntilFull(file);
    const Result r = Tool("check " + file);
    EXPECT_EQ(r.out.find("oštećena"), std::string::npos) << r.out;
    EXPECT_TRUE(r.rc == 0 || r.out.find("Disk je pun") != std::string::npos) << r.out;
    const Result backup = Tool("backup " + file + " " + d / "elsewhere"); // the way out: a copy on another disk
    EXPECT_EQ(backup.rc, 0) << backup.out;
    EXPECT_EQ(Tool("check " + backup.out.substr(0, backup.out.size() - 1)).rc, 0);
    for (int i = 0; i < 3; ++i) { // saving more: done while the log has room, then refused as a full disk
        const Result more = Tool("import " + file + " " + d.Write("more.tsv", std::string(40000, 'a') + "\tmačka\n"));
        EXPECT_TRUE(more.rc == 0 || more.out.find("Disk je pun") != std::string::npos) << more.out;
    }
}

// Core dumps are off in both programs: a crash never writes the pairs and the key into a file.
TEST(Tool, NeitherProgramMayLeaveACoreDump) {
    Dir d;
    const std::string source = d / "in.tsv";
    ASSERT_EQ(::mkfifo(source.c_str(), 0600), 0);
    Make(d / "prog/Data/Vokabis.mdb", {});
    fs::copy_file(VOKABIS, d / "prog/vokabis");
    fs::permissions(d / "prog/vokabis", fs::perms::owner_all);
    auto coreLimit = [](pid_t pid) {
        std::ifstream limits("/proc/" + std::to_string(pid) + "/limits");
        for (std::string line; std::getline(limits, line);)
            if (line.rfind("Max core file size", 0) == 0) return line.substr(26, 40);
        return std::string("?");
    };
    struct rlimit unlimited {RLIM_INFINITY, RLIM_INFINITY};
    ::setrlimit(RLIMIT_CORE, &unlimited);
    Child tool({VOKABIS_DB, "create", d / "new.mdb", "--from", source});
    int writer = -1; // opens once the tool is reading its source, long after its main began
    for (int i = 0; i < 1000 && (writer = ::open(source.c_str(), O_WRONLY | O_NONBLOCK)) < 0; ++i) ::usleep(10000);
    EXPECT_EQ(coreLimit(tool.pid).substr(0, 22), "0                    0") << coreLimit(tool.pid);
    if (writer >= 0) ::close(writer);
    else ::kill(tool.pid, SIGKILL); // never started reading: not left waiting
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::setenv("XDG_RUNTIME_DIR", d.dir.c_str(), 1); // Qt would make one in /tmp otherwise
    Child program({(d.dir / "prog/vokabis").string()});
    for (int i = 0; i < 1000 && !fs::exists(d / "prog/Data/Vokabis.mdb-shm"); ++i) ::usleep(10000); // the file is open
    EXPECT_EQ(coreLimit(program.pid).substr(0, 22), "0                    0") << coreLimit(program.pid);
    ::kill(program.pid, SIGTERM);
    int status = 0;
    bool ended = false;
    for (int i = 0; i < 500 && !(ended = ::waitpid(program.pid, &status, WNOHANG) == program.pid); ++i) ::usleep(10000);
    if (!ended) { // nothing is left running, whatever happened
        ::kill(program.pid, SIGKILL);
        ::waitpid(program.pid, &status, 0);
    }
    ::waitpid(tool.pid, &status, 0);
}
