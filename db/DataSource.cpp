#include "db/DataSource.h"

#include "db/Engine.h"

namespace db {

void DataSource::Refresh() {
    // Everything new is built before anything old is let go, so a failure changes nothing.
    std::unique_ptr<Database> fresh;
    Database* target = db_.get();
    if (!db_ || !db_->IsOpen() || CanonicalPath(db_->path()) != CanonicalPath(DatabaseName)) {
        const std::string key = PasswordOf(Connect).value_or(DBEngine().KeyFor(DatabaseName).value_or(""));
        fresh = std::make_unique<Database>(DatabaseName, key, Connection::Options{false, ReadOnly, false});
        // A list counts its rows from an index; with the index's pages kept decrypted in memory
        // that is a walk over a few thousand pages, a millisecond even at a million pairs.
        fresh->Exec("PRAGMA cache_size = -32768");
        target = fresh.get();
    }
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
