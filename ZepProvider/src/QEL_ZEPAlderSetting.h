// QEL_ZEPAlderSetting: the gateway's settings towards an Alder call server
// (call-server type 1). At most one instance, present while the gateway's
// mode selects Alder; every accepted property change is sent to the gateway
// at once as one set-item request. The class writes no log lines.
//
// Ownership and threads: the gateway event handler creates and deletes the
// object under the class lock, and the registry holds it meanwhile; every
// other use (the class provider's) holds that lock too.
#ifndef QEL_ZEPALDERSETTING_H
#define QEL_ZEPALDERSETTING_H

#include "ZepSetting.h"

#include <string>

class QEL_ZEPAlderSetting;

class QEL_ZEPAlderSettingInstanceManager : public zep::SettingRegistry<QEL_ZEPAlderSetting> {
public:
    QEL_ZEPAlderSetting* createQEL_ZEPAlderSetting(const std::string& id) { return create(id); }
    void destroyQEL_ZEPAlderSetting(QEL_ZEPAlderSetting* object) { destroy(object); }
};

// The managed object: the defaults answer "no value" and "cannot set".
class QEL_ZEPAlderSetting
    : public zep::ManagedClass<QEL_ZEPAlderSetting, QEL_ZEPAlderSettingInstanceManager> {
public:
    explicit QEL_ZEPAlderSetting(const std::string& instanceID);
    virtual ~QEL_ZEPAlderSetting();
    virtual int startChange() { return zep::kPropertyOk; }
    virtual int endChange() { return zep::kPropertyOk; }
    virtual int getVoipTrunkAccessCode(std::string&, zep::Qualifiers&) const { return zep::kPropertyNoValue; }
    virtual int setVoipTrunkAccessCode(std::string) { return zep::kPropertyReadOnly; }
    virtual int getTestLocalModeTimeout(unsigned char&, zep::Qualifiers&) const { return zep::kPropertyNoValue; }
    virtual int setTestLocalModeTimeout(unsigned char) { return zep::kPropertyReadOnly; }
    virtual int getInstanceID(std::string& value, zep::Qualifiers&) const {
        return zep::copyKey(m_InstanceID, value);
    }

private:
    std::string m_InstanceID;
};

// The cached Alder settings record; its first eight bytes are carried unread.
class QEL_ZEPAlderSettingImpl : public zep::SettingImpl<QEL_ZEPAlderSetting, sZepAldrCache> {
public:
    explicit QEL_ZEPAlderSettingImpl(const sZepAldrCache& record);
    virtual int getVoipTrunkAccessCode(std::string& value, zep::Qualifiers&) const;
    virtual int setVoipTrunkAccessCode(std::string value);
    virtual int getTestLocalModeTimeout(unsigned char& value, zep::Qualifiers&) const;
    virtual int setTestLocalModeTimeout(unsigned char value);
};

class QEL_ZEPAlderSettingImplInstanceManager
    : public zep::GatewayRegistry<QEL_ZEPAlderSettingInstanceManager,
                                  QEL_ZEPAlderSettingImplInstanceManager> {
public:
    static void ZepCallback(sZepToOamEvents* event);
};

#endif  // QEL_ZEPALDERSETTING_H
