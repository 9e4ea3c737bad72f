#include "db/PageCopy.h"

#include "db/Files.h"
#include "db/Sqlite.h"

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

namespace fs = std::filesystem;

namespace db {
namespace {

// A 64-bit sum of bytes, to tell that a copy holds what was read.
uint64_t Sum(uint64_t h, const char* p, size_t n) {
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t w;
        std::memcpy(&w, p + i, 8);
        h = (h ^ w) * 1099511628211ull;
    }
    for (; i < n; ++i) h = (h ^ static_cast<unsigned char>(p[i])) * 1099511628211ull;
    return h;
}

// Copies the bytes of `from` into the empty file `to`, or only sums them when `to` is empty.
bool CopyBytes(const std::string& from, const std::string& to, uint64_t* sum) {
    std::ifstream in(fs::u8path(from), std::ios::binary);
    std::ofstream out;
    if (!to.empty()) out.open(fs::u8path(to), std::ios::binary | std::ios::trunc);
    std::vector<char> buffer(1 << 20);
    *sum = 14695981039346656037ull;
    while (in) {
        in.read(buffer.data(), std::streamsize(buffer.size()));
        const size_t n = size_t(in.gcount());
        *sum = Sum(*sum, buffer.data(), n);
        if (!to.empty() && n > 0) out.write(buffer.data(), std::streamsize(n));
    }
    if (!to.empty()) out.flush();
    return in.eof() && (to.empty() || out.good());
}

} // namespace

bool CopyPagesAsTheyAre(sqlite3* src, const std::string& to) {
    const char* file = sqlite3_db_filename(src, "main");
    if (!file || !*file || sqlite3_db_readonly(src, "main") != 0) return false;
    {
        Statement mode(src, "PRAGMA journal_mode");
        if (!mode.Step() || CStr(mode.Column(0)) != "wal") return false;
    }
    const auto version = [src] { // changes when another connection commits
        Statement v(src, "PRAGMA data_version");
        return v.Step() ? v.Int(0) : -1;
    };
    const long long before = version();
    // Passive: it never waits. A reader in another program that keeps frames of the log out of
    // the file makes the engine copy instead.
    int frames = -1, inFile = -2;
    if (sqlite3_wal_checkpoint_v2(src, "main", SQLITE_CHECKPOINT_PASSIVE, &frames, &inFile) != SQLITE_OK || frames != inFile)
        return false;
    if (sqlite3_exec(src, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) return false;
    uint64_t read = 0, written = 1;
    const bool copied = version() == before && CopyBytes(file, to, &read); // no commit since the checkpoint
    sqlite3_exec(src, "ROLLBACK", nullptr, nullptr, nullptr);
    return copied && files::Sync(to) && CopyBytes(to, {}, &written) && written == read;
}

int MakeStandAlone(const std::string& file, const std::string& password) {
    sqlite3* dst = nullptr;
    int rc = sqlite3_open_v2(file.c_str(), &dst, SQLITE_OPEN_READWRITE, nullptr);
    if (rc == SQLITE_OK && !password.empty()) rc = sqlite3_key(dst, password.data(), int(password.size()));
    if (rc == SQLITE_OK) rc = sqlite3_exec(dst, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr);
    const int closed = sqlite3_close(dst);
    return rc == SQLITE_OK ? closed : rc;
}

} // namespace db
