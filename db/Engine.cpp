#include "db/Engine.h"

#include <cctype>
#include <filesystem>

namespace db {

Engine& DBEngine() {
    static Engine engine;
    return engine;
}

Workspace& Engine::Workspaces(int index) {
    if (index != 0) throw EngineError(kNoSuchItem, "Postoji samo radni prostor 0.");
    return workspace_;
}

std::string CanonicalPath(const std::string& path) {
    std::error_code ec;
    const auto p = std::filesystem::weakly_canonical(std::filesystem::absolute(path, ec), ec);
    return ec ? path : p.string();
}

std::optional<std::string> PasswordOf(const std::string& connect) {
    size_t start = 0;
    while (start <= connect.size()) {
        size_t end = connect.find(';', start);
        if (end == std::string::npos) end = connect.size();
        std::string part = connect.substr(start, end - start);
        size_t b = 0;
        while (b < part.size() && std::isspace(static_cast<unsigned char>(part[b]))) ++b;
        part.erase(0, b);
        if (part.size() >= 4) {
            std::string head = part.substr(0, 4);
            for (char& c : head) c = char(std::tolower(static_cast<unsigned char>(c)));
            if (head == "pwd=") return part.substr(4);
        }
        start = end + 1;
    }
    return std::nullopt;
}

void Engine::Remember(const std::string& path, const std::weak_ptr<Database>& db, const std::string& key) {
    std::lock_guard lock(mutex_);
    for (auto it = open_.begin(); it != open_.end();) // forget what has gone away
        it = it->second.db.expired() ? open_.erase(it) : std::next(it);
    open_.emplace(CanonicalPath(path), Entry{db, key});
}

std::optional<std::string> Engine::KeyFor(const std::string& path) const {
    std::lock_guard lock(mutex_);
    auto [from, to] = open_.equal_range(CanonicalPath(path));
    for (auto it = from; it != to; ++it) {
        const auto db = it->second.db.lock();
        if (db && db->IsOpen()) return it->second.key;
    }
    return std::nullopt;
}

std::shared_ptr<Database> Workspace::OpenDatabase(const std::string& path, bool exclusive, bool readOnly,
                                                  const std::string& connect) {
    const std::string key = PasswordOf(connect).value_or("");
    auto db = std::make_shared<Database>(path, key, Connection::Options{false, readOnly, exclusive});
    engine_.Remember(path, db, key);
    return db;
}

} // namespace db
