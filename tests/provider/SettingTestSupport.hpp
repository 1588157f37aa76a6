// Shared by the setting-class tests: CIM requests through the top-level
// provider, synthetic gateway events, and the expected bytes of the requests
// the gateway receives, built here word by word rather than through the
// request records the provider uses.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <OW_CIMParamValue.hpp>

#include "ProviderHarness.hpp"
#include "ZepRecords.h"

namespace settingtest {

using namespace OpenWBEM;
using namespace providertest;

inline constexpr char kNs[] = "root/cimv2";

typedef std::vector<unsigned char> Bytes;

inline Bytes word(uint32_t v) {
    const auto b = zeprec::hostBytes(v);
    return Bytes(b.begin(), b.end());
}

inline Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// A set-item request (code 1) in the 12-byte number form.
inline Bytes numberItem(uint32_t item, uint32_t value) { return cat({word(item), word(0), word(value)}); }

// Checks a set-item request in the 264-byte text form: item, kind 1, the
// text, and its terminator when the text is shorter than the area. Bytes
// after the terminator carry no meaning and are not compared.
inline void expectTextItem(const SentRequest& sent, uint32_t item, const std::string& text) {
    EXPECT_EQ(ZEP_REQ_SET_SETTING_ITEM, sent.code);
    ASSERT_EQ(264u, sent.payload.size());
    EXPECT_EQ(cat({word(item), word(1)}), Bytes(sent.payload.begin(), sent.payload.begin() + 8));
    EXPECT_EQ(text, std::string(sent.payload.begin() + 8, sent.payload.begin() + 8 + text.size()));
    if (text.size() < 256) {
        EXPECT_EQ(0, sent.payload[8 + text.size()]);
    }
}

inline sZepToOamEvents modeEvent(uint8_t mode, uint32_t moType) {
    sZepModeSetting record{};
    record.setMode(mode);
    record.setMoType(moType);
    return sZepToOamEvents::modeRecord(record);
}

// A settings event whose call-server type word is moType, whatever the record.
template <class Settings>
sZepToOamEvents settingsEvent(const Settings& record, uint32_t moType) {
    sZepToOamEvents event = sZepToOamEvents::settingsRecord(record);
    event.setSettingsMoType(moType);
    return event;
}

inline CIMObjectPath pathOf(const char* className) {
    CIMObjectPath path{String(className), String(kNs)};
    path.setKeyValue("InstanceID", CIMValue(String(className)));
    return path;
}

inline std::vector<CIMInstance> enumerate(QEL_ZEPProvider& p, const char* className) {
    Collector<CIMInstance> result;
    p.enumInstances(makeEnv(), kNs, className, result, WBEMFlags::E_NOT_LOCAL_ONLY, WBEMFlags::E_DEEP,
                    WBEMFlags::E_EXCLUDE_QUALIFIERS, WBEMFlags::E_EXCLUDE_CLASS_ORIGIN, 0, CIMClass(CIMNULL),
                    CIMClass(CIMNULL));
    return result.items;
}

inline CIMInstance getInstance(QEL_ZEPProvider& p, const char* className) {
    return p.getInstance(makeEnv(), kNs, pathOf(className), WBEMFlags::E_NOT_LOCAL_ONLY,
                         WBEMFlags::E_EXCLUDE_QUALIFIERS, WBEMFlags::E_EXCLUDE_CLASS_ORIGIN, 0,
                         CIMClass(CIMNULL));
}

// A modify request naming the class's one instance and nothing else yet.
inline CIMInstance modifyRequest(const char* className) {
    CIMInstance instance{String(className)};
    instance.setProperty("InstanceID", CIMValue(String(className)));
    return instance;
}

// The CIM error of the modify (-1: it succeeded) and its description.
inline int modify(QEL_ZEPProvider& p, const CIMInstance& instance, std::string* description = 0) {
    return cimErrorOf([&] {
        p.modifyInstance(makeEnv(), kNs, instance, CIMInstance(CIMNULL), WBEMFlags::E_EXCLUDE_QUALIFIERS, 0,
                         CIMClass(CIMNULL));
    }, description);
}

// The names of an instance's properties, in the instance's order.
inline std::vector<std::string> namesOf(const CIMInstance& instance) {
    std::vector<std::string> names;
    const CIMPropertyArray props = instance.getProperties();
    for (size_t i = 0; i < props.size(); ++i) names.push_back(props[i].getName().c_str());
    return names;
}

}  // namespace settingtest
