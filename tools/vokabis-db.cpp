// vokabis-db: makes, fills, exports and checks dictionary files. The program itself reads no
// command line; everything done to a file from outside it is done here.
#include "core/Module1.h"
#include "db/Backup.h"
#include "db/Counts.h"
#include "db/Database.h"
#include "db/Files.h"
#include "db/Recordset.h"
#include "db/Sqlite.h"
#include "db/Strays.h"
#include "tools/Formats.h"

#include <QSaveFile> // before anything that may define `open`
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QProcess>

#ifdef Q_OS_UNIX
#include <unistd.h>
#elif defined(Q_OS_WIN)
#include <io.h>
#endif

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstring>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <optional>
#include <sstream>

namespace fs = std::filesystem;
using tools::Format;
using tools::Pair;

namespace {

using db::kPassword;

const char* const kHelp =
    "vokabis-db – rad s datotekom rječnika Vokabis / working with a Vokabis dictionary file\n"
    "\n"
    "  vokabis-db create DATOTEKA [--from IZVOR]   nova datoteka, po želji odmah napunjena\n"
    "                                              / a new file, optionally filled at once\n"
    "  vokabis-db import DATOTEKA IZVOR [--skip-bad]\n"
    "                                              dodaje parove iz izvora / adds the pairs of a source\n"
    "  vokabis-db export DATOTEKA [CILJ] [--force] svi parovi u TSV ili CSV (bez cilja: na izlaz);\n"
    "                                              postojeći cilj zamjenjuje samo uz --force\n"
    "                                              / every pair as TSV or CSV (no target: stdout);\n"
    "                                              an existing target is replaced only with --force\n"
    "  vokabis-db check DATOTEKA                   provjera datoteke / checks the file\n"
    "  vokabis-db stats DATOTEKA                   brojke o rječniku / figures about the dictionary\n"
    "  vokabis-db backup DATOTEKA [MAPA]           pričuvna kopija (zadano: Backup/ uz datoteku)\n"
    "                                              / a backup copy (default: Backup/ beside the file)\n"
    "  vokabis-db restore KOPIJA DATOTEKA          vraća kopiju; zamijenjena datoteka ostaje kao kopija\n"
    "                                              / restores a backup; the replaced file is kept as one\n"
    "\n"
    "  vokabis-db --version                        inačica programa / the program's version\n"
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
    bool force = false;
    std::string format;
    std::string from;
    std::string mdbExport = "mdb-export";
};

int Usage() {
    std::cerr << kHelp;
    return 2;
}

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

std::string Lower(std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}
// A file's suffix as written, in lower case: "in.CSV" is a CSV file.
std::string Suffix(const std::string& path) { return Lower(fs::path(path).extension().string()); }

// named has been checked to be empty, tsv or csv (in any case).
Format FormatOf(const std::string& path, const std::string& named) {
    if (Lower(named) == "csv" || (named.empty() && Suffix(path) == ".csv")) return Format::Csv;
    return Format::Tsv;
}

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

db::Database OpenReadOnly(const std::string& path) {
    return db::Database(path, kPassword, db::Connection::Options{false, true, false});
}

