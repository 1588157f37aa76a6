// The test provider loaded and driven as the object manager does it: dlopen with RTLD_NOW |
// RTLD_GLOBAL, the version check, the factory, the start-up scan without initialize, then one
// initialized instance, with exceptions crossing both library boundaries. Run for the C++98 and
// the C++17 build of the same provider source.
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

#include "OwTestPrint.hpp"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <string>
#include <vector>

namespace
{

using namespace OpenWBEM;
using namespace OpenWBEM::WBEMFlags;

// Error-level messages only, the default; the calls into it are serialized.
class CapturingLogger : public Logger
{
public:
	mutable std::vector<std::string> messages;

protected:
	void doLogMessage(const String& message, const ELogLevel) const override
	{
		messages.push_back(message.c_str());
	}
};

class TestEnvironment : public ProviderEnvironmentIFC
{
public:
	explicit TestEnvironment(const LoggerRef& logger) : m_logger(logger) {}
	LoggerRef getLogger() const override { return m_logger; }
	String getConfigItem(const String&, const String& defRetVal) const override { return defRetVal; }
	String getUserName() const override { return "tester"; }

private:
	LoggerRef m_logger;
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

class ProviderHost : public ::testing::TestWithParam<Build>
{
protected:
	void SetUp() override
	{
		m_library = dlopen(GetParam().path, RTLD_NOW | RTLD_GLOBAL);
		ASSERT_NE(m_library, nullptr) << dlerror();
		m_factory = reinterpret_cast<CppProviderBaseIFC* (*)()>(
			dlsym(m_library, (std::string("createProvider") + GetParam().id).c_str()));
		ASSERT_NE(m_factory, nullptr);
	}

	void TearDown() override
	{
		// Everything the library's code made must be gone before it is closed.
		m_provider = IntrusiveReference<CppProviderBaseIFC>();
		m_env = ProviderEnvironmentIFCRef();
		if (m_library)
		{
			dlclose(m_library);
		}
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
		ASSERT_NE(m_instances, nullptr);
		ASSERT_NE(m_methods, nullptr);
	}

	CIMObjectPathArray names(const char* className)
	{
		CIMObjectPathArray paths;
		CIMObjectPathArrayBuilder handler(paths);
		m_instances->enumInstanceNames(m_env, NS, className, handler, CIMClass(className));
		return paths;
	}

	CIMInstance get(const CIMObjectPath& path)
	{
		return m_instances->getInstance(m_env, NS, path, E_NOT_LOCAL_ONLY, E_EXCLUDE_QUALIFIERS,
			E_INCLUDE_CLASS_ORIGIN, nullptr, CIMClass(path.getClassName()));
	}

	void modify(const CIMInstance& inst)
	{
		m_instances->modifyInstance(m_env, NS, inst, get(terminal("4001")), E_EXCLUDE_QUALIFIERS,
			nullptr, CIMClass("Test_Terminal"));
	}

	CIMValue invoke(const char* id, const char* method, const CIMParamValueArray& in,
		CIMParamValueArray& out)
	{
		return m_methods->invokeMethod(m_env, NS, terminal(id), method, in, out);
	}

