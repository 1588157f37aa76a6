// What the three terminal classes (Cedar, Alder, Birch) share: the
// gateway-backed terminal object that holds one copy of the gateway's
// terminal record, and the event handling of their gateway-backed registries.
//
// A terminal class X supplies its property list (X_PROPERTIES, see
// ZepPropertyTable.h) and a constants struct XClass (ClassConstants below),
// derived from TerminalClassDefaults:
//   static constexpr char kClassName[];       the CIM class name
//   static constexpr uint32_t kMoType;        its call-server type
//   static constexpr char kUpdating[], kAdding[], kCastFailed[],
//                         kDeleting[], kCannotDelete[];   handler log texts (one %d: the DN)
//   static constexpr char kNonMatchingDN[];  UpdateData's refusal (%d new DN, %d held DN)
//   static void onOtherEvent(uint32_t type); the one hook: an event type
//                                            terminals do not act on
// ZEP_TERMINAL_LOG_TEXTS(X) gives the texts every class words alike.
//
// Thread-safety: a terminal object and its record belong to the class lock
// (the registry's mutex()). The event handler holds it for the whole event,
// request threads from their lookup until they are done with the object; an
// object is never used after the lock under which it was found is released.
#ifndef ZEP_TERMINAL_H
#define ZEP_TERMINAL_H

#include "ZepGatewayCache.h"
#include "ZepInstanceRegistry.h"
#include "ZepPendingRequests.h"
#include "ZepPropertyTable.h"

#include "OperationalLog.h"
#include "ZepOam.h"
#include "ZepRecords.h"
#include "tevo.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <string>
#include <typeinfo>
#include <unordered_map>
#include <vector>

namespace zep {

// The first two keys of every gateway-backed terminal; the third is the CIM
// class name. Built once: the event path looks terminals up by them.
inline const std::string& terminalSystemCreationClassName() {
    static const std::string value("QEL_System");
    return value;
}
inline const std::string& terminalSystemName() {
    static const std::string value("QEL");
    return value;
}
template <class ClassConstants>
const std::string& terminalClassName() {
    static const std::string value(ClassConstants::kClassName);
    return value;
}

// What a terminal class's constants default to: the event types terminals
// do not act on pass in silence.
struct TerminalClassDefaults {
    static void onOtherEvent(uint32_t) {}
};

// The DeviceID of every terminal whose DN the platform could not format.
inline constexpr char kBadDeviceID[] = "BAD_DN";

// A setter's value as the C string copy into a record field takes it: up to
// its first NUL (the field is then cut at its width and NUL-filled).
inline std::string_view upToNul(const std::string& value) { return std::string_view(value.c_str()); }

// The gateway-backed terminal object of class X (Base): one copy of the
// gateway's terminal record, read by the getters, changed by the setters and
// sent back whole by endChange. Constructing one registers it in the class's
// current registry (and lists it by DN for the event path); destroying it
// removes it. The class's own getters and setters (FwVersion, MOTN, BUID or
// MODN) live in the class's XImpl.
template <class Base, class ClassConstants_>
class TerminalImpl : public Base, public CachedRecord {
public:
    typedef ClassConstants_ ClassConstants;

    explicit TerminalImpl(const sZepIPSetTableGet& record)
        : Base(terminalSystemCreationClassName(), terminalSystemName(),
               terminalClassName<ClassConstants>(), BuildDeviceID(record.getDN())),
          m_record(record) {
        if (hasDecimalDeviceID()) byDN().emplace(m_record.getDN(), this);
    }

    virtual ~TerminalImpl() {
        auto it = byDN().find(m_record.getDN());
        if (it != byDN().end() && it->second == this) byDN().erase(it);
    }

    virtual int startChange() {
        if (PendingRequests* pending = PendingRequests::current())
            pending->setChangeStart(m_record.data(), sZepIPSetTableGet::kSize);
        return kPropertyOk;
    }

