#include "QEL_ZEPModeSettingProvider.h"

void QEL_ZEPModeSettingTraits::install() {
    zep::installGatewayRegistry<QEL_ZEPModeSetting, QEL_ZEPModeSettingImplInstanceManager>();
}

const zep::PropertyGetter<QEL_ZEPModeSetting>* QEL_ZEPModeSettingTraits::getters(size_t& count) {
    static const zep::PropertyGetter<Object> table[] = {
        zep::getter<&Object::getMode>("Mode"),
        zep::getter<&Object::getMoType>("MoType"),
        zep::getter<&Object::getdummy>("dummy"),
        zep::getter<&Object::getInstanceID>("InstanceID"),
    };
    count = sizeof table / sizeof table[0];
    return table;
}

const zep::PropertySetter<QEL_ZEPModeSetting>* QEL_ZEPModeSettingTraits::setters(size_t& count) {
    static const zep::PropertySetter<Object> table[] = {
        zep::numberSetter<&Object::setdummy>("dummy"),
    };
    count = sizeof table / sizeof table[0];
    return table;
}
