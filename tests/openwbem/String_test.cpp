// String, Bool and Array: the value semantics and the conversions providers rely on.
#include "OW_Array.hpp"
#include "OW_Bool.hpp"
#include "OW_String.hpp"

#include "OwTestPrint.hpp"

#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <utility>
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

// The longest text a String holds inside itself; one byte more goes to a shared body.
const size_t kInlineMax = 30;

// Whether s's text lies inside the String object, i.e. it cost no allocation.
bool heldInside(const String& s)
{
	const char* self = reinterpret_cast<const char*>(&s);
	return s.c_str() >= self && s.c_str() < self + sizeof s;
}

// n distinct-looking bytes, so that a text shifted or cut by one shows.
std::string pattern(size_t n, char first = 'a')
{
	std::string r;
	for (size_t i = 0; i < n; ++i)
	{
		r += static_cast<char>(first + i % 26);
	}
	return r;
}

std::string text(const String& s)
{
	EXPECT_EQ(s.c_str()[s.length()], '\0') << "not NUL-terminated";
	return std::string(s.c_str(), s.length());
}

TEST(StringStorage, ShortTextsLiveInsideTheObjectAndLongOnesShareABody)
{
	EXPECT_TRUE(heldInside(String()));
	EXPECT_TRUE(heldInside(String("")));
	EXPECT_TRUE(heldInside(String(static_cast<const char*>(nullptr))));
	EXPECT_TRUE(heldInside(String(std::numeric_limits<Int64>::min())));
	EXPECT_TRUE(heldInside(String(1.0 / 3)));

	for (size_t n : {size_t(1), size_t(23), kInlineMax - 1, kInlineMax, kInlineMax + 1,
		kInlineMax + 2, size_t(200)})
	{
		SCOPED_TRACE(n);
		const std::string model = pattern(n);
		const String s(model.c_str());
		EXPECT_EQ(text(s), model);
		EXPECT_EQ(heldInside(s), n <= kInlineMax);

		String copy(s);
		EXPECT_EQ(text(copy), model);
		EXPECT_TRUE(copy.equals(s));
		EXPECT_EQ(copy.c_str() == s.c_str(), n > kInlineMax) << "long copies share one body";
		String assigned("x");
		assigned = s;
		EXPECT_EQ(text(assigned), model);

		// A write through operator[] reaches only the string written to.
		copy[n - 1] = '!';
		assigned[0] = '?';
		EXPECT_EQ(text(s), model);
		EXPECT_EQ(text(copy), model.substr(0, n - 1) + "!");
		EXPECT_EQ(text(assigned), "?" + model.substr(1));
		EXPECT_FALSE(copy.equals(s));
		EXPECT_LT(assigned.compareTo(s), 0);
		EXPECT_EQ(heldInside(copy), n <= kInlineMax);
	}
}

TEST(StringStorage, EmbeddedNulsKeepTheLengthOnBothSidesOfTheSwitch)
{
	for (size_t n : {size_t(3), kInlineMax, kInlineMax + 1, size_t(64)})
	{
		SCOPED_TRACE(n);
		std::string model = pattern(n);
		model[1] = '\0';
		const String s(model.data(), model.size());
		ASSERT_EQ(s.length(), n);
		EXPECT_EQ(text(s), model);

		std::string other = model;
		other[n - 1] = '~';
		const String t(other.data(), other.size());
		EXPECT_FALSE(s.equals(t));
		EXPECT_NE(s, t);
		EXPECT_LT(s.compareTo(t), 0);
		EXPECT_EQ(s.lastIndexOf(model.back()), n - 1);
		EXPECT_EQ(s.indexOf(model.substr(2).c_str()), 2u);

		String joined(s);
		joined += t;
		EXPECT_EQ(text(joined), model + other);
		EXPECT_EQ(text(joined.substring(n)), other);
		joined.erase(0, n);
		EXPECT_EQ(text(joined), other);
		EXPECT_EQ(heldInside(joined), n <= kInlineMax);
	}
}