// Refuses a file that opens but is not a dictionary of this program, before anything reads or
// writes its tables.
void RequireDictionary(db::Database& d) {
    auto has = [&](const char* sql) {
        db::Statement s(d.handle(), sql);
        return s.Step() && s.Int(0) > 0;
    };
    auto hasColumns = [&] {
        db::Statement s(d.handle(), "PRAGMA table_info(Vokabis)");
        int found = 0;
        while (s.Step()) found += db::CStr(s.Column(1)) == "Engleski" || db::CStr(s.Column(1)) == "Hrvatski";
        return found == 2;
    };
    const char* missing = !has("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'Vokabis'") ? "tablice Vokabis"
                          : !hasColumns()                                                              ? "stupaca Engleski i Hrvatski"
                          : !has("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'Postavke'") ? "tablice Postavke"
                                                                                                             : nullptr;
    if (missing)
        throw std::runtime_error(d.path() + " nije rječnik programa Vokabis (nema " + missing + "); datoteka nije mijenjana");
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
    if (!fresh) { // looked at without writing first: a file that is not a dictionary stays untouched
        db::Database probe = OpenReadOnly(path);
        RequireDictionary(probe);
    }
    db::Database d(path, kPassword, fresh);
    if (fresh) d.CreateSchema();
    AddAll(d, pairs, settings);
    std::cout << "Uvezeno parova: " << pairs.size();
    if (!bad.empty()) std::cout << " (preskočeno neispravnih redaka: " << bad.size() << ")";
    std::cout << "\n";
    return 0;
}

// A term as a message shows it: control characters visible, a long one cut.
std::string Shown(const std::string& t) {
    std::string out;
    for (size_t i = 0; i < t.size(); ++i) {
        if (out.size() > 60 && (static_cast<unsigned char>(t[i]) & 0xC0) != 0x80) return "„" + out + "…“";
        const char c = t[i];
        out += c == '\t' ? "\\t" : c == '\n' ? "\\n" : c == '\r' ? "\\r" : std::string(1, c);
    }
    return "„" + out + "“";
}

// Names the target may not have: the dictionary itself and the engine's files beside it.
bool IsTheDictionary(const std::string& path, const std::string& target) {
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
        const std::string own = path + suffix;
        if (db::SameFile(own, target) || db::CanonicalPath(own) == db::CanonicalPath(target)) return true;
    }
    return false;
}

// Why the export may not write to target, or nothing when it may.
std::string TargetRefusal(const Options& o, const std::string& path, const std::string& target) {
    if (IsTheDictionary(path, target))
        return "cilj " + target + " je sama datoteka rječnika " + path + " (ili njezina pomoćna datoteka). Navedite drugi cilj.";
    if (fs::is_directory(target)) return target + " je mapa. Navedite ime datoteke.";
    if (fs::exists(target) && !o.force) return target + " već postoji i nije dirnut. Zamjena samo uz --force.";
    return {};
}

const char* const kAllPairs = "SELECT Engleski, Hrvatski, Id FROM Vokabis ORDER BY Id";

std::string Text(const db::Value& v) { return db::IsNull(v) ? std::string() : db::CStr(v); }

// TSV has no quoting: the first pair it cannot hold refuses the export whole, before a line is
// written, so no half list goes out.
bool AllFitTsv(db::Database& d) {
    db::Statement s(d.handle(), kAllPairs);
    while (s.Step()) {
        const std::string e = Text(s.Column(0)), h = Text(s.Column(1));
        if (tools::FitsTsv(e) && tools::FitsTsv(h)) continue;
        std::cerr << "Izvoz odbijen: par " << Shown(e) << " – " << Shown(h) << " (Id " << s.Int(2)
                  << ") sadrži tabulator ili prijelom retka, koje TSV ne može zapisati. "
                     "Izvezite u CSV (cilj s nastavkom .csv ili --format csv).\n";
        return false;
    }
    return true;
}

// Lets the pair writer, which writes to a std::ostream, write into a Qt file.
class DeviceBuffer : public std::streambuf {
public:
    explicit DeviceBuffer(QIODevice& device) : device_(device) {}

protected:
    std::streamsize xsputn(const char* s, std::streamsize n) override { return device_.write(s, n) == n ? n : 0; }
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
        const char ch = traits_type::to_char_type(c);
        return device_.write(&ch, 1) == 1 ? c : traits_type::eof();
    }

private:
    QIODevice& device_;
};

