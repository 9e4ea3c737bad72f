#pragma once
// The few file operations the engine layer needs beyond std::filesystem, for POSIX and Windows.
#include <ctime>
#include <string>

namespace db::files {

enum class Made { Yes, Exists, Failed };

// Creates an empty file readable and writable by its owner only (0600 on POSIX); never opens
// an existing one.
Made CreatePrivate(const std::string& path);

// A file this process is writing, held open with an exclusive lock until the object goes (or
// Release), so that another process can tell it from one left by a writer that died.
class HeldFile {
public:
    HeldFile() = default;
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;
    ~HeldFile() { Release(); }
    void Release();
    // Takes the lock again and tells whether path still names this file. On NFS, Linux keeps the
    // lock as a POSIX one, which the engine drops when it closes its own handle on the file.
    bool StillHeld(const std::string& path);
    int error = 0; // errno of a failed Create

private:
    friend Made CreateHeld(const std::string&, HeldFile*);
    friend class FolderLock;
    int fd_ = -1;
};

// CreatePrivate, and the new file held in *held. Exists also when another process removed
// the name before it was held (the caller takes the next name).
Made CreateHeld(const std::string& path, HeldFile* held);

// Removes path when no process holds it (see HeldFile). A file that cannot be opened is left;
// where the file system has no locks, only one not written to for an hour is removed.
bool RemoveIfNotHeld(const std::string& path);

// An exclusive lock on the lock file at path (made 0600 when missing), held while the object
// lives. Waits up to about ten seconds for another holder; without it (no locks on the file
// system, a file that cannot be made) the caller goes on unlocked: locked() says which.
class FolderLock {
public:
    explicit FolderLock(const std::string& path);
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    bool locked() const { return held_.fd_ >= 0; }

private:
    HeldFile held_;
};

// Asks the system to put the file's (or folder's) data on the disk. False when it could not;
// a folder that cannot be synced (some file systems) counts as synced.
bool Sync(const std::string& path);

// Renames from to a name that must not exist yet; Exists when it does (nothing is replaced).
// Where the file system cannot rename that way (NFS, many FUSE ones) a hard link and the
// removal of the old name do the same.
Made RenameNoReplace(const std::string& from, const std::string& to);

// Makes folder with any missing parents. The folder itself, when made here, is its owner's only
// (0700 on POSIX); the parents get 0755 less the umask. A folder that exists already, or that a
// symbolic link names, keeps its mode. False when folder is not a folder afterwards.
bool MakeFolders(const std::string& folder);

// Whether this process may create files in the folder.
bool FolderWritable(const std::string& folder);
// Whether this process may write the file or folder at path, and if not, whether the medium
// itself is read-only (POSIX tells that apart; Windows reports it as refused).
enum class Writable { Yes, Refused, ReadOnlyMedium };
Writable WritableAt(const std::string& path);

std::tm LocalTime(std::time_t t);
// Now as local time in file names: YYYY-MM-DD-HHMMSS.
std::string LocalStamp();

// A new folder with a name of its own under the system's temporary folder (TMPDIR), private to
// the user (0700); empty when none can be made. Such folders of processes that are gone (a run
// that was killed) are removed first.
std::string MakePrivateTempFolder(const std::string& prefix);

// Gives the owner back the right to write a file of theirs that lacks it; a file of another user
// and one that is writable already are left alone.
void LetOwnerWrite(const std::string& path);

// No core dump of this process is ever written: it would hold the pairs and the key in plain text.
void NoCoreDumps();

} // namespace db::files
