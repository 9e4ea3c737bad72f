// vokabis-db create: a new dictionary file, empty or filled from a source at once.
#include "tools/Cli.h"

#include "db/Backup.h"
#include "db/Files.h"
#include "db/Strays.h"

#include <filesystem>
#include <iostream>

namespace fs = std::filesystem;

namespace tools::cli {

int Create(const Options& o) {
    const std::string& path = o.args[1];
    if (fs::exists(fs::symlink_status(path))) {
        std::cerr << "Datoteka već postoji: " << path << "\n";
        return 1;
    }
    const std::string strays = db::DescribeStrays(db::MoveStraysAside(path));
    if (!strays.empty()) std::cerr << strays << "\n";
    // Made beside its place and renamed there once complete, never over a file that appeared
    // meanwhile; a failure leaves no half file.
    const std::string partial = path + ".novo";
    for (const char* beside : {"", "-wal", "-shm", "-journal"}) fs::remove(partial + beside); // a create killed half-way
    int rc = 0;
    try {
        if (o.from.empty()) db::Database(partial, db::kPassword, true).CreateSchema();
        else rc = ImportInto(o, partial, o.from, true);
        if (rc == 0) {
            const db::files::Made moved = db::files::RenameNoReplace(partial, path);
            if (moved == db::files::Made::Exists)
                throw std::runtime_error("datoteka " + path + " u međuvremenu je nastala i nije dirnuta");
            if (moved == db::files::Made::Failed)
                throw std::runtime_error("nova datoteka ne može se spremiti kao " + path + "; ništa nije promijenjeno");
        }
    } catch (...) {
        std::error_code ec;
        fs::remove(partial, ec);
        throw;
    }
    if (rc != 0) {
        std::error_code ec;
        fs::remove(partial, ec); // the import was refused
        return rc;
    }
    db::SyncPath(fs::absolute(path).parent_path().string());
    return 0;
}

} // namespace tools::cli
