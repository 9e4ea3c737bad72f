// Every file protocol, recorded and cut by a power failure at each point: the dictionary, its
// backups and an export are, after any crash state, whole and holding either what was there
// before or what the run reported done; and the program starts on the state and shows it.
// VOKABIS_CRASH_STATES and VOKABIS_CRASH_PER_PREFIX set how many states each protocol gets and
// how many of them one point of the run may have (scripts/crash-explore: many).
#include "common/Modal.h"
#include "common/ProgramFolder.h"
#include "crash/Explorer.h"

#include "app/Safety.h"
#include "app/Startup.h"
#include "core/Module1.h"
#include "db/Counts.h"
#include "dictionary/MainWindow.h"

#include <gtest/gtest.h>

#include <set>

namespace {

using crash::State;

Rows Sorted(Rows r) {
    std::sort(r.begin(), r.end());
    return r;
}

size_t Setting(const char* name, size_t otherwise) {
    const char* v = std::getenv(name);
    return v ? std::stoul(v) : otherwise;
}
size_t Budget() { return Setting("VOKABIS_CRASH_STATES", 120); }
size_t PerPrefix(size_t small) { return Setting("VOKABIS_CRASH_PER_PREFIX", small); }

// What a checked file holds: its pairs, or why it is not a whole dictionary.
struct Opened {
    std::string problem;
    Rows pairs;
    bool counts = false;
};

Opened Open(const fs::path& file) {
    // A file seen in an earlier state (an older backup, say) is judged once.
    static std::map<size_t, Opened> seen;
    const size_t key = std::hash<std::string>{}(Slurp(file) + "\n-wal\n" + Slurp(file.string() + "-wal"));
    if (auto it = seen.find(key); it != seen.end()) return it->second;
    Opened o;
    try {
        db::Database d(file.string(), db::kPassword);
        if (const std::string verdict = IntegrityOf(d); verdict != "ok") return seen[key] = {"integrity: " + verdict, {}, false};
        o.counts = db::CountsUsable(d.handle());
        if (o.counts && !db::CountsMatch(d.handle())) return seen[key] = {"stored counts disagree with the pairs", {}, false};
        db::Statement s(d.handle(), "SELECT Engleski, Hrvatski FROM Vokabis");
        while (s.Step()) o.pairs.emplace_back(db::CStr(s.Column(0)), db::CStr(s.Column(1)));
        std::sort(o.pairs.begin(), o.pairs.end());
    } catch (const std::exception& e) {
        o.problem = std::string("does not open: ") + e.what();
    }
    return seen[key] = o;
}

// The program started on a state's folder: the count its window shows, or -1 when it did not start.
long ProgramShows(const QString& appFolder) {
    AutoAnswer answer; // a notice of leftovers moved aside may come; it is answered
    QPointer<MainWindow> w = StartUp(appFolder);
    long shown = -1;
    if (w) {
        QCoreApplication::processEvents();
        shown = w->Text3->text().toLong();
        delete w.data();
    }
    StopWatchingDictionary();
    CloseDictionary();
    return shown;
}

// One protocol's run and its crash states. `expect` gets a state and its copy on the disk and
// returns what is wrong with it, empty when nothing.
class Exploration {
public:
    explicit Exploration(const char* name) : name_(name) {
        fs::create_directories(work / "home" / ".config");
        fs::create_directories(work / "tmp");
        fs::create_directories(app / "Data");
    }
    ~Exploration() {
        if (!std::getenv("VOKABIS_CRASH_KEEP")) fs::remove_all(base);
    }

    fs::path base = fs::temp_directory_path() / ("vokabis-crash-" + std::to_string(::getpid()));
    fs::path work = base / "w";
    fs::path app = work / "app";
    fs::path dictionary = app / "Data" / "Vokabis.mdb";

