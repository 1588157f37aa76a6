// Property tables: what the class provider needs to know of each property of
// a class, and the one list per class from which everything else about a
// property is made.
//
// Each class declares its properties once, as a list macro at the top of its
// own header (X_PROPERTIES), one row per property in instance order:
//
//   P(Name, Type, Access, Field, Item, Limits)
//     Name    the CIM property name; the operations are getName / setName and
//             the record accessors have the same name
//     Type    the value type of the getter and setter
//     Access  RO (a getter only) or RW (a getter and a setter)
//     Field   how the gateway-backed object holds it: Number, Text, Address
//             (a settings record field), TextField (a terminal record text),
//             Shared (the shared terminal object answers), None (no value),
//             Key (a stored key value)
//     Item    the gateway's item number of a setting (0: none)
//     Limits  what a modify request may set: kNoLimits, maxLength(n),
//             maxValue(n) or range(min, max)
//
// The expansions below turn the list into the abstract class's operations,
// the gateway-backed class's overrides and the class provider's tables, so
// that the three cannot disagree; a test checks the list against the MOF.
#ifndef ZEP_PROPERTY_TABLE_H
#define ZEP_PROPERTY_TABLE_H

#include "CFG_Exception.h"
#include "ZepInstanceRegistry.h"

#include <OW_config.h>
#include <OW_Bool.hpp>
#include <OW_CIMException.hpp>
#include <OW_CIMInstance.hpp>
#include <OW_CIMProperty.hpp>
#include <OW_CIMValue.hpp>
#include <OW_String.hpp>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace zep {

using OpenWBEM::CIMException;

template <class T> struct MemberTraits;
template <class C, class V>
struct MemberTraits<int (C::*)(V&, Qualifiers&) const> {
    typedef C Class;
    typedef V Value;
};
template <class C, class V>
struct MemberTraits<int (C::*)(V)> {
    typedef C Class;
    typedef V Value;
};

// A getter's value as the instance shows it. A text runs to its first NUL.
inline OpenWBEM::CIMValue toCIMValue(const char* text, size_t length) {
    return OpenWBEM::CIMValue(OpenWBEM::String(text, length));
}
inline OpenWBEM::CIMValue toCIMValue(unsigned int v) { return OpenWBEM::CIMValue(OpenWBEM::UInt32(v)); }
inline OpenWBEM::CIMValue toCIMValue(unsigned short v) { return OpenWBEM::CIMValue(OpenWBEM::UInt16(v)); }
inline OpenWBEM::CIMValue toCIMValue(unsigned char v) { return OpenWBEM::CIMValue(OpenWBEM::UInt8(v)); }
inline OpenWBEM::CIMValue toCIMValue(bool v) { return OpenWBEM::CIMValue(OpenWBEM::Bool(v)); }

// Getter values read from objects, in the order read, kept in one flat
// buffer apart from the objects: each is a byte telling whether the object
// had a value (and whether it came with qualifiers), then the value's bytes
// (a number as it is held, a text as its length and its characters).
class PropertyReadings {
public:
    enum Presence : unsigned char { kLeftOut, kValue, kValueWithQualifiers };

    // Room for about this many values at once: a first guess of a presence
    // byte, a text's length and a short text each.
    void reserveFor(size_t values) {
        const size_t bytes = values * kBytesPerValue;
        if (bytes > capacity_) grow(bytes);
    }

    void putLeftOut() {
        char* p = room(1);
        *p = kLeftOut;
    }
    template <class V> void put(const V& value, const Qualifiers& qualifiers) {
        char* p = room(1 + sizeof value);
        *p = presence(qualifiers);
        std::memcpy(p + 1, &value, sizeof value);
    }
    void put(const std::string& value, const Qualifiers& qualifiers) {
        const uint32_t length = static_cast<uint32_t>(std::strlen(value.c_str()));
        char* p = room(1 + sizeof length + length);
        *p = presence(qualifiers);
        std::memcpy(p + 1, &length, sizeof length);
        std::memcpy(p + 1 + sizeof length, value.data(), length);
    }

    // Reading back, in the same order, from the start.
    Presence takePresence() { return static_cast<Presence>(bytes_[cursor_++]); }
    template <class V> OpenWBEM::CIMValue takeValue() {
        if constexpr (std::is_same<V, std::string>::value) {
            uint32_t length;
            takeBytes(&length, sizeof length);
            const char* text = bytes_.get() + cursor_;
            cursor_ += length;
            return toCIMValue(text, length);
        } else {
            V value;
            takeBytes(&value, sizeof value);
            return toCIMValue(value);
        }
    }
    Qualifiers takeQualifiers() { return qualifiers_[qualifierCursor_++]; }

