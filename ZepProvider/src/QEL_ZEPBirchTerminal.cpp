#include "QEL_ZEPBirchTerminal.h"

QEL_ZEPBirchTerminal::QEL_ZEPBirchTerminal(const std::string& systemCreationClassName,
                                           const std::string& systemName,
                                           const std::string& creationClassName, const std::string& deviceID)
    : m_SystemCreationClassName(systemCreationClassName),
      m_SystemName(systemName),
      m_CreationClassName(creationClassName),
      m_DeviceID(deviceID) {
    theInstanceManager->add(this);
}

QEL_ZEPBirchTerminal::~QEL_ZEPBirchTerminal() { theInstanceManager->remove(this); }

int QEL_ZEPBirchTerminalImpl::getMODN(std::string& value, zep::Qualifiers&) const {
    record().getMODN(value);
    return zep::kPropertyOk;
}

int QEL_ZEPBirchTerminalImpl::setMODN(std::string value) {
    record().setMODN(zep::upToNul(value));
    return zep::kPropertyOk;
}

void QEL_ZEPBirchTerminalImplInstanceManager::onOtherEvent(uint32_t type) {
    if (type != ZEP_EVT_LINK_UP) zep::logTerminalLine(QEL_ZEPBirchTerminalClass::kUnknownEvent);
}
