// QEL_ZEPAlderTerminal: the IP terminals registered towards an Alder call
// server (call-server type 1), one instance per directory number. Clients
// change MODN; terminals with equal hardware addresses coexist.
#ifndef QEL_ZEPALDERTERMINAL_H
#define QEL_ZEPALDERTERMINAL_H

#include "ZepInstanceRegistry.h"
#include "ZepTerminal.h"

#include <string>

class QEL_ZEPAlderTerminal;

class QEL_ZEPAlderTerminalInstanceManager : public zep::TerminalRegistry<QEL_ZEPAlderTerminal> {
public:
    QEL_ZEPAlderTerminal* createQEL_ZEPAlderTerminal(const std::string& systemCreationClassName,
                                                     const std::string& systemName,
                                                     const std::string& creationClassName,
                                                     const std::string& deviceID) {
        return create(systemCreationClassName, systemName, creationClassName, deviceID);
    }
    void destroyQEL_ZEPAlderTerminal(QEL_ZEPAlderTerminal* object) { destroy(object); }
};

// The managed object: the defaults answer "no value" and "cannot set".
class QEL_ZEPAlderTerminal
    : public zep::ManagedClass<QEL_ZEPAlderTerminal, QEL_ZEPAlderTerminalInstanceManager> {
public:
    QEL_ZEPAlderTerminal(const std::string& systemCreationClassName, const std::string& systemName,
                         const std::string& creationClassName, const std::string& deviceID);
    virtual ~QEL_ZEPAlderTerminal();
    virtual int startChange() { return zep::kPropertyOk; }
    virtual int endChange() { return zep::kPropertyOk; }
    virtual int getDN(unsigned int&, zep::Qualifiers&) const { return zep::kPropertyNoValue; }
    virtual int getMOTPS(std::string&, zep::Qualifiers&) const { return zep::kPropertyNoValue; }
    virtual int getHWID(std::string&, zep::Qualifiers&) const { return zep::kPropertyNoValue; }
    virtual int getSetStatus(std::string&, zep::Qualifiers&) const { return zep::kPropertyNoValue; }
    virtual int getMODN(std::string&, zep::Qualifiers&) const { return zep::kPropertyNoValue; }
    virtual int setMODN(std::string) { return zep::kPropertyReadOnly; }
    virtual int getSystemCreationClassName(std::string& value, zep::Qualifiers&) const {
        return zep::copyKey(m_SystemCreationClassName, value);
    }
    virtual int getSystemName(std::string& value, zep::Qualifiers&) const {
        return zep::copyKey(m_SystemName, value);
    }
    virtual int getCreationClassName(std::string& value, zep::Qualifiers&) const {
        return zep::copyKey(m_CreationClassName, value);
    }
    virtual int getDeviceID(std::string& value, zep::Qualifiers&) const {
        return zep::copyKey(m_DeviceID, value);
    }
    virtual unsigned int RedirectSet() = 0;

private:
    std::string m_SystemCreationClassName;
    std::string m_SystemName;
    std::string m_CreationClassName;
    std::string m_DeviceID;
};

struct QEL_ZEPAlderTerminalClass {
    static constexpr char kClassName[] = "QEL_ZEPAlderTerminal";
    static constexpr uint32_t kMoType = ZEP_MOTYPE_ALDER;
    static constexpr char kUpdating[] =
        "QEL_ZEPAlderTerminalImplInstanceManager::ZepCallback:Updating existing entry, dn=%d";
    static constexpr char kAdding[] =
        "QEL_ZEPAldrTerminalImplInstanceManager::ZepCallback: Adding a new entry den=%d";
    static constexpr char kCastFailed[] =
        "QEL_ZEPAlderTerminalImplInstanceManager::ZepCallback: dynamic_cast returned NULL";
    static constexpr char kDeleting[] =
        "QEL_ZEPAlderTerminalImplInstanceManager::ZepCallback:Deleting existing entry, dn=%d";
    static constexpr char kCannotDelete[] =
        "QEL_ZEPAlderTerminalImplInstanceManager::ZepCallback: Cannot Delete instance DN=%d";
    static constexpr char kNonMatchingDN[] =
        "QEL_ZEPAlderTerminalImpl::UpdateData: Received data with non-matching DN %d->%d";
};

// A cached Alder terminal. MODN is the record's 34-byte field that Cedar
// terminals call BUID; FwVersion and MOTN are kept and sent back, not shown.
class QEL_ZEPAlderTerminalImpl
    : public zep::TerminalImpl<QEL_ZEPAlderTerminal, QEL_ZEPAlderTerminalClass> {
public:
    explicit QEL_ZEPAlderTerminalImpl(const sZepIPSetTableGet& record) : TerminalImpl(record) {}
    virtual int getMODN(std::string& value, zep::Qualifiers&) const;
    virtual int setMODN(std::string value);
};

class QEL_ZEPAlderTerminalImplInstanceManager
    : public zep::TerminalGatewayRegistry<QEL_ZEPAlderTerminalInstanceManager,
                                          QEL_ZEPAlderTerminalImplInstanceManager, QEL_ZEPAlderTerminalImpl> {};

#endif  // QEL_ZEPALDERTERMINAL_H
