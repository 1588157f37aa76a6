// CppInstanceProviderIFC: a provider of the instances of its classes.
#ifndef OW_CPPINSTANCEPROVIDERIFC_HPP_INCLUDED
#define OW_CPPINSTANCEPROVIDERIFC_HPP_INCLUDED
#include "OW_config.h"
#include "OW_CppProviderBaseIFC.hpp"
#include "OW_InstanceProviderInfo.hpp"
#include "OW_ProviderEnvironmentIFC.hpp"
#include "OW_ResultHandlerIFC.hpp"
#include "OW_WBEMFlags.hpp"
#include "OW_CIMFwd.hpp"
#include "OW_String.hpp"
#include "OW_Array.hpp"

namespace OpenWBEM
{

// Calls may arrive on many threads at once.
class CppInstanceProviderIFC : public virtual CppProviderBaseIFC
{
public:
	CppInstanceProviderIFC();
	virtual ~CppInstanceProviderIFC();
	// Registration hook; the default registers nothing.
	virtual void getInstanceProviderInfo(InstanceProviderInfo& info);

	virtual void enumInstanceNames(
		const ProviderEnvironmentIFCRef& env,
		const String& ns,
		const String& className,
		CIMObjectPathResultHandlerIFC& result,
		const CIMClass& cimClass) = 0;

	// The default asks this provider's enumInstanceNames for the paths and hands on, for each
	// path, what getInstance(env, ns, path, localOnly, includeQualifiers, includeClassOrigin,
	// propertyList, cimClass) returns.
	virtual void enumInstances(
		const ProviderEnvironmentIFCRef& env,
		const String& ns,
		const String& className,
		CIMInstanceResultHandlerIFC& result,
		WBEMFlags::ELocalOnlyFlag localOnly,
		WBEMFlags::EDeepFlag deep,
		WBEMFlags::EIncludeQualifiersFlag includeQualifiers,
		WBEMFlags::EIncludeClassOriginFlag includeClassOrigin,
		const StringArray* propertyList,
		const CIMClass& requestedClass,
		const CIMClass& cimClass);

	virtual CIMInstance getInstance(
		const ProviderEnvironmentIFCRef& env,
		const String& ns,
		const CIMObjectPath& instanceName,
		WBEMFlags::ELocalOnlyFlag localOnly,
		WBEMFlags::EIncludeQualifiersFlag includeQualifiers,
		WBEMFlags::EIncludeClassOriginFlag includeClassOrigin,
		const StringArray* propertyList,
		const CIMClass& cimClass) = 0;

#ifndef OW_DISABLE_INSTANCE_MANIPULATION
	virtual CIMObjectPath createInstance(
		const ProviderEnvironmentIFCRef& env,
		const String& ns,
		const CIMInstance& cimInstance) = 0;

	virtual void modifyInstance(
		const ProviderEnvironmentIFCRef& env,
		const String& ns,
		const CIMInstance& modifiedInstance,
		const CIMInstance& previousInstance,
		WBEMFlags::EIncludeQualifiersFlag includeQualifiers,
		const StringArray* propertyList,
		const CIMClass& theClass) = 0;

	virtual void deleteInstance(
		const ProviderEnvironmentIFCRef& env,
		const String& ns,
		const CIMObjectPath& cop) = 0;
#endif

	// Returns this.
	virtual CppInstanceProviderIFC* getInstanceProvider();
};

} // end namespace OpenWBEM

#endif
