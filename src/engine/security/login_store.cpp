#include "engine/security/login_store.h"

#include <sodium.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <utility>

#include "engine/store/binary.h"
#include "engine/store/crc32.h"
#include "engine/store/files.h"
#include "engine/types/collation.h"

namespace engine {

namespace {

constexpr std::string_view kMagic = "SDLOGINS";
constexpr uint32_t kVersion = 1;

// Argon2id costs. Every connection of the network front end verifies one password while the
// client waits, one connection after another, so the cost has to stay well under 100 ms on
// the two-core machines this runs on; 3 passes over 8 MiB take about 25 ms there (55 ms with
// both cores busy compiling), while still costing a guesser far more than a fast hash.
// The parameters travel inside each stored hash, so raising them later keeps old hashes valid.
constexpr unsigned long long kOpsLimit = 3;
constexpr size_t kMemLimit = size_t{8} << 20;

// Principal ids of logins other than sa start where SQL Server's user logins start.
constexpr int32_t kFirstUserPrincipalId = 256;

bool sodiumReady() {
    static const bool ready = sodium_init() >= 0;
    return ready;
}

constexpr uint64_t kDisabled = 1, kCheckPolicy = 2, kCheckExpiration = 4;

}  // namespace

std::optional<std::string> LoginStore::load(const std::filesystem::path& directory) {
    logins_.clear();
    const std::filesystem::path path = directory / kFileName;
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) {
        if (ec) return "cannot read '" + path.string() + "': " + ec.message();
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) return "cannot open '" + path.string() + "': " + std::strerror(errno);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (in.bad()) return "cannot read '" + path.string() + "'";
    if (auto e = decode(bytes.str())) {
        logins_.clear();
        return "the logins file '" + path.string() + "' is damaged (" + *e + ")";
    }
    return std::nullopt;
}

std::optional<std::string> LoginStore::save(const std::filesystem::path& directory) const {
    return store::replaceFileAtomically(directory / kFileName, encode());
}

std::string LoginStore::encode() const {
    std::string out(kMagic);
    store::putFixed32(out, kVersion);
    store::putVarint(out, logins_.size());
    for (const auto& l : logins_) {
        store::putString(out, l.name);
        store::putSigned(out, l.principalId);
        store::putString(out, l.sid);
        store::putString(out, l.passwordHash);
        store::putVarint(out, (l.disabled ? kDisabled : 0) | (l.checkPolicy ? kCheckPolicy : 0) |
                                  (l.checkExpiration ? kCheckExpiration : 0));
        store::putString(out, l.defaultDatabase);
        store::putString(out, l.defaultLanguage);
        store::putSigned(out, l.createdDays);
        store::putSigned(out, l.createdTicks);
        store::putSigned(out, l.modifiedDays);
        store::putSigned(out, l.modifiedTicks);
    }
    store::putFixed32(out, store::crc32(out));
    return out;
}

std::optional<std::string> LoginStore::decode(std::string_view bytes) {
    logins_.clear();
    if (bytes.size() < kMagic.size() + 8) return "too short";
    if (bytes.substr(0, kMagic.size()) != kMagic) return "not a logins file";
    const std::string_view body = bytes.substr(0, bytes.size() - 4);
    if (store::crc32(body) != store::loadFixed32(bytes.data() + body.size()))
        return "checksum mismatch";
    std::string_view in = body.substr(kMagic.size());
    uint32_t version = 0;
    store::getFixed32(in, version);
    if (version != kVersion) return "format version " + std::to_string(version) + " is unknown";
    uint64_t count = 0;
    if (!store::getVarint(in, count)) return "truncated";
    std::vector<LoginRecord> logins;
    for (uint64_t i = 0; i < count; ++i) {
        LoginRecord l;
        int64_t id = 0, cd = 0, ct = 0, md = 0, mt = 0;
        uint64_t flags = 0;
        if (!store::getString(in, l.name) || !store::getSigned(in, id) ||
            !store::getString(in, l.sid) || !store::getString(in, l.passwordHash) ||
            !store::getVarint(in, flags) || !store::getString(in, l.defaultDatabase) ||
            !store::getString(in, l.defaultLanguage) || !store::getSigned(in, cd) ||
            !store::getSigned(in, ct) || !store::getSigned(in, md) || !store::getSigned(in, mt))
            return "truncated";
        l.principalId = static_cast<int32_t>(id);
        l.disabled = flags & kDisabled;
        l.checkPolicy = flags & kCheckPolicy;
        l.checkExpiration = flags & kCheckExpiration;
        l.createdDays = static_cast<int32_t>(cd);
        l.createdTicks = static_cast<int32_t>(ct);
        l.modifiedDays = static_cast<int32_t>(md);
        l.modifiedTicks = static_cast<int32_t>(mt);
        logins.push_back(std::move(l));
    }
    if (!in.empty()) return "unexpected bytes after the last login";
    logins_ = std::move(logins);
    return std::nullopt;
}

const LoginRecord* LoginStore::find(std::string_view name) const {
    for (const auto& l : logins_) {
        if (identifierEqual(l.name, name)) return &l;
    }
    return nullptr;
}

LoginRecord* LoginStore::find(std::string_view name) {
    return const_cast<LoginRecord*>(std::as_const(*this).find(name));
}

const LoginRecord* LoginStore::findById(int32_t principalId) const {
    for (const auto& l : logins_) {
        if (l.principalId == principalId) return &l;
    }
    return nullptr;
}

const LoginRecord* LoginStore::findBySid(std::string_view sid) const {
    for (const auto& l : logins_) {
        if (l.sid == sid) return &l;
    }
    return nullptr;
}

LoginRecord LoginStore::make(std::string_view name) const {
    LoginRecord r;
    r.name = std::string(name);
    if (identifierEqual(name, "sa") && !findById(1)) {
        r.principalId = 1;
        r.sid = std::string(1, '\x01');
        return r;
    }
    r.principalId = kFirstUserPrincipalId;
    for (const auto& l : logins_)
        r.principalId = std::max(r.principalId, l.principalId + 1);
    r.sid.resize(16);
    sodiumReady();
    do {
        randombytes_buf(r.sid.data(), r.sid.size());
    } while (findBySid(r.sid));
    return r;
}

void LoginStore::put(LoginRecord record) {
    for (auto& l : logins_) {
        if (l.principalId == record.principalId) {
            l = std::move(record);
            return;
        }
    }
    logins_.push_back(std::move(record));
}

void LoginStore::remove(int32_t principalId) {
    std::erase_if(logins_, [&](const LoginRecord& l) { return l.principalId == principalId; });
}

std::optional<std::string> LoginStore::hashPassword(std::string_view password) {
    if (!sodiumReady()) return std::nullopt;
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str(out, password.data(), password.size(), kOpsLimit, kMemLimit) != 0)
        return std::nullopt;
    return std::string(out);
}

bool LoginStore::verifyPassword(const std::string& hash, std::string_view password) {
    if (!sodiumReady() || hash.empty()) return false;
    return crypto_pwhash_str_verify(hash.c_str(), password.data(), password.size()) == 0;
}

}  // namespace engine