    // Where text getters write, reused from one to the next.
    std::string& text() { return text_; }

private:
    enum { kBytesPerValue = 16 };

    Presence presence(const Qualifiers& qualifiers) {
        if (qualifiers.empty()) return kValue;
        qualifiers_.push_back(qualifiers);
        return kValueWithQualifiers;
    }
    // n more bytes at the end, to be written at once.
    char* room(size_t n) {
        if (capacity_ - size_ < n) grow(size_ + n > 2 * capacity_ ? size_ + n : 2 * capacity_);
        char* p = bytes_.get() + size_;
        size_ += n;
        return p;
    }
    void grow(size_t capacity) {
        std::unique_ptr<char[]> bytes(new char[capacity]);
        if (size_) std::memcpy(bytes.get(), bytes_.get(), size_);
        bytes_.swap(bytes);
        capacity_ = capacity;
    }
    void takeBytes(void* p, size_t n) {
        std::memcpy(p, bytes_.get() + cursor_, n);
        cursor_ += n;
    }

    std::unique_ptr<char[]> bytes_;
    size_t size_ = 0;
    size_t capacity_ = 0;
    size_t cursor_ = 0;
    std::vector<Qualifiers> qualifiers_;
    size_t qualifierCursor_ = 0;
    std::string text_;
};

// One readable property: its name and how to read it from an object. The
// name is held as a CIM string made once, so that every instance built shares
// it instead of copying the text.
template <class Object>
struct PropertyGetter {
    OpenWBEM::String name;
    // Reads the object's value into the readings.
    void (*read)(const Object&, PropertyReadings&);
    // Takes a value read (not left out) back from the readings.
    OpenWBEM::CIMValue (*takeValue)(PropertyReadings&);
};

// A getter's output variable, emptied. Text getters write into the readings'
// own string, so that reading a property allocates no text.
template <class V> struct GetterOutput {
    V value = V();
    explicit GetterOutput(PropertyReadings&) {}
};
template <> struct GetterOutput<std::string> {
    std::string& value;
    explicit GetterOutput(PropertyReadings& readings) : value(readings.text()) { value.clear(); }
};

template <auto Getter>
void readProperty(const typename MemberTraits<decltype(Getter)>::Class& object, PropertyReadings& readings) {
    GetterOutput<typename MemberTraits<decltype(Getter)>::Value> output(readings);
    Qualifiers qualifiers;
    if ((object.*Getter)(output.value, qualifiers) != kPropertyOk) return readings.putLeftOut();  // no value
    readings.put(output.value, qualifiers);
}

template <auto Getter>
OpenWBEM::CIMValue takeProperty(PropertyReadings& readings) {
    return readings.takeValue<typename MemberTraits<decltype(Getter)>::Value>();
}

template <auto Getter>
PropertyGetter<typename MemberTraits<decltype(Getter)>::Class> getter(const char* name) {
    PropertyGetter<typename MemberTraits<decltype(Getter)>::Class> g = {
        OpenWBEM::String(name), &readProperty<Getter>, &takeProperty<Getter>};
    return g;
}

// Every getter of a class, in table order, on one object.
template <class Object>
void readProperties(const Object& object, const PropertyGetter<Object>* getters, size_t count,
                    PropertyReadings& readings) {
    for (size_t i = 0; i < count; ++i) getters[i].read(object, readings);
}

// The next object's properties, in table order, from the readings into the
// array, in place of what it held; a property the object had no value for is
// left out.
template <class Object>
void takeProperties(PropertyReadings& readings, const PropertyGetter<Object>* getters, size_t count,
                    OpenWBEM::CIMPropertyArray& properties) {
    properties.clear();
    properties.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        const PropertyReadings::Presence presence = readings.takePresence();
        if (presence == PropertyReadings::kLeftOut) continue;
        OpenWBEM::CIMProperty property(getters[i].name, getters[i].takeValue(readings));
        if (presence == PropertyReadings::kValueWithQualifiers) property.setQualifiers(readings.takeQualifiers());
        properties.push_back(std::move(property));
    }
}

// What a modify request's null value does to a text property.
enum NullText { kNullSkipped, kNullClears };

// What a setter entry does with a request's value: check it against the
// limits only, or check it and hand it to the object's setter.
enum SetterStep { kCheckOnly, kCheckAndSet };

