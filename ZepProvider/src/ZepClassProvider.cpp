#include "ZepClassProvider.h"

#include <cstdio>

namespace zep {

std::string resultCodeTag(int code) {
    char buffer[16];
    snprintf(buffer, sizeof buffer, "%d", code);
    return std::string("#") + buffer + "#";
}

void throwLimit(const char* cfgId, const std::string& text, const char* className, const char* property,
                long long limit) {
    const std::string description = text + "#" + cfgId + ",MOF_Props_" + className + "_" + property + "," +
                                    std::to_string(limit) + "#";
    throw CIMException(__FILE__, __LINE__, CIMException::INVALID_PARAMETER, description.c_str());
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

void throwMethodNotFound() { throw CIMException(__FILE__, __LINE__, CIMException::METHOD_NOT_FOUND); }

}  // namespace zep
