// QEL_ZEPModeSetting: the gateway's mode, whether it works with a call server
// and with which type. At most one instance; read-only for CIM clients. Its
// gateway-backed registry starts the whole data flow: on link up it alone
// asks the gateway for the mode record.
#ifndef QEL_ZEPMODESETTING_H
#define QEL_ZEPMODESETTING_H

#include "ZepSetting.h"

#include <string>

// dummy is named in modify requests only: it never has a value and refuses
// every one, as clients expect of it.
// clang-format off
#define QEL_ZEPModeSetting_PROPERTIES(P)                              \
    /* Name  Type           Access Field   Item Limits */             \
    P(Mode,   bool,          RO,    Number, 0,   zep::kNoLimits)      \
    P(MoType, unsigned char, RO,    Number, 0,   zep::kNoLimits)      \
    P(dummy,  unsigned char, RW,    None,   0,   zep::kNoLimits)
// clang-format on

ZEP_SETTING_CLASS(QEL_ZEPModeSetting)

namespace zep {
// The mode record arrives as a mode record, asked for on every link up.
template <>
struct SettingSource<sZepModeSetting> {
    static bool recordIn(const sZepToOamEvents& event, sZepModeSetting& record) {
        if (event.getType() != ZEP_EVT_MODE_RECORD) return false;
        record = event.getModeRecord();
        return true;
    }
    template <class Registry>
    static void follow(Registry&, const sZepToOamEvents& event) {
        if (event.getType() == ZEP_EVT_LINK_UP) requestData(ZEP_REQ_GET_MODE, sZepSettingsRequest(0));
    }
};
}  // namespace zep

// As log readers match them, "::Callback" included.
inline constexpr zep::SettingLogTexts kModeSettingLog = {
    "QEL_ZEPModeSettingImplInstanceManager::ZepCallback: Adding a new entry",
    "QEL_ZEPModeSettingImplInstanceManager::Callback: Updating existing entry",
    "QEL_ZEPModeSettingImplInstanceManager::ZepCallback: dynamic_cast returned NULL",
    "QEL_ZEPModeSettingImpl::UpdateData",
};

ZEP_SETTING_IMPL_CLASSES(QEL_ZEPModeSetting, sZepModeSetting, kModeSettingLog)

#endif  // QEL_ZEPMODESETTING_H
