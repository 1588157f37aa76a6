// QEL_ZEPCedarSetting: the gateway's settings towards a Cedar call server
// (call-server type 0). At most one instance, present while the gateway's
// mode selects Cedar; every accepted property change is sent to the gateway
// at once as one set-item request.
//
// Ownership and threads: the gateway event handler creates and deletes the
// object under the class lock, and the registry holds it meanwhile; every
// other use (the class provider's) holds that lock too.
#ifndef QEL_ZEPCEDARSETTING_H
#define QEL_ZEPCEDARSETTING_H

#include "ZepSetting.h"

#include <string>

class QEL_ZEPCedarSetting;

class QEL_ZEPCedarSettingInstanceManager : public zep::SettingRegistry<QEL_ZEPCedarSetting> {
public:
    QEL_ZEPCedarSetting* createQEL_ZEPCedarSetting(const std::string& id) { return create(id); }
    void destroyQEL_ZEPCedarSetting(QEL_ZEPCedarSetting* object) { destroy(object); }
};

// The managed object: the defaults answer "no value" and "cannot set".
class QEL_ZEPCedarSetting
    : public zep::ManagedClass<QEL_ZEPCedarSetting, QEL_ZEPCedarSettingInstanceManager> {
public:
    explicit QEL_ZEPCedarSetting(const std::string& instanceID);
    virtual ~QEL_ZEPCedarSetting();
    virtual int startChange() { return zep::kPropertyOk; }
    virtual int endChange() { return zep::kPropertyOk; }
    virtual int getVoipTrunkAccessCode(std::string&, zep::Qualifiers&) const { return zep::kPropertyNoValue; }
    virtual int setVoipTrunkAccessCode(std::string) { return zep::kPropertyReadOnly; }
    virtual int getTestLocalModeTimeout(unsigned char&, zep::Qualifiers&) const { return zep::kPropertyNoValue; }
    virtual int setTestLocalModeTimeout(unsigned char) { return zep::kPropertyReadOnly; }
    virtual int getPrimaryNCSAddr(std::string&, zep::Qualifiers&) const { return zep::kPropertyNoValue; }
    virtual int setPrimaryNCSAddr(std::string) { return zep::kPropertyReadOnly; }
    virtual int getAlternateNCSAddr(std::string&, zep::Qualifiers&) const { return zep::kPropertyNoValue; }
    virtual int setAlternateNCSAddr(std::string) { return zep::kPropertyReadOnly; }
    virtual int getNCSPort(unsigned short&, zep::Qualifiers&) const { return zep::kPropertyNoValue; }
    virtual int setNCSPort(unsigned short) { return zep::kPropertyReadOnly; }
    virtual int getHeartBeatPort(unsigned short&, zep::Qualifiers&) const { return zep::kPropertyNoValue; }
    virtual int setHeartBeatPort(unsigned short) { return zep::kPropertyReadOnly; }
    virtual int getNodeId(unsigned short&, zep::Qualifiers&) const { return zep::kPropertyNoValue; }
    virtual int setNodeId(unsigned short) { return zep::kPropertyReadOnly; }
    virtual int getH323Id(std::string&, zep::Qualifiers&) const { return zep::kPropertyNoValue; }
    virtual int setH323Id(std::string) { return zep::kPropertyReadOnly; }
    virtual int getNPI(unsigned char&, zep::Qualifiers&) const { return zep::kPropertyNoValue; }
    virtual int setNPI(unsigned char) { return zep::kPropertyReadOnly; }
    virtual int getTON(unsigned char&, zep::Qualifiers&) const { return zep::kPropertyNoValue; }
    virtual int setTON(unsigned char) { return zep::kPropertyReadOnly; }
    virtual int getAccessCodeLength(unsigned int&, zep::Qualifiers&) const { return zep::kPropertyNoValue; }
    virtual int setAccessCodeLength(unsigned int) { return zep::kPropertyReadOnly; }
    virtual int getInstanceID(std::string& value, zep::Qualifiers&) const {
        return zep::copyKey(m_InstanceID, value);
    }

private:
    std::string m_InstanceID;
};

// The cached Cedar settings record.
class QEL_ZEPCedarSettingImpl : public zep::SettingImpl<QEL_ZEPCedarSetting, sZepCedarCache> {
public:
    explicit QEL_ZEPCedarSettingImpl(const sZepCedarCache& record);
    virtual int getVoipTrunkAccessCode(std::string& value, zep::Qualifiers&) const;
    virtual int setVoipTrunkAccessCode(std::string value);
    virtual int getTestLocalModeTimeout(unsigned char& value, zep::Qualifiers&) const;
    virtual int setTestLocalModeTimeout(unsigned char value);
    virtual int getPrimaryNCSAddr(std::string& value, zep::Qualifiers&) const;
    virtual int setPrimaryNCSAddr(std::string value);
    virtual int getAlternateNCSAddr(std::string& value, zep::Qualifiers&) const;
    virtual int setAlternateNCSAddr(std::string value);
    virtual int getNCSPort(unsigned short& value, zep::Qualifiers&) const;
    virtual int setNCSPort(unsigned short value);
    virtual int getHeartBeatPort(unsigned short& value, zep::Qualifiers&) const;
    virtual int setHeartBeatPort(unsigned short value);
    virtual int getNodeId(unsigned short& value, zep::Qualifiers&) const;
    virtual int setNodeId(unsigned short value);
    virtual int getH323Id(std::string& value, zep::Qualifiers&) const;
    virtual int setH323Id(std::string value);
    virtual int getNPI(unsigned char& value, zep::Qualifiers&) const;
    virtual int setNPI(unsigned char value);
    virtual int getTON(unsigned char& value, zep::Qualifiers&) const;
    virtual int setTON(unsigned char value);
    virtual int getAccessCodeLength(unsigned int& value, zep::Qualifiers&) const;
    virtual int setAccessCodeLength(unsigned int value);
};

class QEL_ZEPCedarSettingImplInstanceManager
    : public zep::GatewayRegistry<QEL_ZEPCedarSettingInstanceManager,
                                  QEL_ZEPCedarSettingImplInstanceManager> {
public:
    static void ZepCallback(sZepToOamEvents* event);
};

#endif  // QEL_ZEPCEDARSETTING_H
