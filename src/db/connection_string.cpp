#include "db/connection_string.h"

#include <cstdlib>

#include "db/text_util.h"

namespace db {

std::string quoteValue(std::string_view value) {
    const bool needsQuotes = value.find_first_of(";{}=") != std::string_view::npos ||
                             (!value.empty() && (value.front() == ' ' || value.back() == ' ' ||
                                                 value.front() == '\t' || value.back() == '\t'));
    if (!needsQuotes) return std::string(value);
    std::string out = "{";
    for (char c : value) {
        out += c;
        if (c == '}') out += '}';
    }
    out += '}';
    return out;
}

std::string attribute(std::string_view key, std::string_view value) {
    return std::string(key) + "=" + quoteValue(value);
}

std::optional<std::vector<std::pair<std::string, std::string>>> splitConnectionString(
    std::string_view text) {
    std::vector<std::pair<std::string, std::string>> pairs;
    size_t i = 0;
    while (i < text.size()) {
        const size_t eq = text.find('=', i);
        const size_t semi = text.find(';', i);
        if (eq == std::string_view::npos || (semi != std::string_view::npos && semi < eq)) {
            // A segment without '=' (or an empty one between two ';') carries nothing.
            if (semi == std::string_view::npos) break;
            i = semi + 1;
            continue;
        }
        std::string key(trimBlanks(text.substr(i, eq - i)));
        i = eq + 1;
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
        std::string value;
        if (i < text.size() && (text[i] == '{' || text[i] == '"' || text[i] == '\'')) {
            const char close = text[i] == '{' ? '}' : text[i];
            ++i;
            if (!readQuoted(text, i, close, value)) return std::nullopt;
            // Anything between the closing quote and the next ';' is ignored.
            const size_t next = text.find(';', i);
            i = next == std::string_view::npos ? text.size() : next + 1;
        } else {
            const size_t next = text.find(';', i);
            const size_t end = next == std::string_view::npos ? text.size() : next;
            value = std::string(trimBlanks(text.substr(i, end - i)));
            i = next == std::string_view::npos ? text.size() : next + 1;
        }
        if (!key.empty()) pairs.emplace_back(std::move(key), std::move(value));
    }
    return pairs;
}

namespace {

bool isKey(std::string_view key, std::initializer_list<std::string_view> names) {
    for (auto name : names) {
        if (equalsIgnoreCase(key, name)) return true;
    }
    return false;
}

bool isTrue(std::string_view value) {
    return isKey(value, {"sspi", "true", "yes"});
}

}  // namespace

std::optional<ConnectionSettings> parseConnectionString(std::string_view text) {
    auto pairs = splitConnectionString(text);
    if (!pairs) return std::nullopt;
    ConnectionSettings settings;
    for (auto& [key, value] : *pairs) {
        if (isKey(key, {"server", "data source", "address", "addr", "network address"})) {
            settings.server = value;
        } else if (isKey(key, {"database", "initial catalog"})) {
            settings.database = value;
        } else if (isKey(key, {"uid", "user id", "user"})) {
            settings.user = value;
        } else if (isKey(key, {"pwd", "password"})) {
            settings.password = value;
        } else if (isKey(key, {"integrated security", "trusted_connection"})) {
            settings.integratedSecurity = isTrue(value);
        } else if (isKey(key, {"connect timeout", "connection timeout", "timeout"})) {
            const int seconds = std::atoi(value.c_str());
            if (seconds >= 0) settings.loginTimeoutSeconds = seconds;
        }
    }
    return settings;
}

std::string formatConnectionString(const ConnectionSettings& settings) {
    std::string text = attribute("Server", settings.server);
    if (settings.integratedSecurity) {
        text += ";" + attribute("database", settings.database) + ";Integrated Security=SSPI";
    } else {
        text += ";" + attribute("uid", settings.user) + ";" + attribute("pwd", settings.password) +
                ";" + attribute("database", settings.database);
    }
    return text;
}

}  // namespace db
