#include "QEL_ZEPCedarTerminal.h"

#include <cstring>

namespace {

// Never destroyed: the gateway link's tasks may deliver events until the
// process ends, after static objects are gone.
zep::HardwareAddressIndex<QEL_ZEPCedarTerminalImpl>& byHardwareAddress() {
    static auto* index = new zep::HardwareAddressIndex<QEL_ZEPCedarTerminalImpl>;
    return *index;
}

}  // namespace

QEL_ZEPCedarTerminal::QEL_ZEPCedarTerminal(const std::string& systemCreationClassName,
                                           const std::string& systemName,
                                           const std::string& creationClassName, const std::string& deviceID)
    : m_SystemCreationClassName(systemCreationClassName),
      m_SystemName(systemName),
      m_CreationClassName(creationClassName),
      m_DeviceID(deviceID) {
    theInstanceManager->add(this);
}

QEL_ZEPCedarTerminal::~QEL_ZEPCedarTerminal() { theInstanceManager->remove(this); }

QEL_ZEPCedarTerminalImpl::QEL_ZEPCedarTerminalImpl(const sZepIPSetTableGet& record) : TerminalImpl(record) {
    byHardwareAddress().add(hardwareAddress(), this);
}

QEL_ZEPCedarTerminalImpl::~QEL_ZEPCedarTerminalImpl() { byHardwareAddress().remove(hardwareAddress(), this); }

int QEL_ZEPCedarTerminalImpl::getFwVersion(std::string& value, zep::Qualifiers&) const {
    record().getFwVersion(value);
    return zep::kPropertyOk;
}

int QEL_ZEPCedarTerminalImpl::getMOTN(std::string& value, zep::Qualifiers&) const {
    record().getMOTN(value);
    return zep::kPropertyOk;
}

int QEL_ZEPCedarTerminalImpl::setMOTN(std::string value) {
    record().setMOTN(zep::upToNul(value));
    return zep::kPropertyOk;
}

int QEL_ZEPCedarTerminalImpl::getBUID(std::string& value, zep::Qualifiers&) const {
    record().getBUID(value);
    return zep::kPropertyOk;
}

int QEL_ZEPCedarTerminalImpl::setBUID(std::string value) {
    record().setBUID(zep::upToNul(value));
    return zep::kPropertyOk;
}

void QEL_ZEPCedarTerminalImpl::UpdateData(const sZepIPSetTableGet& newRecord) {
    const sZepIPSetTableGet::HWIDBytes before = record().getHWID();
    TerminalImpl::UpdateData(newRecord);
    if (record().getHWID() != before) {
        byHardwareAddress().remove(before.data(), this);
        byHardwareAddress().add(hardwareAddress(), this);
    }
}

std::vector<QEL_ZEPCedarTerminalImpl*> QEL_ZEPCedarTerminalImpl::holdersOf(const unsigned char* mac) {
    return byHardwareAddress().holding(mac);
}

void QEL_ZEPCedarTerminalImplInstanceManager::DeleteInstancesByMacAddress(unsigned char* mac) {
    // 00-00-00-00-00-00 is what a terminal reports while its address is not
    // known: it names no terminal, so it conflicts with none. (Taken as an
    // address, every such terminal would evict the one before it, though the
    // gateway still has them all.)
    static const unsigned char kUnknown[6] = {0, 0, 0, 0, 0, 0};
    if (std::memcmp(mac, kUnknown, sizeof kUnknown) == 0) return;
    QEL_ZEPCedarTerminalImplInstanceManager* registry = s_this.load();
    if (registry == 0) return;
    zep::RegistryLock<QEL_ZEPCedarTerminalImplInstanceManager> lock(*registry);
    // Same terminals, same order as a walk over the registry comparing each
    // one's address, without the walk.
    for (QEL_ZEPCedarTerminalImpl* holder : QEL_ZEPCedarTerminalImpl::holdersOf(mac)) {
        if (!holder->compareMacAddress(mac)) continue;
        unsigned int dn = 0;
        zep::Qualifiers qualifiers;
        holder->getDN(dn, qualifiers);
        zep::logTerminalLine(QEL_ZEPCedarTerminalClass::kAddressConflict, zep::logDN(dn));
        delete holder;
    }
}

void QEL_ZEPCedarTerminalImplInstanceManager::beforeAddingTerminal(QEL_ZEPCedarTerminalImplInstanceManager&,
                                                                    const sZepIPSetTableGet& record) {
    sZepIPSetTableGet::HWIDBytes mac = record.getHWID();
    DeleteInstancesByMacAddress(mac.data());
}
