// CppProviderBaseIFC: the base of every C++ provider, and OW_PROVIDERFACTORY, which makes the
// entry points through which the object manager creates one.
#ifndef OW_CPPPROVIDERBASEIFC_HPP_INCLUDED
#define OW_CPPPROVIDERBASEIFC_HPP_INCLUDED
#include "OW_config.h"
#include "OW_IntrusiveReference.hpp"
#include "OW_ProviderEnvironmentIFC.hpp"

namespace OpenWBEM
{
class CppInstanceProviderIFC;
class CppSecondaryInstanceProviderIFC;
class CppMethodProviderIFC;
class CppAssociatorProviderIFC;
class CppIndicationExportProviderIFC;
class CppPolledProviderIFC;
class CppIndicationProviderIFC;

// The object manager owns a provider through the intrusive count (or deletes it through this
// base). It may call a provider from many threads at once. The constructor, the registration
// hooks and the destructor must work without initialize() having run: the object manager's
// start-up scan creates a provider, asks it what it serves and destroys it again.
class CppProviderBaseIFC : public virtual IntrusiveCountableBase
{
public:
	CppProviderBaseIFC();
	CppProviderBaseIFC(const CppProviderBaseIFC& arg);
	virtual ~CppProviderBaseIFC();
	// Called once, before the first request. The default does nothing.
	virtual void initialize(const ProviderEnvironmentIFCRef& env);
	// The sub-interfaces this provider implements; 0 (the default) for those it does not.
	virtual CppInstanceProviderIFC* getInstanceProvider();
	virtual CppSecondaryInstanceProviderIFC* getSecondaryInstanceProvider();
	virtual CppMethodProviderIFC* getMethodProvider();
#ifndef OW_DISABLE_ASSOCIATION_TRAVERSAL
	virtual CppAssociatorProviderIFC* getAssociatorProvider();
#endif
	virtual CppIndicationExportProviderIFC* getIndicationExportProvider();
	virtual CppPolledProviderIFC* getPolledProvider();
	virtual CppIndicationProviderIFC* getIndicationProvider();
	// Whether an idle provider may be unloaded; the default is true.
	virtual bool canUnload();
	// A persistent provider is never unloaded for idleness. Set by the host.
	bool getPersist() const;
	void setPersist(bool persist = true);

private:
	bool m_persist;
};

} // end namespace OpenWBEM

// Defines the provider library's two entry points, for provider ID name:
// getOWVersion() and createProvider<name>(), which creates one prov with new. Use once per
// library, at global scope. name is pasted as a token.
#define OW_PROVIDERFACTORY(prov, name) \
extern "C" const char* \
getOWVersion() \
{ \
	return OW_VERSION; \
} \
extern "C" OpenWBEM::CppProviderBaseIFC* \
createProvider##name() \
{ \
	return new prov; \
}

#define OW_PROVIDERFACTORY_NOID(prov, name) OW_PROVIDERFACTORY(prov, NO_ID)
#define OW_NOIDPROVIDERFACTORY(prov) OW_PROVIDERFACTORY(prov, NO_ID)

#endif
