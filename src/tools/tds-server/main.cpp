// tds-server: the embedded engine as a SQL Server-compatible server. Serves the databases of
// a data directory over TDS 7.x to any SQL Server client (ODBC drivers, tsql, tedious).
//
//   tds-server -S DIR [--listen HOST:PORT] [--certificate FILE --key FILE] [--create]
//              [--login NAME [--login-language us_english|Español]] [--max-connections N]
//              [--name SERVERNAME] [--port-file FILE]
//              [--fixed-clock EPOCH_SECONDS] [--random-seed N]
//
// Logins: a data directory without logins refuses every connection. The first one is made
// at start by --login NAME (or TDS_SERVER_LOGIN) with its password from TDS_SERVER_PASSWORD
// (never on the command line, where other users could read it); later ones with
// CREATE LOGIN through any client or sqlshell.
//
// --fixed-clock and --random-seed make GETDATE() and NEWID() answer the same on every run
// (tests compare a run over the wire with one in process).
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>

#include "engine/allocator_tuning.h"
#include "engine/session.h"
#include "server/listener.h"

namespace {

tds::Listener* g_listener = nullptr;

void onSignal(int) {
    if (g_listener) g_listener->stop();
}

int usage(const std::string& problem) {
    if (!problem.empty()) std::cerr << "tds-server: " << problem << "\n";
    std::cerr << "usage: tds-server -S DATA_DIRECTORY [--listen HOST:PORT] [--create]\n"
                 "                  [--certificate FILE --key FILE] [--login NAME "
                 "[--login-language LANG]]\n"
                 "                  [--max-connections N] [--name SERVERNAME] [--port-file FILE]\n"
                 "                  [--fixed-clock EPOCH_SECONDS] [--random-seed N]\n"
                 "  The first login's password comes from TDS_SERVER_PASSWORD.\n";
    return 2;
}

size_t connectionCount(const std::string& text) {
    char* end = nullptr;
    const unsigned long long n = std::strtoull(text.c_str(), &end, 10);
    if (text.empty() || *end || text[0] == '-' || n < 1 || n > 100000)
        throw std::invalid_argument("--max-connections takes a number from 1 to 100000");
    return static_cast<size_t>(n);
}

std::string hostName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return "localhost";
    return name;
}

}  // namespace

