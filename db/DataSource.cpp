#include "db/DataSource.h"

#include "db/Counts.h"
#include "db/Engine.h"

namespace db {

namespace {

// How many decrypted pages the list's connection keeps. While the file's stored counts give
// the length of every long list, a keystroke reads a few dozen pages; a jump to the middle of a
// list of a million (the scroll bar, a preview page) walks about half of its index, some 9 MB of
// pages, and kept they make the next such jump a third as long. More would not fit the memory a
// million pairs may take. A list that counts its own rows (a file without counts, or counts found
// wrong in this run) walks an index of up to a million entries, a millisecond only while its
// pages stay decrypted in memory: then 32 MB.
void KeepPages(Database& d) {
    d.Exec(CountsUsable(d.handle()) ? "PRAGMA cache_size = -12288" : "PRAGMA cache_size = -32768");
}

} // namespace

void DataSource::Refresh() {
    // Everything new is built before anything old is let go, so a failure changes nothing.
    std::unique_ptr<Database> fresh;
    Database* target = db_.get();
    if (!db_ || !db_->IsOpen() || CanonicalPath(db_->path()) != CanonicalPath(DatabaseName)) {
        const std::string key = PasswordOf(Connect).value_or(DBEngine().KeyFor(DatabaseName).value_or(""));
        fresh = std::make_unique<Database>(DatabaseName, key, Connection::Options{false, ReadOnly, false});
        target = fresh.get();
    }
    KeepPages(*target);
    auto rs = target->OpenRecordset(RecordSource);
    rs_ = std::move(rs);
    if (fresh) db_ = std::move(fresh);
}

Recordset& DataSource::recordset() const {
    if (!rs_) throw EngineError(kClosed, "Izvor podataka nema otvoren popis.");
    return *rs_;
}

void DataSource::Close() {
    rs_.reset();
    if (db_) db_->Close();
    db_.reset();
}

} // namespace db