    // Records command and checks its crash states; returns how many were found wrong. plant, when
    // given, takes calls out of the recording first, as a program that left them out would run.
    size_t Run(const std::vector<std::string>& command, const std::function<std::string(const State&, const fs::path&)>& expect,
               size_t perPrefix = 6, const std::function<void(std::vector<crash::Op>&)>& plant = {}) {
        fs::remove_all(base / "w.strace");
        const std::string env = "HOME=" + work.string() + "/home XDG_CONFIG_HOME=" + work.string() +
                                "/home/.config XDG_DATA_HOME=" + work.string() + "/home/.local/share TMPDIR=" +
                                work.string() + "/tmp QT_QPA_PLATFORM=offscreen";
        recording_ = crash::Record(work.string(), command, env);
        EXPECT_EQ(recording_.exitCode, 0) << name_;
        if (plant) plant(recording_.ops);
        root_ = recording_.root;
        if (std::getenv("VOKABIS_CRASH_DUMP"))
            for (size_t i = 0; i < recording_.ops.size(); ++i) {
                const crash::Op& o = recording_.ops[i];
                std::printf("%zu: %d inode %d %s %s off %llu len %zu\n", i, int(o.kind), o.inode, o.name.c_str(),
                            o.name2.c_str(), (unsigned long long)o.offset, o.data.size());
            }
        std::set<std::string> seen;
        std::vector<std::string> failures;
        size_t distinct = 0, wrong = 0;
        const size_t built = crash::Explore(recording_, PerPrefix(perPrefix), Budget(), 1, [&](const State& s) {
            // What a state may hold depends on what the run had reported by then.
            if (!seen.insert(crash::Digest(s.tree) + "/" + std::to_string(s.reports)).second) return;
            ++distinct;
            const fs::path copy = base / "state";
            fs::remove_all(copy);
            crash::Materialize(s.tree, root_, copy.string());
            if (std::string why = expect(s, copy); !why.empty() && ++wrong <= 3)
                failures.push_back(s.description + ": " + why);
            fs::remove_all(copy);
        });
        std::printf("[crash] %s: %zu calls recorded, %zu crash states built, %zu distinct checked, %zu vulnerable\n",
                    name_, recording_.ops.size(), built, distinct, wrong);
        if (!plant)
            for (const std::string& f : failures) ADD_FAILURE() << name_ << ": " << f;
        return wrong;
    }

    // The dictionary of a state's copy: one of the allowed pair sets (absent only when allowed),
    // and the program shows its count.
    std::string Dictionary(const fs::path& copy, const std::vector<Rows>& allowed, bool mayBeAbsent = false,
                           bool needsCounts = false) {
        const fs::path file = copy / fs::relative(dictionary, work);
        if (!fs::exists(file)) return mayBeAbsent ? "" : "the dictionary is gone";
        const Opened o = Open(file);
        if (!o.problem.empty()) return "the dictionary " + o.problem;
        if (std::find(allowed.begin(), allowed.end(), o.pairs) == allowed.end())
            return "the dictionary holds " + std::to_string(o.pairs.size()) + " pairs, not a set it may hold";
        if (needsCounts && !o.counts) return "the counts are not stored";
        // The program starts once on each distinct file.
        if (!started_.insert(std::to_string(std::hash<std::string>{}(Slurp(file) + Slurp(file.string() + "-wal")))).second)
            return {};
        const long shown = ProgramShows(QString::fromStdString((copy / "app").string()));
        if (shown != long(o.pairs.size()))
            return "the program shows " + std::to_string(shown) + " pairs instead of " + std::to_string(o.pairs.size());
        return {};
    }

    // Every copy under a backup's name in Backup/ is a whole dictionary holding one of allowed.
    static std::string Backups(const fs::path& folder, const std::vector<Rows>& allowed, size_t* whole = nullptr) {
        if (!fs::exists(folder)) return {};
        for (const auto& e : fs::directory_iterator(folder)) {
            const std::string name = e.path().filename().string();
            if (name[0] == '.' || e.path().extension() != ".mdb") continue;
            const Opened o = Open(e.path());
            if (!o.problem.empty()) return "backup " + name + " " + o.problem;
            if (std::find(allowed.begin(), allowed.end(), o.pairs) == allowed.end())
                return "backup " + name + " holds " + std::to_string(o.pairs.size()) + " pairs, not a whole copy";
            if (whole) ++*whole;
        }
        return {};
    }

    // The path a line of the run's output names, in the state's copy.
    fs::path InCopy(const fs::path& copy, const std::string& printed) const {
        std::string p = printed.substr(0, printed.find('\n'));
        return copy.string() + p.substr(root_.size());
    }
    std::string FirstReport() const {
        for (const crash::Op& op : recording_.ops)
            if (op.kind == crash::Op::Report) return op.data;
        return {};
    }
    // Whether the run had ended: what it reports by its exit code alone is reported then.
    bool Ended(const State& s) const { return s.prefix == recording_.ops.size(); }

private:
    const char* name_;
    crash::Recording recording_;
    std::string root_;
    std::set<std::string> started_;
};

const Rows kBefore = ManyPairs(300);

Rows With(Rows r, const Rows& more) {
    r.insert(r.end(), more.begin(), more.end());
    return Sorted(r);
}

void WriteTsv(const fs::path& file, const Rows& pairs) {
    std::ofstream out(file, std::ios::binary);
    for (const auto& [e, h] : pairs) out << e << '\t' << h << '\n';
}

} // namespace

