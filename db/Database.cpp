#include "db/Database.h"

#include "db/JetLike.h"

#include <memory>

namespace db {
namespace {

void LikeFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    // Null on either side never matches, as in Jet.
    if (argc < 2 || sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    const int pn = sqlite3_value_bytes(argv[0]);
    const auto* t = reinterpret_cast<const char*>(sqlite3_value_text(argv[1]));
    const int tn = sqlite3_value_bytes(argv[1]);
    try {
        sqlite3_result_int(ctx, JetLike({p, size_t(pn)}, {t, size_t(tn)}) ? 1 : 0);
    } catch (const PatternError& e) {
        sqlite3_result_error(ctx, e.what(), -1);
    }
}

struct StmtDeleter {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using Stmt = std::unique_ptr<sqlite3_stmt, StmtDeleter>;

} // namespace

Database::Database(const std::string& path, const std::string& password, bool create) {
    const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
    int rc = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
    if (rc != SQLITE_OK) {
        std::string msg = rc == SQLITE_CANTOPEN ? "Datoteka rječnika ne postoji ili se ne može otvoriti: " + path
                                                : std::string(sqlite3_errmsg(db_));
        sqlite3_close(db_);
        db_ = nullptr;
        throw EngineError(rc, msg);
    }
    sqlite3_key(db_, password.data(), int(password.size()));
    sqlite3_busy_timeout(db_, 5000);
    sqlite3_create_function(db_, "like", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, LikeFunction, nullptr, nullptr);
    // The first statement is where a wrong key shows itself.
    rc = sqlite3_exec(db_, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        std::string msg = rc == SQLITE_NOTADB ? "Lozinka ne otvara datoteku rječnika ili datoteka nije baza podataka: " + path
                                              : std::string(sqlite3_errmsg(db_));
        sqlite3_close(db_);
        db_ = nullptr;
        throw EngineError(rc, msg);
    }
}

Database::~Database() { sqlite3_close(db_); }

void Database::Exec(const std::string& sql) {
    char* err = nullptr;
    const int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &err);
    if (rc != SQLITE_OK) {
        std::string msg = err ? err : sqlite3_errmsg(db_);
        sqlite3_free(err);
        throw EngineError(rc, msg);
    }
}

void Database::CreateSchema() {
    Exec("BEGIN;"
         "CREATE TABLE Vokabis (Engleski TEXT, Hrvatski TEXT);"
         "CREATE TABLE Postavke (Id INTEGER PRIMARY KEY, LeftM REAL, TopM REAL, XDesno REAL, YDolje REAL,"
         " MojFontIme TEXT, VelicinaFonta INTEGER, MojFontItalic INTEGER, MojFontBold INTEGER,"
         " BrojRedova INTEGER, SortEng INTEGER);"
         "CREATE VIEW OrderByEngleski AS SELECT * FROM Vokabis ORDER BY Engleski;"
         "INSERT INTO Postavke VALUES (1, 0, 0, 0, 0, 'Times New Roman CE', 11, 0, 0, 50, -1);"
         "COMMIT;");
}

void Database::AddPair(const std::string& english, const std::string& croatian) {
    sqlite3_stmt* raw = nullptr;
    int rc = sqlite3_prepare_v2(db_, "INSERT INTO Vokabis (Engleski, Hrvatski) VALUES (?, ?)", -1, &raw, nullptr);
    Stmt s(raw);
    if (rc != SQLITE_OK) throw EngineError(rc, sqlite3_errmsg(db_));
    sqlite3_bind_text(raw, 1, english.data(), int(english.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(raw, 2, croatian.data(), int(croatian.size()), SQLITE_TRANSIENT);
    rc = sqlite3_step(raw);
    if (rc != SQLITE_DONE) throw EngineError(rc, sqlite3_errmsg(db_));
}

long long Database::Count(const std::string& sql) {
    sqlite3_stmt* raw = nullptr;
    int rc = sqlite3_prepare_v2(db_, sql.c_str(), -1, &raw, nullptr);
    Stmt s(raw);
    if (rc != SQLITE_OK) throw EngineError(rc, sqlite3_errmsg(db_));
    long long n = 0;
    while ((rc = sqlite3_step(raw)) == SQLITE_ROW) ++n;
    if (rc != SQLITE_DONE) throw EngineError(rc, sqlite3_errmsg(db_));
    return n;
}

} // namespace db