int main(int argc, char** argv) {
    engine::tuneAllocator(argv);
    std::string directory, listen = "127.0.0.1:1433", certificate, key, login, loginLanguage,
                           portFile;
    std::string serverName = hostName();
    size_t maxConnections = 256;
    bool create = false;
    std::optional<int64_t> fixedClock;
    std::optional<uint64_t> randomSeed;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) throw std::invalid_argument(arg + " needs a value");
            return argv[++i];
        };
        try {
            if (arg == "-S")
                directory = value();
            else if (arg == "--listen")
                listen = value();
            else if (arg == "--certificate")
                certificate = value();
            else if (arg == "--key")
                key = value();
            else if (arg == "--login")
                login = value();
            else if (arg == "--login-language")
                loginLanguage = value();
            else if (arg == "--name")
                serverName = value();
            else if (arg == "--port-file")
                portFile = value();
            else if (arg == "--max-connections")
                maxConnections = connectionCount(value());
            else if (arg == "--create")
                create = true;
            else if (arg == "--fixed-clock")
                fixedClock = std::stoll(value());
            else if (arg == "--random-seed")
                randomSeed = std::stoull(value());
            else if (arg == "-h" || arg == "--help")
                return usage("");
            else
                return usage("unknown option " + arg);
        } catch (const std::exception& e) {
            return usage(e.what());
        }
    }
    if (directory.empty()) return usage("the data directory (-S) is required");
    if (certificate.empty() != key.empty()) return usage("--certificate and --key go together");
    if (loginLanguage == "Spanish") loginLanguage = "Español";
    if (loginLanguage == "English") loginLanguage = "us_english";
    if (!loginLanguage.empty() && loginLanguage != "Español" && loginLanguage != "us_english")
        return usage("--login-language takes us_english or Español");
    if (login.empty() && std::getenv("TDS_SERVER_LOGIN")) login = std::getenv("TDS_SERVER_LOGIN");

    const size_t colon = listen.rfind(':');
    if (colon == std::string::npos) return usage("--listen takes HOST:PORT");
    std::string host = listen.substr(0, colon);
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    const std::string portText = listen.substr(colon + 1);
    int port = -1;
    if (!portText.empty() && portText.size() <= 5 &&
        portText.find_first_not_of("0123456789") == std::string::npos)
        port = std::stoi(portText);
    if (port < 0 || port > 65535) return usage("bad port in --listen " + listen);

    // The data directory: held for as long as the server runs (no other process may use it),
    // with master open so databases stay loaded between connections.
    engine::SessionOptions options;
    options.createDataDirectory = create;
    options.lockWait = std::chrono::milliseconds(0);
    engine::Session::Opened anchor = engine::Session::open(directory, "master", options);
    if (!anchor.session) {
        // Error 17 is worded for clients ("SQL Server does not exist or access denied. (why)"):
        // the operator needs the why.
        std::string reason =
            anchor.messages.empty() ? "cannot be opened" : anchor.messages.front().text;
        const size_t open = reason.find(" (");
        if (open != std::string::npos && reason.back() == ')')
            reason = reason.substr(open + 2, reason.size() - open - 3);
        std::cerr << "tds-server: cannot serve the data directory: " << reason << "\n";
        return 1;
    }

    if (!login.empty()) {
        const char* password = std::getenv("TDS_SERVER_PASSWORD");
        if (engine::Session::hasLogins(directory)) {
            std::cerr << "tds-server: the data directory has logins already; --login " << login
                      << " is ignored\n";
        } else if (!password || !*password) {
            std::cerr << "tds-server: --login needs the password in TDS_SERVER_PASSWORD\n";
            return 2;
        } else {
            auto messages = engine::Session::setLogin(directory, login, password, loginLanguage);
            for (const auto& m : messages) {
                if (m.isError()) {
                    std::cerr << "tds-server: cannot create the login '" << login << "': " << m.text
                              << "\n";
                    return 1;
                }
            }
            std::cerr << "tds-server: login '" << login << "' created\n";
        }
    }
    if (!engine::Session::hasLogins(directory)) {
        std::cerr
            << "tds-server: the data directory has no logins: every connection will be refused.\n"
               "  Create one with: TDS_SERVER_PASSWORD=... tds-server -S DIR --login NAME\n"
               "  or: sqlshell -S DIR -Q \"CREATE LOGIN name WITH PASSWORD = '...'\"\n";
    }

    std::unique_ptr<tds::TlsContext> tls;
    if (!certificate.empty()) {
        std::string error;
        tls = tds::TlsContext::load(certificate, key, error);
        if (!tls) {
            std::cerr << "tds-server: " << error << "\n";
            return 1;
        }
    }

    std::string error;
    auto listener = tds::Listener::open(host, static_cast<uint16_t>(port), error);
    if (!listener) {
        std::cerr << "tds-server: " << error << "\n";
        return 1;
    }
    if (!portFile.empty()) {
        std::ofstream(portFile) << listener->port() << "\n";
    }

    g_listener = listener.get();
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);
    ::signal(SIGPIPE, SIG_IGN);

    std::mutex logMutex;
    tds::Connection::Log log = [&](const std::string& line) {
        std::lock_guard<std::mutex> guard(logMutex);
        std::cerr << "tds-server: " << line << std::endl;
    };

    tds::ServerSettings settings;
    settings.dataDirectory = directory;
    settings.serverName = serverName;
    settings.tls = tls.get();
    if (fixedClock) {
        const auto instant =
            std::chrono::system_clock::from_time_t(static_cast<std::time_t>(*fixedClock));
        settings.sessionOptions.clock = [instant] { return instant; };
    }
    settings.sessionOptions.randomSeed = randomSeed;
    std::cerr << "tds-server: serving " << directory << " on " << host << ":" << listener->port()
              << (tls ? " (encryption available)" : " (encryption not supported)") << std::endl;
    listener->serve(settings, log, maxConnections);
    g_listener = nullptr;
    anchor.session->close();
    std::cerr << "tds-server: stopped" << std::endl;
    return 0;
}
