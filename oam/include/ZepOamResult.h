// Result codes of the gateway link's functions. 0 is success; any code not
// listed here is the platform's own, passed back unchanged.
#ifndef ZEP_OAM_RESULT_H
#define ZEP_OAM_RESULT_H

#include <cstdint>

inline constexpr uint32_t ZEP_OAM_OK = 0;
inline constexpr uint32_t ZEP_OAM_TABLE_FULL = 1;         // all seven callback slots are taken
inline constexpr uint32_t ZEP_OAM_INVALID_ARG = 117;      // missing argument, code outside the table, payload too long
inline constexpr uint32_t ZEP_OAM_ALREADY_DONE = 134;     // e.g. the log module is registered already
inline constexpr uint32_t ZEP_OAM_GATEWAY_NOT_FOUND = 313;  // no "zep" with the link up in time

#endif  // ZEP_OAM_RESULT_H
