// QEL_ZEPBirchTerminal: the IP terminals registered towards a Birch call
// server (call-server type 2), one instance per directory number. As the
// Alder terminals for the other call-server type, except that the handler
// logs the gateway events it does not recognise.
#ifndef QEL_ZEPBIRCHTERMINAL_H
#define QEL_ZEPBIRCHTERMINAL_H

#include "ZepTerminal.h"

#include <string>

// clang-format off
#define QEL_ZEPBirchTerminal_PROPERTIES(P)                                  \
    ZEP_TERMINAL_SHARED_PROPERTIES(P)                                       \
    P(MODN, std::string, RW, TextField, 0, zep::maxLength(34))
// clang-format on

ZEP_TERMINAL_CLASS(QEL_ZEPBirchTerminal)

struct QEL_ZEPBirchTerminalClass {
    static constexpr uint32_t kMoType = ZEP_MOTYPE_BIRCH;
    ZEP_TERMINAL_LOG_TEXTS(QEL_ZEPBirchTerminal)
    // "den": log readers match the line as it stands.
    static constexpr char kAdding[] = "QEL_ZEPBirchTerminalImplInstanceManager::ZepCallback: Adding a new entry den=%d";
    static constexpr char kUnknownEvent[] = "QEL_ZEPBirchTerminalImplInstanceManager::ZepCallback: Unknown event type";
    // Every event type but link up that terminals do not act on is logged.
    static void onOtherEvent(uint32_t type) {
        if (type != ZEP_EVT_LINK_UP) zep::logTerminalLine(kUnknownEvent);
    }
};

ZEP_TERMINAL_IMPL_CLASSES(QEL_ZEPBirchTerminal)

#endif  // QEL_ZEPBIRCHTERMINAL_H
