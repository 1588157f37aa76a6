// Gateway messages and CIM requests against the provider, in-process.
//
// Every input starts from the same state: link down (every cache empty), then
// a valid population delivered as real gateway messages. The input's chunks
// (GatewayInput.hpp) then deliver arbitrary class-4 messages through the
// callback the link registered with the framework, so the envelope check and
// all seven classes' event handlers see them, interleaved with CIM requests
// through the top-level provider. Rebuilding the state per input keeps every
// finding reproducible from its input alone.
//
// The platform is replaced at its boundary: the framework and diagnostic log
// calls of the link bind to the definitions below (the link is linked into
// this program statically), no task is ever started (so nothing runs beside
// the fuzzer's thread), and every request to the gateway is checked for its
// code and length and then dropped.
//
// Findings besides sanitizer reports: an exception other than CIMException
// escaping the top-level provider, a request whose length does not fit its
// code, and a terminal whose DeviceID is not its DN.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <OW_CIMClass.hpp>
#include <OW_CIMDataType.hpp>
#include <OW_CIMException.hpp>
#include <OW_CIMInstance.hpp>
#include <OW_CIMObjectPath.hpp>
#include <OW_CIMParamValue.hpp>
#include <OW_CIMProperty.hpp>
#include <OW_CIMValue.hpp>
#include <OW_Logger.hpp>
#include <OW_ProviderEnvironmentIFC.hpp>
#include <OW_ResultHandlerIFC.hpp>

#include "GatewayInput.hpp"
#include "GatewayMessages.hpp"
#include "ProviderEnvironment.hpp"
#include "HulDiag.h"
#include "HulMfw.h"
#include "QEL_ZEPProvider.h"
#include "ZepOam.h"
#include "ZepOamUsrlib.h"
#include "tevo.h"

using namespace OpenWBEM;
using namespace fuzzinput;

namespace {

constexpr HUL_PROCESS_HANDLE kOwnHandle = 0x100;
constexpr HUL_PROCESS_HANDLE kGatewayHandle = 0x200;

// The class-4 handler the link registered: the one way messages come in.
HUL_MFW_CALLBACK gEnvelopeHandler = nullptr;

[[noreturn]] void finding(const char* what, const std::string& detail) {
    std::fprintf(stderr, "fuzz_gateway_messages: %s: %s\n", what, detail.c_str());
    std::abort();
}

}  // namespace

// ---------------------------------------------------------------------------
// The platform boundary.

