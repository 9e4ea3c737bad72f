#include "db/Database.h"

#include "db/Backup.h"
#include "db/Counts.h"
#include "db/FileState.h"
#include "db/Files.h"
#include "db/JetSql.h"
#include "db/Recordset.h"
#include "db/SettingsRow.h"
#include "db/Sqlite.h"
#include "db/TableRecordset.h"

#include <cctype>

namespace db {
namespace {

// The term rides along in the prefix indexes, so a sorted search reads no table rows.
const char* const kPrefixIndexes =
    "CREATE INDEX IF NOT EXISTS VokabisEngleskiPrefiks ON Vokabis (vokabis_fold(Engleski), Engleski);"
    "CREATE INDEX IF NOT EXISTS VokabisHrvatskiPrefiks ON Vokabis (vokabis_fold(Hrvatski), Hrvatski);";

// Files made before the prefix indexes carried the term get them rebuilt once.
void UpgradePrefixIndexes(sqlite3* db) {
    Statement old(db, "SELECT count(*) FROM sqlite_master WHERE type = 'index' AND name IN "
                      "('VokabisEngleskiPrefiks', 'VokabisHrvatskiPrefiks') AND instr(sql, '), ') = 0");
    old.Step();
    if (old.Int(0) == 0) return;
    old.Reset();
    Transaction t(db);
    ExecSql(db, std::string("DROP INDEX IF EXISTS VokabisEngleskiPrefiks; DROP INDEX IF EXISTS VokabisHrvatskiPrefiks;") +
                    kPrefixIndexes);
    t.Commit();
}

bool IsIdentifier(const std::string& s) {
    if (s.empty()) return false;
    for (char c : s)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
    return true;
}

void Check(sqlite3* db, int rc) {
    if (rc != SQLITE_OK) ThrowSqlite(db, rc);
}

// What the engine is given to open, and how: a new file is made private first; an existing one
// must be a regular file. A read-only look never creates or changes anything beside the file
// where it could not be removed again or would keep its owner out later: where the folder or
// the file cannot be written (or the disk is full), the file is read as it is, without locks;
// and when its log holds committed pairs, which the engine reads only with a shared-memory
// file beside it, a private copy of both is read instead (copy; removed after the last close).
std::string OpeningTarget(const std::string& path, const Connection::Options& o, int& flags,
                          std::shared_ptr<void>& copy) {
    flags = (o.readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | (o.create ? SQLITE_OPEN_CREATE : 0) |
            SQLITE_OPEN_NOMUTEX; // each connection is used by one thread only
    if (o.create) {
        // A dictionary is private: a new file starts with mode 0600, and the engine gives its
        // -wal and -shm files the mode of the database file.
        files::CreatePrivate(path);
        return path;
    }
    std::string target = ExistingDictionaryFile(path);
    if (o.readOnly && (!FolderWritable(target) || DiskFullAt(target) || NobodyMayWrite(target))) {
        if (LogHasContent(target)) {
            std::string copied;
            copy = CopyWithLog(target, copied);
            return copied;
        }
        target = FileUri(target) + "?immutable=1";
        flags |= SQLITE_OPEN_URI;
    } else {
        // An earlier read-only look (older versions) may have left these with the file's mode
        // 0400: the engine could then open neither them nor the file. Their content is kept.
        for (const char* beside : {"-wal", "-shm"}) files::LetOwnerWrite(target + beside);
    }
    return target;
}

// Keys the connection and reads from the file for the first time, which is where a wrong key
// shows itself: nothing is written before the file has shown that it is a dictionary.
void Unlock(sqlite3* db, const std::string& path, const std::string& password) {
    if (!password.empty()) Check(db, sqlite3_key(db, password.data(), int(password.size())));
    // While another copy writes, retry every millisecond for about five seconds: the engine's
    // own timeout backs off to 100 ms steps, and a busy writer then never lets this one in.
    Check(db, sqlite3_busy_handler(
                  db,
                  [](void*, int tries) noexcept {
                      if (tries >= 5000) return 0;
                      sqlite3_sleep(1);
                      return 1;
                  },
                  nullptr));
    RegisterFunctions(db);
    const int rc = sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    if (rc == SQLITE_NOTADB)
        throw EngineError::FromSqlite(rc, "Lozinka ne otvara datoteku rječnika " + path +
                                              " ili datoteka nije baza podataka ovog programa. Provjerite je naredbom "
                                              "\"vokabis-db check\" ili vratite najnoviju sigurnosnu kopiju naredbom "
                                              "\"vokabis-db restore\".");
    Check(db, rc);
}

// Readies an unlocked connection for the program.
void SetUp(sqlite3* db, const std::string& path, const Connection::Options& o) {
    if (!o.create) {
        Statement table(db, "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'Vokabis'");
        table.Step();
        if (table.Int(0) == 0)
            throw EngineError::FromSqlite(SQLITE_NOTADB, "Datoteka " + path +
                                                             " otvara se lozinkom, ali nema tablicu parova riječi: "
                                                             "nije rječnik ovog programa.");
    }
    if (o.exclusive) ExecSql(db, "PRAGMA locking_mode=EXCLUSIVE");
    // Write-ahead logging: readers never wait for a writer, so a second window or a second copy
    // of the program keeps working while pairs are being saved. The mode stays with the file;
    // setting it again is free.
    if (!o.readOnly) {
        ExecSql(db, "PRAGMA journal_mode=WAL");
        // A pair replaced on a conflict is then deleted through the triggers too, so the stored
        // counts stay right whatever statement a writer uses.
        ExecSql(db, "PRAGMA recursive_triggers = ON");
        UpgradePrefixIndexes(db);
        if (!o.create) AddCountsIfMissing(db);
    }
}

} // namespace

Connection::Connection(const std::string& path, const std::string& password, Options o) : path_(path) {
    for (int attempt = 1;; ++attempt)
        if (Open(path, password, o) || attempt == 5) break;
    if (!db_)
        throw EngineError::FromSqlite(SQLITE_BUSY, "Datoteka rječnika " + path +
                                                       " upravo se zamjenjuje drugom (vraćanje sigurnosne kopije). "
                                                       "Pokušajte ponovno za trenutak.");
}

bool Connection::Open(const std::string& path, const std::string& password, const Options& o) {
    int flags = 0;
    const std::string target = OpeningTarget(path, o, flags, copy_);
    const Leftovers leftovers(o.create ? path : target);
    const auto giveUp = [&] {
        sqlite3_close(db_);
        db_ = nullptr;
        leftovers.Remove();
        RemoveCopy();
    };
    // A restore renames a new file over the dictionary while holding the old one; a connection
    // that got the old one (it waited for the restore's lock) must never write into a file that
    // is no longer the dictionary, nor share its -wal and -shm with the new one. Once the file
    // is read, and again once it is in write-ahead mode (where this connection then keeps a
    // lock that a restore waits for), the path must still name the file that was opened.
    const FileId before = IdOf(path);
    // The path now names another file, whose -wal and -shm may be in use by others: this
    // connection lets go of the old file without removing anything under those names.
    const auto replaced = [&] {
        if (IdOf(path) == before) return false;
        int persist = 1;
        sqlite3_file_control(db_, "main", SQLITE_FCNTL_PERSIST_WAL, &persist);
        sqlite3_close(db_);
        db_ = nullptr;
        RemoveCopy();
        return true;
    };
    const int rc = sqlite3_open_v2(target.c_str(), &db_, flags, nullptr);
    if (rc != SQLITE_OK) {
        giveUp();
        throw EngineError::FromSqlite(rc, DescribeFailure(rc, path));
    }
    try {
        Unlock(db_, path, password);
        if (replaced()) return false;
        SetUp(db_, path, o);
        return !replaced();
    } catch (const EngineError& e) {
        giveUp();
        // A disk with no room left shows itself as an I/O error of the engine's shared memory,
        // or as pages that could not be read whole: not as damage the user should repair.
        const int code = e.sqliteCode & 0xff;
        if ((code == SQLITE_IOERR || IsDamage(code)) && DiskFullAt(path))
            throw EngineError::FromSqlite(SQLITE_FULL, o.readOnly ? DescribeFullDisk(path) : DescribeFailure(SQLITE_FULL, path));
        throw;
    } catch (...) {
        giveUp();
        throw;
    }
}

void Connection::RemoveCopy() { LetGoOfCopy(copy_); }

Connection::~Connection() { Close(); }

sqlite3* Connection::handle() const {
    if (!db_) throw EngineError(kClosed, "Veza s bazom rječnika je zatvorena.");
    return db_;
}

void Connection::Close() {
    // close_v2 waits for statements still held by record sets instead of failing. The changes
    // are counted first: the program backs a changed dictionary up when it ends.
    if (db_) {
        NoteChanges(path_, sqlite3_total_changes(db_));
        sqlite3_close_v2(db_);
    }
    db_ = nullptr;
    RemoveCopy();
}

Database::Database(const std::string& path, const std::string& password, Connection::Options options)
    : conn_(std::make_shared<Connection>(path, password, options)) {}

void Database::Exec(const std::string& sql) { ExecSql(handle(), sql); }

void Database::CreateSchema() {
    Transaction t(handle());
    Exec("CREATE TABLE Vokabis (Id INTEGER PRIMARY KEY AUTOINCREMENT, Engleski TEXT COLLATE ROOT, Hrvatski TEXT COLLATE HR);");
    CreateSettingsTable(handle());
    Exec("CREATE VIEW OrderByEngleski AS SELECT * FROM Vokabis ORDER BY Engleski;");
    CreateIndexes();
    t.Commit();
}

void Database::CreateIndexes() {
    Exec("CREATE INDEX IF NOT EXISTS VokabisEngleski ON Vokabis (Engleski);"
         "CREATE INDEX IF NOT EXISTS VokabisHrvatski ON Vokabis (Hrvatski);"
         + std::string(kPrefixIndexes));
    CreateCounts(handle());
}

void Database::DropIndexes() {
    DropCounts(handle());
    Exec("DROP INDEX IF EXISTS VokabisEngleski; DROP INDEX IF EXISTS VokabisHrvatski;"
         "DROP INDEX IF EXISTS VokabisEngleskiPrefiks; DROP INDEX IF EXISTS VokabisHrvatskiPrefiks;");
}

void Database::AddPair(const std::string& english, const std::string& croatian) {
    Statement s(handle(), "INSERT INTO Vokabis (Engleski, Hrvatski) VALUES (?, ?)");
    s.Bind(1, english);
    s.Bind(2, croatian);
    s.Step();
}

long long Database::Count(const std::string& sql) {
    Statement s(handle(), AddPrefixRanges(SourceSql(sql)));
    long long n = 0;
    while (s.Step()) ++n;
    return n;
}

std::unique_ptr<Recordset> Database::OpenRecordset(const std::string& source) {
    return std::make_unique<Recordset>(conn_, SourceSql(source));
}

std::unique_ptr<TableRecordset> Database::OpenTable(const std::string& table, int options) {
    return std::make_unique<TableRecordset>(conn_, table, (options & kReadOnly) != 0);
}

void Database::Close() { conn_->Close(); }

std::string SourceSql(const std::string& source) {
    return IsIdentifier(source) ? "SELECT * FROM \"" + source + "\"" : source;
}

} // namespace db
