/*
 * Calls that only the stand-in libHulShared.so offers, for this project's own
 * tools (the gateway simulator, tests, benchmarks). The provider and the
 * gateway link never include this header: the platform's library lacks it.
 */
#ifndef HULMFW_STANDIN_H
#define HULMFW_STANDIN_H

#include "HulMfw.h"

#ifdef __cplusplus
extern "C" {
#endif

/*
 * HulMfwInitialize under the given name instead of the program's name.
 * HUL_ERR_INVALID_ARG for a null or empty name, one holding '/', or one longer
 * than HUL_MFW_MAX_NAME; HUL_ERR_NAME_IN_USE while a live participant holds
 * the name (one left behind by a dead process is taken over).
 */
HUL_RESULT HulMfwInitializeAs(const char* name);

/* The longest participant name, in bytes. */
#define HUL_MFW_MAX_NAME 64u

/*
 * How long HulMfwSendMessage waits for room in a full receiver queue before
 * it gives up with HUL_ERR_TIMEOUT.
 */
#define HUL_MFW_SEND_TIMEOUT_MS 2000u

#ifdef __cplusplus
}
#endif

#endif /* HULMFW_STANDIN_H */
