#pragma once
#include <cstdint>
#include <string>
#include <variant>

namespace db {

// A field value as the engine hands it out: Null, a whole number, a double or text.
using Value = std::variant<std::monostate, long long, double, std::string>;

inline bool IsNull(const Value& v) { return std::holds_alternative<std::monostate>(v); }

// Booleans are kept as 16-bit values, True = -1.
constexpr int16_t kTrue = -1;
constexpr int16_t kFalse = 0;

// The runtime's strict conversions. Each throws EngineError on Null, on a text that
// does not convert, and (the integer one) outside -32768..32767.
double CDbl(const Value& v);
int16_t CInt(const Value& v); // nearest integer, a half to the even neighbour
int16_t CBool(const Value& v); // kTrue or kFalse
std::string CStr(const Value& v);

} // namespace db
