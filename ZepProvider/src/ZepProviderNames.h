// The class provider of a class X, made from its property list: the traits
// the shared template reads (names, tables, the gateway-backed registry),
// and XProvider with the members that carry the CIM class name.
#ifndef ZEP_PROVIDER_NAMES_H
#define ZEP_PROVIDER_NAMES_H

#include "ZepClassProvider.h"
#include "ZepGatewayCache.h"

// The getter table lists the properties, then the keys (KEYS: a key list);
// the setter table the writable properties; rows() what a MOF must say.
#define ZEP_CLASS_PROVIDER(X, KEYS, isTerminal)                                             \
    struct X##Traits {                                                                      \
        typedef X Object;                                                                   \
        typedef X##InstanceManager Registry;                                                \
        enum { kTerminal = isTerminal };                                                    \
        static const char* className() { return #X; }                                       \
        static void install() { zep::installGatewayRegistry<X, X##ImplInstanceManager>(); } \
        static const zep::PropertyGetter<Object>* getters(size_t& count) {                  \
            static const zep::PropertyGetter<Object> table[] = {                            \
                X##_PROPERTIES(ZEP_GETTER_ENTRY) KEYS(ZEP_GETTER_ENTRY)};                   \
            count = sizeof table / sizeof table[0];                                         \
            return table;                                                                   \
        }                                                                                   \
        static const zep::PropertySetter<Object>* setters(size_t& count) {                  \
            static const zep::PropertySetter<Object> table[] = {                            \
                X##_PROPERTIES(ZEP_SETTER_ENTRY)};                                          \
            count = sizeof table / sizeof table[0];                                         \
            return table;                                                                   \
        }                                                                                   \
        static const zep::PropertyRow* rows(size_t& count) {                                \
            static const zep::PropertyRow table[] = {                                       \
                X##_PROPERTIES(ZEP_ROW_ENTRY) KEYS(ZEP_ROW_ENTRY)};                         \
            count = sizeof table / sizeof table[0];                                         \
            return table;                                                                   \
        }                                                                                   \
    };                                                                                      \
    class X##Provider : public zep::ClassProvider<X##Traits> {                              \
    public:                                                                                 \
        ZEP_CLASS_PROVIDER_NAMES(X)                                                         \
    };

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
