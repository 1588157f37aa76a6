// A provider written the way an OpenWBEM 3.0 provider is written: it derives from the method and
// association interfaces with the exact signatures of the real ones, includes every header whose
// names it uses, and stays within C++98. The build compiles it twice, with -std=gnu++98 and with
// -std=c++17, into libOWTestProv98.so and libOWTestProv17.so; the host test drives every
// operation of both through the factory. It serves:
//   Test_Terminal (key DeviceID string; DN uint32, Port uint16, Level uint8, Enabled boolean,
//   Label string), methods RedirectSet() : uint32 and FindByInstanceName(IN string name,
//   OUT REF inst) : boolean;
//   Test_Link, an association with the references Caller and Callee, one per terminal that has a
//   peer.
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
#include <pthread.h>

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
const char* const LINK = "Test_Link";
const char* const CALLER = "Caller";
const char* const CALLEE = "Callee";

class MutexLock
{
public:
	explicit MutexLock(pthread_mutex_t& m) : m_m(m) { pthread_mutex_lock(&m_m); }
	~MutexLock() { pthread_mutex_unlock(&m_m); }

private:
	MutexLock(const MutexLock&);
	MutexLock& operator=(const MutexLock&);
	pthread_mutex_t& m_m;
};

struct Terminal
{
	Terminal() : dn(0), port(5060), level(1), enabled(true) {}
	UInt32 dn;
	UInt16 port;
	UInt8 level;
	bool enabled;
	String label;
	String peer;   // DeviceID of the terminal this one calls; empty for none
};

typedef std::map<String, Terminal> TerminalMap;

bool matches(const String& filter, const char* name)
{
	return filter.empty() || filter.equalsIgnoreCase(name);
}

class TestProvider : public CppMethodProviderIFC, public CppAssociatorProviderIFC
{
public:
	TestProvider() : m_redirects(0)
	{
		pthread_mutex_init(&m_lock, 0);
	}

	virtual ~TestProvider()
	{
		pthread_mutex_destroy(&m_lock);
	}

	virtual void initialize(const ProviderEnvironmentIFCRef& env)
	{
		MutexLock hold(m_lock);
		const char* ids[] = { "4000", "4001", "4002" };
		for (int i = 0; i < 3; ++i)
		{
			Terminal t;
			t.dn = ids[i][3] - '0' + 4000;
			t.label = String("desk ") + ids[i];
			t.peer = i < 2 ? String(ids[i + 1]) : String();
			m_terminals[String(ids[i])] = t;
		}
		env->getLogger()->logInfo(String("TestProvider initialized for ") + env->getUserName());
	}

	virtual void getInstanceProviderInfo(InstanceProviderInfo& info)
	{
		info.addInstrumentedClass(TERMINAL);
		StringArray namespaces;
		namespaces.push_back("root/test");
		info.addInstrumentedClass(InstanceProviderInfo::ClassInfo(LINK, namespaces));
	}

	virtual void getMethodProviderInfo(MethodProviderInfo& info)
	{
		StringArray methods;
		methods.push_back("RedirectSet");
		methods.push_back("FindByInstanceName");
		info.addInstrumentedClass(MethodProviderInfo::ClassInfo(TERMINAL, StringArray(), methods));
	}

	virtual void getAssociatorProviderInfo(AssociatorProviderInfo& info)
	{
		info.addInstrumentedClass(LINK);
	}

	virtual void enumInstanceNames(const ProviderEnvironmentIFCRef& env, const String& ns,
		const String& className, CIMObjectPathResultHandlerIFC& result, const CIMClass&)
	{
		env->getLogger()->logDebug(String("enumInstanceNames ") + className);
		if (className.equalsIgnoreCase(TERMINAL))
		{
			const TerminalMap snapshot = terminals();
			for (TerminalMap::const_iterator i = snapshot.begin(); i != snapshot.end(); ++i)
			{
				result.handle(terminalPath(ns, i->first));
			}
		}
		else if (className.equalsIgnoreCase(LINK))
		{
			const TerminalMap snapshot = terminals();
			for (TerminalMap::const_iterator i = snapshot.begin(); i != snapshot.end(); ++i)
			{
				if (!i->second.peer.empty())
				{
					result.handle(linkPath(ns, i->first, i->second.peer));
				}
			}
		}
		else
		{
			OW_THROWCIMMSG(CIMException::INVALID_CLASS, className.c_str());
		}
	}

