// Class provider of QEL_ZEPAlderTerminal: MODN is writable, a null value
// leaving it unchanged; methods RedirectSet and FindByInstanceName.
#ifndef QEL_ZEPALDERTERMINALPROVIDER_H
#define QEL_ZEPALDERTERMINALPROVIDER_H

#include "QEL_ZEPAlderTerminal.h"
#include "ZepProviderNames.h"

ZEP_CLASS_PROVIDER(QEL_ZEPAlderTerminal, ZEP_TERMINAL_KEYS, 1)

#endif  // QEL_ZEPALDERTERMINALPROVIDER_H
