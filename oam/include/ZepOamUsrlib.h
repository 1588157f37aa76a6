// The gateway half of the transport: waits for the gateway process "zep" and
// its link-up event, watches that the gateway stays (the listener task
// "OamZepUsrlibLstner"), turns incoming class-4 messages into event records
// for the connection's callback, and wraps outgoing requests in the envelope
// (ZepRecords.h).
//
// ZepOamUsrlibSend may be called from any thread. ConnectToZep is called by
// the connection task; the callbacks are called by the framework.
#ifndef ZEP_OAM_USRLIB_H
#define ZEP_OAM_USRLIB_H

#include <cstdint>

#include "ZepRecords.h"

// Receives every event: the record (valid during the call only) and the word
// at offset 28 of its message (0 for the locally raised link-down).
typedef void (*ZepOamLinkCallback)(sZepToOamEvents* event, uint32_t value);

// Stores callback for all events, then waits up to timeout ms (looking once
// per second) for "zep" to exist with the link up, and starts the listener.
// 0; 117 for a null callback; 313 when not found in time; else the platform's
// code. The first three arguments are not used.
uint32_t ConnectToZep(uint32_t a, uint32_t b, uint32_t c, uint32_t timeout,
                      ZepOamLinkCallback callback);

// Body of the listener task: looks for "zep" once a second and, when it is
// gone or held by another incarnation, raises one link-down event and ends.
void ListenForMessages(void* argument);

// Framework handler for class-4 messages.
void ZepOamUsrlibCallback(uint16_t msgClass, uint32_t length, void* message, uint32_t sender);

// Sends one request in the envelope to the gateway: 0, 117 (null payload or
// more than 2008 bytes; nothing is sent) or the framework's code.
uint32_t ZepOamUsrlibSend(uint32_t code, const void* payload, uint32_t length, uint32_t flag);

#endif  // ZEP_OAM_USRLIB_H
