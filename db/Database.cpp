#include "db/Database.h"

#include "db/Backup.h"
#include "db/Counts.h"
#include "db/Files.h"
#include "db/JetLike.h"
#include "db/JetSql.h"
#include "db/Recordset.h"
#include "db/SettingsRow.h"
#include "db/Sqlite.h"
#include "db/TableRecordset.h"

#include <unicode/ucol.h>

#include <cctype>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace db {
namespace {

void LikeFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    // Null on either side never matches, as in Jet.
    if (argc < 2 || sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const auto* t = reinterpret_cast<const char*>(sqlite3_value_text(argv[1]));
    const int tn = sqlite3_value_bytes(argv[1]);
    // A pattern that stays the same for the whole statement is read once, not once a row.
    if (const auto* kept = static_cast<const LikePattern*>(sqlite3_get_auxdata(ctx, 0))) {
        sqlite3_result_int(ctx, kept->Matches({t, size_t(tn)}) ? 1 : 0);
        return;
    }
    const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    const int pn = sqlite3_value_bytes(argv[0]);
    auto pattern = std::make_unique<LikePattern>(std::string_view{p, size_t(pn)});
    sqlite3_result_int(ctx, pattern->Matches({t, size_t(tn)}) ? 1 : 0);
    // The engine may drop it at once, so it is handed over only after its use.
    sqlite3_set_auxdata(ctx, 0, pattern.release(), [](void* kept) { delete static_cast<LikePattern*>(kept); });
}

// The key of the prefix indexes. A blob, so that the range bounds compare byte by byte.
void FoldFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const auto* t = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    const std::string key = FoldKey({t, size_t(sqlite3_value_bytes(argv[0]))});
    sqlite3_result_blob(ctx, key.data(), int(key.size()), SQLITE_TRANSIENT);
}

// What the engine calls: no exception may unwind through its C frames, so whatever a function
// meets (an unreadable pattern, memory running out) ends the statement with an error instead.
template <void (*Function)(sqlite3_context*, int, sqlite3_value**)>
void Guarded(sqlite3_context* ctx, int argc, sqlite3_value** argv) noexcept {
    try {
        Function(ctx, argc, argv);
    } catch (const std::bad_alloc&) {
        sqlite3_result_error_nomem(ctx);
    } catch (const std::exception& e) {
        sqlite3_result_error(ctx, e.what(), -1);
    } catch (...) {
        sqlite3_result_error(ctx, "Funkcija baze rječnika nije izvedena.", -1);
    }
}

// A collation cannot report a failure, so it never throws and always gives a total order.
int Collate(void* coll, int na, const void* a, int nb, const void* b) noexcept {
    UErrorCode st = U_ZERO_ERROR;
    const UCollationResult r = ucol_strcollUTF8(static_cast<UCollator*>(coll), static_cast<const char*>(a), na,
                                                static_cast<const char*>(b), nb, &st);
    if (U_FAILURE(st)) { // keep a total order even then
        const int c = std::memcmp(a, b, size_t(std::min(na, nb)));
        return c != 0 ? c : na - nb;
    }
    return r == UCOL_LESS ? -1 : r == UCOL_GREATER ? 1 : 0;
}

void CloseCollator(void* coll) noexcept { ucol_close(static_cast<UCollator*>(coll)); }

// Croatian rules for the Croatian column, root rules for the English one. The default
// (tertiary) strength orders by letters first and lets case only break ties.
void RegisterCollation(sqlite3* db, const char* name, const char* locale) {
    UErrorCode st = U_ZERO_ERROR;
    UCollator* coll = ucol_open(locale, &st);
    if (U_FAILURE(st))
        throw EngineError(kEngineFailed, std::string("Pravila abecednog redoslijeda nisu dostupna: ") + locale);
    // The engine takes the collator over only when the registration succeeds.
    const int rc = sqlite3_create_collation_v2(db, name, SQLITE_UTF8, coll, Collate, CloseCollator);
    if (rc != SQLITE_OK) {
        ucol_close(coll);
        ThrowSqlite(db, rc);
    }
}

