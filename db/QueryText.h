#pragma once
// What the record set needs to know of a query's text before it runs it. The text may come from
// the file, so nothing here may recurse or run long on it.
#include <sqlcipher/sqlite3.h>

#include <string>

namespace db {

// "select" blanks "*" blanks "from", then a word boundary: the index after "from", or npos.
size_t SelectAllFrom(const std::string& s);

// A saved query read whole is run as its own text, so that the keys come from an index alone.
// Only a short text without comments is taken so: anything else runs through the view itself,
// which gives the same rows.
std::string ViewBody(sqlite3* db, const std::string& sql);

} // namespace db
