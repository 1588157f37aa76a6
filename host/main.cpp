// cimhost: a small CIM object manager for development, tests and demos. It
// loads C++ provider libraries the way OpenWBEM does, reads class definitions
// from MOF files and serves CIM-XML over HTTP and HTTPS to authenticated
// users. See --help.
#include <OW_Logger.hpp>
#include <OW_ProviderEnvironmentIFC.hpp>

#include <arpa/inet.h>
#include <limits.h>
#include <netdb.h>
#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "CimOperations.hpp"
#include "ClassModel.hpp"
#include "HostLogger.hpp"
#include "HttpServer.hpp"
#include "MofParser.hpp"
#include "PasswordFile.hpp"
#include "ProviderManager.hpp"

// A provider library's tasks may run until the process ends (the QEL_ZEP
// provider's gateway link does, as it would in OpenWBEM's daemon), and the
// leak checker's stop-the-world pass at exit does not survive them. The host's
// own code is leak-checked by its in-process tests instead.
extern "C" int __lsan_is_turned_off() { return 1; }

namespace {

struct Options {
    std::string address = "127.0.0.1";
    int port = 5988;
    std::string providerDir;
    std::vector<std::string> mofFiles;
    std::string nameSpace = "root/cimv2";
    std::string logFile;
    std::string logLevel = "info";
    std::string logMode;  // --log-mode: "0600" or "0640"; empty when not given
    double ttlSeconds = 300;
    size_t maxRequest = 16u << 20;
    std::string portFile;
    std::string passwordFile;
    bool noAuth = false;
    std::string addUserFile, addUser;  // --add-user FILE USER
    std::string certificate, key;
    int httpsPort = 5989;
    std::string httpsPortFile;
    double headTimeout = 5, bodyTimeout = 5, idleTimeout = 30;
    unsigned workers = 8;
    size_t maxConnections = 4096;
};

void usage(FILE* to) {
    std::fprintf(to,
        "usage: cimhost [options]\n"
        "Serves CIM-XML over HTTP (and HTTPS) for the classes of MOF files, from C++\n"
        "provider libraries, to the users of a password file.\n"
        "\n"
        "  --address ADDR        address to listen on (default 127.0.0.1)\n"
        "  --port N              HTTP port (default 5988; 0: any free port; -1: no HTTP)\n"
        "  --port-file FILE      write the HTTP port to FILE once listening\n"
        "  --cert FILE           serve HTTPS too, with the certificate (chain) of FILE (PEM)\n"
        "  --key FILE            the certificate's private key (PEM; default: the --cert file)\n"
        "  --https-port N        HTTPS port (default 5989; 0: any free port)\n"
        "  --https-port-file FILE  write the HTTPS port to FILE once listening\n"
        "  --password-file FILE  the users: user:hash lines, hashes by crypt(3); every\n"
        "                        request must carry a user's credentials (HTTP Basic)\n"
        "  --no-auth             take requests without credentials; only on a loopback\n"
        "                        address, and only with this option\n"
        "  --add-user FILE USER  set USER's password in the password file FILE (made\n"
        "                        when missing), read from standard input, and exit\n"
        "  --providers DIR       load every lib<ID>.so of DIR (default: the provider\n"
        "                        library's build folder beside this program)\n"
        "  --mof FILE            read class definitions from FILE; may be repeated\n"
        "                        (default: QEL_ZEP.mof beside this program)\n"
        "  --namespace NS        the namespace of the classes (default root/cimv2)\n"
        "  --log FILE            append the log to FILE instead of stderr\n"
        "  --log-level LEVEL     error, info or debug (default info)\n"
        "  --log-mode MODE       0600 (default) or 0640: the mode of the log files, the\n"
        "                        providers' diagnostic logs too (0640: the group may\n"
        "                        read them)\n"
        "  --provider-ttl SEC    destroy a provider instance idle for SEC seconds and\n"
        "                        create a new one on the next request (default 300;\n"
        "                        0: never)\n"
        "  --max-request BYTES   largest request body accepted (default 16777216)\n"
        "  --header-timeout SEC  time for a connection's TLS handshake and first request\n"
        "                        line and headers (a later request's: from its first\n"
        "                        byte) (default 5)\n"
        "  --body-timeout SEC    time for a request's whole body (default 5)\n"
        "  --idle-timeout SEC    time a kept-alive connection may wait for its next\n"
        "                        request (default 30)\n"
        "  --workers N           threads that handle complete requests (default 8)\n"
        "  --max-connections N   open connections at most; more wait to be accepted\n"
        "                        (default 4096)\n"
        "  --help                this text\n"
        "\n"
        "SIGINT or SIGTERM stops the host: requests in progress finish, providers are\n"
        "destroyed and their libraries closed.\n");
}

std::string selfDir() {
    char buf[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return ".";
    std::string path(buf, static_cast<size_t>(n));
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

bool parseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            usage(stdout);
            std::exit(0);
        }
        if (a == "--no-auth") {
            o.noAuth = true;
            continue;
        }
        if (a == "--add-user") {
            if (i + 2 >= argc) {
                std::fprintf(stderr, "cimhost: --add-user needs a password file and a user name\n");
                return false;
            }
            o.addUserFile = argv[++i];
            o.addUser = argv[++i];
            continue;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "cimhost: %s needs a value (or is unknown); see --help\n", a.c_str());
            return false;
        }
        const std::string v = argv[++i];
        char* end = nullptr;
        if (a == "--address") o.address = v;
        else if (a == "--port" || a == "--https-port") {
            const long p = std::strtol(v.c_str(), &end, 10);
            if (*end || v.empty() || p < (a == "--port" ? -1 : 0) || p > 65535) {
                std::fprintf(stderr, "cimhost: bad port %s\n", v.c_str());
                return false;
            }
            (a == "--port" ? o.port : o.httpsPort) = static_cast<int>(p);
        } else if (a == "--port-file") o.portFile = v;
        else if (a == "--https-port-file") o.httpsPortFile = v;
        else if (a == "--cert") o.certificate = v;
        else if (a == "--key") o.key = v;
        else if (a == "--password-file") o.passwordFile = v;
        else if (a == "--header-timeout" || a == "--body-timeout" || a == "--idle-timeout") {
            const double seconds = std::strtod(v.c_str(), &end);
            if (*end || v.empty() || !(seconds > 0) || seconds > 86400) {
                std::fprintf(stderr, "cimhost: bad time-out %s for %s\n", v.c_str(), a.c_str());
                return false;
            }
            (a == "--header-timeout" ? o.headTimeout : a == "--body-timeout" ? o.bodyTimeout : o.idleTimeout) = seconds;
        } else if (a == "--workers" || a == "--max-connections") {
            const unsigned long long n = std::strtoull(v.c_str(), &end, 10);
            if (*end || v.empty() || n == 0 || n > (a == "--workers" ? 1024u : 1000000u)) {
                std::fprintf(stderr, "cimhost: bad number %s for %s\n", v.c_str(), a.c_str());
                return false;
            }
            if (a == "--workers") o.workers = static_cast<unsigned>(n);
            else o.maxConnections = static_cast<size_t>(n);
        }
        else if (a == "--providers") o.providerDir = v;
        else if (a == "--mof") o.mofFiles.push_back(v);
        else if (a == "--namespace") o.nameSpace = v;
        else if (a == "--log") o.logFile = v;
        else if (a == "--log-level") o.logLevel = v;
        else if (a == "--log-mode") {
            if (v != "0600" && v != "600" && v != "0640" && v != "640") {
                std::fprintf(stderr, "cimhost: bad log mode %s (0600 or 0640)\n", v.c_str());
                return false;
            }
            o.logMode = v.size() == 3 ? "0" + v : v;
        }
        else if (a == "--provider-ttl") {
            o.ttlSeconds = std::strtod(v.c_str(), &end);
            if (*end || o.ttlSeconds < 0) {
                std::fprintf(stderr, "cimhost: bad time-to-live %s\n", v.c_str());
                return false;
            }
        } else if (a == "--max-request") {
            const unsigned long long n = std::strtoull(v.c_str(), &end, 10);
            if (*end || n == 0) {
                std::fprintf(stderr, "cimhost: bad request limit %s\n", v.c_str());
                return false;
            }
            o.maxRequest = static_cast<size_t>(n);
        } else {
            std::fprintf(stderr, "cimhost: unknown option %s; see --help\n", a.c_str());
            return false;
        }
    }
    return true;
}

