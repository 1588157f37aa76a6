// The class provider shared by all seven classes: the CIM face of a class.
// It turns CIM requests into calls on the class's registry and managed
// objects, builds instances and paths from the objects' getters, validates
// modify requests against the class's limits, and reports every failure as a
// CIMException whose description ends in a "#...#" tag.
//
// A class supplies a Traits type:
//   typedef ... Object;            the abstract managed class X
//   typedef ... Registry;          X's registry type
//   static const char* className();
//   static void install();         installs the gateway-backed registry (once)
//   static const PropertyGetter<Object>* getters(size_t& count);   instance order
//   static const PropertySetter<Object>* setters(size_t& count);   writable ones
//   enum { kTerminal = 0 or 1 };   terminals have the two methods
//
// Thread-safety: the provider keeps no state. A request holds the class lock
// from its lookup until it no longer touches the object; results go to the
// object manager's handler only after the lock is released.
#ifndef ZEP_CLASS_PROVIDER_H
#define ZEP_CLASS_PROVIDER_H

#include "CFG_Exception.h"
#include "ZepInstanceRegistry.h"
#include "ZepPendingRequests.h"

#include <OW_config.h>
#include <OW_Bool.hpp>
#include <OW_CIMException.hpp>
#include <OW_CIMInstance.hpp>
#include <OW_CIMObjectPath.hpp>
#include <OW_CIMParamValue.hpp>
#include <OW_CIMProperty.hpp>
#include <OW_CIMValue.hpp>
#include <OW_CppMethodProviderIFC.hpp>
#include <OW_CppInstanceProviderIFC.hpp>
#include <OW_ResultHandlerIFC.hpp>
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

// ---------------------------------------------------------------------------
// Property tables

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

// One writable property and its limits.
template <class Object>
struct PropertySetter {
    const char* name;
    int (*apply)(Object&, const OpenWBEM::CIMValue&, const PropertySetter&, const char* className, SetterStep);
    NullText nullText;
    long long maximum;  // text: maximum length in bytes; number: maximum value
    long long minimum;
    bool hasMaximum;
    bool hasMinimum;
};

// Throws the CIM "invalid parameter" error of a broken limit.
[[noreturn]] void throwLimit(const char* cfgId, const std::string& text, const char* className,
                             const char* property, long long limit);

template <auto Setter>
int applyText(typename MemberTraits<decltype(Setter)>::Class& object, const OpenWBEM::CIMValue& value,
              const PropertySetter<typename MemberTraits<decltype(Setter)>::Class>& limits,
              const char* className, SetterStep step) {
    if (!value) {
        if (limits.nullText == kNullSkipped || step == kCheckOnly) return kPropertyOk;
        return (object.*Setter)(std::string());
    }
    const OpenWBEM::String text = value.toString();
    if (limits.hasMaximum && static_cast<long long>(text.length()) > limits.maximum)
        throwLimit(CFG_ID_TOO_LONG,
                   std::string("The length of ") + limits.name + "be must be <= " +
                       std::to_string(limits.maximum) + "\n",
                   className, limits.name, limits.maximum);
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
                const PropertySetter<typename MemberTraits<decltype(Setter)>::Class>& limits,
                const char* className, SetterStep step) {
    typedef typename MemberTraits<decltype(Setter)>::Value Value;
    static_assert(std::is_integral<Value>::value && !std::is_same<Value, bool>::value,
                  "numeric properties are integers");
    if (!value) return kPropertyOk;
    // The limits that hold: the property's own, within its type's range, so
    // that nothing is narrowed before it is checked.
    const long long typeMax = static_cast<long long>(std::numeric_limits<Value>::max());
    const long long typeMin = static_cast<long long>(std::numeric_limits<Value>::min());
    const long long maximum = limits.hasMaximum ? std::min(limits.maximum, typeMax) : typeMax;
    const long long minimum = limits.hasMinimum ? std::max(limits.minimum, typeMin) : typeMin;
    long long v = 0;
    if (!wholeNumberOf(value, v)) throwNotANumber(className, limits.name, maximum);
    if (v > maximum)
        throwLimit(CFG_ID_ABOVE_MAXIMUM,
                   std::string("The value of ") + limits.name + " must be <= " + std::to_string(maximum) + "\n",
                   className, limits.name, maximum);
    if (v < minimum)
        throwLimit(CFG_ID_BELOW_MINIMUM,
                   std::string("The value of ") + limits.name + " must be >= " + std::to_string(minimum) + "\n",
                   className, limits.name, minimum);
    if (step == kCheckOnly) return kPropertyOk;
    return (object.*Setter)(static_cast<Value>(v));
}