extern "C" {

HUL_RESULT HulMfwInitialize(void) { return 0; }

// The process is a participant from the start (so the link starts no message
// loop of its own), and no gateway process ever exists.
HUL_RESULT HulMfwGetProcessHandle(const char* name, HUL_PROCESS_HANDLE* handle) {
    if (!handle) return HUL_ERR_INVALID_ARG;
    if (name == nullptr) {
        *handle = kOwnHandle;
        return 0;
    }
    return HUL_ERR_NO_PROCESS;
}

HUL_RESULT HulMfwRegisterCallback(uint16_t msgClass, HUL_MFW_CALLBACK callback) {
    if (!callback) return HUL_ERR_INVALID_ARG;
    if (msgClass == ZEP_MFW_CLASS_ENVELOPE) gEnvelopeHandler = callback;
    return 0;
}

HUL_RESULT HulMfwProcessNextMessage(int32_t) { return HUL_ERR_TIMEOUT; }
HUL_RESULT HulMfwCleanup(void) { return 0; }

// Checks the request against what its code carries, then drops it.
HUL_RESULT HulMfwSendMessage(HUL_PROCESS_HANDLE, uint16_t msgClass, uint32_t, void* buffer, uint32_t length) {
    if (msgClass != ZEP_MFW_CLASS_ENVELOPE) return 0;
    if (!buffer || length < ZEP_BODY_PAYLOAD_OFFSET || length > HUL_MFW_MAX_BODY)
        finding("request envelope", "length " + std::to_string(length));
    const unsigned char* bytes = static_cast<const unsigned char*>(buffer);
    const uint32_t code = zeprec::loadU32(bytes + ZEP_ENVELOPE_CODE_OFFSET);
    const uint32_t payload = length - ZEP_BODY_PAYLOAD_OFFSET;
    bool fits = false;
    switch (code) {
    case ZEP_REQ_SET_SETTING_ITEM:
        fits = payload == sZepSettingItemSet::kNumberFormLength || payload == sZepSettingItemSet::kTextFormLength;
        break;
    case ZEP_REQ_SET_IPSET: fits = payload == sZepIPSetTableSet::kSize; break;
    case ZEP_REQ_REDIRECT_IPSET: fits = payload == sZepIPSetRedirect::kSize; break;
    case ZEP_REQ_GET_MODE:
    case ZEP_REQ_GET_SETTINGS: fits = payload == sZepSettingsRequest::kSize; break;
    case ZEP_REQ_GET_IPSET_TABLE: fits = payload == sZepIPSetTableRequest::kSize; break;
    default: break;
    }
    if (!fits) finding("request", "code " + std::to_string(code) + " with " + std::to_string(payload) + " bytes");
    return 0;
}

HUL_DIAG_RESULT HulDiagRegisterModule(const char*, const char*, const char*, const char*, HUL_DIAG_HANDLE* handle) {
    if (handle) *handle = 1;
    return 0;
}

// Reads the whole text, so a line built past its buffer is seen, and drops it.
HUL_DIAG_RESULT HulDiagAddLogEntry(HUL_DIAG_HANDLE, uint8_t, uint16_t, uint32_t, const char* text) {
    if (!text || !*text) return HUL_DIAG_ERR_INVALID_ARG;
    volatile size_t n = std::strlen(text);
    (void)n;
    return 0;
}

HUL_DIAG_RESULT HulDiagDeregisterModule(HUL_DIAG_HANDLE) { return 0; }

// The link's tasks (the connection task above all, which would raise
// link-downs of its own) would make runs depend on timing: none starts.
OS_RESULT osCreateTask(const char*, uint32_t, uint32_t, OS_TASK_ENTRY, void*, uint32_t, OS_HANDLE* task) {
    if (task) *task = 0;
    return OS_ERR_NO_RESOURCE;
}

}  // extern "C"

// ---------------------------------------------------------------------------
// The object manager's side.

