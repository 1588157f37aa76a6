// The instance registry shared by all seven classes: a table from instance
// name to managed object, one iteration cursor, and the class lock.
//
// Ownership: the registry holds plain pointers; objects add themselves when
// constructed and remove themselves when destroyed, and whoever created an
// object deletes it. Thread-safety: every operation takes the class lock
// (recursive), but a caller that uses an object it looked up, or iterates,
// must hold the lock itself for as long as it does so (see RegistryLock).
#ifndef ZEP_INSTANCE_REGISTRY_H
#define ZEP_INSTANCE_REGISTRY_H

#include "CFG_Exception.h"

#include <OW_CIMFwd.hpp>
#include <OW_CIMQualifier.hpp>
#include <OW_Array.hpp>

#include <map>
#include <mutex>
#include <string>

namespace zep {

// Results of the managed objects' property operations.
enum PropertyResult {
    kPropertyOk = 0,         // value delivered / taken
    kPropertyNoValue = 100,  // the object has no value for the property
    kPropertyReadOnly = 101  // the class cannot set the property
};

typedef OpenWBEM::Array<OpenWBEM::CIMQualifier> Qualifiers;

// The table and its single cursor. Not locked itself: the registries below
// lock around every call.
template <class Object>
class InstanceTable {
public:
    typedef std::map<std::string, Object*> Map;

    InstanceTable() : cursor_(map_.end()) {}

    // Replaces any entry of that name; the object it pointed to is left alone.
    void put(const std::string& name, Object* object) { map_[name] = object; }

    void erase(const std::string& name) {
        typename Map::iterator it = map_.find(name);
        if (it == map_.end()) return;
        // The cursor is shared: never leave it on an erased entry, whoever erases.
        if (it == cursor_) ++cursor_;
        map_.erase(it);
    }

    Object* find(const std::string& name) const {
        typename Map::const_iterator it = map_.find(name);
        if (it == map_.end() || it->second == 0) throw CFG_NoInstance();
        return it->second;
    }

    void start() { cursor_ = map_.begin(); }
    bool more() const { return cursor_ != map_.end(); }
    // Moves on before returning, so the caller may destroy what it got.
    Object* next() {
        if (cursor_ == map_.end() || cursor_->second == 0) throw CFG_NoInstance();
        Object* object = cursor_->second;
        ++cursor_;
        return object;
    }
    void stop() { cursor_ = map_.end(); }

    size_t size() const { return map_.size(); }

private:
    Map map_;
    typename Map::iterator cursor_;
};

// Holds a registry's class lock for a scope.
template <class Registry>
class RegistryLock {
public:
    explicit RegistryLock(Registry& registry) : lock_(registry.mutex()) {}

private:
    std::lock_guard<std::recursive_mutex> lock_;
};

// Runs a whole iteration of a registry under its lock, ending the iteration
// whatever happens; fn(object) may destroy the object it is given.
template <class Registry, class Fn>
void forEachObject(Registry& registry, Fn fn) {
    RegistryLock<Registry> lock(registry);
    registry.startIteration();
    try {
        while (registry.hasNext()) fn(registry.next());
    } catch (...) {
        registry.endIteration();
        throw;
    }
    registry.endIteration();
}

// Destroys every object of a registry (link down, mode change).
template <class Registry>
void destroyAll(Registry& registry) {
    forEachObject(registry, [](typename Registry::Object* object) { delete object; });
}

// The registry of the four setting classes: one key, the InstanceID.
// Virtual operations in the order every class registry keeps.
template <class Object_>
class SettingRegistry {
public:
    typedef Object_ Object;
    enum { kKeyCount = 1 };
    static const char* const* keyNames() {
        static const char* const names[kKeyCount] = {"InstanceID"};
        return names;
    }

    SettingRegistry() {}
    virtual ~SettingRegistry() {}
    virtual void init() {}
    virtual Object* create(const std::string&) { throw CFG_InstanceCreationFailed(); }
    virtual void destroy(Object*) { throw CFG_InstanceDeletionFailed(); }
    virtual void add(Object* object) { RegistryLock<SettingRegistry> l(*this); table_.put(nameOf(*object), object); }
    virtual void remove(Object* object) { RegistryLock<SettingRegistry> l(*this); table_.erase(nameOf(*object)); }
    virtual Object* get(const std::string& instanceID) {
        RegistryLock<SettingRegistry> l(*this);
        return table_.find(instanceID);
    }
    virtual void startIteration() { RegistryLock<SettingRegistry> l(*this); table_.start(); }
    virtual int hasNext() { RegistryLock<SettingRegistry> l(*this); return table_.more() ? 1 : 0; }
    virtual Object* next() { RegistryLock<SettingRegistry> l(*this); return table_.next(); }
    virtual void endIteration() { RegistryLock<SettingRegistry> l(*this); table_.stop(); }

    // Uniform access for the class provider: keys in keyNames() order.
    Object* getByKeys(const std::string* keys) { return get(keys[0]); }
    Object* createByKeys(const std::string* keys) { return create(keys[0]); }

