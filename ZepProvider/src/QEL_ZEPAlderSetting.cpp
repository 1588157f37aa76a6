#include "QEL_ZEPAlderSetting.h"

namespace {

const char kClassName[] = "QEL_ZEPAlderSetting";

// The gateway's item numbers for the Alder settings.
enum Item : uint32_t {
    kItemVoipTrunkAccessCode = 19,
    kItemTestLocalModeTimeout = 23,
};

const zep::SettingLogTexts kNoLog = {0, 0};

typedef sZepAldrCache R;

}  // namespace

QEL_ZEPAlderSetting::QEL_ZEPAlderSetting(const std::string& instanceID) : m_InstanceID(instanceID) {
    theInstanceManager->add(this);
}

QEL_ZEPAlderSetting::~QEL_ZEPAlderSetting() { theInstanceManager->remove(this); }

QEL_ZEPAlderSettingImpl::QEL_ZEPAlderSettingImpl(const sZepAldrCache& record) : SettingImpl(kClassName, record) {}

int QEL_ZEPAlderSettingImpl::getVoipTrunkAccessCode(std::string& value, zep::Qualifiers&) const {
    return zep::readText(m_record.getVoipTrunkAccessCode(), value);
}
int QEL_ZEPAlderSettingImpl::setVoipTrunkAccessCode(std::string value) {
    return zep::writeText(m_record, &R::setVoipTrunkAccessCode, &R::getVoipTrunkAccessCode,
                          kItemVoipTrunkAccessCode, value);
}

int QEL_ZEPAlderSettingImpl::getTestLocalModeTimeout(unsigned char& value, zep::Qualifiers&) const {
    return zep::readNumber(m_record.getTestLocalModeTimeout(), value);
}
int QEL_ZEPAlderSettingImpl::setTestLocalModeTimeout(unsigned char value) {
    return zep::writeNumber(m_record, &R::setTestLocalModeTimeout, kItemTestLocalModeTimeout, value);
}

void QEL_ZEPAlderSettingImplInstanceManager::ZepCallback(sZepToOamEvents* event) {
    zep::handleSettingEvent<QEL_ZEPAlderSettingImplInstanceManager, QEL_ZEPAlderSettingImpl>(event, kClassName,
                                                                                            kNoLog);
}
