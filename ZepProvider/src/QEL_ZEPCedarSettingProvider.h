// Class provider of QEL_ZEPCedarSetting: the Cedar settings, read from the
// cache and changed one property at a time, each accepted change sent to the
// gateway before the next property is looked at.
#ifndef QEL_ZEPCEDARSETTINGPROVIDER_H
#define QEL_ZEPCEDARSETTINGPROVIDER_H

#include "QEL_ZEPCedarSetting.h"
#include "ZepClassProvider.h"
#include "ZepProviderNames.h"

struct QEL_ZEPCedarSettingTraits {
    typedef QEL_ZEPCedarSetting Object;
    typedef QEL_ZEPCedarSettingInstanceManager Registry;
    enum { kTerminal = 0 };
    static const char* className() { return "QEL_ZEPCedarSetting"; }
    static void install();
    static const zep::PropertyGetter<Object>* getters(size_t& count);
    static const zep::PropertySetter<Object>* setters(size_t& count);
};

class QEL_ZEPCedarSettingProvider : public zep::ClassProvider<QEL_ZEPCedarSettingTraits> {
public:
    ZEP_CLASS_PROVIDER_NAMES(QEL_ZEPCedarSetting)
};

#endif  // QEL_ZEPCEDARSETTINGPROVIDER_H
