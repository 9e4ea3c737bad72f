#pragma once
// A dictionary file copied as it is, encrypted pages and all: many times quicker than through the
// engine, which decrypts and encrypts every page, but it checks none of them.
#include <sqlcipher/sqlite3.h>

#include <string>

namespace db {

// The file's encrypted pages copied as they are into the empty file `to` (the copy has the same
// key), from a moment no writer can change: the log checkpointed into the file and the write
// lock held while the bytes are read. The copy, synced, must sum as what was read. False when
// that moment cannot be had (another program holds an older state of the log, the file is only
// read): the caller copies through the engine instead.
bool CopyPagesAsTheyAre(sqlite3* src, const std::string& to);

// A copy made in write-ahead mode, like its source, becomes one file on its own; opening it with
// the key also shows that the key opens it. The engine's result code.
int MakeStandAlone(const std::string& file, const std::string& password);

} // namespace db
