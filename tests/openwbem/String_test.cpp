// String, Bool and Array: the value semantics and the conversions providers rely on.
#include "OW_Array.hpp"
#include "OW_Bool.hpp"
#include "OW_String.hpp"

#include "OwTestPrint.hpp"

#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <vector>

namespace
{

using namespace OpenWBEM;

std::vector<std::string> strings(const StringArray& a)
{
	std::vector<std::string> r;
	for (size_t i = 0; i < a.size(); ++i)
	{
		r.push_back(a[i].c_str());
	}
	return r;
}

TEST(String, ComparesExactlyUnlessAskedToIgnoreCase)
{
	const String s("QEL_ZEPCedarTerminal");
	EXPECT_TRUE(s.equals("QEL_ZEPCedarTerminal"));
	EXPECT_FALSE(s.equals("qel_zepcedarterminal"));
	EXPECT_FALSE(s.equals("QEL_ZEPCedarTerminal "));
	EXPECT_FALSE(s.equals("QEL_ZEPCedar"));
	EXPECT_TRUE(s.equalsIgnoreCase("qel_zepcedarterminal"));
	EXPECT_LT(String("a").compareTo("b"), 0);
	EXPECT_GT(String("b").compareTo(String("a")), 0);
	EXPECT_LT(String("ab").compareTo("abc"), 0);
	EXPECT_EQ(String("ABC").compareToIgnoreCase("abc"), 0);
	EXPECT_TRUE(String("a") < "b");
	EXPECT_TRUE("b" > String("a"));
	EXPECT_TRUE(s.startsWith("QEL_"));
	EXPECT_FALSE(s.startsWith("qel_"));
	EXPECT_TRUE(s.startsWith("qel_", String::E_CASE_INSENSITIVE));
	EXPECT_TRUE(s.endsWith("Terminal"));
	EXPECT_EQ(String(static_cast<const char*>(nullptr)), "");
	EXPECT_STREQ(String().c_str(), "");
}

TEST(String, NumericConstructorsAndTheirTraps)
{
	EXPECT_EQ(String(Int32(-5)), "-5");
	EXPECT_EQ(String(UInt16(7)), "7");              // promotes to Int32
	// size_t takes the unsigned overload of its own width, whatever that is.
	EXPECT_EQ(String(std::numeric_limits<size_t>::max()),
		std::to_string(std::numeric_limits<size_t>::max()).c_str());
	EXPECT_EQ(String(std::numeric_limits<Int64>::min()), "-9223372036854775808");
	EXPECT_EQ(String(true), "1");                   // bool promotes to Int32
	EXPECT_EQ(String(Bool(true)), "true");
	EXPECT_EQ(Bool(false).toString(), "false");
	EXPECT_EQ(String(3.14159265), "3.14159");
	EXPECT_EQ(String(1e20), "1e+20");
	EXPECT_EQ(String('x'), "x");
	EXPECT_TRUE(String('\0').empty());
	// An integer appended converts to a character, as with OpenWBEM's String.
	EXPECT_EQ(String("DN") + 65, "DNA");
	String s("n=");
	s += 49;
	EXPECT_EQ(s, "n=1");
	EXPECT_EQ(String("n=") + String(Int32(49)), "n=49");
}

TEST(String, ConvertsTextToNumbersOnlyWhenAllOfItIsANumberInRange)
{
	EXPECT_EQ(String(" 42").toUInt32(), 42u);
	EXPECT_EQ(String("+7").toInt32(), 7);
	EXPECT_EQ(String("-128").toInt8(), -128);
	EXPECT_EQ(String("ff").toUInt8(16), 255);
	EXPECT_EQ(String("18446744073709551615").toUInt64(), std::numeric_limits<UInt64>::max());
	EXPECT_EQ(String("-9223372036854775808").toInt64(), std::numeric_limits<Int64>::min());
	EXPECT_EQ(String("-0").toUInt16(), 0);
	EXPECT_DOUBLE_EQ(String("1.5").toReal64(), 1.5);
	EXPECT_FLOAT_EQ(String("-2.25").toReal32(), -2.25f);

	const char* bad[] = {"42 ", "", " ", "4x", "1.5"};
	for (const char* text : bad)
	{
		EXPECT_THROW(String(text).toUInt32(), StringConversionException) << text;
	}
	EXPECT_THROW(String("256").toUInt8(), StringConversionException);
	EXPECT_THROW(String("-129").toInt8(), StringConversionException);
	EXPECT_THROW(String("-1").toUInt32(), StringConversionException);
	EXPECT_THROW(String("4294967296").toUInt32(), StringConversionException);
	EXPECT_THROW(String("99999999999999999999").toInt64(), StringConversionException);
	EXPECT_THROW(String("1.5x").toReal64(), StringConversionException);
	EXPECT_THROW(String("1e999").toReal64(), StringConversionException);

	EXPECT_TRUE(String("TRUE").toBool());
	EXPECT_FALSE(String("false").toBool());
	EXPECT_THROW(String("yes").toBool(), StringConversionException);
	EXPECT_THROW(String(" true").toBool(), StringConversionException);
	try
	{
		String("x").toUInt16();
		FAIL();
	}
	catch (const Exception& e)
	{
		EXPECT_STREQ(e.type(), "StringConversionException");
	}
}

TEST(String, CopiesAreIndependentValues)
{
	const String original("abc");
	String copy(original);
	copy[0] = 'x';
	EXPECT_EQ(original, "abc");
	EXPECT_EQ(copy, "xbc");

	String upper = original;
	upper.toUpperCase();
	EXPECT_EQ(original, "abc");
	EXPECT_EQ(upper, "ABC");

	String twice = original;
	twice += twice;
	EXPECT_EQ(twice, "abcabc");
	twice.concat(twice).erase(3, 6);
	EXPECT_EQ(twice, "abcabc");

	// Appending grows the body with room to spare; a copy sharing it must not see later appends.
	String grown("ab");
	grown += "c";
	const String snapshot(grown);
	grown += "d";
	EXPECT_STREQ(snapshot.c_str(), "abc");
	EXPECT_EQ(grown, "abcd");

	String assigned;
	assigned = original;
	assigned.erase();
	EXPECT_TRUE(assigned.empty());
	EXPECT_EQ(original.length(), 3u);
	EXPECT_THROW(original[3], OutOfBoundsException);
	EXPECT_EQ(original.charAt(3), '\0');
}

TEST(String, SearchesTrimsAndSplits)
{
	const String s("a.b.c");
	EXPECT_EQ(s.indexOf('.'), 1u);
	EXPECT_EQ(s.indexOf('.', 2), 3u);
	EXPECT_EQ(s.indexOf("x"), String::npos);
	EXPECT_EQ(s.lastIndexOf('.'), 3u);
	EXPECT_EQ(s.lastIndexOf(String("."), 2), 1u);
	EXPECT_EQ(s.substring(2), "b.c");
	EXPECT_EQ(s.substring(2, 1), "b");
	EXPECT_EQ(s.substring(9), "");

	String padded("  \t x y \n");
	EXPECT_EQ(padded.trim(), "x y");
	EXPECT_TRUE(String(" \t").isSpaces());
	EXPECT_FALSE(String(" a").isSpaces());

	EXPECT_EQ(strings(String(" a  b\tc ").tokenize()), (std::vector<std::string>{"a", "b", "c"}));
	EXPECT_EQ(strings(String("a,,b").tokenize(",")), (std::vector<std::string>{"a", "b"}));
	EXPECT_EQ(strings(String("a,,b,").tokenize(",", String::E_DISCARD_TOKENS,
		String::E_RETURN_EMPTY_TOKENS)), (std::vector<std::string>{"a", "", "b", ""}));
	EXPECT_EQ(strings(String("a=b,c").tokenize("=,", String::E_RETURN_TOKENS)),
		(std::vector<std::string>{"a", "=", "b", ",", "c"}));

	String f("old");
	EXPECT_EQ(f.format("%s-%05u", "DN", 42u), 8);
	EXPECT_EQ(f, "DN-00042");
}

TEST(Array, CopiesAreIndependentValues)
{
	Array<int> a;
	for (int i = 1; i <= 3; ++i)
	{
		a.push_back(i);
	}
	Array<int> b(a);
	b[0] = 9;
	b.push_back(4);
	EXPECT_EQ(a.size(), 3u);
	EXPECT_EQ(a[0], 1);
	EXPECT_EQ(b[0], 9);

	// An iterator taken before a copy was made still points where it did.
	Array<int>::iterator second = a.begin() + 1;
	const Array<int> snapshot(a);
	a.erase(second);
	EXPECT_EQ(snapshot.size(), 3u);
	ASSERT_EQ(a.size(), 2u);
	EXPECT_EQ(a[1], 3);

	a.appendArray(a);
	EXPECT_EQ(a.size(), 4u);
	a.remove(1, 3);
	ASSERT_EQ(a.size(), 2u);
	EXPECT_EQ(a[1], 3);
	a.insert(size_t(0), 7);
	EXPECT_EQ(a.front(), 7);
	EXPECT_TRUE(snapshot < b);
}

TEST(Array, ChecksIndexesAndPicksTheFillConstructorForIntegers)
{
	const Array<int> filled(3, 7);          // three sevens, not an iterator range
	ASSERT_EQ(filled.size(), 3u);
	EXPECT_EQ(filled[2], 7);
	EXPECT_THROW(filled[3], OutOfBoundsException);
	Array<String> empty;
	EXPECT_THROW(empty[0], Exception);
	EXPECT_THROW(empty.remove(0), OutOfBoundsException);
	EXPECT_THROW(empty.pop_back(), OutOfBoundsException);
	EXPECT_EQ(empty.begin(), empty.end());
	const StringArray words(filled.size(), String("w"));
	EXPECT_EQ(words[1], "w");
}

} // namespace
