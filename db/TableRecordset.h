#pragma once
#include "db/Value.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace db {

class Connection;

// A record set opened on a table by name: an index can be chosen and a row found with Seek.
class TableRecordset {
public:
    TableRecordset(std::shared_ptr<Connection> conn, const std::string& table, bool readOnly);

    // "PrimaryKey" names the table's primary key, the only index such a table offers.
    void SetIndex(const std::string& name);
    // Makes the row with that key current; with none there is no current row (NoMatch).
    void Seek(std::string_view comparison, const Value& key);
    bool NoMatch() const { return noMatch_; }

    Value Field(std::string_view name) const;
    void Edit();
    void SetField(std::string_view name, const Value& v);
    void Update();
    void Close();
    bool IsOpen() const { return conn_ != nullptr; }

private:
    size_t FieldIndex(std::string_view name) const;
    Connection& conn() const;

    std::shared_ptr<Connection> conn_;
    std::string table_;
    bool readOnly_;
    std::vector<std::string> fields_;
    std::string keyColumn_;
    std::string index_;
    bool hasRow_ = false;
    bool noMatch_ = false;
    long long rowid_ = 0;
    std::vector<Value> row_;
    bool editing_ = false;
    std::vector<bool> changed_;
};

} // namespace db
