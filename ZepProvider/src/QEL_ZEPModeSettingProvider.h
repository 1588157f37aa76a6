// Class provider of QEL_ZEPModeSetting: read-only; a modify that names
// "dummy" with a value is refused, every other property is ignored.
#ifndef QEL_ZEPMODESETTINGPROVIDER_H
#define QEL_ZEPMODESETTINGPROVIDER_H

#include "QEL_ZEPModeSetting.h"
#include "ZepClassProvider.h"
#include "ZepProviderNames.h"

struct QEL_ZEPModeSettingTraits {
    typedef QEL_ZEPModeSetting Object;
    typedef QEL_ZEPModeSettingInstanceManager Registry;
    enum { kTerminal = 0 };
    static const char* className() { return "QEL_ZEPModeSetting"; }
    static void install();
    static const zep::PropertyGetter<Object>* getters(size_t& count);
    static const zep::PropertySetter<Object>* setters(size_t& count);
};

class QEL_ZEPModeSettingProvider : public zep::ClassProvider<QEL_ZEPModeSettingTraits> {
public:
    ZEP_CLASS_PROVIDER_NAMES(QEL_ZEPModeSetting)
};

#endif  // QEL_ZEPMODESETTINGPROVIDER_H
