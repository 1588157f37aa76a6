#include "QEL_ZEPAlderTerminal.h"

QEL_ZEPAlderTerminal::QEL_ZEPAlderTerminal(const std::string& systemCreationClassName,
                                           const std::string& systemName,
                                           const std::string& creationClassName, const std::string& deviceID)
    : m_SystemCreationClassName(systemCreationClassName),
      m_SystemName(systemName),
      m_CreationClassName(creationClassName),
      m_DeviceID(deviceID) {
    theInstanceManager->add(this);
}

QEL_ZEPAlderTerminal::~QEL_ZEPAlderTerminal() { theInstanceManager->remove(this); }

int QEL_ZEPAlderTerminalImpl::getMODN(std::string& value, zep::Qualifiers&) const {
    record().getMODN(value);
    return zep::kPropertyOk;
}

int QEL_ZEPAlderTerminalImpl::setMODN(std::string value) {
    record().setMODN(zep::upToNul(value));
    return zep::kPropertyOk;
}
