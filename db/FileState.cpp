#include "db/FileState.h"

#include "db/Errors.h"
#include "db/Files.h"

#include <sqlcipher/sqlite3.h>

#include <filesystem>
#include <map>
#include <mutex>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace db {

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

Leftovers::Leftovers(const std::string& file) {
    for (const char* beside : {"-wal", "-shm", "-journal"})
        if (!std::filesystem::exists(file + beside)) absent.push_back(file + beside);
}

void Leftovers::Remove() const {
    std::error_code ec;
    for (const auto& f : absent)
        if (std::filesystem::is_regular_file(f, ec) && std::filesystem::file_size(f, ec) == 0) std::filesystem::remove(f, ec);
}

bool DiskFullAt(const std::string& file) {
    const std::filesystem::path dir = std::filesystem::path(file).parent_path();
    std::error_code ec;
    const auto space = std::filesystem::space(dir.empty() ? "." : dir, ec);
    return !ec && space.available < 64 * 1024;
}

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

namespace {

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

} // namespace

std::shared_ptr<void> CopyWithLog(const std::string& file, std::string& opened) {
    namespace fs = std::filesystem;
    std::lock_guard lock(copiesGuard);
    if (auto kept = copies[file].lock(); kept && kept->fileStamp == StampOf(file) && kept->logStamp == StampOf(file + "-wal")) {
        opened = kept->file;
        return kept;
    }
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
        opened = copy->file;
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

void LetGoOfCopy(std::shared_ptr<void>& copy) {
    std::lock_guard lock(copiesGuard);
    copy.reset();
}

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

} // namespace db
