// Class provider of QEL_ZEPBirchSetting: the Birch settings, read from the
// cache and changed one property at a time, each accepted change sent to the
// gateway.
#ifndef QEL_ZEPBIRCHSETTINGPROVIDER_H
#define QEL_ZEPBIRCHSETTINGPROVIDER_H

#include "QEL_ZEPBirchSetting.h"
#include "ZepProviderNames.h"

ZEP_CLASS_PROVIDER(QEL_ZEPBirchSetting, ZEP_SETTING_KEYS, 0)

#endif  // QEL_ZEPBIRCHSETTINGPROVIDER_H
