#include "engine/server.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace engine {

namespace {

std::mutex& registryMutex() {
    static std::mutex m;
    return m;
}

std::map<std::filesystem::path, std::weak_ptr<Server>>& registry() {
    static std::map<std::filesystem::path, std::weak_ptr<Server>> r;
    return r;
}

}  // namespace

std::shared_ptr<Server> Server::acquire(const std::filesystem::path& directory,
                                        bool createDirectory, std::chrono::milliseconds lockWait,
                                        std::string& error) {
    std::error_code ec;
    if (!std::filesystem::is_directory(directory, ec)) {
        if (!createDirectory) {
            error = "the data directory '" + directory.string() + "' does not exist";
            return nullptr;
        }
        std::filesystem::create_directories(directory, ec);
        if (ec) {
            error =
                "cannot create the data directory '" + directory.string() + "': " + ec.message();
            return nullptr;
        }
    }
    std::filesystem::path canonical = std::filesystem::canonical(directory, ec);
    if (ec) {
        error = "cannot resolve '" + directory.string() + "': " + ec.message();
        return nullptr;
    }
    std::lock_guard<std::mutex> guard(registryMutex());
    for (auto it = registry().begin(); it != registry().end();) {
        it = it->second.expired() ? registry().erase(it) : std::next(it);
    }
    if (auto existing = registry()[canonical].lock()) return existing;
    std::shared_ptr<Server> server(new Server());
    server->directory_ = canonical;
    if (auto e = server->lock_.acquire(canonical, lockWait)) {
        error = *e;
        return nullptr;
    }
    error = server->scanDirectory();
    if (!error.empty()) return nullptr;
    // Every server has master.
    std::string ignored;
    if (!server->database("master", ignored)) {
        error = server->createDatabase("master");
        if (!error.empty()) return nullptr;
    }
    registry()[canonical] = server;
    return server;
}

Server::~Server() {
    std::lock_guard<std::recursive_mutex> guard(mutex_);
    for (auto& entry : entries_) {
        if (!entry->database || !entry->store) continue;
        if (!entry->store->foldIsDue(store::DatabaseStore::FoldMoment::Closing) ||
            entry->store->fold(*entry->database))
            entry->store->sync();
    }
    // The registry entry expires with this object; acquire() prunes expired entries.
}

std::string Server::stemFor(const std::string& name) {
    // Names may hold characters a file name cannot: keep letters, digits and a few safe
    // characters, escape the rest as %XX. The real name is in the snapshot header.
    std::string stem;
    for (unsigned char c : name) {
        if (std::isalnum(c) || c == '_' || c == '-' || c >= 0x80) {
            stem.push_back(static_cast<char>(c));
        } else {
            char buffer[4];
            std::snprintf(buffer, sizeof buffer, "%%%02X", c);
            stem += buffer;
        }
    }
    return stem;
}

std::string Server::scanDirectory() {
    std::error_code ec;
    for (const auto& file : std::filesystem::directory_iterator(directory_, ec)) {
        if (file.path().extension() != ".sdb") continue;
        auto entry = std::make_unique<DatabaseEntry>();
        entry->stem = file.path().stem().string();
        if (auto e = store::DatabaseStore::readHeader(file.path(), entry->name, entry->id))
            return *e;
        nextDatabaseId_ = std::max(nextDatabaseId_, entry->id + 1);
        entries_.push_back(std::move(entry));
    }
    if (ec) return "cannot read the data directory '" + directory_.string() + "': " + ec.message();
    return {};
}

std::string Server::load(DatabaseEntry& entry) {
    if (entry.database) return {};
    if (auto e = store::DatabaseStore::open(directory_, entry.stem, entry.store, entry.database))
        return *e;
    return {};
}

DatabaseEntry* Server::database(std::string_view name, std::string& error) {
    for (auto& entry : entries_) {
        if (!identifierEqual(entry->name, name)) continue;
        error = load(*entry);
        return error.empty() ? entry.get() : nullptr;
    }
    return nullptr;
}

