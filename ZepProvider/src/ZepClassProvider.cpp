#include "ZepClassProvider.h"

#include "OperationalLog.h"

#include <cstdio>

namespace zep {

std::string resultCodeTag(int code) {
    char buffer[16];
    snprintf(buffer, sizeof buffer, "%d", code);
    return std::string("#") + buffer + "#";
}

void throwNotFound() { throw CIMException(__FILE__, __LINE__, CIMException::NOT_FOUND); }

void throwCreateRefused() {
    throw CIMException(__FILE__, __LINE__, CIMException::NOT_SUPPORTED,
                       "The system cannot create the instance specified.\n#" CFG_ID_CREATE_REFUSED "#");
}

void throwDeleteRefused() {
    throw CIMException(__FILE__, __LINE__, CIMException::NOT_SUPPORTED,
                       "The system cannot delete the instance specified.\n#" CFG_ID_DELETE_REFUSED "#");
}

void throwSetterFailed(int code) {
    throw CIMException(__FILE__, __LINE__, CIMException::FAILED, resultCodeTag(code).c_str());
}

void throwUndelivered(const char* className, uint32_t requestCode, uint32_t rc) {
    char text[160];
    snprintf(text, sizeof text, "%s: request %u did not reach the gateway (code %u); the change is not made",
             className, requestCode, rc);
    AddToLog(0, ZEP_LOG_CODE_ERROR, text, 0, 0);
    throwSetterFailed(static_cast<int>(rc));
}

void throwMethodNotFound() { throw CIMException(__FILE__, __LINE__, CIMException::METHOD_NOT_FOUND); }

}  // namespace zep
