// The strict conversions that read numbers typed by people and stored in the settings row.
#include "db/Errors.h"
#include "db/Value.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const db::Value v(std::string(reinterpret_cast<const char*>(data), size));
    try {
        const int16_t i = db::CInt(v);
        const double d = db::CDbl(v); // whatever converts to an integer is a number
        if (d < -32768.5 || d > 32767.5 || (i != int16_t(d) && i != int16_t(d) + (d > 0 ? 1 : -1))) std::abort();
    } catch (const db::EngineError& e) {
        if (e.number != 6 && e.number != 13 && e.number != 94) std::abort();
    }
    try {
        (void)db::CBool(v);
    } catch (const db::EngineError&) {
    }
    return 0;
}
