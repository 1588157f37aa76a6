#include "QEL_ZEPBirchSettingProvider.h"

void QEL_ZEPBirchSettingTraits::install() {
    zep::installGatewayRegistry<QEL_ZEPBirchSetting, QEL_ZEPBirchSettingImplInstanceManager>();
}

const zep::PropertyGetter<QEL_ZEPBirchSetting>* QEL_ZEPBirchSettingTraits::getters(size_t& count) {
    static const zep::PropertyGetter<Object> table[] = {
        zep::getter<&Object::getVoipTrunkAccessCode>("VoipTrunkAccessCode"),
        zep::getter<&Object::getTestLocalModeTimeOut>("TestLocalModeTimeOut"),
        zep::getter<&Object::getPrimaryTpsAddress>("PrimaryTpsAddress"),
        zep::getter<&Object::getPrimaryTpsPort>("PrimaryTpsPort"),
        zep::getter<&Object::getInstanceID>("InstanceID"),
    };
    count = sizeof table / sizeof table[0];
    return table;
}

const zep::PropertySetter<QEL_ZEPBirchSetting>* QEL_ZEPBirchSettingTraits::setters(size_t& count) {
    static const zep::PropertySetter<Object> table[] = {
        zep::textSetter<&Object::setVoipTrunkAccessCode>("VoipTrunkAccessCode", 16, zep::kNullSkipped),
        zep::numberSetter<&Object::setTestLocalModeTimeOut>("TestLocalModeTimeOut", 10, 2),
        zep::textSetter<&Object::setPrimaryTpsAddress>("PrimaryTpsAddress", 16, zep::kNullSkipped),
        zep::numberSetter<&Object::setPrimaryTpsPort>("PrimaryTpsPort"),
    };
    count = sizeof table / sizeof table[0];
    return table;
}
