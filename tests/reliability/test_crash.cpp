// Kills a process in the middle of its writes, a hundred times, and checks after each kill
// that the file opens, is whole, and holds exactly what the writes that returned put there.
#include "common/Child.h"
#include "common/TempFiles.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>
#include <sstream>

namespace {
// The keys the log of returned writes leaves in the file, counting them; a cut-off last line
// did not return.
std::set<std::string> Apply(const std::string& log, std::set<std::string> keys, std::map<char, long>* counts) {
    std::istringstream lines(log);
    std::string line;
    while (std::getline(lines, line) && (lines.good() || log.back() == '\n')) {
        std::istringstream in(line);
        std::string op, a, b;
        if (!(in >> op >> a)) continue;
        in >> b;
        if (op == "d" || op == "e") keys.erase(a);
        if (op == "a") keys.insert(a);
        if (op == "e") keys.insert(b);
        ++(*counts)[op[0]];
    }
    return keys;
}
// The pairs in the file; each pair's two terms carry the same number, or it was torn.
std::set<std::string> Stored(db::Database& d) {
    std::set<std::string> found;
    db::Statement rows(d.handle(), "SELECT Engleski, Hrvatski FROM Vokabis");
    while (rows.Step()) {
        const std::string e = db::CStr(rows.Column(0)), h = db::CStr(rows.Column(1));
        EXPECT_EQ(h, "v" + e.substr(1)) << "a half-written pair";
        found.insert(e.substr(1));
    }
    return found;
}
size_t Differ(const std::set<std::string>& a, const std::set<std::string>& b) {
    size_t n = 0;
    for (auto& k : a) n += !b.count(k);
    for (auto& k : b) n += !a.count(k);
    return n;
}
} // namespace

TEST(CrashSafety, KilledAtRandomWhileWritingTheFileStaysWholeAndLosesNoReturnedWrite) {
    TempDb t;
    std::mt19937 rng(20261207);
    std::set<std::string> expected;
    std::map<char, long> counts;
    int killedWhileWriting = 0, landedInFlight = 0;
    for (int trial = 0; trial < 100; ++trial) {
        Child saver({SAVER, t.path.string(), std::to_string(rng())});
        saver.ReadUntil("\n"); // once the first write has returned, the kill comes among the next
        usleep(useconds_t(rng() % 40000));
        saver.Kill();
        killedWhileWriting += !saver.out.empty();
        if (!saver.out.empty()) expected = Apply(saver.out, expected, &counts);

        auto d = t.Open(); // opens with the key: a hot journal is rolled back here
        db::Statement check(d.handle(), "PRAGMA integrity_check");
        ASSERT_TRUE(check.Step());
        ASSERT_EQ(db::CStr(check.Column(0)), "ok") << "trial " << trial;
        const auto found = Stored(d);
        // Every returned write is there; at most the one in flight differs.
        ASSERT_LE(Differ(found, expected), 2u) << "trial " << trial;
        landedInFlight += Differ(found, expected) > 0;
        expected = found; // the file is the truth for the next round
        db::Statement s(d.handle(), "SELECT BrojRedova, MojFontIme FROM Postavke WHERE Id = 1");
        ASSERT_TRUE(s.Step());
        if (counts['s']) { // the settings row is never torn
            ASSERT_EQ(db::CStr(s.Column(1)), "font " + db::CStr(s.Column(0)));
        }
    }
    EXPECT_EQ(killedWhileWriting, 100); // every kill fell among the writes
    std::printf("%ld writes returned, %d in-flight writes landed\n", counts['a'] + counts['d'] + counts['e'] + counts['s'],
                landedInFlight);
}

TEST(TwoInstances, OneAddsWhileTheOtherDeletesAndSavesSettingsAndNothingIsLost) {
    TempDb t;
    Child adder({SAVER, t.path.string(), "1", "add"}), pruner({SAVER, t.path.string(), "2", "prune"});
    sleep(3);
    adder.Kill();
    pruner.Kill();
    for (const Child* c : {&adder, &pruner}) {
        EXPECT_EQ(c->out.find("ERR"), std::string::npos) << c->out.substr(c->out.find("ERR"), 200);
    }
    std::map<char, long> counts;
    // The adder's log first: a pair is only deleted after it was added.
    const auto added = Apply(pruner.out, Apply(adder.out, {}, &counts), &counts);
    EXPECT_GT(counts['a'], 50);
    EXPECT_GT(counts['d'], 5);
    EXPECT_GT(counts['s'], 5);
    auto d = t.Open();
    const size_t differ = Differ(Stored(d), added); // only the writes in flight at the kill may differ
    EXPECT_LE(differ, 2u);
    std::printf("%ld adds, %ld deletes, %ld settings writes side by side; %zu in flight\n", counts['a'], counts['d'],
                counts['s'], differ);
}
