// ProviderEnvironmentIFC: what the object manager hands to a provider with every call.
#ifndef OW_PROVIDERENVIRONMENTIFC_HPP_INCLUDED
#define OW_PROVIDERENVIRONMENTIFC_HPP_INCLUDED
#include "OW_config.h"
#include "OW_String.hpp"
#include "OW_Logger.hpp"
#include "OW_IntrusiveReference.hpp"

namespace OpenWBEM
{

// Implemented by the host and owned through ProviderEnvironmentIFCRef. An environment is valid
// for the call it was passed to; a provider does not keep one for later calls.
class ProviderEnvironmentIFC : public IntrusiveCountableBase
{
public:
	ProviderEnvironmentIFC();
	virtual ~ProviderEnvironmentIFC();
	virtual LoggerRef getLogger() const = 0;
	virtual String getConfigItem(const String& name, const String& defRetVal = "") const = 0;
	virtual String getUserName() const = 0;
};

typedef IntrusiveReference<ProviderEnvironmentIFC> ProviderEnvironmentIFCRef;

} // end namespace OpenWBEM

#endif
