// zepsim: the gateway simulator program. Options and commands: usageText()
// in src/Commands.cpp, printed by --help.
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "zepsim/Commands.h"
#include "zepsim/Simulator.h"

namespace {

using namespace zepsim;

void say(const std::string& line) {
    fputs(line.c_str(), stdout);
    fputc('\n', stdout);
    fflush(stdout);
}

[[noreturn]] void usageError(const std::string& why) {
    fprintf(stderr, "zepsim: %s (see zepsim --help)\n", why.c_str());
    std::exit(2);
}

struct Options {
    SimulatorOptions sim;
    bool modeOn = true;
    CallServer type = CallServer::Cedar;
    uint32_t terminals = 0;
    std::string scenario;
};

uint32_t numberOption(const char* name, const char* value) {
    char* end = nullptr;
    errno = 0;
    const unsigned long long v = std::strtoull(value, &end, 10);
    if (!*value || *end || errno || v > 0xFFFFFFFFull || value[0] == '-')
        usageError(std::string(name) + " needs a number, not '" + value + "'");
    return static_cast<uint32_t>(v);
}

Options parseOptions(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            fputs(usageText(), stdout);
            std::exit(0);
        }
        if (i + 1 >= argc) usageError(arg == "--peer" || arg == "--name" || arg == "--mode" || arg == "--terminals" ||
                                              arg == "--scenario" || arg == "--announce-ms"
                                          ? arg + " needs a value"
                                          : "unknown option '" + arg + "'");
        const char* value = argv[++i];
        if (arg == "--peer") {
            o.sim.peer = value;
        } else if (arg == "--name") {
            o.sim.name = value;
        } else if (arg == "--mode") {
            if (std::strcmp(value, "off") == 0) {
                o.modeOn = false;
            } else if (const auto t = callServerFromName(value)) {
                o.type = *t;
            } else {
                usageError(std::string("--mode takes cedar, alder, birch or off, not '") + value + "'");
            }
        } else if (arg == "--terminals") {
            o.terminals = numberOption("--terminals", value);
        } else if (arg == "--scenario") {
            o.scenario = value;
        } else if (arg == "--announce-ms") {
            o.sim.announceMs = numberOption("--announce-ms", value);
        } else {
            usageError("unknown option '" + arg + "'");
        }
    }
    if (o.sim.peer.empty() || o.sim.name.empty()) usageError("--peer and --name need a name");
    return o;
}

// A scenario is checked whole before anything runs, so that a typo in line 40
// does not leave a half-played scenario behind.
std::vector<std::pair<int, Command>> loadScenario(const std::string& path) {
    std::ifstream in(path);
    if (!in) usageError("cannot read scenario file '" + path + "'");
    std::vector<std::pair<int, Command>> commands;
    std::string line;
    int number = 0;
    bool bad = false;
    while (std::getline(in, line)) {
        ++number;
        const ParsedLine p = parseCommand(line);
        if (p.status == ParsedLine::Error) {
            say("error line " + std::to_string(number) + ": " + p.error);
            bad = true;
        } else if (p.status == ParsedLine::Ok) {
            commands.emplace_back(number, p.command);
        }
    }
    if (bad) {
        fprintf(stderr, "zepsim: scenario '%s' has errors; nothing was run\n", path.c_str());
        std::exit(2);
    }
    return commands;
}

// Held while a command other than a pause runs, and for good once the
// program ends, so that no command runs into the exit.
std::mutex gRunning;

// Runs one command and prints its answer; false once the simulator must end.
bool runCommand(Simulator& sim, int number, const Command& c) {
    std::unique_lock<std::mutex> running(gRunning, std::defer_lock);
    if (c.kind != CommandKind::Pause) running.lock();
    std::string answer = sim.execute(c);
    if (answer.rfind("error: ", 0) == 0) answer = "error line " + std::to_string(number) + ": " + answer.substr(7);
    say(answer);
    if (c.kind == CommandKind::Crash) _exit(3);  // no goodbye: the framework's socket stays behind
    if (c.kind == CommandKind::Stop) {
        kill(getpid(), SIGTERM);  // the main thread leaves the framework and exits
        return false;
    }
    return true;
}

void commandLoop(Simulator& sim, const std::vector<std::pair<int, Command>>& scenario) {
    for (const auto& entry : scenario)
        if (!runCommand(sim, entry.first, entry.second)) return;
    std::string line;
    int number = 0;
    while (std::getline(std::cin, line)) {
        ++number;
        const ParsedLine p = parseCommand(line);
        if (p.status == ParsedLine::Error) {
            say("error line " + std::to_string(number) + ": " + p.error);
        } else if (p.status == ParsedLine::Ok && !runCommand(sim, number, p.command)) {
            return;
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    const Options options = parseOptions(argc, argv);
    const auto scenario = options.scenario.empty() ? std::vector<std::pair<int, Command>>{}
                                                   : loadScenario(options.scenario);

    GatewayState state;
    state.setMode(options.modeOn, options.type);
    if (options.terminals) state.generateTerminals(options.type, options.terminals, 1000);

    // SIGINT and SIGTERM are taken by sigwait below, never by a handler, so
    // every thread started from here on has them blocked.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    Simulator sim(std::move(state), options.sim);
    const HUL_RESULT rc = sim.join();
    if (rc != 0) {
        fprintf(stderr, "zepsim: cannot join the message framework as '%s' (code %u)\n", options.sim.name.c_str(), rc);
        return 1;
    }
    say("ready " + std::to_string(sim.ownHandle()));

    // The command reader may sit in a read of standard input when a signal
    // ends the program, so it is never joined; the process exits under it,
    // normally, so that exit handlers (coverage counts among them) run.
    std::thread(commandLoop, std::ref(sim), std::cref(scenario)).detach();

    int signal = 0;
    sigwait(&stopSignals, &signal);
    sim.leave();
    gRunning.lock();
    fflush(stdout);
    std::exit(0);
}
