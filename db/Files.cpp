#include "db/Files.h"

#include <cerrno>
#include <filesystem>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace db::files {

#ifdef _WIN32

Made CreatePrivate(const std::string& path) {
    const int fd = _wopen(fs::u8path(path).c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd < 0) return errno == EEXIST ? Made::Exists : Made::Failed;
    _close(fd);
    return Made::Yes;
}

bool Sync(const std::string& path) {
    if (fs::is_directory(fs::u8path(path))) return true; // Windows has no folder sync
    const int fd = _wopen(fs::u8path(path).c_str(), _O_RDWR | _O_BINARY);
    if (fd < 0) return true;
    const bool ok = _commit(fd) == 0;
    _close(fd);
    return ok;
}

Made RenameNoReplace(const std::string& from, const std::string& to) {
    if (MoveFileExW(fs::u8path(from).c_str(), fs::u8path(to).c_str(), MOVEFILE_WRITE_THROUGH)) return Made::Yes;
    const DWORD e = GetLastError();
    return e == ERROR_ALREADY_EXISTS || e == ERROR_FILE_EXISTS ? Made::Exists : Made::Failed;
}

void MakeFolderPrivate(const std::string&) {} // a user's data folder is private already

bool FolderWritable(const std::string& folder) {
    const DWORD a = GetFileAttributesW(fs::u8path(folder.empty() ? "." : folder).c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_READONLY);
}

std::tm LocalTime(std::time_t t) {
    std::tm tm{};
    localtime_s(&tm, &t);
    return tm;
}

#else

Made CreatePrivate(const std::string& path) {
    const int fd = ::open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
    if (fd < 0) return errno == EEXIST ? Made::Exists : Made::Failed;
    ::close(fd);
    return Made::Yes;
}

bool Sync(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return true;
    const int rc = ::fsync(fd);
    const int err = errno;
    ::close(fd);
    return rc == 0 || err == EINVAL; // some file systems cannot sync a folder
}

Made RenameNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return Made::Yes;
    if (errno == EEXIST) return Made::Exists;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return Made::Failed;
    // The file system cannot rename that way: a hard link is made only under a free name, so
    // it never replaces either; then the old name goes.
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return Made::Yes;
    }
    if (errno == EEXIST) return Made::Exists;
    if (errno != EPERM && errno != EOPNOTSUPP && errno != ENOSYS) return Made::Failed;
    // No hard links either (FAT and the like). Names are taken through a partial file this
    // process holds alone, so no other writer of ours can reach the name between the look and
    // the rename.
    struct stat st {};
    if (::lstat(to.c_str(), &st) == 0) return Made::Exists;
    if (errno != ENOENT) return Made::Failed;
    return ::rename(from.c_str(), to.c_str()) == 0 ? Made::Yes : Made::Failed;
}

void MakeFolderPrivate(const std::string& folder) { ::chmod(folder.c_str(), 0700); }

bool FolderWritable(const std::string& folder) { return ::access(folder.empty() ? "." : folder.c_str(), W_OK) == 0; }

std::tm LocalTime(std::time_t t) {
    std::tm tm{};
    localtime_r(&t, &tm);
    return tm;
}

#endif

} // namespace db::files