// Whether every address the name stands for is a loopback address.
bool loopbackOnly(const std::string& address) {
    addrinfo hints{};
    hints.ai_flags = AI_PASSIVE;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(address.c_str(), nullptr, &hints, &found) != 0) return false;
    bool loopback = found != nullptr;
    for (const addrinfo* a = found; a; a = a->ai_next) {
        if (a->ai_family == AF_INET)
            loopback = loopback && (ntohl(reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr.s_addr) >> 24) == 127;
        else if (a->ai_family == AF_INET6)
            loopback = loopback && IN6_IS_ADDR_LOOPBACK(&reinterpret_cast<const sockaddr_in6*>(a->ai_addr)->sin6_addr);
        else
            loopback = false;
    }
    freeaddrinfo(found);
    return loopback;
}

// --add-user: the password is the first line of standard input, typed
// without echo when that is a terminal.
int addUser(const Options& o) {
    const bool terminal = isatty(STDIN_FILENO);
    termios saved{};
    if (terminal) {
        std::fprintf(stderr, "Password for %s: ", o.addUser.c_str());
        std::fflush(stderr);
        tcgetattr(STDIN_FILENO, &saved);
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    std::string password;
    std::getline(std::cin, password);
    if (terminal) {
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        std::fprintf(stderr, "\n");
    }
    if (!password.empty() && password.back() == '\r') password.pop_back();
    try {
        cimhost::PasswordFile::setPassword(o.addUserFile, o.addUser, password);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "cimhost: %s\n", e.what());
        return 2;
    }
    std::fill(password.begin(), password.end(), '\0');
    std::printf("cimhost: the password of %s is set in %s\n", o.addUser.c_str(), o.addUserFile.c_str());
    return 0;
}

