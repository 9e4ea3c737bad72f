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
Made RenameNoReplace(const std::string& from, const std::string& to);

// The folder itself is readable, writable and searchable only by its owner (0700 on POSIX).
void MakeFolderPrivate(const std::string& folder);

// Whether this process may create files in the folder.
bool FolderWritable(const std::string& folder);

std::tm LocalTime(std::time_t t);

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
