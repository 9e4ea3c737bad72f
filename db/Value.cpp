#include "db/Value.h"

#include "db/Errors.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace db {
namespace {

[[noreturn]] void NullError() { throw EngineError(94, "Vrijednost nedostaje (Null)."); }
[[noreturn]] void MismatchError(const std::string& s) {
    throw EngineError(13, "Vrijednost \"" + s + "\" nije broj.");
}

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return s.substr(b, e - b);
}

// Texts written by people use either a decimal comma (Croatian) or a point.
double ParseNumber(const std::string& text) {
    std::string s = Trim(text);
    for (char& c : s)
        if (c == ',') c = '.';
    double d = 0;
    const char* end = s.data() + s.size();
    auto [p, ec] = std::from_chars(s.data(), end, d);
    // "nan" and "inf" parse, but are no number a person means.
    if (s.empty() || ec != std::errc() || p != end || !std::isfinite(d)) MismatchError(text);
    return d;
}

} // namespace

double CDbl(const Value& v) {
    if (IsNull(v)) NullError();
    if (auto* i = std::get_if<long long>(&v)) return double(*i);
    if (auto* d = std::get_if<double>(&v)) return *d;
    return ParseNumber(std::get<std::string>(v));
}

int16_t CInt(const Value& v) {
    long long n;
    if (auto* i = std::get_if<long long>(&v)) {
        n = *i;
    } else {
        const double d = CDbl(v);
        if (!std::isfinite(d) || std::fabs(d) > 1e15) throw EngineError(6, "Broj je prevelik (preljev).");
        n = static_cast<long long>(std::nearbyint(d)); // default rounding mode: half to even
    }
    if (n < -32768 || n > 32767) throw EngineError(6, "Broj " + std::to_string(n) + " je izvan raspona -32768 do 32767 (preljev).");
    return static_cast<int16_t>(n);
}

int16_t CBool(const Value& v) {
    if (auto* s = std::get_if<std::string>(&v)) {
        const std::string t = Trim(*s);
        std::string low;
        for (char c : t) low += char(std::tolower(static_cast<unsigned char>(c)));
        if (low == "true" || low == "istina") return kTrue;
        if (low == "false" || low == "laž") return kFalse;
    }
    return CDbl(v) != 0.0 ? kTrue : kFalse;
}

std::string CStr(const Value& v) {
    if (IsNull(v)) NullError();
    if (auto* i = std::get_if<long long>(&v)) return std::to_string(*i);
    if (auto* d = std::get_if<double>(&v)) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.15g", *d);
        return buf;
    }
    return std::get<std::string>(v);
}

} // namespace db