// Written beside the target, flushed to the disk and renamed over it whole: a failed export
// leaves no half file and an existing target as it was (with its permissions when replaced).
void WriteWhole(const std::string& target, const std::function<void(std::ostream&)>& write) {
    const fs::path final = fs::weakly_canonical(fs::absolute(target));
    QSaveFile file(QString::fromStdString(final.string()));
    if (!file.open(QIODevice::WriteOnly))
        throw std::runtime_error("ne mogu pisati " + target + " (mapa cilja ili postojeći cilj nije zapisiv); ništa nije promijenjeno");
    DeviceBuffer buffer(file);
    std::ostream out(&buffer);
    write(out);
    if (!out || !file.commit()) throw std::runtime_error("izvoz u " + target + " nije dovršen (disk pun?); cilj nije dirnut");
    db::SyncPath(final.parent_path().string());
}

int Export(const Options& o, const std::string& path, const std::string& target) {
    if (const std::string why = target.empty() ? "" : TargetRefusal(o, path, target); !why.empty()) {
        std::cerr << "Izvoz odbijen: " << why << "\n";
        return 1;
    }
    db::Database d = OpenReadOnly(path);
    RequireDictionary(d);
    const Format format = FormatOf(target, o.format);
    if (format == Format::Tsv && !AllFitTsv(d)) return 1;
    auto write = [&](std::ostream& out) {
        db::Statement s(d.handle(), kAllPairs);
        for (bool first = true; s.Step(); first = false)
            tools::WritePair(out, format, Text(s.Column(0)), Text(s.Column(1)), first);
        out.flush();
    };
    if (!target.empty()) {
        WriteWhole(target, write);
        return 0;
    }
    write(std::cout);
    return std::cout ? 0 : 1;
}

// Everything the program needs from a file, each on a line of its own; true when all of it is there.
bool Verify(db::Database& d, std::ostream& out) {
    RequireDictionary(d);
    bool ok = true;
    std::string verdict;
    try {
        db::Statement integrity(d.handle(), "PRAGMA integrity_check");
        int findings = 0;
        while (integrity.Step()) findings += db::CStr(integrity.Column(0)) != "ok";
        verdict = findings == 0 ? "ok " : "provjera cjelovitosti našla je " + std::to_string(findings) + " pogrešaka ";
    } catch (const db::EngineError&) {
        verdict = "dijelovi datoteke ne mogu se pročitati ";
    }
    if (verdict != "ok ") { // the engine's own findings are English and for developers
        out << "Datoteka je oštećena: " << verdict << "\n";
        return false;
    }
    out << "Cjelovitost datoteke: u redu\n";
    out << "Parova riječi: " << d.Count("Select Id From Vokabis") << "\n";
    if (!db::CountsUsable(d.handle())) {
        out << "Brojevi parova po početnom znaku: još nisu spremljeni (program ih sprema kad prvi put otvori datoteku).\n";
    } else if (db::CountsMatch(d.handle())) {
        out << "Brojevi parova po početnom znaku: u redu\n";
    } else { // the pairs are whole; the program counts them again when it next opens the file
        out << "Spremljeni brojevi parova po početnom znaku ne odgovaraju parovima; program ih ponovno broji kad sljedeći "
               "put otvori datoteku.\n";
        ok = false;
    }
    try {
        const Module1::SettingsRecord s = Module1::ReadSettings(d);
        out << "Postavke ispisa: u redu (" << s.MojFontIme.toStdString() << ", " << s.VelicinaFonta << " pt, "
            << s.BrojRedova << " redova po stranici)\n";
    } catch (const db::EngineError& e) {
        out << "Postavke ispisa: " << e.what() << "\n";
        ok = false;
    }
    db::Statement query(d.handle(), "SELECT count(*) FROM sqlite_master WHERE type = 'view' AND name = 'OrderByEngleski'");
    query.Step();
    bool runs = query.Int(0) > 0;
    if (runs) try { // opened as the program opens it at start, so that both judge the file alike
            d.OpenRecordset("OrderByEngleski");
        } catch (const db::EngineError&) {
            runs = false;
        }
    out << (runs ? "Spremljeni upit OrderByEngleski: u redu\n" : "Spremljeni upit OrderByEngleski nedostaje ili ne radi.\n");
    return ok && runs;
}

