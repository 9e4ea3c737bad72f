// vokabis-db: makes, fills, exports and checks dictionary files. The program itself reads no
// command line; everything done to a file from outside it is done here.
#include "app/Module1.h"
#include "db/Database.h"
#include "db/Sqlite.h"
#include "tools/Formats.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>

namespace fs = std::filesystem;
using tools::Format;
using tools::Pair;

namespace {

const char* const kPassword = "KamenPlavetni";

const char* const kHelp =
    "vokabis-db – rad s datotekom rječnika Vokabis / working with a Vokabis dictionary file\n"
    "\n"
    "  vokabis-db create DATOTEKA [--from IZVOR]   nova datoteka, po želji odmah napunjena\n"
    "                                              / a new file, optionally filled at once\n"
    "  vokabis-db import DATOTEKA IZVOR [--skip-bad]\n"
    "                                              dodaje parove iz izvora / adds the pairs of a source\n"
    "  vokabis-db export DATOTEKA [CILJ]           svi parovi u TSV ili CSV (bez cilja: na izlaz)\n"
    "                                              / every pair as TSV or CSV (no target: stdout)\n"
    "  vokabis-db check DATOTEKA                   provjera datoteke / checks the file\n"
    "  vokabis-db stats DATOTEKA                   brojke o rječniku / figures about the dictionary\n"
    "\n"
    "Izvor / source: .tsv (engleski TAB hrvatski), .csv (RFC 4180), FreeDict (npr. / e.g.\n"
    "/usr/share/dictd/freedict-eng-hrv), stari rječnik / an old dictionary .mdb (mdbtools).\n"
    "--format tsv|csv  određuje zapis kad ga nastavak ne kaže / names the format when the suffix does not.\n"
    "--skip-bad        preskače neispravne retke umjesto da odbaci cijeli uvoz\n"
    "                  / skips bad lines instead of refusing the whole import.\n"
    "Izlazni kodovi / exit codes: 0 u redu / ok, 1 pogreška / error, 2 pogrešna uporaba / usage.\n";

struct Options {
    std::vector<std::string> args;
    bool skipBad = false;
    std::string format;
    std::string from;
    std::string mdbExport = "mdb-export";
};

int Usage() {
    std::cerr << kHelp;
    return 2;
}

// Progress of a long import: a bar on a terminal, a line now and then otherwise.
class Progress {
public:
    explicit Progress(size_t total) : total_(total), tty_(isatty(2)) {}
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

Format FormatOf(const std::string& path, const std::string& named) {
    if (named == "csv" || (named.empty() && fs::path(path).extension() == ".csv")) return Format::Csv;
    return Format::Tsv;
}

bool IsFreeDict(const std::string& source) {
    return fs::exists(source + ".index") && fs::exists(source + ".dict.dz");
}

std::string Run(const std::string& command) {
    std::string out;
    std::unique_ptr<FILE, int (*)(FILE*)> p(popen(command.c_str(), "r"), pclose);
    if (!p) throw std::runtime_error("ne mogu pokrenuti: " + command);
    char buf[1 << 16];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p.get())) > 0) out.append(buf, n);
    const int status = pclose(p.release());
    if (status != 0) throw std::runtime_error("naredba nije uspjela (" + command + ")");
    return out;
}

