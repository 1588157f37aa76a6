// The stand-in's shared bodies and counts under many threads: copies of one value changed in
// different threads, references shared across threads, and loggers called from many threads.
// Run under the thread sanitizer as well.
#include "OW_Array.hpp"
#include "OW_CIMDataType.hpp"
#include "OW_CIMInstance.hpp"
#include "OW_CIMObjectPath.hpp"
#include "OW_CIMValue.hpp"
#include "OW_IntrusiveReference.hpp"
#include "OW_Logger.hpp"
#include "OW_Reference.hpp"
#include "OW_String.hpp"

#include "OwTestPrint.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace
{

using namespace OpenWBEM;

const int kThreads = 8;

// Runs body(thread index) on kThreads threads at once and waits for all of them.
void onManyThreads(const std::function<void(int)>& body)
{
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
			body(t);
		});
	}
	for (auto& th : threads)
	{
		th.join();
	}
}

TEST(SharedBodies, CopiesOfOneValueChangeIndependentlyInManyThreads)
{
	String text("terminal");
	text += "-";   // leaves room in the body that the copies below must not write into
	StringArray words;
	words.push_back("a");
	CIMInstance inst("Test_Terminal");
	inst.setProperty("DN", CIMValue(UInt32(4000)));
	CIMObjectPath path("Test_Terminal", "root/test");
	path.setKeyValue("DeviceID", CIMValue("4000"));
	const CIMValue value(path);
	std::atomic<int> wrong{0};

	onManyThreads([&](int t) {
		for (int i = 0; i < 500; ++i)
		{
			String s(text);
			s += String(Int32(t));
			StringArray w(words);
			w.push_back(s);
			CIMInstance mine(inst);
			mine.setProperty("DN", CIMValue(UInt32(t)));
			CIMObjectPath p = value.toCIMObjectPath();
			p.setKeyValue("DeviceID", CIMValue(s));
			if (s != text + String(Int32(t)) || w.size() != 2
				|| mine.getPropertyValue("DN").toUInt32() != UInt32(t)
				|| p.getKeyValue("DeviceID").toString() != s)
			{
				++wrong;
			}
		}
	});
	EXPECT_EQ(wrong.load(), 0);
	EXPECT_STREQ(text.c_str(), "terminal-");
	EXPECT_EQ(words.size(), 1u);
	EXPECT_EQ(inst.getPropertyValue("DN"), CIMValue(UInt32(4000)));
	EXPECT_EQ(value.toCIMObjectPath().getKeyValue("DeviceID"), CIMValue("4000"));
}

// Scalar types share one body that is never counted nor freed; array and reference types are
// counted bodies of their own. Copies dropped on every thread must leave both kinds intact.
TEST(SharedBodies, TypeCopiesDroppedOnManyThreadsLeaveEveryTypeIntact)
{
	const CIMDataType scalar(CIMDataType::UINT32);
	const CIMDataType array(CIMDataType::STRING, 4);
	const CIMDataType reference(String("Test_Terminal"));
	std::atomic<int> wrong{0};
	onManyThreads([&](int) {
		for (int i = 0; i < 2000; ++i)
		{
			CIMDataType a(scalar), b(array), c(reference);
			a = CIMDataType(CIMDataType::UINT32);
			b = a;
			b = array;
			const CIMDataType& same = c;
			c = same;
			if (a.getType() != CIMDataType::UINT32 || b.getSize() != 4
				|| c.getRefClassName() != "Test_Terminal")
			{
				++wrong;
			}
		}
	});
	EXPECT_EQ(wrong.load(), 0);
	EXPECT_TRUE(CIMDataType(CIMDataType::UINT32).equals(scalar));
	EXPECT_TRUE(array.isArrayType());
	EXPECT_EQ(reference.getRefClassName(), "Test_Terminal");
}

