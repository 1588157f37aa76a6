// Shared by the terminal-class tests: terminal records and events, CIM
// requests through the top-level provider, and the expected bytes of what
// the gateway receives, built word by word here rather than through the
// request records the provider uses.
#pragma once

#include <gtest/gtest.h>

#include <OW_CIMParamValue.hpp>

#include <string>
#include <vector>

#include "ProviderHarness.hpp"
#include "ZepRecords.h"

namespace terminaltest {

using namespace OpenWBEM;
using namespace providertest;

inline constexpr char kNs[] = "root/cimv2";
inline constexpr char kCedar[] = "QEL_ZEPCedarTerminal";
inline constexpr char kAlder[] = "QEL_ZEPAlderTerminal";
inline constexpr char kBirch[] = "QEL_ZEPBirchTerminal";

typedef std::vector<unsigned char> Bytes;
typedef sZepIPSetTableGet::HWIDBytes Mac;

inline Bytes word(uint32_t v) {
    const auto b = zeprec::hostBytes(v);
    return Bytes(b.begin(), b.end());
}

inline Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// A text NUL-padded to a field's width.
inline Bytes field(const std::string& text, size_t width) {
    Bytes out(text.begin(), text.end());
    out.resize(width, 0);
    return out;
}

inline std::string text(const CIMInstance& instance, const char* property) {
    return instance.getPropertyValue(property).toString().c_str();
}

inline Mac mac(unsigned char last, unsigned char first = 0x00) { return Mac{first, 0x1B, 0x4F, 0x0A, 0x0B, last}; }

inline sZepIPSetTableGet terminal(uint32_t dn, uint32_t moType, const Mac& hwid = mac(0x0C)) {
    sZepIPSetTableGet r{};
    r.setDN(dn);
    r.setMoType(moType);
    r.setHWID(hwid);
    r.setMOTPS(0xC0A8010A);
    r.setFwVersion("FW1.2");
    r.setBUID("buid-" + std::to_string(dn));
    r.setMOTN("motn");
    r.setSetStatus("registered");
    return r;
}

inline sZepToOamEvents modeEvent(uint8_t mode, uint32_t moType) {
    sZepModeSetting record{};
    record.setMode(mode);
    record.setMoType(moType);
    return sZepToOamEvents::modeRecord(record);
}

inline CIMObjectPath pathOf(const char* className, const std::string& deviceID) {
    CIMObjectPath path{String(className), String(kNs)};
    path.setKeyValue("SystemCreationClassName", CIMValue(String("QEL_System")));
    path.setKeyValue("SystemName", CIMValue(String("QEL")));
    path.setKeyValue("CreationClassName", CIMValue(String(className)));
    path.setKeyValue("DeviceID", CIMValue(String(deviceID.c_str())));
    return path;
}
inline CIMObjectPath pathOf(const char* className, uint32_t dn) { return pathOf(className, std::to_string(dn)); }

inline void enumerate(const char* className, CIMInstanceResultHandlerIFC& result) {
    provider().enumInstances(makeEnv(), kNs, className, result, WBEMFlags::E_NOT_LOCAL_ONLY, WBEMFlags::E_DEEP,
                             WBEMFlags::E_EXCLUDE_QUALIFIERS, WBEMFlags::E_EXCLUDE_CLASS_ORIGIN, 0,
                             CIMClass(CIMNULL), CIMClass(CIMNULL));
}
inline std::vector<CIMInstance> enumerate(const char* className) {
    Collector<CIMInstance> result;
    enumerate(className, result);
    return result.items;
}

// The DeviceIDs of a class's instances, in enumeration order.
inline std::vector<std::string> deviceIDs(const char* className) {
    std::vector<std::string> ids;
    for (const CIMInstance& i : enumerate(className)) ids.push_back(text(i, "DeviceID"));
    return ids;
}

inline CIMInstance getInstance(const CIMObjectPath& path) {
    return provider().getInstance(makeEnv(), kNs, path, WBEMFlags::E_NOT_LOCAL_ONLY,
                                  WBEMFlags::E_EXCLUDE_QUALIFIERS, WBEMFlags::E_EXCLUDE_CLASS_ORIGIN, 0,
                                  CIMClass(CIMNULL));
}

inline std::string textOf(const char* className, uint32_t dn, const char* property) {
    return text(getInstance(pathOf(className, dn)), property);
}

inline std::vector<std::string> propertyNames(const CIMInstance& instance) {
    std::vector<std::string> names;
    for (const CIMProperty& p : instance.getProperties()) names.push_back(p.getName().c_str());
    return names;
}

// A modify request naming one terminal by its keys, and nothing else yet.
inline CIMInstance modifyRequest(const char* className, uint32_t dn) {
    CIMInstance instance{String(className)};
    const CIMObjectPath path = pathOf(className, dn);
    for (const CIMProperty& key : path.getKeys()) instance.setProperty(key);
    return instance;
}

// The CIM error of the modify (-1: it succeeded) and its description.
inline int modify(const CIMInstance& instance, std::string* description = 0) {
    return cimErrorOf([&] {
        provider().modifyInstance(makeEnv(), kNs, instance, CIMInstance(CIMNULL), WBEMFlags::E_EXCLUDE_QUALIFIERS,
                                  0, CIMClass(CIMNULL));
    }, description);
}

inline CIMValue invoke(const CIMObjectPath& path, const char* method, const CIMParamValueArray& in,
                       CIMParamValueArray& out) {
    return provider().invokeMethod(makeEnv(), kNs, path, method, in, out);
}

// Request 4 as the gateway must receive it.
inline Bytes setRequest(uint32_t dn, uint32_t moType, const std::string& buid, const std::string& motn) {
    return cat({word(0), word(0xFFFFFFFF), word(dn), word(moType), field(buid, 34), field(motn, 15)});
}

}  // namespace terminaltest
