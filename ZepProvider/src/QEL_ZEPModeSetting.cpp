#include "QEL_ZEPModeSetting.h"

namespace {
const char kClassName[] = "QEL_ZEPModeSetting";
}

QEL_ZEPModeSetting::QEL_ZEPModeSetting(const std::string& instanceID) : m_InstanceID(instanceID) {
    theInstanceManager->add(this);
}

QEL_ZEPModeSetting::~QEL_ZEPModeSetting() { theInstanceManager->remove(this); }

QEL_ZEPModeSettingImpl::QEL_ZEPModeSettingImpl(const sZepModeSetting& record)
    : QEL_ZEPModeSetting(kClassName), m_record(record) {}

int QEL_ZEPModeSettingImpl::getMode(bool& value, zep::Qualifiers&) const {
    value = m_record.getMode() != 0;
    return zep::kPropertyOk;
}

int QEL_ZEPModeSettingImpl::getMoType(unsigned char& value, zep::Qualifiers&) const {
    value = static_cast<unsigned char>(m_record.getMoType() & 0xFF);
    return zep::kPropertyOk;
}

void QEL_ZEPModeSettingImpl::UpdateData(const sZepModeSetting& record) {
    zep::logLine("QEL_ZEPModeSettingImpl::UpdateData");
    m_record = record;
}

void QEL_ZEPModeSettingImplInstanceManager::ZepCallback(sZepToOamEvents* event) {
    if (event == 0) return;
    zep::handleEvent<QEL_ZEPModeSettingImplInstanceManager>([event](QEL_ZEPModeSettingImplInstanceManager& registry) {
        switch (event->getType()) {
            case ZEP_EVT_LINK_UP: {
                zep::requestData(ZEP_REQ_GET_MODE, sZepSettingsRequest(0));
                break;
            }
            case ZEP_EVT_LINK_DOWN:
                zep::destroyAll(registry);
                break;
            case ZEP_EVT_MODE_RECORD: {
                const sZepModeSetting record = event->getModeRecord();
                QEL_ZEPModeSetting* found = 0;
                try {
                    found = registry.get(kClassName);
                } catch (const CFG_NoInstance&) {
                    zep::logLine("QEL_ZEPModeSettingImplInstanceManager::ZepCallback: Adding a new entry");
                    new QEL_ZEPModeSettingImpl(record);  // registers itself; the registry keeps it
                    break;
                }
                zep::logLine("QEL_ZEPModeSettingImplInstanceManager::Callback: Updating existing entry");
                QEL_ZEPModeSettingImpl* impl = dynamic_cast<QEL_ZEPModeSettingImpl*>(found);
                if (impl == 0) {
                    zep::logLine("QEL_ZEPModeSettingImplInstanceManager::ZepCallback: dynamic_cast returned NULL");
                    break;
                }
                impl->UpdateData(record);
                break;
            }
            default:
                break;
        }
    });
}
