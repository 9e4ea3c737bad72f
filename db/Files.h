#pragma once
// The few file operations the engine layer needs beyond std::filesystem, for POSIX and Windows.
#include <ctime>
#include <string>

namespace db::files {

enum class Made { Yes, Exists, Failed };

// Creates an empty file readable and writable by its owner only (0600 on POSIX); never opens
// an existing one.
Made CreatePrivate(const std::string& path);

// Asks the system to put the file's (or folder's) data on the disk. False when it could not;
// a folder that cannot be synced (some file systems) counts as synced.
bool Sync(const std::string& path);

// Renames from to a name that must not exist yet; Exists when it does (nothing is replaced).
// Where the file system cannot rename that way (NFS, many FUSE ones) a hard link and the
// removal of the old name do the same.
Made RenameNoReplace(const std::string& from, const std::string& to);

// The folder itself is readable, writable and searchable only by its owner (0700 on POSIX).
void MakeFolderPrivate(const std::string& folder);

// Whether this process may create files in the folder.
bool FolderWritable(const std::string& folder);

std::tm LocalTime(std::time_t t);

} // namespace db::files
