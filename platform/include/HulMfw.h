/*
 * HulMfw: the platform's message framework, implemented by libHulShared.so.
 *
 * Each participant is one process with a name and a 32-bit process handle. A
 * handle names one incarnation of a process: a participant that is restarted
 * under the same name gets a new handle. Messages are datagrams: they keep
 * their boundaries and arrive in order between two processes.
 *
 * A message buffer starts with the framework's 24-byte header; the sender's
 * process handle is the 32-bit word at offset 20. Lengths given to and by the
 * framework count the bytes from offset 24 on, without the header.
 *
 * Every function may be called from any thread. Callbacks run on the thread
 * that calls HulMfwProcessNextMessage.
 */
#ifndef HULMFW_H
#define HULMFW_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t HUL_RESULT;
typedef uint32_t HUL_PROCESS_HANDLE;

#define HUL_MFW_HEADER_SIZE     24u
#define HUL_MFW_SENDER_OFFSET   20u
/* The most bytes a message may carry after the header. */
#define HUL_MFW_MAX_BODY        4096u
/* Message class that wakes a waiting message loop of one's own process. */
#define HUL_MFW_CLASS_QUIT      0x8001u
/* HulMfwProcessNextMessage: wait without limit. */
#define HUL_MFW_WAIT_FOREVER    (-1)

/* Result codes besides 0. */
#define HUL_ERR_INVALID_ARG     117u /* null pointer, bad class or length */
#define HUL_ERR_NOT_JOINED      2u   /* the calling process is not a participant */
#define HUL_ERR_NO_PROCESS      3u   /* no live participant of that name or handle */
#define HUL_ERR_ALREADY_JOINED  134u /* HulMfwInitialize twice */
#define HUL_ERR_TIMEOUT         110u /* nothing arrived / the receiver stayed full */
#define HUL_ERR_NAME_IN_USE     98u  /* a live participant holds the name */
#define HUL_ERR_SYSTEM          5u   /* the operating system refused */

/*
 * Called for each message of the class it is registered for:
 * msgClass, the body length (bytes after the header), the message buffer
 * (header first; valid only during the call) and the sender's handle.
 *
 * Platform assumption: the target's framework documents the second argument
 * only as "a value"; this one, and the gateway link that relies on it to
 * drop or complete short messages, take it as the body length. A link built
 * with ZEP_MFW_CALLBACK_LENGTH=OFF makes no use of it.
 */
typedef void (*HUL_MFW_CALLBACK)(uint16_t msgClass, uint32_t length,
                                 void* message, uint32_t sender);

/*
 * Makes the calling process a participant. Its name is the program's name,
 * or the value of HUL_MFW_NAME when that is set in the environment.
 * HUL_ERR_ALREADY_JOINED when it is one already; HUL_ERR_NAME_IN_USE while a
 * live process holds the name (a name left by a dead one is taken over).
 */
HUL_RESULT HulMfwInitialize(void);

/*
 * name == 0: the caller's own handle (HUL_ERR_NOT_JOINED before it joined).
 * Otherwise the handle of the live participant of that name; a name left
 * behind by a process that died does not count (HUL_ERR_NO_PROCESS).
 * HUL_ERR_INVALID_ARG for a null handle pointer or an empty name.
 */
HUL_RESULT HulMfwGetProcessHandle(const char* name, HUL_PROCESS_HANDLE* handle);

/*
 * One callback per class; a later registration replaces the earlier one.
 * Registrations are kept across HulMfwCleanup. HUL_ERR_INVALID_ARG for a null
 * callback.
 */
HUL_RESULT HulMfwRegisterCallback(uint16_t msgClass, HUL_MFW_CALLBACK callback);

/*
 * Waits up to timeoutMs (HUL_MFW_WAIT_FOREVER: no limit) for one message and
 * dispatches it to its class's callback on the calling thread. Messages of a
 * class without a callback are dropped. 0 once one message was taken;
 * HUL_ERR_TIMEOUT when none came; HUL_ERR_NOT_JOINED when the process is not
 * a participant, also when HulMfwCleanup ends the wait from another thread;
 * HUL_ERR_INVALID_ARG for any other negative timeoutMs. Datagrams that are
 * not messages of the framework, or come from another user id, are dropped
 * without ending the wait. No lock is held while a callback runs: callbacks
 * may send messages and process further ones.
 */
HUL_RESULT HulMfwProcessNextMessage(int32_t timeoutMs);

/*
 * Sends length bytes from offset 24 of buffer (the header is filled in by the
 * framework; the caller's first 24 bytes are neither read nor written) as one
 * message of msgClass to the process. When the receiver's queue is full the
 * call waits a bounded time, then returns HUL_ERR_TIMEOUT; nothing is ever
 * half-sent. flags is reserved (0). HUL_ERR_INVALID_ARG for a null buffer,
 * length above HUL_MFW_MAX_BODY or flags not 0; HUL_ERR_NO_PROCESS when no
 * live participant has that handle; HUL_ERR_NOT_JOINED before joining.
 */
HUL_RESULT HulMfwSendMessage(HUL_PROCESS_HANDLE destination, uint16_t msgClass,
                             uint32_t flags, void* buffer, uint32_t length);

/*
 * Leaves the framework: the name is released, the handle stops being valid,
 * and threads waiting in HulMfwProcessNextMessage return. HUL_ERR_NOT_JOINED
 * when the process is not a participant.
 */
HUL_RESULT HulMfwCleanup(void);

#ifdef __cplusplus
}
#endif

#endif /* HULMFW_H */
