#pragma once
// The file as a list's query saw it. While nothing has written to it since, the query run again
// gives the same ids in the same order, so a list reads on without holding a statement open (an
// open one would hide every later write from the values it reads). Ids above the largest are
// rows added since: ids only grow.
#include <sqlcipher/sqlite3.h>

#include <string>

namespace db {

struct FileMarks {
    long long dataVersion = 0, ownChanges = 0, largestId = 0;

    // Taken while a statement of the query is open, so that they are of the state it reads.
    static FileMarks Take(sqlite3* db, const std::string& table);
    // Another connection, or this one, has written since the marks were taken.
    bool Changed(sqlite3* db) const;
};

} // namespace db
