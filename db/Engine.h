#pragma once
#include "db/Database.h"

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace db {

class Engine;

class Workspace {
public:
    explicit Workspace(Engine& engine) : engine_(engine) {}
    // connect is ";pwd=<password>" (other ";"-separated parts, such as a format name, are ignored).
    std::shared_ptr<Database> OpenDatabase(const std::string& path, bool exclusive, bool readOnly,
                                           const std::string& connect);

private:
    Engine& engine_;
};

// The process's database engine. It remembers the key of every database opened through it
// while that database is open, so a data source naming the same file needs no password.
class Engine {
public:
    Workspace& Workspaces(int index);
    std::optional<std::string> KeyFor(const std::string& path) const;

private:
    friend class Workspace;
    void Remember(const std::string& path, const std::weak_ptr<Database>& db, const std::string& key);

    Workspace workspace_{*this};
    struct Entry {
        std::weak_ptr<Database> db;
        std::string key;
    };
    mutable std::mutex mutex_;
    std::multimap<std::string, Entry> open_;
};

Engine& DBEngine(); // created on first use

// The password in a connect string (";pwd=..."), if it names one.
std::optional<std::string> PasswordOf(const std::string& connect);

// A file path in the form used to recognise the same file opened twice.
std::string CanonicalPath(const std::string& path);

} // namespace db