void Check(sqlite3* db, int rc) {
    if (rc != SQLITE_OK) ThrowSqlite(db, rc);
}

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

} // namespace

namespace {

// A path as an SQLite URI, for the options that only a URI can carry.
std::string FileUri(const std::string& path) {
    std::string uri = "file:";
    for (unsigned char c : path) {
        if (c == '?' || c == '#' || c == '%' || c < 0x20) {
            static const char* hex = "0123456789ABCDEF";
            uri += '%';
            uri += hex[c >> 4];
            uri += hex[c & 15];
        } else {
            uri += char(c);
        }
    }
    return uri;
}

// Only an existing regular file (after following links) is ever handed to the engine: a
// device, a folder or an empty file would be written to by the engine as if it were a new
// database. Returns the file's real path.
std::string ExistingDictionaryFile(const std::string& path) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::file_status st = fs::status(path, ec);
    if (st.type() == fs::file_type::not_found)
        throw EngineError::FromSqlite(SQLITE_CANTOPEN, DescribeFailure(SQLITE_CANTOPEN, path));
    if (ec) throw EngineError::FromSqlite(SQLITE_PERM, DescribeFailure(SQLITE_PERM, path));
    if (st.type() != fs::file_type::regular)
        throw EngineError::FromSqlite(SQLITE_NOTADB, "Datoteka rječnika " + path +
                                                         " nije obična datoteka (nego mapa, uređaj ili slično) pa je "
                                                         "program ne otvara.");
    if (fs::file_size(path, ec) == 0 && !ec)
        throw EngineError::FromSqlite(SQLITE_NOTADB, "Datoteka rječnika " + path +
                                                         " je prazna (0 bajtova): nije rječnik ovog programa. Vratite "
                                                         "najnoviju sigurnosnu kopiju naredbom \"vokabis-db restore\".");
    const fs::path real = fs::canonical(path, ec);
    return ec ? path : real.string();
}

bool FolderWritable(const std::string& file) {
    const std::string dir = std::filesystem::path(file).parent_path().string();
    return files::FolderWritable(dir);
}

// The engine's files beside the dictionary that a failed opening made and left empty.
struct Leftovers {
    std::vector<std::string> absent;
    explicit Leftovers(const std::string& file) {
        for (const char* beside : {"-wal", "-shm", "-journal"})
            if (!std::filesystem::exists(file + beside)) absent.push_back(file + beside);
    }
    void Remove() const {
        std::error_code ec;
        for (const auto& f : absent)
            if (std::filesystem::is_regular_file(f, ec) && std::filesystem::file_size(f, ec) == 0) std::filesystem::remove(f, ec);
    }
};

} // namespace

bool DiskFullAt(const std::string& file) {
    const std::filesystem::path dir = std::filesystem::path(file).parent_path();
    std::error_code ec;
    const auto space = std::filesystem::space(dir.empty() ? "." : dir, ec);
    return !ec && space.available < 64 * 1024;
}

void RegisterFunctions(sqlite3* db) {
    Check(db, sqlite3_create_function(db, "like", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, Guarded<LikeFunction>,
                                      nullptr, nullptr));
    Check(db, sqlite3_create_function(db, "vokabis_fold", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                      Guarded<FoldFunction>, nullptr, nullptr));
    RegisterCollation(db, "ROOT", "");
    RegisterCollation(db, "HR", "hr");
}

namespace {

// Nobody but an administrator may write a file without any write permission bit.
bool NobodyMayWrite(const std::string& file) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::perms p = fs::status(file, ec).permissions();
    return !ec && (p & (fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write)) == fs::perms::none;
}

bool LogHasContent(const std::string& file) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(file + "-wal", ec);
    return !ec && size > 0;
}