namespace {

template <class T>
class Collector : public ResultHandlerIFC<T> {
public:
    std::vector<T> items;

protected:
    void doHandle(const T& x) { items.push_back(x); }
};

// The seven classes in class order, then a name that is none of them.
const char* const kClassNames[] = {"QEL_ZEPModeSetting",  "QEL_ZEPAlderTerminal", "QEL_ZEPBirchTerminal",
                                   "QEL_ZEPCedarTerminal", "QEL_ZEPAlderSetting",  "QEL_ZEPBirchSetting",
                                   "QEL_ZEPCedarSetting",  "QEL_ZEPCedarterminal"};
constexpr int kClassChoices = sizeof kClassNames / sizeof kClassNames[0];

// Index into seededDNs for a terminal class, else -1.
int terminalIndex(int cls) { return cls >= 1 && cls <= 3 ? cls - 1 : -1; }

// Every property name any class has, writable or not, and one nobody has.
const char* const kPropertyNames[] = {
    "MOTN", "BUID", "MODN", "VoipTrunkAccessCode", "TestLocalModeTimeout", "TestLocalModeTimeOut",
    "PrimaryNCSAddr", "AlternateNCSAddr", "NCSPort", "HeartBeatPort", "NodeId", "H323Id", "NPI", "TON",
    "AccessCodeLength", "PrimaryTpsAddress", "PrimaryTpsPort", "dummy", "Mode", "MoType", "DN", "HWID",
    "MOTPS", "SetStatus", "FwVersion", "DeviceID", "InstanceID", "motn", "Unknown"};
constexpr int kPropertyChoices = sizeof kPropertyNames / sizeof kPropertyNames[0];

const char* const kMethodNames[] = {"RedirectSet", "FindByInstanceName", "redirectset"};

const String kNamespace("root/cimv2");

CIMValue readValue(Reader& in) {
    switch (in.byte() % kValueKindCount) {
    case kValueText: return CIMValue(String(in.text().c_str()));
    case kValueUInt8: return CIMValue(UInt8(in.byte()));
    case kValueUInt16: return CIMValue(UInt16(in.u16()));
    case kValueUInt32: return CIMValue(UInt32(in.u32()));
    case kValueUInt64: return CIMValue(UInt64(in.u64()));
    case kValueSInt32: return CIMValue(Int32(static_cast<int32_t>(in.u32())));
    case kValueBool: return CIMValue(Bool((in.byte() & 1) != 0));
    case kValueTextArray: {
        StringArray items;
        for (int n = in.byte() % 4; n > 0; --n) items.push_back(String(in.text().c_str()));
        return CIMValue(items);
    }
    default: return CIMValue(CIMNULL);
    }
}

// The key properties of class cls as a key selector describes them.
CIMPropertyArray readKeys(Reader& in, int cls) {
    const uint8_t selector = in.byte();
    const int terminal = terminalIndex(cls);
    std::string id;
    switch (selector & 3) {
    case kKeyCached:
        if (terminal >= 0) {
            const std::vector<uint32_t>& dns = seededDNs(terminal);
            id = std::to_string(dns[in.byte() % dns.size()]);
        } else {
            id = kClassNames[cls];
        }
        break;
    case kKeyNumber: id = std::to_string(in.u32()); break;
    case kKeyText: id = in.text(); break;
    default: id = kClassNames[(cls + 1 + in.byte() % (kClassChoices - 1)) % kClassChoices]; break;
    }
    const char* const idName = terminal >= 0 || cls == kClassChoices - 1 ? "DeviceID" : "InstanceID";
    const CIMProperty idKey = (selector & kKeyNull) ? CIMProperty(idName, CIMDataType(CIMDataType::STRING))
                                                    : CIMProperty(idName, CIMValue(String(id.c_str())));

    CIMPropertyArray keys;
    if (terminal >= 0 || cls == kClassChoices - 1) {
        keys.push_back(CIMProperty("SystemCreationClassName", CIMValue(String("QEL_System"))));
        keys.push_back(CIMProperty("SystemName", CIMValue(String("QEL"))));
        keys.push_back(CIMProperty("CreationClassName", CIMValue(String(kClassNames[cls]))));
    }
    keys.push_back(idKey);
    if (selector & kKeyDropOne) keys.erase(keys.begin() + in.byte() % keys.size());
    return keys;
}

CIMObjectPath pathOf(const CIMPropertyArray& keys, int cls) {
    CIMObjectPath path(String(kClassNames[cls]), kNamespace);
    path.setKeys(keys);
    return path;
}

// A terminal's DeviceID is its DN in decimal: the cache never keeps a record
// under another terminal's name.
void checkTerminal(const CIMInstance& instance) {
    const CIMValue dn = instance.getPropertyValue("DN");
    const CIMValue id = instance.getPropertyValue("DeviceID");
    if (!dn || !id) finding("terminal instance", "without DN or DeviceID");
    UInt32 number = 0;
    dn.get(number);
    const std::string text = id.toString().c_str();
    if (text != std::to_string(number)) finding("terminal instance", "DeviceID " + text + " for DN " + std::to_string(number));
}

class Session {
public:
    Session() : env_(owtest::makeEnvironment()), population_(populationMessages()) {
        provider_.initialize(env_);
        // What the connection task would do first: hook the link into the
        // framework. No gateway exists, so no time is spent waiting for one.
        ConnectToZep(0, 0, 0, 0, ZepOamCallback);
        if (!gEnvelopeHandler) finding("set-up", "the link registered no class-4 handler");
    }

    void run(const uint8_t* data, size_t size) {
        linkDown();
        for (const std::vector<uint8_t>& body : population_) deliver(body.data(), body.size());
        Reader in(data, size);
        while (!in.done()) {
            try {
                step(in);
            } catch (const CIMException&) {
                // A refusal is an answer; anything else escaping is a finding.
            }
        }
    }

private:
    void linkDown() {
        sZepToOamEvents down = sZepToOamEvents::ofType(ZEP_EVT_LINK_DOWN);
        ZepOamCallback(&down, 0);
    }

