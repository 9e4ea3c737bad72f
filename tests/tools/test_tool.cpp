// The vokabis-db tool, run as a user runs it, on real files.
#include "tools/Formats.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace fs = std::filesystem;

namespace {
struct Result {
    int rc;
    std::string out;
};
Result Tool(const std::string& args) {
    std::string out;
    FILE* p = popen((std::string(VOKABIS_DB) + " " + args + " 2>&1").c_str(), "r");
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    const int status = pclose(p);
    return {WEXITSTATUS(status), out};
}
std::string Slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}
struct Dir {
    fs::path path = fs::temp_directory_path() / ("vokabis-tool-" + std::to_string(::getpid()));
    Dir() {
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~Dir() { fs::remove_all(path); }
    std::string Write(const char* name, const std::string& text) const {
        std::ofstream(path / name, std::ios::binary) << text;
        return (path / name).string();
    }
    std::string operator/(const char* name) const { return (path / name).string(); }
};
} // namespace

TEST(Tool, TsvAndCsvComeBackByteForByte) {
    Dir d;
    const std::string tsv = "umbrella\tkišobran\n o'clock \t sat \nČ\tč\n\"quoted\"\t\"navodnici\"\n";
    const std::string csv = "plain,obično\n\"a, b\",x\ty\n\"say \"\"hi\"\"\",\"dva\nreda\"\n  spaces  ,ž\n";
    for (auto [name, text] : {std::pair{"in.tsv", tsv}, {"in.csv", csv}}) {
        const std::string file = d.Write(name, text), db = d / "d.mdb";
        fs::remove(db);
        ASSERT_EQ(Tool("create " + db + " --from " + file).rc, 0) << name;
        const std::string out = d / (std::string("out") + fs::path(name).extension().string()).c_str();
        ASSERT_EQ(Tool("export " + db + " " + out).rc, 0);
        EXPECT_EQ(Slurp(out), text) << name;
    }
    EXPECT_EQ(Tool("stats " + d / "d.mdb").out.find("Parova riječi: 4"), 0u);
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

    std::vector<tools::BadLine> lines;
    std::istringstream csv("a,b\n\"open,x\nmore\n");
    tools::ReadPairs(csv, tools::Format::Csv, &lines);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].line, 2);
    EXPECT_EQ(lines[0].why, "navodnik nije zatvoren");
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
                                     "MojFontBold,BrojRedova,SortEng\\n1,0.42,0.3,-0.1,0,\"Arial CE\",12,0,1,45,0\\n'\n"
                                     "fi\n");
    fs::permissions(fake, fs::perms::owner_all);
    const std::string db = d / "d.mdb";
    const Result r = Tool("create " + db + " --from " + d.Write("old.mdb", "") + " --mdb-export " + fake);
    ASSERT_EQ(r.rc, 0) << r.out;
    EXPECT_EQ(Tool("export " + db).out, "dog\tpas\nit\"s\tto je\n");
    const Result check = Tool("check " + db);
    EXPECT_EQ(check.rc, 0) << check.out;
    EXPECT_NE(check.out.find("Arial CE, 12 pt, 45 redova"), std::string::npos) << check.out;
}

TEST(Tool, CheckFindsADamagedFile) {
    Dir d;
    const std::string db = d / "d.mdb";
    ASSERT_EQ(Tool("create " + db).rc, 0);
    EXPECT_EQ(fs::status(db).permissions(), fs::perms::owner_read | fs::perms::owner_write); // private
    {
        std::fstream f(db, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(1500);
        f << std::string(64, 'x'); // inside the first encrypted page
    }
    const Result r = Tool("check " + db);
    EXPECT_EQ(r.rc, 1);
    EXPECT_NE(r.out.find("Pogreška"), std::string::npos) << r.out;
    EXPECT_EQ(Tool("import").rc, 2);
    EXPECT_NE(Tool("--help").out.find("usage"), std::string::npos);
}

TEST(Tool, AnImportKilledHalfwayLeavesTheFileAsItWas) {
    Dir d;
    const std::string db = d / "d.mdb";
    ASSERT_EQ(Tool("create " + db + " --from " + d.Write("ok.tsv", "dog\tpas\n")).rc, 0);
    {
        std::ofstream big(d / "big.tsv");
        for (int i = 0; i < 600000; ++i) big << "word" << i << "\triječ" << i << "\n";
    }
    int err[2];
    ASSERT_EQ(pipe(err), 0);
    const pid_t child = fork();
    if (child == 0) {
        dup2(err[1], 2);
        execl(VOKABIS_DB, VOKABIS_DB, "import", db.c_str(), (d / "big.tsv").c_str(), (char*)nullptr);
        _exit(127);
    }
    close(err[1]);
    std::string seen;
    char buf[256];
    ssize_t n;
    while (seen.find("Uvoz: 30 %") == std::string::npos && (n = read(err[0], buf, sizeof buf)) > 0) seen.append(buf, size_t(n));
    kill(child, SIGKILL); // in the middle of writing the pairs
    int status = 0;
    waitpid(child, &status, 0);
    close(err[0]);
    ASSERT_NE(seen.find("Uvoz: 30 %"), std::string::npos) << seen;
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(Tool("export " + db).out, "dog\tpas\n");
    EXPECT_EQ(Tool("check " + db).rc, 0);
}
