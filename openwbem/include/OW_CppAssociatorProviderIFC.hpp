// CppAssociatorProviderIFC: a provider of association traversal. It is an instance provider
// too: the association's own instances are enumerated through that interface.
#ifndef OW_CPPASSOCIATORPROVIDERIFC_HPP_INCLUDED
#define OW_CPPASSOCIATORPROVIDERIFC_HPP_INCLUDED
#include "OW_config.h"

#ifndef OW_DISABLE_ASSOCIATION_TRAVERSAL

#include "OW_CppInstanceProviderIFC.hpp"
#include "OW_AssociatorProviderInfo.hpp"
#include "OW_ProviderEnvironmentIFC.hpp"
#include "OW_ResultHandlerIFC.hpp"
#include "OW_WBEMFlags.hpp"
#include "OW_CIMFwd.hpp"
#include "OW_String.hpp"
#include "OW_Array.hpp"

namespace OpenWBEM
{

// Calls may arrive on many threads at once. Note the parameter order: the result handler comes
// before the namespace here.
class CppAssociatorProviderIFC : public virtual CppInstanceProviderIFC
{
public:
	CppAssociatorProviderIFC();
	virtual ~CppAssociatorProviderIFC();
	// Registration hook; the default registers nothing.
	virtual void getAssociatorProviderInfo(AssociatorProviderInfo& info);

	virtual void associators(
		const ProviderEnvironmentIFCRef& env,
		CIMInstanceResultHandlerIFC& result,
		const String& ns,
		const CIMObjectPath& objectName,
		const String& assocClass,
		const String& resultClass,
		const String& role,
		const String& resultRole,
		WBEMFlags::EIncludeQualifiersFlag includeQualifiers,
		WBEMFlags::EIncludeClassOriginFlag includeClassOrigin,
		const StringArray* propertyList) = 0;

	virtual void associatorNames(
		const ProviderEnvironmentIFCRef& env,
		CIMObjectPathResultHandlerIFC& result,
		const String& ns,
		const CIMObjectPath& objectName,
		const String& assocClass,
		const String& resultClass,
		const String& role,
		const String& resultRole) = 0;

	// resultClass is the association class being processed.
	virtual void references(
		const ProviderEnvironmentIFCRef& env,
		CIMInstanceResultHandlerIFC& result,
		const String& ns,
		const CIMObjectPath& objectName,
		const String& resultClass,
		const String& role,
		WBEMFlags::EIncludeQualifiersFlag includeQualifiers,
		WBEMFlags::EIncludeClassOriginFlag includeClassOrigin,
		const StringArray* propertyList) = 0;

	// resultClass is the association class being processed.
	virtual void referenceNames(
		const ProviderEnvironmentIFCRef& env,
		CIMObjectPathResultHandlerIFC& result,
		const String& ns,
		const CIMObjectPath& objectName,
		const String& resultClass,
		const String& role) = 0;

	// Returns this.
	virtual CppAssociatorProviderIFC* getAssociatorProvider();
};

} // end namespace OpenWBEM

#endif // OW_DISABLE_ASSOCIATION_TRAVERSAL

#endif