int Check(const std::string& path) {
    bool ok = false;
    try {
        db::Database d = OpenReadOnly(path); // looking never writes, not even to a file that is no dictionary
        ok = Verify(d, std::cout);
    } catch (const db::EngineError& e) {
        if (!db::IsDamage(e.sqliteCode)) throw;
        // The engine's sentence advises running this very check.
        std::cout << "Datoteka " << path << " je oštećena ili nije rječnik ovog programa: ne može se pročitati. "
                     "Vratite najnoviju sigurnosnu kopiju naredbom \"vokabis-db restore\".\n";
    }
    std::cout << (ok ? "Datoteka je ispravan rječnik.\n" : "Datoteka nije ispravna.\n");
    return ok ? 0 : 1;
}

int Stats(const std::string& path) {
    db::Database d = OpenReadOnly(path);
    RequireDictionary(d);
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

int Backup(const std::string& path, const std::string& folder) {
    {
        db::Database d = OpenReadOnly(path);
        RequireDictionary(d);
    }
    std::cout << db::MakeBackup(path, kPassword, folder) << "\n";
    return 0;
}

// A damaged file cannot be read through the engine; its bytes (and its log) are kept as they are.
std::string KeepRawCopy(const std::string& path) {
    const std::string folder = db::BackupFolder(path);
    const fs::path name(path);
    fs::path keep;
    try {
        if (!db::files::MakeFolders(folder)) throw fs::filesystem_error("", std::error_code());
        for (int n = 1;; ++n) {
            keep = fs::path(folder) / (name.stem().string() + "-ostecena-" + std::to_string(std::time(nullptr)) +
                                       (n > 1 ? "-" + std::to_string(n) : "") + name.extension().string());
            if (!fs::exists(keep)) break;
        }
        fs::copy_file(path, keep);
        fs::permissions(keep, fs::perms::owner_read | fs::perms::owner_write);
        db::SyncPath(keep.string());
        for (const char* log : {"-wal", "-journal"}) // the damaged file's, never the new one's
            if (fs::exists(path + log)) {
                fs::rename(path + log, keep.string() + log);
                db::SyncPath(folder);
            }
    } catch (const fs::filesystem_error&) {
        std::error_code ec;
        if (!keep.empty()) fs::remove(keep, ec);
        throw std::runtime_error("datoteka " + path + " ne može se sačuvati kao kopija u " + folder +
                                 " (disk je pun ili se u mapu ne može pisati); ništa nije promijenjeno");
    }
    return keep.string();
}

int Create(const Options& o, const std::string& path) {
    if (fs::exists(fs::symlink_status(path))) {
        std::cerr << "Datoteka već postoji: " << path << "\n";
        return 1;
    }
    const std::string strays = db::DescribeStrays(db::MoveStraysAside(path));
    if (!strays.empty()) std::cerr << strays << "\n";
    // Made beside its place and renamed there once complete, never over a file that appeared
    // meanwhile; a failure leaves no half file.
    const std::string partial = path + ".novo";
    for (const char* beside : {"", "-wal", "-shm", "-journal"}) fs::remove(partial + beside); // a create killed half-way
    int rc = 0;
    try {
        if (o.from.empty()) db::Database(partial, kPassword, true).CreateSchema();
        else rc = Import(o, partial, o.from, true);
        if (rc == 0) {
            const db::files::Made moved = db::files::RenameNoReplace(partial, path);
            if (moved == db::files::Made::Exists)
                throw std::runtime_error("datoteka " + path + " u međuvremenu je nastala i nije dirnuta");
            if (moved == db::files::Made::Failed)
                throw std::runtime_error("nova datoteka ne može se spremiti kao " + path + "; ništa nije promijenjeno");
        }
    } catch (...) {
        std::error_code ec;
        fs::remove(partial, ec);
        throw;
    }
    if (rc != 0) {
        std::error_code ec;
        fs::remove(partial, ec); // the import was refused
        return rc;
    }
    db::SyncPath(fs::absolute(path).parent_path().string());
    return 0;
}

const char* const kHeldOpen = " je otvoren u drugom programu (Vokabis?). Zatvorite ga pa pokušajte ponovno; ništa nije promijenjeno";

// The file a restore replaces, held for itself from the moment it is checked until the new file
// has its name: in exclusive locking mode the engine takes the whole file at the first read and
// keeps it until the connection closes (a program still holding the file stops the restore
// here), so no program or tool can open it for writing meanwhile. Nothing is written to it: a
// damaged one is kept byte for byte.
struct Held {
    sqlite3* db = nullptr;
    explicit Held(const std::string& path) {
        int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
        if (rc == SQLITE_OK) rc = sqlite3_key(db, kPassword, int(std::strlen(kPassword)));
        if (rc == SQLITE_OK) rc = sqlite3_busy_timeout(db, 2000);
        // Its log stays where it is when it closes: by then that name is the new file's.
        int persist = 1;
        if (rc == SQLITE_OK) rc = sqlite3_file_control(db, "main", SQLITE_FCNTL_PERSIST_WAL, &persist);
        if (rc == SQLITE_OK) rc = sqlite3_exec(db, "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE; COMMIT", nullptr, nullptr, nullptr);
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
            sqlite3_close(db);
            throw std::runtime_error(path + kHeldOpen);
        }
        if (rc != SQLITE_OK) { // the engine cannot read it: damaged, or not a dictionary at all
            sqlite3_close(db);
            db = nullptr;
        }
    }
    ~Held() { sqlite3_close_v2(db); }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
};

