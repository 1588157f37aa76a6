// Writes the seed inputs of fuzz_gateway_messages into a directory: valid
// gateway traffic built with the record writers, and the CIM requests that
// reach each class's getters, setters and methods. The committed corpus is
// this program's output:  make_gateway_seeds fuzz/corpus/gateway_messages
#include <cstdio>
#include <fstream>
#include <string>

#include "GatewayInput.hpp"
#include "GatewayMessages.hpp"

using namespace fuzzinput;

namespace {

// Class bytes, in the fuzzer's class order.
enum Class : uint8_t { kMode, kAlderTerm, kBirchTerm, kCedarTerm, kAlderSet, kBirchSet, kCedarSet, kNoClass };

// Property bytes: indexes into the fuzzer's name table.
enum Property : uint8_t {
    pMOTN, pBUID, pMODN, pVoipTrunkAccessCode, pTestLocalModeTimeout, pTestLocalModeTimeOut, pPrimaryNCSAddr,
    pAlternateNCSAddr, pNCSPort, pHeartBeatPort, pNodeId, pH323Id, pNPI, pTON, pAccessCodeLength,
    pPrimaryTpsAddress, pPrimaryTpsPort, pDummy
};

Writer& message(Writer& w, const sZepToOamEvents& event) {
    const std::vector<uint8_t> body = messageBody(event);
    return w.op(kOpMessage).u16(static_cast<uint16_t>(body.size())).bytes(body.data(), body.size());
}
Writer& shortMessage(Writer& w, const sZepToOamEvents& event, uint16_t recordBytes) {
    std::vector<uint8_t> body = messageBody(event);
    body.resize(ZEP_BODY_CODE_OFFSET + recordBytes);
    return w.op(kOpMessage).u16(static_cast<uint16_t>(body.size())).bytes(body.data(), body.size());
}
Writer& enumerate(Writer& w, Class c, bool names = false) { return w.op(kOpEnum).byte(c).byte(names ? 1 : 0); }
Writer& cachedKey(Writer& w, uint8_t index) { return w.byte(kKeyCached).byte(index); }
Writer& settingKey(Writer& w) { return w.byte(kKeyCached); }
Writer& text(Writer& w, const std::string& s) { return w.byte(kValueText).text(s); }

void save(const std::string& dir, const char* name, const Writer& w) {
    std::ofstream out(dir + "/" + name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(w.data().data()), static_cast<std::streamsize>(w.data().size()));
    if (!out) std::fprintf(stderr, "make_gateway_seeds: cannot write %s/%s\n", dir.c_str(), name);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_gateway_seeds <directory>\n");
        return 2;
    }
    const std::string dir = argv[1];