    std::recursive_mutex& mutex() const { return mutex_; }
    size_t size() const { RegistryLock<const SettingRegistry> l(*this); return table_.size(); }

    // Reads key number index (keyNames() order) through the object's key getter.
    static int readKey(const Object& object, int, std::string& value) {
        Qualifiers qualifiers;
        return object.getInstanceID(value, qualifiers);
    }

private:
    static std::string nameOf(const Object& object) {
        std::string id;
        readKey(object, 0, id);
        return id;
    }

    InstanceTable<Object> table_;
    mutable std::recursive_mutex mutex_;
};

// The registry of the three terminal classes: four keys, whose concatenation
// is the instance name.
template <class Object_>
class TerminalRegistry {
public:
    typedef Object_ Object;
    enum { kKeyCount = 4 };
    static const char* const* keyNames() {
        static const char* const names[kKeyCount] = {
            "SystemCreationClassName", "SystemName", "CreationClassName", "DeviceID"};
        return names;
    }

    TerminalRegistry() {}
    virtual ~TerminalRegistry() {}
    virtual void init() {}
    virtual Object* create(const std::string&, const std::string&, const std::string&,
                           const std::string&) {
        throw CFG_InstanceCreationFailed();
    }
    virtual void destroy(Object*) { throw CFG_InstanceDeletionFailed(); }
    // The plain registry finds nothing; the gateway-backed one looks up by DeviceID.
    virtual int FindByInstanceName(const std::string&, Object*&) { return 0; }
    virtual void add(Object* object) { RegistryLock<TerminalRegistry> l(*this); table_.put(nameOf(*object), object); }
    virtual void remove(Object* object) { RegistryLock<TerminalRegistry> l(*this); table_.erase(nameOf(*object)); }
    virtual Object* get(const std::string& systemCreationClassName, const std::string& systemName,
                        const std::string& creationClassName, const std::string& deviceID) {
        RegistryLock<TerminalRegistry> l(*this);
        // Every gateway record is looked up this way: the name is built in a
        // buffer the registry keeps (under its lock), not in a new allocation.
        lookupName_.clear();
        lookupName_.append(systemCreationClassName).append(systemName)
            .append(creationClassName).append(deviceID);
        return table_.find(lookupName_);
    }
    virtual void startIteration() { RegistryLock<TerminalRegistry> l(*this); table_.start(); }
    virtual int hasNext() { RegistryLock<TerminalRegistry> l(*this); return table_.more() ? 1 : 0; }
    virtual Object* next() { RegistryLock<TerminalRegistry> l(*this); return table_.next(); }
    virtual void endIteration() { RegistryLock<TerminalRegistry> l(*this); table_.stop(); }

    Object* getByKeys(const std::string* keys) { return get(keys[0], keys[1], keys[2], keys[3]); }
    Object* createByKeys(const std::string* keys) { return create(keys[0], keys[1], keys[2], keys[3]); }

    std::recursive_mutex& mutex() const { return mutex_; }
    size_t size() const { RegistryLock<const TerminalRegistry> l(*this); return table_.size(); }

    static int readKey(const Object& object, int index, std::string& value) {
        Qualifiers qualifiers;
        switch (index) {
            case 0: return object.getSystemCreationClassName(value, qualifiers);
            case 1: return object.getSystemName(value, qualifiers);
            case 2: return object.getCreationClassName(value, qualifiers);
            default: return object.getDeviceID(value, qualifiers);
        }
    }

private:
    // The four key values joined without separator.
    static std::string nameOf(const Object& object) {
        std::string name, key;
        for (int i = 0; i < kKeyCount; ++i) {
            key.clear();
            readKey(object, i, key);
            name += key;
        }
        return name;
    }

    InstanceTable<Object> table_;
    std::string lookupName_;
    mutable std::recursive_mutex mutex_;
};

// The class-wide registry pointer that every managed class X keeps: objects
// register in the current registry when built and leave it when destroyed.
template <class Object, class Registry>
class ManagedClass {
public:
    static Registry* theInstanceManager;
    static Registry defaultInstanceManager;

    // Makes the registry current, then lets it connect (gateway-backed ones do).
    static void SetInstanceManager(Registry* registry) {
        theInstanceManager = registry;
        registry->init();
    }
    static void ClearInstanceManager() { theInstanceManager = &defaultInstanceManager; }
    static Registry* getInstanceManager() { return theInstanceManager; }

protected:
    ManagedClass() {}
    ~ManagedClass() {}
};

template <class Object, class Registry>
Registry ManagedClass<Object, Registry>::defaultInstanceManager;
template <class Object, class Registry>
Registry* ManagedClass<Object, Registry>::theInstanceManager =
    &ManagedClass<Object, Registry>::defaultInstanceManager;

// Key getters' shared body.
inline int copyKey(const std::string& key, std::string& value) {
    value = key;
    return kPropertyOk;
}

}  // namespace zep

#endif  // ZEP_INSTANCE_REGISTRY_H
