#pragma once
// The engine's files beside a dictionary (-wal, -shm, -journal) that outlived their file: a
// program killed, then the dictionary deleted or moved away. A new file in that place would
// take in the old log as its own, so they are moved aside first: kept, never deleted.
#include <string>
#include <vector>

namespace db {

struct Moved {
    std::string from, to;
};

// When path does not exist, renames every engine file named after it to
// <name>-ostatak-YYYY-MM-DD-HHMMSS (-2, -3... when taken) in the same folder. Throws
// EngineError with a Croatian message when one cannot be moved; nothing is deleted.
std::vector<Moved> MoveStraysAside(const std::string& path);

// One Croatian paragraph naming what was moved where; empty when nothing was.
std::string DescribeStrays(const std::vector<Moved>& moved);

} // namespace db
