// Class provider of QEL_ZEPCedarSetting: the Cedar settings, read from the
// cache and changed one property at a time, each accepted change sent to the
// gateway.
#ifndef QEL_ZEPCEDARSETTINGPROVIDER_H
#define QEL_ZEPCEDARSETTINGPROVIDER_H

#include "QEL_ZEPCedarSetting.h"
#include "ZepProviderNames.h"

ZEP_CLASS_PROVIDER(QEL_ZEPCedarSetting, ZEP_SETTING_KEYS, 0)

#endif  // QEL_ZEPCEDARSETTINGPROVIDER_H
