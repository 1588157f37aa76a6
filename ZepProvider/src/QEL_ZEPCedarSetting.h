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

// clang-format off
#define QEL_ZEPCedarSetting_PROPERTIES(P)                                          \
    /* Name                Type            Access Field    Item Limits */          \
    P(VoipTrunkAccessCode, std::string,    RW,    Text,    5,   zep::maxLength(16)) \
    P(TestLocalModeTimeout, unsigned char, RW,    Number,  6,   zep::range(2, 10))  \
    P(PrimaryNCSAddr,      std::string,    RW,    Address, 1,   zep::maxLength(16)) \
    P(AlternateNCSAddr,    std::string,    RW,    Address, 2,   zep::maxLength(16)) \
    P(NCSPort,             unsigned short, RW,    Number,  3,   zep::kNoLimits)     \
    P(HeartBeatPort,       unsigned short, RW,    Number,  4,   zep::kNoLimits)     \
    P(NodeId,              unsigned short, RW,    Number,  11,  zep::maxValue(9999)) \
    P(H323Id,              std::string,    RW,    Text,    8,   zep::maxLength(256)) \
    P(NPI,                 unsigned char,  RW,    Number,  9,   zep::maxValue(5))   \
    P(TON,                 unsigned char,  RW,    Number,  10,  zep::maxValue(7))   \
    P(AccessCodeLength,    unsigned int,   RW,    Number,  16,  zep::maxValue(34))
// clang-format on

ZEP_SETTING_CLASS(QEL_ZEPCedarSetting)

inline constexpr zep::SettingLogTexts kCedarSettingLog = {
    "QEL_ZEPCedarSettingImplInstanceManager::ZepCallback: Adding a new entry",
    0,
    "QEL_ZEPCedarSettingImplInstanceManager::ZepCallback: dynamic_cast returned NULL",
    0,
};

ZEP_SETTING_IMPL_CLASSES(QEL_ZEPCedarSetting, sZepCedarCache, kCedarSettingLog)

#endif  // QEL_ZEPCEDARSETTING_H
