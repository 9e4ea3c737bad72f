#pragma once
// What opening a dictionary asks of its file and the files beside it, and the private copy read
// in place of a file that can only be read while its log holds pairs.
#include <memory>
#include <string>
#include <vector>

namespace db {

// A path as an SQLite URI, for the options that only a URI can carry.
std::string FileUri(const std::string& path);

// Only an existing regular file (after following links) is ever handed to the engine: a
// device, a folder or an empty file would be written to by the engine as if it were a new
// database. Returns the file's real path; throws a Croatian refusal.
std::string ExistingDictionaryFile(const std::string& path);

bool FolderWritable(const std::string& file); // the folder the file is in
// Nobody but an administrator may write a file without any write permission bit.
bool NobodyMayWrite(const std::string& file);
bool LogHasContent(const std::string& file); // its -wal holds anything

// The engine's files beside the dictionary that a failed opening made and left empty.
struct Leftovers {
    std::vector<std::string> absent;
    explicit Leftovers(const std::string& file); // notes those not there yet
    void Remove() const;
};

// The file and its log copied whole into a new private folder, where the engine can keep the
// shared memory it needs to read a log: the copy stays encrypted. Connections of one run share
// a copy while the file stays as it was copied; the last share to go removes it. Sets opened
// to the copy's path; throws a Croatian refusal when no copy can be made.
std::shared_ptr<void> CopyWithLog(const std::string& file, std::string& opened);
// Drops a connection's share, so that no other takes the copy up while the last share goes.
void LetGoOfCopy(std::shared_ptr<void>& copy);

// Which file a path names now: device and inode (nothing on Windows, where a file held open
// cannot be renamed over).
struct FileId {
    unsigned long long dev = 0, ino = 0;
    bool operator==(const FileId&) const = default;
};
FileId IdOf(const std::string& path);

} // namespace db
