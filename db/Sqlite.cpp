#include "db/Sqlite.h"

#include "db/Database.h"

#include <atomic>
#include <filesystem>
#include <map>
#include <mutex>
#include <utility>

namespace db {

namespace {
std::mutex guard;
std::function<void(const std::string&, const std::string&)> damageHandler;
bool damageReported = false;
std::string refusedBecause;
std::function<void()> writeGate;
std::map<std::string, std::string> shownAs; // private copy -> the file it stands for

// Messages of our own SQL functions (the LIKE matcher) are Croatian already and pass; the
// engine's own are English and never reach the user.
bool IsEngineText(const std::string& text) {
    for (unsigned char c : text)
        if (c >= 0x80) return false;
    for (const char* word : {"no such", "syntax", "SQL", "unknown", "misuse", "ambiguous", "column", "error", "database",
                             "unrecognized", "mismatch", "constraint", "incomplete", "too many", "not ", "memory",
                             "interrupt", "unsupported", "failed", "cannot", "unable", "table", "function"})
        if (text.find(word) != std::string::npos) return true;
    return text.empty();
}
} // namespace

bool IsDamage(int rc) { return (rc & 0xff) == SQLITE_CORRUPT || (rc & 0xff) == SQLITE_NOTADB; }

std::string DescribeFailure(int rc, const std::string& path, const std::string& engineText) {
    const std::string file = path.empty() ? std::string("Datoteka rječnika") : "Datoteka rječnika " + path;
    const std::string check = " Provjerite je naredbom \"vokabis-db check\" ili vratite najnoviju sigurnosnu kopiju "
                              "naredbom \"vokabis-db restore\".";
    switch (rc & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return file + " upravo je zauzeta: drugi je program mijenja. Pokušajte ponovno za trenutak.";
    case SQLITE_READONLY:
        return file + " može se samo čitati (zaštićena je od pisanja ili je na mediju samo za čitanje); "
                      "promjena nije spremljena.";
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return file + " ne smije se otvoriti: nemate dopuštenje. Provjerite prava pristupa datoteci i mapi.";
    case SQLITE_FULL:
        return "Disk je pun; promjena nije spremljena u " + (path.empty() ? std::string("datoteku rječnika") : path) +
               ". Oslobodite mjesta na disku i pokušajte ponovno.";
    case SQLITE_IOERR:
        return file + " ne može se pročitati ili zapisati (pogreška diska ili medija). Provjerite je li disk "
                      "priključen i ispravan, pa pokušajte ponovno.";
    case SQLITE_CANTOPEN:
        return file + " ne postoji ili se ne može otvoriti. Provjerite je li datoteka na mjestu i smijete li je čitati.";
    case SQLITE_CORRUPT:
        return file + " je oštećena." + check;
    case SQLITE_NOTADB:
        return file + " nije rječnik ovog programa, lozinka je ne otvara ili je oštećena." + check;
    case SQLITE_NOMEM:
        return "Nema dovoljno memorije za rad s rječnikom. Zatvorite druge programe i pokušajte ponovno.";
    case SQLITE_CONSTRAINT:
        return "Baza rječnika odbila je promjenu jer krši pravilo tablice; ništa nije spremljeno.";
    case SQLITE_TOOBIG:
        return "Tekst je predug za bazu rječnika; ništa nije spremljeno.";
    default:
        if (!IsEngineText(engineText)) return engineText;
        if (engineText.rfind("no such table", 0) == 0 || engineText.rfind("no such column", 0) == 0)
            return file + " nema tablicu ili polje koje program traži: nije rječnik ovog programa ili je oštećena." + check;
        return "Baza rječnika nije izvela naredbu (kod pogreške " + std::to_string(rc) + ").";
    }
}

void SetDamageHandler(std::function<void(const std::string&, const std::string&)> handler) {
    std::lock_guard lock(guard);
    damageHandler = std::move(handler);
    damageReported = false;
}

void ReportDamage(const std::string& path, const std::string& message) {
    std::function<void(const std::string&, const std::string&)> tell;
    {
        std::lock_guard lock(guard);
        if (damageReported || !damageHandler) return;
        damageReported = true;
        tell = damageHandler;
    }
    tell(path, message);
}

void RefuseWrites(const std::string& reason) {
    std::lock_guard lock(guard);
    refusedBecause = reason;
}

std::string WritesRefusedReason() {
    std::lock_guard lock(guard);
    return refusedBecause;
}

void SetWriteGate(std::function<void()> gate) {
    std::lock_guard lock(guard);
    writeGate = std::move(gate);
}

void ShowPathAs(const std::string& copy, const std::string& original) {
    std::lock_guard lock(guard);
    shownAs[copy] = original;
}

void ForgetPath(const std::string& folder) {
    std::lock_guard lock(guard);
    std::erase_if(shownAs, [&](const auto& entry) { return entry.first.rfind((std::filesystem::path(folder) / "").string(), 0) == 0; });
}

std::string DescribeFullDisk(const std::string& path) {
    return "Disk na kojem je rječnik " + path + " je pun, pa se datoteka sada ne može pouzdano pročitati ni zapisati "
           "(to ne znači da je oštećena). Oslobodite mjesta na disku i pokušajte ponovno.";
}

void RefuseIfReadOnly() {
    std::function<void()> gate;
    {
        std::lock_guard lock(guard);
        gate = writeGate;
    }
    if (gate) gate();
    const std::string reason = WritesRefusedReason();
    if (!reason.empty()) throw EngineError(kWritesRefused, "Rječnik je otvoren samo za čitanje; ništa nije spremljeno. " + reason);
}

void ThrowSqlite(sqlite3* db, int rc) {
    const std::string engine = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    const char* file = db ? sqlite3_db_filename(db, "main") : nullptr;
    std::string path = file ? file : "";
    {
        std::lock_guard lock(guard);
        if (const auto it = shownAs.find(path); it != shownAs.end()) path = it->second;
    }
    // Pages a full disk kept from being written are not damage: the file is only not readable now.
    if ((IsDamage(rc) || (rc & 0xff) == SQLITE_IOERR) && !path.empty() && DiskFullAt(path))
        throw EngineError::FromSqlite(SQLITE_FULL, DescribeFullDisk(path));
    const std::string message = DescribeFailure(rc, path, engine);
    if (IsDamage(rc)) ReportDamage(path, message);
    throw EngineError::FromSqlite(rc, message);
}

void ExecSql(sqlite3* db, const std::string& sql) {
    char* err = nullptr;
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err);
    sqlite3_free(err);
    if (rc != SQLITE_OK) ThrowSqlite(db, rc);
}

