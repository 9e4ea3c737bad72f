// vokabis-db import: adds the pairs of a list, a FreeDict dictionary or an old Access dictionary.
#include "tools/Cli.h"

#include "db/Backup.h"
#include "db/Sqlite.h"
#include "db/SettingsRow.h"

#include <QProcess>
#include <QStringList>

#ifdef Q_OS_UNIX
#include <unistd.h>
#elif defined(Q_OS_WIN)
#include <io.h>
#endif

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>

namespace fs = std::filesystem;

namespace tools::cli {
namespace {

bool ErrorsGoToATerminal() {
#if defined(Q_OS_UNIX)
    return ::isatty(2);
#elif defined(Q_OS_WIN)
    return ::_isatty(::_fileno(stderr));
#else
    return false;
#endif
}

// Progress of a long import: a bar on a terminal, a line now and then otherwise.
class Progress {
public:
    explicit Progress(size_t total) : total_(total), tty_(ErrorsGoToATerminal()) {}
    void Step(size_t done) {
        const int pct = total_ ? int(done * 100 / total_) : 100;
        if (pct == last_ || total_ < 10000) return;
        last_ = pct;
        if (tty_) {
            std::fprintf(stderr, "\rUvoz: [%-40s] %3d %%", std::string(size_t(pct * 40 / 100), '#').c_str(), pct);
            if (pct == 100) std::fprintf(stderr, "\n");
        } else if (pct % 10 == 0 && pct > 0) {
            std::fprintf(stderr, "Uvoz: %d %% (%zu od %zu parova)\n", pct, done, total_);
        }
    }

private:
    size_t total_;
    bool tty_;
    int last_ = -1;
};

bool IsFreeDict(const std::string& source) {
    return fs::exists(source + ".index") && fs::exists(source + ".dict.dz");
}

// The output of a program; its own (English) complaints are not passed on. *status is its exit
// code, 127 when it could not be started (not installed), 128 when it crashed.
std::string Run(const std::string& program, const QStringList& arguments, int* status) {
    QProcess p;
    p.setStandardErrorFile(QProcess::nullDevice());
    p.start(QString::fromStdString(program), arguments, QIODevice::ReadOnly);
    if (!p.waitForStarted(-1)) {
        *status = 127;
        return {};
    }
    p.waitForFinished(-1);
    *status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : 128;
    return p.readAllStandardOutput().toStdString();
}

// One table of an old dictionary as mdb-export writes it: CSV with a header line.
std::vector<std::map<std::string, std::string>> ExportedTable(const Options& o, const std::string& source,
                                                              const char* table) {
    int status = 0;
    std::istringstream csv(Run(o.mdbExport, {QString::fromStdString(source), table}, &status));
    if (status == 127) throw std::runtime_error("mdbtools nije instaliran (paket mdbtools); stari rječnik ne može se pročitati");
    if (status != 0)
        throw std::runtime_error("mdbtools nije mogao pročitati stari rječnik (" + o.mdbExport + " " + source + " " + table + ")");
    return tools::ReadCsvTable(csv);
}

// The tables of an Access file, or a Croatian refusal when it is not one mdbtools can read.
std::vector<std::string> AccessTables(const std::string& source) {
    int status = 0;
    const std::string out = Run("mdb-tables", {"-1", QString::fromStdString(source)}, &status);
    if (status == 127) throw std::runtime_error("mdbtools nije instaliran (paket mdbtools); " + source + " se ne može pročitati");
    if (status != 0) throw std::runtime_error(source + " nije datoteka baze podataka Access; ništa nije uvezeno");
    std::vector<std::string> tables;
    std::istringstream lines(out);
    for (std::string t; std::getline(lines, t);)
        if (!t.empty()) tables.push_back(t);
    return tables;
}

// The pairs of an old Access dictionary, and its settings row when it has one.
std::vector<Pair> ReadAccess(const Options& o, const std::string& source, std::vector<tools::BadLine>* bad,
                             std::map<std::string, std::string>* settings) {
    const std::vector<std::string> tables = AccessTables(source);
    if (std::find(tables.begin(), tables.end(), "Vokabis") == tables.end()) {
        std::string names;
        for (const auto& t : tables) names += (names.empty() ? "" : ", ") + t;
        throw std::runtime_error(source + " ne sadrži parove riječi u obliku ovog programa (nema tablice Vokabis). " +
                                 (names.empty() ? std::string("U njoj nema tablica.") : "Tablice u njoj: " + names + "."));
    }
    std::vector<Pair> out;
    long line = 1;
    const auto rows = ExportedTable(o, source, "Vokabis");
    if (!rows.empty() && (!rows.front().contains("Engleski") || !rows.front().contains("Hrvatski")))
        throw std::runtime_error(source + ": tablica Vokabis nema stupce Engleski i Hrvatski; ništa nije uvezeno");
    for (auto row : rows) {
        ++line;
        Pair p{row["Engleski"], row["Hrvatski"]};
        if (!tools::ValidUtf8(p.english) || !tools::ValidUtf8(p.croatian)) bad->push_back({line, "tekst nije ispravan UTF-8"});
        else out.push_back(std::move(p));
    }
    if (std::find(tables.begin(), tables.end(), "Postavke") == tables.end()) return out; // the defaults stay
    const auto table = ExportedTable(o, source, "Postavke");
    if (!table.empty()) *settings = table.front();
    return out;
}

// The pairs of a source, and the settings row when the source is an old dictionary.
std::vector<Pair> ReadSource(const Options& o, const std::string& source, std::vector<tools::BadLine>* bad,
                             std::map<std::string, std::string>* settings) {
    if (IsFreeDict(source)) return tools::ReadFreeDict(source, source.find("hrv-eng") == std::string::npos);
    if (Suffix(source) == ".mdb") return ReadAccess(o, source, bad, settings);
    std::ifstream in(source, std::ios::binary);
    if (!in) throw std::runtime_error("ne mogu čitati " + source);
    return tools::ReadPairs(in, FormatOf(source, o.format), bad);
}

void CarryOverSettings(db::Database& d, const std::map<std::string, std::string>& row) {
    // Converted as the program reads them, so a value it could not start from is refused here;
    // Access exports True as 1, and an empty field is a Null.
    db::ForEachSetting([&](const db::SettingField& f) {
        const auto it = row.find(f.name);
        if (it == row.end()) return;
        db::Value v;
        try {
            v = db::ConvertSetting(f, it->second.empty() ? db::Value() : db::Value(it->second));
        } catch (const db::EngineError& e) {
            throw std::runtime_error(std::string(e.what()) + " Ništa nije uvezeno.");
        }
        db::Statement s(d.handle(), std::string("UPDATE Postavke SET ") + f.name + " = ? WHERE Id = 1");
        s.Bind(1, v);
        s.Step();
    });
}

// Adds every pair in one transaction: all of them or, on any failure, none.
void AddAll(db::Database& d, const std::vector<Pair>& pairs, const std::map<std::string, std::string>& settings) {
    const long long existing = d.Count("Select Id From Vokabis");
    const bool bulk = pairs.size() > 20000 && (long long)pairs.size() > existing / 4;
    db::Transaction t(d.handle());
    if (bulk) d.DropIndexes(); // one index build at the end is far quicker than a million updates
    Progress progress(pairs.size());
    db::Statement add(d.handle(), "INSERT INTO Vokabis (Engleski, Hrvatski) VALUES (?, ?)");
    for (size_t i = 0; i < pairs.size(); ++i) {
        add.Reset();
        add.Bind(1, pairs[i].english);
        add.Bind(2, pairs[i].croatian);
        add.Step();
        progress.Step(i + 1);
    }
    if (bulk) d.CreateIndexes();
    if (!settings.empty()) CarryOverSettings(d, settings);
    t.Commit();
}

} // namespace

int ImportInto(const Options& o, const std::string& path, const std::string& source, bool fresh) {
    std::vector<tools::BadLine> bad;
    std::map<std::string, std::string> settings;
    const std::vector<Pair> pairs = ReadSource(o, source, &bad, &settings);
    for (const auto& b : bad) std::cerr << source << ", redak " << b.line << ": " << b.why << "\n";
    if (!bad.empty() && !o.skipBad) {
        std::cerr << "Uvoz odbijen: " << bad.size() << " neispravnih redaka; datoteka nije promijenjena"
                  << " (--skip-bad ih preskače).\n";
        return 1;
    }
    if (!fresh) { // looked at without writing first: a file that is not a dictionary stays untouched
        db::Database probe = OpenReadOnly(path);
        RequireDictionary(probe);
    }
    db::Database d(path, db::kPassword, fresh);
    if (fresh) d.CreateSchema();
    AddAll(d, pairs, settings);
    std::cout << "Uvezeno parova: " << pairs.size();
    if (!bad.empty()) std::cout << " (preskočeno neispravnih redaka: " << bad.size() << ")";
    std::cout << "\n";
    return 0;
}

int Import(const Options& o) { return ImportInto(o, o.args[1], o.args[2], false); }

} // namespace tools::cli
