#pragma once
#include <stdexcept>
#include <string>

namespace db {

// An engine failure, carrying a code and a message meant for the user. Codes below 1000
// follow the runtime (6 overflow, 13 type mismatch, 94 Null); the rest are the engine's.
struct EngineError : std::runtime_error {
    int code;
    EngineError(int c, const std::string& what) : std::runtime_error(what), code(c) {}
};

// Codes for the record-set failures callers may want to tell apart.
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
};

} // namespace db
