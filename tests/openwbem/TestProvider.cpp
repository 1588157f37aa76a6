// A provider written the way an OpenWBEM 3.0 provider is written, and shaped as QEL_ZEPProvider:
// a method and association provider (the instance interface a virtual base of both) that refuses
// association requests. It includes every header of the provider API and stays within C++98; the
// build compiles it with -std=gnu++98 and with -std=c++17 into libOWTestProv98.so and
// libOWTestProv17.so, which the host test loads. It serves Test_Terminal (key DeviceID string;
// DN uint32, Port uint16, Enabled boolean, Label string) with the methods RedirectSet() : uint32
// and FindByInstanceName(IN string name, OUT REF inst) : boolean. The test calls it from one
// thread, so it keeps no lock.
#include "OW_config.h"
#include "OW_Types.hpp"
#include "OW_Bool.hpp"
#include "OW_String.hpp"
#include "OW_Array.hpp"
#include "OW_ArrayFwd.hpp"
#include "OW_Exception.hpp"
#include "OW_CIMException.hpp"
#include "OW_Reference.hpp"
#include "OW_IntrusiveReference.hpp"
#include "OW_LogLevel.hpp"
#include "OW_Logger.hpp"
#include "OW_ProviderEnvironmentIFC.hpp"
#include "OW_ResultHandlerIFC.hpp"
#include "OW_ResultHandlers.hpp"
#include "OW_WBEMFlags.hpp"
#include "OW_CIMNULL.hpp"
#include "OW_CIMFwd.hpp"
#include "OW_CIMDataType.hpp"
#include "OW_CIMValue.hpp"
#include "OW_CIMValueCast.hpp"
#include "OW_CIMQualifier.hpp"
#include "OW_CIMProperty.hpp"
#include "OW_CIMInstance.hpp"
#include "OW_CIMObjectPath.hpp"
#include "OW_CIMParamValue.hpp"
#include "OW_CIMClass.hpp"
#include "OW_NoSuchPropertyException.hpp"
#include "OW_NULLValueException.hpp"
#include "OW_ProviderInfoBase.hpp"
#include "OW_InstanceProviderInfo.hpp"
#include "OW_AssociatorProviderInfo.hpp"
#include "OW_MethodProviderInfo.hpp"
#include "OW_CppProviderBaseIFC.hpp"
#include "OW_CppInstanceProviderIFC.hpp"
#include "OW_CppMethodProviderIFC.hpp"
#include "OW_CppAssociatorProviderIFC.hpp"

#include <map>

#if defined(OWTEST_EXPECT_CXX98) && __cplusplus != 199711L
#error "this copy of the test provider must be compiled as C++98"
#endif
#if defined(OWTEST_EXPECT_CXX17) && __cplusplus != 201703L
#error "this copy of the test provider must be compiled as C++17"
#endif

using namespace OpenWBEM;
using namespace OpenWBEM::WBEMFlags;

namespace
{

const char* const TERMINAL = "Test_Terminal";

struct Terminal
{
	Terminal() : dn(0), port(5060), enabled(true) {}
	UInt32 dn;
	UInt16 port;
	bool enabled;
	String label;
};

typedef std::map<String, Terminal> TerminalMap;

class TestProvider : public CppMethodProviderIFC, public CppAssociatorProviderIFC
{
public:
	TestProvider() : m_redirects(0) {}

	virtual void initialize(const ProviderEnvironmentIFCRef& env)
	{
		const char* ids[] = { "4000", "4001", "4002" };
		for (int i = 0; i < 3; ++i)
		{
			Terminal t;
			t.dn = 4000 + i;
			t.label = String("desk ") + ids[i];
			m_terminals[String(ids[i])] = t;
		}
		env->getLogger()->logError(String("TestProvider initialized for ") + env->getUserName());
	}

	virtual void enumInstanceNames(const ProviderEnvironmentIFCRef&, const String& ns,
		const String& className, CIMObjectPathResultHandlerIFC& result, const CIMClass&)
	{
		if (!className.equals(TERMINAL))
		{
			OW_THROWCIM(CIMException::INVALID_CLASS);
		}
		for (TerminalMap::const_iterator i = m_terminals.begin(); i != m_terminals.end(); ++i)
		{
			result.handle(terminalPath(ns, i->first));
		}
	}

	// enumInstances is the interface's default: the names, then getInstance for each.

	virtual CIMInstance getInstance(const ProviderEnvironmentIFCRef&, const String&,
		const CIMObjectPath& instanceName, ELocalOnlyFlag, EIncludeQualifiersFlag,
		EIncludeClassOriginFlag, const StringArray*, const CIMClass&)
	{
		const String id = deviceId(instanceName.getKey("DeviceID"));
		const Terminal& t = terminal(id);
		CIMInstance inst(TERMINAL);
		inst.setProperty("DeviceID", CIMValue(id));
		inst.setProperty("DN", CIMValue(t.dn));
		inst.setProperty("Port", CIMValue(t.port));
		inst.setProperty("Enabled", CIMValue(Bool(t.enabled)));
		inst.setProperty("Label", CIMValue(t.label));
		return inst;
	}