// Keeps the file a restore replaces as a backup beside it; returns the copy's path. A file the
// engine cannot copy whole (a damaged page) is kept byte for byte instead, with its log.
std::string KeepReplaced(const std::string& path, const Held& held) {
    if (held.db) try {
            return db::MakeBackupOf(held.db, path, kPassword, {}, INT_MAX);
        } catch (const db::EngineError& e) {
            if ((e.sqliteCode & 0xff) == SQLITE_FULL) throw;
        }
    return KeepRawCopy(path);
}

int Restore(const std::string& backup, const std::string& path) {
    if (db::SameFile(backup, path)) {
        std::cerr << "Vraćanje odbijeno: kopija i datoteka su ista datoteka (" << path << ").\n";
        return 1;
    }
    // Everything the program needs must be in the backup before the dictionary is touched.
    db::Database source = OpenReadOnly(backup);
    std::ostringstream report;
    if (!Verify(source, report)) {
        std::cerr << report.str() << "Vraćanje odbijeno: kopija " << backup << " nije ispravan rječnik; " << path
                  << " nije dirnut.\n";
        return 1;
    }
    const std::string strays = db::DescribeStrays(db::MoveStraysAside(path));
    if (!strays.empty()) std::cerr << strays << "\n";
    // Written and flushed beside the file, then renamed over it: a restore killed at any moment
    // leaves the old file or the new one.
    const std::string partial = db::PrepareCopy(source.handle(), path, kPassword);
    std::string kept;
    std::unique_ptr<Held> held;
    try {
        if (fs::exists(path)) {
            held = std::make_unique<Held>(path);
            kept = KeepReplaced(path, *held);
        }
        // Nothing of the old file may stay under its names, or the new one would read it as its
        // own: its log is in the copy just kept (or went with the damaged file's bytes).
        for (const char* beside : {"-wal", "-shm", "-journal"}) fs::remove(path + beside);
        fs::rename(partial, path);
        db::SyncPath(fs::absolute(path).parent_path().string());
    } catch (...) {
        std::error_code ec;
        fs::remove(partial, ec);
        throw;
    }
    held.reset(); // a program that waited for the old file finds it gone and opens the new one
    if (!kept.empty()) db::PruneBackups(db::BackupFolder(path), fs::path(path).filename().string(), 10, kept);
    std::cout << "Vraćeno iz " << backup << " u " << path << ".\n";
    if (!kept.empty()) std::cout << "Prijašnja datoteka sačuvana je kao " << kept << "\n";
    return 0;
}

