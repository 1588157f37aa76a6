// Class provider of QEL_ZEPModeSetting: the gateway's mode, read-only; a
// modify request naming dummy is refused.
#ifndef QEL_ZEPMODESETTINGPROVIDER_H
#define QEL_ZEPMODESETTINGPROVIDER_H

#include "QEL_ZEPModeSetting.h"
#include "ZepProviderNames.h"

ZEP_CLASS_PROVIDER(QEL_ZEPModeSetting, ZEP_SETTING_KEYS, 0)

#endif  // QEL_ZEPMODESETTINGPROVIDER_H