// What a modify request may set a writable property to.
struct Limits {
    long long maximum;  // text: maximum length in bytes; number: maximum value
    long long minimum;
    bool hasMaximum;
    bool hasMinimum;
    NullText nullText;  // text only
};
inline constexpr Limits kNoLimits = {0, 0, false, false, kNullSkipped};
// A text of at most n bytes; a null value leaves it as it is, or clears it.
constexpr Limits maxLength(long long n, NullText nullText = kNullSkipped) { return {n, 0, true, false, nullText}; }
constexpr Limits maxValue(long long n) { return {n, 0, true, false, kNullSkipped}; }
constexpr Limits range(long long minimum, long long maximum) { return {maximum, minimum, true, true, kNullSkipped}; }

// One writable property and its limits.
template <class Object>
struct PropertySetter {
    const char* name;
    int (*apply)(Object&, const OpenWBEM::CIMValue&, const PropertySetter&, const char* className, SetterStep);
    Limits limits;
};

// Throws the CIM "invalid parameter" error of a broken limit.
[[noreturn]] void throwLimit(const char* cfgId, const std::string& text, const char* className,
                             const char* property, long long limit);

template <auto Setter>
int applyText(typename MemberTraits<decltype(Setter)>::Class& object, const OpenWBEM::CIMValue& value,
              const PropertySetter<typename MemberTraits<decltype(Setter)>::Class>& setter,
              const char* className, SetterStep step) {
    const Limits& limits = setter.limits;
    if (!value) {
        if (limits.nullText == kNullSkipped || step == kCheckOnly) return kPropertyOk;
        return (object.*Setter)(std::string());
    }
    const OpenWBEM::String text = value.toString();
    // "be must be": the text clients have always been given, and match on.
    if (limits.hasMaximum && static_cast<long long>(text.length()) > limits.maximum)
        throwLimit(CFG_ID_TOO_LONG,
                   std::string("The length of ") + setter.name + "be must be <= " +
                       std::to_string(limits.maximum) + "\n",
                   className, setter.name, limits.maximum);
    if (step == kCheckOnly) return kPropertyOk;
    return (object.*Setter)(std::string(text.c_str(), text.length()));
}

// A request's number at its full width, whichever integer type carries it
// (an object manager may hand over a wider type than the property's, or a
// decimal text); false when the value is no integer. Magnitudes beyond the
// range of long long are clamped to it: every limit lies far inside.
bool wholeNumberOf(const OpenWBEM::CIMValue& value, long long& number);

// Throws the CIM "invalid parameter" error for a value that is no integer.
[[noreturn]] void throwNotANumber(const char* className, const char* property, long long maximum);

template <auto Setter>
int applyNumber(typename MemberTraits<decltype(Setter)>::Class& object, const OpenWBEM::CIMValue& value,
                const PropertySetter<typename MemberTraits<decltype(Setter)>::Class>& setter,
                const char* className, SetterStep step) {
    typedef typename MemberTraits<decltype(Setter)>::Value Value;
    static_assert(std::is_integral<Value>::value && !std::is_same<Value, bool>::value,
                  "numeric properties are integers");
    if (!value) return kPropertyOk;
    // The limits that hold: the property's own, within its type's range, so
    // that nothing is narrowed before it is checked.
    const Limits& limits = setter.limits;
    const long long typeMax = static_cast<long long>(std::numeric_limits<Value>::max());
    const long long typeMin = static_cast<long long>(std::numeric_limits<Value>::min());
    const long long maximum = limits.hasMaximum ? std::min(limits.maximum, typeMax) : typeMax;
    const long long minimum = limits.hasMinimum ? std::max(limits.minimum, typeMin) : typeMin;
    long long v = 0;
    if (!wholeNumberOf(value, v)) throwNotANumber(className, setter.name, maximum);
    if (v > maximum)
        throwLimit(CFG_ID_ABOVE_MAXIMUM,
                   std::string("The value of ") + setter.name + " must be <= " + std::to_string(maximum) + "\n",
                   className, setter.name, maximum);
    if (v < minimum)
        throwLimit(CFG_ID_BELOW_MINIMUM,
                   std::string("The value of ") + setter.name + " must be >= " + std::to_string(minimum) + "\n",
                   className, setter.name, minimum);
    if (step == kCheckOnly) return kPropertyOk;
    return (object.*Setter)(static_cast<Value>(v));
}

// The setter entry of a text or numeric property.
template <auto Setter>
PropertySetter<typename MemberTraits<decltype(Setter)>::Class> setter(const char* name, Limits limits) {
    typedef typename MemberTraits<decltype(Setter)>::Value Value;
    if constexpr (std::is_same<Value, std::string>::value)
        return {name, &applyText<Setter>, limits};
    else
        return {name, &applyNumber<Setter>, limits};
}