// A save in the editor: a new pair, a changed one, a deleted one, each reported once it returned.
TEST(CrashStates, EditorSaves) {
    Exploration x("editor save");
    MakeDictionary(x.dictionary, kBefore);
    std::vector<Rows> steps{Sorted(kBefore)};
    steps.push_back(With(steps.back(), {{"crash-add", "dodano"}}));
    Rows changed = steps.back();
    *std::find(changed.begin(), changed.end(), std::pair<std::string, std::string>("word1", "riječ1")) = {"crash-edit", "promijenjeno"};
    steps.push_back(Sorted(changed));
    Rows deleted = steps.back();
    deleted.erase(std::find(deleted.begin(), deleted.end(), std::pair<std::string, std::string>("word2", "riječ2")));
    steps.push_back(deleted);
    x.Run({CRASH_DRIVER, "save", x.dictionary.string()}, [&](const State& s, const fs::path& copy) -> std::string {
        const size_t done = s.reports;
        std::vector<Rows> allowed{steps[done]};
        if (done + 1 < steps.size()) allowed.push_back(steps[done + 1]);
        return x.Dictionary(copy, allowed);
    });
}

// A file made before the stored counts gets them at the program's first writable open.
TEST(CrashStates, CountsUpgradeAtFirstOpen) {
    Exploration x("counts upgrade");
    MakeDictionary(x.dictionary, kBefore);
    {
        db::Database d(x.dictionary.string(), db::kPassword);
        db::DropCounts(d.handle());
    }
    x.Run({CRASH_DRIVER, "open", x.dictionary.string()}, [&](const State& s, const fs::path& copy) -> std::string {
        return x.Dictionary(copy, {Sorted(kBefore)}, false, s.reports > 0);
    });
}

// The backup at the end of a run, with ten older copies, the oldest of which it prunes; and the
// tool's first backup, which makes the backup folder (and once left it unsynced in its parent).
TEST(CrashStates, BackupsWithPruning) {
    for (const bool tool : {false, true}) {
        Exploration x(tool ? "vokabis-db backup" : "exit backup");
        MakeDictionary(x.dictionary, kBefore);
        for (int i = 0; i < (tool ? 0 : 10); ++i) ASSERT_EQ(std::system((std::string(VOKABIS_DB) + " backup " + x.dictionary.string() + " >/dev/null").c_str()), 0);
        std::vector<std::string> command{CRASH_DRIVER, "backup", x.dictionary.string()};
        if (tool) command = {VOKABIS_DB, "backup", x.dictionary.string()};
        x.Run(command, [&](const State& s, const fs::path& copy) -> std::string {
            const std::vector<Rows> allowed{Sorted(kBefore)};
            if (std::string why = Exploration::Backups(copy / "app/Data/Backup", allowed); !why.empty()) return why;
            if (s.reports > 0 && !fs::exists(x.InCopy(copy, x.FirstReport())))
                return "the backup reported made is not there";
            return x.Dictionary(copy, allowed);
        });
    }
}

// The explorer sees a backup that could vanish or be torn: the same run with the folder's sync
// after the copy's rename taken out, or the copy's own sync before it.
TEST(CrashStates, FindsAPlantedFault) {
    for (const bool folderSync : {true, false}) {
        Exploration x(folderSync ? "backup without its folder's sync" : "backup without its file's sync");
        MakeDictionary(x.dictionary, kBefore);
        const auto plant = [&](std::vector<crash::Op>& ops) {
            auto rename = std::find_if(ops.begin(), ops.end(), [](const crash::Op& o) {
                return o.kind == crash::Op::Rename && o.name2.find("/Backup/Vokabis-") != std::string::npos;
            });
            ASSERT_NE(rename, ops.end());
            const crash::Op copy = *rename;
            const size_t at = size_t(rename - ops.begin());
            size_t taken = 0;
            for (size_t i = ops.size(); i-- > 0;) // every later sync of the folder; the last one of the copy before
                if (ops[i].kind == crash::Op::Sync &&
                    (folderSync ? i > at && ops[i].inode == copy.folders.back() : i < at && ops[i].inode == copy.inode && !taken)) {
                    ops.erase(ops.begin() + long(i));
                    ++taken;
                }
            ASSERT_GT(taken, 0u);
        };
        EXPECT_GT(x.Run({VOKABIS_DB, "backup", x.dictionary.string()},
                        [&](const State& s, const fs::path& copy) -> std::string {
                            if (std::string why = Exploration::Backups(copy / "app/Data/Backup", {Sorted(kBefore)}); !why.empty())
                                return why;
                            return s.reports > 0 && !fs::exists(x.InCopy(copy, x.FirstReport())) ? "the backup is gone" : "";
                        }, 6, plant), 0u);
    }
}

