// Exceptions, the two reference-counting pointers, Logger and the provider interfaces' defaults.
#include "OW_CIMClass.hpp"
#include "OW_CIMException.hpp"
#include "OW_CIMInstance.hpp"
#include "OW_CIMObjectPath.hpp"
#include "OW_CppInstanceProviderIFC.hpp"
#include "OW_CppProviderBaseIFC.hpp"
#include "OW_Exception.hpp"
#include "OW_IntrusiveReference.hpp"
#include "OW_Logger.hpp"
#include "OW_NoSuchPropertyException.hpp"
#include "OW_Reference.hpp"
#include "OW_ResultHandlers.hpp"
#include "OW_String.hpp"

#include "OwTestPrint.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

// The throw macros name CIMException unqualified; this is how a provider makes it visible.
namespace provider_code
{
using OpenWBEM::CIMException;
int throwingLine = 0;
void fail(const char* why)
{
	throwingLine = __LINE__ + 1;
	OW_THROWCIMMSG(CIMException::INVALID_PARAMETER, why);
}
void failWithoutMessage()
{
	OW_THROWCIM(CIMException::NOT_FOUND);
}
} // namespace provider_code

namespace
{

using namespace OpenWBEM;
using namespace OpenWBEM::WBEMFlags;

TEST(CIMException, CarriesCodeFileLineAndMessage)
{
	try
	{
		provider_code::fail("The length of Label must be <= 15\n#CFG_000_0004#");
		FAIL();
	}
	catch (const std::exception& se)
	{
		const CIMException* e = dynamic_cast<const CIMException*>(&se);
		ASSERT_NE(e, nullptr);
		EXPECT_EQ(e->getErrNo(), CIMException::INVALID_PARAMETER);
		EXPECT_EQ(e->getErrorCode(), 4);
		EXPECT_NE(std::strstr(e->getFile(), "Support_test.cpp"), nullptr);
		EXPECT_EQ(e->getLine(), provider_code::throwingLine);
		EXPECT_STREQ(e->type(), "CIMException");
		EXPECT_STREQ(se.what(), e->getMessage());
		const std::string desc = CIMException("f", 1, CIMException::INVALID_PARAMETER).getMessage();
		EXPECT_FALSE(desc.empty());
		EXPECT_EQ(std::string(e->getMessage()),
			desc + " (The length of Label must be <= 15\n#CFG_000_0004#)");
		// Rethrowing with the composed text does not stack the description.
		EXPECT_STREQ(CIMException("f", 1, CIMException::INVALID_PARAMETER,
			e->getMessage()).getMessage(), e->getMessage());
	}
	try
	{
		provider_code::failWithoutMessage();
		FAIL();
	}
	catch (const Exception& e)
	{
		EXPECT_EQ(e.getErrorCode(), CIMException::NOT_FOUND);
		EXPECT_STREQ(e.getMessage(),
			CIMException("", 0, CIMException::NOT_FOUND, "").getMessage());
	}
}

TEST(CIMException, CopiesOwnWhatTheyCarry)
{
	CIMException* original = new CIMException(std::string("a.cpp").c_str(), 7,
		CIMException::FAILED, std::string("boom").c_str());
	CIMException copy(*original);
	CIMException* cloned = original->clone();
	delete original;
	EXPECT_STREQ(copy.getFile(), "a.cpp");
	EXPECT_EQ(copy.getLine(), 7);
	EXPECT_NE(std::strstr(copy.getMessage(), "(boom)"), nullptr);
	ASSERT_NE(cloned, nullptr);
	EXPECT_EQ(cloned->getErrNo(), CIMException::FAILED);
	EXPECT_STREQ(cloned->getMessage(), copy.getMessage());

	CIMException other("b.cpp", 9, CIMException::NOT_SUPPORTED);
	other = *cloned;
	delete cloned;
	EXPECT_EQ(other.getErrNo(), CIMException::FAILED);
	EXPECT_STREQ(other.getFile(), "a.cpp");
	other.swap(copy);
	other.setErrNo(CIMException::METHOD_NOT_FOUND);
	EXPECT_EQ(other.getErrNo(), CIMException::METHOD_NOT_FOUND);
	EXPECT_NE(std::strstr(other.getMessage(), "(boom)"), nullptr);
	EXPECT_STRNE(other.getMessage(), copy.getMessage());
}

TEST(Exception, NamedExceptionsAreNotCIMExceptions)
{
	try
	{
		OW_THROW(NoSuchPropertyException, "DeviceID");
	}
	catch (const Exception& e)
	{
		EXPECT_STREQ(e.type(), "NoSuchPropertyException");
		EXPECT_STREQ(e.getMessage(), "DeviceID");
		EXPECT_EQ(e.getErrorCode(), Exception::UNKNOWN_ERROR_CODE);
		EXPECT_EQ(dynamic_cast<const CIMException*>(&e), nullptr);
		Exception* c = e.clone();
		ASSERT_NE(dynamic_cast<NoSuchPropertyException*>(c), nullptr);
		delete static_cast<NoSuchPropertyException*>(c);
	}
	const NoSuchPropertyException withCause("f", 1, "outer", 3,
		&static_cast<const Exception&>(CIMException("g", 2, CIMException::FAILED)));
	const NoSuchPropertyException copy(withCause);
	EXPECT_EQ(copy.getErrorCode(), 3);
}

struct Tracked
{
	explicit Tracked(int* deaths) : m_deaths(deaths) {}
	virtual ~Tracked() { ++*m_deaths; }
	int* m_deaths;
};

struct TrackedChild : Tracked
{
	explicit TrackedChild(int* deaths) : Tracked(deaths) {}
};

struct Unrelated
{
	virtual ~Unrelated() {}
};

TEST(Reference, SharesOneCountAndDeletesOnce)
{
	int deaths = 0;
	{
		Reference<Tracked> a(new TrackedChild(&deaths));
		Reference<Tracked> b = a;
		Reference<TrackedChild> child = a.cast_to<TrackedChild>();
		ASSERT_FALSE(child.isNull());
		EXPECT_EQ(child.getPtr(), a.getPtr());
		EXPECT_TRUE(a.cast_to<Unrelated>().isNull());
		a = Reference<Tracked>();
		b = static_cast<Tracked*>(nullptr);
		EXPECT_EQ(deaths, 0);
		EXPECT_TRUE(a.isNull());
		EXPECT_FALSE(b);
		EXPECT_TRUE(child);
	}
	EXPECT_EQ(deaths, 1);
}

class Countable : public virtual IntrusiveCountableBase
{
public:
	explicit Countable(int* deaths) : m_deaths(deaths) {}
	~Countable() override { ++*m_deaths; }

private:
	int* m_deaths;
};

class CountableChild : public Countable
{
public:
	explicit CountableChild(int* deaths) : Countable(deaths) {}
};

TEST(IntrusiveReference, CountsInTheObjectAndDeletesAtZero)
{
	int deaths = 0;
	{
		IntrusiveReference<Countable> a(new CountableChild(&deaths));
		IntrusiveReference<CountableChild> child = dynamic_pointer_cast<CountableChild>(a);
		ASSERT_TRUE(child);
		EXPECT_TRUE(a == child);
		IntrusiveReference<Countable> fromChild(child);
		EXPECT_TRUE(fromChild == a);
		a = IntrusiveReference<Countable>();
		child = static_cast<CountableChild*>(nullptr);
		EXPECT_EQ(deaths, 0);
		EXPECT_TRUE(!a);
	}
	EXPECT_EQ(deaths, 1);

	// add_ref false adopts a count taken elsewhere.
	Countable* raw = new Countable(&deaths);
	IntrusiveReference_add_ref(raw);
	{
		IntrusiveReference<Countable> adopted(raw, false);
	}
	EXPECT_EQ(deaths, 2);
}

class RecordingLogger : public Logger
{
public:
	RecordingLogger() {}
	explicit RecordingLogger(ELogLevel level) : Logger(level) {}
	mutable std::vector<std::pair<ELogLevel, std::string> > records;

protected:
	void doLogMessage(const String& message, const ELogLevel level) const override
	{
		records.push_back(std::make_pair(level, std::string(message.c_str())));
	}
};

TEST(Logger, PassesOnlyMessagesAtOrAboveItsLevel)
{
	RecordingLogger* recorder = new RecordingLogger;
	const LoggerRef logger(recorder);
	EXPECT_EQ(recorder->getLogLevel(), E_ERROR_LEVEL);
	logger->logDebug("d");
	logger->logInfo("i");
	logger->logError("e");
	logger->logFatalError("f");
	ASSERT_EQ(recorder->records.size(), 2u);
	EXPECT_EQ(recorder->records[0], std::make_pair(E_ERROR_LEVEL, std::string("e")));
	EXPECT_EQ(recorder->records[1].first, E_FATAL_ERROR_LEVEL);

	recorder->setLogLevel("DEBUG");
	logger->logDebug("d");
	EXPECT_EQ(recorder->records.size(), 3u);
	recorder->setLogLevel("Info");
	EXPECT_EQ(recorder->getLogLevel(), E_INFO_LEVEL);
	recorder->setLogLevel("verbose");
	EXPECT_EQ(recorder->getLogLevel(), E_FATAL_ERROR_LEVEL);
	logger->logError("dropped");
	EXPECT_EQ(recorder->records.size(), 3u);
	EXPECT_EQ(RecordingLogger(E_DEBUG_LEVEL).getLogLevel(), E_DEBUG_LEVEL);
}

// An instance provider with only the pure virtuals: enumInstances is the interface's default.
class NamesOnlyProvider : public CppInstanceProviderIFC
{
public:
	std::vector<std::string> calls;
	const StringArray* seenList = nullptr;

