// Class provider of QEL_ZEPBirchSetting: the Birch settings, read from the
// cache and changed one property at a time, each accepted change sent to the
// gateway before the next property is looked at.
#ifndef QEL_ZEPBIRCHSETTINGPROVIDER_H
#define QEL_ZEPBIRCHSETTINGPROVIDER_H

#include "QEL_ZEPBirchSetting.h"
#include "ZepClassProvider.h"
#include "ZepProviderNames.h"

struct QEL_ZEPBirchSettingTraits {
    typedef QEL_ZEPBirchSetting Object;
    typedef QEL_ZEPBirchSettingInstanceManager Registry;
    enum { kTerminal = 0 };
    static const char* className() { return "QEL_ZEPBirchSetting"; }
    static void install();
    static const zep::PropertyGetter<Object>* getters(size_t& count);
    static const zep::PropertySetter<Object>* setters(size_t& count);
};

class QEL_ZEPBirchSettingProvider : public zep::ClassProvider<QEL_ZEPBirchSettingTraits> {
public:
    ZEP_CLASS_PROVIDER_NAMES(QEL_ZEPBirchSetting)
};

#endif  // QEL_ZEPBIRCHSETTINGPROVIDER_H
