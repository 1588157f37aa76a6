// Class provider of QEL_ZEPAlderSetting: the Alder settings, read from the
// cache and changed one property at a time, each accepted change sent to the
// gateway before the next property is looked at.
#ifndef QEL_ZEPALDERSETTINGPROVIDER_H
#define QEL_ZEPALDERSETTINGPROVIDER_H

#include "QEL_ZEPAlderSetting.h"
#include "ZepClassProvider.h"
#include "ZepProviderNames.h"

struct QEL_ZEPAlderSettingTraits {
    typedef QEL_ZEPAlderSetting Object;
    typedef QEL_ZEPAlderSettingInstanceManager Registry;
    enum { kTerminal = 0 };
    static const char* className() { return "QEL_ZEPAlderSetting"; }
    static void install();
    static const zep::PropertyGetter<Object>* getters(size_t& count);
    static const zep::PropertySetter<Object>* setters(size_t& count);
};

class QEL_ZEPAlderSettingProvider : public zep::ClassProvider<QEL_ZEPAlderSettingTraits> {
public:
    ZEP_CLASS_PROVIDER_NAMES(QEL_ZEPAlderSetting)
};

#endif  // QEL_ZEPALDERSETTINGPROVIDER_H
