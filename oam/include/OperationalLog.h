// The library's operational log, written through the platform's diagnostic
// service as one module ("QEL_ZEPProvider", file "QEL_ZEPProvider.log").
//
// AddToLog may be called from any thread at any time, before or after the
// module is registered (entries then go to the platform's default log). It
// neither copies nor formats the text. CreateOperationalLog and
// DestroyOperationalLog belong to the gateway connection's start and end.
#ifndef ZEP_OPERATIONAL_LOG_H
#define ZEP_OPERATIONAL_LOG_H

#include <cstdint>

#include "ZepOamResult.h"

// Message codes and the severity the platform gets for each.
inline constexpr uint32_t ZEP_LOG_CODE_INFO = 1;       // also 57000..57249: severity 4
inline constexpr uint32_t ZEP_LOG_CODE_WARNING = 2;    // also 57250..57499: severity 2
inline constexpr uint32_t ZEP_LOG_CODE_ERROR = 3;      // also 57500..57749: severity 1
inline constexpr uint32_t ZEP_LOG_CODE_CRITICAL = 4;   // also 57750..57999: severity 1

// Entry kinds: a coded entry (flag 1) carries the code as its id.
inline constexpr uint8_t ZEP_LOG_KIND_PLAIN = 6;
inline constexpr uint8_t ZEP_LOG_KIND_CODED = 7;
inline constexpr uint32_t ZEP_LOG_PLAIN_ID = 0xFFFFFFFFu;

// Registers the module: 134 when it is registered already, otherwise the
// platform's result.
uint32_t CreateOperationalLog();

// Deregisters the module (after a 1 ms pause that lets entries in flight
// land); always 0.
uint32_t DestroyOperationalLog();

// Writes one entry. handle 0 means the library's own module; flag 1 asks for
// a coded entry; sleep 1 pauses 1 ms afterwards. 117 for a null text or a
// code outside the table (nothing is logged), otherwise the platform's result.
uint32_t AddToLog(uint32_t handle, uint32_t code, const char* text, uint32_t flag,
                  uint32_t sleep);

#endif  // ZEP_OPERATIONAL_LOG_H
