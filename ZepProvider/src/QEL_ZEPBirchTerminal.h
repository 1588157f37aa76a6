// QEL_ZEPBirchTerminal: the IP terminals registered towards a Birch call
// server (call-server type 2), one instance per directory number. The Alder
// terminal class for the other call-server type, except that it logs the
// gateway events it does not recognise.
#ifndef QEL_ZEPBIRCHTERMINAL_H
#define QEL_ZEPBIRCHTERMINAL_H

#include "ZepInstanceRegistry.h"
#include "ZepTerminal.h"

#include <string>

class QEL_ZEPBirchTerminal;

class QEL_ZEPBirchTerminalInstanceManager : public zep::TerminalRegistry<QEL_ZEPBirchTerminal> {
public:
    QEL_ZEPBirchTerminal* createQEL_ZEPBirchTerminal(const std::string& systemCreationClassName,
                                                     const std::string& systemName,
                                                     const std::string& creationClassName,
                                                     const std::string& deviceID) {
        return create(systemCreationClassName, systemName, creationClassName, deviceID);
    }
    void destroyQEL_ZEPBirchTerminal(QEL_ZEPBirchTerminal* object) { destroy(object); }
};

// The managed object: the defaults answer "no value" and "cannot set".
class QEL_ZEPBirchTerminal
    : public zep::ManagedClass<QEL_ZEPBirchTerminal, QEL_ZEPBirchTerminalInstanceManager> {
public:
    QEL_ZEPBirchTerminal(const std::string& systemCreationClassName, const std::string& systemName,
                         const std::string& creationClassName, const std::string& deviceID);
    virtual ~QEL_ZEPBirchTerminal();
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

struct QEL_ZEPBirchTerminalClass {
    static constexpr char kClassName[] = "QEL_ZEPBirchTerminal";
    static constexpr uint32_t kMoType = ZEP_MOTYPE_BIRCH;
    static constexpr char kUpdating[] =
        "QEL_ZEPBirchTerminalImplInstanceManager::ZepCallback:Updating existing entry, dn=%d";
    static constexpr char kAdding[] =
        "QEL_ZEPBirchTerminalImplInstanceManager::ZepCallback: Adding a new entry den=%d";
    static constexpr char kCastFailed[] =
        "QEL_ZEPBirchTerminalImplInstanceManager::ZepCallback: dynamic_cast returned NULL";
    static constexpr char kDeleting[] =
        "QEL_ZEPBirchTerminalImplInstanceManager::ZepCallback:Deleting existing entry, dn=%d";
    static constexpr char kCannotDelete[] =
        "QEL_ZEPBirchTerminalImplInstanceManager::ZepCallback: Cannot Delete instance DN=%d";
    static constexpr char kNonMatchingDN[] =
        "QEL_ZEPBirchTerminalImpl::UpdateData: Received data with non-matching DN %d->%d";
    static constexpr char kUnknownEvent[] =
        "QEL_ZEPBirchTerminalImplInstanceManager::ZepCallback: Unknown event type";
};

// A cached Birch terminal. MODN is the record's 34-byte field that Cedar
// terminals call BUID; FwVersion and MOTN are kept and sent back, not shown.
class QEL_ZEPBirchTerminalImpl
    : public zep::TerminalImpl<QEL_ZEPBirchTerminal, QEL_ZEPBirchTerminalClass> {
public:
    explicit QEL_ZEPBirchTerminalImpl(const sZepIPSetTableGet& record) : TerminalImpl(record) {}
    virtual int getMODN(std::string& value, zep::Qualifiers&) const;
    virtual int setMODN(std::string value);
};

class QEL_ZEPBirchTerminalImplInstanceManager
    : public zep::TerminalGatewayRegistry<QEL_ZEPBirchTerminalInstanceManager,
                                          QEL_ZEPBirchTerminalImplInstanceManager, QEL_ZEPBirchTerminalImpl> {
public:
    // Every event type but link up that terminals do not act on is logged.
    static void onOtherEvent(uint32_t type);
};

#endif  // QEL_ZEPBIRCHTERMINAL_H
