// CREATE LOGIN, ALTER LOGIN and DROP LOGIN: SQL logins of the server, from any database.
// They change the server's login store (its own file in the data directory), not a database,
// so they take part in no transaction: inside one they are refused, as CREATE DATABASE is.
#include <cctype>

#include "engine/exec/statements.h"
#include "engine/security/login_store.h"
#include "engine/types/collation.h"
#include "engine/types/sql_message.h"

namespace engine::exec {

namespace {

constexpr size_t kMaxPasswordLength = 128;

const char* statementName(sql::LoginStmt::Kind kind) {
    switch (kind) {
        case sql::LoginStmt::Kind::Create:
            return "CREATE LOGIN";
        case sql::LoginStmt::Kind::Alter:
            return "ALTER LOGIN";
        case sql::LoginStmt::Kind::Drop:
            return "DROP LOGIN";
    }
    return "";
}

[[noreturn]] void storeFailure(ExecContext& ctx, const sql::LoginStmt& stmt,
                               const std::string& failure) {
    SqlMessage m;
    m.number = 5123;
    m.severity = 16;
    m.state = 1;
    m.line = ctx.line;
    m.text = std::string(statementName(stmt.kind)) + " failed: " + failure;
    throw SqlException(m);
}

// The policy SQL Server applies with CHECK_POLICY = ON where the operating system sets none
// of its own (as on Linux): at least eight characters, three of the four kinds of character,
// and not the login's name.
void checkPolicy(ExecContext& ctx, const std::string& login, const std::string& password) {
    size_t characters = 0;
    bool upper = false, lower = false, digit = false, other = false;
    for (size_t i = 0; i < password.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(password[i]);
        if ((c & 0xC0) != 0x80) ++characters;
        if (std::isupper(c)) {
            upper = true;
        } else if (std::islower(c)) {
            lower = true;
        } else if (std::isdigit(c)) {
            digit = true;
        } else if ((c & 0xC0) != 0x80) {
            other = true;
        }
    }
    if (characters < 8) raise(ctx, 15116);
    const int kinds = upper + lower + digit + other;
    std::string lowered = password, name = login;
    for (auto* s : {&lowered, &name}) {
        for (char& c : *s)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (kinds < 3 || lowered.find(name) != std::string::npos) raise(ctx, 15118);
}

// Runs under the server's lock (tens of milliseconds): logins change rarely, and a statement
// must see and change the store as one step. Connections verify passwords without the lock.
std::string hashOrFail(ExecContext& ctx, const sql::LoginStmt& stmt, const std::string& password) {
    std::optional<std::string> hash = LoginStore::hashPassword(password);
    if (!hash) storeFailure(ctx, stmt, "the password could not be hashed");
    return *hash;
}

// The language as syslanguages names it; 15033 for a language the server does not have.
std::string officialLanguage(ExecContext& ctx, const std::string& language) {
    if (identifierEqual(language, "us_english") || identifierEqual(language, "English"))
        return "us_english";
    if (identifierEqual(language, "Español") || identifierEqual(language, "Spanish"))
        return "Español";
    raise(ctx, 15033, {language});
}

void stamp(ExecContext& ctx, LoginRecord& record, bool created) {
    const Value now = ctx.session.functions.clock();
    if (created) {
        record.createdDays = now.days();
        record.createdTicks = now.ticks();
    }
    record.modifiedDays = now.days();
    record.modifiedTicks = now.ticks();
}

}  // namespace

void executeLogin(ExecContext& ctx, const sql::LoginStmt& stmt) {
    using Kind = sql::LoginStmt::Kind;
    if (ctx.session.tranCount > 0) raise(ctx, 226, {statementName(stmt.kind)});
    Server& server = *ctx.session.server;
    std::string error;
    LoginStore* current = server.logins(error);
    if (!current) storeFailure(ctx, stmt, error);
    LoginStore changed = *current;

    if (stmt.kind == Kind::Drop) {
        const LoginRecord* found = changed.find(stmt.name);
        if (!found) raise(ctx, 15151, {"drop", "login", stmt.name});
        if (server.isLoginConnected(found->name) ||
            (!ctx.session.login.empty() && identifierEqual(ctx.session.login, found->name)))
            raise(ctx, 15434, {stmt.name});
        changed.remove(found->principalId);
        error = server.saveLogins(std::move(changed));
        if (!error.empty()) storeFailure(ctx, stmt, error);
        return;
    }

    LoginRecord record;
    if (stmt.kind == Kind::Create) {
        if (changed.find(stmt.name)) raise(ctx, 15025, {stmt.name});
        record = changed.make(stmt.name);
        if (stmt.sid) {
            if (stmt.sid->size() != 16) raise(ctx, 15419);
            if (changed.findBySid(*stmt.sid)) raise(ctx, 15433);
            record.sid = *stmt.sid;
        }
        record.checkPolicy = stmt.checkPolicy.value_or(true);
        record.checkExpiration = stmt.checkExpiration.value_or(false);
    } else {
        const LoginRecord* found = changed.find(stmt.name);
        if (!found) raise(ctx, 15151, {"alter", "login", stmt.name});
        record = *found;
        // A wrong old password is answered as a missing login: it tells nothing.
        if (stmt.oldPassword && !LoginStore::verifyPassword(record.passwordHash, *stmt.oldPassword))
            raise(ctx, 15151, {"alter", "login", stmt.name});
        if (stmt.newName) {
            const LoginRecord* other = changed.find(*stmt.newName);
            if (other && other->principalId != record.principalId)
                raise(ctx, 15025, {*stmt.newName});
            record.name = *stmt.newName;
        }
        if (stmt.enable) record.disabled = !*stmt.enable;
        // Turning the policy on turns expiration on unless the statement says otherwise;
        // turning it off turns expiration off.
        if (stmt.checkPolicy) {
            record.checkPolicy = *stmt.checkPolicy;
            record.checkExpiration = stmt.checkExpiration.value_or(*stmt.checkPolicy);
        } else if (stmt.checkExpiration) {
            record.checkExpiration = *stmt.checkExpiration;
        }
    }
    if (record.checkExpiration && !record.checkPolicy) raise(ctx, 15122);
    if (stmt.defaultDatabase) {
        DatabaseEntry* entry = server.database(*stmt.defaultDatabase, error);
        if (!entry) raise(ctx, 15010, {*stmt.defaultDatabase});
        record.defaultDatabase = entry->name;
    }
    if (stmt.defaultLanguage) record.defaultLanguage = officialLanguage(ctx, *stmt.defaultLanguage);
    if (stmt.password) {
        if (stmt.password->size() > kMaxPasswordLength)
            raise(ctx, 15156, {std::to_string(kMaxPasswordLength)});
        if (record.checkPolicy) checkPolicy(ctx, record.name, *stmt.password);
        record.passwordHash = hashOrFail(ctx, stmt, *stmt.password);
    }
    stamp(ctx, record, stmt.kind == Kind::Create);
    changed.put(std::move(record));
    error = server.saveLogins(std::move(changed));
    if (!error.empty()) storeFailure(ctx, stmt, error);
}

}  // namespace engine::exec
