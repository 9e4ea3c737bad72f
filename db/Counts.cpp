#include "db/Counts.h"

#include "db/Errors.h"
#include "db/Sqlite.h"

#include <atomic>
#include <string>

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

std::string Triggers() {
    return "CREATE TRIGGER VokabisBrojeviDodan AFTER INSERT ON Vokabis BEGIN "
           "UPDATE VokabisBrojevi SET Broj = Broj + 1 WHERE Polje = '' AND Znak = '';" +
           Step("Engleski", "NEW", "+") + Step("Hrvatski", "NEW", "+") +
           "END;"
           "CREATE TRIGGER VokabisBrojeviIzbrisan AFTER DELETE ON Vokabis BEGIN "
           "UPDATE VokabisBrojevi SET Broj = Broj - 1 WHERE Polje = '' AND Znak = '';" +
           Step("Engleski", "OLD", "-") + Step("Hrvatski", "OLD", "-") +
           "END;"
           "CREATE TRIGGER VokabisBrojeviEngleski AFTER UPDATE OF Engleski ON Vokabis BEGIN " +
           Step("Engleski", "OLD", "-") + Step("Engleski", "NEW", "+") +
           "END;"
           "CREATE TRIGGER VokabisBrojeviHrvatski AFTER UPDATE OF Hrvatski ON Vokabis BEGIN " +
           Step("Hrvatski", "OLD", "-") + Step("Hrvatski", "NEW", "+") + "END;";
}

bool HasCounts(sqlite3* db) {
    Statement s(db, "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'VokabisBrojevi'");
    s.Step();
    return s.Int(0) > 0;
}

} // namespace

bool CountsUsable(sqlite3* db) { return !distrusted && HasCounts(db); }

void CreateCounts(sqlite3* db) {
    if (HasCounts(db)) return;
    ExecSql(db, std::string(kTable) + "INSERT INTO VokabisBrojevi " + kCounted + ";" + Triggers());
}

void DropCounts(sqlite3* db) {
    ExecSql(db, "DROP TRIGGER IF EXISTS VokabisBrojeviDodan; DROP TRIGGER IF EXISTS VokabisBrojeviIzbrisan;"
                "DROP TRIGGER IF EXISTS VokabisBrojeviEngleski; DROP TRIGGER IF EXISTS VokabisBrojeviHrvatski;"
                "DROP TABLE IF EXISTS VokabisBrojevi;");
}

void AddCountsIfMissing(sqlite3* db) {
    if (HasCounts(db)) return;
    try {
        Transaction t(db);
        CreateCounts(db); // asks again: another copy may have added them meanwhile
        t.Commit();
    } catch (const EngineError&) {
        // Rolled back: the lists count their rows themselves.
    }
}

bool CountsMatch(sqlite3* db) {
    // Rows counted down to nothing stay behind; they say nothing.
    const std::string stored = "SELECT Polje, Znak, Broj FROM VokabisBrojevi WHERE Broj <> 0 OR Polje = ''";
    Statement s(db, "WITH Stvarni AS (" + std::string(kCounted) + ") SELECT (SELECT count(*) FROM (SELECT * FROM Stvarni EXCEPT " +
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

void DistrustCounts() { distrusted = true; }

} // namespace db