// A restore puts a backup in the dictionary's place and keeps the file it replaces.
TEST(CrashStates, Restore) {
    Exploration x("vokabis-db restore");
    MakeDictionary(x.dictionary, kBefore);
    const Rows restored = ManyPairs(120);
    MakeDictionary(x.work / "copy.mdb", restored);
    x.Run({VOKABIS_DB, "restore", (x.work / "copy.mdb").string(), x.dictionary.string()},
          [&](const State& s, const fs::path& copy) -> std::string {
              const std::vector<Rows> both{Sorted(kBefore), Sorted(restored)};
              if (std::string why = Exploration::Backups(copy / "app/Data/Backup", both); !why.empty()) return why;
              if (Open(copy / "copy.mdb").pairs != Sorted(restored)) return std::string("the backup restored from is hurt");
              return x.Dictionary(copy, s.reports > 0 ? std::vector<Rows>{Sorted(restored)} : both);
          });
}

// Imports: a small one pair by pair, a large one (over 20,000 pairs) by the bulk path; and a
// dictionary made from a list.
TEST(CrashStates, ImportsAndCreate) {
    for (const int count : {40, 20500}) {
        Exploration x(count > 100 ? "vokabis-db import (bulk)" : "vokabis-db import");
        MakeDictionary(x.dictionary, kBefore);
        const Rows added = ManyPairs(count, "new", "novo");
        WriteTsv(x.work / "list.tsv", added);
        x.Run({VOKABIS_DB, "import", x.dictionary.string(), (x.work / "list.tsv").string()},
              [&](const State& s, const fs::path& copy) -> std::string {
                  if (s.reports > 0) return x.Dictionary(copy, {With(kBefore, added)});
                  return x.Dictionary(copy, {Sorted(kBefore), With(kBefore, added)});
              }, count > 100 ? 3 : 6);
    }
    Exploration x("vokabis-db create --from");
    WriteTsv(x.work / "list.tsv", kBefore);
    x.Run({VOKABIS_DB, "create", x.dictionary.string(), "--from", (x.work / "list.tsv").string()},
          [&](const State& s, const fs::path& copy) -> std::string {
              const fs::path file = copy / "app/Data/Vokabis.mdb";
              if (x.Ended(s) && !fs::exists(file)) return std::string("the dictionary made is not there");
              return x.Dictionary(copy, {Sorted(kBefore)}, true);
          });
}

// An export over an older list leaves either that list or the whole new one.
TEST(CrashStates, Export) {
    Exploration x("vokabis-db export");
    MakeDictionary(x.dictionary, kBefore);
    const std::string old = "old\tstaro\n";
    std::ofstream(x.work / "list.tsv") << old;
    const fs::path whole = x.base / "whole.tsv";
    ASSERT_EQ(std::system((std::string(VOKABIS_DB) + " export " + x.dictionary.string() + " " + whole.string()).c_str()), 0);
    x.Run({VOKABIS_DB, "export", "--force", x.dictionary.string(), (x.work / "list.tsv").string()},
          [&](const State& s, const fs::path& copy) -> std::string {
              const std::string now = Slurp(copy / "list.tsv");
              if (now != Slurp(whole) && (x.Ended(s) || now != old))
                  return "the list holds " + std::to_string(now.size()) + " bytes, neither the old list nor the new";
              return x.Dictionary(copy, {Sorted(kBefore)});
          });
}

// An installed program's first start copies the starter into the user's data folder. (Its folders
// were once made without a sync of their parents: after the copy was reported made, a cut could
// take the whole folder away, as the state "after every call, all unsynced lost" showed.)
TEST(CrashStates, FirstCopyForANewUser) {
    Exploration x("per-user first copy");
    fs::remove_all(x.app);
    fs::create_directories(x.work / "inst/bin");
    MakeDictionary(x.work / "inst/share/vokabis/Vokabis.mdb", kBefore);
    fs::permissions(x.work / "inst/share/vokabis/Vokabis.mdb", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const std::string user = "home/.local/share/vokabis/Data/Vokabis.mdb";
    x.Run({CRASH_DRIVER, "first-copy", (x.work / "inst/bin").string()}, [&](const State& s, const fs::path& copy) -> std::string {
        if (!fs::exists(copy / user)) return s.reports > 0 ? std::string("the copy reported made is not there") : "";
        const Opened o = Open(copy / user);
        if (!o.problem.empty()) return "the user's dictionary " + o.problem;
        if (o.pairs != Sorted(kBefore)) return std::string("the user's dictionary is not the whole starter");
        qputenv("XDG_DATA_HOME", QFile::encodeName(QString::fromStdString((copy / "home/.local/share").string())));
        const long shown = ProgramShows(QString::fromStdString((copy / "inst/bin").string()));
        qunsetenv("XDG_DATA_HOME");
        return shown == long(kBefore.size()) ? "" : "the program shows " + std::to_string(shown) + " pairs";
    });
}
