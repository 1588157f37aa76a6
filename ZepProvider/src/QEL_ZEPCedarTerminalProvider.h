// Class provider of QEL_ZEPCedarTerminal: MOTN (15) and BUID (34) are
// writable, a null value clearing the field; methods RedirectSet and
// FindByInstanceName.
#ifndef QEL_ZEPCEDARTERMINALPROVIDER_H
#define QEL_ZEPCEDARTERMINALPROVIDER_H

#include "QEL_ZEPCedarTerminal.h"
#include "ZepClassProvider.h"
#include "ZepProviderNames.h"

struct QEL_ZEPCedarTerminalTraits {
    typedef QEL_ZEPCedarTerminal Object;
    typedef QEL_ZEPCedarTerminalInstanceManager Registry;
    enum { kTerminal = 1 };
    static const char* className() { return QEL_ZEPCedarTerminalClass::kClassName; }
    static void install();
    static const zep::PropertyGetter<Object>* getters(size_t& count);
    static const zep::PropertySetter<Object>* setters(size_t& count);
};

class QEL_ZEPCedarTerminalProvider : public zep::ClassProvider<QEL_ZEPCedarTerminalTraits> {
public:
    ZEP_CLASS_PROVIDER_NAMES(QEL_ZEPCedarTerminal)
};

#endif  // QEL_ZEPCEDARTERMINALPROVIDER_H