TEST(StringStorage, AppendingGrowsAcrossTheSwitchWithoutTouchingEarlierCopies)
{
	String grown;
	std::string model;
	std::vector<std::pair<String, std::string>> snapshots;
	for (size_t i = 0; i < 100; ++i)
	{
		const char c = static_cast<char>('A' + i % 26);
		if (i % 3 == 0)
		{
			grown += c;
		}
		else if (i % 3 == 1)
		{
			const char two[] = {c, '\0'};
			grown.concat(two);
		}
		else
		{
			grown.concat(String(c));
		}
		model += c;
		ASSERT_EQ(text(grown), model);
		ASSERT_EQ(heldInside(grown), model.size() <= kInlineMax) << model.size();
		snapshots.emplace_back(grown, model);
	}
	// A copy made of a body with room to spare must not see the appends that used the room.
	for (const auto& snap : snapshots)
	{
		ASSERT_EQ(text(snap.first), snap.second);
	}
}

TEST(StringStorage, AppendingToItselfAtTheBoundary)
{
	// Halves that fit inside together, that just do not, and a long body with spare room.
	for (size_t n : {kInlineMax / 2, kInlineMax / 2 + 1, kInlineMax, size_t(40)})
	{
		SCOPED_TRACE(n);
		const std::string model = pattern(n);
		String s(model.c_str());
		s += s;
		EXPECT_EQ(text(s), model + model);
		s.concat(s.c_str());
		EXPECT_EQ(text(s), model + model + model + model);

		String built;
		for (char c : model)
		{
			built += c;
		}
		const String before(built);
		built.concat(built);
		EXPECT_EQ(text(built), model + model);
		EXPECT_EQ(text(before), model);
		built = built + built;
		EXPECT_EQ(text(built), model + model + model + model);
	}
}

TEST(StringStorage, ShorteningMovesBackInsideAndLeavesSharedCopiesAlone)
{
	const std::string longModel = pattern(kInlineMax + 10);
	const String original(longModel.c_str());

	String cut(original);
	cut.erase(5, 10);   // 30 bytes left: back inside
	EXPECT_EQ(text(cut), longModel.substr(0, 5) + longModel.substr(15));
	EXPECT_TRUE(heldInside(cut));
	EXPECT_EQ(text(original), longModel);

	String stillLong(original);
	stillLong.erase(0, 1);
	EXPECT_EQ(text(stillLong), longModel.substr(1));
	EXPECT_FALSE(heldInside(stillLong));
	stillLong.erase(kInlineMax);   // to the end
	EXPECT_EQ(text(stillLong), longModel.substr(1, kInlineMax));
	EXPECT_TRUE(heldInside(stillLong));
	stillLong.erase(2, String::npos);
	EXPECT_EQ(text(stillLong), longModel.substr(1, 2));
	stillLong.erase(5, 1);   // past the end: nothing
	EXPECT_EQ(text(stillLong), longModel.substr(1, 2));

	String cleared(original);
	cleared.erase();
	EXPECT_TRUE(cleared.empty());
	EXPECT_TRUE(heldInside(cleared));
	cleared += "again";
	EXPECT_EQ(cleared, "again");

	String padded(("      \t" + longModel.substr(0, 20) + " \n   ").c_str());
	const String paddedCopy(padded);
	EXPECT_FALSE(heldInside(padded));
	padded.trim();
	EXPECT_EQ(text(padded), longModel.substr(0, 20));
	EXPECT_TRUE(heldInside(padded));
	EXPECT_EQ(paddedCopy.length(), 32u);

	String longPadded(("  " + longModel + "  ").c_str());
	longPadded.ltrim();
	EXPECT_EQ(text(longPadded), longModel + "  ");
	longPadded.rtrim();
	EXPECT_EQ(text(longPadded), longModel);

	// Changes that rewrite a long text must not write into a body with room that copies share.
	String roomy;
	for (char c : "  " + longModel)
	{
		roomy += c;
	}
	const String roomyCopy(roomy);
	String trimmed(roomy);
	trimmed.ltrim();
	EXPECT_EQ(text(trimmed), longModel);
	String formatted(roomy);
	formatted.format("%s%s", longModel.c_str(), "!");
	EXPECT_EQ(text(formatted), longModel + "!");
	roomy.erase(0, 2);
	EXPECT_EQ(text(roomy), longModel);
	EXPECT_EQ(text(roomyCopy), "  " + longModel);

	EXPECT_EQ(text(original.substring(1, kInlineMax)), longModel.substr(1, kInlineMax));
	EXPECT_TRUE(heldInside(original.substring(1, kInlineMax)));
	EXPECT_EQ(text(original.substring(1)), longModel.substr(1));
}

