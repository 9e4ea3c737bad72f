#pragma once
// The files the vokabis-db tool reads and writes: pairs as TSV or CSV, the FreeDict
// dictionaries as Debian installs them, and old Access dictionaries through mdbtools.
#include <iosfwd>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace tools {

struct Pair {
    std::string english, croatian;
    bool operator==(const Pair&) const = default;
};

struct BadLine {
    long line;
    std::string why; // in Croatian
};

enum class Format { Tsv, Csv };

constexpr size_t kMaxTermBytes = 1 << 20; // a term longer than this is taken for a broken file

bool ValidUtf8(std::string_view s);

// Reads pairs, one a line (CSV records may span lines inside quotes). Bad lines are listed
// with their numbers and left out; blank lines are skipped. A byte order mark that starts the
// text is not part of the first term.
std::vector<Pair> ReadPairs(std::istream& in, Format format, std::vector<BadLine>* bad);
// Writes pairs in the same notation, quoting CSV fields only where they need it. The first pair
// of a file gets a byte order mark before it when its term starts with one, so reading keeps it.
void WritePair(std::ostream& out, Format format, const std::string& english, const std::string& croatian,
               bool firstInFile = false);
// TSV has no quoting: a term with a tab or a line break cannot be written as TSV.
bool FitsTsv(std::string_view term);
constexpr std::string_view kBom = "\xEF\xBB\xBF";

// All records of a CSV text with a header line, as maps from column name to value.
std::vector<std::map<std::string, std::string>> ReadCsvTable(std::istream& in);

// The FreeDict data at base (".index" and ".dict.dz" appended): one pair per translation of
// each headword. englishFirst is false for the Croatian–English dictionary.
std::vector<Pair> ReadFreeDict(const std::string& base, bool englishFirst);
// Splits a FreeDict translation line at its commas, but not inside parentheses.
std::vector<std::string> SplitTranslations(std::string_view line);

} // namespace tools
