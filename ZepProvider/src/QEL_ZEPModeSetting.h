// QEL_ZEPModeSetting: the gateway's mode, whether it works with a call server
// and with which type. At most one instance; read-only for CIM clients. Its
// gateway-backed registry starts the whole data flow: on link up it alone
// asks the gateway for the mode record.
#ifndef QEL_ZEPMODESETTING_H
#define QEL_ZEPMODESETTING_H

#include "ZepGatewayCache.h"
#include "ZepInstanceRegistry.h"

#include <string>

class QEL_ZEPModeSetting;

class QEL_ZEPModeSettingInstanceManager : public zep::SettingRegistry<QEL_ZEPModeSetting> {
public:
    QEL_ZEPModeSetting* createQEL_ZEPModeSetting(const std::string& id) { return create(id); }
    void destroyQEL_ZEPModeSetting(QEL_ZEPModeSetting* object) { destroy(object); }
};

// The managed object: the defaults answer "no value" and "cannot set".
class QEL_ZEPModeSetting
    : public zep::ManagedClass<QEL_ZEPModeSetting, QEL_ZEPModeSettingInstanceManager> {
public:
    explicit QEL_ZEPModeSetting(const std::string& instanceID);
    virtual ~QEL_ZEPModeSetting();
    virtual int startChange() { return zep::kPropertyOk; }
    virtual int endChange() { return zep::kPropertyOk; }
    virtual int getMode(bool&, zep::Qualifiers&) const { return zep::kPropertyNoValue; }
    virtual int getMoType(unsigned char&, zep::Qualifiers&) const { return zep::kPropertyNoValue; }
    // Named in modify requests only; never has a value and refuses every one.
    virtual int getdummy(unsigned char&, zep::Qualifiers&) const { return zep::kPropertyNoValue; }
    virtual int setdummy(unsigned char) { return zep::kPropertyReadOnly; }
    virtual int getInstanceID(std::string& value, zep::Qualifiers&) const {
        return zep::copyKey(m_InstanceID, value);
    }

private:
    std::string m_InstanceID;
};

// The cached mode record.
class QEL_ZEPModeSettingImpl : public QEL_ZEPModeSetting {
public:
    explicit QEL_ZEPModeSettingImpl(const sZepModeSetting& record);
    virtual int getMode(bool& value, zep::Qualifiers&) const;
    virtual int getMoType(unsigned char& value, zep::Qualifiers&) const;
    void UpdateData(const sZepModeSetting& record);

private:
    sZepModeSetting m_record;
};

class QEL_ZEPModeSettingImplInstanceManager
    : public zep::GatewayRegistry<QEL_ZEPModeSettingInstanceManager,
                                  QEL_ZEPModeSettingImplInstanceManager> {
public:
    static void ZepCallback(sZepToOamEvents* event);
};

#endif  // QEL_ZEPMODESETTING_H
