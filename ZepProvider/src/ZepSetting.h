// What the four setting classes (the mode and the Cedar, Alder and Birch
// call-server settings) share: the classes made from a class's property
// list, the cached object that holds one record, the gateway event handling
// that keeps it, and the property helpers that read fields of the record and
// turn a changed field into one set-item request to the gateway.
//
// Thread-safety: nothing here locks. The helpers touch one object's record
// and are called by the class provider, which holds the class lock; the event
// handler runs inside handleEvent, which holds it for the whole event.
#ifndef ZEP_SETTING_H
#define ZEP_SETTING_H

#include "ZepGatewayCache.h"
#include "ZepInstanceRegistry.h"
#include "ZepPendingRequests.h"
#include "ZepPropertyTable.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace zep {

// The gateway-backed object of a setting class: the managed object Object
// with its own copy of the call-server type's settings record. The record is
// carried whole, bytes the class does not interpret included, and a new
// record from the gateway replaces it whole.
template <class Object, class Record_>
class SettingImpl : public Object, public CachedRecord {
public:
    typedef Record_ Record;

    SettingImpl(const char* instanceID, const Record& record) : Object(instanceID), m_record(record) {}

    void UpdateData(const Record& record) {
        m_record = record;
        noteGatewayUpdate();
    }

    virtual unsigned char* recordBytes() { return m_record.data(); }
    virtual size_t recordSize() const { return Record::kSize; }

protected:
    Record m_record;
};

// The operational log lines a setting class writes while taking a record; a
// null text is not written.
struct SettingLogTexts {
    const char* addingEntry;   // no instance yet: one is created
    const char* updatingEntry; // the instance takes the record
    const char* castFailed;    // the registered object is no gateway-backed one
    const char* updatingData;  // written as the record is taken
};
inline constexpr SettingLogTexts kNoSettingLog = {0, 0, 0, 0};

// Where a setting class's record comes from, by record type: a call-server
// settings record arrives as a settings record of its type, once the mode
// record selects that type (the mode setting's record has its own source).
template <class Record>
struct SettingSource {
    // The class's record, when the event brings one.
    static bool recordIn(const sZepToOamEvents& event, Record& record) {
        if (event.getType() != ZEP_EVT_SETTINGS_RECORD || event.getSettingsMoType() != Record::kMoTypeCode)
            return false;
        record = zeprec::fromBytes<Record>(event.settingsRecordBytes(), Record::kSize);
        return true;
    }
    // Any other event: a mode record that does not select the type forgets
    // the instance, one that selects it asks for the settings.
    template <class Registry>
    static void follow(Registry& registry, const sZepToOamEvents& event) {
        if (event.getType() == ZEP_EVT_MODE_RECORD)
            followModeRecord(registry, event, Record::kMoTypeCode, ZEP_REQ_GET_SETTINGS,
                             sZepSettingsRequest(Record::kMoTypeCode));
    }
};

// The event handler of a setting class whose gateway-backed registry is
// ImplRegistry and whose cached object is Impl: link down forgets the
// instance, the class's record creates or updates the one instance named
// instanceID, and other events go to the record's source.
template <class ImplRegistry, class Impl>
void handleSettingEvent(const sZepToOamEvents* event, const char* instanceID, const SettingLogTexts& log) {
    typedef typename Impl::Record Record;
    if (event == 0) return;
    handleEvent<ImplRegistry>([&](ImplRegistry& registry) {
        if (event->getType() == ZEP_EVT_LINK_DOWN) return destroyAll(registry);
        Record record{};
        if (!SettingSource<Record>::recordIn(*event, record))
            return SettingSource<Record>::follow(registry, *event);
        typename ImplRegistry::Object* found = 0;
        try {
            found = registry.get(instanceID);
        } catch (const CFG_NoInstance&) {
            if (log.addingEntry) logLine("%s", log.addingEntry);
            new Impl(record);  // registers itself; the registry keeps it
            return;
        }
        if (log.updatingEntry) logLine("%s", log.updatingEntry);
        Impl* impl = dynamic_cast<Impl*>(found);
        if (impl == 0) {
            if (log.castFailed) logLine("%s", log.castFailed);
            return;
        }
        if (log.updatingData) logLine("%s", log.updatingData);
        impl->UpdateData(record);
    });
}

// ---------------------------------------------------------------------------
// Getters: a field of the record as the property's value. They always have
// a value.

// The low-order bits of a 32-bit field that the property's type holds.
template <class Value>
int readNumber(uint32_t field, Value& value) {
    value = static_cast<Value>(field);
    return kPropertyOk;
}

inline int readText(const std::string& field, std::string& value) {
    value = field;
    return kPropertyOk;
}

// An IPv4 address field as dotted text, formatted by the platform.
int readAddress(uint32_t field, std::string& value);

// ---------------------------------------------------------------------------
// Setters: each stores the new value in the cached record at once and makes
// one set-item request (code 1) for the property's item (see
// ZepPendingRequests.h: a request that does not reach the gateway takes its
// field back). The gateway's next settings record overwrites the cache with
// its own view. 0, or the code of a send that failed. All take the field's
// store and load accessors; only the text setter needs its load.

