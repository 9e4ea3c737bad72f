#include "db/Files.h"

#include <cerrno>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
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

// An open file cannot be deleted on Windows, so a partial file that can be is not being written.
void HeldFile::Release() {
    if (fd_ >= 0) _close(fd_);
    fd_ = -1;
}

Made CreateHeld(const std::string& path, HeldFile* held) {
    held->Release();
    const int fd = _wopen(fs::u8path(path).c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd < 0) {
        held->error = errno;
        return errno == EEXIST ? Made::Exists : Made::Failed;
    }
    held->fd_ = fd;
    return Made::Yes;
}

bool HeldFile::StillHeld(const std::string& path) {
    std::error_code ec;
    return fd_ >= 0 && fs::exists(fs::u8path(path), ec);
}

bool RemoveIfNotHeld(const std::string& path) { return _wunlink(fs::u8path(path).c_str()) == 0; }

FolderLock::FolderLock(const std::string&) {} // one writer at a time is not enforced there

Made RenameNoReplace(const std::string& from, const std::string& to) {
    if (MoveFileExW(fs::u8path(from).c_str(), fs::u8path(to).c_str(), MOVEFILE_WRITE_THROUGH)) return Made::Yes;
    const DWORD e = GetLastError();
    return e == ERROR_ALREADY_EXISTS || e == ERROR_FILE_EXISTS ? Made::Exists : Made::Failed;
}

bool MakeFolders(const std::string& folder) { // a user's data folder is private already
    std::error_code ec;
    fs::create_directories(fs::u8path(folder), ec);
    return fs::is_directory(fs::u8path(folder), ec);
}

bool FolderWritable(const std::string& folder) {
    const DWORD a = GetFileAttributesW(fs::u8path(folder.empty() ? "." : folder).c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_READONLY);
}

Writable WritableAt(const std::string& path) {
    const DWORD a = GetFileAttributesW(fs::u8path(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_READONLY) ? Writable::Yes : Writable::Refused;
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

void HeldFile::Release() {
    if (fd_ >= 0) ::close(fd_); // closing drops the lock
    fd_ = -1;
}

namespace {

bool SameInode(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// An exclusive lock that is not waited for. On NFS, Linux turns flock into a lock the server
// keeps, which needs the file open for writing (it is).
enum class Lock { Taken, Held, Unsupported };
Lock TryLock(int fd) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return Lock::Taken;
    return errno == EWOULDBLOCK ? Lock::Held : Lock::Unsupported;
}

} // namespace

Made CreateHeld(const std::string& path, HeldFile* held) {
    held->Release();
    const int fd = ::open(path.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0) {
        held->error = errno;
        return errno == EEXIST ? Made::Exists : Made::Failed;
    }
    held->fd_ = fd;
    TryLock(fd); // fails only where there are no locks; then age is the only sign of a dead writer
    // Another process may have taken the new file for a dead one's and removed it before it
    // was locked: then the name is no longer this file.
    struct stat mine {}, named {};
    if (::fstat(fd, &mine) != 0 || ::lstat(path.c_str(), &named) != 0 || !SameInode(mine, named)) {
        held->Release();
        return Made::Exists;
    }
    return Made::Yes;
}

bool HeldFile::StillHeld(const std::string& path) {
    if (fd_ < 0) return false;
    TryLock(fd_);
    struct stat mine {}, named {};
    return ::fstat(fd_, &mine) == 0 && ::lstat(path.c_str(), &named) == 0 && SameInode(mine, named);
}

bool RemoveIfNotHeld(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false; // not ours to judge: a folder, a link, another user's file
    bool remove = false;
    struct stat st {}, named {};
    const Lock lock = TryLock(fd);
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::lstat(path.c_str(), &named) == 0 && SameInode(st, named)) {
        const auto age = std::chrono::system_clock::now() - std::chrono::system_clock::from_time_t(st.st_mtime);
        remove = lock == Lock::Taken || (lock == Lock::Unsupported && age > std::chrono::hours(1));
    }
    remove = remove && ::unlink(path.c_str()) == 0; // before the lock goes, so no writer can start on it
    ::close(fd);
    return remove;
}

FolderLock::FolderLock(const std::string& path) {
    const int fd = ::open(path.c_str(), O_CREAT | O_RDWR | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return;
    for (int tries = 0;; ++tries) {
        const Lock lock = TryLock(fd);
        if (lock == Lock::Taken) {
            held_.fd_ = fd;
            return;
        }
        if (lock == Lock::Unsupported || tries == 100) break; // a holder that hangs does not stop us for ever
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ::close(fd);
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

bool MakeFolders(const std::string& folder) {
    std::error_code ec;
    fs::path target = fs::absolute(folder, ec).lexically_normal();
    if (ec) return false;
    if (target.filename().empty()) target = target.parent_path(); // a trailing slash
    std::vector<fs::path> missing; // the folder first, then its parents
    for (fs::path p = target;; p = p.parent_path()) {
        struct stat st {};
        if (::stat(p.c_str(), &st) == 0) break; // there already (also through a link): left as it is
        if (errno != ENOENT) return false;
        missing.push_back(p);
        if (p == p.parent_path()) break;
    }
    for (size_t i = missing.size(); i-- > 0;) {
        const bool own = i == 0;
        if (::mkdir(missing[i].c_str(), own ? 0700 : 0755) != 0) {
            if (errno == EEXIST) continue; // made by another process meanwhile: not ours to change
            return false;
        }
        Sync(missing[i].parent_path().string()); // else a power cut may take the folder and what is put in it
        if (own) { // 0700 even under a umask that takes the owner's bits; never through a link
            const int fd = ::open(missing[i].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (fd >= 0) {
                ::fchmod(fd, 0700);
                ::close(fd);
            }
        }
    }
    struct stat st {};
    return ::stat(target.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool FolderWritable(const std::string& folder) { return ::access(folder.empty() ? "." : folder.c_str(), W_OK) == 0; }

Writable WritableAt(const std::string& path) {
    if (::access(path.c_str(), W_OK) == 0) return Writable::Yes;
    return errno == EROFS ? Writable::ReadOnlyMedium : Writable::Refused;
}

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

std::string LocalStamp() {
    const std::tm tm = LocalTime(std::time(nullptr));
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d-%H%M%S", &tm);
    return buf;
}

} // namespace db::files
