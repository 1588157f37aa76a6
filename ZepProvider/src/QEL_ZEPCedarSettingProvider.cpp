#include "QEL_ZEPCedarSettingProvider.h"

void QEL_ZEPCedarSettingTraits::install() {
    zep::installGatewayRegistry<QEL_ZEPCedarSetting, QEL_ZEPCedarSettingImplInstanceManager>();
}

const zep::PropertyGetter<QEL_ZEPCedarSetting>* QEL_ZEPCedarSettingTraits::getters(size_t& count) {
    static const zep::PropertyGetter<Object> table[] = {
        zep::getter<&Object::getVoipTrunkAccessCode>("VoipTrunkAccessCode"),
        zep::getter<&Object::getTestLocalModeTimeout>("TestLocalModeTimeout"),
        zep::getter<&Object::getPrimaryNCSAddr>("PrimaryNCSAddr"),
        zep::getter<&Object::getAlternateNCSAddr>("AlternateNCSAddr"),
        zep::getter<&Object::getNCSPort>("NCSPort"),
        zep::getter<&Object::getHeartBeatPort>("HeartBeatPort"),
        zep::getter<&Object::getNodeId>("NodeId"),
        zep::getter<&Object::getH323Id>("H323Id"),
        zep::getter<&Object::getNPI>("NPI"),
        zep::getter<&Object::getTON>("TON"),
        zep::getter<&Object::getAccessCodeLength>("AccessCodeLength"),
        zep::getter<&Object::getInstanceID>("InstanceID"),
    };
    count = sizeof table / sizeof table[0];
    return table;
}

const zep::PropertySetter<QEL_ZEPCedarSetting>* QEL_ZEPCedarSettingTraits::setters(size_t& count) {
    static const zep::PropertySetter<Object> table[] = {
        zep::textSetter<&Object::setVoipTrunkAccessCode>("VoipTrunkAccessCode", 16, zep::kNullSkipped),
        zep::numberSetter<&Object::setTestLocalModeTimeout>("TestLocalModeTimeout", 10, 2),
        zep::textSetter<&Object::setPrimaryNCSAddr>("PrimaryNCSAddr", 16, zep::kNullSkipped),
        zep::textSetter<&Object::setAlternateNCSAddr>("AlternateNCSAddr", 16, zep::kNullSkipped),
        zep::numberSetter<&Object::setNCSPort>("NCSPort"),
        zep::numberSetter<&Object::setHeartBeatPort>("HeartBeatPort"),
        zep::numberSetter<&Object::setNodeId>("NodeId", 9999),
        zep::textSetter<&Object::setH323Id>("H323Id", 256, zep::kNullSkipped),
        zep::numberSetter<&Object::setNPI>("NPI", 5),
        zep::numberSetter<&Object::setTON>("TON", 7),
        zep::numberSetter<&Object::setAccessCodeLength>("AccessCodeLength", 34),
    };
    count = sizeof table / sizeof table[0];
    return table;
}
