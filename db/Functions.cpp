// The SQL functions and collations every connection of the program gets.
#include "db/Database.h"

#include "db/JetLike.h"
#include "db/JetSql.h"
#include "db/Sqlite.h"

#include <unicode/ucol.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace db {
namespace {

void LikeFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    // Null on either side never matches, as in Jet.
    if (argc < 2 || sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const auto* t = reinterpret_cast<const char*>(sqlite3_value_text(argv[1]));
    const int tn = sqlite3_value_bytes(argv[1]);
    // A pattern that stays the same for the whole statement is read once, not once a row.
    if (const auto* kept = static_cast<const LikePattern*>(sqlite3_get_auxdata(ctx, 0))) {
        sqlite3_result_int(ctx, kept->Matches({t, size_t(tn)}) ? 1 : 0);
        return;
    }
    const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    const int pn = sqlite3_value_bytes(argv[0]);
    auto pattern = std::make_unique<LikePattern>(std::string_view{p, size_t(pn)});
    sqlite3_result_int(ctx, pattern->Matches({t, size_t(tn)}) ? 1 : 0);
    // The engine may drop it at once, so it is handed over only after its use.
    sqlite3_set_auxdata(ctx, 0, pattern.release(), [](void* kept) { delete static_cast<LikePattern*>(kept); });
}

// The key of the prefix indexes. A blob, so that the range bounds compare byte by byte.
void FoldFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const auto* t = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    const std::string key = FoldKey({t, size_t(sqlite3_value_bytes(argv[0]))});
    sqlite3_result_blob(ctx, key.data(), int(key.size()), SQLITE_TRANSIENT);
}

// What the engine calls: no exception may unwind through its C frames, so whatever a function
// meets (an unreadable pattern, memory running out) ends the statement with an error instead.
template <void (*Function)(sqlite3_context*, int, sqlite3_value**)>
void Guarded(sqlite3_context* ctx, int argc, sqlite3_value** argv) noexcept {
    try {
        Function(ctx, argc, argv);
    } catch (const std::bad_alloc&) {
        sqlite3_result_error_nomem(ctx);
    } catch (const std::exception& e) {
        sqlite3_result_error(ctx, e.what(), -1);
    } catch (...) {
        sqlite3_result_error(ctx, "Funkcija baze rječnika nije izvedena.", -1);
    }
}

// A collation cannot report a failure, so it never throws and always gives a total order.
int Collate(void* coll, int na, const void* a, int nb, const void* b) noexcept {
    UErrorCode st = U_ZERO_ERROR;
    const UCollationResult r = ucol_strcollUTF8(static_cast<UCollator*>(coll), static_cast<const char*>(a), na,
                                                static_cast<const char*>(b), nb, &st);
    if (U_FAILURE(st)) { // keep a total order even then
        const int c = std::memcmp(a, b, size_t(std::min(na, nb)));
        return c != 0 ? c : na - nb;
    }
    return r == UCOL_LESS ? -1 : r == UCOL_GREATER ? 1 : 0;
}

void CloseCollator(void* coll) noexcept { ucol_close(static_cast<UCollator*>(coll)); }

// Croatian rules for the Croatian column, root rules for the English one. The default
// (tertiary) strength orders by letters first and lets case only break ties.
void RegisterCollation(sqlite3* db, const char* name, const char* locale) {
    UErrorCode st = U_ZERO_ERROR;
    UCollator* coll = ucol_open(locale, &st);
    if (U_FAILURE(st))
        throw EngineError(kEngineFailed, std::string("Pravila abecednog redoslijeda nisu dostupna: ") + locale);
    // The engine takes the collator over only when the registration succeeds.
    const int rc = sqlite3_create_collation_v2(db, name, SQLITE_UTF8, coll, Collate, CloseCollator);
    if (rc != SQLITE_OK) {
        ucol_close(coll);
        ThrowSqlite(db, rc);
    }
}

void Check(sqlite3* db, int rc) {
    if (rc != SQLITE_OK) ThrowSqlite(db, rc);
}

} // namespace

void RegisterFunctions(sqlite3* db) {
    Check(db, sqlite3_create_function(db, "like", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, Guarded<LikeFunction>,
                                      nullptr, nullptr));
    Check(db, sqlite3_create_function(db, "vokabis_fold", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                                      Guarded<FoldFunction>, nullptr, nullptr));
    RegisterCollation(db, "ROOT", "");
    RegisterCollation(db, "HR", "hr");
}

} // namespace db