TEST(StringStorage, InPlaceChangesAndFormatOnEitherSide)
{
	const std::string longModel = pattern(kInlineMax + 5);
	const String original(longModel.c_str());
	String upper(original);
	upper.toUpperCase();
	EXPECT_EQ(text(upper), pattern(kInlineMax + 5, 'A'));
	EXPECT_EQ(text(original), longModel);
	upper.toLowerCase();
	EXPECT_TRUE(upper.equals(original));

	String f("short");
	EXPECT_EQ(f.format("%s", longModel.c_str()), static_cast<int>(longModel.size()));
	EXPECT_EQ(text(f), longModel);
	EXPECT_EQ(f.format("%d", 7), 1);
	EXPECT_EQ(f, "7");
	EXPECT_TRUE(heldInside(f));
	// The arguments may be this string's own text.
	f = String(pattern(kInlineMax).c_str());
	EXPECT_EQ(f.format("%s|%s", f.c_str(), f.c_str()), static_cast<int>(2 * kInlineMax + 1));
	EXPECT_EQ(text(f), pattern(kInlineMax) + "|" + pattern(kInlineMax));
	EXPECT_EQ(f.format("<%s>", f.substring(0, 3).c_str()), 5);
	EXPECT_EQ(f, "<abc>");
	EXPECT_EQ(f.format("%.*s", static_cast<int>(kInlineMax), longModel.c_str()), 30);
	EXPECT_EQ(text(f), longModel.substr(0, kInlineMax));

	// The reference operator[] returns writes into the text itself.
	String small("abc");
	char& middle = small[1];
	middle = 'X';
	EXPECT_EQ(small, "aXc");

	const StringArray parts = String((longModel + "," + "ab" + "," + longModel).c_str()).tokenize(",");
	ASSERT_EQ(parts.size(), 3u);
	EXPECT_EQ(text(parts[0]), longModel);
	EXPECT_EQ(parts[1], "ab");
	EXPECT_EQ(parts[2], parts[0]);
}

TEST(StringStorage, SelfAssignmentAndAssignmentAcrossTheSwitch)
{
	const std::string longModel = pattern(50);
	String shortText("abc");
	String longText(longModel.c_str());
	String& alias = shortText;
	shortText = alias;
	EXPECT_EQ(shortText, "abc");
	String& longAlias = longText;
	longText = longAlias;
	EXPECT_EQ(text(longText), longModel);

	String s(shortText);
	s = longText;          // short to long
	EXPECT_EQ(text(s), longModel);
	s = shortText;         // long to short: the body stays alive for longText
	EXPECT_EQ(s, "abc");
	EXPECT_EQ(text(longText), longModel);
	s = String(longModel.c_str());
	s = s.substring(1);
	EXPECT_EQ(text(s), longModel.substr(1));
	s = s.substring(0, 3);
	EXPECT_EQ(text(s), longModel.substr(1, 3));
}

// A move takes the text, short or shared, and leaves an empty string that can be used again; a
// move over a string that held a shared text gives that text up.
TEST(StringStorage, MovesTakeTheTextAndLeaveAnEmptyUsableString)
{
	const std::string longText(64, 'x');
	String shortSource("DN");
	String longSource(longText.c_str());
	const String longCopy(longSource);

	String shortTaken(std::move(shortSource));
	String longTaken(std::move(longSource));
	EXPECT_EQ(shortTaken, "DN");
	EXPECT_EQ(longTaken, longText.c_str());
	EXPECT_TRUE(shortSource.empty());
	EXPECT_TRUE(longSource.empty());
	EXPECT_STREQ(longSource.c_str(), "");
	longSource += "again";
	EXPECT_EQ(longSource, "again");

	String target(longText.c_str());
	target += "!";   // a body of its own, which the move below must release
	target = std::move(shortTaken);
	EXPECT_EQ(target, "DN");
	target = std::move(longTaken);
	EXPECT_EQ(target, longText.c_str());
	String& alias = target;
	target = std::move(alias);
	EXPECT_EQ(target, longText.c_str());
	EXPECT_EQ(longCopy, longText.c_str());
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

	// Emptied, an array keeps its storage unless a copy still shares it.
	a.reserve(100);
	a.clear();
	EXPECT_TRUE(a.empty());
	EXPECT_GE(a.capacity(), 100u);
	a.push_back(5);
	const Array<int> sharing(a);
	a.clear();
	EXPECT_TRUE(a.empty());
	ASSERT_EQ(sharing.size(), 1u);
	EXPECT_EQ(sharing[0], 5);
	a.push_back(6);
	EXPECT_EQ(sharing[0], 5);
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
