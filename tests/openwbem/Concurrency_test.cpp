// What the object manager's request threads share in a provider: class and property names, cached
// paths and values, the environment's logger. Copies made from them on many threads at once and
// changed there must leave the sources and each other alone, and the last reference to go
// deletes its object once. Run under the thread sanitizer as well.
#include "OW_CIMInstance.hpp"
#include "OW_CIMObjectPath.hpp"
#include "OW_CIMProperty.hpp"
#include "OW_CIMValue.hpp"
#include "OW_IntrusiveReference.hpp"
#include "OW_Logger.hpp"
#include "OW_String.hpp"

#include "OwTestPrint.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace
{

using namespace OpenWBEM;

const int kThreads = 8;

// Counts its messages without a lock of its own (the calls into it are serialized), and its end.
class CountingLogger : public Logger
{
public:
	explicit CountingLogger(std::atomic<int>* deaths) : Logger(E_DEBUG_LEVEL), m_deaths(deaths) {}
	~CountingLogger() override { ++*m_deaths; }
	mutable int messages = 0;

protected:
	void doLogMessage(const String&, const ELogLevel) const override { ++messages; }

private:
	std::atomic<int>* m_deaths;
};

TEST(SharedValues, CopiesChangedOnManyThreadsLeaveTheSourcesAndEachOtherAlone)
{
	const String shortName("QEL_ZEPCedarTerminal");
	const String longName("QEL_ZEPCedarTerminal.DeviceID=\"4000\", past any short-string limit");
	CIMObjectPath cachedPath(shortName, String("root/cimv2"));
	cachedPath.setKeyValue("DeviceID", CIMValue(longName));
	const CIMValue reference(cachedPath);
	CIMInstance cached(shortName);
	cached.setProperty(CIMProperty(String("DN"), CIMValue(UInt32(4000))));
	std::atomic<int> deaths{0};
	CountingLogger* counting = new CountingLogger(&deaths);
	LoggerRef logger(counting);
	std::vector<LoggerRef> lastHeld(kThreads);
	std::atomic<int> wrong{0};
	std::atomic<int> ready{0};

	std::vector<std::thread> threads;
	for (int t = 0; t < kThreads; ++t)
	{
		threads.emplace_back([&, t] {
			++ready;
			while (ready.load() < kThreads)
			{
				std::this_thread::yield();
			}
			const String mark = String(Int32(t));
			for (int i = 0; i < 300; ++i)
			{
				String s(shortName);
				String l(longName);
				s += mark;
				l[0] = 'q';
				l += mark;
				CIMInstance mine(cached);
				mine.setProperty(CIMProperty(longName, CIMValue(UInt32(t))));
				CIMObjectPath path = reference.toCIMObjectPath();
				path.setKeyValue("DeviceID", CIMValue(l));
				LoggerRef held(logger);
				held->logError(s);
				lastHeld[t] = held;
				if (!s.equals(shortName + mark) || l.length() != longName.length() + mark.length()
					|| mine.getProperties().size() != 2
					|| mine.getProperty(longName).getValue() != CIMValue(UInt32(t))
					|| path.getKeyValue("DeviceID").toString() != l)
				{
					++wrong;
				}
			}
		});
	}
	for (std::thread& th : threads)
	{
		th.join();
	}
	EXPECT_EQ(wrong.load(), 0);
	EXPECT_EQ(counting->messages, kThreads * 300);
	EXPECT_EQ(std::string(longName.c_str()),
		"QEL_ZEPCedarTerminal.DeviceID=\"4000\", past any short-string limit");
	EXPECT_EQ(reference.toCIMObjectPath().getKeyValue("DeviceID"), CIMValue(longName));
	EXPECT_EQ(cached.getProperties().size(), 1u);

	// The last holder of the logger may be any thread's copy; it goes once, after all of them.
	logger = LoggerRef();
	EXPECT_EQ(deaths.load(), 0);
	std::thread([&] { lastHeld.assign(kThreads, LoggerRef()); }).join();
	EXPECT_EQ(deaths.load(), 1);
}

} // namespace