// Every connection takes a descriptor: the soft limit goes up to the hard
// one, and the connection limit down to what the descriptors allow.
size_t connectionLimit(size_t wanted) {
    rlimit r{};
    if (getrlimit(RLIMIT_NOFILE, &r) != 0) return wanted;
    if (r.rlim_cur < r.rlim_max) {
        r.rlim_cur = r.rlim_max;
        setrlimit(RLIMIT_NOFILE, &r);
        getrlimit(RLIMIT_NOFILE, &r);
    }
    const rlim_t reserve = 64;  // the log, provider libraries and their sockets
    if (r.rlim_cur == RLIM_INFINITY || r.rlim_cur > wanted + reserve) return wanted;
    return r.rlim_cur > 2 * reserve ? static_cast<size_t>(r.rlim_cur - reserve) : static_cast<size_t>(r.rlim_cur / 2);
}

void writePortFile(const std::string& path, int port) {
    if (path.empty()) return;
    const std::string tmp = path + ".tmp";
    std::ofstream(tmp) << port << "\n";
    std::rename(tmp.c_str(), path.c_str());  // readers never see half a number
}

bool readFile(const std::string& path, std::string& text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream s;
    s << in.rdbuf();
    text = s.str();
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    Options opt;
    if (!parseOptions(argc, argv, opt)) return 2;
    if (!opt.addUser.empty()) return addUser(opt);
    const bool https = !opt.certificate.empty();
    if (!https && !opt.key.empty()) {
        std::fprintf(stderr, "cimhost: --key needs --cert\n");
        return 2;
    }
    if (!https && opt.port < 0) {
        std::fprintf(stderr, "cimhost: --port -1 leaves nothing to serve without --cert (HTTPS)\n");
        return 2;
    }
    if (opt.noAuth && !opt.passwordFile.empty()) {
        std::fprintf(stderr, "cimhost: --no-auth and --password-file exclude each other\n");
        return 2;
    }
    if (!opt.noAuth && opt.passwordFile.empty()) {
        std::fprintf(stderr,
                     "cimhost: every request is authenticated: give --password-file FILE (users are added with\n"
                     "  cimhost --add-user FILE USER), or --no-auth to take requests without credentials\n"
                     "  (on a loopback address only)\n");
        return 2;
    }
    if (opt.noAuth && !loopbackOnly(opt.address)) {
        std::fprintf(stderr, "cimhost: --no-auth is refused on %s, which is not a loopback address\n",
                     opt.address.c_str());
        return 2;
    }
    std::unique_ptr<cimhost::PasswordFile> users;
    if (!opt.noAuth) {
        try {
            users.reset(new cimhost::PasswordFile(opt.passwordFile));
        } catch (const std::exception& e) {
            std::fprintf(stderr, "cimhost: %s\n", e.what());
            return 2;
        }
    }
    // The providers' diagnostic logs (libHulShared) follow --log-mode too;
    // set while the process has one thread.
    if (!opt.logMode.empty()) setenv("HUL_DIAG_MODE", opt.logMode.c_str(), 1);
    const std::string here = selfDir();
    if (opt.providerDir.empty()) opt.providerDir = here + "/../ZepProvider";
    if (opt.mofFiles.empty()) opt.mofFiles.push_back(here + "/QEL_ZEP.mof");

    // Signals are taken by one thread with sigwait; every other thread, the
    // providers' tasks included, starts with them blocked.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    cimhost::ClassRepository repo;
    for (const std::string& file : opt.mofFiles) {
        std::string text;
        if (!readFile(file, text)) {
            std::fprintf(stderr, "cimhost: cannot read %s: %s\n", file.c_str(), std::strerror(errno));
            return 2;
        }
        cimhost::MofResult mof = cimhost::parseMof(text);
        if (!mof.ok) {
            std::fprintf(stderr, "%s:%d: %s\n", file.c_str(), mof.errorLine, mof.errorText.c_str());
            return 2;
        }
        for (cimhost::ClassDef& cls : mof.classes) {
            const std::string name = cls.name;
            if (!repo.add(std::move(cls))) {
                std::fprintf(stderr, "%s: class %s is defined twice\n", file.c_str(), name.c_str());
                return 2;
            }
        }
    }

    OpenWBEM::LoggerRef logger;
    try {
        logger = OpenWBEM::LoggerRef(new cimhost::HostLogger(opt.logFile, OpenWBEM::E_ERROR_LEVEL,
                                                                opt.logMode == "0640" ? 0640 : 0600));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "cimhost: %s\n", e.what());
        return 2;
    }
    logger->setLogLevel(OpenWBEM::String(opt.logLevel.c_str()));
    const OpenWBEM::ProviderEnvironmentIFCRef env(new cimhost::HostEnvironment(logger));

    int status = 0;
    {
        cimhost::ProviderManager providers(
            env, std::chrono::milliseconds(static_cast<long long>(opt.ttlSeconds * 1000)));
        providers.loadDirectory(opt.providerDir);
        for (const auto& cls : repo.all()) {
            const std::string id = cimhost::CimOperations::providerIdOf(cls->stringQualifier("Provider"));
            if (!id.empty() && !providers.has(id))
                logger->logError(OpenWBEM::String(("class " + cls->name + " names provider " + id +
                                                   ", which is not loaded").c_str()));
        }
        providers.initializeAll();

        cimhost::CimOperations ops(repo, opt.nameSpace, providers, env);
        cimhost::HttpOptions http;
        http.maxRequestBytes = opt.maxRequest;
        http.headTimeout = std::chrono::milliseconds(static_cast<long long>(opt.headTimeout * 1000));
        http.bodyTimeout = std::chrono::milliseconds(static_cast<long long>(opt.bodyTimeout * 1000));
        http.idleTimeout = std::chrono::milliseconds(static_cast<long long>(opt.idleTimeout * 1000));
        http.workers = opt.workers;
        http.maxConnections = connectionLimit(opt.maxConnections);
        http.users = users.get();
        cimhost::HttpServer server(ops, http, logger);
        std::string error;
        if (https && !server.useTls(opt.certificate, opt.key.empty() ? opt.certificate : opt.key, error)) {
            std::fprintf(stderr, "cimhost: cannot serve HTTPS: %s\n", error.c_str());
            return 2;
        }
        std::vector<std::string> urls;
        std::vector<std::pair<std::string, int>> portFiles;
        for (const bool tls : {false, true}) {
            const int wanted = tls ? opt.httpsPort : opt.port;
            if (tls ? !https : wanted < 0) continue;
            const int port = server.bind(opt.address, wanted, tls, error);
            if (port < 0) {
                std::fprintf(stderr, "cimhost: cannot listen on %s:%d: %s\n", opt.address.c_str(), wanted,
                             error.c_str());
                return 1;
            }
            portFiles.emplace_back(tls ? opt.httpsPortFile : opt.portFile, port);
            urls.push_back(std::string(tls ? "https" : "http") + "://" + opt.address + ":" + std::to_string(port) + "/" +
                           opt.nameSpace);
        }
        // The HTTP port last: who waits for it finds the HTTPS one written.
        for (auto file = portFiles.rbegin(); file != portFiles.rend(); ++file) writePortFile(file->first, file->second);
        for (const std::string& url : urls) {
            logger->logInfo(OpenWBEM::String(("serving " + std::to_string(repo.all().size()) + " classes on " + url +
                                              (users ? ", " + std::to_string(users->users()) + " users"
                                                     : ", without authentication"))
                                                 .c_str()));
            std::printf("cimhost: serving %zu classes on %s\n", repo.all().size(), url.c_str());
        }
        std::fflush(stdout);

        std::thread signals([&] {
            int sig = 0;
            sigwait(&stopSignals, &sig);
            logger->logInfo(OpenWBEM::String(sig == SIGINT ? "SIGINT: stopping" : "SIGTERM: stopping"));
            server.stop();
        });
        if (!server.run()) status = 1;
        // The server may have ended by itself: wake the signal thread.
        pthread_kill(signals.native_handle(), SIGTERM);
        signals.join();
        providers.shutdown();
    }
    logger->logInfo("stopped");
    return status;
}
