// QEL_ZEPBirchSetting: the gateway's settings towards a Birch call server
// (call-server type 2). At most one instance, present while the gateway's
// mode selects Birch; each accepted property change is sent to the gateway
// as one set-item request.
#ifndef QEL_ZEPBIRCHSETTING_H
#define QEL_ZEPBIRCHSETTING_H

#include "ZepSetting.h"

#include <string>

// "TimeOut": the Birch class's property name as clients know it.
// clang-format off
#define QEL_ZEPBirchSetting_PROPERTIES(P)                                             \
    /* Name                 Type            Access Field    Item Limits */            \
    P(VoipTrunkAccessCode,  std::string,    RW,    Text,    22,  zep::maxLength(16))  \
    P(TestLocalModeTimeOut, unsigned char,  RW,    Number,  24,  zep::range(2, 10))   \
    P(PrimaryTpsAddress,    std::string,    RW,    Address, 20,  zep::maxLength(16))  \
    P(PrimaryTpsPort,       unsigned short, RW,    Number,  21,  zep::kNoLimits)
// clang-format on

ZEP_SETTING_CLASS(QEL_ZEPBirchSetting)
ZEP_SETTING_IMPL_CLASSES(QEL_ZEPBirchSetting, sZepBirchCache, zep::kNoSettingLog)

#endif  // QEL_ZEPBIRCHSETTING_H
