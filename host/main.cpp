// cimhost: a small CIM object manager for development, tests and demos. It
// loads C++ provider libraries the way OpenWBEM does, reads class definitions
// from MOF files and serves CIM-XML over HTTP. See --help.
#include <OW_Logger.hpp>
#include <OW_ProviderEnvironmentIFC.hpp>

#include <limits.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "CimOperations.hpp"
#include "ClassModel.hpp"
#include "HostLogger.hpp"
#include "HttpServer.hpp"
#include "MofParser.hpp"
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
    double ttlSeconds = 300;
    size_t maxRequest = 16u << 20;
    std::string portFile;
};

void usage(FILE* to) {
    std::fprintf(to,
        "usage: cimhost [options]\n"
        "Serves CIM-XML over HTTP for the classes of MOF files, from C++ provider libraries.\n"
        "\n"
        "  --address ADDR        address to listen on (default 127.0.0.1)\n"
        "  --port N              port to listen on (default 5988; 0: any free port)\n"
        "  --port-file FILE      write the port to FILE once listening\n"
        "  --providers DIR       load every lib<ID>.so of DIR (default: the provider\n"
        "                        library's build folder beside this program)\n"
        "  --mof FILE            read class definitions from FILE; may be repeated\n"
        "                        (default: QEL_ZEP.mof beside this program)\n"
        "  --namespace NS        the namespace of the classes (default root/cimv2)\n"
        "  --log FILE            append the log to FILE instead of stderr\n"
        "  --log-level LEVEL     error, info or debug (default info)\n"
        "  --provider-ttl SEC    destroy a provider instance idle for SEC seconds and\n"
        "                        create a new one on the next request (default 300;\n"
        "                        0: never)\n"
        "  --max-request BYTES   largest request body accepted (default 16777216)\n"
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
        if (i + 1 >= argc) {
            std::fprintf(stderr, "cimhost: %s needs a value (or is unknown); see --help\n", a.c_str());
            return false;
        }
        const std::string v = argv[++i];
        char* end = nullptr;
        if (a == "--address") o.address = v;
        else if (a == "--port") {
            const long p = std::strtol(v.c_str(), &end, 10);
            if (*end || p < 0 || p > 65535) {
                std::fprintf(stderr, "cimhost: bad port %s\n", v.c_str());
                return false;
            }
            o.port = static_cast<int>(p);
        } else if (a == "--port-file") o.portFile = v;
        else if (a == "--providers") o.providerDir = v;
        else if (a == "--mof") o.mofFiles.push_back(v);
        else if (a == "--namespace") o.nameSpace = v;
        else if (a == "--log") o.logFile = v;
        else if (a == "--log-level") o.logLevel = v;
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
        logger = OpenWBEM::LoggerRef(new cimhost::HostLogger(opt.logFile, OpenWBEM::E_ERROR_LEVEL));
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
        cimhost::HttpServer server(ops, opt.maxRequest);
        const int port = server.bind(opt.address, opt.port);
        if (port < 0) {
            std::fprintf(stderr, "cimhost: cannot listen on %s:%d\n", opt.address.c_str(), opt.port);
            return 1;
        }
        if (!opt.portFile.empty()) {
            const std::string tmp = opt.portFile + ".tmp";
            std::ofstream(tmp) << port << "\n";
            std::rename(tmp.c_str(), opt.portFile.c_str());  // readers never see half a number
        }
        logger->logInfo(OpenWBEM::String(("listening on " + opt.address + ":" + std::to_string(port) + ", " +
                                          std::to_string(repo.all().size()) + " classes in " + opt.nameSpace)
                                             .c_str()));
        std::printf("cimhost: serving %zu classes on http://%s:%d/%s\n", repo.all().size(), opt.address.c_str(),
                    port, opt.nameSpace.c_str());
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
