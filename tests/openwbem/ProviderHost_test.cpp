// A small host that loads the test provider the way the object manager does (dlopen, version
// check, factory, start-up scan without initialize, then one initialized instance) and drives
// every operation through it. Run for the C++98 and the C++17 build of the same provider source.
#include "OW_config.h"
#include "OW_CIMClass.hpp"
#include "OW_CIMException.hpp"
#include "OW_CIMInstance.hpp"
#include "OW_CIMObjectPath.hpp"
#include "OW_CIMParamValue.hpp"
#include "OW_CIMValue.hpp"
#include "OW_CIMValueCast.hpp"
#include "OW_CppAssociatorProviderIFC.hpp"
#include "OW_CppInstanceProviderIFC.hpp"
#include "OW_CppMethodProviderIFC.hpp"
#include "OW_CppProviderBaseIFC.hpp"
#include "OW_Logger.hpp"
#include "OW_ProviderEnvironmentIFC.hpp"
#include "OW_ResultHandlers.hpp"

#include "TestSupport.hpp"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace
{

using namespace OpenWBEM;
using namespace OpenWBEM::WBEMFlags;

class CapturingLogger : public Logger
{
public:
	CapturingLogger() : Logger(E_DEBUG_LEVEL) {}
	std::vector<std::string> messages() const
	{
		std::lock_guard<std::mutex> hold(m_mutex);
		return m_messages;
	}

protected:
	void doLogMessage(const String& message, const ELogLevel) const override
	{
		std::lock_guard<std::mutex> hold(m_mutex);
		m_messages.push_back(message.c_str());
	}

private:
	mutable std::mutex m_mutex;
	mutable std::vector<std::string> m_messages;
};

class TestEnvironment : public ProviderEnvironmentIFC
{
public:
	explicit TestEnvironment(const LoggerRef& logger) : m_logger(logger) {}
	LoggerRef getLogger() const override { return m_logger; }
	String getConfigItem(const String&, const String& defRetVal) const override
	{
		return defRetVal;
	}
	String getUserName() const override { return "tester"; }

private:
	LoggerRef m_logger;
};

// The provider library, open for the object's lifetime.
class ProviderLibrary
{
public:
	explicit ProviderLibrary(const char* path) : m_handle(dlopen(path, RTLD_NOW | RTLD_GLOBAL))
	{
	}
	~ProviderLibrary()
	{
		if (m_handle)
		{
			dlclose(m_handle);
		}
	}
	ProviderLibrary(const ProviderLibrary&) = delete;
	ProviderLibrary& operator=(const ProviderLibrary&) = delete;

	bool loaded() const { return m_handle != nullptr; }
	void* symbol(const std::string& name) const { return dlsym(m_handle, name.c_str()); }

private:
	void* m_handle;
};

struct Build
{
	const char* path;
	const char* id;
};

void PrintTo(const Build& b, std::ostream* os)
{
	*os << b.id;
}

typedef const char* (*VersionFn)();
typedef CppProviderBaseIFC* (*FactoryFn)();

const char* const NS = "root/test";

CIMObjectPath terminal(const char* id)
{
	CIMObjectPath path("Test_Terminal", NS);
	path.setKeyValue("DeviceID", CIMValue(id));
	return path;
}

// Runs f and returns the CIM status code it threw, or -1 when it threw none.
template<class F> int cimErrorOf(F f)
{
	try
	{
		f();
	}
	catch (const CIMException& e)
	{
		return e.getErrNo();
	}
	return -1;
}

std::set<std::string> deviceIds(const CIMObjectPathArray& paths)
{
	std::set<std::string> ids;
	for (size_t i = 0; i < paths.size(); ++i)
	{
		ids.insert(paths[i].getKeyValue("DeviceID").toString().c_str());
	}
	return ids;
}

class ProviderHost : public ::testing::TestWithParam<Build>
{
protected:
	void SetUp() override
	{
		m_library.reset(new ProviderLibrary(GetParam().path));
		ASSERT_TRUE(m_library->loaded()) << dlerror();
		m_factory = reinterpret_cast<FactoryFn>(
			m_library->symbol(std::string("createProvider") + GetParam().id));
		ASSERT_NE(m_factory, nullptr);
	}

	void TearDown() override
	{
		// Everything the library's code made must be gone before it is closed.
		m_instances = nullptr;
		m_methods = nullptr;
		m_associators = nullptr;
		m_provider = IntrusiveReference<CppProviderBaseIFC>();
		m_env = ProviderEnvironmentIFCRef();
		m_library.reset();
	}

	// A fresh provider, initialized, owned through its intrusive count.
	void start()
	{
		m_logger = new CapturingLogger;
		m_env = ProviderEnvironmentIFCRef(new TestEnvironment(LoggerRef(m_logger)));
		m_provider = m_factory();
		ASSERT_TRUE(m_provider);
		m_provider->initialize(m_env);
		m_instances = m_provider->getInstanceProvider();
		m_methods = m_provider->getMethodProvider();
		m_associators = m_provider->getAssociatorProvider();
		ASSERT_NE(m_instances, nullptr);
		ASSERT_NE(m_methods, nullptr);
		ASSERT_NE(m_associators, nullptr);
	}

	CIMObjectPathArray names(const char* className)
	{
		CIMObjectPathArray paths;
		CIMObjectPathArrayBuilder handler(paths);
		m_instances->enumInstanceNames(m_env, NS, className, handler, CIMClass(className));
		return paths;
	}

	CIMInstanceArray instances(const char* className, const StringArray* propertyList)
	{
		CIMInstanceArray result;
		CIMInstanceArrayBuilder handler(result);
		m_instances->enumInstances(m_env, NS, className, handler, E_NOT_LOCAL_ONLY, E_DEEP,
			E_EXCLUDE_QUALIFIERS, E_INCLUDE_CLASS_ORIGIN, propertyList, CIMClass(className),
			CIMClass(className));
		return result;
	}

	CIMInstance get(const CIMObjectPath& path, const StringArray* propertyList = nullptr)
	{
		return m_instances->getInstance(m_env, NS, path, E_NOT_LOCAL_ONLY, E_EXCLUDE_QUALIFIERS,
			E_INCLUDE_CLASS_ORIGIN, propertyList, CIMClass(path.getClassName()));
	}

	CIMObjectPathArray associatorNames(const CIMObjectPath& path, const char* assocClass,
		const char* resultClass, const char* role, const char* resultRole)
	{
		CIMObjectPathArray paths;
		CIMObjectPathArrayBuilder handler(paths);
		m_associators->associatorNames(m_env, handler, NS, path, assocClass, resultClass, role,
			resultRole);
		return paths;
	}

	CIMObjectPathArray referenceNames(const CIMObjectPath& path, const char* role)
	{
		CIMObjectPathArray paths;
		CIMObjectPathArrayBuilder handler(paths);
		m_associators->referenceNames(m_env, handler, NS, path, "Test_Link", role);
		return paths;
	}

	std::unique_ptr<ProviderLibrary> m_library;
	FactoryFn m_factory = nullptr;
	CapturingLogger* m_logger = nullptr;   // owned by m_env
	ProviderEnvironmentIFCRef m_env;
	IntrusiveReference<CppProviderBaseIFC> m_provider;
	CppInstanceProviderIFC* m_instances = nullptr;
	CppMethodProviderIFC* m_methods = nullptr;
	CppAssociatorProviderIFC* m_associators = nullptr;
};

TEST_P(ProviderHost, ExportsItsVersionAndFactoryAndSurvivesTheStartupScan)
{
	const VersionFn version = reinterpret_cast<VersionFn>(m_library->symbol("getOWVersion"));
	ASSERT_NE(version, nullptr);
	EXPECT_STREQ(version(), "3.0.3");
	EXPECT_STREQ(version(), OW_VERSION);

	// As the start-up scan does: create, ask what it serves, destroy; no initialize.
	CppProviderBaseIFC* scanned = m_factory();
	ASSERT_NE(scanned, nullptr);
	ASSERT_NE(scanned->getInstanceProvider(), nullptr);
	ASSERT_NE(scanned->getMethodProvider(), nullptr);
	ASSERT_NE(scanned->getAssociatorProvider(), nullptr);
	EXPECT_EQ(scanned->getPolledProvider(), nullptr);
	EXPECT_EQ(scanned->getIndicationProvider(), nullptr);
	EXPECT_FALSE(scanned->canUnload());

	InstanceProviderInfo instanceInfo;
	instanceInfo.setProviderName(GetParam().id);
	scanned->getInstanceProvider()->getInstanceProviderInfo(instanceInfo);
	ASSERT_EQ(instanceInfo.getClassInfo().size(), 2u);
	EXPECT_EQ(instanceInfo.getClassInfo()[0].className, "Test_Terminal");
	EXPECT_TRUE(instanceInfo.getClassInfo()[0].namespaces.empty());
	EXPECT_EQ(instanceInfo.getClassInfo()[1].className, "Test_Link");
	ASSERT_EQ(instanceInfo.getClassInfo()[1].namespaces.size(), 1u);
	EXPECT_EQ(instanceInfo.getClassInfo()[1].namespaces[0], NS);
	EXPECT_EQ(instanceInfo.getProviderName(), GetParam().id);

	MethodProviderInfo methodInfo;
	scanned->getMethodProvider()->getMethodProviderInfo(methodInfo);
	ASSERT_EQ(methodInfo.getClassInfo().size(), 1u);
	EXPECT_EQ(methodInfo.getClassInfo()[0].methods.size(), 2u);

	AssociatorProviderInfo associatorInfo;
	scanned->getAssociatorProvider()->getAssociatorProviderInfo(associatorInfo);
	ASSERT_EQ(associatorInfo.getClassInfo().size(), 1u);
	EXPECT_EQ(associatorInfo.getClassInfo()[0].className, "Test_Link");

	delete scanned;
}

TEST_P(ProviderHost, ServesEveryInstanceOperation)
{
	start();
	ASSERT_FALSE(m_logger->messages().empty());
	EXPECT_EQ(m_logger->messages()[0], "TestProvider initialized for tester");

	const CIMObjectPathArray paths = names("Test_Terminal");
	ASSERT_EQ(paths.size(), 3u);
	EXPECT_EQ(paths[0].getNameSpace(), NS);
	EXPECT_EQ(paths[0].toString(), "/root/test:Test_Terminal.DeviceID=\"4000\"");

	// enumInstances is the interface's default: names, then getInstance for each.
	const CIMInstanceArray all = instances("Test_Terminal", nullptr);
	ASSERT_EQ(all.size(), 3u);
	const CIMInstance& first = all[0];
	EXPECT_EQ(first.getProperties().size(), 6u);
	EXPECT_EQ(first.getPropertyValue("DN").getType(), CIMDataType::UINT32);
	EXPECT_EQ(first.getPropertyValue("Port").getType(), CIMDataType::UINT16);
	EXPECT_EQ(first.getPropertyValue("Level").getType(), CIMDataType::UINT8);
	EXPECT_EQ(first.getPropertyValue("Enabled").getType(), CIMDataType::BOOLEAN);
	EXPECT_EQ(first.getPropertyValue("Label").toString(), "desk 4000");
	EXPECT_EQ(first.getKeyValuePairs().size(), 1u);
	StringArray onlyDN;
	onlyDN.push_back("dn");
	const CIMInstanceArray filtered = instances("Test_Terminal", &onlyDN);
	ASSERT_EQ(filtered.size(), 3u);
	ASSERT_EQ(filtered[2].getProperties().size(), 1u);
	EXPECT_EQ(filtered[2].getPropertyValue("DN").toUInt32(), 4002u);

	EXPECT_EQ(cimErrorOf([&] { get(terminal("4999")); }), CIMException::NOT_FOUND);
	EXPECT_EQ(cimErrorOf([&] { get(CIMObjectPath("Test_Terminal", NS)); }),
		CIMException::NOT_FOUND);
	EXPECT_EQ(cimErrorOf([&] { names("Test_Other"); }), CIMException::INVALID_CLASS);

	CIMInstance created("Test_Terminal");
	created.setProperty("DeviceID", CIMValue("4005"));
	created.setProperty("DN", CIMValue(UInt32(4005)));
	created.setProperty("Label", CIMValue("new"));
	const CIMObjectPath createdPath = m_instances->createInstance(m_env, NS, created);
	EXPECT_TRUE(createdPath.equals(terminal("4005")));
	EXPECT_EQ(get(createdPath).getPropertyValue("DN"), CIMValue(UInt32(4005)));
	EXPECT_EQ(cimErrorOf([&] { m_instances->createInstance(m_env, NS, created); }),
		CIMException::ALREADY_EXISTS);

	CIMInstance modified = get(terminal("4001"));
	modified.setProperty("Label", CIMValue("lobby"));
	modified.setProperty("Port", CIMValue(UInt16(5070)));
	m_instances->modifyInstance(m_env, NS, modified, get(terminal("4001")),
		E_EXCLUDE_QUALIFIERS, nullptr, CIMClass("Test_Terminal"));
	const CIMInstance after = get(terminal("4001"));
	EXPECT_EQ(after.getPropertyValue("Label").toString(), "lobby");
	EXPECT_EQ(after.getPropertyValue("Port").toUInt16(), 5070);

	// A value of another width than the provider reads is the strict-get error, raised in
	// libopenwbem and caught here, across both library boundaries; nothing is applied.
	CIMInstance badPort("Test_Terminal");
	badPort.setProperty("DeviceID", CIMValue("4001"));
	badPort.setProperty("Label", CIMValue("ignored"));
	badPort.setProperty("Port", CIMValue(UInt32(80)));
	EXPECT_THROW(m_instances->modifyInstance(m_env, NS, badPort, after, E_EXCLUDE_QUALIFIERS,
		nullptr, CIMClass("Test_Terminal")), ValueCastException);
	EXPECT_EQ(get(terminal("4001")).getPropertyValue("Label").toString(), "lobby");

	m_instances->deleteInstance(m_env, NS, createdPath);
	EXPECT_EQ(names("Test_Terminal").size(), 3u);
	EXPECT_EQ(cimErrorOf([&] { m_instances->deleteInstance(m_env, NS, createdPath); }),
		CIMException::NOT_FOUND);
}

TEST_P(ProviderHost, InvokesMethodsWithParametersInAndOut)
{
	start();
	CIMParamValueArray in;
	CIMParamValueArray out;
	CIMValue r = m_methods->invokeMethod(m_env, NS, terminal("4000"), "RedirectSet", in, out);
	EXPECT_EQ(r, CIMValue(UInt32(1)));
	r = m_methods->invokeMethod(m_env, NS, terminal("4002"), "RedirectSet", in, out);
	EXPECT_EQ(r, CIMValue(UInt32(2)));
	EXPECT_TRUE(out.empty());

	// in: one entry per declared IN parameter; out: pre-filled by name, value null.
	in.push_back(CIMParamValue("name", CIMValue("4001")));
	in.push_back(CIMParamValue("inst", CIMValue(CIMNULL)));
	out.push_back(CIMParamValue("inst"));
	r = m_methods->invokeMethod(m_env, NS, terminal("4000"), "FindByInstanceName", in, out);
	EXPECT_EQ(r, CIMValue(true));
	ASSERT_EQ(out.size(), 1u);
	ASSERT_TRUE(out[0].getValue());
	EXPECT_TRUE(out[0].getValue().toCIMObjectPath().equals(terminal("4001")));

	CIMParamValueArray missIn;
	missIn.push_back(CIMParamValue("name", CIMValue(CIMNULL)));
	CIMParamValueArray missOut;
	missOut.push_back(CIMParamValue("inst"));
	r = m_methods->invokeMethod(m_env, NS, terminal("4000"), "FindByInstanceName", missIn,
		missOut);
	EXPECT_EQ(r, CIMValue(false));
	EXPECT_FALSE(missOut[0].getValue());

	EXPECT_EQ(cimErrorOf([&] {
		m_methods->invokeMethod(m_env, NS, terminal("4000"), "redirectset", in, out);
	}), CIMException::METHOD_NOT_FOUND);
	EXPECT_EQ(cimErrorOf([&] {
		m_methods->invokeMethod(m_env, NS, terminal("4999"), "RedirectSet", in, out);
	}), CIMException::NOT_FOUND);
}

TEST_P(ProviderHost, TraversesAssociationsWithTheirFilters)
{
	start();
	// Links: 4000 calls 4001, 4001 calls 4002.
	const CIMObjectPath middle = terminal("4001");
	EXPECT_EQ(deviceIds(associatorNames(middle, "", "", "", "")),
		(std::set<std::string>{"4000", "4002"}));
	EXPECT_EQ(deviceIds(associatorNames(middle, "Test_Link", "Test_Terminal", "Caller", "")),
		(std::set<std::string>{"4002"}));
	EXPECT_EQ(deviceIds(associatorNames(middle, "", "", "", "Caller")),
		(std::set<std::string>{"4000"}));
	EXPECT_TRUE(associatorNames(middle, "", "Test_Other", "", "").empty());
	EXPECT_TRUE(associatorNames(middle, "Test_Other", "", "", "").empty());

	CIMInstanceArray found;
	CIMInstanceArrayBuilder handler(found);
	StringArray onlyLabel;
	onlyLabel.push_back("Label");
	m_associators->associators(m_env, handler, NS, terminal("4000"), "Test_Link", "", "", "",
		E_EXCLUDE_QUALIFIERS, E_INCLUDE_CLASS_ORIGIN, &onlyLabel);
	ASSERT_EQ(found.size(), 1u);
	ASSERT_EQ(found[0].getProperties().size(), 1u);
	EXPECT_EQ(found[0].getPropertyValue("Label").toString(), "desk 4001");

	const CIMObjectPathArray links = referenceNames(middle, "");
	ASSERT_EQ(links.size(), 2u);
	const CIMObjectPathArray asCallee = referenceNames(middle, "Callee");
	ASSERT_EQ(asCallee.size(), 1u);
	EXPECT_TRUE(asCallee[0].getKeyValue("Caller").toCIMObjectPath().equals(terminal("4000")));
	// A path with reference keys comes back to getInstance intact.
	const CIMInstance link = get(asCallee[0]);
	EXPECT_EQ(link.getPropertyValue("Callee").getType(), CIMDataType::REFERENCE);

	CIMInstanceArray refs;
	CIMInstanceArrayBuilder refHandler(refs);
	m_associators->references(m_env, refHandler, NS, terminal("4002"), "Test_Link", "",
		E_EXCLUDE_QUALIFIERS, E_INCLUDE_CLASS_ORIGIN, nullptr);
	ASSERT_EQ(refs.size(), 1u);
	EXPECT_TRUE(refs[0].getPropertyValue("Caller").toCIMObjectPath().equals(middle));
}

// The object manager calls one provider from many request threads at once.
TEST_P(ProviderHost, ServesConcurrentRequests)
{
	start();
	const int kThreads = 4;
	const int kRounds = 100;
	std::vector<UInt32> redirects[kThreads];
	std::atomic<int> failures{0};
	std::vector<std::thread> threads;
	for (int t = 0; t < kThreads; ++t)
	{
		threads.emplace_back([&, t] {
			try
			{
				for (int i = 0; i < kRounds; ++i)
				{
					const CIMObjectPath path = terminal(i % 2 ? "4001" : "4002");
					if (get(path).getPropertyValue("DN").toUInt32() < 4000
						|| names("Test_Terminal").size() != 3)
					{
						++failures;
					}
					CIMParamValueArray in, out;
					redirects[t].push_back(m_methods->invokeMethod(m_env, NS, path,
						"RedirectSet", in, out).toUInt32());
				}
			}
			catch (...)
			{
				++failures;
			}
		});
	}
	for (auto& th : threads)
	{
		th.join();
	}
	EXPECT_EQ(failures.load(), 0);
	std::set<UInt32> all;
	for (const auto& r : redirects)
	{
		all.insert(r.begin(), r.end());
	}
	EXPECT_EQ(all.size(), size_t(kThreads * kRounds));
	EXPECT_EQ(*all.rbegin(), UInt32(kThreads * kRounds));
}

INSTANTIATE_TEST_SUITE_P(BothLanguageLevels, ProviderHost,
	::testing::Values(Build{OWTEST_PROV98, "OWTestProv98"}, Build{OWTEST_PROV17, "OWTestProv17"}),
	[](const ::testing::TestParamInfo<Build>& info) { return std::string(info.param.id); });

// The provider defines none of the stand-in's non-template code itself: strong definitions and
// the vtables and type information of non-template classes all come from libopenwbem.so, as
// they would from the real OpenWBEM libraries. Weak instances of templates and inline members
// are the compiler's and harmless.
TEST(ProviderLibrary, TakesEveryNonTemplateDefinitionFromLibopenwbem)
{
	for (const char* path : {OWTEST_PROV98, OWTEST_PROV17})
	{
		const std::string cmd = std::string("nm -C -D ") + path + " 2>/dev/null";
		FILE* nm = popen(cmd.c_str(), "r");
		ASSERT_NE(nm, nullptr);
		std::vector<std::string> offending;
		int referenced = 0;
		char line[4096];
		while (std::fgets(line, sizeof line, nm))
		{
			std::string s(line);
			if (s.find("OpenWBEM::") == std::string::npos)
			{
				continue;
			}
			// "<address> <type> <name>" or "<spaces> U <name>"
			const size_t typePos = s.find_first_not_of(' ', s.find(' '));
			const char type = s[typePos];
			const std::string name = s.substr(typePos + 2);
			if (type == 'U')
			{
				++referenced;
				continue;
			}
			const bool strong = std::strchr("TDBRGS", type) != nullptr;
			const bool classData = name.rfind("vtable for OpenWBEM::", 0) == 0
				|| name.rfind("typeinfo for OpenWBEM::", 0) == 0
				|| name.rfind("VTT for OpenWBEM::", 0) == 0;
			const bool ofTemplate = name.find('<') != std::string::npos;
			if (strong || (classData && !ofTemplate))
			{
				offending.push_back(s);
			}
		}
		const int status = pclose(nm);
		if (status != 0 && referenced == 0)
		{
			GTEST_SKIP() << "nm is not available";
		}
		EXPECT_TRUE(offending.empty()) << path << " defines " << offending.size()
			<< " symbols, first: " << (offending.empty() ? "" : offending[0]);
		EXPECT_GT(referenced, 20) << path;
	}
}

} // namespace
