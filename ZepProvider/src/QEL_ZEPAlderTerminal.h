// QEL_ZEPAlderTerminal: the IP terminals registered towards an Alder call
// server (call-server type 1), one instance per directory number. Clients
// change MODN, the record's 34-byte field that Cedar terminals call BUID;
// FwVersion and MOTN are kept and sent back, not shown. Terminals with equal
// hardware addresses coexist.
#ifndef QEL_ZEPALDERTERMINAL_H
#define QEL_ZEPALDERTERMINAL_H

#include "ZepTerminal.h"

#include <string>

// clang-format off
#define QEL_ZEPAlderTerminal_PROPERTIES(P)                                  \
    ZEP_TERMINAL_SHARED_PROPERTIES(P)                                       \
    P(MODN, std::string, RW, TextField, 0, zep::maxLength(34))
// clang-format on

ZEP_TERMINAL_CLASS(QEL_ZEPAlderTerminal)

struct QEL_ZEPAlderTerminalClass : zep::TerminalClassDefaults {
    static constexpr uint32_t kMoType = ZEP_MOTYPE_ALDER;
    ZEP_TERMINAL_LOG_TEXTS(QEL_ZEPAlderTerminal)
    // "Aldr" and "den": log readers match the line as it stands.
    static constexpr char kAdding[] = "QEL_ZEPAldrTerminalImplInstanceManager::ZepCallback: Adding a new entry den=%d";
};

ZEP_TERMINAL_IMPL_CLASSES(QEL_ZEPAlderTerminal)

#endif  // QEL_ZEPALDERTERMINAL_H
