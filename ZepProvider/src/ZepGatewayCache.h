// What the gateway-backed registries of all seven classes share: the
// connection to the gateway link, the operational log lines, and the event
// handling skeleton. Each class's ZepCallback runs on the gateway link's
// tasks and holds its class lock for the whole event.
#ifndef ZEP_GATEWAY_CACHE_H
#define ZEP_GATEWAY_CACHE_H

#include "ZepInstanceRegistry.h"
#include "ZepPendingRequests.h"

#include "OperationalLog.h"
#include "ZepOam.h"
#include "ZepRecords.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cstring>
#include <exception>
#include <mutex>

namespace zep {

// Writes one line to the operational log: the library's module, code 1,
// a plain entry, no pause. Formats into a local buffer first.
void logLine(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The DN as a log line prints it: a signed 32-bit number.
inline int logDN(uint32_t dn) { return static_cast<int>(dn); }

// logLine for the terminal texts, whose only conversions are "%d" (up to
// two DNs). Every gateway record writes such a line, so it is formatted by
// hand into a local buffer rather than through vsnprintf.
inline void logTerminalLine(const char* format, int first = 0, int second = 0) {
    char text[256];
    char* p = text;
    char* const end = text + sizeof text - 12;  // room for one more number and the NUL
    const int numbers[2] = {first, second};
    int used = 0;
    const char* f = format;
    while (*f != '\0' && p < end) {
        const char* conversion = std::strstr(f, "%d");
        if (conversion == 0 || used == 2) conversion = f + std::strlen(f);
        const size_t n = std::min<size_t>(conversion - f, end - p);
        std::memcpy(p, f, n);
        p += n;
        f += n;
        if (f == conversion && *f == '%') {
            p = std::to_chars(p, text + sizeof text - 1, numbers[used++]).ptr;
            f += 2;
        }
    }
    *p = '\0';
    AddToLog(0, 1, text, 0, 0);
}

// The gateway-backed registry of a class: connects to the gateway link when
// installed and keeps the class's one instance in s_this for the static event
// handler Self::ZepCallback. Base is the class's plain registry.
template <class Base, class Self>
class GatewayRegistry : public Base {
public:
    GatewayRegistry() {}
    virtual ~GatewayRegistry() {
        ZepOamResetCallback(&Self::ZepCallback);
        ZepOamShutdown();
        s_this.store(0);
    }
    // Records the registry for the handler before the handler can be called.
    // (Not in the constructor: there the object is not yet a Self, and
    // handing it out as one is undefined.)
    virtual void init() {
        s_this.store(static_cast<Self*>(this));
        ZepOamInit();
        ZepOamRegisterCallback(&Self::ZepCallback);
    }
    // They only pass through: the registries' documented layout lists them
    // as overrides, and code written against that layout may rely on it.
    virtual void startIteration() { Base::startIteration(); }
    virtual void endIteration() { Base::endIteration(); }

    // The one gateway-backed registry of the class, or null before it is installed.
    static std::atomic<Self*> s_this;
};

template <class Base, class Self>
std::atomic<Self*> GatewayRegistry<Base, Self>::s_this(0);

// Installs the class's gateway-backed registry the first time a provider is
// initialised, and reuses it afterwards: the object manager may destroy an
// idle provider and initialise a new one, which must find the cache intact
// and must not register a second callback.
template <class Object, class ImplRegistry>
void installGatewayRegistry() {
    static std::mutex installing;
    std::lock_guard<std::mutex> lock(installing);
    if (ImplRegistry::s_this.load() == 0) Object::SetInstanceManager(new ImplRegistry);
}

// Runs handler(registry) for one event under the class lock. Errors end the
// event's handling quietly: the cache stays as far as the handler got. The
// data requests the handler makes go out once the lock is released.
template <class ImplRegistry, class Handler>
void handleEvent(Handler handler) {
    ImplRegistry* registry = ImplRegistry::s_this.load();
    if (registry == 0) return;
    PendingRequests requests;
    {
        RegistryLock<ImplRegistry> lock(*registry);
        PendingRequests::Scope scope(requests);
        try {
            handler(*registry);
        } catch (const std::exception&) {
        }
    }
    requests.send();
}

// The setting classes' answer to a mode record: ask for the own settings when
// the record names the own call-server type with the mode on, else forget them.
template <class ImplRegistry, class Request>
void followModeRecord(ImplRegistry& registry, const sZepToOamEvents& event, uint32_t ownMoType,
                      uint32_t requestCode, const Request& request) {
    const sZepModeSetting mode = event.getModeRecord();
    if (mode.getMoType() == ownMoType && mode.getMode() != 0)
        requestData(requestCode, request);
    else
        destroyAll(registry);
}

}  // namespace zep

#endif  // ZEP_GATEWAY_CACHE_H
