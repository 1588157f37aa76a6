// Class provider of QEL_ZEPBirchTerminal: MODN (34) is writable, a null value
// leaving it unchanged; methods RedirectSet and FindByInstanceName.
#ifndef QEL_ZEPBIRCHTERMINALPROVIDER_H
#define QEL_ZEPBIRCHTERMINALPROVIDER_H

#include "QEL_ZEPBirchTerminal.h"
#include "ZepClassProvider.h"
#include "ZepProviderNames.h"

struct QEL_ZEPBirchTerminalTraits {
    typedef QEL_ZEPBirchTerminal Object;
    typedef QEL_ZEPBirchTerminalInstanceManager Registry;
    enum { kTerminal = 1 };
    static const char* className() { return QEL_ZEPBirchTerminalClass::kClassName; }
    static void install();
    static const zep::PropertyGetter<Object>* getters(size_t& count);
    static const zep::PropertySetter<Object>* setters(size_t& count);
};

class QEL_ZEPBirchTerminalProvider : public zep::ClassProvider<QEL_ZEPBirchTerminalTraits> {
public:
    ZEP_CLASS_PROVIDER_NAMES(QEL_ZEPBirchTerminal)
};

#endif  // QEL_ZEPBIRCHTERMINALPROVIDER_H
