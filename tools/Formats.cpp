#include "tools/Formats.h"

#include <zlib.h>

#include <istream>
#include <ostream>
#include <set>
#include <stdexcept>

namespace tools {

bool ValidUtf8(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t n;
        uint32_t cp;
        if ((c >> 5) == 6) n = 1, cp = c & 0x1F;
        else if ((c >> 4) == 14) n = 2, cp = c & 0x0F;
        else if ((c >> 3) == 30) n = 3, cp = c & 0x07;
        else return false;
        if (i + n >= s.size()) return false;
        for (size_t k = 1; k <= n; ++k) {
            const auto d = static_cast<unsigned char>(s[i + k]);
            if ((d >> 6) != 2) return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        // Overlong forms, surrogates and values past Unicode are not text.
        if ((n == 1 && cp < 0x80) || (n == 2 && cp < 0x800) || (n == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += n + 1;
    }
    return true;
}

namespace {

// One CSV record from the stream; false at the end. lines counts the physical lines read.
// stray is the line where text followed a field's closing quote (0 if none): the quote did not
// end the field, so the record is not what its writer meant.
bool ReadCsvRecord(std::istream& in, std::vector<std::string>* fields, long* lines, bool* unterminated,
                   long* stray = nullptr) {
    fields->clear();
    *unterminated = false;
    if (stray) *stray = 0;
    std::string field;
    bool quoted = false, any = false, wasQuoted = false;
    int ch;
    while ((ch = in.get()) != EOF) {
        any = true;
        const char c = char(ch);
        if (quoted) {
            if (c == '"') {
                if (in.peek() == '"') {
                    field += '"';
                    in.get();
                } else {
                    quoted = false;
                }
            } else {
                if (c == '\n') ++*lines;
                field += c;
            }
        } else if (c == '"' && field.empty() && !wasQuoted) {
            quoted = wasQuoted = true;
        } else if (c == ',') {
            fields->push_back(std::move(field));
            field.clear();
            wasQuoted = false;
        } else if (c == '\n' || c == '\r') {
            if (c == '\r' && in.peek() == '\n') in.get();
            ++*lines;
            fields->push_back(std::move(field));
            return true;
        } else {
            if (wasQuoted && stray && *stray == 0) *stray = *lines + 1;
            field += c;
        }
    }
    if (!any) return false;
    *unterminated = quoted;
    ++*lines;
    fields->push_back(std::move(field));
    return true;
}

void Check(const Pair& p, long line, std::vector<Pair>* out, std::vector<BadLine>* bad) {
    for (const std::string* t : {&p.english, &p.croatian}) {
        if (!ValidUtf8(*t)) return bad->push_back({line, "tekst nije ispravan UTF-8"});
        if (t->size() > kMaxTermBytes) return bad->push_back({line, "pojam je dulji od 1 MB"});
    }
    out->push_back(p);
}

} // namespace

std::vector<Pair> ReadPairs(std::istream& in, Format format, std::vector<BadLine>* bad) {
    std::vector<Pair> out;
    long line = 0;
    // Editors on Windows often start UTF-8 files with a byte order mark.
    for (size_t i = 0; i < kBom.size(); ++i) {
        if (in.peek() != static_cast<unsigned char>(kBom[i])) {
            for (; i > 0; --i) in.unget();
            break;
        }
        in.get();
    }
    if (format == Format::Tsv) {
        std::string text;
        while (std::getline(in, text)) {
            ++line;
            if (!text.empty() && text.back() == '\r') text.pop_back(); // written on Windows
            if (text.empty()) continue;
            const size_t tab = text.find('\t');
            if (tab == std::string::npos) {
                bad->push_back({line, "nedostaje drugi stupac (tabulator)"});
                continue;
            }
            if (text.find('\t', tab + 1) != std::string::npos) {
                bad->push_back({line, "više od dva stupca"});
                continue;
            }
            Check({text.substr(0, tab), text.substr(tab + 1)}, line, &out, bad);
        }
        return out;
    }
    std::vector<std::string> fields;
    bool unterminated = false;
    long first = 1, stray = 0;
    while (ReadCsvRecord(in, &fields, &line, &unterminated, &stray)) {
        const long at = first;
        first = line + 1;
        if (unterminated) bad->push_back({at, "navodnik nije zatvoren"});
        else if (stray == at) bad->push_back({at, "tekst iza zatvorenog navodnika"});
        else if (stray) bad->push_back({at, "tekst iza zatvorenog navodnika u retku " + std::to_string(stray)});
        else if (fields.size() == 1 && fields[0].empty()) continue; // a blank line
        else if (fields.size() < 2) bad->push_back({at, "nedostaje drugi stupac"});
        else if (fields.size() > 2) bad->push_back({at, "više od dva stupca"});
        else Check({fields[0], fields[1]}, at, &out, bad);
    }
    return out;
}

bool FitsTsv(std::string_view term) { return term.find_first_of("\t\n\r") == std::string_view::npos; }

void WritePair(std::ostream& out, Format format, const std::string& english, const std::string& croatian,
               bool firstInFile) {
    if (firstInFile && english.starts_with(kBom)) out << kBom;
    if (format == Format::Tsv) {
        out << english << '\t' << croatian << '\n';
        return;
    }
    auto put = [&out](const std::string& f) {
        if (f.find_first_of(",\"\r\n") == std::string::npos) {
            out << f;
            return;
        }
        out << '"';
        for (char c : f) out << (c == '"' ? "\"\"" : std::string(1, c));
        out << '"';
    };
    put(english);
    out << ',';
    put(croatian);
    out << '\n';
}

std::vector<std::map<std::string, std::string>> ReadCsvTable(std::istream& in) {
    std::vector<std::map<std::string, std::string>> rows;
    std::vector<std::string> header, fields;
    long lines = 0;
    bool unterminated = false;
    if (!ReadCsvRecord(in, &header, &lines, &unterminated)) return rows;
    while (ReadCsvRecord(in, &fields, &lines, &unterminated)) {
        if (fields.size() == 1 && fields[0].empty()) continue;
        std::map<std::string, std::string> row;
        for (size_t i = 0; i < header.size() && i < fields.size(); ++i) row[header[i]] = fields[i];
        rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<std::string> SplitTranslations(std::string_view line) {
    // Commas inside a note in parentheses do not separate translations; but some notes in the
    // data were cut short and never close, and then every comma separates.
    int depth = 0;
    for (char c : line) depth += c == '(' ? 1 : c == ')' && depth > 0 ? -1 : 0;
    const bool balanced = depth == 0;
    std::vector<std::string> out;
    std::string cur;
    auto flush = [&] {
        if (const size_t open = cur.find('('); open != std::string::npos && cur.find(')', open) == std::string::npos)
            cur.erase(open); // a note cut short is dropped, the word before it kept
        size_t b = cur.find_first_not_of(' '), e = cur.find_last_not_of(' ');
        if (b != std::string::npos) out.push_back(cur.substr(b, e - b + 1));
        cur.clear();
    };
    depth = 0;
    for (char c : line) {
        if (c == '(') ++depth;
        if (c == ')' && depth > 0) --depth;
        if ((c == ',' || c == ';') && (depth == 0 || !balanced)) flush();
        else cur += c;
    }
    flush();
    return out;
}

namespace {

long Base64Number(std::string_view s) {
    static const std::string digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    long v = 0;
    for (char c : s) {
        const size_t d = digits.find(c);
        if (d == std::string::npos) throw std::runtime_error("neispravan broj u indeksu rječnika");
        v = v * 64 + long(d);
    }
    return v;
}

std::string Gunzip(const std::string& path) {
    gzFile f = gzopen(path.c_str(), "rb");
    if (!f) throw std::runtime_error("ne mogu čitati " + path);
    std::string out;
    char buf[1 << 16];
    int n;
    while ((n = gzread(f, buf, sizeof buf)) > 0) out.append(buf, size_t(n));
    const bool failed = n < 0;
    gzclose(f);
    if (failed) throw std::runtime_error("oštećena sažeta datoteka " + path);
    return out;
}

} // namespace

std::vector<Pair> ReadFreeDict(const std::string& base, bool englishFirst) {
    const std::string data = Gunzip(base + ".dict.dz");
    gzFile index = gzopen((base + ".index").c_str(), "rb"); // plain text; gz reads it as is
    if (!index) throw std::runtime_error("ne mogu čitati " + base + ".index");
    std::string text;
    char buf[1 << 16];
    int n;
    while ((n = gzread(index, buf, sizeof buf)) > 0) text.append(buf, size_t(n));
    gzclose(index);

    std::vector<Pair> out;
    std::set<std::pair<std::string, std::string>> seen;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        const std::string_view line(text.data() + pos, end - pos);
        pos = end + 1;
        const size_t t1 = line.find('\t'), t2 = line.rfind('\t');
        if (t1 == std::string_view::npos || t1 == t2 || line.substr(0, 10) == "00database" ||
            line.substr(0, 11) == "00-database")
            continue; // the dictionary's own description, not a word
        const long offset = Base64Number(line.substr(t1 + 1, t2 - t1 - 1));
        const long length = Base64Number(line.substr(t2 + 1));
        if (offset < 0 || length < 0 || size_t(offset + length) > data.size()) continue;
        const std::string_view entry(data.data() + offset, size_t(length));
        // "headword /pronunciation/" on the first line, the translations after it.
        const size_t nl = entry.find('\n');
        std::string head(entry.substr(0, nl));
        if (const size_t slash = head.find(" /"); slash != std::string::npos) head.erase(slash);
        std::string rest = nl == std::string_view::npos ? std::string() : std::string(entry.substr(nl + 1));
        for (char& c : rest)
            if (c == '\n') c = ',';
        if (head.empty() || !ValidUtf8(head) || !ValidUtf8(rest)) continue;
        for (const std::string& tr : SplitTranslations(rest)) {
            Pair p = englishFirst ? Pair{head, tr} : Pair{tr, head};
            if (seen.insert({p.english, p.croatian}).second) out.push_back(std::move(p));
        }
    }
    return out;
}

} // namespace tools
