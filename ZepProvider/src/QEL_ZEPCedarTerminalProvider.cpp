#include "QEL_ZEPCedarTerminalProvider.h"

void QEL_ZEPCedarTerminalTraits::install() {
    zep::installGatewayRegistry<QEL_ZEPCedarTerminal, QEL_ZEPCedarTerminalImplInstanceManager>();
}

const zep::PropertyGetter<QEL_ZEPCedarTerminal>* QEL_ZEPCedarTerminalTraits::getters(size_t& count) {
    static const zep::PropertyGetter<Object> table[] = {
        zep::getter<&Object::getDN>("DN"),
        zep::getter<&Object::getMOTPS>("MOTPS"),
        zep::getter<&Object::getHWID>("HWID"),
        zep::getter<&Object::getSetStatus>("SetStatus"),
        zep::getter<&Object::getFwVersion>("FwVersion"),
        zep::getter<&Object::getMOTN>("MOTN"),
        zep::getter<&Object::getBUID>("BUID"),
        zep::getter<&Object::getSystemCreationClassName>("SystemCreationClassName"),
        zep::getter<&Object::getSystemName>("SystemName"),
        zep::getter<&Object::getCreationClassName>("CreationClassName"),
        zep::getter<&Object::getDeviceID>("DeviceID"),
    };
    count = sizeof table / sizeof table[0];
    return table;
}

const zep::PropertySetter<QEL_ZEPCedarTerminal>* QEL_ZEPCedarTerminalTraits::setters(size_t& count) {
    static const zep::PropertySetter<Object> table[] = {
        zep::textSetter<&Object::setMOTN>("MOTN", 15, zep::kNullClears),
        zep::textSetter<&Object::setBUID>("BUID", 34, zep::kNullClears),
    };
    count = sizeof table / sizeof table[0];
    return table;
}
