// Class provider of QEL_ZEPAlderSetting: the Alder settings, read from the
// cache and changed one property at a time, each accepted change sent to the
// gateway.
#ifndef QEL_ZEPALDERSETTINGPROVIDER_H
#define QEL_ZEPALDERSETTINGPROVIDER_H

#include "QEL_ZEPAlderSetting.h"
#include "ZepProviderNames.h"

ZEP_CLASS_PROVIDER(QEL_ZEPAlderSetting, ZEP_SETTING_KEYS, 0)

#endif  // QEL_ZEPALDERSETTINGPROVIDER_H