    // All writable fields go out together, changed or not; whatever the
    // gateway makes of them comes back as its next record for the DN. A
    // request that does not reach the gateway takes the change back (see
    // ZepPendingRequests.h). 0 or the failed send's code.
    virtual int endChange() {
        const sZepIPSetTableGet unchanged = m_record;  // what a change without a start is measured against
        const PendingRequests* pending = PendingRequests::current();
        const unsigned char* start = pending && pending->changeStart() ? pending->changeStart() : unchanged.data();
        return static_cast<int>(requestChange(ZEP_REQ_SET_IPSET, sZepIPSetTableSet(m_record), m_record.data(),
                                              start, sZepIPSetTableGet::kSize));
    }

    virtual unsigned char* recordBytes() { return m_record.data(); }
    virtual size_t recordSize() const { return sZepIPSetTableGet::kSize; }

    virtual int getDN(unsigned int& value, Qualifiers&) const {
        value = m_record.getDN();
        return kPropertyOk;
    }

    // Most significant byte first, whatever the host's byte order.
    virtual int getMOTPS(std::string& value, Qualifiers&) const {
        const uint32_t address = m_record.getMOTPS();
        char text[16];
        char* p = text;
        for (int shift = 24; shift >= 0; shift -= 8) {
            p = appendDecimalByte(p, static_cast<unsigned char>(address >> shift));
            if (shift) *p++ = '.';
        }
        value.assign(text, p - text);
        return kPropertyOk;
    }

    // Upper-case "%02X-%02X-%02X-%02X-%02X-%02X", first byte first.
    virtual int getHWID(std::string& value, Qualifiers&) const {
        static const char hex[] = "0123456789ABCDEF";
        const unsigned char* mac = m_record.data() + sZepIPSetTableGet::kHWID;
        char text[3 * sZepIPSetTableGet::kHWIDSize];
        char* p = text;
        for (size_t i = 0; i < sZepIPSetTableGet::kHWIDSize; ++i) {
            if (i) *p++ = '-';
            *p++ = hex[mac[i] >> 4];
            *p++ = hex[mac[i] & 0x0F];
        }
        value.assign(text, p - text);
        return kPropertyOk;
    }

    virtual int getSetStatus(std::string& value, Qualifiers&) const {
        m_record.getSetStatus(value);
        return kPropertyOk;
    }

    // Each redirection the gateway was sent counts once in the class-wide
    // counter. Made under a client request's pending requests, it is queued
    // there and counted when it goes out (the request's count()); otherwise
    // it is sent at once and its own count returned, 0 when the send failed.
    virtual unsigned int RedirectSet() {
        const sZepIPSetRedirect request(m_record.getDN());
        if (PendingRequests* pending = PendingRequests::current()) {
            pending->addCounted(ZEP_REQ_REDIRECT_IPSET, request.data(), request.length(), RedirectSetReturn);
            return 0;
        }
        if (ZepOamSendRecord(ZEP_REQ_REDIRECT_IPSET, request) != 0) return 0;
        return RedirectSetReturn.fetch_add(1) + 1;
    }

    // Takes the gateway's newer record for this terminal. A record for another
    // DN (two DNs sharing the "BAD_DN" name) is refused: the DN never changes.
    void UpdateData(const sZepIPSetTableGet& record) {
        const uint32_t held = m_record.getDN();
        if (record.getDN() != held) {
            logTerminalLine(ClassConstants::kNonMatchingDN, logDN(record.getDN()), logDN(held));
            return;
        }
        m_record = record;
        noteGatewayUpdate();
    }

    // 1 when the six bytes at mac are the record's hardware address, else 0.
    int compareMacAddress(unsigned char* mac) const {
        return std::memcmp(mac, m_record.data() + sZepIPSetTableGet::kHWID,
                           sZepIPSetTableGet::kHWIDSize) == 0 ? 1 : 0;
    }

    // The DN in decimal, the DeviceID key; "BAD_DN" if the platform cannot format it.
    static std::string BuildDeviceID(unsigned long dn) {
        char text[16];
        if (osItoaEx(static_cast<uint32_t>(dn), text, 10, 1) != 0) return kBadDeviceID;
        return text;
    }