struct Stamp {
    std::uintmax_t size = 0;
    std::filesystem::file_time_type time{};
    bool operator==(const Stamp&) const = default;
};
Stamp StampOf(const std::string& file) {
    std::error_code ec;
    return {std::filesystem::file_size(file, ec), std::filesystem::last_write_time(file, ec)};
}

// The file and its log copied whole into a new private folder, where the engine can keep the
// shared memory it needs to read a log: the copy stays encrypted. The file is copied before its
// log, and again if either changed meanwhile (a writer on a full disk), so the copy is a state
// the file was in. The connections of one run share a copy while the file stays as it was
// copied; the last one to close removes it.
struct PrivateCopy {
    std::string original, folder, file;
    Stamp fileStamp, logStamp;
    ~PrivateCopy() {
        if (folder.empty()) return; // none could be made
        ForgetPath(folder);
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
};

std::mutex copiesGuard;
std::map<std::string, std::weak_ptr<PrivateCopy>> copies; // by the original's real path

// Throws a Croatian refusal when no copy can be made.
std::shared_ptr<PrivateCopy> CopyWithLog(const std::string& file) {
    namespace fs = std::filesystem;
    std::lock_guard lock(copiesGuard);
    if (auto kept = copies[file].lock(); kept && kept->fileStamp == StampOf(file) && kept->logStamp == StampOf(file + "-wal"))
        return kept;
    auto copy = std::make_shared<PrivateCopy>();
    copy->original = file;
    copy->folder = files::MakePrivateTempFolder("vokabis-kopija-");
    copy->file = (fs::path(copy->folder) / fs::path(file).filename()).string();
    bool changing = false;
    for (int attempt = 0; !copy->folder.empty() && attempt < 3; ++attempt) {
        std::error_code ec;
        copy->fileStamp = StampOf(file);
        copy->logStamp = StampOf(file + "-wal");
        fs::copy_file(file, copy->file, fs::copy_options::overwrite_existing, ec);
        if (!ec) fs::copy_file(file + "-wal", copy->file + "-wal", fs::copy_options::overwrite_existing, ec);
        if (ec) break;
        changing = StampOf(file) != copy->fileStamp || StampOf(file + "-wal") != copy->logStamp;
        if (changing) continue;
        for (const char* part : {"", "-wal"})
            fs::permissions(copy->file + part, fs::perms::owner_read | fs::perms::owner_write, ec);
        ShowPathAs(copy->file, file);
        copies[file] = copy;
        return copy;
    }
    if (changing)
        throw EngineError::FromSqlite(SQLITE_BUSY, "Rječnik " + file + " upravo mijenja drugi program, pa se ovdje ne može "
                                                   "pročitati. Pokušajte ponovno za trenutak.");
    std::error_code ec;
    throw EngineError::FromSqlite(
        SQLITE_CANTOPEN, "Rječnik " + file + " ovdje se može samo čitati, a najnoviji spremljeni parovi još su u datoteci " +
                             file + "-wal, koju program može pročitati samo iz kopije, a kopija u privremenoj mapi " +
                             fs::temp_directory_path(ec).string() +
                             " nije uspjela (nema mjesta ili se ne može pisati). Kopirajte obje datoteke u mapu u koju "
                             "smijete pisati i otvorite rječnik ondje.");
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
            auto made = CopyWithLog(target);
            copy = made;
            return made->file;
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

// Which file a path names now: device and inode (nothing on Windows, where a file held open
// cannot be renamed over).
struct FileId {
    unsigned long long dev = 0, ino = 0;
    bool operator==(const FileId&) const = default;
};
FileId IdOf(const std::string& path) {
#ifdef _WIN32
    (void)path;
    return {};
#else
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return {};
    return {static_cast<unsigned long long>(st.st_dev), static_cast<unsigned long long>(st.st_ino)};
#endif
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

void Connection::RemoveCopy() {
    std::lock_guard lock(copiesGuard); // no other connection takes it up meanwhile
    copy_.reset();
}

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
