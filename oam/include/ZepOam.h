// The gateway connection: the one shared link between the seven class
// registries and the gateway process "zep".
//
// Users call ZepOamInit, then ZepOamRegisterCallback; from then on every
// gateway event reaches every registered handler, one after another in slot
// order, on the transport's task (link-down on the listener task). Requests
// go out with ZepOamSend from any thread. Filling the seventh slot starts the
// connection; a link-down event starts a new one. At the end, a user calls
// ZepOamResetCallback and ZepOamShutdown; the last shut-down stops every task
// the link started.
//
// Init, Register, Reset and Shutdown are meant for the users' set-up and
// tear-down; they are serialised internally and may come from any thread, but
// never from inside a handler. Handlers must not block for long: a slow
// handler delays every later slot and the next event.
#ifndef ZEP_OAM_H
#define ZEP_OAM_H

#include <cstdint>

#include "ZepOamResult.h"
#include "ZepRecords.h"

// A registered event handler. The record is valid during the call only.
typedef void (*ZepOamEventHandler)(sZepToOamEvents* event);

inline constexpr int ZEP_OAM_CALLBACK_SLOTS = 7;

// One more user. The first one registers the operational log and joins the
// message framework. Always 0.
uint32_t ZepOamInit();

// A framework join that fails here, or a connection whose set-up (its event
// or task) cannot be created, is tried again from the link's retry thread
// after 1 s, doubling up to 30 s, for as long as the link has a user; each new
// kind of failure is logged once, and so is the recovery.

// Puts handler in a slot: the one it holds already, else the lowest free one.
// 0 on success, 1 when the table is full, 117 for a null handler. When the
// slot is the seventh, the result is that of starting the connection.
uint32_t ZepOamRegisterCallback(ZepOamEventHandler handler);

// Frees every slot that holds handler; stops nothing. Always 0.
uint32_t ZepOamResetCallback(ZepOamEventHandler handler);

// One user less. The last one ends a connection attempt in progress (waiting
// up to 10 s for it), stops the transport and deregisters the log. Always 0.
uint32_t ZepOamShutdown();

// Sends one request to the gateway: 0 when the framework took it, 117 for a
// null payload or one longer than 2008 bytes, otherwise the framework's code.
uint32_t ZepOamSend(uint32_t code, const void* payload, uint32_t length);

// Sends a data request (mode 7, settings 8, terminal table 9). One that the
// framework does not take is sent again from the link's retry thread after
// 1 s, 2 s, 4 s ... 30 s, six times at most, until it goes out or a link-down
// makes it moot; the same request sent meanwhile replaces it. The first
// failure and the outcome of the retries are logged. The first send's result.
uint32_t ZepOamRequestData(uint32_t code, const void* payload, uint32_t length);

// ZepOamSend for a request record of ZepRecords.h, with its own length.
template <class Request>
uint32_t ZepOamSendRecord(uint32_t code, const Request& request) {
    return ZepOamSend(code, request.data(), static_cast<uint32_t>(request.length()));
}

// Starts the connection task "OamZepConnect", which keeps trying (every
// 1000 ms) until the gateway is there with its link up. At most one such task
// tries at a time: while one does, this only asks it to make sure of the link
// once more. Does nothing while the link has no user. 0 or the platform's code.
uint32_t ZepOamConnect();

// Body of the connection task; the argument is not used.
void ZepOamConnectThread(void* argument);

// Hands one event to every registered handler in slot order; after a
// link-down event (type 5) it starts reconnecting. This is the callback the
// transport delivers every event to; tests may call it directly to inject
// events. length is not used.
void ZepOamCallback(sZepToOamEvents* event, uint32_t length);

// Called after a successful ZepOamConnect; nothing is left for it to do. 0.
uint32_t ZepOamMfwConnect();

#endif  // ZEP_OAM_H
