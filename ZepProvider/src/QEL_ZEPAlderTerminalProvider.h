// Class provider of QEL_ZEPAlderTerminal: MODN (34) is writable, a null value
// leaving it unchanged; methods RedirectSet and FindByInstanceName.
#ifndef QEL_ZEPALDERTERMINALPROVIDER_H
#define QEL_ZEPALDERTERMINALPROVIDER_H

#include "QEL_ZEPAlderTerminal.h"
#include "ZepClassProvider.h"
#include "ZepProviderNames.h"

struct QEL_ZEPAlderTerminalTraits {
    typedef QEL_ZEPAlderTerminal Object;
    typedef QEL_ZEPAlderTerminalInstanceManager Registry;
    enum { kTerminal = 1 };
    static const char* className() { return QEL_ZEPAlderTerminalClass::kClassName; }
    static void install();
    static const zep::PropertyGetter<Object>* getters(size_t& count);
    static const zep::PropertySetter<Object>* setters(size_t& count);
};

class QEL_ZEPAlderTerminalProvider : public zep::ClassProvider<QEL_ZEPAlderTerminalTraits> {
public:
    ZEP_CLASS_PROVIDER_NAMES(QEL_ZEPAlderTerminal)
};

#endif  // QEL_ZEPALDERTERMINALPROVIDER_H
