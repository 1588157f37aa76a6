// Number and IPv4 address text conversions. Pure functions: no state, no locks.
#include "Exports.hpp"

#include <cstdio>

namespace {

bool isDecimalDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

OS_RESULT osItoaEx(uint32_t value, char* buffer, uint32_t radix, uint32_t flag) {
    if (!buffer || radix < 2 || radix > 36) return OS_ERR_INVALID_ARG;
    const char* digits = (flag & 1u) ? "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                     : "0123456789abcdefghijklmnopqrstuvwxyz";
    char reversed[32];  // 32 binary digits is the longest a 32-bit value gets
    size_t count = 0;
    do {
        reversed[count++] = digits[value % radix];
        value /= radix;
    } while (value != 0);
    for (size_t i = 0; i < count; ++i) buffer[i] = reversed[count - 1 - i];
    buffer[count] = '\0';
    return 0;
}

OS_RESULT osTCPStringToAddress(const char* text, uint32_t* address) {
    if (!text || !address) return OS_ERR_INVALID_ARG;
    // Leading zeros are refused: the classic inet_aton reads "010" as octal 8,
    // other parsers as decimal 10, and a configured address must not depend on
    // which of the two a reader assumes.
    uint32_t result = 0;
    const char* p = text;
    for (int part = 0; part < 4; ++part) {
        if (part > 0 && *p++ != '.') return OS_ERR_BAD_ADDRESS;
        if (!isDecimalDigit(*p) || (*p == '0' && isDecimalDigit(p[1])))
            return OS_ERR_BAD_ADDRESS;
        uint32_t number = 0;
        for (int digits = 0; isDecimalDigit(*p); ++p) {
            if (++digits > 3) return OS_ERR_BAD_ADDRESS;
            number = number * 10 + static_cast<uint32_t>(*p - '0');
        }
        if (number > 255) return OS_ERR_BAD_ADDRESS;
        result = (result << 8) | number;
    }
    if (*p != '\0') return OS_ERR_BAD_ADDRESS;
    *address = result;
    return 0;
}

OS_RESULT osTCPAddressToString(const OS_TCP_ADDRESS* address, char* buffer) {
    if (!address || !buffer) return OS_ERR_INVALID_ARG;
    const uint32_t a = address->address;
    snprintf(buffer, 32, "%u.%u.%u.%u", static_cast<unsigned>(a >> 24),
             static_cast<unsigned>((a >> 16) & 0xFFu), static_cast<unsigned>((a >> 8) & 0xFFu),
             static_cast<unsigned>(a & 0xFFu));
    return 0;
}
