/*
 * HulDiag: the platform's diagnostic log service, implemented by
 * libHulShared.so. A module registers once and writes entries to its own log
 * file; entries for handle 0 or an unknown handle go to the default log.
 *
 * All functions are safe to call from any thread. An entry reaches its file
 * within a bounded time and is never lost at deregistration or normal exit.
 */
#ifndef HULDIAG_H
#define HULDIAG_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef uint32_t HUL_DIAG_RESULT;
typedef uint32_t HUL_DIAG_HANDLE;

#define HUL_DIAG_ERR_INVALID_ARG 117u /* null or empty text / name */
#define HUL_DIAG_ERR_BAD_HANDLE  9u   /* no module behind the handle */
#define HUL_DIAG_ERR_IO          5u   /* the log file could not be opened */

/*
 * Registers a module whose entries go to fileName in the log directory (the
 * value of HUL_DIAG_DIR, else the current directory). The handle is never 0.
 * Modules that name the same file share it. HUL_DIAG_ERR_INVALID_ARG for a
 * null argument, an empty module or file name, or a file name with '/';
 * HUL_DIAG_ERR_IO when the file cannot be opened.
 */
HUL_DIAG_RESULT HulDiagRegisterModule(const char* agent, const char* component,
                                      const char* module, const char* fileName,
                                      HUL_DIAG_HANDLE* handle);

/*
 * Writes one line: time, severity, kind, id, module, text. Line breaks in the
 * text become spaces; a text beyond 8 KiB is cut. Handle 0 writes to the
 * default log and returns 0; an unknown handle writes there too and returns
 * HUL_DIAG_ERR_BAD_HANDLE. HUL_DIAG_ERR_INVALID_ARG for a null or empty text.
 */
HUL_DIAG_RESULT HulDiagAddLogEntry(HUL_DIAG_HANDLE handle, uint8_t kind,
                                   uint16_t severity, uint32_t id,
                                   const char* text);

/*
 * Flushes and closes the module's log; the handle is no longer valid.
 * HUL_DIAG_ERR_BAD_HANDLE for 0 or a handle without a module.
 */
HUL_DIAG_RESULT HulDiagDeregisterModule(HUL_DIAG_HANDLE handle);

#ifdef __cplusplus
}
#endif

#endif /* HULDIAG_H */
