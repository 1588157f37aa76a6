#include "QEL_ZEPBirchTerminalProvider.h"

void QEL_ZEPBirchTerminalTraits::install() {
    zep::installGatewayRegistry<QEL_ZEPBirchTerminal, QEL_ZEPBirchTerminalImplInstanceManager>();
}

const zep::PropertyGetter<QEL_ZEPBirchTerminal>* QEL_ZEPBirchTerminalTraits::getters(size_t& count) {
    static const zep::PropertyGetter<Object> table[] = {
        zep::getter<&Object::getDN>("DN"),
        zep::getter<&Object::getMOTPS>("MOTPS"),
        zep::getter<&Object::getHWID>("HWID"),
        zep::getter<&Object::getSetStatus>("SetStatus"),
        zep::getter<&Object::getMODN>("MODN"),
        zep::getter<&Object::getSystemCreationClassName>("SystemCreationClassName"),
        zep::getter<&Object::getSystemName>("SystemName"),
        zep::getter<&Object::getCreationClassName>("CreationClassName"),
        zep::getter<&Object::getDeviceID>("DeviceID"),
    };
    count = sizeof table / sizeof table[0];
    return table;
}

const zep::PropertySetter<QEL_ZEPBirchTerminal>* QEL_ZEPBirchTerminalTraits::setters(size_t& count) {
    static const zep::PropertySetter<Object> table[] = {
        zep::textSetter<&Object::setMODN>("MODN", 34, zep::kNullSkipped),
    };
    count = sizeof table / sizeof table[0];
    return table;
}