DatabaseEntry* Server::databaseById(int32_t id) {
    for (auto& entry : entries_) {
        if (entry->id == id) {
            if (!load(*entry).empty()) return nullptr;
            return entry.get();
        }
    }
    return nullptr;
}

std::vector<const DatabaseEntry*> Server::databases() const {
    std::vector<const DatabaseEntry*> out;
    for (const auto& e : entries_)
        out.push_back(e.get());
    std::sort(out.begin(), out.end(), [](auto* a, auto* b) { return a->id < b->id; });
    return out;
}

std::string Server::createDatabase(const std::string& name) {
    std::string stem = stemFor(name);
    // Two names that differ only in case map to different stems; make the stem unique.
    std::string unique = stem;
    for (int n = 2; std::any_of(entries_.begin(), entries_.end(),
                                [&](const auto& e) { return e->stem == unique; });
         ++n)
        unique = stem + "~" + std::to_string(n);
    int32_t id = name == "master" ? 1 : nextDatabaseId_++;
    if (auto e = store::DatabaseStore::create(directory_, unique, name, id)) return *e;
    auto entry = std::make_unique<DatabaseEntry>();
    entry->name = name;
    entry->stem = unique;
    entry->id = id;
    entries_.push_back(std::move(entry));
    return {};
}

std::string Server::dropDatabase(DatabaseEntry* entry) {
    auto it = std::find_if(entries_.begin(), entries_.end(),
                           [&](const auto& e) { return e.get() == entry; });
    if (it == entries_.end()) return {};
    (*it)->store.reset();
    if (auto e = store::DatabaseStore::remove(directory_, (*it)->stem)) return *e;
    entries_.erase(it);
    return {};
}

std::string Server::commit(DatabaseEntry& entry, const ChangeList& changes) {
    if (changes.empty()) return {};
    if (auto e = entry.store->append(changes)) return *e;
    entry.database->apply(changes);
    if (entry.store->foldIsDue(store::DatabaseStore::FoldMoment::InUse))
        entry.store->fold(*entry.database);  // on failure the journal still holds everything
    return {};
}

void Server::detach(DatabaseEntry& entry) {
    if (entry.sessions > 0) --entry.sessions;
    if (!entry.store) return;
    // A statement or transaction of another session may be working on it through a
    // three-part name: it holds a lock (or undo records) and pointers into it.
    if (entry.sessions > 0 || entry.transactions > 0 || locks_.locked(entry.id)) {
        entry.store->sync();
        return;
    }
    // Nobody uses the database any more: fold its journal into a new snapshot when that
    // pays (otherwise the synced journal keeps the work), and let it go from memory (a run
    // over many company databases holds one at a time). If the snapshot cannot be
    // written, the journal keeps everything and the database stays.
    if (entry.store->foldIsDue(store::DatabaseStore::FoldMoment::Closing)) {
        if (entry.store->fold(*entry.database)) {
            entry.store->sync();
            return;
        }
    } else if (entry.store->sync()) {
        return;
    }
    entry.store.reset();
    entry.database.reset();
}

LoginStore* Server::logins(std::string& error) {
    if (logins_) return logins_.get();
    auto store = std::make_unique<LoginStore>();
    if (auto e = store->load(directory_)) {
        error = *e;
        return nullptr;
    }
    logins_ = std::move(store);
    return logins_.get();
}

std::string Server::saveLogins(LoginStore changed) {
    if (auto e = changed.save(directory_)) return *e;
    logins_ = std::make_unique<LoginStore>(std::move(changed));
    return {};
}

void Server::loginConnected(const std::string& login) {
    ++connectedLogins_[login];
}

void Server::loginDisconnected(const std::string& login) {
    auto it = connectedLogins_.find(login);
    if (it != connectedLogins_.end() && --it->second <= 0) connectedLogins_.erase(it);
}

bool Server::isLoginConnected(std::string_view login) const {
    return std::any_of(connectedLogins_.begin(), connectedLogins_.end(),
                       [&](const auto& entry) { return identifierEqual(entry.first, login); });
}

void Server::syncAll() {
    for (auto& entry : entries_) {
        if (entry->store) entry->store->sync();
    }
}

}  // namespace engine
