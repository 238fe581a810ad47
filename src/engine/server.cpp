#include "engine/server.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "engine/store/snapshot_rows.h"

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
    // Every server has master (a damaged one stays as it is, unavailable like any other).
    if (!server->find("master")) {
        error = server->createDatabase("master");
        if (!error.empty()) return nullptr;
    }
    registry()[canonical] = server;
    return server;
}

Server::~Server() {
    CallLock guard(*this, nullptr);
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

namespace {

// The name a stem was made from (see stemFor), for a database whose header cannot be read.
std::string nameFromStem(const std::string& stem) {
    std::string name;
    for (size_t i = 0; i < stem.size(); ++i) {
        if (stem[i] == '%' && i + 2 < stem.size() &&
            std::isxdigit(static_cast<unsigned char>(stem[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(stem[i + 2]))) {
            name.push_back(static_cast<char>(std::stoi(stem.substr(i + 1, 2), nullptr, 16)));
            i += 2;
        } else {
            name.push_back(stem[i]);
        }
    }
    const size_t tilde = name.rfind('~');
    if (tilde != std::string::npos && tilde + 1 < name.size() &&
        name.find_first_not_of("0123456789", tilde + 1) == std::string::npos)
        name.erase(tilde);
    return name;
}

}  // namespace

std::vector<SqlMessage> unavailableMessages(const std::string& database,
                                            const store::LoadFailure& failure) {
    using Kind = store::LoadFailure::Kind;
    switch (failure.kind) {
        case Kind::Damaged:
        case Kind::Torn:
            return {store::consistencyError(failure, database), sqlMessage(926, {database})};
        case Kind::Unreadable:
            return {sqlMessage(5120, {failure.file.string(), failure.detail}),
                    sqlMessage(945, {database})};
        case Kind::Newer:
            break;
    }
    SqlMessage m = sqlMessage(948);
    m.text = "The database '" + database + "' cannot be opened: " + failure.text() +
             ". This server supports version " + std::to_string(store::kStoreFormatVersion) +
             " and earlier. A downgrade path is not supported.";
    return {m};
}

std::string Server::scanDirectory() {
    std::error_code ec;
    std::vector<std::unique_ptr<DatabaseEntry>> unreadable;
    for (const auto& file : std::filesystem::directory_iterator(directory_, ec)) {
        if (file.path().extension() != ".sdb") continue;
        auto entry = std::make_unique<DatabaseEntry>();
        entry->stem = file.path().stem().string();
        if (auto f = store::DatabaseStore::readHeader(file.path(), entry->name, entry->id)) {
            // Listed under the name its file was given, and unavailable; the rest work.
            entry->name = nameFromStem(entry->stem);
            entry->failure = *f;
            unreadable.push_back(std::move(entry));
            continue;
        }
        nextDatabaseId_ = std::max(nextDatabaseId_, entry->id + 1);
        entries_.push_back(std::move(entry));
    }
    if (ec) return "cannot read the data directory '" + directory_.string() + "': " + ec.message();
    for (auto& entry : unreadable) {
        entry->id = entry->name == "master" ? 1 : nextDatabaseId_++;
        entries_.push_back(std::move(entry));
    }
    return {};
}

std::string Server::load(DatabaseEntry& entry) {
    if (entry.database) return {};
    if (auto f = store::DatabaseStore::open(directory_, entry.stem, entry.store, entry.database)) {
        entry.failure = *f;
        return f->text();
    }
    entry.failure.reset();
    return {};
}

void Server::reach(const DatabaseEntry* entry) const {
    if (entry && entry->temporary) return;
    CallLock* call = CallLock::current(*this);
    if (call && call->owns_lock() && !call->exclusive() && entry != call->home()) call->widen();
}

// The list of databases changes only under an exclusive hold, so a shared call may read it.
DatabaseEntry* Server::lookup(std::string_view name) {
    for (auto& entry : entries_) {
        if (identifierEqual(entry->name, name)) return entry.get();
    }
    return nullptr;
}

DatabaseEntry* Server::lookup(int32_t id) {
    for (auto& entry : entries_) {
        if (entry->id == id) return entry.get();
    }
    return nullptr;
}

DatabaseEntry* Server::find(std::string_view name) {
    DatabaseEntry* entry = lookup(name);
    if (inHome(entry)) return entry;
    // Widening lets other calls run: the list may have changed meanwhile.
    reach(nullptr);
    return lookup(name);
}

bool Server::inHome(const DatabaseEntry* entry) const {
    const CallLock* call = CallLock::current(*this);
    return entry && call && call->owns_lock() && !call->exclusive() && entry == call->home();
}

DatabaseEntry* Server::database(std::string_view name, std::string& error) {
    DatabaseEntry* entry = find(name);
    if (!entry) return nullptr;
    error = load(*entry);
    return error.empty() ? entry : nullptr;
}

store::CheckReport Server::check(const DatabaseEntry& entry) const {
    reach(nullptr);
    return store::DatabaseStore::check(directory_, entry.stem);
}

std::string Server::salvage(const DatabaseEntry& entry, const std::string& newName,
                            store::CheckReport& report) {
    if (find(newName)) return "database '" + newName + "' already exists";
    std::string error = createDatabase(newName);
    if (!error.empty()) return error;
    DatabaseEntry* target = find(newName);
    Database rescued(target->name, target->id);
    report = store::DatabaseStore::salvage(directory_, entry.stem, rescued);
    error = load(*target);
    if (error.empty()) {
        if (auto e = target->store->fold(rescued)) error = *e;
        target->store.reset();
        target->database.reset();
    }
    return error;
}

DatabaseEntry* Server::databaseById(int32_t id) {
    DatabaseEntry* entry = lookup(id);
    if (!inHome(entry)) {
        reach(nullptr);
        entry = lookup(id);
    }
    if (!entry || !load(*entry).empty()) return nullptr;
    return entry;
}

std::vector<const DatabaseEntry*> Server::databases() const {
    reach(nullptr);
    std::vector<const DatabaseEntry*> out;
    for (const auto& e : entries_)
        out.push_back(e.get());
    std::sort(out.begin(), out.end(), [](auto* a, auto* b) { return a->id < b->id; });
    return out;
}

std::string Server::createDatabase(const std::string& name) {
    reach(nullptr);
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
    reach(nullptr);
    auto it = std::find_if(entries_.begin(), entries_.end(),
                           [&](const auto& e) { return e.get() == entry; });
    if (it == entries_.end()) return {};
    (*it)->store.reset();
    if (auto e = store::DatabaseStore::remove(directory_, (*it)->stem)) return *e;
    entries_.erase(it);
    return {};
}

std::string Server::commit(DatabaseEntry& entry, const ChangeList& changes, bool continued) {
    reach(&entry);
    if (changes.empty()) return {};
    if (entry.temporary) {
        entry.database->apply(changes);
        return {};
    }
    if (auto e = entry.store->append(changes, continued)) return *e;
    entry.database->apply(changes);
    foldIfDue(entry);
    return {};
}

std::string Server::journal(DatabaseEntry& entry, const ChangeList& changes, bool continued) {
    reach(&entry);
    if (changes.empty() || entry.temporary) return {};
    if (auto e = entry.store->append(changes, continued)) return *e;
    foldIfDue(entry);
    return {};
}

std::string Server::endUnit(int32_t databaseId) {
    DatabaseEntry* entry = lookup(databaseId);
    if (!entry) return {};
    reach(entry);
    if (!entry->store || !entry->store->unitOpen()) return {};
    if (auto e = entry->store->endUnit()) return *e;
    foldIfDue(*entry);
    return {};
}

void Server::foldIfDue(DatabaseEntry& entry) {
    if (entry.store->foldIsDue(store::DatabaseStore::FoldMoment::InUse))
        entry.store->fold(*entry.database);  // on failure the journal still holds everything
}

void Server::detach(DatabaseEntry& entry) {
    reach(nullptr);
    if (entry.sessions > 0) --entry.sessions;
    if (!entry.store) return;
    // A statement or transaction of another session may be working on it through a
    // three-part name: it holds a lock (or undo records) and pointers into it.
    // (or a batch of another session has written to it and goes on: its unit is open).
    if (entry.sessions > 0 || entry.transactions > 0 || locks_.locked(entry.id) ||
        entry.store->unitOpen()) {
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
    reach(nullptr);
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
    reach(nullptr);
    if (auto e = changed.save(directory_)) return *e;
    logins_ = std::make_unique<LoginStore>(std::move(changed));
    return {};
}

void Server::loginConnected(const std::string& login) {
    reach(nullptr);
    ++connectedLogins_[login];
}

void Server::loginDisconnected(const std::string& login) {
    reach(nullptr);
    auto it = connectedLogins_.find(login);
    if (it != connectedLogins_.end() && --it->second <= 0) connectedLogins_.erase(it);
}

bool Server::isLoginConnected(std::string_view login) const {
    reach(nullptr);
    return std::any_of(connectedLogins_.begin(), connectedLogins_.end(),
                       [&](const auto& entry) { return identifierEqual(entry.first, login); });
}

void Server::syncAll() {
    reach(nullptr);
    for (auto& entry : entries_) {
        if (entry->store) entry->store->sync();
    }
}

}  // namespace engine