	virtual CIMObjectPath createInstance(const ProviderEnvironmentIFCRef&, const String&,
		const CIMInstance&)
	{ OW_THROWCIMMSG(CIMException::NOT_SUPPORTED, "terminals are made by the gateway"); }

	// Every value is read before anything changes: one of the wrong type throws first.
	virtual void modifyInstance(const ProviderEnvironmentIFCRef&, const String&,
		const CIMInstance& modifiedInstance, const CIMInstance&, EIncludeQualifiersFlag,
		const StringArray*, const CIMClass&)
	{
		const String id = deviceId(modifiedInstance.getProperty("DeviceID"));
		Terminal changed = terminal(id);
		const CIMPropertyArray props = modifiedInstance.getProperties();
		for (size_t n = 0; n < props.size(); ++n)
		{
			const String name = props[n].getName();
			const CIMValue v = props[n].getValue();
			if (!v)
			{
				continue;
			}
			if (name.equals("Label"))
			{
				v.get(changed.label);
			}
			else if (name.equals("Port"))
			{
				v.get(changed.port);
			}
		}
		m_terminals[id] = changed;
	}

	virtual void deleteInstance(const ProviderEnvironmentIFCRef&, const String&,
		const CIMObjectPath&)
	{ OW_THROWCIM(CIMException::NOT_SUPPORTED); }

	virtual CIMValue invokeMethod(const ProviderEnvironmentIFCRef&, const String& ns,
		const CIMObjectPath& path, const String& methodName, const CIMParamValueArray& in,
		CIMParamValueArray& out)
	{
		if (methodName.equals("RedirectSet"))
		{
			terminal(deviceId(path.getKey("DeviceID")));
			return CIMValue(UInt32(++m_redirects));
		}
		if (methodName.equals("FindByInstanceName"))
		{
			String name;
			if (in.size() > 0 && in[0].getValue())
			{
				in[0].getValue().get(name);
			}
			const bool found = m_terminals.find(name) != m_terminals.end();
			for (size_t n = 0; n < out.size(); ++n)
			{
				if (found && out[n].getName().equalsIgnoreCase("inst"))
				{
					out[n].setValue(CIMValue(terminalPath(ns, name)));
				}
			}
			return CIMValue(Bool(found));
		}
		OW_THROWCIMMSG(CIMException::METHOD_NOT_FOUND, methodName.c_str());
	}

	virtual void associators(const ProviderEnvironmentIFCRef&, CIMInstanceResultHandlerIFC&,
		const String&, const CIMObjectPath&, const String&, const String&, const String&,
		const String&, EIncludeQualifiersFlag, EIncludeClassOriginFlag, const StringArray*)
	{ OW_THROWCIM(CIMException::INVALID_CLASS); }

	virtual void associatorNames(const ProviderEnvironmentIFCRef&,
		CIMObjectPathResultHandlerIFC&, const String&, const CIMObjectPath&, const String&,
		const String&, const String&, const String&)
	{ OW_THROWCIM(CIMException::INVALID_CLASS); }

	virtual void references(const ProviderEnvironmentIFCRef&, CIMInstanceResultHandlerIFC&,
		const String&, const CIMObjectPath&, const String&, const String&, EIncludeQualifiersFlag,
		EIncludeClassOriginFlag, const StringArray*)
	{ OW_THROWCIM(CIMException::INVALID_CLASS); }

	virtual void referenceNames(const ProviderEnvironmentIFCRef&,
		CIMObjectPathResultHandlerIFC&, const String&, const CIMObjectPath&, const String&,
		const String&)
	{ OW_THROWCIM(CIMException::INVALID_CLASS); }

	virtual bool canUnload() { return false; }

private:
	// The key's string value; a missing or null key is not found.
	static String deviceId(const CIMProperty& key)
	{
		if (!key || !key.getValue())
		{
			OW_THROWCIM(CIMException::NOT_FOUND);
		}
		String id;
		key.getValue().get(id);
		return id;
	}

	static CIMObjectPath terminalPath(const String& ns, const String& id)
	{
		CIMObjectPath path(TERMINAL, ns);
		path.setKeyValue("DeviceID", CIMValue(id));
		return path;
	}

	const Terminal& terminal(const String& id) const
	{
		TerminalMap::const_iterator i = m_terminals.find(id);
		if (i == m_terminals.end())
		{
			OW_THROWCIMMSG(CIMException::NOT_FOUND, id.c_str());
		}
		return i->second;
	}

	TerminalMap m_terminals;
	UInt32 m_redirects;
};

} // namespace

// Every member of the class templates must be valid at this language level, not only those used
// above.
template class OpenWBEM::Array<OpenWBEM::String>;
template class OpenWBEM::Reference<OpenWBEM::String>;
template class OpenWBEM::IntrusiveReference<OpenWBEM::Logger>;
template class OpenWBEM::ProviderInfoBase<OpenWBEM::InstClassInfo>;
template class OpenWBEM::ResultHandlerIFC<OpenWBEM::CIMInstance>;

// The ID is pasted as a token, so it must be expanded before it reaches the factory macro.
#define OWTEST_FACTORY(id) OW_PROVIDERFACTORY(TestProvider, id)
OWTEST_FACTORY(OWTEST_PROVIDER_ID)
