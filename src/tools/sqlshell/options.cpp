#include "tools/sqlshell/options.h"

#include <filesystem>

namespace tools {

namespace {

bool isVariableAssignment(const std::string& text) {
    const size_t equals = text.find('=');
    return equals != std::string::npos && equals > 0 && text[0] != '-';
}

}  // namespace

ParsedOptions parseOptions(const std::vector<std::string>& args) {
    ShellOptions o;
    auto refuse = [](std::string why) { return ParsedOptions{std::nullopt, std::move(why)}; };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        // The option's value: the rest of the argument, or the next argument.
        auto value = [&](std::string& out) {
            if (a.size() > 2) {
                out = a.substr(2);
                return true;
            }
            if (i + 1 >= args.size()) return false;
            out = args[++i];
            return true;
        };
        const std::string flag = a.size() >= 2 && a[0] == '-' ? a.substr(0, 2) : a;
        std::string v;
        if (a == "--create") {
            o.createDirectory = true;
        } else if (a == "--check") {
            o.check = true;
        } else if (a == "--salvage") {
            if (i + 2 >= args.size())
                return refuse("--salvage needs the damaged database and the new one");
            o.salvageFrom = args[++i];
            o.salvageInto = args[++i];
        } else if (a == "-b") {
            o.stopOnError = true;
        } else if (a == "-e") {
            o.echo = true;
        } else if (a == "-W") {
            o.format.trim = true;
        } else if (a == "-E" || a == "-I") {
        } else if (flag == "-r") {
            std::string level = a.substr(2);
            if (level.empty() && i + 1 < args.size() && (args[i + 1] == "0" || args[i + 1] == "1"))
                level = args[++i];
            if (level.empty() || level == "0")
                o.messages = MessagesTo::Errors;
            else if (level == "1")
                o.messages = MessagesTo::All;
            else
                return refuse("-r takes 0 or 1");
        } else if (flag == "-v") {
            if (!value(v) || !isVariableAssignment(v)) return refuse("-v takes NAME=VALUE");
            for (;;) {
                const size_t equals = v.find('=');
                o.variables.emplace_back(v.substr(0, equals), v.substr(equals + 1));
                if (i + 1 >= args.size() || !isVariableAssignment(args[i + 1])) break;
                v = args[++i];
            }
        } else if (flag == "-h") {
            if (!value(v)) return refuse("-h needs a number");
            char* end = nullptr;
            const long n = std::strtol(v.c_str(), &end, 10);
            if (v.empty() || *end != '\0' || n < -1 || n == 0 || n > 2147483647)
                return refuse("-h takes -1 or a number from 1 to 2147483647");
            o.format.headers = static_cast<int>(n);
        } else if (flag == "-s") {
            if (!value(v) || v.empty()) return refuse("-s needs a separator");
            o.format.separator = v;
        } else if (flag == "-S" || flag == "-d" || flag == "-Q" || flag == "-q" || flag == "-i" ||
                   flag == "-U" || flag == "-P" || flag == "-o") {
            if (!value(v)) return refuse(flag + " needs a value");
            if (flag == "-S")
                o.server = v;
            else if (flag == "-d")
                o.database = v;
            else if (flag == "-Q" || flag == "-q")
                o.query = v;
            else if (flag == "-i")
                o.inputs.push_back(v);
            else if (flag == "-U")
                o.login = v;
            else if (flag == "-P")
                o.password = v;
            else
                o.outputFile = v;
        } else {
            return refuse("unknown option " + a);
        }
    }
    if (o.server.empty()) return refuse("the server (-S) is required");
    return ParsedOptions{std::move(o), ""};
}

bool isDataDirectory(const ShellOptions& options) {
    if (options.createDirectory || options.server.find('/') != std::string::npos) return true;
    std::error_code error;
    return std::filesystem::is_directory(options.server, error);
}

std::string tdsServerAddress(const std::string& server) {
    std::string address = server;
    if (address.rfind("tcp:", 0) == 0) address = address.substr(4);
    const size_t colon = address.rfind(':');
    if (colon != std::string::npos && address.find(',') == std::string::npos) address[colon] = ',';
    return address;
}

}  // namespace tools
