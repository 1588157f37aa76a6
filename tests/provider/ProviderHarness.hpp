// In-process harness for the provider tests: the provider's classes, the real
// gateway link and the real platform stand-ins run in the test process.
// Gateway events are injected through the link's delivery function, and what
// crosses the framework boundary (requests to the gateway, operational log
// entries) is captured by interposing HulMfwSendMessage and HulDiagAddLogEntry.
#pragma once

#include <gtest/gtest.h>

#include <OW_CIMClass.hpp>
#include <OW_CIMParamValue.hpp>
#include <OW_CIMException.hpp>
#include <OW_CIMInstance.hpp>
#include <OW_CIMObjectPath.hpp>
#include <OW_CIMProperty.hpp>
#include <OW_CIMValue.hpp>
#include <OW_Bool.hpp>
#include <OW_Logger.hpp>
#include <OW_ProviderEnvironmentIFC.hpp>
#include <OW_ResultHandlerIFC.hpp>

#include <cstdint>
#include <string>
#include <vector>

#include "QEL_ZEPProvider.h"
#include "ZepOam.h"
#include "ZepRecords.h"

namespace providertest {

// One request as it reached the framework: the code and the payload bytes.
struct SentRequest {
    uint32_t code;
    std::vector<unsigned char> payload;
};

// Requests and log texts captured since the last take (thread-safe).
std::vector<SentRequest> takeRequests();
std::vector<std::string> takeLogLines();
// Only the requests with the given code.
std::vector<SentRequest> takeRequests(uint32_t code);

// Requests to the gateway are taken (captured, result 0) by default; after
// this, the next `taken` are, and every later one is refused with rc.
// resetCaches() goes back to the default.
void refuseSendsAfter(uint64_t taken, uint32_t rc);
// While held, every request to the gateway waits in its send, as a send to a
// full gateway queue does; heldSends() counts the waiting ones.
void holdSends(bool hold);
int heldSends();
uint32_t nextSendResult();

// Hands an event to every registered class handler, as the transport does.
inline void deliver(sZepToOamEvents event) { ZepOamCallback(&event, sizeof event); }

// The bytes of a request payload, for byte-for-byte comparisons.
template <class Request>
std::vector<unsigned char> bytesOf(const Request& r) {
    return std::vector<unsigned char>(r.data(), r.data() + r.length());
}

// An environment whose logger records what the provider logs at error level.
OpenWBEM::ProviderEnvironmentIFCRef makeEnv();
std::vector<std::string> takeErrorLog();

// The library's one top-level provider, initialised once for the process
// (as the object manager does) inside a private platform sandbox.
QEL_ZEPProvider& provider();
// Empties every cache (link down) and forgets captured traffic.
void resetCaches();

template <class T>
class Collector : public OpenWBEM::ResultHandlerIFC<T> {
public:
    std::vector<T> items;

protected:
    void doHandle(const T& x) { items.push_back(x); }
};

// The message a CIMException was thrown with (what a client sees as the
// description), without the code's short text that getMessage() adds.
std::string messageOf(const OpenWBEM::CIMException& e);

// The CIM error code that fn throws, or -1 when it throws none.
template <class Fn>
int cimErrorOf(Fn fn, std::string* description = 0) {
    try {
        fn();
    } catch (const OpenWBEM::CIMException& e) {
        if (description) *description = messageOf(e);
        return e.getErrNo();
    }
    return -1;
}

}  // namespace providertest