// A text property of at most maxLength bytes (0: no limit).
template <auto Setter>
PropertySetter<typename MemberTraits<decltype(Setter)>::Class> textSetter(const char* name, long long maxLength,
                                                                          NullText nullText) {
    PropertySetter<typename MemberTraits<decltype(Setter)>::Class> s = {
        name, &applyText<Setter>, nullText, maxLength, 0, maxLength > 0, false};
    return s;
}

// A numeric property without limits.
template <auto Setter>
PropertySetter<typename MemberTraits<decltype(Setter)>::Class> numberSetter(const char* name) {
    PropertySetter<typename MemberTraits<decltype(Setter)>::Class> s = {
        name, &applyNumber<Setter>, kNullSkipped, 0, 0, false, false};
    return s;
}

// A numeric property with a maximum and, optionally, a minimum.
template <auto Setter>
PropertySetter<typename MemberTraits<decltype(Setter)>::Class> numberSetter(const char* name, long long maximum) {
    PropertySetter<typename MemberTraits<decltype(Setter)>::Class> s = {
        name, &applyNumber<Setter>, kNullSkipped, maximum, 0, true, false};
    return s;
}
template <auto Setter>
PropertySetter<typename MemberTraits<decltype(Setter)>::Class> numberSetter(const char* name, long long maximum,
                                                                            long long minimum) {
    PropertySetter<typename MemberTraits<decltype(Setter)>::Class> s = {
        name, &applyNumber<Setter>, kNullSkipped, maximum, minimum, true, true};
    return s;
}

// ---------------------------------------------------------------------------
// Error descriptions

// "#<code>#" for a setter that failed with a code the provider does not interpret.
std::string resultCodeTag(int code);

[[noreturn]] void throwNotFound();
[[noreturn]] void throwCreateRefused();
[[noreturn]] void throwDeleteRefused();
[[noreturn]] void throwSetterFailed(int code);
[[noreturn]] void throwMethodNotFound();
// Logs a request that did not reach the gateway and throws CIM error 1 with
// the send's code as its tag.
[[noreturn]] void throwUndelivered(const char* className, uint32_t requestCode, uint32_t rc);

// ---------------------------------------------------------------------------
// The class provider

