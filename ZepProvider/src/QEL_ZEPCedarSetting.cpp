#include "QEL_ZEPCedarSetting.h"

namespace {

const char kClassName[] = "QEL_ZEPCedarSetting";

// The gateway's item numbers for the Cedar settings.
enum Item : uint32_t {
    kItemPrimaryNCSAddr = 1,
    kItemAlternateNCSAddr = 2,
    kItemNCSPort = 3,
    kItemHeartBeatPort = 4,
    kItemVoipTrunkAccessCode = 5,
    kItemTestLocalModeTimeout = 6,
    kItemH323Id = 8,
    kItemNPI = 9,
    kItemTON = 10,
    kItemNodeId = 11,
    kItemAccessCodeLength = 16,
};

const zep::SettingLogTexts kLog = {
    "QEL_ZEPCedarSettingImplInstanceManager::ZepCallback: Adding a new entry",
    "QEL_ZEPCedarSettingImplInstanceManager::ZepCallback: dynamic_cast returned NULL",
};

typedef sZepCedarCache R;

}  // namespace

QEL_ZEPCedarSetting::QEL_ZEPCedarSetting(const std::string& instanceID) : m_InstanceID(instanceID) {
    theInstanceManager->add(this);
}

QEL_ZEPCedarSetting::~QEL_ZEPCedarSetting() { theInstanceManager->remove(this); }

QEL_ZEPCedarSettingImpl::QEL_ZEPCedarSettingImpl(const sZepCedarCache& record) : SettingImpl(kClassName, record) {}

int QEL_ZEPCedarSettingImpl::getVoipTrunkAccessCode(std::string& value, zep::Qualifiers&) const {
    return zep::readText(m_record.getVoipTrunkAccessCode(), value);
}
int QEL_ZEPCedarSettingImpl::setVoipTrunkAccessCode(std::string value) {
    return zep::writeText(m_record, &R::setVoipTrunkAccessCode, &R::getVoipTrunkAccessCode,
                          kItemVoipTrunkAccessCode, value);
}

int QEL_ZEPCedarSettingImpl::getTestLocalModeTimeout(unsigned char& value, zep::Qualifiers&) const {
    return zep::readNumber(m_record.getTestLocalModeTimeout(), value);
}
int QEL_ZEPCedarSettingImpl::setTestLocalModeTimeout(unsigned char value) {
    return zep::writeNumber(m_record, &R::setTestLocalModeTimeout, kItemTestLocalModeTimeout, value);
}

int QEL_ZEPCedarSettingImpl::getPrimaryNCSAddr(std::string& value, zep::Qualifiers&) const {
    return zep::readAddress(m_record.getPrimaryNCSAddr(), value);
}
int QEL_ZEPCedarSettingImpl::setPrimaryNCSAddr(std::string value) {
    return zep::writeAddress(m_record, &R::setPrimaryNCSAddr, kItemPrimaryNCSAddr, value);
}

int QEL_ZEPCedarSettingImpl::getAlternateNCSAddr(std::string& value, zep::Qualifiers&) const {
    return zep::readAddress(m_record.getAlternateNCSAddr(), value);
}
int QEL_ZEPCedarSettingImpl::setAlternateNCSAddr(std::string value) {
    return zep::writeAddress(m_record, &R::setAlternateNCSAddr, kItemAlternateNCSAddr, value);
}

int QEL_ZEPCedarSettingImpl::getNCSPort(unsigned short& value, zep::Qualifiers&) const {
    return zep::readNumber(m_record.getNCSPort(), value);
}
int QEL_ZEPCedarSettingImpl::setNCSPort(unsigned short value) {
    return zep::writeNumber(m_record, &R::setNCSPort, kItemNCSPort, value);
}

int QEL_ZEPCedarSettingImpl::getHeartBeatPort(unsigned short& value, zep::Qualifiers&) const {
    return zep::readNumber(m_record.getHeartBeatPort(), value);
}
int QEL_ZEPCedarSettingImpl::setHeartBeatPort(unsigned short value) {
    return zep::writeNumber(m_record, &R::setHeartBeatPort, kItemHeartBeatPort, value);
}

int QEL_ZEPCedarSettingImpl::getNodeId(unsigned short& value, zep::Qualifiers&) const {
    return zep::readNumber(m_record.getNodeId(), value);
}
int QEL_ZEPCedarSettingImpl::setNodeId(unsigned short value) {
    return zep::writeNumber(m_record, &R::setNodeId, kItemNodeId, value);
}

int QEL_ZEPCedarSettingImpl::getH323Id(std::string& value, zep::Qualifiers&) const {
    return zep::readText(m_record.getH323Id(), value);
}
int QEL_ZEPCedarSettingImpl::setH323Id(std::string value) {
    return zep::writeText(m_record, &R::setH323Id, &R::getH323Id, kItemH323Id, value);
}

int QEL_ZEPCedarSettingImpl::getNPI(unsigned char& value, zep::Qualifiers&) const {
    return zep::readNumber(m_record.getNPI(), value);
}
int QEL_ZEPCedarSettingImpl::setNPI(unsigned char value) {
    return zep::writeNumber(m_record, &R::setNPI, kItemNPI, value);
}

int QEL_ZEPCedarSettingImpl::getTON(unsigned char& value, zep::Qualifiers&) const {
    return zep::readNumber(m_record.getTON(), value);
}
int QEL_ZEPCedarSettingImpl::setTON(unsigned char value) {
    return zep::writeNumber(m_record, &R::setTON, kItemTON, value);
}

int QEL_ZEPCedarSettingImpl::getAccessCodeLength(unsigned int& value, zep::Qualifiers&) const {
    return zep::readNumber(m_record.getAccessCodeLength(), value);
}
int QEL_ZEPCedarSettingImpl::setAccessCodeLength(unsigned int value) {
    return zep::writeNumber(m_record, &R::setAccessCodeLength, kItemAccessCodeLength, value);
}

void QEL_ZEPCedarSettingImplInstanceManager::ZepCallback(sZepToOamEvents* event) {
    zep::handleSettingEvent<QEL_ZEPCedarSettingImplInstanceManager, QEL_ZEPCedarSettingImpl>(event, kClassName,
                                                                                            kLog);
}