	// enumInstances is left to the interface's default (names, then getInstance for each).

	virtual CIMInstance getInstance(const ProviderEnvironmentIFCRef&, const String& ns,
		const CIMObjectPath& instanceName, ELocalOnlyFlag localOnly,
		EIncludeQualifiersFlag includeQualifiers, EIncludeClassOriginFlag includeClassOrigin,
		const StringArray* propertyList, const CIMClass&)
	{
		CIMInstance inst(CIMNULL);
		if (instanceName.getClassName().equalsIgnoreCase(TERMINAL))
		{
			const String id = deviceId(instanceName.getKey("DeviceID"));
			const TerminalMap snapshot = terminals();
			TerminalMap::const_iterator i = snapshot.find(id);
			if (i == snapshot.end())
			{
				OW_THROWCIMMSG(CIMException::NOT_FOUND, id.c_str());
			}
			inst = terminalInstance(i->first, i->second);
		}
		else if (instanceName.getClassName().equalsIgnoreCase(LINK))
		{
			CIMObjectPath caller(CIMNULL);
			CIMObjectPath callee(CIMNULL);
			instanceName.getKeyValue(CALLER).get(caller);
			instanceName.getKeyValue(CALLEE).get(callee);
			const String from = deviceId(caller.getKey("DeviceID"));
			const TerminalMap snapshot = terminals();
			TerminalMap::const_iterator i = snapshot.find(from);
			if (i == snapshot.end() || i->second.peer != deviceId(callee.getKey("DeviceID")))
			{
				OW_THROWCIM(CIMException::NOT_FOUND);
			}
			inst = linkInstance(ns, i->first, i->second.peer);
		}
		else
		{
			OW_THROWCIM(CIMException::INVALID_CLASS);
		}
		return inst.clone(localOnly, includeQualifiers, includeClassOrigin, propertyList);
	}

	virtual CIMObjectPath createInstance(const ProviderEnvironmentIFCRef&, const String& ns,
		const CIMInstance& cimInstance)
	{
		if (!cimInstance.getClassName().equalsIgnoreCase(TERMINAL))
		{
			OW_THROWCIMMSG(CIMException::NOT_SUPPORTED, "only terminals can be created");
		}
		const String id = deviceId(cimInstance.getProperty("DeviceID"));
		Terminal t;
		const CIMValue dn = cimInstance.getPropertyValue("DN");
		if (dn)
		{
			dn.get(t.dn);
		}
		const CIMValue label = cimInstance.getPropertyValue("Label");
		if (label)
		{
			t.label = label.toString();
		}
		MutexLock hold(m_lock);
		if (m_terminals.find(id) != m_terminals.end())
		{
			OW_THROWCIMMSG(CIMException::ALREADY_EXISTS, id.c_str());
		}
		m_terminals[id] = t;
		return terminalPath(ns, id);
	}

	virtual void modifyInstance(const ProviderEnvironmentIFCRef&, const String&,
		const CIMInstance& modifiedInstance, const CIMInstance&, EIncludeQualifiersFlag,
		const StringArray* propertyList, const CIMClass&)
	{
		const String id = deviceId(modifiedInstance.getProperty("DeviceID"));
		// Read everything first: a value of the wrong type throws before anything changes.
		Terminal changed;
		{
			MutexLock hold(m_lock);
			TerminalMap::iterator i = m_terminals.find(id);
			if (i == m_terminals.end())
			{
				OW_THROWCIMMSG(CIMException::NOT_FOUND, id.c_str());
			}
			changed = i->second;
		}
		const CIMPropertyArray props = modifiedInstance.getProperties();
		for (size_t n = 0; n < props.size(); ++n)
		{
			const String name = props[n].getName();
			const CIMValue v = props[n].getValue();
			if (!v || !listed(propertyList, name))
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
			else if (name.equals("Enabled"))
			{
				Bool b;
				v.get(b);
				changed.enabled = b;
			}
		}
		MutexLock hold(m_lock);
		TerminalMap::iterator i = m_terminals.find(id);
		if (i == m_terminals.end())
		{
			OW_THROWCIMMSG(CIMException::NOT_FOUND, id.c_str());
		}
		i->second = changed;
	}

