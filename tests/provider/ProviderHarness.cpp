#include "ProviderHarness.hpp"

#include "ProviderEnvironment.hpp"

#include <dlfcn.h>

#include <cstring>
#include <condition_variable>
#include <mutex>

#include "HulDiag.h"
#include "HulMfw.h"
#include "TestSupport.hpp"

namespace providertest {
namespace {

// What passed the framework boundary and the logger. Never destroyed: the
// link's tasks outlive the test and may still log or send while the process
// runs its static destructors.
struct Captures {
    std::mutex mutex;
    std::vector<SentRequest> requests;
    std::vector<std::string> logLines;
    std::vector<std::string> errorLog;
};
Captures& captures() {
    static Captures* const c = new Captures;
    return *c;
}

template <class T>
std::vector<T> take(std::vector<T> Captures::*list) {
    Captures& c = captures();
    std::lock_guard<std::mutex> lock(c.mutex);
    std::vector<T> out;
    out.swap(c.*list);
    return out;
}

template <class T>
void record(std::vector<T> Captures::*list, T item) {
    Captures& c = captures();
    std::lock_guard<std::mutex> lock(c.mutex);
    (c.*list).push_back(std::move(item));
}

template <class Fn>
Fn realFunction(const char* name) {
    return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

void recordError(const std::string& text) { record(&Captures::errorLog, text); }

}  // namespace

std::vector<SentRequest> takeRequests() { return take(&Captures::requests); }

std::vector<SentRequest> takeRequests(uint32_t code) {
    std::vector<SentRequest> out;
    for (auto& r : takeRequests())
        if (r.code == code) out.push_back(r);
    return out;
}

std::vector<std::string> takeLogLines() { return take(&Captures::logLines); }

std::vector<std::string> takeErrorLog() { return take(&Captures::errorLog); }

OpenWBEM::ProviderEnvironmentIFCRef makeEnv() { return owtest::makeEnvironment(&recordError); }

std::string messageOf(const OpenWBEM::CIMException& e) {
    const std::string full = e.getMessage();
    const std::string plain = OpenWBEM::CIMException(__FILE__, __LINE__, e.getErrNo()).getMessage();
    if (full == plain) return "";
    if (full.compare(0, plain.size() + 2, plain + " (") == 0 && full.size() >= plain.size() + 3)
        return full.substr(plain.size() + 2, full.size() - plain.size() - 3);
    return full;
}

QEL_ZEPProvider& provider() {
    static QEL_ZEPProvider* instance = [] {
        testsupport::processSandbox();
        QEL_ZEPProvider* p = new QEL_ZEPProvider;
        p->initialize(makeEnv());
        return p;
    }();
    return *instance;
}

namespace {
std::mutex sendOutcomeMutex;
std::condition_variable sendsReleased;
uint64_t sendsToTake = UINT64_MAX;
uint32_t refusal = 0;
bool holding = false;
int sendsHeld = 0;
}  // namespace

void holdSends(bool hold) {
    std::lock_guard<std::mutex> lock(sendOutcomeMutex);
    holding = hold;
    sendsReleased.notify_all();
}

int heldSends() {
    std::lock_guard<std::mutex> lock(sendOutcomeMutex);
    return sendsHeld;
}

void refuseSendsAfter(uint64_t taken, uint32_t rc) {
    std::lock_guard<std::mutex> lock(sendOutcomeMutex);
    sendsToTake = taken;
    refusal = rc;
}

uint32_t nextSendResult() {
    std::unique_lock<std::mutex> lock(sendOutcomeMutex);
    ++sendsHeld;
    sendsReleased.wait(lock, [] { return !holding; });
    --sendsHeld;
    if (sendsToTake == 0) return refusal;
    if (sendsToTake != UINT64_MAX) --sendsToTake;
    return 0;
}

void resetCaches() {
    holdSends(false);
    refuseSendsAfter(UINT64_MAX, 0);
    provider();
    deliver(sZepToOamEvents::ofType(ZEP_EVT_LINK_DOWN));
    takeRequests();
    takeLogLines();
    takeErrorLog();
}

}  // namespace providertest

// ---------------------------------------------------------------------------
// The framework boundary. The gateway link is linked statically into the test
// program, so its calls bind to these definitions; each records what passes
// and hands on to the stand-in library.

extern "C" HUL_RESULT HulMfwSendMessage(HUL_PROCESS_HANDLE destination, uint16_t msgClass, uint32_t flags,
                                        void* buffer, uint32_t length) {
    if (msgClass == ZEP_MFW_CLASS_ENVELOPE && buffer != 0 && length >= ZEP_BODY_PAYLOAD_OFFSET) {
        // Requests to the gateway: the harness plays a gateway that takes
        // them, or refuses them as a test asks.
        const uint32_t rc = providertest::nextSendResult();
        if (rc != 0) return rc;
        const unsigned char* envelope = static_cast<const unsigned char*>(buffer) + ZEP_ENVELOPE_MARK_OFFSET;
        providertest::SentRequest r;
        std::memcpy(&r.code, envelope + ZEP_BODY_CODE_OFFSET, 4);
        r.payload.assign(envelope + ZEP_BODY_PAYLOAD_OFFSET, envelope + length);
        providertest::record(&providertest::Captures::requests, std::move(r));
        return 0;
    }
    typedef HUL_RESULT (*Send)(HUL_PROCESS_HANDLE, uint16_t, uint32_t, void*, uint32_t);
    static const Send real = providertest::realFunction<Send>("HulMfwSendMessage");
    return real ? real(destination, msgClass, flags, buffer, length) : HUL_ERR_NO_PROCESS;
}

extern "C" HUL_DIAG_RESULT HulDiagAddLogEntry(HUL_DIAG_HANDLE handle, uint8_t kind, uint16_t severity,
                                              uint32_t id, const char* text) {
    if (text) providertest::record(&providertest::Captures::logLines, std::string(text));
    typedef HUL_DIAG_RESULT (*Add)(HUL_DIAG_HANDLE, uint8_t, uint16_t, uint32_t, const char*);
    static const Add real = providertest::realFunction<Add>("HulDiagAddLogEntry");
    return real ? real(handle, kind, severity, id, text) : 0;
}
