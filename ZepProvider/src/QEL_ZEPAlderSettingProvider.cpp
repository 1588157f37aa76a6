#include "QEL_ZEPAlderSettingProvider.h"

void QEL_ZEPAlderSettingTraits::install() {
    zep::installGatewayRegistry<QEL_ZEPAlderSetting, QEL_ZEPAlderSettingImplInstanceManager>();
}

const zep::PropertyGetter<QEL_ZEPAlderSetting>* QEL_ZEPAlderSettingTraits::getters(size_t& count) {
    static const zep::PropertyGetter<Object> table[] = {
        zep::getter<&Object::getVoipTrunkAccessCode>("VoipTrunkAccessCode"),
        zep::getter<&Object::getTestLocalModeTimeout>("TestLocalModeTimeout"),
        zep::getter<&Object::getInstanceID>("InstanceID"),
    };
    count = sizeof table / sizeof table[0];
    return table;
}

const zep::PropertySetter<QEL_ZEPAlderSetting>* QEL_ZEPAlderSettingTraits::setters(size_t& count) {
    static const zep::PropertySetter<Object> table[] = {
        zep::textSetter<&Object::setVoipTrunkAccessCode>("VoipTrunkAccessCode", 16, zep::kNullSkipped),
        zep::numberSetter<&Object::setTestLocalModeTimeout>("TestLocalModeTimeout", 10, 2),
    };
    count = sizeof table / sizeof table[0];
    return table;
}
