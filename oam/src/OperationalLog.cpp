#include "OperationalLog.h"

#include <atomic>

#include "HulDiag.h"
#include "tevo.h"

namespace {

// The module's handle; 0 while none is registered. Read by every logging
// thread, written only by the connection's start and end.
std::atomic<uint32_t> sLogH{0};

constexpr char kAgent[] = "QEL_ZEPProviderAgent";
constexpr char kComponent[] = "ZepProvider";
constexpr char kModule[] = "QEL_ZEPProvider";
constexpr char kFileName[] = "QEL_ZEPProvider.log";

constexpr bool in(uint32_t code, uint32_t low, uint32_t high) { return code >= low && code <= high; }

// Severity for a message code, tested in table order; 0 when outside the table.
constexpr uint16_t severityOf(uint32_t code) {
    if (code == ZEP_LOG_CODE_INFO || in(code, 57000, 57249)) return 4;
    if (code == ZEP_LOG_CODE_WARNING || in(code, 57250, 57499)) return 2;
    if (code == ZEP_LOG_CODE_ERROR || in(code, 57500, 57749)) return 1;
    if (code == ZEP_LOG_CODE_CRITICAL || in(code, 57750, 57999)) return 1;
    return 0;
}

}  // namespace

uint32_t CreateOperationalLog() {
    if (sLogH.load() != 0) return ZEP_OAM_ALREADY_DONE;
    HUL_DIAG_HANDLE handle = 0;
    const uint32_t rc = HulDiagRegisterModule(kAgent, kComponent, kModule, kFileName, &handle);
    sLogH.store(rc == 0 ? handle : 0);
    return rc;
}

uint32_t DestroyOperationalLog() {
    osSleep(1);
    HulDiagDeregisterModule(sLogH.exchange(0));
    return ZEP_OAM_OK;
}

uint32_t AddToLog(uint32_t handle, uint32_t code, const char* text, uint32_t flag,
                  uint32_t sleep) {
    if (!text) return ZEP_OAM_INVALID_ARG;
    if (handle == 0) handle = sLogH.load();
    const bool coded = flag == 1;
    const uint8_t kind = coded ? ZEP_LOG_KIND_CODED : ZEP_LOG_KIND_PLAIN;
    const uint32_t id = coded ? code : ZEP_LOG_PLAIN_ID;
    const uint16_t severity = severityOf(code);
    if (severity == 0) return ZEP_OAM_INVALID_ARG;
    const uint32_t rc = HulDiagAddLogEntry(handle, kind, severity, id, text);
    if (sleep == 1) osSleep(1);
    return rc;
}
