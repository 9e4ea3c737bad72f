// vokabis-db backup: a copy of the dictionary in Backup/ beside it, or in a folder named.
#include "tools/Cli.h"

#include "db/Backup.h"

#include <iostream>

namespace tools::cli {

int Backup(const Options& o) {
    const std::string& path = o.args[1];
    const std::string folder = o.args.size() > 2 ? o.args[2] : "";
    {
        db::Database d = OpenReadOnly(path);
        RequireDictionary(d);
    }
    std::cout << db::MakeBackup(path, db::kPassword, folder) << "\n";
    return 0;
}

} // namespace tools::cli