	virtual void deleteInstance(const ProviderEnvironmentIFCRef&, const String&,
		const CIMObjectPath& cop)
	{
		const String id = deviceId(cop.getKey("DeviceID"));
		MutexLock hold(m_lock);
		if (m_terminals.erase(id) == 0)
		{
			OW_THROWCIMMSG(CIMException::NOT_FOUND, id.c_str());
		}
	}

	virtual CIMValue invokeMethod(const ProviderEnvironmentIFCRef&, const String& ns,
		const CIMObjectPath& path, const String& methodName, const CIMParamValueArray& in,
		CIMParamValueArray& out)
	{
		if (methodName.equals("RedirectSet"))
		{
			const String id = deviceId(path.getKey("DeviceID"));
			MutexLock hold(m_lock);
			if (m_terminals.find(id) == m_terminals.end())
			{
				OW_THROWCIMMSG(CIMException::NOT_FOUND, id.c_str());
			}
			return CIMValue(UInt32(++m_redirects));
		}
		if (methodName.equals("FindByInstanceName"))
		{
			String name;
			if (in.size() > 0 && in[0].getValue())
			{
				in[0].getValue().get(name);
			}
			const TerminalMap snapshot = terminals();
			const bool found = snapshot.find(name) != snapshot.end();
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

	virtual void associators(const ProviderEnvironmentIFCRef&,
		CIMInstanceResultHandlerIFC& result, const String& ns, const CIMObjectPath& objectName,
		const String& assocClass, const String& resultClass, const String& role,
		const String& resultRole, EIncludeQualifiersFlag includeQualifiers,
		EIncludeClassOriginFlag includeClassOrigin, const StringArray* propertyList)
	{
		const Array<Link> links = linksOf(objectName, assocClass, role);
		const TerminalMap snapshot = terminals();
		for (size_t n = 0; n < links.size(); ++n)
		{
			if (matches(resultClass, TERMINAL) && matches(resultRole, links[n].otherRole))
			{
				TerminalMap::const_iterator i = snapshot.find(links[n].other);
				if (i != snapshot.end())
				{
					result.handle(terminalInstance(i->first, i->second).clone(E_NOT_LOCAL_ONLY,
						includeQualifiers, includeClassOrigin, propertyList));
				}
			}
		}
		(void)ns;
	}

	virtual void associatorNames(const ProviderEnvironmentIFCRef&,
		CIMObjectPathResultHandlerIFC& result, const String& ns, const CIMObjectPath& objectName,
		const String& assocClass, const String& resultClass, const String& role,
		const String& resultRole)
	{
		const Array<Link> links = linksOf(objectName, assocClass, role);
		for (size_t n = 0; n < links.size(); ++n)
		{
			if (matches(resultClass, TERMINAL) && matches(resultRole, links[n].otherRole))
			{
				result.handle(terminalPath(ns, links[n].other));
			}
		}
	}

	virtual void references(const ProviderEnvironmentIFCRef&,
		CIMInstanceResultHandlerIFC& result, const String& ns, const CIMObjectPath& objectName,
		const String& resultClass, const String& role, EIncludeQualifiersFlag includeQualifiers,
		EIncludeClassOriginFlag includeClassOrigin, const StringArray* propertyList)
	{
		const Array<Link> links = linksOf(objectName, resultClass, role);
		for (size_t n = 0; n < links.size(); ++n)
		{
			result.handle(linkInstance(ns, links[n].caller, links[n].callee).clone(
				E_NOT_LOCAL_ONLY, includeQualifiers, includeClassOrigin, propertyList));
		}
	}

	virtual void referenceNames(const ProviderEnvironmentIFCRef&,
		CIMObjectPathResultHandlerIFC& result, const String& ns, const CIMObjectPath& objectName,
		const String& resultClass, const String& role)
	{
		const Array<Link> links = linksOf(objectName, resultClass, role);
		for (size_t n = 0; n < links.size(); ++n)
		{
			result.handle(linkPath(ns, links[n].caller, links[n].callee));
		}
	}

	virtual bool canUnload()
	{
		return false;
	}

private:
	// One Test_Link seen from the terminal it was asked about.
	struct Link
	{
		String caller;
		String callee;
		String other;
		const char* otherRole;
	};

	static bool listed(const StringArray* propertyList, const String& name)
	{
		if (!propertyList)
		{
			return true;
		}
		for (size_t n = 0; n < propertyList->size(); ++n)
		{
			if ((*propertyList)[n].equalsIgnoreCase(name))
			{
				return true;
			}
		}
		return false;
	}

	// The key's string value; a missing or null key is not found.
	static String deviceId(const CIMProperty& key)
	{
		if (!key || !key.getValue())
		{
			OW_THROWCIM(CIMException::NOT_FOUND);
		}
		if (key.getValue().getType() != CIMDataType::STRING)
		{
			OW_THROWCIMMSG(CIMException::INVALID_PARAMETER, "DeviceID must be a string");
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

	static CIMObjectPath linkPath(const String& ns, const String& caller, const String& callee)
	{
		CIMObjectPath path(LINK, ns);
		path.setKeyValue(CALLER, CIMValue(terminalPath(ns, caller)));
		path.setKeyValue(CALLEE, CIMValue(terminalPath(ns, callee)));
		return path;
	}

	static CIMInstance terminalInstance(const String& id, const Terminal& t)
	{
		CIMInstance inst(TERMINAL);
		CIMProperty key("DeviceID", CIMValue(id));
		key.setQualifier(CIMQualifier::createKeyQualifier());
		inst.setProperty(key);
		inst.setProperty("DN", CIMValue(t.dn));
		inst.setProperty("Port", CIMValue(t.port));
		inst.setProperty("Level", CIMValue(t.level));
		inst.setProperty("Enabled", CIMValue(Bool(t.enabled)));
		inst.setProperty("Label", CIMValue(t.label));
		return inst;
	}

	static CIMInstance linkInstance(const String& ns, const String& caller, const String& callee)
	{
		CIMInstance inst(LINK);
		inst.setProperty(CIMProperty(CALLER, CIMValue(terminalPath(ns, caller))));
		inst.setProperty(CIMProperty(CALLEE, CIMValue(terminalPath(ns, callee))));
		return inst;
	}

	TerminalMap terminals()
	{
		MutexLock hold(m_lock);
		return m_terminals;
	}

	// The links of Test_Link in which the terminal objectName plays role (any role when empty).
	Array<Link> linksOf(const CIMObjectPath& objectName, const String& assocClass,
		const String& role)
	{
		Array<Link> links;
		if (!matches(assocClass, LINK) || !objectName.getClassName().equalsIgnoreCase(TERMINAL))
		{
			return links;
		}
		const String id = deviceId(objectName.getKey("DeviceID"));
		const TerminalMap snapshot = terminals();
		for (TerminalMap::const_iterator i = snapshot.begin(); i != snapshot.end(); ++i)
		{
			if (i->first == id && !i->second.peer.empty() && matches(role, CALLER))
			{
				Link l;
				l.caller = id;
				l.callee = i->second.peer;
				l.other = l.callee;
				l.otherRole = CALLEE;
				links.push_back(l);
			}
			if (i->second.peer == id && matches(role, CALLEE))
			{
				Link l;
				l.caller = i->first;
				l.callee = id;
				l.other = l.caller;
				l.otherRole = CALLER;
				links.push_back(l);
			}
		}
		return links;
	}

	pthread_mutex_t m_lock;
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
