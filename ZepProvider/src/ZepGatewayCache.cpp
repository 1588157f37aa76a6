#include "ZepGatewayCache.h"

#include <cstdarg>
#include <cstdio>

namespace zep {

void logLine(const char* format, ...) {
    char text[256];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    AddToLog(0, 1, text, 0, 0);
}

}  // namespace zep
