// QEL_ZEPAlderSetting: the gateway's settings towards an Alder call server
// (call-server type 1). At most one instance, present while the gateway's
// mode selects Alder; each accepted property change is sent to the gateway
// as one set-item request. The record's first eight bytes are carried, not
// shown.
#ifndef QEL_ZEPALDERSETTING_H
#define QEL_ZEPALDERSETTING_H

#include "ZepSetting.h"

#include <string>

// clang-format off
#define QEL_ZEPAlderSetting_PROPERTIES(P)                                             \
    /* Name                 Type           Access Field   Item Limits */              \
    P(VoipTrunkAccessCode,  std::string,   RW,    Text,   19,  zep::maxLength(16))    \
    P(TestLocalModeTimeout, unsigned char, RW,    Number, 23,  zep::range(2, 10))
// clang-format on

ZEP_SETTING_CLASS(QEL_ZEPAlderSetting)
ZEP_SETTING_IMPL_CLASSES(QEL_ZEPAlderSetting, sZepAldrCache, zep::kNoSettingLog)

#endif  // QEL_ZEPALDERSETTING_H
