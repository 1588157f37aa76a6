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

/*
 * Returned by HulMfwInitialize, HulMfwInitializeAs, and HulMfwGetProcessHandle
 * outside the framework, when the framework directory (HUL_MFW_DIR, else
 * /tmp/hulmfw-<uid>, made mode 0700) is not the caller's own, is a symbolic
 * link, or may be written by group or others (a sticky bit does not make
 * that safe; the default directory must be private altogether). Joining also
 * writes the reason to stderr.
 */
#define HUL_ERR_UNSAFE_DIR 13u

/*
 * A participant keeps its socket file and its name in the framework
 * directory while it waits in HulMfwProcessNextMessage: it checks them
 * shortly after the directory reports one of them removed, and once this
 * period anyway. A socket file that is gone is bound again under the same
 * handle at once; a directory that is gone (or emptied) is made again at a
 * later check, half a period after it was found so or more. The name is
 * claimed again unless a live participant took it meanwhile. What it cannot
 * restore, and each repair, it writes to stderr, and it keeps trying.
 * HulMfwGetProcessHandle waits up to a quarter second for a participant whose
 * name is claimed but whose socket file is missing, rather than report a
 * participant that is binding its socket again as gone.
 */
#define HUL_MFW_CHECK_PERIOD_MS 1000u

#ifdef __cplusplus
}
#endif

#endif /* HULMFW_STANDIN_H */