	void* m_library = nullptr;
	CppProviderBaseIFC* (*m_factory)() = nullptr;
	CapturingLogger* m_logger = nullptr;   // owned by m_env
	ProviderEnvironmentIFCRef m_env;
	IntrusiveReference<CppProviderBaseIFC> m_provider;
	CppInstanceProviderIFC* m_instances = nullptr;
	CppMethodProviderIFC* m_methods = nullptr;
};

TEST_P(ProviderHost, ExportsItsVersionAndFactoryAndSurvivesTheStartupScan)
{
	const auto version = reinterpret_cast<const char* (*)()>(dlsym(m_library, "getOWVersion"));
	ASSERT_NE(version, nullptr);
	EXPECT_STREQ(version(), "3.0.3");

	// As the start-up scan does: create, reach the interfaces, call the registration hooks,
	// destroy; no initialize.
	CppProviderBaseIFC* scanned = m_factory();
	ASSERT_NE(scanned, nullptr);
	ASSERT_NE(scanned->getInstanceProvider(), nullptr);
	ASSERT_NE(scanned->getMethodProvider(), nullptr);
	ASSERT_NE(scanned->getAssociatorProvider(), nullptr);
	EXPECT_EQ(scanned->getIndicationProvider(), nullptr);
	EXPECT_FALSE(scanned->canUnload());
	InstanceProviderInfo instanceInfo;
	instanceInfo.setProviderName(GetParam().id);
	scanned->getInstanceProvider()->getInstanceProviderInfo(instanceInfo);
	MethodProviderInfo methodInfo;
	scanned->getMethodProvider()->getMethodProviderInfo(methodInfo);
	AssociatorProviderInfo associatorInfo;
	scanned->getAssociatorProvider()->getAssociatorProviderInfo(associatorInfo);
	EXPECT_EQ(instanceInfo.getProviderName(), GetParam().id);
	delete scanned;
}

TEST_P(ProviderHost, ServesInstancesAndMethods)
{
	start();
	EXPECT_EQ(m_logger->messages, (std::vector<std::string>{"TestProvider initialized for tester"}));

	const CIMObjectPathArray paths = names("Test_Terminal");
	ASSERT_EQ(paths.size(), 3u);
	EXPECT_EQ(paths[0].toString(), "/root/test:Test_Terminal.DeviceID=\"4000\"");
	CIMInstanceArray all;
	CIMInstanceArrayBuilder handler(all);
	m_instances->enumInstances(m_env, NS, "Test_Terminal", handler, E_NOT_LOCAL_ONLY, E_DEEP,
		E_EXCLUDE_QUALIFIERS, E_INCLUDE_CLASS_ORIGIN, nullptr, CIMClass("Test_Terminal"),
		CIMClass("Test_Terminal"));
	ASSERT_EQ(all.size(), 3u);
	EXPECT_EQ(all[2].getPropertyValue("DN"), CIMValue(UInt32(4002)));
	EXPECT_EQ(all[2].getPropertyValue("Port").getType(), CIMDataType::UINT16);
	EXPECT_EQ(all[2].getPropertyValue("Enabled"), CIMValue(true));
	EXPECT_EQ(cimErrorOf([&] { get(terminal("4999")); }), CIMException::NOT_FOUND);
	EXPECT_EQ(cimErrorOf([&] { get(CIMObjectPath("Test_Terminal", NS)); }),
		CIMException::NOT_FOUND);
	EXPECT_EQ(cimErrorOf([&] { names("Test_Other"); }), CIMException::INVALID_CLASS);

	CIMInstance modified = get(terminal("4001"));
	modified.setProperty("Label", CIMValue("lobby"));
	modified.setProperty("Port", CIMValue(UInt16(5070)));
	modify(modified);
	EXPECT_EQ(get(terminal("4001")).getPropertyValue("Label"), CIMValue("lobby"));
	EXPECT_EQ(get(terminal("4001")).getPropertyValue("Port"), CIMValue(UInt16(5070)));
	// A value of another width than the provider reads is the strict-get error, raised in
	// libopenwbem and caught here, across both library boundaries; nothing is applied.
	modified.setProperty("Label", CIMValue("ignored"));
	modified.setProperty(CIMProperty("Port", CIMValue(UInt32(80))));
	EXPECT_THROW(modify(modified), ValueCastException);
	EXPECT_EQ(get(terminal("4001")).getPropertyValue("Label"), CIMValue("lobby"));

	CIMParamValueArray in;
	CIMParamValueArray out;
	EXPECT_EQ(invoke("4000", "RedirectSet", in, out), CIMValue(UInt32(1)));
	EXPECT_EQ(cimErrorOf([&] { invoke("4999", "RedirectSet", in, out); }), CIMException::NOT_FOUND);
	// in: one entry per declared IN parameter; out: pre-filled by name, value null.
	in.push_back(CIMParamValue("name", CIMValue("4001")));
	in.push_back(CIMParamValue("inst", CIMValue(CIMNULL)));
	out.push_back(CIMParamValue("inst"));
	EXPECT_EQ(invoke("4000", "FindByInstanceName", in, out), CIMValue(true));
	ASSERT_EQ(out.size(), 1u);
	EXPECT_TRUE(out[0].getValue().toCIMObjectPath().equals(terminal("4001")));
}

INSTANTIATE_TEST_SUITE_P(BothLanguageLevels, ProviderHost,
	::testing::Values(Build{OWTEST_PROV98, "OWTestProv98"}, Build{OWTEST_PROV17, "OWTestProv17"}),
	[](const ::testing::TestParamInfo<Build>& info) { return std::string(info.param.id); });

} // namespace
