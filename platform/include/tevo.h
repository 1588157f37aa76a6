/*
 * tevo: the platform's OS abstraction (tasks, named events, sleep, number and
 * IPv4 address helpers), implemented by libtevo.so.
 *
 * Conventions: every call returns a 32-bit result, 0 for success. Handles are
 * 32-bit words; 0 never names an object. Durations are in milliseconds.
 * IPv4 addresses are 32-bit numbers in host byte order, the most significant
 * byte being the first of the four dotted numbers.
 *
 * All functions are safe to call from any thread.
 */
#ifndef TEVO_H
#define TEVO_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t OS_RESULT;
typedef uint32_t OS_HANDLE;

/* Result codes of this library besides 0. */
#define OS_ERR_INVALID_ARG   117u /* null pointer or argument out of range */
#define OS_ERR_NO_RESOURCE   12u  /* the system refused a thread, event or memory */
#define OS_ERR_BAD_HANDLE    9u   /* no live object behind the handle */
#define OS_ERR_TIMEOUT       110u /* osReceiveEvent: not signalled in time */
#define OS_ERR_EVENT_EXISTS  32u  /* osCreateEvent: the name exists; its handle is returned */
#define OS_ERR_EVENT_KILLED  43u  /* osReceiveEvent: the event was deleted while waiting */
#define OS_ERR_BAD_ADDRESS   22u  /* osTCPStringToAddress: not a dotted IPv4 address */

/* osReceiveEvent time-out that never expires. */
#define OS_WAIT_FOREVER      0xFFFFFFFFu

typedef void (*OS_TASK_ENTRY)(void* argument);

/*
 * Starts a task running entry(argument) on its own thread. stackSize is in
 * bytes and is rounded up to the system's minimum, which this library puts at
 * no less than 256 KiB (the 10000 and 16000 the gateway link asks for are too
 * little for C++ code on this host, the sanitizer builds least of all), then
 * to whole pages. priority and options are accepted and ignored. The thread is
 * named after the first 15 characters of name. The handle is stored in *task
 * before the task can run, so the entry may read it from there at once.
 *
 * A task's handle names it while the task runs and the handle is open: after
 * the task has ended (its resources are released then, closed or not) or after
 * osCloseTaskHandle, calls with it return OS_ERR_BAD_HANDLE. Handles of tasks
 * and events are never reused while they name a live object.
 * OS_ERR_INVALID_ARG for a null name, entry or task; OS_ERR_NO_RESOURCE when
 * no thread could be started (*task is then 0).
 */
OS_RESULT osCreateTask(const char* name, uint32_t priority, uint32_t stackSize,
                       OS_TASK_ENTRY entry, void* argument, uint32_t options,
                       OS_HANDLE* task);

/*
 * osKillTask(0), or the caller's own handle, ends the calling thread at once
 * (a task created by osCreateTask or any other thread) through pthread_exit;
 * the call does not return. For another task the end is cooperative: the task
 * is asked to stop and ends inside its next osSleep or osReceiveEvent (which
 * then call pthread_exit instead of returning), or when its entry returns; a
 * task asked to stop before it started never runs its entry. No thread is ever
 * cancelled while it may hold a lock. The call does not wait for the task.
 *
 * pthread_exit unwinds the ending thread's stack: destructors of C++ objects
 * in its frames run, a catch (...) that swallows the unwinding aborts the
 * process (rethrow it), and so does unwinding through a noexcept function.
 * OS_ERR_BAD_HANDLE when no live task has this open handle.
 */
OS_RESULT osKillTask(OS_HANDLE task);

/*
 * Releases the handle. The task runs on; a task may close its own handle.
 * OS_ERR_BAD_HANDLE when the handle is closed already or its task has ended.
 */
OS_RESULT osCloseTaskHandle(OS_HANDLE task);

/*
 * Creates the named event (auto-reset, initially not signalled). When an event
 * of that name exists, stores its handle and returns OS_ERR_EVENT_EXISTS (32).
 * flags are ignored. OS_ERR_INVALID_ARG for a null or empty name or null event.
 */
OS_RESULT osCreateEvent(const char* name, uint32_t flags, OS_HANDLE* event);

/*
 * Signals the event: one waiter (or the next one to wait) is released. The
 * signal is kept until taken; signals not yet taken do not add up.
 */
OS_RESULT osSendEvent(OS_HANDLE event);

/*
 * Waits up to timeoutMs for the event. 0 when it was signalled; OS_ERR_TIMEOUT
 * when not in time; OS_ERR_EVENT_KILLED when it was deleted while waiting.
 * 0xFFFFFFFF waits without limit.
 */
OS_RESULT osReceiveEvent(OS_HANDLE event, uint32_t timeoutMs);

/*
 * Deletes the event and wakes every waiter; its name becomes free and the
 * handle names nothing any more (OS_ERR_BAD_HANDLE).
 */
OS_RESULT osKillEvent(OS_HANDLE event);

/*
 * Sleeps the calling thread for ms milliseconds (0 yields). A task asked to
 * stop ends here (see osKillTask).
 */
OS_RESULT osSleep(uint32_t ms);

/*
 * Writes value in the given radix (2 to 36) into buffer, NUL-terminated, no
 * sign, no leading zeros. buffer holds at least 16 bytes for radix 10 (33 for
 * radix 2). flag 1 gives upper-case letters for digits above 9.
 * OS_ERR_INVALID_ARG, buffer untouched, for a null buffer or another radix.
 */
OS_RESULT osItoaEx(uint32_t value, char* buffer, uint32_t radix, uint32_t flag);

/* The platform's TCP address: a 16-bit field, a 16-bit port, the address at byte 4. */
typedef struct OS_TCP_ADDRESS {
    uint16_t family;
    uint16_t port;
    uint32_t address;
} OS_TCP_ADDRESS;

/*
 * Converts dotted text ("192.168.1.10") to a host-order address written at
 * *address. OS_ERR_BAD_ADDRESS, and *address left untouched, for anything
 * that is not four decimal numbers 0..255 separated by dots; a number with a
 * leading zero ("01") is refused, since readers differ on whether it is octal.
 * OS_ERR_INVALID_ARG for a null pointer.
 */
OS_RESULT osTCPStringToAddress(const char* text, uint32_t* address);

/*
 * Writes address->address as dotted text into buffer (at least 32 bytes).
 * OS_ERR_INVALID_ARG for a null pointer.
 */
OS_RESULT osTCPAddressToString(const OS_TCP_ADDRESS* address, char* buffer);

#ifdef __cplusplus
}
#endif

#endif /* TEVO_H */
