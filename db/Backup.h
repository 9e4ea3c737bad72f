#pragma once
// Copies of a dictionary file: made with the engine's online backup, so a copy taken while the
// program runs is whole, and put in place by rename, so a copy is there entirely or not at all.
#include <sqlcipher/sqlite3.h>

#include <string>

namespace db {

// The folder backups of a dictionary go to: Backup/ beside the file.
std::string BackupFolder(const std::string& path);

// Copies the dictionary at path into folder (BackupFolder(path) when empty, made 0700 when
// missing) as <name>-YYYY-MM-DD-HHMMSS.mdb, with -2, -3... when that second is taken, keyed with
// the same password and mode 0600, and keeps the newest `keep` backups of that name there, newest
// by the order they were made in. Partial copies left by killed backups go first. Returns the new
// file's path, which is there; throws EngineError with a Croatian message, and then made nothing.
// The engine copies page by page, reading each through its check, so a damaged file is refused.
// pagesAsTheyAre copies the encrypted file as it is instead, many times quicker: only for a file
// whose pages were checked whole in this run (the program's own, at its end).
std::string MakeBackup(const std::string& path, const std::string& password, std::string folder = {},
                       int keep = 10, bool pagesAsTheyAre = false);
// The same from a connection already open on path.
std::string MakeBackupOf(sqlite3* src, const std::string& path, const std::string& password, std::string folder = {},
                         int keep = 10, bool pagesAsTheyAre = false);

// Writes a whole copy of the open database src to target: a file beside it first, synced to the
// disk, then renamed over target (mode 0600, no journal left with it).
void CopyDatabase(sqlite3* src, const std::string& target, const std::string& password);
// The first half of that: the whole copy written and synced beside target; returns its path.
std::string PrepareCopy(sqlite3* src, const std::string& target, const std::string& password);

// Deletes all but the newest keep backups of name's stem in folder (newest by the order noted
// beside them; those made before it was noted count as older, by their stamps); never the file
// `spare`. Never throws: pruning only frees room.
void PruneBackups(const std::string& folder, const std::string& name, int keep, const std::string& spare = {});

// Rows changed through the connections to this file that have closed in this process.
void NoteChanges(const std::string& path, long long changes);
long long ChangesMade(const std::string& path);

// True when both paths name one file (also through links): device and inode.
bool SameFile(const std::string& a, const std::string& b);

// Flushes a file or a folder (after a rename in it) to the disk.
void SyncPath(const std::string& path);

} // namespace db
