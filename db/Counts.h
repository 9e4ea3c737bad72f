#pragma once
// The pairs counted ahead: how many there are, and for each term how many begin with each
// character as written. A list of one letter, or of every pair, is as long as these say, so it
// need not count a million index entries while the user types. Triggers keep them in the same
// transaction as every change of a pair, whoever writes the file.
#include <sqlcipher/sqlite3.h>

namespace db {

// True when the file has its counts and nothing in this run has shown them to be wrong.
bool CountsUsable(sqlite3* db);
// Makes the table, fills it from the pairs and adds its triggers, unless the file has them;
// part of the caller's transaction.
void CreateCounts(sqlite3* db);
// Takes the triggers and the table away (a bulk load counts once, after).
void DropCounts(sqlite3* db);
// A file made before the counts gets them in one transaction of its own. A file that cannot
// take them (busy, disk full) stays as it was, and its lists are counted as before.
void AddCountsIfMissing(sqlite3* db);
// Whether the stored counts agree with the pairs; reads every pair.
bool CountsMatch(sqlite3* db);
// Fills the counts again from the pairs, in one transaction.
void RecountPairs(sqlite3* db);
// Whether each index of the pairs, read alone, gives the rows and terms the table gives: what a
// page check cannot see, at a fraction of the full integrity check's time.
bool IndexesMatchPairs(sqlite3* db);
// For the rest of the run, lists are counted from the pairs, not from the stored counts.
void DistrustCounts();

} // namespace db
