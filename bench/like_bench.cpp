// Long pasted search texts with wildcards, on a real dictionary, through the query path of the
// search boxes: the filter text the window builds, the record set it opens, the first screen of
// rows. Each must give its list within 0.5 s; the exit code is 1 when one does not.
// Usage: like_bench [dictionary] [part of a case name]
// (default: the starter dictionary beside the program, every case)
#include "db/Database.h"
#include "db/Recordset.h"
#include "dictionary/QueryBuilder.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

QString Repeat(const QString& piece, int times) {
    QString s;
    for (int i = 0; i < times; ++i) s += piece;
    return s;
}

// Text as a user might paste it: letters, spaces and punctuation, not one letter repeated.
QString Letters(int n) {
    static const QString source = "the quick brown fox jumps over the lazy dog, čaša vode i đak šutke žmiri. ";
    QString s;
    while (s.size() < n) s += source;
    return s.left(n);
}

struct Case {
    const char* name;
    QString english, croatian; // the typed box is the English one unless it is empty
};

} // namespace

int main(int argc, char** argv) {
    const std::string file = argc > 1 && *argv[1] ? argv[1] : VOKABIS_BIN "/Data/Vokabis.mdb";
    const std::string only = argc > 2 ? argv[2] : "";
    const int boxLimit = 32767; // a QLineEdit's own maximum: the search boxes set none
    const std::vector<Case> cases = {
        {"? + 5,000 letters", "?" + Letters(5000), ""},
        {"? + 20,000 letters", "?" + Letters(20000), ""},
        {"5,000 letters + ? (Croatian box)", "", Letters(5000) + "?"},
        {"the box's limit, ? first", "?" + Letters(boxLimit - 1), ""},
        {"# + 5,000 letters", "#" + Letters(5000), ""},
        {"[ + 5,000 letters", "[a-z]" + Letters(5000), ""},
        {"*a repeated to 5,000", Repeat("*a", 2500), ""},
        {"*a repeated to the box's limit", Repeat("*a", boxLimit / 2), ""},
        {"? repeated to 5,000", Repeat("?", 5000), ""},
        {"*? repeated to the box's limit", Repeat("*?", boxLimit / 2), ""},
        {"[a-z] repeated to the box's limit", Repeat("[a-z]", boxLimit / 5), ""},
        {"# repeated to 20,000", Repeat("#", 20000), ""},
        {"*e*? repeated to 200 (terms are shorter)", Repeat("*e*?", 50), ""},
        {"*[a-z] repeated to 120, both boxes", Repeat("*[a-z]", 20), Repeat("*?", 60)},
        {"*a*e*i*o*u", "*a*e*i*o*u", ""},
        {"?*", "?", ""},
        {"5,000 letters + * (an ordinary prefix)", Letters(5000), ""},
    };
    db::Database d(file, db::kPassword);
    bool slow = false;
    std::printf("%s\n%-44s %10s %8s\n", file.c_str(), "pasted into a search box", "time", "rows");
    for (const Case& c : cases) {
        if (!only.empty() && std::string(c.name).find(only) == std::string::npos) continue;
        const bool english = !c.english.isEmpty();
        const QString sql = english ? dictionary::BuildFilterSql(c.english, "Engleski", c.croatian, "Hrvatski")
                                    : dictionary::BuildFilterSql(c.croatian, "Hrvatski", c.english, "Engleski");
        const auto start = Clock::now();
        const auto rs = d.OpenRecordset(sql.toStdString());
        for (long long p = 0; p < 40 && p < rs->RowCount(); ++p) rs->FieldAt(p, "Engleski");
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        slow = slow || ms > 500;
        std::printf("%-44s %7.1f ms %8lld%s\n", c.name, ms, static_cast<long long>(rs->RowCount()),
                    ms > 500 ? "  over 0.5 s" : "");
        std::fflush(stdout);
    }
    return slow ? 1 : 0;
}