// Copies of one String changed in different threads: short copies are independent objects, long
// ones share a body whose count and copy-on-write must hold when the copies race.
TEST(StringThreads, CopiesOfShortAndLongTextsChangeIndependently)
{
	const std::string shortModel = "DN-4000";
	const std::string longModel = "QEL_ZEPCedarTerminal.DeviceID=\"4000\"";
	// A body with spare room, which no copy may append into while others share it.
	String grownLong(longModel.c_str());
	grownLong += "";
	grownLong.concat('x');
	grownLong.erase(longModel.size());
	const String shortText(shortModel.c_str());
	const String longText(grownLong);
	std::atomic<int> wrong{0};

	onManyThreads([&](int t) {
		const char mark = static_cast<char>('a' + t);
		for (int i = 0; i < 300; ++i)
		{
			String s(shortText);
			String l(longText);
			String crossing(shortText);
			l[0] = mark;                       // unshares
			l += mark;                         // grows its own body
			s += String(longText);             // short to long
			crossing += l;
			crossing.erase(3);                 // long back to short
			String assigned;
			assigned = longText;
			assigned.toUpperCase();
			String formatted(longText);
			formatted.format("%s", longModel.c_str());
			if (std::string(l.c_str()) != mark + longModel.substr(1) + mark
				|| std::string(s.c_str()) != shortModel + longModel
				|| std::string(crossing.c_str()) != shortModel.substr(0, 3)
				|| assigned.length() != longModel.size()
				|| !formatted.equals(longText)
				|| !String(longText).equals(longText))
			{
				++wrong;
			}
		}
	});
	EXPECT_EQ(wrong.load(), 0);
	EXPECT_EQ(std::string(shortText.c_str()), shortModel);
	EXPECT_EQ(std::string(longText.c_str()), longModel);
	EXPECT_EQ(std::string(grownLong.c_str()), longModel);
}

class Counted : public IntrusiveCountableBase
{
public:
	explicit Counted(std::atomic<int>* deaths) : m_deaths(deaths) {}
	~Counted() override { ++*m_deaths; }

private:
	std::atomic<int>* m_deaths;
};

TEST(SharedCounts, ReferencesSharedAcrossThreadsDeleteOnceAfterTheLast)
{
	std::atomic<int> deaths{0};
	{
		const IntrusiveReference<Counted> intrusive(new Counted(&deaths));
		const Reference<Counted> plain(new Counted(&deaths));
		// Each thread copies and drops references; the last one standing may be any thread's.
		std::vector<IntrusiveReference<Counted> > lastIntrusive(kThreads);
		std::vector<Reference<Counted> > lastPlain(kThreads);
		onManyThreads([&](int t) {
			for (int i = 0; i < 2000; ++i)
			{
				IntrusiveReference<Counted> a(intrusive);
				Reference<Counted> b(plain);
				lastIntrusive[t] = a;
				lastPlain[t] = b;
			}
		});
		EXPECT_EQ(deaths.load(), 0);
	}
	EXPECT_EQ(deaths.load(), 2);

	// A count whose last holder is released on another thread than the one that made it.
	IntrusiveReference<Counted> handedOver(new Counted(&deaths));
	std::thread([moved = handedOver]() mutable { moved = IntrusiveReference<Counted>(); }).join();
	handedOver = IntrusiveReference<Counted>();
	EXPECT_EQ(deaths.load(), 3);
}

class SerialCheckingLogger : public Logger
{
public:
	SerialCheckingLogger() : Logger(E_DEBUG_LEVEL) {}
	mutable std::atomic<int> delivered{0};
	mutable std::atomic<int> overlaps{0};

protected:
	void doLogMessage(const String&, const ELogLevel) const override
	{
		if (m_inside.exchange(true))
		{
			++overlaps;
		}
		++delivered;
		m_inside.store(false);
	}

private:
	mutable std::atomic<bool> m_inside{false};
};

TEST(Logger, DeliversEveryMessageOnceAndOneAtATime)
{
	SerialCheckingLogger* checker = new SerialCheckingLogger;
	const LoggerRef logger(checker);
	onManyThreads([&](int t) {
		const LoggerRef mine(logger);
		for (int i = 0; i < 300; ++i)
		{
			mine->logDebug(String("thread ") + String(Int32(t)));
			if (t == 0 && i == 150)
			{
				checker->setLogLevel(E_DEBUG_LEVEL);
			}
		}
	});
	EXPECT_EQ(checker->delivered.load(), kThreads * 300);
	EXPECT_EQ(checker->overlaps.load(), 0);
}

} // namespace
