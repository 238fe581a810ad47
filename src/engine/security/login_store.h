// The SQL logins of a server (a data directory): names, salted password hashes, the options
// CREATE/ALTER LOGIN set, kept in a file of their own in the data directory.
//
// The file ("logins.sdl") holds a magic word, a format version, the records and a CRC-32 of
// everything before it. It is replaced atomically (temporary file, fsync, rename, fsync of the
// directory), so a crash leaves either the old or the new set of logins. A file that is
// truncated, has a bad checksum or an unknown version is reported as an error: it is never
// taken for "no logins", which would lock everybody out or let the first-start path create a
// fresh administrator over a damaged file.
//
// Passwords are hashed with Argon2id through libsodium (crypto_pwhash_str); the stored string
// carries its salt and cost parameters, so verification keeps working if the costs change.
// Clear-text passwords are never stored, logged or put into a message.
//
// Thread-safety: a LoginStore is thread-compatible; the Server that owns it guards it with its
// mutex. hashPassword() and verifyPassword() are thread-safe and slow on purpose (tens of
// milliseconds): callers should not hold a lock that other sessions wait for while they run.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace engine {

struct LoginRecord {
    std::string name;  // as created; compared case-insensitively
    int32_t principalId = 0;
    std::string sid;           // 16 bytes (0x01 for sa)
    std::string passwordHash;  // crypto_pwhash_str output
    bool disabled = false;
    bool checkPolicy = true;
    bool checkExpiration = false;
    std::string defaultDatabase = "master";
    std::string defaultLanguage = "us_english";
    // create_date / modify_date as datetime days and ticks (local time, as GETDATE()).
    int32_t createdDays = 0;
    int32_t createdTicks = 0;
    int32_t modifiedDays = 0;
    int32_t modifiedTicks = 0;
};

class LoginStore {
  public:
    static constexpr const char* kFileName = "logins.sdl";

    // Reads the logins of a data directory. A missing file means no logins yet; any other
    // problem is an error text (and the store stays empty).
    std::optional<std::string> load(const std::filesystem::path& directory);

    // Writes every login to the directory's file, atomically. On failure the file on disk
    // is unchanged and the error text says why.
    std::optional<std::string> save(const std::filesystem::path& directory) const;

    const std::vector<LoginRecord>& logins() const { return logins_; }
    const LoginRecord* find(std::string_view name) const;
    LoginRecord* find(std::string_view name);
    const LoginRecord* findById(int32_t principalId) const;
    const LoginRecord* findBySid(std::string_view sid) const;

    // A new record (not yet stored) with a fresh principal id and SID; "sa" gets SQL Server's
    // fixed principal id 1 and SID 0x01.
    LoginRecord make(std::string_view name) const;
    void put(LoginRecord record);  // adds, or replaces the record of the same principal id
    void remove(int32_t principalId);

    // Argon2id hash of a password in crypto_pwhash_str form; nullopt when out of memory.
    static std::optional<std::string> hashPassword(std::string_view password);
    // Whether the password matches the stored hash (false for a malformed hash).
    static bool verifyPassword(const std::string& hash, std::string_view password);

    // Encoding of the file (exposed for the tests of damaged files).
    std::string encode() const;
    std::optional<std::string> decode(std::string_view bytes);

  private:
    std::vector<LoginRecord> logins_;
};

}  // namespace engine
