// The class provider shared by all seven classes: the CIM face of a class.
// It turns CIM requests into calls on the class's registry and managed
// objects, builds instances and paths from the objects' getters, validates
// modify requests against the class's limits, and reports every failure as a
// CIMException whose description ends in a "#...#" tag.
//
// A class supplies a Traits type (ZEP_CLASS_PROVIDER makes it from the
// class's property list):
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
#include "ZepPropertyTable.h"

#include <OW_config.h>
#include <OW_CIMException.hpp>
#include <OW_CIMInstance.hpp>
#include <OW_CIMObjectPath.hpp>
#include <OW_CIMParamValue.hpp>
#include <OW_CIMValue.hpp>
#include <OW_CppMethodProviderIFC.hpp>
#include <OW_CppInstanceProviderIFC.hpp>
#include <OW_ResultHandlerIFC.hpp>
#include <OW_String.hpp>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace zep {

// ---------------------------------------------------------------------------
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
