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
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
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

std::string MakePrivateTempFolder(const std::string& prefix) {
    std::error_code ec;
    const fs::path base = fs::temp_directory_path(ec);
    if (ec) return {};
    for (unsigned n = GetTickCount(), tries = 0; tries < 100; ++tries, n = n * 1103515245u + 12345u) {
        const fs::path dir = base / (prefix + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(n % 1000000u));
        if (CreateDirectoryW(dir.c_str(), nullptr)) return dir.string(); // under the user's own profile
        if (GetLastError() != ERROR_ALREADY_EXISTS) return {};
    }
    return {};
}

void LetOwnerWrite(const std::string& path) {
    const DWORD a = GetFileAttributesW(fs::u8path(path).c_str());
    if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesW(fs::u8path(path).c_str(), a & ~DWORD(FILE_ATTRIBUTE_READONLY));
}

void NoCoreDumps() {} // Windows writes no dump file beside a program

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
    return errno == EEXIST ? Made::Exists : Made::Failed;
}

void MakeFolderPrivate(const std::string& folder) { ::chmod(folder.c_str(), 0700); }

bool FolderWritable(const std::string& folder) { return ::access(folder.empty() ? "." : folder.c_str(), W_OK) == 0; }

std::tm LocalTime(std::time_t t) {
    std::tm tm{};
    localtime_r(&t, &tm);
    return tm;
}

// The folders are named PREFIX<pid>-XXXXXX. One whose process is gone (killed before it could
// remove it) is removed by the next one made; a pid now used by another process keeps its folder.
std::string MakePrivateTempFolder(const std::string& prefix) {
    std::error_code ec;
    const fs::path base = fs::temp_directory_path(ec);
    if (ec) return {};
    for (fs::directory_iterator it(base, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.rfind(prefix, 0) != 0) continue;
        const long pid = std::strtol(name.c_str() + prefix.size(), nullptr, 10);
        struct stat st {};
        if (pid <= 0 || ::lstat(it->path().c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) continue;
        if (::kill(pid_t(pid), 0) != 0 && errno == ESRCH) {
            std::error_code ignored;
            fs::remove_all(it->path(), ignored);
        }
    }
    std::string name = (base / (prefix + std::to_string(::getpid()) + "-XXXXXX")).string();
    return ::mkdtemp(name.data()) ? name : std::string(); // mode 0700
}

void LetOwnerWrite(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || st.st_uid != ::geteuid() || (st.st_mode & S_IWUSR)) return;
    ::chmod(path.c_str(), (st.st_mode & 07777) | S_IRUSR | S_IWUSR);
}

// The limit alone, not PR_SET_DUMPABLE: that would also shut the user's own debugger and
// /proc/PID out. The hard limit goes too, so nothing this process starts can raise it again.
void NoCoreDumps() {
    const struct rlimit none {0, 0};
    ::setrlimit(RLIMIT_CORE, &none);
}

#endif

} // namespace db::files
