// The HulDiag entry points: argument checks live in DiagLog; these only keep
// C++ exceptions (allocation failures) from crossing into C callers.
// Export.hpp first: it must be the first to declare the entry points.
#include "Export.hpp"

#include <exception>

#include "DiagLog.hpp"

using hul::diag::DiagLog;

extern "C" {

HUL_DIAG_RESULT HulDiagRegisterModule(const char* agent, const char* component, const char* module,
                                      const char* fileName, HUL_DIAG_HANDLE* handle) {
    try {
        return DiagLog::instance().registerModule(agent, component, module, fileName, handle);
    } catch (const std::exception&) {
        return HUL_DIAG_ERR_IO;
    }
}

HUL_DIAG_RESULT HulDiagAddLogEntry(HUL_DIAG_HANDLE handle, uint8_t kind, uint16_t severity, uint32_t id,
                                   const char* text) {
    try {
        return DiagLog::instance().addEntry(handle, kind, severity, id, text);
    } catch (const std::exception&) {
        return HUL_DIAG_ERR_IO;
    }
}

HUL_DIAG_RESULT HulDiagDeregisterModule(HUL_DIAG_HANDLE handle) {
    try {
        return DiagLog::instance().deregisterModule(handle);
    } catch (const std::exception&) {
        return HUL_DIAG_ERR_IO;
    }
}

}  // extern "C"
