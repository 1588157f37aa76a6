// The library's face towards the object manager: the top-level provider that
// receives every instance, method and association request for the library's
// classes, hands it to the class provider of the requested class, and turns
// whatever escapes a class provider into a CIMException.
//
// It holds no data and no lock; any number of request threads may call it.
#ifndef QEL_ZEPPROVIDER_H
#define QEL_ZEPPROVIDER_H

#include <OW_config.h>
#include <OW_CppAssociatorProviderIFC.hpp>
#include <OW_CppMethodProviderIFC.hpp>

class QEL_ZEPProvider : public OpenWBEM::CppMethodProviderIFC,
                        public OpenWBEM::CppAssociatorProviderIFC {
public:
    typedef OpenWBEM::ProviderEnvironmentIFCRef Env;

    QEL_ZEPProvider();
    virtual ~QEL_ZEPProvider();

    virtual OpenWBEM::CIMValue invokeMethod(const Env& env, const OpenWBEM::String& ns,
                                            const OpenWBEM::CIMObjectPath& path,
                                            const OpenWBEM::String& methodName,
                                            const OpenWBEM::CIMParamValueArray& in,
                                            OpenWBEM::CIMParamValueArray& out);
    // Initialises the class providers once each, in class order.
    virtual void initialize(const Env& env);
    virtual void enumInstanceNames(const Env& env, const OpenWBEM::String& ns,
                                   const OpenWBEM::String& className,
                                   OpenWBEM::CIMObjectPathResultHandlerIFC& result,
                                   const OpenWBEM::CIMClass& cimClass);
    virtual void enumInstances(const Env& env, const OpenWBEM::String& ns,
                               const OpenWBEM::String& className,
                               OpenWBEM::CIMInstanceResultHandlerIFC& result,
                               OpenWBEM::WBEMFlags::ELocalOnlyFlag localOnly,
                               OpenWBEM::WBEMFlags::EDeepFlag deep,
                               OpenWBEM::WBEMFlags::EIncludeQualifiersFlag includeQualifiers,
                               OpenWBEM::WBEMFlags::EIncludeClassOriginFlag includeClassOrigin,
                               const OpenWBEM::StringArray* propertyList,
                               const OpenWBEM::CIMClass& requestedClass,
                               const OpenWBEM::CIMClass& cimClass);
    virtual OpenWBEM::CIMInstance getInstance(const Env& env, const OpenWBEM::String& ns,
                                              const OpenWBEM::CIMObjectPath& instanceName,
                                              OpenWBEM::WBEMFlags::ELocalOnlyFlag localOnly,
                                              OpenWBEM::WBEMFlags::EIncludeQualifiersFlag includeQualifiers,
                                              OpenWBEM::WBEMFlags::EIncludeClassOriginFlag includeClassOrigin,
                                              const OpenWBEM::StringArray* propertyList,
                                              const OpenWBEM::CIMClass& cimClass);
    virtual OpenWBEM::CIMObjectPath createInstance(const Env& env, const OpenWBEM::String& ns,
                                                   const OpenWBEM::CIMInstance& cimInstance);
    virtual void deleteInstance(const Env& env, const OpenWBEM::String& ns,
                                const OpenWBEM::CIMObjectPath& cop);
    virtual void modifyInstance(const Env& env, const OpenWBEM::String& ns,
                                const OpenWBEM::CIMInstance& modifiedInstance,
                                const OpenWBEM::CIMInstance& previousInstance,
                                OpenWBEM::WBEMFlags::EIncludeQualifiersFlag includeQualifiers,
                                const OpenWBEM::StringArray* propertyList,
                                const OpenWBEM::CIMClass& theClass);
    // The library serves no association class: each of these fails with CIM error 5.
    virtual void associators(const Env& env, OpenWBEM::CIMInstanceResultHandlerIFC& result,
                             const OpenWBEM::String& ns, const OpenWBEM::CIMObjectPath& objectName,
                             const OpenWBEM::String& assocClass, const OpenWBEM::String& resultClass,
                             const OpenWBEM::String& role, const OpenWBEM::String& resultRole,
                             OpenWBEM::WBEMFlags::EIncludeQualifiersFlag includeQualifiers,
                             OpenWBEM::WBEMFlags::EIncludeClassOriginFlag includeClassOrigin,
                             const OpenWBEM::StringArray* propertyList);
    virtual void associatorNames(const Env& env, OpenWBEM::CIMObjectPathResultHandlerIFC& result,
                                 const OpenWBEM::String& ns, const OpenWBEM::CIMObjectPath& objectName,
                                 const OpenWBEM::String& assocClass, const OpenWBEM::String& resultClass,
                                 const OpenWBEM::String& role, const OpenWBEM::String& resultRole);
    virtual void references(const Env& env, OpenWBEM::CIMInstanceResultHandlerIFC& result,
                            const OpenWBEM::String& ns, const OpenWBEM::CIMObjectPath& objectName,
                            const OpenWBEM::String& resultClass, const OpenWBEM::String& role,
                            OpenWBEM::WBEMFlags::EIncludeQualifiersFlag includeQualifiers,
                            OpenWBEM::WBEMFlags::EIncludeClassOriginFlag includeClassOrigin,
                            const OpenWBEM::StringArray* propertyList);
    virtual void referenceNames(const Env& env, OpenWBEM::CIMObjectPathResultHandlerIFC& result,
                                const OpenWBEM::String& ns, const OpenWBEM::CIMObjectPath& objectName,
                                const OpenWBEM::String& resultClass, const OpenWBEM::String& role);

    // Never: the caches, the gateway link and its tasks live for the process
    // whatever becomes of this object, so unloading gains nothing, and the
    // idle unloader of some object managers fails on its own bookkeeping.
    virtual bool canUnload();

    // Calls cleanup() of every class provider, in class order.
    void cleanup();
};

#endif  // QEL_ZEPPROVIDER_H
