// What the three call-server setting classes (Cedar, Alder, Birch) share: the
// cached object that holds one settings record, the gateway event handling
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

// The operational log lines a setting class writes while taking a settings
// record; a null text is not written.
struct SettingLogTexts {
    const char* addingEntry;
    const char* castFailed;
};

// The event handler of a setting class whose gateway-backed registry is
// ImplRegistry and whose cached object is Impl: link down and mode records
// that do not select the record's call-server type forget the instance, a
// mode record that selects it asks for the settings, and a settings record of
// that type creates or updates the one instance named instanceID.
template <class ImplRegistry, class Impl>
void handleSettingEvent(const sZepToOamEvents* event, const char* instanceID, const SettingLogTexts& log) {
    typedef typename Impl::Record Record;
    const uint32_t ownMoType = Record::kMoTypeCode;
    if (event == 0) return;
    handleEvent<ImplRegistry>([&](ImplRegistry& registry) {
        switch (event->getType()) {
            case ZEP_EVT_LINK_DOWN:
                destroyAll(registry);
                break;
            case ZEP_EVT_MODE_RECORD:
                followModeRecord(registry, *event, ownMoType, ZEP_REQ_GET_SETTINGS, sZepSettingsRequest(ownMoType));
                break;
            case ZEP_EVT_SETTINGS_RECORD: {
                if (event->getSettingsMoType() != ownMoType) break;  // another class's record
                const Record record = zeprec::fromBytes<Record>(event->settingsRecordBytes(), Record::kSize);
                typename ImplRegistry::Object* found = 0;
                try {
                    found = registry.get(instanceID);
                } catch (const CFG_NoInstance&) {
                    if (log.addingEntry) logLine("%s", log.addingEntry);
                    new Impl(record);  // registers itself; the registry keeps it
                    break;
                }
                Impl* impl = dynamic_cast<Impl*>(found);
                if (impl == 0) {
                    if (log.castFailed) logLine("%s", log.castFailed);
                    break;
                }
                impl->UpdateData(record);
                break;
            }
            default:
                break;
        }
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
// its own view. 0, or the code of a send that failed.

// A number field: stored zero-extended, sent in the 12-byte number form.
template <class Record>
int writeNumber(Record& record, void (Record::*store)(uint32_t), uint32_t item, uint32_t value) {
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
template <class Record>
int writeAddress(Record& record, void (Record::*store)(uint32_t), uint32_t item, const std::string& text) {
    uint32_t address = 0;
    const uint32_t rc = parseAddress(text, address);
    if (rc != 0) return static_cast<int>(rc);
    return writeNumber(record, store, item, address);
}

}  // namespace zep

#endif  // ZEP_SETTING_H