    // The cached terminal of the class registered under the DN in decimal,
    // or null. The caller holds the class lock.
    static TerminalImpl* cachedWithDN(uint32_t dn) {
        auto it = byDN().find(dn);
        return it == byDN().end() ? 0 : it->second;
    }

    // Redirections of the class's terminals since the library was loaded.
    static std::atomic<uint32_t> RedirectSetReturn;

protected:
    const sZepIPSetTableGet& record() const { return m_record; }
    sZepIPSetTableGet& record() { return m_record; }

private:
    // The class's terminals registered under a decimal DeviceID, by DN, so
    // that each gateway record finds its terminal with one hash lookup rather
    // than a walk down the ordered map by a 37-byte name. A DN in decimal
    // names one terminal, so both find the same object. Changed under the
    // class lock only (terminals come and go in the event handler); never
    // destroyed, as the handler may run until the process ends.
    static std::unordered_map<uint32_t, TerminalImpl*>& byDN() {
        static auto* index = new std::unordered_map<uint32_t, TerminalImpl*>;
        return *index;
    }

    bool hasDecimalDeviceID() const {
        std::string id;
        Qualifiers qualifiers;
        this->getDeviceID(id, qualifiers);
        return id != kBadDeviceID;
    }

    static char* appendDecimalByte(char* p, unsigned char b) {
        if (b >= 100) *p++ = static_cast<char>('0' + b / 100);
        if (b >= 10) *p++ = static_cast<char>('0' + b / 10 % 10);
        *p++ = static_cast<char>('0' + b % 10);
        return p;
    }

    sZepIPSetTableGet m_record;
};

template <class Base, class ClassConstants>
std::atomic<uint32_t> TerminalImpl<Base, ClassConstants>::RedirectSetReturn(0);

// The gateway-backed registry of a terminal class: Base is X's registry, Self
// the class's XImplInstanceManager, Impl its XImpl. The static handler works
// on the one installed registry (s_this) under its class lock.
//
// Self may hide a hook with a static of its own:
//   static void beforeAddingTerminal(Self&, const sZepIPSetTableGet&);  a new DN arrives
template <class Base, class Self, class Impl>
class TerminalGatewayRegistry : public GatewayRegistry<Base, Self> {
public:
    typedef typename Base::Object Object;
    typedef typename Impl::ClassConstants ClassConstants;

    // The instance name given is a DeviceID.
    virtual int FindByInstanceName(const std::string& name, Object*& found) {
        found = 0;
        try {
            found = this->get(terminalSystemCreationClassName(), terminalSystemName(),
                              terminalClassName<ClassConstants>(), name);
        } catch (const CFG_NoInstance&) {
            return 0;
        }
        return 1;
    }

    static void ZepCallback(sZepToOamEvents* event) {
        if (event == 0) return;
        const uint32_t type = event->getType();
        // Records for the other call-server types are most of the traffic in a
        // busy system; they need neither this class's lock nor its cache.
        if (type == ZEP_EVT_IPSET_RECORD && !isOwnRecord(*event)) return;
        handleEvent<Self>([event, type](Self& registry) {
            switch (type) {
                case ZEP_EVT_LINK_DOWN:
                    DeleteInstances(0);
                    break;
                case ZEP_EVT_MODE_RECORD:
                    followModeRecord(registry, *event, ClassConstants::kMoType, ZEP_REQ_GET_IPSET_TABLE,
                                     sZepIPSetTableRequest(ClassConstants::kMoType));
                    break;
                case ZEP_EVT_IPSET_RECORD:
                    // Viewed in place: the record is copied once, into the cache.
                    takeRecord(registry, *reinterpret_cast<const sZepIPSetTableGet*>(
                                             event->data() + sZepToOamEvents::kIPSetRecord));
                    break;
                case ZEP_EVT_IPSET_DELETED:
                    if (event->getDeletedMoType() == ClassConstants::kMoType)
                        DeleteInstances(event->getDeletedDN());
                    break;
                default:
                    ClassConstants::onOtherEvent(type);
                    break;
            }
        });
    }

