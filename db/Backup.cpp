#include "db/Backup.h"

#include "db/Engine.h"
#include "db/Errors.h"
#include "db/Files.h"
#include "db/PageCopy.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdint>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace db {
namespace {

std::string Why(int rc) {
    switch (rc & 0xff) {
    case SQLITE_FULL: return "disk je pun";
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB: return "rječnik je oštećen (dio datoteke ne može se pročitati) ili nije baza podataka";
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

// Fills the empty file `file` with a copy of src; failures name `shown`, the file the user
// asked for. Closes what it opened on every path.
void WriteCopy(sqlite3* src, const std::string& file, const std::string& password, const std::string& shown,
               bool pagesAsTheyAre) {
    if (pagesAsTheyAre) {
        if (CopyPagesAsTheyAre(src, file) && MakeStandAlone(file, password) == SQLITE_OK && files::Sync(file)) return;
        std::error_code ec;
        fs::resize_file(fs::u8path(file), 0, ec); // what was copied goes; the engine copies it again
        for (const char* beside : {"-wal", "-shm"}) fs::remove(fs::u8path(file + beside), ec);
    }
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
            // SQLCipher answers a page of the source that fails its check with the generic error.
            if ((rc & 0xff) == SQLITE_ERROR) rc = SQLITE_CORRUPT;
        } else {
            rc = sqlite3_errcode(dst);
        }
    }
    // The copy is one file on its own: no write-ahead log beside it.
    if (rc == SQLITE_OK) rc = sqlite3_exec(dst, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr);
    const int closed = sqlite3_close(dst);
    if (rc == SQLITE_OK) rc = closed;
    if (rc != SQLITE_OK) Fail(shown, rc);
    if (!files::Sync(file)) Fail(shown, SQLITE_IOERR);
}

// An empty file only this process writes, mode 0600; false when the name is taken.
bool Claim(const std::string& path) {
    const files::Made made = files::CreatePrivate(path);
    if (made == files::Made::Failed)
        throw EngineError::FromSqlite(SQLITE_CANTOPEN, "Kopija rječnika nije napravljena: u mapu " +
                                                           fs::path(path).parent_path().string() + " se ne može pisati.");
    return made == files::Made::Yes;
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
        WriteCopy(src, partial, password, target, false);
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

std::string MakeBackup(const std::string& path, const std::string& password, std::string folder, int keep,
                       bool pagesAsTheyAre) {
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
    return MakeBackupOf(source->handle(), path, password, std::move(folder), keep, pagesAsTheyAre);
}

namespace {

// The backups of one dictionary name in a folder, and the files kept beside them. Names are
// matched by plain scanning: the order file's lines come from a file, whatever its length.
struct Naming {
    std::string stem, ext;      // Name-YYYY-MM-DD-HHMMSS[-n].ext, and .Name-….ext.novo while written
    std::string order, lock;    // which backup was made after which; who may change that
    Naming(const std::string& folder, const std::string& name) {
        const fs::path n(name);
        stem = n.stem().string();
        ext = n.has_extension() ? n.extension().string() : ".mdb";
        order = (fs::path(folder) / ("." + n.filename().string() + ".redoslijed")).string();
        lock = (fs::path(folder) / ("." + n.filename().string() + ".brava")).string();
    }
    struct Parts {
        std::string stamp, n; // n is empty when the name has no count
    };
    // The stamp and count of a backup's name, or nothing when `f` is not one.
    std::optional<Parts> Backup(std::string_view f) const {
        if (f.size() < stem.size() + 1 || f.substr(0, stem.size()) != stem || f[stem.size()] != '-') return std::nullopt;
        f.remove_prefix(stem.size() + 1);
        static constexpr std::string_view kShape = "dddd-dd-dd-dddddd";
        if (f.size() < kShape.size()) return std::nullopt;
        for (size_t i = 0; i < kShape.size(); ++i)
            if (kShape[i] == 'd' ? !IsDigit(f[i]) : f[i] != '-') return std::nullopt;
        Parts parts{std::string(f.substr(0, kShape.size())), {}};
        f.remove_prefix(kShape.size());
        if (!f.empty() && f[0] == '-') {
            size_t digits = 1;
            while (digits < f.size() && IsDigit(f[digits])) ++digits;
            if (digits == 1) return std::nullopt;
            parts.n = std::string(f.substr(1, digits - 1));
            f.remove_prefix(digits);
        }
        if (f != ext) return std::nullopt;
        return parts;
    }
    bool Partial(std::string_view f) const {
        static constexpr std::string_view kEnd = ".novo";
        return f.size() > 1 + kEnd.size() && f[0] == '.' && f.substr(f.size() - kEnd.size()) == kEnd &&
               Backup(f.substr(1, f.size() - 1 - kEnd.size()));
    }

private:
    static bool IsDigit(char c) { return c >= '0' && c <= '9'; }
};

// Partial copies of this name that no running backup is writing: left by a backup that was
// killed. They go first, as on a nearly full disk they leave no room for the new copy.
void RemoveDeadPartials(const std::string& folder, const Naming& naming) {
    std::error_code ec;
    std::vector<std::string> dead;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (naming.Partial(it->path().filename().string())) dead.push_back(it->path().string());
    for (const std::string& p : dead)
        if (files::RemoveIfNotHeld(p)) // and what the engine had beside it while making it a file on its own
            for (const char* beside : {"-wal", "-shm", "-journal"}) fs::remove(p + beside, ec);
}

// The order file: the names of the backups, oldest first, one a line.
std::vector<std::string> ReadOrder(const Naming& naming) {
    std::ifstream in(naming.order, std::ios::binary);
    std::vector<std::string> names;
    for (std::string line; std::getline(in, line);)
        if (!in.eof() && naming.Backup(line)) names.push_back(line); // a torn last line is no name
    return names;
}

// Written beside and renamed over the old one, so a reader finds the old list or the new.
void WriteOrder(const std::string& folder, const Naming& naming, const std::vector<std::string>& names) {
    const std::string partial = naming.order + ".novo";
    std::error_code ec;
    fs::remove(partial, ec);
    if (files::CreatePrivate(partial) != files::Made::Yes) return; // 0600, like the copies
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        for (const std::string& n : names) out << n << '\n';
        out.flush();
        if (!out) {
            out.close();
            fs::remove(partial, ec);
            return;
        }
    }
    if (!files::Sync(partial)) return;
    fs::rename(partial, naming.order, ec);
    if (ec) fs::remove(partial, ec);
    else files::Sync(folder);
}

// Ranks the backups of this name oldest first: copies the order file does not know (made by an
// earlier version, or whose making was cut short before it was noted) by the stamps in their
// names, before every noted one; the noted ones in the order they were made; `newest` last.
// Never by the clock alone, which may have been set back since. Deletes all but the newest
// keep, never `spare`, and notes the order of the rest. The caller holds the folder's lock.
void PruneLocked(const std::string& folder, const Naming& naming, int keep, const std::string& spare,
                 const std::string& newest) {
    struct Found {
        size_t noted; // place in the order file; SIZE_MAX for one it does not know
        std::string stamp;
        unsigned long long n;
        std::string name;
    };
    const std::vector<std::string> order = ReadOrder(naming);
    std::map<std::string, size_t> place;
    for (size_t i = 0; i < order.size(); ++i) place[order[i]] = i; // a name written twice counts where it was last
    std::vector<Found> found;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string f = it->path().filename().string();
        const auto m = naming.Backup(f);
        if (!m || !it->is_regular_file(ec)) continue;
        unsigned long long n = 1;
        if (!m->n.empty() && std::from_chars(m->n.data(), m->n.data() + m->n.size(), n).ec != std::errc())
            n = ULLONG_MAX; // more digits than any count: after every other of its second
        const auto at = place.find(f);
        found.push_back({f == newest ? SIZE_MAX - 1 : at == place.end() ? SIZE_MAX : at->second, m->stamp, n, f});
    }
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        const bool aNoted = a.noted != SIZE_MAX, bNoted = b.noted != SIZE_MAX;
        if (aNoted != bNoted) return bNoted;
        if (aNoted) return a.noted < b.noted;
        return a.stamp != b.stamp ? a.stamp < b.stamp : a.n < b.n;
    });
    std::vector<std::string> kept;
    const size_t remove = found.size() > size_t(std::max(keep, 0)) ? found.size() - size_t(std::max(keep, 0)) : 0;
    for (size_t i = 0; i < found.size(); ++i) {
        const fs::path p = fs::path(folder) / found[i].name;
        if (i < remove && (spare.empty() || !SameFile(p.string(), spare)) && fs::remove(p, ec)) continue;
        kept.push_back(found[i].name);
    }
    WriteOrder(folder, naming, kept);
}

