#pragma once
#include "db/Database.h"
#include "db/Recordset.h"

#include <memory>
#include <string>

namespace db {

// The main window's data source: it opens the file by name with a connection of its own and
// runs its record source. It carries no password; the key comes from the engine, which knows
// it while the file is open elsewhere in this process.
class DataSource {
public:
    std::string DatabaseName;
    std::string Connect = "Access 2000;";
    std::string RecordSource;
    bool ReadOnly = false; // a dictionary that cannot be written is only read

    // Runs RecordSource; the new record set has its first row current. On failure the
    // previous record set stays as it was and the error goes to the caller.
    void Refresh();
    Recordset& recordset() const;
    bool HasRecordset() const { return rs_ && rs_->IsOpen(); }
    Database* database() const { return db_.get(); }
    void Close();

private:
    std::unique_ptr<Database> db_;
    std::unique_ptr<Recordset> rs_;
};

} // namespace db