    {  // New terminals of every type, then every class enumerated both ways.
        Writer w;
        message(w, sZepToOamEvents::ipsetRecord(terminalRecord(4100, ZEP_MOTYPE_CEDAR, 0x41)));
        message(w, sZepToOamEvents::ipsetRecord(terminalRecord(5100, ZEP_MOTYPE_ALDER, 0x51)));
        message(w, sZepToOamEvents::ipsetRecord(terminalRecord(6100, ZEP_MOTYPE_BIRCH, 0x61)));
        for (uint8_t c = kMode; c <= kNoClass; ++c) enumerate(enumerate(w, Class(c)), Class(c), true);
        save(dir, "terminals_added", w);
    }
    {  // Updates of cached terminals: same DN, a refused record (status), another type.
        Writer w;
        sZepIPSetTableGet t = terminalRecord(4000, ZEP_MOTYPE_CEDAR, 1);
        t.setSetStatus("unregistered");
        t.setMOTN("MOTN-full-15chr");
        message(w, sZepToOamEvents::ipsetRecord(t));
        message(w, sZepToOamEvents::ipsetRecord(terminalRecord(4001, ZEP_MOTYPE_CEDAR, 9), 1));
        message(w, sZepToOamEvents::ipsetRecord(terminalRecord(4002, 7, 9)));
        w.op(kOpGet).byte(kCedarTerm).byte(kKeyCached).byte(0);
        enumerate(w, kCedarTerm);
        save(dir, "terminals_updated", w);
    }
    {  // A new Cedar DN with the hardware address of a cached one.
        Writer w;
        message(w, sZepToOamEvents::ipsetRecord(terminalRecord(4500, ZEP_MOTYPE_CEDAR, 1)));
        sZepIPSetTableGet zeroMac = terminalRecord(4600, ZEP_MOTYPE_CEDAR, 0);
        zeroMac.setHWID({0, 0, 0, 0, 0, 0});
        message(w, sZepToOamEvents::ipsetRecord(zeroMac));
        enumerate(w, kCedarTerm);
        save(dir, "mac_conflict", w);
    }
    {  // Deletions: one DN, a DN not cached, all of a type, another type.
        Writer w;
        message(w, sZepToOamEvents::ipsetDeleted(ZEP_MOTYPE_CEDAR, 4001));
        message(w, sZepToOamEvents::ipsetDeleted(ZEP_MOTYPE_ALDER, 9999));
        message(w, sZepToOamEvents::ipsetDeleted(ZEP_MOTYPE_BIRCH, 0));
        message(w, sZepToOamEvents::ipsetDeleted(3, 0));
        enumerate(enumerate(enumerate(w, kCedarTerm), kAlderTerm), kBirchTerm);
        save(dir, "deletions", w);
    }
    {  // Mode changes: to Alder, to off, then a link-down and a new link-up.
        Writer w;
        sZepModeSetting mode{};
        mode.setMode(1);
        mode.setMoType(ZEP_MOTYPE_ALDER);
        message(w, sZepToOamEvents::modeRecord(mode));
        enumerate(enumerate(w, kCedarTerm), kMode);
        mode.setMode(0);
        message(w, sZepToOamEvents::modeRecord(mode));
        enumerate(w, kAlderSet);
        w.op(kOpLinkDown);
        message(w, sZepToOamEvents::ofType(ZEP_EVT_LINK_UP));
        enumerate(w, kMode);
        save(dir, "mode_changes", w);
    }
    {  // Messages cut short, unknown event types, a link-down from the gateway.
        Writer w;
        shortMessage(w, sZepToOamEvents::ipsetRecord(terminalRecord(4700, ZEP_MOTYPE_CEDAR, 0x47)), 4);
        shortMessage(w, sZepToOamEvents::ipsetRecord(terminalRecord(4701, ZEP_MOTYPE_CEDAR, 0x48)), 60);
        shortMessage(w, sZepToOamEvents::settingsRecord(sZepCedarCache{}), 20);
        w.op(kOpMessage).u16(3).byte(3).byte(0).byte(0);
        for (uint32_t type : {0u, 2u, 3u, 9u, 0xFFFFFFFFu}) message(w, sZepToOamEvents::ofType(type));
        message(w, sZepToOamEvents::ofType(ZEP_EVT_LINK_DOWN));
        enumerate(w, kCedarTerm);
        save(dir, "odd_messages", w);
    }
    {  // Terminal modifications and methods.
        Writer w;
        w.op(kOpModify).byte(kCedarTerm);
        cachedKey(w, 0).byte(1);
        text(w.byte(pMOTN), "ABC");
        text(w.byte(pBUID), std::string(34, 'B'));
        w.op(kOpModify).byte(kAlderTerm);
        cachedKey(w, 1).byte(0);
        text(w.byte(pMODN), "Model X");
        w.op(kOpModify).byte(kCedarTerm);
        cachedKey(w, 2).byte(0);
        text(w.byte(pMOTN), "sixteen-chars-xx");
        w.op(kOpModify).byte(kBirchTerm);
        cachedKey(w, 0).byte(0);
        w.byte(pMODN).byte(kValueNull);
        w.op(kOpInvoke).byte(kCedarTerm);
        cachedKey(w, 0).byte(0);
        text(w, "x").byte(kCedarTerm);
        cachedKey(w, 1);
        w.op(kOpInvoke).byte(kAlderTerm);
        cachedKey(w, 0).byte(1);
        text(w, "5001").byte(kAlderTerm);
        cachedKey(w, 1);
        w.op(kOpInvoke).byte(kBirchTerm);
        cachedKey(w, 0).byte(1);
        text(w, "6000").byte(kBirchTerm).byte(kKeyText).text("nobody");
        save(dir, "terminal_requests", w);
    }
    {  // Setting modifications, within and beyond their limits.
        Writer w;
        w.op(kOpModify).byte(kCedarSet);
        settingKey(w).byte(2);
        text(w.byte(pPrimaryNCSAddr), "192.168.0.10");
        w.byte(pNCSPort).byte(kValueUInt16).u16(2727);
        w.byte(pNodeId).byte(kValueUInt16).u16(10000);
        w.op(kOpModify).byte(kCedarSet);
        settingKey(w).byte(3);
        w.byte(pTestLocalModeTimeout).byte(kValueUInt8).byte(5);
        w.byte(pNPI).byte(kValueUInt8).byte(5);
        text(w.byte(pH323Id), "h323-id");
        w.byte(pAccessCodeLength).byte(kValueUInt32).u32(34);
        w.op(kOpModify).byte(kAlderSet);
        settingKey(w).byte(1);
        text(w.byte(pVoipTrunkAccessCode), "0123456789abcdefg");
        w.byte(pTestLocalModeTimeout).byte(kValueUInt8).byte(1);
        w.op(kOpModify).byte(kBirchSet);
        settingKey(w).byte(2);
        text(w.byte(pPrimaryTpsAddress), "10.0.0.300");
        w.byte(pPrimaryTpsPort).byte(kValueUInt16).u16(5061);
        w.byte(pTestLocalModeTimeOut).byte(kValueUInt8).byte(10);
        w.op(kOpModify).byte(kMode);
        settingKey(w).byte(0);
        w.byte(pDummy).byte(kValueUInt8).byte(1);
        for (uint8_t c : {kMode, kAlderSet, kBirchSet, kCedarSet}) w.op(kOpGet).byte(c).byte(kKeyCached);
        save(dir, "setting_requests", w);
    }
    {  // Lookups that miss: a number, a text, another class's name, a key left out, a null key.
        Writer w;
        w.op(kOpGet).byte(kCedarTerm).byte(kKeyNumber).u32(4294967295u);
        w.op(kOpGet).byte(kAlderTerm).byte(kKeyText).text("5000 ");
        w.op(kOpGet).byte(kCedarSet).byte(kKeyOtherClass).byte(0);
        w.op(kOpGet).byte(kBirchTerm).byte(kKeyCached | kKeyDropOne).byte(0).byte(1);
        w.op(kOpGet).byte(kMode).byte(kKeyCached | kKeyNull);
        w.op(kOpGet).byte(kNoClass).byte(kKeyCached);
        save(dir, "lookups", w);
    }
    return 0;
}
