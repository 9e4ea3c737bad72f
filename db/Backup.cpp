#include "db/Backup.h"

#include "db/Engine.h"
#include "db/Errors.h"
#include "db/Files.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <regex>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace db {
namespace {

std::string Why(int rc) {
    switch (rc & 0xff) {
    case SQLITE_FULL: return "disk je pun";
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB: return "rječnik je oštećen ili nije baza podataka";
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return "datoteku upravo mijenja drugi program";
    case SQLITE_CANTOPEN:
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH: return "u mapu se ne može pisati";
    case SQLITE_IOERR: return "pogreška pri čitanju ili pisanju diska";
    default: return "pogreška baze podataka, kod " + std::to_string(rc);
    }
}

[[noreturn]] void Fail(const std::string& target, int rc) {
    throw EngineError::FromSqlite(rc, "Kopija rječnika nije napravljena (" + target + "): " + Why(rc) + ".");
}

// Fills the empty file `file` with a copy of src. Closes what it opened on every path.
void WriteCopy(sqlite3* src, const std::string& file, const std::string& password) {
    sqlite3* dst = nullptr;
    int rc = sqlite3_open_v2(file.c_str(), &dst, SQLITE_OPEN_READWRITE, nullptr);
    if (rc == SQLITE_OK && !password.empty()) rc = sqlite3_key(dst, password.data(), int(password.size()));
    // A copy killed half-way is thrown away whole, so it needs no journal of its own, and it
    // goes to the disk once, at the end.
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(dst, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) {
        if (sqlite3_backup* b = sqlite3_backup_init(dst, "main", src, "main")) {
            // A writer in another program may hold the file for a moment; the busy timeout of a
            // normal statement does not apply here.
            for (int tries = 0; (rc = sqlite3_backup_step(b, -1)) == SQLITE_BUSY || rc == SQLITE_LOCKED; ++tries) {
                if (tries == 50) break;
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
            const int finish = sqlite3_backup_finish(b);
            rc = rc == SQLITE_DONE ? finish : rc;
        } else {
            rc = sqlite3_errcode(dst);
        }
    }
    // The copy is one file on its own: no write-ahead log beside it.
    if (rc == SQLITE_OK) rc = sqlite3_exec(dst, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr);
    const int closed = sqlite3_close(dst);
    if (rc == SQLITE_OK) rc = closed;
    if (rc != SQLITE_OK) Fail(file, rc);
    SyncPath(file);
}

// An empty file only this process writes, mode 0600; false when the name is taken.
bool Claim(const std::string& path) {
    const files::Made made = files::CreatePrivate(path);
    if (made == files::Made::Failed)
        throw EngineError::FromSqlite(SQLITE_CANTOPEN, "Kopija rječnika nije napravljena: u mapu " +
                                                           fs::path(path).parent_path().string() + " se ne može pisati.");
    return made == files::Made::Yes;
}

std::string Stamp() {
    const std::time_t now = std::time(nullptr);
    const std::tm tm = files::LocalTime(now);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d-%H%M%S", &tm);
    return buf;
}

std::mutex changesMutex;
std::map<std::string, long long>& Changes() {
    static std::map<std::string, long long> changes;
    return changes;
}

} // namespace

std::string BackupFolder(const std::string& path) {
    return (fs::absolute(path).parent_path() / "Backup").string();
}

void SyncPath(const std::string& path) {
    if (!files::Sync(path)) throw EngineError::FromSqlite(SQLITE_IOERR, "Zapis na disk nije potvrđen: " + path + ".");
}

std::string PrepareCopy(sqlite3* src, const std::string& target, const std::string& password) {
    const std::string partial = target + ".novo";
    fs::remove(partial); // left by a copy that was killed
    if (!Claim(partial)) Fail(target, SQLITE_CANTOPEN);
    try {
        WriteCopy(src, partial, password);
    } catch (...) {
        std::error_code ec;
        fs::remove(partial, ec);
        throw;
    }
    return partial;
}

void CopyDatabase(sqlite3* src, const std::string& target, const std::string& password) {
    const std::string partial = PrepareCopy(src, target, password);
    std::error_code ec;
    fs::rename(partial, target, ec);
    if (ec) {
        fs::remove(partial, ec);
        Fail(target, SQLITE_CANTOPEN);
    }
    SyncPath(fs::absolute(target).parent_path().string());
}

std::string MakeBackup(const std::string& path, const std::string& password, std::string folder, int keep) {
    // Read and written like the program does, so that closing it moves the log into the file and
    // removes it; read-only only where the file cannot be written (or its disk is full: the copy
    // may be going to another disk).
    std::unique_ptr<Connection> source;
    try {
        source = std::make_unique<Connection>(path, password, Connection::Options{});
    } catch (const EngineError& e) {
        const int rc = e.sqliteCode & 0xff;
        if (rc != SQLITE_READONLY && rc != SQLITE_CANTOPEN && rc != SQLITE_FULL) throw;
        source = std::make_unique<Connection>(path, password, Connection::Options{false, true, false});
    }
    return MakeBackupOf(source->handle(), path, password, std::move(folder), keep);
}

std::string MakeBackupOf(sqlite3* src, const std::string& path, const std::string& password, std::string folder,
                         int keep) {
    if (folder.empty()) folder = BackupFolder(path);
    std::error_code ec;
    fs::create_directories(folder, ec);
    files::MakeFolderPrivate(folder);
    if (!fs::is_directory(folder))
        throw EngineError::FromSqlite(SQLITE_CANTOPEN,
                                      "Kopija rječnika nije napravljena: mapa " + folder + " ne može se napraviti.");
    const fs::path name(path);
    const std::string stem = name.stem().string(), ext = name.has_extension() ? name.extension().string() : ".mdb";

    const std::string stamp = Stamp();
    for (int n = 1;; ++n) {
        const std::string file = stem + "-" + stamp + (n > 1 ? "-" + std::to_string(n) : "") + ext;
        const std::string target = (fs::path(folder) / file).string(), partial = (fs::path(folder) / ("." + file + ".novo")).string();
        if (fs::exists(target) || !Claim(partial)) continue;
        try {
            WriteCopy(src, partial, password);
            // Never over a backup another process finished in the same second.
            const files::Made moved = files::RenameNoReplace(partial, target);
            if (moved == files::Made::Exists) {
                fs::remove(partial);
                continue;
            }
            if (moved == files::Made::Failed) Fail(target, SQLITE_CANTOPEN);
        } catch (...) {
            fs::remove(partial, ec);
            throw;
        }
        SyncPath(folder);
        PruneBackups(folder, name.filename().string(), keep, target);
        return target;
    }
}

void PruneBackups(const std::string& folder, const std::string& name, int keep, const std::string& spare) {
    const fs::path n(name);
    const std::string stem = n.stem().string(), ext = n.has_extension() ? n.extension().string() : ".mdb";
    auto quote = [](const std::string& s) { return std::regex_replace(s, std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)"); };
    const std::regex backup(quote(stem) + R"(-(\d{4}-\d\d-\d\d-\d{6})(?:-(\d+))?)" + quote(ext));
    struct Found {
        std::string stamp;
        long n;
        fs::path path;
    };
    std::vector<Found> found;
    std::error_code ec;
    const auto stale = fs::file_time_type::clock::now() - std::chrono::hours(1);
    for (const auto& e : fs::directory_iterator(folder, ec)) {
        const std::string f = e.path().filename().string();
        std::smatch m;
        if (std::regex_match(f, m, backup) && e.is_regular_file(ec)) {
            found.push_back({m[1], m[2].matched ? std::stol(m[2]) : 1, e.path()});
        } else if (f.rfind("." + stem + "-", 0) == 0 && f.size() > 5 && f.ends_with(".novo") &&
                   e.last_write_time(ec) < stale) {
            fs::remove(e.path(), ec); // a copy killed half-way, long ago
        }
    }
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        return a.stamp != b.stamp ? a.stamp > b.stamp : a.n > b.n; // newest first
    });
    for (size_t i = size_t(std::max(keep, 0)); i < found.size(); ++i)
        if (spare.empty() || !SameFile(found[i].path.string(), spare)) fs::remove(found[i].path, ec);
}

void NoteChanges(const std::string& path, long long changes) {
    if (changes <= 0) return;
    std::lock_guard lock(changesMutex);
    Changes()[CanonicalPath(path)] += changes;
}

long long ChangesMade(const std::string& path) {
    std::lock_guard lock(changesMutex);
    const auto it = Changes().find(CanonicalPath(path));
    return it == Changes().end() ? 0 : it->second;
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return fs::equivalent(a, b, ec) && !ec;
}

} // namespace db