// The MOF type of a property's value type.
template <class V> constexpr const char* mofType() {
    if constexpr (std::is_same<V, std::string>::value) return "string";
    else if constexpr (std::is_same<V, bool>::value) return "boolean";
    else if constexpr (std::is_same<V, unsigned char>::value) return "uint8";
    else if constexpr (std::is_same<V, unsigned short>::value) return "uint16";
    else {
        static_assert(std::is_same<V, unsigned int>::value, "no MOF type for this value type");
        return "uint32";
    }
}

// What a list row says of a property, kept for checks against the MOF.
struct PropertyRow {
    const char* name;
    const char* type;  // MOF type
    bool writable;
    bool key;
    Limits limits;
};

}  // namespace zep

// ---------------------------------------------------------------------------
// Expansions of the list rows

#define ZEP_WHEN_RW(...) __VA_ARGS__
#define ZEP_WHEN_RO(...)
#define ZEP_IS_WRITABLE_RW true
#define ZEP_IS_WRITABLE_RO false
#define ZEP_IS_KEY_Key true
#define ZEP_IS_KEY_Number false
#define ZEP_IS_KEY_Text false
#define ZEP_IS_KEY_Address false
#define ZEP_IS_KEY_TextField false
#define ZEP_IS_KEY_Shared false
#define ZEP_IS_KEY_None false

// The abstract class's operations: a getter that has no value (a key getter
// copies the stored key) and, for a writable property, a setter that refuses.
#define ZEP_ABSTRACT_OPERATIONS(Name, Type, Access, Field, Item, Limits) \
    ZEP_ABSTRACT_GETTER_##Field(Name, Type)                              \
    ZEP_WHEN_##Access(virtual int set##Name(Type) { return zep::kPropertyReadOnly; })
#define ZEP_ABSTRACT_GETTER_Key(Name, Type) \
    virtual int get##Name(Type& value, zep::Qualifiers&) const { return zep::copyKey(m_##Name, value); }
#define ZEP_ABSTRACT_GETTER_NoValue(Name, Type) \
    virtual int get##Name(Type&, zep::Qualifiers&) const { return zep::kPropertyNoValue; }
#define ZEP_ABSTRACT_GETTER_Number ZEP_ABSTRACT_GETTER_NoValue
#define ZEP_ABSTRACT_GETTER_Text ZEP_ABSTRACT_GETTER_NoValue
#define ZEP_ABSTRACT_GETTER_Address ZEP_ABSTRACT_GETTER_NoValue
#define ZEP_ABSTRACT_GETTER_TextField ZEP_ABSTRACT_GETTER_NoValue
#define ZEP_ABSTRACT_GETTER_Shared ZEP_ABSTRACT_GETTER_NoValue
#define ZEP_ABSTRACT_GETTER_None ZEP_ABSTRACT_GETTER_NoValue

// The abstract class's virtual operations, in their fixed order: destructor,
// startChange, endChange, the listed properties, the keys (KEYS: a key list).
#define ZEP_ABSTRACT_CLASS_OPERATIONS(X, KEYS)                 \
    virtual ~X() { theInstanceManager->remove(this); }         \
    virtual int startChange() { return zep::kPropertyOk; }     \
    virtual int endChange() { return zep::kPropertyOk; }       \
    X##_PROPERTIES(ZEP_ABSTRACT_OPERATIONS)                    \
    KEYS(ZEP_ABSTRACT_OPERATIONS)

// The gateway-backed class's overrides, by how the property is held (the
// Field expansions live beside the helpers they call).
#define ZEP_CACHED_OPERATIONS(Name, Type, Access, Field, Item, Limits) \
    ZEP_CACHED_##Field(Name, Type, Access, Item)
#define ZEP_CACHED_Shared(Name, Type, Access, Item)
#define ZEP_CACHED_None(Name, Type, Access, Item)
#define ZEP_CACHED_Key(Name, Type, Access, Item)

// The class provider's tables.
#define ZEP_GETTER_ENTRY(Name, Type, Access, Field, Item, Limits) zep::getter<&Object::get##Name>(#Name),
#define ZEP_SETTER_ENTRY(Name, Type, Access, Field, Item, Limits) \
    ZEP_WHEN_##Access(zep::setter<&Object::set##Name>(#Name, Limits), )
#define ZEP_ROW_ENTRY(Name, Type, Access, Field, Item, Limits) \
    {#Name, zep::mofType<Type>(), ZEP_IS_WRITABLE_##Access, ZEP_IS_KEY_##Field, Limits},

#endif  // ZEP_PROPERTY_TABLE_H
