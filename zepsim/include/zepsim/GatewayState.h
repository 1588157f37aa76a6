// The simulated gateway's state and its answers to the provider's requests,
// free of any framework code so that tests can drive it directly.
//
// GatewayState holds the mode record, one settings record per call-server
// type and one terminal table per type. Every operation that the provider
// side would see returns the events the gateway sends for it; the caller
// decides where they go. Not thread-safe: the simulator serialises all use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "ZepRecords.h"

namespace zepsim {

// Call-server types the simulator knows; the numbers are the MoType codes.
enum class CallServer : uint32_t { Cedar = ZEP_MOTYPE_CEDAR, Alder = ZEP_MOTYPE_ALDER, Birch = ZEP_MOTYPE_BIRCH };
inline constexpr std::size_t kCallServerCount = 3;

inline uint32_t moTypeOf(CallServer t) { return static_cast<uint32_t>(t); }
const char* nameOf(CallServer t);
// "cedar", "alder", "birch" (any case); nullopt for anything else.
std::optional<CallServer> callServerFromName(const std::string& name);
std::optional<CallServer> callServerFromMoType(uint32_t moType);

// Fields of a terminal that a command may give; unset ones keep their value
// (or, for a new terminal, take generated ones).
struct TerminalFields {
    std::optional<sZepIPSetTableGet::HWIDBytes> mac;
    std::optional<uint32_t> ip;
    std::optional<std::string> fwVersion;
    std::optional<std::string> buid;  // the BUID/MODN field
    std::optional<std::string> motn;
    std::optional<std::string> setStatus;
};

// The answer to one request: what to send back to its sender and what to log.
struct RequestOutcome {
    uint32_t code = 0;      // request code, 0 when the message had none
    bool malformed = false; // refused: nothing applied, nothing to send
    bool askedForMode = false;
    std::vector<sZepToOamEvents> events;
    std::string note;       // one line for the log; empty when nothing to say
};

class GatewayState {
public:
    // Mode on, Cedar, default settings, no terminals.
    GatewayState();

    const sZepModeSetting& mode() const { return mode_; }
    // The call-server type whose terminals the provider sees, if the mode is on
    // and names a known type.
    std::optional<CallServer> activeType() const;
    void setMode(bool on, CallServer type);

    const sZepCedarCache& cedarSettings() const { return cedar_; }
    const sZepAldrCache& alderSettings() const { return alder_; }
    const sZepBirchCache& birchSettings() const { return birch_; }

    using Table = std::map<uint32_t, sZepIPSetTableGet>;
    const Table& terminals(CallServer t) const { return tables_[index(t)]; }
    const sZepIPSetTableGet* terminal(CallServer t, uint32_t dn) const;

    // Adds the terminal or changes the given fields of an existing one;
    // returns the record as it now stands. A new terminal takes generated
    // values (from its DN and type) for the fields not given.
    const sZepIPSetTableGet& upsertTerminal(CallServer t, uint32_t dn, const TerminalFields& f);
    // Adds or replaces count generated terminals with DNs firstDn, firstDn+1, ...
    void generateTerminals(CallServer t, uint32_t count, uint32_t firstDn);
    // False when there was no such terminal.
    bool removeTerminal(CallServer t, uint32_t dn);
    std::size_t removeAllTerminals(CallServer t);

    // The record a new terminal gets when the command gives nothing but its
    // DN: distinct hardware and IP addresses and texts for every DN and type.
    static sZepIPSetTableGet generatedTerminal(CallServer t, uint32_t dn);

    // Events as the gateway sends them.
    sZepToOamEvents modeEvent() const { return sZepToOamEvents::modeRecord(mode_); }
    sZepToOamEvents settingsEvent(CallServer t) const;

    // Handles one request message body (from the envelope's mark on, as the
    // framework delivers it, length bytes). Never reads past length.
    // Like the gateway, it reports data of the active call-server type only:
    // requests 8 and 9 for another type go unanswered, and set requests (1,
    // 4) for another type change the state without an answer, so that a
    // request crossing a mode switch cannot refill a cache the switch emptied.
    RequestOutcome handleRequest(const unsigned char* body, std::size_t length);

private:
    static std::size_t index(CallServer t) { return static_cast<std::size_t>(t); }
    RequestOutcome setSettingItem(const unsigned char* payload, std::size_t length);
    RequestOutcome setTerminal(const unsigned char* payload, std::size_t length);

    sZepModeSetting mode_{};
    sZepCedarCache cedar_{};
    sZepAldrCache alder_{};
    sZepBirchCache birch_{};
    Table tables_[kCallServerCount];
};

// Dotted IPv4 text to the host-order number (first number most significant).
std::optional<uint32_t> parseIPv4(const std::string& text);
std::string formatIPv4(uint32_t address);
// "00:1b:4f:0a:0b:0c" or with '-' between the bytes.
std::optional<sZepIPSetTableGet::HWIDBytes> parseMac(const std::string& text);
std::string formatMac(const sZepIPSetTableGet::HWIDBytes& mac);

}  // namespace zepsim
