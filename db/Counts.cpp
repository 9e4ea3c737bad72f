#include "db/Counts.h"

#include "db/Errors.h"
#include "db/Sqlite.h"

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

namespace db {

namespace {

std::atomic<bool> distrusted{false};

// The row ('', '') holds every pair; ('Engleski', 'a') the pairs whose English term begins
// with "a" as written. Terms that are Null or empty begin with nothing. length(), not a
// comparison with '', which the column's collation could answer for a term of ignorable
// characters.
const char* const kTable = "CREATE TABLE IF NOT EXISTS VokabisBrojevi (Polje TEXT NOT NULL, Znak TEXT NOT NULL, "
                           "Broj INTEGER NOT NULL, PRIMARY KEY (Polje, Znak)) WITHOUT ROWID;";

// The counts as the pairs give them, in the table's columns.
const char* const kCounted = "SELECT '', '', count(*) FROM Vokabis"
                             " UNION ALL SELECT 'Engleski', substr(Engleski, 1, 1), count(*) FROM Vokabis"
                             " WHERE length(Engleski) > 0 GROUP BY 2"
                             " UNION ALL SELECT 'Hrvatski', substr(Hrvatski, 1, 1), count(*) FROM Vokabis"
                             " WHERE length(Hrvatski) > 0 GROUP BY 2";

bool HasPrefixIndexes(sqlite3* db) {
    Statement s(db, "SELECT count(*) FROM sqlite_master WHERE type = 'index' AND name IN "
                    "('VokabisEngleskiPrefiks', 'VokabisHrvatskiPrefiks')");
    s.Step();
    return s.Int(0) == 2;
}

// The same counts, grouped one first byte of the folded term at a time and then summed. A group
// by over every term sorts them all in memory (temporary data never goes to disk, where it
// would not be encrypted): some 35 MB for a moment at a million pairs. Each range of the
// folded-term index sorts only its own terms, and the ranges together are one pass over it.
std::string Counted(sqlite3* db) {
    if (!HasPrefixIndexes(db)) return kCounted;
    static const std::string sql = [] {
        std::string all = "SELECT '', '', count(*) FROM Vokabis";
        for (const std::string field : {"Engleski", "Hrvatski"}) {
            const std::string key = "vokabis_fold(" + field + ")";
            all += " UNION ALL SELECT '" + field + "', Znak, sum(Broj) FROM (";
            for (int b = 1; b <= 0xFF; ++b) {
                char from[8], to[8];
                std::snprintf(from, sizeof from, "x'%02X'", b);
                std::snprintf(to, sizeof to, "x'%02X'", b + 1);
                // The first range also holds a key that begins with a zero byte or is empty.
                const std::string range = b == 1      ? key + " < " + to
                                          : b == 0xFF ? key + " >= " + from
                                                      : key + " >= " + from + " AND " + key + " < " + to;
                all += std::string(b == 1 ? "" : " UNION ALL ") + "SELECT substr(" + field + ", 1, 1) AS Znak, count(*) AS Broj FROM Vokabis WHERE " +
                       range + " AND length(" + field + ") > 0 GROUP BY 1";
            }
            all += ") GROUP BY 2";
        }
        return all;
    }();
    return sql;
}

// One term's first character counted once more (+1) or once less (-1). The row for a new
// character is made when needed; without ON CONFLICT, so a policy of the firing statement
// cannot turn it into a replace.
std::string Step(const char* field, const char* row, const char* sign) {
    const std::string f = std::string(row) + "." + field, first = "substr(" + f + ", 1, 1)";
    std::string sql;
    if (sign[0] == '+')
        sql += std::string("INSERT INTO VokabisBrojevi SELECT '") + field + "', " + first + ", 0 WHERE length(" + f +
               ") > 0 AND NOT EXISTS (SELECT 1 FROM VokabisBrojevi WHERE Polje = '" + field + "' AND Znak = " + first + ");";
    return sql + "UPDATE VokabisBrojevi SET Broj = Broj " + sign + " 1 WHERE Polje = '" + field + "' AND Znak = " + first +
           " AND length(" + f + ") > 0;";
}

// A pair another client replaces (INSERT OR REPLACE, UPDATE OR REPLACE of the key) is deleted
// without the delete trigger unless that client turned recursive triggers on. So the row about
// to be replaced is noted first; the delete trigger, when it does fire, counts it out and drops
// the note, and otherwise the insert or key change counts out what the note holds. A note left
// by a statement that ignored its conflict is dropped with its row.
const char* const kNotes = "CREATE TABLE IF NOT EXISTS VokabisZamjena (Id INTEGER PRIMARY KEY, Engleski, Hrvatski);";

std::string Note(const char* id) {
    return std::string("DELETE FROM VokabisZamjena WHERE Id = ") + id + ";INSERT INTO VokabisZamjena SELECT Id, Engleski, "
           "Hrvatski FROM Vokabis WHERE Id = " + id + ";";
}

// Counts out the pair noted under id, if the delete trigger has not, and drops the note.
std::string CountOutNoted(const char* id) {
    std::string sql = "UPDATE VokabisBrojevi SET Broj = Broj - (SELECT count(*) FROM VokabisZamjena WHERE Id = " +
                      std::string(id) + ") WHERE Polje = '' AND Znak = '';";
    for (const char* field : {"Engleski", "Hrvatski"}) {
        const std::string first = std::string("substr(") + field + ", 1, 1)";
        sql += std::string("UPDATE VokabisBrojevi SET Broj = Broj - 1 WHERE Polje = '") + field + "' AND Znak = (SELECT " +
               first + " FROM VokabisZamjena WHERE Id = " + id + " AND length(" + field + ") > 0);";
    }
    return sql + "DELETE FROM VokabisZamjena WHERE Id = " + id + ";";
}

const char* const kTriggerNames[] = {"VokabisBrojeviDodan",    "VokabisBrojeviIzbrisan",  "VokabisBrojeviEngleski",
                                     "VokabisBrojeviHrvatski", "VokabisBrojeviZamjena",   "VokabisBrojeviNoviKljuc",
                                     "VokabisBrojeviKljuc"};

std::string Triggers() {
    return std::string(kNotes) +
           "CREATE TRIGGER VokabisBrojeviZamjena BEFORE INSERT ON Vokabis BEGIN " + Note("NEW.Id") + "END;"
           "CREATE TRIGGER VokabisBrojeviDodan AFTER INSERT ON Vokabis BEGIN " + CountOutNoted("NEW.Id") +
           "UPDATE VokabisBrojevi SET Broj = Broj + 1 WHERE Polje = '' AND Znak = '';" +
           Step("Engleski", "NEW", "+") + Step("Hrvatski", "NEW", "+") +
           "END;"
           "CREATE TRIGGER VokabisBrojeviIzbrisan AFTER DELETE ON Vokabis BEGIN "
           "UPDATE VokabisBrojevi SET Broj = Broj - 1 WHERE Polje = '' AND Znak = '';" +
           Step("Engleski", "OLD", "-") + Step("Hrvatski", "OLD", "-") +
           "DELETE FROM VokabisZamjena WHERE Id = OLD.Id;"
           "END;"
           "CREATE TRIGGER VokabisBrojeviNoviKljuc BEFORE UPDATE OF Id ON Vokabis WHEN NEW.Id IS NOT OLD.Id BEGIN " +
           Note("NEW.Id") + "END;"
           "CREATE TRIGGER VokabisBrojeviKljuc AFTER UPDATE OF Id ON Vokabis WHEN NEW.Id IS NOT OLD.Id BEGIN " +
           CountOutNoted("NEW.Id") + "END;"
           "CREATE TRIGGER VokabisBrojeviEngleski AFTER UPDATE OF Engleski ON Vokabis BEGIN " +
           Step("Engleski", "OLD", "-") + Step("Engleski", "NEW", "+") +
           "END;"
           "CREATE TRIGGER VokabisBrojeviHrvatski AFTER UPDATE OF Hrvatski ON Vokabis BEGIN " +
           Step("Hrvatski", "OLD", "-") + Step("Hrvatski", "NEW", "+") + "END;";
}

std::string DropTriggers() {
    std::string sql;
    for (const char* name : kTriggerNames) sql += std::string("DROP TRIGGER IF EXISTS ") + name + ";";
    return sql + "DROP TABLE IF EXISTS VokabisZamjena;";
}

bool HasTable(sqlite3* db, const char* name) {
    Statement s(db, std::string("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = '") + name + "'");
    s.Step();
    return s.Int(0) > 0;
}

bool HasCounts(sqlite3* db) { return HasTable(db, "VokabisBrojevi"); }

} // namespace

bool CountsUsable(sqlite3* db) { return !distrusted && HasCounts(db); }

void CreateCounts(sqlite3* db) {
    if (HasCounts(db)) return;
    ExecSql(db, std::string(kTable) + "INSERT INTO VokabisBrojevi " + Counted(db) + ";" + Triggers());
}

void DropCounts(sqlite3* db) { ExecSql(db, DropTriggers() + "DROP TABLE IF EXISTS VokabisBrojevi;"); }

void AddCountsIfMissing(sqlite3* db) {
    if (HasCounts(db) && HasTable(db, "VokabisZamjena")) return;
    try {
        Transaction t(db);
        // Asks again: another copy may have added them meanwhile. Counts made before replaced
        // pairs were noted keep their numbers and get the new triggers; the background check
        // counts them again if a replace ever left them wrong.
        if (HasCounts(db) && !HasTable(db, "VokabisZamjena")) ExecSql(db, DropTriggers() + Triggers());
        CreateCounts(db);
        t.Commit();
    } catch (const EngineError&) {
        // Rolled back: the lists count their rows themselves.
    }
}

bool CountsMatch(sqlite3* db) {
    // Rows counted down to nothing stay behind; they say nothing.
    const std::string stored = "SELECT Polje, Znak, Broj FROM VokabisBrojevi WHERE Broj <> 0 OR Polje = ''";
    Statement s(db, "WITH Stvarni AS (" + Counted(db) + ") SELECT (SELECT count(*) FROM (SELECT * FROM Stvarni EXCEPT " +
                        stored + ")) + (SELECT count(*) FROM (" + stored + " EXCEPT SELECT * FROM Stvarni))");
    s.Step();
    return s.Int(0) == 0;
}

void RecountPairs(sqlite3* db) {
    Transaction t(db);
    DropCounts(db);
    CreateCounts(db);
    t.Commit();
}

bool IndexesMatchPairs(sqlite3* db) {
    const auto sums = [&](const std::string& column, const std::string& from) {
        Statement s(db, "SELECT count(*), total(rowid), total(length(" + column + ") * (rowid % 1009 + 1)) FROM Vokabis " + from);
        s.Step();
        return std::vector<Value>{s.Column(0), s.Column(1), s.Column(2)};
    };
    Statement indexes(db, "SELECT name FROM sqlite_master WHERE type = 'index' AND tbl_name = 'Vokabis' AND name IN "
                          "('VokabisEngleski', 'VokabisHrvatski', 'VokabisEngleskiPrefiks', 'VokabisHrvatskiPrefiks')");
    while (indexes.Step()) {
        const std::string name = CStr(indexes.Column(0));
        const std::string column = name.find("Hrvatski") != std::string::npos ? "Hrvatski" : "Engleski";
        if (sums(column, "INDEXED BY " + name) != sums(column, "NOT INDEXED")) return false;
    }
    return true;
}

void DistrustCounts() { distrusted = true; }

} // namespace db
