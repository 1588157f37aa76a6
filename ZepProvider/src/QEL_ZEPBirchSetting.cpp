#include "QEL_ZEPBirchSetting.h"

namespace {

const char kClassName[] = "QEL_ZEPBirchSetting";

// The gateway's item numbers for the Birch settings.
enum Item : uint32_t {
    kItemPrimaryTpsAddress = 20,
    kItemPrimaryTpsPort = 21,
    kItemVoipTrunkAccessCode = 22,
    kItemTestLocalModeTimeOut = 24,
};

const zep::SettingLogTexts kNoLog = {0, 0};

typedef sZepBirchCache R;

}  // namespace

QEL_ZEPBirchSetting::QEL_ZEPBirchSetting(const std::string& instanceID) : m_InstanceID(instanceID) {
    theInstanceManager->add(this);
}

QEL_ZEPBirchSetting::~QEL_ZEPBirchSetting() { theInstanceManager->remove(this); }

QEL_ZEPBirchSettingImpl::QEL_ZEPBirchSettingImpl(const sZepBirchCache& record) : SettingImpl(kClassName, record) {}

int QEL_ZEPBirchSettingImpl::getVoipTrunkAccessCode(std::string& value, zep::Qualifiers&) const {
    return zep::readText(m_record.getVoipTrunkAccessCode(), value);
}
int QEL_ZEPBirchSettingImpl::setVoipTrunkAccessCode(std::string value) {
    return zep::writeText(m_record, &R::setVoipTrunkAccessCode, &R::getVoipTrunkAccessCode,
                          kItemVoipTrunkAccessCode, value);
}

int QEL_ZEPBirchSettingImpl::getTestLocalModeTimeOut(unsigned char& value, zep::Qualifiers&) const {
    return zep::readNumber(m_record.getTestLocalModeTimeOut(), value);
}
int QEL_ZEPBirchSettingImpl::setTestLocalModeTimeOut(unsigned char value) {
    return zep::writeNumber(m_record, &R::setTestLocalModeTimeOut, kItemTestLocalModeTimeOut, value);
}

int QEL_ZEPBirchSettingImpl::getPrimaryTpsAddress(std::string& value, zep::Qualifiers&) const {
    return zep::readAddress(m_record.getPrimaryTpsAddress(), value);
}
int QEL_ZEPBirchSettingImpl::setPrimaryTpsAddress(std::string value) {
    return zep::writeAddress(m_record, &R::setPrimaryTpsAddress, kItemPrimaryTpsAddress, value);
}

int QEL_ZEPBirchSettingImpl::getPrimaryTpsPort(unsigned short& value, zep::Qualifiers&) const {
    return zep::readNumber(m_record.getPrimaryTpsPort(), value);
}
int QEL_ZEPBirchSettingImpl::setPrimaryTpsPort(unsigned short value) {
    return zep::writeNumber(m_record, &R::setPrimaryTpsPort, kItemPrimaryTpsPort, value);
}

void QEL_ZEPBirchSettingImplInstanceManager::ZepCallback(sZepToOamEvents* event) {
    zep::handleSettingEvent<QEL_ZEPBirchSettingImplInstanceManager, QEL_ZEPBirchSettingImpl>(event, kClassName,
                                                                                            kNoLog);
}
