// QEL_ZEPCedarTerminal: the IP terminals registered towards a Cedar call
// server (call-server type 0), one instance per directory number. Clients
// change MOTN and BUID; a terminal that re-registers under a new DN with the
// same hardware address replaces its old entry.
#ifndef QEL_ZEPCEDARTERMINAL_H
#define QEL_ZEPCEDARTERMINAL_H

#include "ZepTerminal.h"

#include <string>
#include <vector>

// A null MOTN or BUID clears the field.
// clang-format off
#define QEL_ZEPCedarTerminal_PROPERTIES(P)                                              \
    ZEP_TERMINAL_SHARED_PROPERTIES(P)                                                   \
    P(FwVersion, std::string, RO, TextField, 0, zep::kNoLimits)                         \
    P(MOTN,      std::string, RW, TextField, 0, zep::maxLength(15, zep::kNullClears))   \
    P(BUID,      std::string, RW, TextField, 0, zep::maxLength(34, zep::kNullClears))
// clang-format on

ZEP_TERMINAL_CLASS(QEL_ZEPCedarTerminal)

struct QEL_ZEPCedarTerminalClass : zep::TerminalClassDefaults {
    static constexpr uint32_t kMoType = ZEP_MOTYPE_CEDAR;
    ZEP_TERMINAL_LOG_TEXTS(QEL_ZEPCedarTerminal)
    static constexpr char kAdding[] =
        "QEL_ZEPCedarTerminalImplInstanceManager::ZepCallback: Adding a new entry dn=%d";
    // "conflit": log readers match the line as it stands.
    static constexpr char kAddressConflict[] =
        "QEL_ZEPCedarTerminalImplInstanceManager::DN:%d, Delete entry due to Mac Address conflit";
};

// A cached Cedar terminal. Every object is also listed by its hardware
// address (for the address rule); it is created, updated and destroyed under
// the class lock only, by the event handler.
class QEL_ZEPCedarTerminalImpl
    : public zep::TerminalImpl<QEL_ZEPCedarTerminal, QEL_ZEPCedarTerminalClass> {
public:
    explicit QEL_ZEPCedarTerminalImpl(const sZepIPSetTableGet& record);
    virtual ~QEL_ZEPCedarTerminalImpl();
    QEL_ZEPCedarTerminal_PROPERTIES(ZEP_CACHED_OPERATIONS)

    // As the shared one, keeping the address index in step with the record.
    void UpdateData(const sZepIPSetTableGet& record);

    // The cached Cedar terminals holding these six hardware-address bytes,
    // in registry order. The caller holds the class lock.
    static std::vector<QEL_ZEPCedarTerminalImpl*> holdersOf(const unsigned char* mac);

private:
    const unsigned char* hardwareAddress() const { return record().data() + sZepIPSetTableGet::kHWID; }
};

class QEL_ZEPCedarTerminalImplInstanceManager
    : public zep::TerminalGatewayRegistry<QEL_ZEPCedarTerminalInstanceManager,
                                          QEL_ZEPCedarTerminalImplInstanceManager, QEL_ZEPCedarTerminalImpl> {
public:
    // A hardware address may be known under one DN only: destroys every
    // cached Cedar terminal that holds these six bytes, each with a log line.
    static void DeleteInstancesByMacAddress(unsigned char* mac);
    // Runs the address rule before a terminal with a new DN is added.
    static void beforeAddingTerminal(QEL_ZEPCedarTerminalImplInstanceManager&, const sZepIPSetTableGet& record);
};

#endif  // QEL_ZEPCEDARTERMINAL_H
