// Gateway messages as the framework hands them to the link's class-4
// callback, and the valid population every fuzz_gateway_messages input starts
// from. Shared by the fuzzer and its seed writer.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "GatewayInput.hpp"
#include "ZepRecords.h"

namespace fuzzinput {

// The body of a class-4 message carrying event, as the gateway writes one:
// the envelope's mark word, zero flag and reserved words, the whole record.
inline std::vector<uint8_t> messageBody(const sZepToOamEvents& event) {
    std::vector<uint8_t> body(ZEP_EVENT_BODY_LENGTH, 0);
    zeprec::storeU32(body.data(), ZEP_ENVELOPE_MARK);
    std::memcpy(body.data() + ZEP_BODY_CODE_OFFSET, event.data(), sZepToOamEvents::kSize);
    return body;
}

inline sZepIPSetTableGet terminalRecord(uint32_t dn, uint32_t moType, uint8_t macLast) {
    sZepIPSetTableGet t{};
    t.setDN(dn);
    t.setHWID({0x00, 0x1A, 0xE8, 0x10, static_cast<unsigned char>(moType), macLast});
    t.setFwVersion("V2.4.1");
    t.setMOTPS(0x0A000105);  // 10.0.1.5
    t.setMoType(moType);
    if (moType == ZEP_MOTYPE_CEDAR) {
        t.setBUID("BU-" + std::to_string(dn));
        t.setMOTN("MOTN" + std::to_string(dn));
    } else {
        t.setMODN("Model " + std::to_string(dn));
    }
    t.setSetStatus("registered");
    return t;
}

// Link up, a Cedar mode record, the settings of all three call-server types
// and every seeded terminal: each class's cache holds something.
inline std::vector<std::vector<uint8_t>> populationMessages() {
    std::vector<std::vector<uint8_t>> out;
    out.push_back(messageBody(sZepToOamEvents::ofType(ZEP_EVT_LINK_UP)));
    sZepModeSetting mode{};
    mode.setMode(1);
    mode.setMoType(ZEP_MOTYPE_CEDAR);
    out.push_back(messageBody(sZepToOamEvents::modeRecord(mode)));

    sZepCedarCache cedar{};
    cedar.setPrimaryNCSAddr(0xC0A80001);
    cedar.setAlternateNCSAddr(0xC0A80002);
    cedar.setNCSPort(2427);
    cedar.setHeartBeatPort(2428);
    cedar.setVoipTrunkAccessCode("8#");
    cedar.setTestLocalModeTimeout(5);
    cedar.setH323Id("gateway-h323");
    cedar.setNPI(1);
    cedar.setTON(2);
    cedar.setNodeId(42);
    cedar.setAccessCodeLength(4);
    out.push_back(messageBody(sZepToOamEvents::settingsRecord(cedar)));
    sZepAldrCache alder{};
    alder.setVoipTrunkAccessCode("9");
    alder.setTestLocalModeTimeout(3);
    out.push_back(messageBody(sZepToOamEvents::settingsRecord(alder)));
    sZepBirchCache birch{};
    birch.setPrimaryTpsAddress(0x0A000001);
    birch.setPrimaryTpsPort(5060);
    birch.setVoipTrunkAccessCode("7");
    birch.setTestLocalModeTimeOut(4);
    out.push_back(messageBody(sZepToOamEvents::settingsRecord(birch)));

    const uint32_t moTypes[3] = {ZEP_MOTYPE_ALDER, ZEP_MOTYPE_BIRCH, ZEP_MOTYPE_CEDAR};
    for (int c = 0; c < 3; ++c) {
        uint8_t mac = 1;
        for (uint32_t dn : seededDNs(c))
            out.push_back(messageBody(sZepToOamEvents::ipsetRecord(terminalRecord(dn, moTypes[c], mac++))));
    }
    return out;
}

}  // namespace fuzzinput
