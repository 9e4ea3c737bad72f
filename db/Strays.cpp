#include "db/Strays.h"

#include "db/Errors.h"
#include "db/Files.h"

#include <sqlcipher/sqlite3.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace db {

std::vector<Moved> MoveStraysAside(const std::string& path) {
    std::vector<Moved> moved;
    std::error_code ec;
    if (fs::exists(fs::symlink_status(path, ec))) return moved; // they are that file's
    const std::string stamp = files::LocalStamp();
    for (const char* suffix : {"-wal", "-shm", "-journal"}) {
        const std::string stray = path + suffix;
        if (!fs::exists(fs::symlink_status(stray, ec))) continue;
        for (int n = 1;; ++n) {
            const std::string to = stray + "-ostatak-" + stamp + (n > 1 ? "-" + std::to_string(n) : "");
            const files::Made made = files::RenameNoReplace(stray, to);
            if (made == files::Made::Exists) continue;
            if (made == files::Made::Failed)
                throw EngineError::FromSqlite(SQLITE_CANTOPEN,
                                              "Uz " + path + " leži " + stray + ", ostatak ranijeg rada, koji se ne može "
                                              "maknuti u stranu. Novi rječnik preuzeo bi ga kao svoj, pa nije napravljen. "
                                              "Premjestite tu datoteku sami i pokušajte ponovno.");
            moved.push_back({stray, to});
            break;
        }
    }
    if (!moved.empty()) files::Sync(fs::absolute(path).parent_path().string());
    return moved;
}

std::string DescribeStrays(const std::vector<Moved>& moved) {
    if (moved.empty()) return {};
    std::string text = "Uz rječnik koji više ne postoji ležale su radne datoteke ranijeg rada; novi rječnik preuzeo bi "
                       "ih kao svoje i tako se oštetio. Nisu obrisane, nego premještene:";
    for (const Moved& m : moved) text += "\n  " + m.from + " → " + m.to;
    return text;
}

} // namespace db
