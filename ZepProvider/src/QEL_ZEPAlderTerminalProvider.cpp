#include "QEL_ZEPAlderTerminalProvider.h"

void QEL_ZEPAlderTerminalTraits::install() {
    zep::installGatewayRegistry<QEL_ZEPAlderTerminal, QEL_ZEPAlderTerminalImplInstanceManager>();
}

const zep::PropertyGetter<QEL_ZEPAlderTerminal>* QEL_ZEPAlderTerminalTraits::getters(size_t& count) {
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

const zep::PropertySetter<QEL_ZEPAlderTerminal>* QEL_ZEPAlderTerminalTraits::setters(size_t& count) {
    static const zep::PropertySetter<Object> table[] = {
        zep::textSetter<&Object::setMODN>("MODN", 34, zep::kNullSkipped),
    };
    count = sizeof table / sizeof table[0];
    return table;
}