    // Destroys the terminal with this DN (logged either way), or every
    // terminal of the class when dn is 0 (not logged).
    static void DeleteInstances(unsigned long dn) {
        Self* registry = Self::s_this.load();
        if (registry == 0) return;
        RegistryLock<Self> lock(*registry);
        if (dn == 0) {
            destroyAll(*registry);
            return;
        }
        Object* found = findTerminal(*registry, static_cast<uint32_t>(dn));
        if (found == 0) {
            logTerminalLine(ClassConstants::kCannotDelete, logDN(static_cast<uint32_t>(dn)));
            return;
        }
        logTerminalLine(ClassConstants::kDeleting, logDN(static_cast<uint32_t>(dn)));
        delete found;
    }

    // Default hook: nothing happens before a new terminal is added.
    static void beforeAddingTerminal(Self&, const sZepIPSetTableGet&) {}

private:
    // The terminal registered under BuildDeviceID(dn), or null: by DN for a
    // decimal name, through the registry for "BAD_DN".
    static Object* findTerminal(Self& registry, uint32_t dn) {
        const std::string deviceID = Impl::BuildDeviceID(dn);
        if (deviceID != kBadDeviceID) return Impl::cachedWithDN(dn);
        try {
            return registry.get(terminalSystemCreationClassName(), terminalSystemName(),
                                terminalClassName<ClassConstants>(), deviceID);
        } catch (const CFG_NoInstance&) {
            return 0;
        }
    }

    static bool isOwnRecord(const sZepToOamEvents& event) {
        return event.getIPSetStatus() == 0 &&
               zeprec::loadU32(event.data() + sZepToOamEvents::kIPSetRecord + sZepIPSetTableGet::kMoType) ==
                   ClassConstants::kMoType;
    }

    // A record of the class's own type with status 0: updates the terminal
    // cached under its DeviceID, or adds a new one.
    static void takeRecord(Self& registry, const sZepIPSetTableGet& record) {
        const uint32_t dn = record.getDN();
        Object* found = findTerminal(registry, dn);
        if (found == 0) {
            logTerminalLine(ClassConstants::kAdding, logDN(dn));
            Self::beforeAddingTerminal(registry, record);
            new Impl(record);  // registers itself; the handlers delete it
            return;
        }
        logTerminalLine(ClassConstants::kUpdating, logDN(dn));
        // Every cached object is an Impl in practice; the exact type check
        // spares the general cast on each update.
        Impl* impl = typeid(*found) == typeid(Impl) ? static_cast<Impl*>(found) : dynamic_cast<Impl*>(found);
        if (impl == 0) {
            logTerminalLine(ClassConstants::kCastFailed);
            return;
        }
        impl->UpdateData(record);
    }
};

}  // namespace zep

// ---------------------------------------------------------------------------
// The classes of a terminal class X, made from its list X_PROPERTIES.

#define ZEP_TERMINAL_KEYS(P)                                              \
    P(SystemCreationClassName, std::string, RO, Key, 0, zep::kNoLimits)   \
    P(SystemName, std::string, RO, Key, 0, zep::kNoLimits)                \
    P(CreationClassName, std::string, RO, Key, 0, zep::kNoLimits)         \
    P(DeviceID, std::string, RO, Key, 0, zep::kNoLimits)

// The properties every terminal class starts with; TerminalImpl answers them.
#define ZEP_TERMINAL_SHARED_PROPERTIES(P)                                 \
    P(DN, unsigned int, RO, Shared, 0, zep::kNoLimits)                    \
    P(MOTPS, std::string, RO, Shared, 0, zep::kNoLimits)                  \
    P(HWID, std::string, RO, Shared, 0, zep::kNoLimits)                   \
    P(SetStatus, std::string, RO, Shared, 0, zep::kNoLimits)

