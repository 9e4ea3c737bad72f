// Kills a process in the middle of its writes, a hundred times, and checks after each kill
// that the file opens, is whole, and holds exactly what the writes that returned put there.
#include "../db/TempDb.h"

#include "db/Sqlite.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <map>
#include <random>
#include <sstream>

namespace {
// What the file must hold after the log of returned writes; the one write in flight when the
// process died may or may not have landed, and nothing else may differ.
struct Expected {
    std::map<std::string, int> pairs; // key -> 1 present
    std::string pendingAdd, pendingGone, pendingEdit;
    long settings = -1;
    void Apply(const std::string& line) {
        std::istringstream in(line);
        std::string op, a, b;
        in >> op >> a >> b;
        if (op == "a") pairs[a] = 1;
        if (op == "d") pairs.erase(a);
        if (op == "e") {
            pairs.erase(a);
            pairs[b] = 1;
        }
        if (op == "s") settings = std::stol(a);
    }
};
} // namespace

TEST(CrashSafety, KilledAtRandomWhileWritingTheFileStaysWholeAndLosesNoReturnedWrite) {
    TempDb t;
    std::mt19937 rng(20261207);
    Expected expected;
    int trials = 0, landedInFlight = 0, killedWhileWriting = 0;
    long writes = 0;
    for (; trials < 100; ++trials) {
        int out[2];
        ASSERT_EQ(pipe(out), 0);
        const pid_t child = fork();
        if (child == 0) {
            dup2(out[1], 1);
            const std::string seed = std::to_string(rng());
            execl(SAVER, SAVER, t.path.c_str(), seed.c_str(), (char*)nullptr);
            _exit(127);
        }
        close(out[1]);
        // Once the first write has returned, the kill comes at a random moment among the next.
        std::string log;
        char buf[4096];
        ssize_t n;
        while (log.find('\n') == std::string::npos && (n = read(out[0], buf, sizeof buf)) > 0) log.append(buf, size_t(n));
        usleep(useconds_t(rng() % 40000));
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        while ((n = read(out[0], buf, sizeof buf)) > 0) log.append(buf, size_t(n));
        close(out[0]);
        killedWhileWriting += !log.empty();
        std::istringstream lines(log);
        std::string line;
        while (std::getline(lines, line))
            if (lines.good() || log.back() == '\n') { // a cut-off last line did not return
                expected.Apply(line);
                ++writes;
            }

        auto d = t.Open(); // opens with the key: a hot journal is rolled back here
        db::Statement check(d.handle(), "PRAGMA integrity_check");
        ASSERT_TRUE(check.Step());
        ASSERT_EQ(db::CStr(check.Column(0)), "ok") << "trial " << trials;
        std::map<std::string, int> found;
        db::Statement rows(d.handle(), "SELECT Engleski, Hrvatski FROM Vokabis");
        while (rows.Step()) {
            const std::string e = db::CStr(rows.Column(0)), h = db::CStr(rows.Column(1));
            ASSERT_EQ(h, "v" + e.substr(1)) << "a half-written pair after trial " << trials;
            found[e.substr(1)] = 1;
        }
        // Every returned write is there; at most one more (the one in flight) differs.
        size_t extra = 0, missing = 0;
        for (auto& [k, v] : found) extra += !expected.pairs.count(k);
        for (auto& [k, v] : expected.pairs) missing += !found.count(k);
        ASSERT_LE(extra + missing, 2u) << "trial " << trials;
        landedInFlight += extra + missing > 0;
        expected.pairs = found; // the file is the truth for the next round
        if (expected.settings >= 0) {
            db::Statement s(d.handle(), "SELECT BrojRedova, MojFontIme FROM Postavke WHERE Id = 1");
            ASSERT_TRUE(s.Step());
            const long stored = long(std::get<long long>(s.Column(0)));
            ASSERT_EQ(db::CStr(s.Column(1)), "font " + std::to_string(stored)); // the row is never torn
            expected.settings = stored;
        }
    }
    EXPECT_EQ(trials, 100);
    EXPECT_EQ(killedWhileWriting, 100); // every kill fell among the writes
    std::printf("%d kills, %d while writing, %ld writes returned, %d in-flight writes landed\n", trials,
                killedWhileWriting, writes, landedInFlight);
}

TEST(TwoInstances, OneAddsWhileTheOtherDeletesAndSavesSettingsAndNothingIsLost) {
    TempDb t;
    struct Child {
        pid_t pid;
        int out;
    };
    auto start = [&](const char* mode, const char* seed) {
        int out[2];
        EXPECT_EQ(pipe(out), 0);
        const pid_t pid = fork();
        if (pid == 0) {
            dup2(out[1], 1);
            execl(SAVER, SAVER, t.path.c_str(), seed, mode, (char*)nullptr);
            _exit(127);
        }
        close(out[1]);
        return Child{pid, out[0]};
    };
    Child adder = start("add", "1"), pruner = start("prune", "2");
    sleep(3);
    std::string logs[2];
    int i = 0;
    for (Child c : {adder, pruner}) {
        kill(c.pid, SIGKILL);
        waitpid(c.pid, nullptr, 0);
        char buf[4096];
        ssize_t n;
        while ((n = read(c.out, buf, sizeof buf)) > 0) logs[i].append(buf, size_t(n));
        close(c.out);
        ++i;
    }
    EXPECT_EQ(logs[0].find("ERR"), std::string::npos) << logs[0].substr(logs[0].find("ERR"), 200);
    EXPECT_EQ(logs[1].find("ERR"), std::string::npos) << logs[1].substr(logs[1].find("ERR"), 200);
    std::map<std::string, int> added;
    long adds = 0, deletes = 0, settings = 0;
    for (int k = 0; k < 2; ++k) {
        std::istringstream lines(logs[k]);
        std::string line;
        while (std::getline(lines, line) && lines.good()) { // the last line may have been cut by the kill
            std::istringstream in(line);
            std::string op, key;
            in >> op >> key;
            if (op == "a") added[key] = 1, ++adds;
            if (op == "d") added.erase(key), ++deletes;
            if (op == "s") ++settings;
        }
    }
    EXPECT_GT(adds, 50);
    EXPECT_GT(deletes, 5);
    EXPECT_GT(settings, 5);
    auto d = t.Open();
    std::map<std::string, int> found;
    db::Statement rows(d.handle(), "SELECT Engleski FROM Vokabis");
    while (rows.Step()) found[db::CStr(rows.Column(0)).substr(1)] = 1;
    size_t differ = 0; // only the writes in flight at the kill may differ
    for (auto& [k, v] : found) differ += !added.count(k);
    for (auto& [k, v] : added) differ += !found.count(k);
    EXPECT_LE(differ, 2u);
    std::printf("%ld adds, %ld deletes, %ld settings writes side by side; %zu in flight\n", adds, deletes, settings, differ);
}