	void enumInstanceNames(const ProviderEnvironmentIFCRef&, const String& ns,
		const String& className, CIMObjectPathResultHandlerIFC& result,
		const CIMClass& cimClass) override
	{
		calls.push_back(std::string("names ") + ns.c_str() + " " + className.c_str() + " "
			+ cimClass.getName().c_str());
		for (const char* id : {"1", "2", "bad"})
		{
			CIMObjectPath path(className, ns);
			path.setKeyValue("Id", CIMValue(id));
			result.handle(path);
		}
	}
	CIMInstance getInstance(const ProviderEnvironmentIFCRef&, const String&,
		const CIMObjectPath& instanceName, ELocalOnlyFlag localOnly,
		EIncludeQualifiersFlag includeQualifiers, EIncludeClassOriginFlag includeClassOrigin,
		const StringArray* propertyList, const CIMClass& cimClass) override
	{
		const String id = instanceName.getKeyValue("Id").toString();
		calls.push_back(std::string("get ") + id.c_str() + " " + cimClass.getName().c_str()
			+ (localOnly == E_LOCAL_ONLY ? " local" : "")
			+ (includeQualifiers == E_INCLUDE_QUALIFIERS ? " quals" : "")
			+ (includeClassOrigin == E_INCLUDE_CLASS_ORIGIN ? " origin" : ""));
		seenList = propertyList;
		if (id.equals("bad"))
		{
			OW_THROWCIM(CIMException::FAILED);
		}
		CIMInstance inst(instanceName.getClassName());
		inst.setProperty("Id", CIMValue(id));
		return inst;
	}
	CIMObjectPath createInstance(const ProviderEnvironmentIFCRef&, const String&,
		const CIMInstance&) override
	{
		OW_THROWCIM(CIMException::NOT_SUPPORTED);
	}
	void modifyInstance(const ProviderEnvironmentIFCRef&, const String&, const CIMInstance&,
		const CIMInstance&, EIncludeQualifiersFlag, const StringArray*, const CIMClass&) override
	{
	}
	void deleteInstance(const ProviderEnvironmentIFCRef&, const String&,
		const CIMObjectPath&) override
	{
	}
};

TEST(CppInstanceProviderIFC, DefaultEnumInstancesGetsEachNamedInstance)
{
	IntrusiveReference<NamesOnlyProvider> provider(new NamesOnlyProvider);
	EXPECT_EQ(provider->getInstanceProvider(), provider.get());
	EXPECT_EQ(provider->getMethodProvider(), nullptr);
	EXPECT_EQ(provider->getAssociatorProvider(), nullptr);
	EXPECT_TRUE(provider->canUnload());
	EXPECT_FALSE(provider->getPersist());
	provider->setPersist();
	EXPECT_TRUE(provider->getPersist());

	CIMInstanceArray result;
	CIMInstanceArrayBuilder handler(result);
	StringArray list;
	list.push_back("Id");
	EXPECT_THROW(provider->enumInstances(ProviderEnvironmentIFCRef(), "root/x", "Thing",
		handler, E_LOCAL_ONLY, E_SHALLOW, E_INCLUDE_QUALIFIERS, E_EXCLUDE_CLASS_ORIGIN, &list,
		CIMClass("Requested"), CIMClass("Thing")), CIMException);
	EXPECT_EQ(provider->calls, (std::vector<std::string>{"names root/x Thing Thing",
		"get 1 Thing local quals", "get 2 Thing local quals", "get bad Thing local quals"}));
	EXPECT_EQ(provider->seenList, &list);
	ASSERT_EQ(result.size(), 2u);
	EXPECT_EQ(result[1].getPropertyValue("Id"), CIMValue("2"));
}

} // namespace