// A text field of the terminal record (see ZepPropertyTable.h). A setter
// only changes the cache; endChange sends the whole record.
#define ZEP_CACHED_TextField(Name, Type, Access, Item)                    \
    virtual int get##Name(Type& value, zep::Qualifiers&) const {          \
        this->record().get##Name(value);                                  \
        return zep::kPropertyOk;                                          \
    }                                                                     \
    ZEP_WHEN_##Access(virtual int set##Name(Type value) {                 \
        this->record().set##Name(zep::upToNul(value));                    \
        return zep::kPropertyOk;                                          \
    })

// The handler's log texts that every terminal class words alike.
#define ZEP_TERMINAL_LOG_TEXTS(X)                                                                   \
    static constexpr char kClassName[] = #X;                                                        \
    static constexpr char kUpdating[] = #X "ImplInstanceManager::ZepCallback:Updating existing entry, dn=%d"; \
    static constexpr char kCastFailed[] = #X "ImplInstanceManager::ZepCallback: dynamic_cast returned NULL"; \
    static constexpr char kDeleting[] = #X "ImplInstanceManager::ZepCallback:Deleting existing entry, dn=%d"; \
    static constexpr char kCannotDelete[] = #X "ImplInstanceManager::ZepCallback: Cannot Delete instance DN=%d"; \
    static constexpr char kNonMatchingDN[] = #X "Impl::UpdateData: Received data with non-matching DN %d->%d";

// X and XInstanceManager: the abstract object, whose operations answer "no
// value" and "cannot set", in the order startChange, endChange, the listed
// properties, the four keys, RedirectSet.
#define ZEP_TERMINAL_CLASS(X)                                                                       \
    class X;                                                                                        \
    class X##InstanceManager : public zep::TerminalRegistry<X> {                                    \
    public:                                                                                         \
        X* create##X(const std::string& systemCreationClassName, const std::string& systemName,    \
                     const std::string& creationClassName, const std::string& deviceID) {          \
            return create(systemCreationClassName, systemName, creationClassName, deviceID);       \
        }                                                                                           \
        void destroy##X(X* object) { destroy(object); }                                             \
    };                                                                                              \
    class X : public zep::ManagedClass<X, X##InstanceManager> {                                     \
    public:                                                                                         \
        X(const std::string& systemCreationClassName, const std::string& systemName,               \
          const std::string& creationClassName, const std::string& deviceID)                       \
            : m_SystemCreationClassName(systemCreationClassName),                                   \
              m_SystemName(systemName),                                                             \
              m_CreationClassName(creationClassName),                                               \
              m_DeviceID(deviceID) {                                                                \
            theInstanceManager->add(this);                                                          \
        }                                                                                           \
        ZEP_ABSTRACT_CLASS_OPERATIONS(X, ZEP_TERMINAL_KEYS)                                         \
        virtual unsigned int RedirectSet() = 0;                                                     \
                                                                                                    \
    private:                                                                                        \
        std::string m_SystemCreationClassName;                                                      \
        std::string m_SystemName;                                                                   \
        std::string m_CreationClassName;                                                            \
        std::string m_DeviceID;                                                                     \
    };

// XImpl and XImplInstanceManager of a terminal class that has nothing of its
// own beyond its list and its constants XClass.
#define ZEP_TERMINAL_IMPL_CLASSES(X)                                                                \
    class X##Impl : public zep::TerminalImpl<X, X##Class> {                                         \
    public:                                                                                         \
        explicit X##Impl(const sZepIPSetTableGet& record) : TerminalImpl(record) {}                 \
        X##_PROPERTIES(ZEP_CACHED_OPERATIONS)                                                       \
    };                                                                                              \
    class X##ImplInstanceManager                                                                    \
        : public zep::TerminalGatewayRegistry<X##InstanceManager, X##ImplInstanceManager, X##Impl> {};

#endif  // ZEP_TERMINAL_H