// What went wrong with the arguments, said before the help text.
std::string ArgumentError(const QCommandLineParser& parser, const QStringList& arguments) {
    if (const QStringList unknown = parser.unknownOptionNames(); !unknown.isEmpty())
        return "Nepoznata opcija: " + std::string(unknown.first().size() > 1 ? "--" : "-") + unknown.first().toStdString();
    if (QStringList{"--format", "--from", "--mdb-export"}.contains(arguments.last()))
        return "Opciji " + arguments.last().toStdString() + " nedostaje vrijednost.";
    return "Opcije --skip-bad, --force, --help i --version ne primaju vrijednost.";
}

// The options and the command's words; an exit code when there is nothing more to do.
std::optional<int> ReadArguments(const QStringList& arguments, Options* o) {
    QCommandLineParser parser;
    const QCommandLineOption help(QStringList{"h", "help"}), skipBad("skip-bad"), force("force"),
        version("version");
    const QCommandLineOption format("format", {}, "tsv|csv"), from("from", {}, "IZVOR"), mdbExport("mdb-export", {}, "PROGRAM");
    parser.addOptions({help, version, skipBad, force, format, from, mdbExport});
    if (!parser.parse(arguments)) {
        std::cerr << ArgumentError(parser, arguments) << "\n";
        return Usage();
    }
    if (parser.isSet(help)) {
        std::cout << kHelp;
        return 0;
    }
    if (parser.isSet(version)) {
        std::cout << "vokabis-db " VOKABIS_VERSION "\n";
        return 0;
    }
    o->skipBad = parser.isSet(skipBad);
    o->force = parser.isSet(force);
    o->format = parser.value(format).toStdString();
    if (parser.isSet(format) && Lower(o->format) != "tsv" && Lower(o->format) != "csv") {
        std::cerr << "Nepoznat zapis \"" << o->format << "\": --format prima samo tsv ili csv.\n";
        return 2;
    }
    o->from = parser.value(from).toStdString();
    if (parser.isSet(mdbExport)) o->mdbExport = parser.value(mdbExport).toStdString();
    for (const QString& a : parser.positionalArguments()) o->args.push_back(a.toStdString());
    return std::nullopt;
}

int Dispatch(const Options& o) {
    const size_t n = o.args.size();
    if (n < 2) return Usage();
    const std::string &command = o.args[0], &path = o.args[1], third = n == 3 ? o.args[2] : "";
    if (command == "create" && n == 2) return Create(o, path);
    if (command == "import" && n == 3) return Import(o, path, third, false);
    if (command == "export" && n <= 3) return Export(o, path, third);
    if (command == "check" && n == 2) return Check(path);
    if (command == "stats" && n == 2) return Stats(path);
    if (command == "backup" && n <= 3) return Backup(path, third);
    if (command == "restore" && n == 3) return Restore(path, third);
    return Usage();
}

} // namespace

int main(int argc, char** argv) {
    db::files::NoCoreDumps(); // a crash must not leave the pairs and the key in a file
    QCoreApplication app(argc, argv); // its arguments() come right from the system on every platform
    Options o;
    if (const std::optional<int> done = ReadArguments(QCoreApplication::arguments(), &o)) return *done;
    try {
        return Dispatch(o);
    } catch (const std::exception& e) {
        std::cerr << "Pogreška: " << e.what() << "\n";
        return 1;
    }
}