[[noreturn]] void FolderFailed(const std::string& folder, const char* why) {
    throw EngineError::FromSqlite(SQLITE_CANTOPEN, "Kopija rječnika nije napravljena: " + std::string(why) + " (" + folder + ").");
}

std::string MakeBackupIn(sqlite3* src, const std::string& path, const std::string& password, std::string folder,
                         int keep, bool pagesAsTheyAre) {
    if (folder.empty()) folder = BackupFolder(path);
    if (!files::MakeFolders(folder)) FolderFailed(folder, "mapa za kopije ne može se napraviti");
    const fs::path name(path);
    const Naming naming(folder, name.filename().string());
    RemoveDeadPartials(folder, naming);

    const std::string stamp = files::LocalStamp();
    std::error_code ec;
    for (int n = 1;; ++n) {
        const std::string file = naming.stem + "-" + stamp + (n > 1 ? "-" + std::to_string(n) : "") + naming.ext;
        const std::string target = (fs::path(folder) / file).string(), partial = (fs::path(folder) / ("." + file + ".novo")).string();
        if (fs::exists(fs::symlink_status(target, ec))) continue;
        files::HeldFile held; // says to other backups that this partial copy is being written
        const files::Made claimed = files::CreateHeld(partial, &held);
        if (claimed == files::Made::Exists) continue;
        if (claimed == files::Made::Failed)
            Fail(target, held.error == ENOSPC || held.error == EDQUOT ? SQLITE_FULL : SQLITE_CANTOPEN);
        try {
            WriteCopy(src, partial, password, target, pagesAsTheyAre);
        } catch (...) {
            fs::remove(partial, ec);
            throw;
        }
        // Taken for a dead one's while the engine had it open (NFS): then it is written again.
        if (!held.StillHeld(partial)) continue;
        // Putting the copy in place, pruning and noting the order are one step for the backups
        // of this folder: another one never sees a copy in place that the order does not know.
        const files::FolderLock lock(naming.lock);
        // Never over a backup another process finished in the same second.
        const files::Made moved = files::RenameNoReplace(partial, target);
        if (moved != files::Made::Yes) fs::remove(partial, ec);
        if (moved == files::Made::Exists) continue;
        if (moved == files::Made::Failed) Fail(target, SQLITE_CANTOPEN);
        if (!files::Sync(folder)) { // a copy that may not survive a power cut is not reported as made
            fs::remove(target, ec);
            Fail(target, SQLITE_IOERR);
        }
        try {
            PruneLocked(folder, naming, keep, target, file);
        } catch (...) { // the copy is made; an old one left over is no failure
        }
        return target;
    }
}

} // namespace

std::string MakeBackupOf(sqlite3* src, const std::string& path, const std::string& password, std::string folder,
                         int keep, bool pagesAsTheyAre) {
    try {
        return MakeBackupIn(src, path, password, std::move(folder), keep, pagesAsTheyAre);
    } catch (const EngineError&) {
        throw;
    } catch (const std::exception&) { // the library's own text is English
        throw EngineError::FromSqlite(SQLITE_IOERR, "Kopija rječnika nije napravljena: mapa za kopije ne može se "
                                                    "pročitati ili se u nju ne može pisati.");
    }
}

void PruneBackups(const std::string& folder, const std::string& name, int keep, const std::string& spare) {
    try {
        const Naming naming(folder, name);
        const files::FolderLock lock(naming.lock);
        PruneLocked(folder, naming, keep, spare, {});
    } catch (...) { // pruning only frees room; a copy left over is no failure
    }
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
