// The message-loop half of the transport: makes the process a participant of
// the platform's message framework and, when it had to do so itself, runs the
// framework's message loop on the task "ZepOamMfwLoop". The gateway
// connection calls Init for its first user and Shutdown for its last.
#ifndef ZEP_OAM_MFW_H
#define ZEP_OAM_MFW_H

#include <cstdint>

// Joins the framework unless the process is a participant already (then the
// process's own loop delivers our messages and no task is started), and
// installs the do-nothing handler for class 0. 0 or the platform's code.
uint32_t ZepOamMfwInit();

// Body of the loop task: dispatches messages until asked to quit, then leaves
// the framework. The argument is not used.
void ZepOamMfwThread(void* argument);

// Handler for class-0 messages: ignores them.
void ZepOamMfwDefaultCallback(uint16_t msgClass, uint32_t length, void* message,
                              uint32_t sender);

// Sends the framework's quit message (class 0x8001, no body) to our own
// process, waking a loop that waits for a message.
void ZepOamMfwSendQuitMessage();

// Stops the transport: the gateway listener, then the loop task, waiting a
// bounded time for each to end (unless called on that task). Always 0.
uint32_t ZepOamMfwShutdown();

#endif  // ZEP_OAM_MFW_H
