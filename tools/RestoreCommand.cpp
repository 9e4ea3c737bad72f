// vokabis-db restore: puts a backup in the dictionary's place, keeping the file it replaces.
#include "tools/Cli.h"

#include "db/Backup.h"
#include "db/Files.h"
#include "db/Strays.h"

#include <climits>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <memory>
#include <sstream>

namespace fs = std::filesystem;

namespace tools::cli {
namespace {

using db::kPassword;

// A damaged file cannot be read through the engine; its bytes (and its log) are kept as they are.
std::string KeepRawCopy(const std::string& path) {
    const std::string folder = db::BackupFolder(path);
    const fs::path name(path);
    fs::path keep;
    try {
        if (!db::files::MakeFolders(folder)) throw fs::filesystem_error("", std::error_code());
        for (int n = 1;; ++n) {
            keep = fs::path(folder) / (name.stem().string() + "-ostecena-" + std::to_string(std::time(nullptr)) +
                                       (n > 1 ? "-" + std::to_string(n) : "") + name.extension().string());
            if (!fs::exists(keep)) break;
        }
        fs::copy_file(path, keep);
        fs::permissions(keep, fs::perms::owner_read | fs::perms::owner_write);
        db::SyncPath(keep.string());
        for (const char* log : {"-wal", "-journal"}) // the damaged file's, never the new one's
            if (fs::exists(path + log)) {
                fs::rename(path + log, keep.string() + log);
                db::SyncPath(folder);
            }
    } catch (const fs::filesystem_error&) {
        std::error_code ec;
        if (!keep.empty()) fs::remove(keep, ec);
        throw std::runtime_error("datoteka " + path + " ne može se sačuvati kao kopija u " + folder +
                                 " (disk je pun ili se u mapu ne može pisati); ništa nije promijenjeno");
    }
    return keep.string();
}

const char* const kHeldOpen = " je otvoren u drugom programu (Vokabis?). Zatvorite ga pa pokušajte ponovno; ništa nije promijenjeno";

// The file a restore replaces, held for itself from the moment it is checked until the new file
// has its name: in exclusive locking mode the engine takes the whole file at the first read and
// keeps it until the connection closes (a program still holding the file stops the restore
// here), so no program or tool can open it for writing meanwhile. Nothing is written to it: a
// damaged one is kept byte for byte.
struct Held {
    sqlite3* db = nullptr;
    explicit Held(const std::string& path) {
        int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
        if (rc == SQLITE_OK) rc = sqlite3_key(db, kPassword, int(std::strlen(kPassword)));
        if (rc == SQLITE_OK) rc = sqlite3_busy_timeout(db, 2000);
        // Its log stays where it is when it closes: by then that name is the new file's.
        int persist = 1;
        if (rc == SQLITE_OK) rc = sqlite3_file_control(db, "main", SQLITE_FCNTL_PERSIST_WAL, &persist);
        if (rc == SQLITE_OK) rc = sqlite3_exec(db, "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE; COMMIT", nullptr, nullptr, nullptr);
        if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
            sqlite3_close(db);
            throw std::runtime_error(path + kHeldOpen);
        }
        if (rc != SQLITE_OK) { // the engine cannot read it: damaged, or not a dictionary at all
            sqlite3_close(db);
            db = nullptr;
        }
    }
    ~Held() { sqlite3_close_v2(db); }
    Held(const Held&) = delete;
    Held& operator=(const Held&) = delete;
};

// Keeps the file a restore replaces as a backup beside it; returns the copy's path. A file the
// engine cannot copy whole (a damaged page) is kept byte for byte instead, with its log.
std::string KeepReplaced(const std::string& path, const Held& held) {
    if (held.db) try {
            return db::MakeBackupOf(held.db, path, kPassword, {}, INT_MAX);
        } catch (const db::EngineError& e) {
            if ((e.sqliteCode & 0xff) == SQLITE_FULL) throw;
        }
    return KeepRawCopy(path);
}

} // namespace

int Restore(const Options& o) {
    const std::string &backup = o.args[1], &path = o.args[2];
    if (db::SameFile(backup, path)) {
        std::cerr << "Vraćanje odbijeno: kopija i datoteka su ista datoteka (" << path << ").\n";
        return 1;
    }
    // Everything the program needs must be in the backup before the dictionary is touched.
    db::Database source = OpenReadOnly(backup);
    std::ostringstream report;
    if (!Verify(source, report)) {
        std::cerr << report.str() << "Vraćanje odbijeno: kopija " << backup << " nije ispravan rječnik; " << path
                  << " nije dirnut.\n";
        return 1;
    }
    const std::string strays = db::DescribeStrays(db::MoveStraysAside(path));
    if (!strays.empty()) std::cerr << strays << "\n";
    // Written and flushed beside the file, then renamed over it: a restore killed at any moment
    // leaves the old file or the new one.
    const std::string partial = db::PrepareCopy(source.handle(), path, kPassword);
    std::string kept;
    std::unique_ptr<Held> held;
    try {
        if (fs::exists(path)) {
            held = std::make_unique<Held>(path);
            kept = KeepReplaced(path, *held);
        }
        // Nothing of the old file may stay under its names, or the new one would read it as its
        // own: its log is in the copy just kept (or went with the damaged file's bytes).
        for (const char* beside : {"-wal", "-shm", "-journal"}) fs::remove(path + beside);
        fs::rename(partial, path);
        db::SyncPath(fs::absolute(path).parent_path().string());
    } catch (...) {
        std::error_code ec;
        fs::remove(partial, ec);
        throw;
    }
    held.reset(); // a program that waited for the old file finds it gone and opens the new one
    if (!kept.empty()) db::PruneBackups(db::BackupFolder(path), fs::path(path).filename().string(), 10, kept);
    std::cout << "Vraćeno iz " << backup << " u " << path << ".\n";
    if (!kept.empty()) std::cout << "Prijašnja datoteka sačuvana je kao " << kept << "\n";
    return 0;
}

} // namespace tools::cli
