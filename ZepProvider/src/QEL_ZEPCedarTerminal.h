// QEL_ZEPCedarTerminal: the IP terminals registered towards a Cedar call
// server (call-server type 0), one instance per directory number. Clients
// change MOTN and BUID; a terminal that re-registers under a new DN with the
// same hardware address replaces its old entry.
#ifndef QEL_ZEPCEDARTERMINAL_H
#define QEL_ZEPCEDARTERMINAL_H

#include "ZepInstanceRegistry.h"
#include "ZepTerminal.h"

#include <string>

class QEL_ZEPCedarTerminal;

class QEL_ZEPCedarTerminalInstanceManager : public zep::TerminalRegistry<QEL_ZEPCedarTerminal> {
public:
    QEL_ZEPCedarTerminal* createQEL_ZEPCedarTerminal(const std::string& systemCreationClassName,
                                                     const std::string& systemName,
                                                     const std::string& creationClassName,
                                                     const std::string& deviceID) {
        return create(systemCreationClassName, systemName, creationClassName, deviceID);
    }
    void destroyQEL_ZEPCedarTerminal(QEL_ZEPCedarTerminal* object) { destroy(object); }
};

// The managed object: the defaults answer "no value" and "cannot set".
class QEL_ZEPCedarTerminal
    : public zep::ManagedClass<QEL_ZEPCedarTerminal, QEL_ZEPCedarTerminalInstanceManager> {
public:
    QEL_ZEPCedarTerminal(const std::string& systemCreationClassName, const std::string& systemName,
                         const std::string& creationClassName, const std::string& deviceID);
    virtual ~QEL_ZEPCedarTerminal();
    virtual int startChange() { return zep::kPropertyOk; }
    virtual int endChange() { return zep::kPropertyOk; }
    virtual int getDN(unsigned int&, zep::Qualifiers&) const { return zep::kPropertyNoValue; }
    virtual int getMOTPS(std::string&, zep::Qualifiers&) const { return zep::kPropertyNoValue; }
    virtual int getHWID(std::string&, zep::Qualifiers&) const { return zep::kPropertyNoValue; }
    virtual int getSetStatus(std::string&, zep::Qualifiers&) const { return zep::kPropertyNoValue; }
    virtual int getFwVersion(std::string&, zep::Qualifiers&) const { return zep::kPropertyNoValue; }
    virtual int getMOTN(std::string&, zep::Qualifiers&) const { return zep::kPropertyNoValue; }
    virtual int setMOTN(std::string) { return zep::kPropertyReadOnly; }
    virtual int getBUID(std::string&, zep::Qualifiers&) const { return zep::kPropertyNoValue; }
    virtual int setBUID(std::string) { return zep::kPropertyReadOnly; }
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

struct QEL_ZEPCedarTerminalClass {
    static constexpr char kClassName[] = "QEL_ZEPCedarTerminal";
    static constexpr uint32_t kMoType = ZEP_MOTYPE_CEDAR;
    static constexpr char kUpdating[] =
        "QEL_ZEPCedarTerminalImplInstanceManager::ZepCallback:Updating existing entry, dn=%d";
    static constexpr char kAdding[] =
        "QEL_ZEPCedarTerminalImplInstanceManager::ZepCallback: Adding a new entry dn=%d";
    static constexpr char kCastFailed[] =
        "QEL_ZEPCedarTerminalImplInstanceManager::ZepCallback: dynamic_cast returned NULL";
    static constexpr char kDeleting[] =
        "QEL_ZEPCedarTerminalImplInstanceManager::ZepCallback:Deleting existing entry, dn=%d";
    static constexpr char kCannotDelete[] =
        "QEL_ZEPCedarTerminalImplInstanceManager::ZepCallback: Cannot Delete instance DN=%d";
    static constexpr char kNonMatchingDN[] =
        "QEL_ZEPCedarTerminalImpl::UpdateData: Received data with non-matching DN %d->%d";
    static constexpr char kAddressConflict[] =
        "QEL_ZEPCedarTerminalImplInstanceManager::DN:%d, Delete entry due to Mac Address conflit";
};

// A cached Cedar terminal. Every object is also listed by its hardware
// address (for the address rule); it is created, updated and destroyed under
// the class lock only, by the event handler.
class QEL_ZEPCedarTerminalImpl
    : public zep::TerminalImpl<QEL_ZEPCedarTerminal, QEL_ZEPCedarTerminalClass> {
public:
    explicit QEL_ZEPCedarTerminalImpl(const sZepIPSetTableGet& record);
    virtual ~QEL_ZEPCedarTerminalImpl();
    virtual int getFwVersion(std::string& value, zep::Qualifiers&) const;
    virtual int getMOTN(std::string& value, zep::Qualifiers&) const;
    virtual int setMOTN(std::string value);
    virtual int getBUID(std::string& value, zep::Qualifiers&) const;
    virtual int setBUID(std::string value);

    // As the shared one, keeping the address index in step with the record.
    void UpdateData(const sZepIPSetTableGet& record);

    // The cached Cedar terminals holding these six hardware-address bytes,
    // in registry order. The caller holds the class lock.
    static std::vector<QEL_ZEPCedarTerminalImpl*> holdersOf(const unsigned char* mac);

private:
    const unsigned char* hardwareAddress() const { return record().data() + sZepIPSetTableGet::kHWID; }
};

class QEL_ZEPCedarTerminalImplInstanceManager
    : public zep::TerminalGatewayRegistry<QEL_ZEPCedarTerminalInstanceManager,
                                          QEL_ZEPCedarTerminalImplInstanceManager, QEL_ZEPCedarTerminalImpl> {
public:
    // A hardware address may be known under one DN only: destroys every
    // cached Cedar terminal that holds these six bytes, each with a log line.
    static void DeleteInstancesByMacAddress(unsigned char* mac);
    // Runs the address rule before a terminal with a new DN is added.
    static void beforeAddingTerminal(QEL_ZEPCedarTerminalImplInstanceManager&, const sZepIPSetTableGet& record);
};

#endif  // QEL_ZEPCEDARTERMINAL_H