// A number field: stored zero-extended, sent in the 12-byte number form.
template <class Record, class Load>
int writeNumber(Record& record, void (Record::*store)(uint32_t), Load, uint32_t item, uint32_t value) {
    const Record before = record;
    (record.*store)(value);
    return static_cast<int>(requestChange(ZEP_REQ_SET_SETTING_ITEM, sZepSettingItemSet::number(item, value),
                                          record.data(), before.data(), Record::kSize));
}

// A text field: as much of the text as the field holds, the rest of the field
// zero-filled; the field's text then goes out in the 264-byte text form.
template <class Record>
int writeText(Record& record, bool (Record::*store)(std::string_view), std::string (Record::*load)() const,
              uint32_t item, const std::string& text) {
    const Record before = record;
    (record.*store)(text);
    return static_cast<int>(requestChange(ZEP_REQ_SET_SETTING_ITEM, sZepSettingItemSet::text(item, (record.*load)()),
                                          record.data(), before.data(), Record::kSize));
}

// Converts dotted text to an address; 0 and the address, or the platform's
// non-zero code when the text is no address.
uint32_t parseAddress(const std::string& text, uint32_t& address);

// An address field, sent as a number. Text that is no address is neither
// stored nor sent: whatever the conversion left behind would reach the
// gateway as a wrong address while the client saw success. The conversion's
// code is returned instead, and the class provider reports it as a failed
// setter.
template <class Record, class Load>
int writeAddress(Record& record, void (Record::*store)(uint32_t), Load load, uint32_t item, const std::string& text) {
    uint32_t address = 0;
    const uint32_t rc = parseAddress(text, address);
    if (rc != 0) return static_cast<int>(rc);
    return writeNumber(record, store, load, item, address);
}

}  // namespace zep

// ---------------------------------------------------------------------------
// The classes of a setting class X, made from its list X_PROPERTIES.

#define ZEP_SETTING_KEYS(P) P(InstanceID, std::string, RO, Key, 0, zep::kNoLimits)

// How a settings record field is read and written (see ZepPropertyTable.h):
// through zep::readKind and zep::writeKind for the field kinds below.
#define ZEP_CACHED_SETTING_FIELD(Kind, Name, Type, Access, Item)                                        \
    virtual int get##Name(Type& value, zep::Qualifiers&) const {                                        \
        return zep::read##Kind(m_record.get##Name(), value);                                            \
    }                                                                                                   \
    ZEP_WHEN_##Access(virtual int set##Name(Type value) {                                               \
        return zep::write##Kind(m_record, &Record::set##Name, &Record::get##Name, Item, value);         \
    })
#define ZEP_CACHED_Number(...) ZEP_CACHED_SETTING_FIELD(Number, __VA_ARGS__)
#define ZEP_CACHED_Text(...) ZEP_CACHED_SETTING_FIELD(Text, __VA_ARGS__)
#define ZEP_CACHED_Address(...) ZEP_CACHED_SETTING_FIELD(Address, __VA_ARGS__)

// X and XInstanceManager: the abstract object, whose operations answer "no
// value" and "cannot set", in the order startChange, endChange, the listed
// properties, then the key.
#define ZEP_SETTING_CLASS(X)                                                                            \
    class X;                                                                                            \
    class X##InstanceManager : public zep::SettingRegistry<X> {                                         \
    public:                                                                                             \
        X* create##X(const std::string& id) { return create(id); }                                      \
        void destroy##X(X* object) { destroy(object); }                                                 \
    };                                                                                                  \
    class X : public zep::ManagedClass<X, X##InstanceManager> {                                         \
    public:                                                                                             \
        explicit X(const std::string& instanceID) : m_InstanceID(instanceID) {                         \
            theInstanceManager->add(this);                                                              \
        }                                                                                               \
        ZEP_ABSTRACT_CLASS_OPERATIONS(X, ZEP_SETTING_KEYS)                                              \
                                                                                                        \
    private:                                                                                            \
        std::string m_InstanceID;                                                                       \
    };

// XImpl and XImplInstanceManager: the object that holds the class's record,
// and the registry whose handler keeps it (log: the handler's log texts).
#define ZEP_SETTING_IMPL_CLASSES(X, RecordType, log)                                                    \
    class X##Impl : public zep::SettingImpl<X, RecordType> {                                            \
    public:                                                                                             \
        explicit X##Impl(const RecordType& record) : SettingImpl(#X, record) {}                        \
        X##_PROPERTIES(ZEP_CACHED_OPERATIONS)                                                           \
    };                                                                                                  \
    class X##ImplInstanceManager : public zep::GatewayRegistry<X##InstanceManager, X##ImplInstanceManager> { \
    public:                                                                                             \
        static void ZepCallback(sZepToOamEvents* event) {                                               \
            zep::handleSettingEvent<X##ImplInstanceManager, X##Impl>(event, #X, log);                   \
        }                                                                                               \
    };

#endif  // ZEP_SETTING_H
