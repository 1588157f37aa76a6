// Class provider of QEL_ZEPBirchTerminal: as the Alder terminals' for the
// Birch call-server type.
#ifndef QEL_ZEPBIRCHTERMINALPROVIDER_H
#define QEL_ZEPBIRCHTERMINALPROVIDER_H

#include "QEL_ZEPBirchTerminal.h"
#include "ZepProviderNames.h"

ZEP_CLASS_PROVIDER(QEL_ZEPBirchTerminal, ZEP_TERMINAL_KEYS, 1)

#endif  // QEL_ZEPBIRCHTERMINALPROVIDER_H
