// The class providers' members that carry the CIM class name. They are the
// shared template's operations under the names this library's classes use.
#ifndef ZEP_PROVIDER_NAMES_H
#define ZEP_PROVIDER_NAMES_H

#define ZEP_CLASS_PROVIDER_NAMES(X)                                                         \
    using zep::ClassProvider<X##Traits>::modifyInstance;                                    \
    void modifyInstance(X& object, const OpenWBEM::CIMInstance& instance) {                 \
        modifyObject(object, instance);                                                     \
    }                                                                                       \
    void X##ToCIMInstance(const OpenWBEM::String& ns, const X& object,                      \
                          OpenWBEM::CIMInstance& instance) {                                \
        toCIMInstance(ns, object, instance);                                                \
    }                                                                                       \
    void X##ToCIMObjectPath(const X& object, OpenWBEM::CIMObjectPath& path) {               \
        toCIMObjectPath(object, path);                                                      \
    }                                                                                       \
    X* get##X##WithCIMObjectPath(const OpenWBEM::CIMObjectPath& path) {                     \
        return getWithCIMObjectPath(path);                                                  \
    }                                                                                       \
    X* get##X##WithCIMInstance(const OpenWBEM::CIMInstance& instance) {                     \
        return getWithCIMInstance(instance);                                                \
    }

#endif  // ZEP_PROVIDER_NAMES_H
