#pragma once
#include <functional>
#include <stdexcept>
#include <string>

namespace db {

// The engine's numbers for the failures callers may want to tell apart.
enum : int {
    kNoCurrentRecord = 3021,
    kRecordDeleted = 3167,
    kBadBookmark = 3159,
    kNotEditing = 3020,
    kNotUpdatable = 3027,
    kNoSuchItem = 3265,
    kNoSuchTable = 3078,
    kNoSuchIndex = 3800,
    kClosed = 3420,
    kRowChanged = 3197,      // another program changed or deleted the row since it was read
    kWritesRefused = 3051,   // the dictionary is read-only for this run
    kEngineFailed = 3146,    // SQLite or a library below it failed; sqliteCode says how, if SQLite
};

// An engine failure with a message meant for the user. `number` is what the program tests:
// the runtime's (6 overflow, 13 type mismatch, 94 Null) or the engine's (3021 and up).
// SQLite's own result code is kept apart, so that its 13 (disk full) is never a type mismatch.
struct EngineError : std::runtime_error {
    int number;
    int sqliteCode; // SQLite's (extended) result code; 0 when SQLite did not fail
    EngineError(int n, const std::string& what, int sqlite = 0) : std::runtime_error(what), number(n), sqliteCode(sqlite) {}
    static EngineError FromSqlite(int rc, const std::string& what) { return EngineError(kEngineFailed, what, rc); }
};

// The Croatian sentence for an engine result code: what went wrong with the file at path and
// what the user can do. The program and vokabis-db both speak through it.
std::string DescribeFailure(int rc, const std::string& path, const std::string& engineText = {});

// Damage (a corrupt page, a file that is not a database) is reported to this handler the first
// time any connection meets it; the handler may run on any thread.
void SetDamageHandler(std::function<void(const std::string& path, const std::string& message)> handler);
bool IsDamage(int rc);
void ReportDamage(const std::string& path, const std::string& message); // the handler hears it once

// From the moment a reason is given, record sets write nothing more for the rest of the run:
// a damaged or read-only dictionary is only looked into.
void RefuseWrites(const std::string& reason);
std::string WritesRefusedReason(); // empty while writes are allowed
void RefuseIfReadOnly();           // throws kWritesRefused

// Runs before every write, ahead of the refusal above: the program makes the first writes wait
// until its whole-file check of the dictionary has spoken. None by default.
void SetWriteGate(std::function<void()> gate);

// A file the engine reads in place of another (a private copy): messages name the original.
void ShowPathAs(const std::string& copy, const std::string& original);
void ForgetPath(const std::string& folder); // every copy in the folder

// What to say when the engine cannot read a file whose disk is full: that the disk is full,
// never that the file is damaged, which nothing then shows.
std::string DescribeFullDisk(const std::string& path);

} // namespace db