template <class Traits>
class ClassProvider : public OpenWBEM::CppMethodProviderIFC,
                      public virtual OpenWBEM::CppInstanceProviderIFC {
public:
    typedef typename Traits::Object Object;
    typedef typename Traits::Registry Registry;
    typedef OpenWBEM::ProviderEnvironmentIFCRef Env;

    ClassProvider() {}
    virtual ~ClassProvider() {}

    virtual OpenWBEM::CIMValue invokeMethod(const Env&, const OpenWBEM::String& ns,
                                            const OpenWBEM::CIMObjectPath& path,
                                            const OpenWBEM::String& methodName,
                                            const OpenWBEM::CIMParamValueArray& in,
                                            OpenWBEM::CIMParamValueArray& out) {
        return invoke(ns, path, methodName, in, out, IsTerminal());
    }

    virtual void initialize(const Env&) { Traits::install(); }

    virtual void enumInstanceNames(const Env&, const OpenWBEM::String& ns,
                                   const OpenWBEM::String& className,
                                   OpenWBEM::CIMObjectPathResultHandlerIFC& result,
                                   const OpenWBEM::CIMClass&) {
        std::vector<OpenWBEM::CIMObjectPath> paths;
        {
            Registry& registry = *Object::getInstanceManager();
            forEachObject(registry, [&](Object* object) {
                OpenWBEM::CIMObjectPath path(className, ns);
                toCIMObjectPath(*object, path);
                paths.push_back(path);
            });
        }
        for (size_t i = 0; i < paths.size(); ++i) result.handle(paths[i]);
    }

    virtual void enumInstances(const Env&, const OpenWBEM::String&, const OpenWBEM::String&,
                               OpenWBEM::CIMInstanceResultHandlerIFC& result,
                               OpenWBEM::WBEMFlags::ELocalOnlyFlag, OpenWBEM::WBEMFlags::EDeepFlag,
                               OpenWBEM::WBEMFlags::EIncludeQualifiersFlag,
                               OpenWBEM::WBEMFlags::EIncludeClassOriginFlag,
                               const OpenWBEM::StringArray*, const OpenWBEM::CIMClass&,
                               const OpenWBEM::CIMClass&) {
        // Only the values are read under the lock; each instance is built
        // after it is released and handed over at once: the provider holds
        // one instance at a time, not one per object.
        size_t count = 0;
        const PropertyGetter<Object>* getters = Traits::getters(count);
        PropertyReadings readings;
        size_t objects = 0;
        {
            Registry& registry = *Object::getInstanceManager();
            RegistryLock<Registry> lock(registry);
            readings.reserveFor(registry.size() * count);
            forEachObject(registry, [&](Object* object) {
                readProperties(*object, getters, count, readings);
                ++objects;
            });
        }
        // The instances share their property array with this one until the
        // handler lets go of them; unshared again, it is emptied and filled
        // for the next instance in the storage it already has.
        OpenWBEM::CIMPropertyArray properties;
        OpenWBEM::CIMPropertyArray keys;
        for (size_t n = 0; n < objects; ++n) {
            takeProperties(readings, getters, count, properties);
            OpenWBEM::CIMInstance instance(cimClassName());
            setPropertiesAndKeys(instance, properties, keys);
            result.handle(instance);
        }
    }

    virtual OpenWBEM::CIMInstance getInstance(const Env&, const OpenWBEM::String& ns,
                                              const OpenWBEM::CIMObjectPath& path,
                                              OpenWBEM::WBEMFlags::ELocalOnlyFlag,
                                              OpenWBEM::WBEMFlags::EIncludeQualifiersFlag,
                                              OpenWBEM::WBEMFlags::EIncludeClassOriginFlag,
                                              const OpenWBEM::StringArray*, const OpenWBEM::CIMClass&) {
        OpenWBEM::CIMInstance instance(cimClassName());
        Registry& registry = *Object::getInstanceManager();
        RegistryLock<Registry> lock(registry);
        toCIMInstance(ns, *getWithCIMObjectPath(path), instance);
        return instance;
    }

    virtual OpenWBEM::CIMObjectPath createInstance(const Env&, const OpenWBEM::String&,
                                                   const OpenWBEM::CIMInstance& instance) {
        std::string keys[Registry::kKeyCount];
        for (int i = 0; i < Registry::kKeyCount; ++i) {
            const OpenWBEM::CIMProperty key = instance.getProperty(Registry::keyNames()[i]);
            if (key) {
                const OpenWBEM::CIMValue value = key.getValue();
                if (value) keys[i] = value.toString().c_str();
            }
        }
        try {
            Object::getInstanceManager()->createByKeys(keys);
        } catch (const CFG_InstanceCreationFailed&) {
            throwCreateRefused();
        }
        throwCreateRefused();  // no registry of this library creates anything
    }

    virtual void deleteInstance(const Env&, const OpenWBEM::String&, const OpenWBEM::CIMObjectPath& path) {
        Registry& registry = *Object::getInstanceManager();
        RegistryLock<Registry> lock(registry);
        Object* object = getWithCIMObjectPath(path);
        try {
            registry.destroy(object);
        } catch (const CFG_InstanceDeletionFailed&) {
            throwDeleteRefused();
        }
    }

    virtual void modifyInstance(const Env&, const OpenWBEM::String&,
                                const OpenWBEM::CIMInstance& modifiedInstance,
                                const OpenWBEM::CIMInstance&,
                                OpenWBEM::WBEMFlags::EIncludeQualifiersFlag,
                                const OpenWBEM::StringArray*, const OpenWBEM::CIMClass&) {
        Registry& registry = *Object::getInstanceManager();
        PendingRequests requests;
        {
            RegistryLock<Registry> lock(registry);
            Object& object = *getWithCIMInstance(modifiedInstance);
            CachedRecord* record = dynamic_cast<CachedRecord*>(&object);
            ChangeGuard guard(record);
            PendingRequests::Scope scope(requests);
            modifyObject(object, modifiedInstance);
            if (record) requests.noteObject(*record);
            guard.keep();
        }
        deliver(requests, [&] { return getWithCIMInstance(modifiedInstance); });
    }

    // Ends nothing: the class's registry stays installed for the library's life.
    void cleanup() {}

protected:
    // The modify step. Every writable property named in the instance is
    // checked against its limits before the first setter runs, so that a
    // request refused for one of them changes nothing and sends nothing. Then
    // each goes through its setter in the instance's order; the first setter
    // that fails ends the request.
    void modifyObject(Object& object, const OpenWBEM::CIMInstance& instance) {
        size_t setterCount = 0;
        const PropertySetter<Object>* setters = Traits::setters(setterCount);
        const OpenWBEM::CIMPropertyArray properties = instance.getProperties();
        auto forEachWritable = [&](SetterStep step) {
            for (size_t p = 0; p < properties.size(); ++p) {
                const OpenWBEM::String name = properties[p].getName();
                for (size_t s = 0; s < setterCount; ++s) {
                    if (!name.equals(setters[s].name)) continue;
                    const int rc = setters[s].apply(object, properties[p].getValue(), setters[s],
                                                    Traits::className(), step);
                    if (rc != kPropertyOk) throwSetterFailed(rc);
                    break;
                }
            }
        };
        forEachWritable(kCheckOnly);
        object.startChange();
        forEachWritable(kCheckAndSet);
        object.endChange();
    }

    // Sends a client request's pending requests, without the class lock. When
    // one fails, what it and the ones after it changed in the cache is taken
    // back (find() looks the object up again, as it may be gone), the failure
    // is logged, and the request fails with CIM error 1 and the send's code.
    template <class Find>
    static void deliver(PendingRequests& requests, Find find) {
        const uint32_t rc = requests.send();
        if (rc == 0) return;
        {
            Registry& registry = *Object::getInstanceManager();
            RegistryLock<Registry> lock(registry);
            try {
                if (CachedRecord* record = dynamic_cast<CachedRecord*>(find())) requests.restoreUndelivered(*record);
            } catch (const CIMException&) {
                // gone meanwhile: nothing cached is left to take back
            }
        }
        throwUndelivered(Traits::className(), requests.failedCode(), rc);
    }

    // Properties in table order; the instance takes them all at once, as
    // their names are distinct.
    static void toCIMInstance(const OpenWBEM::String&, const Object& object, OpenWBEM::CIMInstance& instance) {
        size_t count = 0;
        const PropertyGetter<Object>* getters = Traits::getters(count);
        PropertyReadings readings;
        readings.reserveFor(count);
        readProperties(object, getters, count, readings);
        OpenWBEM::CIMPropertyArray properties;
        takeProperties(readings, getters, count, properties);
        OpenWBEM::CIMPropertyArray keys;
        setPropertiesAndKeys(instance, properties, keys);
    }

    // The object manager names an instance by its key list (an instance
    // path made from the instance takes only those), and no property of
    // ours carries a Key qualifier: the keys are set explicitly, in path
    // order, so an enumerated instance is named as enumInstanceNames names it.
    static void setPropertiesAndKeys(OpenWBEM::CIMInstance& instance, const OpenWBEM::CIMPropertyArray& properties,
                                     OpenWBEM::CIMPropertyArray& keys) {
        instance.setProperties(properties);  // rebuilds the key list from qualifiers: first
        keys.clear();
        const size_t* slots = keyGetterSlots();
        for (int k = 0; k < Registry::kKeyCount; ++k) {
            // A key sits at its getter's place, or before it when properties
            // ahead of it were left out.
            const char* name = Registry::keyNames()[k];
            for (size_t i = std::min(slots[k] + 1, properties.size()); i-- > 0;) {
                if (properties[i].getName().equals(name)) {
                    keys.push_back(properties[i]);
                    break;
                }
            }
        }
        instance.setKeys(keys);
    }

    // The getter table's place of each key, in key order; found once.
    static const size_t* keyGetterSlots() {
        struct Slots {
            size_t at[Registry::kKeyCount];
            Slots() {
                size_t count = 0;
                const PropertyGetter<Object>* getters = Traits::getters(count);
                for (int k = 0; k < Registry::kKeyCount; ++k) {
                    at[k] = count;
                    for (size_t i = 0; i < count; ++i)
                        if (getters[i].name.equals(Registry::keyNames()[k])) at[k] = i;
                }
            }
        };
        static const Slots slots;
        return slots.at;
    }

    static const OpenWBEM::String& cimClassName() {
        static const OpenWBEM::String name(Traits::className());
        return name;
    }

    static void toCIMObjectPath(const Object& object, OpenWBEM::CIMObjectPath& path) {
        OpenWBEM::CIMPropertyArray keys;
        for (int k = 0; k < Registry::kKeyCount; ++k) {
            std::string value;
            if (Registry::readKey(object, k, value) != kPropertyOk) throwNotFound();
            keys.push_back(OpenWBEM::CIMProperty(OpenWBEM::String(Registry::keyNames()[k]),
                                                 OpenWBEM::CIMValue(OpenWBEM::String(value.c_str()))));
        }
        path.setKeys(keys);
    }

    // Lookups by the key properties of a path or an instance; CIM error 6 when
    // a key is missing or null or nothing is registered under the keys. The
    // caller holds the class lock.
    static Object* getWithCIMObjectPath(const OpenWBEM::CIMObjectPath& path) {
        std::string keys[Registry::kKeyCount];
        for (int i = 0; i < Registry::kKeyCount; ++i)
            keys[i] = keyText(path.getKey(Registry::keyNames()[i]));
        return lookup(keys);
    }
    static Object* getWithCIMInstance(const OpenWBEM::CIMInstance& instance) {
        std::string keys[Registry::kKeyCount];
        for (int i = 0; i < Registry::kKeyCount; ++i)
            keys[i] = keyText(instance.getProperty(Registry::keyNames()[i]));
        return lookup(keys);
    }

private:
    struct IsTerminal {
        enum { value = Traits::kTerminal };
    };

    // The object manager hands over one entry per output parameter, named,
    // and reads them back by position: a value goes into the entry of its
    // name; only an object manager that supplied none gets one appended.
    static void setOutput(OpenWBEM::CIMParamValueArray& out, const char* name, const OpenWBEM::CIMValue& value) {
        for (size_t i = 0; i < out.size(); ++i) {
            if (out[i].getName().equalsIgnoreCase(name)) {
                out[i].setValue(value);
                return;
            }
        }
        out.push_back(OpenWBEM::CIMParamValue(name, value));
    }

    static std::string keyText(const OpenWBEM::CIMProperty& key) {
        if (!key) throwNotFound();
        const OpenWBEM::CIMValue value = key.getValue();
        if (!value) throwNotFound();
        const OpenWBEM::String text = value.toString();
        return std::string(text.c_str(), text.length());
    }

    static Object* lookup(const std::string* keys) {
        try {
            return Object::getInstanceManager()->getByKeys(keys);
        } catch (const CFG_NoInstance&) {
            throwNotFound();
        }
    }

    template <class Flag>
    OpenWBEM::CIMValue invoke(const OpenWBEM::String& ns, const OpenWBEM::CIMObjectPath& path,
                              const OpenWBEM::String& methodName, const OpenWBEM::CIMParamValueArray& in,
                              OpenWBEM::CIMParamValueArray& out, Flag) {
        if constexpr (Flag::value) {
            Registry& registry = *Object::getInstanceManager();
            if (methodName.equals("RedirectSet")) {
                PendingRequests requests;
                {
                    RegistryLock<Registry> lock(registry);
                    PendingRequests::Scope scope(requests);
                    getWithCIMObjectPath(path)->RedirectSet();
                }
                deliver(requests, [&] { return getWithCIMObjectPath(path); });
                return OpenWBEM::CIMValue(OpenWBEM::UInt32(requests.count()));
            }
            if (methodName.equals("FindByInstanceName")) {
                std::string name;
                if (in.size() > 0) {
                    const OpenWBEM::CIMValue value = in[0].getValue();
                    if (value) name = value.toString().c_str();
                }
                RegistryLock<Registry> lock(registry);
                if (in.size() > 1) {
                    // The reference is looked up and then ignored, as clients expect.
                    const OpenWBEM::CIMValue ref = in[1].getValue();
                    if (ref) {
                        try {
                            getWithCIMObjectPath(ref.toCIMObjectPath());
                        } catch (const CIMException& e) {
                            if (e.getErrNo() != CIMException::NOT_FOUND) throw;
                        }
                    }
                }
                Object* found = 0;
                const bool ok = registry.FindByInstanceName(name, found) != 0 && found != 0;
                OpenWBEM::CIMValue inst(OpenWBEM::CIMNULL);
                if (ok) {
                    OpenWBEM::CIMObjectPath ref(OpenWBEM::String(Traits::className()), ns);
                    toCIMObjectPath(*found, ref);
                    inst = OpenWBEM::CIMValue(ref);
                }
                setOutput(out, "inst", inst);
                return OpenWBEM::CIMValue(OpenWBEM::Bool(ok));
            }
        } else {
            (void)ns; (void)path; (void)in; (void)out;
        }
        (void)methodName;
        throwMethodNotFound();
    }
};

}  // namespace zep

#endif  // ZEP_CLASS_PROVIDER_H