std::string Quoted(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// The pairs of a source, and the settings row when the source is an old dictionary.
std::vector<Pair> ReadSource(const Options& o, const std::string& source, std::vector<tools::BadLine>* bad,
                             std::map<std::string, std::string>* settings) {
    if (IsFreeDict(source)) return tools::ReadFreeDict(source, source.find("hrv-eng") == std::string::npos);
    if (fs::path(source).extension() == ".mdb") {
        std::istringstream pairs(Run(o.mdbExport + " " + Quoted(source) + " Vokabis"));
        std::vector<Pair> out;
        long line = 1;
        for (auto& row : tools::ReadCsvTable(pairs)) {
            ++line;
            Pair p{row["Engleski"], row["Hrvatski"]};
            if (!tools::ValidUtf8(p.english) || !tools::ValidUtf8(p.croatian)) bad->push_back({line, "tekst nije ispravan UTF-8"});
            else out.push_back(std::move(p));
        }
        std::istringstream rows(Run(o.mdbExport + " " + Quoted(source) + " Postavke"));
        const auto table = tools::ReadCsvTable(rows);
        if (!table.empty()) *settings = table.front();
        return out;
    }
    std::ifstream in(source, std::ios::binary);
    if (!in) throw std::runtime_error("ne mogu čitati " + source);
    return tools::ReadPairs(in, FormatOf(source, o.format), bad);
}

void CarryOverSettings(db::Database& d, const std::map<std::string, std::string>& row) {
    static const char* const fields[] = {"LeftM", "TopM", "XDesno", "YDolje", "MojFontIme", "VelicinaFonta",
                                         "MojFontItalic", "MojFontBold", "BrojRedova", "SortEng"};
    for (const char* f : fields) {
        auto it = row.find(f);
        if (it == row.end()) continue;
        db::Statement s(d.handle(), std::string("UPDATE Postavke SET ") + f + " = ? WHERE Id = 1");
        const std::string& v = it->second;
        if (std::string(f) == "MojFontIme") s.Bind(1, v);
        else s.Bind(1, db::CDbl(db::Value(v))); // Access writes its booleans as 1/0 or -1/0 alike
        s.Step();
    }
    // Access keeps True as 1 in exports; the settings row holds True as -1.
    d.Exec("UPDATE Postavke SET MojFontItalic = -(MojFontItalic <> 0), MojFontBold = -(MojFontBold <> 0),"
           " SortEng = -(SortEng <> 0) WHERE Id = 1");
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

int Import(const Options& o, const std::string& path, const std::string& source, bool fresh) {
    std::vector<tools::BadLine> bad;
    std::map<std::string, std::string> settings;
    const std::vector<Pair> pairs = ReadSource(o, source, &bad, &settings);
    for (const auto& b : bad) std::cerr << source << ", redak " << b.line << ": " << b.why << "\n";
    if (!bad.empty() && !o.skipBad) {
        std::cerr << "Uvoz odbijen: " << bad.size() << " neispravnih redaka; datoteka nije promijenjena"
                  << " (--skip-bad ih preskače).\n";
        return 1;
    }
    db::Database d(path, kPassword, fresh);
    if (fresh) d.CreateSchema();
    AddAll(d, pairs, settings);
    std::cout << "Uvezeno parova: " << pairs.size();
    if (!bad.empty()) std::cout << " (preskočeno neispravnih redaka: " << bad.size() << ")";
    std::cout << "\n";
    return 0;
}

int Export(const Options& o, const std::string& path, const std::string& target) {
    db::Database d(path, kPassword);
    const Format format = FormatOf(target, o.format);
    std::ofstream file;
    if (!target.empty()) {
        file.open(target, std::ios::binary);
        if (!file) throw std::runtime_error("ne mogu pisati " + target);
    }
    std::ostream& out = target.empty() ? std::cout : file;
    db::Statement s(d.handle(), "SELECT Engleski, Hrvatski FROM Vokabis ORDER BY Id");
    while (s.Step()) {
        const db::Value e = s.Column(0), h = s.Column(1);
        tools::WritePair(out, format, db::IsNull(e) ? "" : db::CStr(e), db::IsNull(h) ? "" : db::CStr(h));
    }
    out.flush();
    if (!out) throw std::runtime_error("izvoz nije dovršen (disk pun?)");
    return 0;
}

int Check(const std::string& path) {
    db::Database d(path, kPassword);
    bool ok = true;
    db::Statement integrity(d.handle(), "PRAGMA integrity_check");
    std::string verdict;
    while (integrity.Step()) verdict += db::CStr(integrity.Column(0)) + " ";
    if (verdict != "ok ") {
        std::cout << "Datoteka je oštećena: " << verdict << "\n";
        ok = false;
    } else {
        std::cout << "Cjelovitost datoteke: u redu\n";
    }
    std::cout << "Parova riječi: " << d.Count("Select Id From Vokabis") << "\n";
    try {
        const Module1::SettingsRecord s = Module1::ReadSettings(d);
        std::cout << "Postavke ispisa: u redu (" << s.MojFontIme.toStdString() << ", " << s.VelicinaFonta
                  << " pt, " << s.BrojRedova << " redova po stranici)\n";
    } catch (const db::EngineError& e) {
        std::cout << "Postavke ispisa: " << e.what() << "\n";
        ok = false;
    }
    try {
        d.Count("Select * From OrderByEngleski Where 0");
        std::cout << "Spremljeni upit OrderByEngleski: u redu\n";
    } catch (const db::EngineError& e) {
        std::cout << "Spremljeni upit OrderByEngleski nedostaje: " << e.what() << "\n";
        ok = false;
    }
    return ok ? 0 : 1;
}

int Stats(const std::string& path) {
    db::Database d(path, kPassword);
    db::Statement s(d.handle(),
                    "SELECT count(*), sum(Engleski IS NULL OR Engleski = ''), sum(Hrvatski IS NULL OR Hrvatski = ''),"
                    " max(length(Engleski)), max(length(Hrvatski)) FROM Vokabis");
    s.Step();
    auto n = [&](int i) { return db::IsNull(s.Column(i)) ? 0LL : std::get<long long>(s.Column(i)); };
    std::cout << "Parova riječi: " << n(0) << "\n"
              << "Bez engleskog pojma: " << n(1) << "\n"
              << "Bez hrvatskog pojma: " << n(2) << "\n"
              << "Najdulji engleski pojam: " << n(3) << " znakova\n"
              << "Najdulji hrvatski pojam: " << n(4) << " znakova\n"
              << "Veličina datoteke: " << fs::file_size(path) / 1024 << " KB\n";
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            std::cout << kHelp;
            return 0;
        }
        if (a == "--skip-bad") o.skipBad = true;
        else if ((a == "--format" || a == "--from" || a == "--mdb-export") && i + 1 < argc)
            (a == "--format" ? o.format : a == "--from" ? o.from : o.mdbExport) = argv[++i];
        else if (a.rfind("--", 0) == 0) return Usage();
        else o.args.push_back(a);
    }
    if (o.args.size() < 2) return Usage();
    const std::string command = o.args[0], path = o.args[1];
    try {
        if (command == "create") {
            if (fs::exists(path)) {
                std::cerr << "Datoteka već postoji: " << path << "\n";
                return 1;
            }
            // Built beside the target and moved into place whole, so a failure leaves nothing behind.
            const std::string partial = path + ".novo";
            fs::remove(partial);
            try {
                if (o.from.empty()) {
                    db::Database(partial, kPassword, true).CreateSchema();
                } else if (const int rc = Import(o, partial, o.from, true); rc != 0) {
                    fs::remove(partial);
                    return rc;
                }
            } catch (...) {
                fs::remove(partial);
                throw;
            }
            fs::rename(partial, path);
            return 0;
        }
        if (command == "import" && o.args.size() == 3) return Import(o, path, o.args[2], false);
        if (command == "export" && o.args.size() <= 3) return Export(o, path, o.args.size() == 3 ? o.args[2] : "");
        if (command == "check" && o.args.size() == 2) return Check(path);
        if (command == "stats" && o.args.size() == 2) return Stats(path);
    } catch (const std::exception& e) {
        std::cerr << "Pogreška: " << e.what() << "\n";
        return 1;
    }
    return Usage();
}
