// vokabis-db export: every pair as TSV or CSV, to a file (replaced whole) or to the output.
#include <QSaveFile> // before anything that may define `open`

#include "tools/Cli.h"

#include "db/Backup.h"
#include "db/Engine.h"
#include "db/Sqlite.h"

#include <filesystem>
#include <functional>
#include <iostream>
#include <streambuf>

namespace fs = std::filesystem;

namespace tools::cli {
namespace {

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

} // namespace

int Export(const Options& o) {
    const std::string& path = o.args[1];
    const std::string target = o.args.size() > 2 ? o.args[2] : "";
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

} // namespace tools::cli
