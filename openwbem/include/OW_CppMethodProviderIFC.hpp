// CppMethodProviderIFC: a provider of the extrinsic methods of its classes.
#ifndef OW_CPPMETHODPROVIDERIFC_HPP_INCLUDED
#define OW_CPPMETHODPROVIDERIFC_HPP_INCLUDED
#include "OW_config.h"
#include "OW_CppProviderBaseIFC.hpp"
#include "OW_MethodProviderInfo.hpp"
#include "OW_ProviderEnvironmentIFC.hpp"
#include "OW_CIMFwd.hpp"
#include "OW_String.hpp"
#include "OW_Array.hpp"

namespace OpenWBEM
{

// Calls may arrive on many threads at once.
class CppMethodProviderIFC : public virtual CppProviderBaseIFC
{
public:
	CppMethodProviderIFC();
	virtual ~CppMethodProviderIFC();
	// Registration hook; the default registers nothing.
	virtual void getMethodProviderInfo(MethodProviderInfo& info);

	// in holds the IN parameters in declaration order; out arrives with one entry per OUT
	// parameter, to be given its value by name. The return value goes to the client as it is.
	virtual CIMValue invokeMethod(
		const ProviderEnvironmentIFCRef& env,
		const String& ns,
		const CIMObjectPath& path,
		const String& methodName,
		const CIMParamValueArray& in,
		CIMParamValueArray& out) = 0;

	// Returns this.
	virtual CppMethodProviderIFC* getMethodProvider();
};

} // end namespace OpenWBEM

#endif