    // A framework buffer of exactly the message's size, so that reading past
    // the message is seen.
    void deliver(const uint8_t* body, size_t length) {
        std::vector<unsigned char> message(HUL_MFW_HEADER_SIZE + length);
        zeprec::storeU32(message.data() + HUL_MFW_SENDER_OFFSET, kGatewayHandle);
        if (length) std::memcpy(message.data() + HUL_MFW_HEADER_SIZE, body, length);
        gEnvelopeHandler(ZEP_MFW_CLASS_ENVELOPE, static_cast<uint32_t>(length), message.data(), kGatewayHandle);
    }

    void step(Reader& in) {
        switch (in.byte() % kOpCount) {
        case kOpMessage: {
            const size_t length = in.u16() % (HUL_MFW_MAX_BODY + 1);
            const std::vector<uint8_t> body = in.bytes(length);
            deliver(body.data(), body.size());
            break;
        }
        case kOpLinkDown: linkDown(); break;
        case kOpEnum: enumerate(in.byte() % kClassChoices, (in.byte() & 1) != 0); break;
        case kOpGet: {
            const int cls = in.byte() % kClassChoices;
            const CIMInstance instance =
                provider_.getInstance(env_, kNamespace, pathOf(readKeys(in, cls), cls), WBEMFlags::E_NOT_LOCAL_ONLY,
                                      WBEMFlags::E_EXCLUDE_QUALIFIERS, WBEMFlags::E_EXCLUDE_CLASS_ORIGIN, nullptr,
                                      CIMClass(CIMNULL));
            if (terminalIndex(cls) >= 0) checkTerminal(instance);
            break;
        }
        case kOpModify: modify(in); break;
        case kOpInvoke: invoke(in); break;
        }
    }

    void enumerate(int cls, bool namesOnly) {
        const String className(kClassNames[cls]);
        if (namesOnly) {
            Collector<CIMObjectPath> names;
            provider_.enumInstanceNames(env_, kNamespace, className, names, CIMClass(CIMNULL));
            return;
        }
        Collector<CIMInstance> instances;
        provider_.enumInstances(env_, kNamespace, className, instances, WBEMFlags::E_NOT_LOCAL_ONLY,
                                WBEMFlags::E_DEEP, WBEMFlags::E_EXCLUDE_QUALIFIERS,
                                WBEMFlags::E_EXCLUDE_CLASS_ORIGIN, nullptr, CIMClass(CIMNULL), CIMClass(CIMNULL));
        if (terminalIndex(cls) >= 0)
            for (const CIMInstance& instance : instances.items) checkTerminal(instance);
    }

    void modify(Reader& in) {
        const int cls = in.byte() % kClassChoices;
        CIMInstance instance(kClassNames[cls]);
        for (const CIMProperty& key : readKeys(in, cls)) instance.setProperty(key);
        for (int n = in.byte() % 4 + 1; n > 0; --n) {
            const char* name = kPropertyNames[in.byte() % kPropertyChoices];
            // A name given again is a new property, whatever its type.
            instance.removeProperty(name);
            instance.setProperty(name, readValue(in));
        }
        provider_.modifyInstance(env_, kNamespace, instance, CIMInstance(CIMNULL), WBEMFlags::E_EXCLUDE_QUALIFIERS,
                                 nullptr, CIMClass(CIMNULL));
    }

    void invoke(Reader& in) {
        const int cls = in.byte() % kClassChoices;
        const CIMObjectPath target = pathOf(readKeys(in, cls), cls);
        const char* method = kMethodNames[in.byte() % 3];
        CIMParamValueArray params;
        params.push_back(CIMParamValue("name", readValue(in)));
        const int refClass = in.byte() % kClassChoices;
        params.push_back(CIMParamValue("inst", CIMValue(pathOf(readKeys(in, refClass), refClass))));
        CIMParamValueArray out;
        provider_.invokeMethod(env_, kNamespace, target, method, params, out);
    }

    ProviderEnvironmentIFCRef env_;
    QEL_ZEPProvider provider_;
    const std::vector<std::vector<uint8_t>> population_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Lives until the process ends, as the provider does in the object manager.
    static Session* const session = new Session;
    session->run(data, size);
    return 0;
}