std::string QuoteName(const std::string& name) {
    std::string out = "\"";
    for (char c : name) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

Statement::Statement(sqlite3* db, std::string_view sql) : db_(db) {
    const int rc = sqlite3_prepare_v2(db, sql.data(), int(sql.size()), &stmt_, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(stmt_);
        stmt_ = nullptr;
        ThrowSqlite(db, rc);
    }
}

void Statement::Bind(int index, const Value& v) {
    int rc = SQLITE_OK;
    if (IsNull(v)) rc = sqlite3_bind_null(stmt_, index);
    else if (auto* i = std::get_if<long long>(&v)) rc = sqlite3_bind_int64(stmt_, index, *i);
    else if (auto* d = std::get_if<double>(&v)) rc = sqlite3_bind_double(stmt_, index, *d);
    else {
        const auto& s = std::get<std::string>(v);
        rc = sqlite3_bind_text(stmt_, index, s.data(), int(s.size()), SQLITE_TRANSIENT);
    }
    if (rc != SQLITE_OK) ThrowSqlite(db_, rc);
}

void Statement::BindBlob(int index, std::string_view bytes) {
    const int rc = sqlite3_bind_blob(stmt_, index, bytes.data(), int(bytes.size()), SQLITE_TRANSIENT);
    if (rc != SQLITE_OK) ThrowSqlite(db_, rc);
}

Statement::Statement(Statement&& other) noexcept
    : db_(other.db_), stmt_(std::exchange(other.stmt_, nullptr)), finished_(other.finished_) {}

Statement& Statement::operator=(Statement&& other) noexcept {
    if (this != &other) {
        sqlite3_finalize(stmt_);
        db_ = other.db_;
        stmt_ = std::exchange(other.stmt_, nullptr);
        finished_ = other.finished_;
    }
    return *this;
}

bool Statement::Step() {
    if (finished_) return false;
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) {
        finished_ = true;
        return false;
    }
    sqlite3_reset(stmt_);
    ThrowSqlite(db_, rc);
}

void Statement::Reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
    finished_ = false;
}

std::string Statement::ColumnName(int i) const {
    const char* n = sqlite3_column_name(stmt_, i);
    return n ? n : "";
}

Value Statement::Column(int i) const {
    switch (sqlite3_column_type(stmt_, i)) {
    case SQLITE_NULL: return {};
    case SQLITE_INTEGER: return sqlite3_column_int64(stmt_, i);
    case SQLITE_FLOAT: return sqlite3_column_double(stmt_, i);
    default: {
        const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, i));
        return std::string(t ? t : "", size_t(sqlite3_column_bytes(stmt_, i)));
    }
    }
}

Transaction::Transaction(sqlite3* db) : db_(db) {
    if (sqlite3_get_autocommit(db_)) {
        ExecSql(db_, "BEGIN IMMEDIATE");
        return;
    }
    // Inside a caller's own transaction: a savepoint, so that a failure here, even one the
    // caller catches, takes back this part's work and only it.
    static std::atomic<unsigned long long> next{0};
    savepoint_ = "vokabis_dio_" + std::to_string(++next);
    ExecSql(db_, "SAVEPOINT " + savepoint_);
}

Transaction::~Transaction() {
    if (done_) return;
    // The engine may already have ended the whole transaction (a full disk does): then there
    // is nothing left to take back and these fail harmlessly.
    if (savepoint_.empty()) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    else sqlite3_exec(db_, ("ROLLBACK TO " + savepoint_ + "; RELEASE " + savepoint_).c_str(), nullptr, nullptr, nullptr);
}

void Transaction::Commit() {
    if (done_) return;
    ExecSql(db_, savepoint_.empty() ? std::string("COMMIT") : "RELEASE " + savepoint_);
    done_ = true;
}

} // namespace db
