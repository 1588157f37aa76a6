// QEL_ZEPBirchSetting: the gateway's settings towards a Birch call server
// (call-server type 2). At most one instance, present while the gateway's
// mode selects Birch; every accepted property change is sent to the gateway
// at once as one set-item request. The class writes no log lines. Its timeout
// is spelt TestLocalModeTimeOut, capital O, everywhere.
//
// Ownership and threads: the gateway event handler creates and deletes the
// object under the class lock, and the registry holds it meanwhile; every
// other use (the class provider's) holds that lock too.
#ifndef QEL_ZEPBIRCHSETTING_H
#define QEL_ZEPBIRCHSETTING_H

#include "ZepSetting.h"

#include <string>

class QEL_ZEPBirchSetting;

class QEL_ZEPBirchSettingInstanceManager : public zep::SettingRegistry<QEL_ZEPBirchSetting> {
public:
    QEL_ZEPBirchSetting* createQEL_ZEPBirchSetting(const std::string& id) { return create(id); }
    void destroyQEL_ZEPBirchSetting(QEL_ZEPBirchSetting* object) { destroy(object); }
};

// The managed object: the defaults answer "no value" and "cannot set".
class QEL_ZEPBirchSetting
    : public zep::ManagedClass<QEL_ZEPBirchSetting, QEL_ZEPBirchSettingInstanceManager> {
public:
    explicit QEL_ZEPBirchSetting(const std::string& instanceID);
    virtual ~QEL_ZEPBirchSetting();
    virtual int startChange() { return zep::kPropertyOk; }
    virtual int endChange() { return zep::kPropertyOk; }
    virtual int getVoipTrunkAccessCode(std::string&, zep::Qualifiers&) const { return zep::kPropertyNoValue; }
    virtual int setVoipTrunkAccessCode(std::string) { return zep::kPropertyReadOnly; }
    virtual int getTestLocalModeTimeOut(unsigned char&, zep::Qualifiers&) const { return zep::kPropertyNoValue; }
    virtual int setTestLocalModeTimeOut(unsigned char) { return zep::kPropertyReadOnly; }
    virtual int getPrimaryTpsAddress(std::string&, zep::Qualifiers&) const { return zep::kPropertyNoValue; }
    virtual int setPrimaryTpsAddress(std::string) { return zep::kPropertyReadOnly; }
    virtual int getPrimaryTpsPort(unsigned short&, zep::Qualifiers&) const { return zep::kPropertyNoValue; }
    virtual int setPrimaryTpsPort(unsigned short) { return zep::kPropertyReadOnly; }
    virtual int getInstanceID(std::string& value, zep::Qualifiers&) const {
        return zep::copyKey(m_InstanceID, value);
    }

private:
    std::string m_InstanceID;
};

// The cached Birch settings record.
class QEL_ZEPBirchSettingImpl : public zep::SettingImpl<QEL_ZEPBirchSetting, sZepBirchCache> {
public:
    explicit QEL_ZEPBirchSettingImpl(const sZepBirchCache& record);
    virtual int getVoipTrunkAccessCode(std::string& value, zep::Qualifiers&) const;
    virtual int setVoipTrunkAccessCode(std::string value);
    virtual int getTestLocalModeTimeOut(unsigned char& value, zep::Qualifiers&) const;
    virtual int setTestLocalModeTimeOut(unsigned char value);
    virtual int getPrimaryTpsAddress(std::string& value, zep::Qualifiers&) const;
    virtual int setPrimaryTpsAddress(std::string value);
    virtual int getPrimaryTpsPort(unsigned short& value, zep::Qualifiers&) const;
    virtual int setPrimaryTpsPort(unsigned short value);
};

class QEL_ZEPBirchSettingImplInstanceManager
    : public zep::GatewayRegistry<QEL_ZEPBirchSettingInstanceManager,
                                  QEL_ZEPBirchSettingImplInstanceManager> {
public:
    static void ZepCallback(sZepToOamEvents* event);
};

#endif  // QEL_ZEPBIRCHSETTING_H
