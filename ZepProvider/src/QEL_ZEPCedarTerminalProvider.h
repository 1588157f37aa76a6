// Class provider of QEL_ZEPCedarTerminal: MOTN and BUID are writable, a null
// value clearing the field; methods RedirectSet and FindByInstanceName.
#ifndef QEL_ZEPCEDARTERMINALPROVIDER_H
#define QEL_ZEPCEDARTERMINALPROVIDER_H

#include "QEL_ZEPCedarTerminal.h"
#include "ZepProviderNames.h"

ZEP_CLASS_PROVIDER(QEL_ZEPCedarTerminal, ZEP_TERMINAL_KEYS, 1)

#endif  // QEL_ZEPCEDARTERMINALPROVIDER_H
