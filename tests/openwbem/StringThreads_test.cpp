// Copies of one String changed in different threads: short copies are independent objects, long
// ones share a body whose count and copy-on-write must hold when the copies race. Run under the
// thread sanitizer as well.
#include "OW_String.hpp"

#include <gtest/gtest.h>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace
{

using namespace OpenWBEM;

const int kThreads = 8;

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
	std::atomic<int> ready{0};
	std::atomic<int> wrong{0};

	std::vector<std::thread> threads;
	for (int t = 0; t < kThreads; ++t)
	{
		threads.emplace_back([&, t] {
			++ready;
			while (ready.load() < kThreads)
			{
				std::this_thread::yield();
			}
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
	}
	for (auto& th : threads)
	{
		th.join();
	}
	EXPECT_EQ(wrong.load(), 0);
	EXPECT_EQ(std::string(shortText.c_str()), shortModel);
	EXPECT_EQ(std::string(longText.c_str()), longModel);
	EXPECT_EQ(std::string(grownLong.c_str()), longModel);
}

} // namespace
