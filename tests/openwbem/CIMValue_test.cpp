// CIMDataType, CIMValue and CIMValueCast: typing, strict reads, text forms and conversion, and
// CIMValue's value semantics (copies, assignment between kinds, null, threads).
#include "OW_CIMClass.hpp"
#include "OW_CIMDataType.hpp"
#include "OW_CIMException.hpp"
#include "OW_CIMInstance.hpp"
#include "OW_CIMObjectPath.hpp"
#include "OW_CIMValue.hpp"
#include "OW_CIMValueCast.hpp"

#include "OwTestPrint.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <limits>
#include <string>
#include <thread>
#include <vector>

namespace
{

using namespace OpenWBEM;

template<class T> Array<T> arrayOf(std::initializer_list<T> xs)
{
	return Array<T>(xs.begin(), xs.end());
}

TEST(CIMDataType, DistinguishesNullHandlesTypesAndArrays)
{
	const CIMDataType none;
	EXPECT_FALSE(none);
	EXPECT_EQ(none.getType(), CIMDataType::CIMNULL);
	const CIMDataType null(CIMNULL);
	EXPECT_FALSE(null);
	EXPECT_THROW(null.getType(), Exception);

	const CIMDataType u16(CIMDataType::UINT16);
	EXPECT_TRUE(u16);
	EXPECT_FALSE(u16.isArrayType());
	EXPECT_TRUE(u16.isNumericType());
	EXPECT_EQ(u16.toString(), "uint16");
	const CIMDataType unbounded(CIMDataType::STRING, -3);
	EXPECT_TRUE(unbounded.isArrayType());
	EXPECT_EQ(unbounded.getSize(), 0);
	EXPECT_TRUE(unbounded.equals(CIMDataType(CIMDataType::STRING, 0)));
	EXPECT_FALSE(unbounded.equals(CIMDataType(CIMDataType::STRING)));
	const CIMDataType ref(String("Test_Terminal"));
	EXPECT_TRUE(ref.isReferenceType());
	EXPECT_EQ(ref.getRefClassName(), "Test_Terminal");
	EXPECT_FALSE(CIMDataType(CIMDataType::INVALID));
}

TEST(CIMValue, TakesItsCIMTypeFromTheCppTypeOfTheArgument)
{
	EXPECT_EQ(CIMValue(5).getType(), CIMDataType::SINT32);
	EXPECT_EQ(CIMValue(5u).getType(), CIMDataType::UINT32);
	// size_t matches the unsigned type of its width exactly: UInt64 on LP64, UInt32 on the target.
	EXPECT_EQ(CIMValue(size_t(5)).getType(),
		sizeof(size_t) == 8 ? CIMDataType::UINT64 : CIMDataType::UINT32);
	EXPECT_EQ(CIMValue(Int64(5)).getType(), CIMDataType::SINT64);
	EXPECT_EQ(CIMValue(UInt64(5)).getType(), CIMDataType::UINT64);
	EXPECT_EQ(CIMValue('a').getType(), CIMDataType::SINT32);
	EXPECT_EQ(CIMValue(UInt8(5)).getType(), CIMDataType::UINT8);
	EXPECT_EQ(CIMValue(Int16(-5)).getType(), CIMDataType::SINT16);
	EXPECT_EQ(CIMValue(true).getType(), CIMDataType::BOOLEAN);
	EXPECT_EQ(CIMValue(Bool(true)).getType(), CIMDataType::BOOLEAN);
	EXPECT_EQ(CIMValue(1.5f).getType(), CIMDataType::REAL32);
	EXPECT_EQ(CIMValue("x").getType(), CIMDataType::STRING);
	EXPECT_EQ(CIMValue(CIMObjectPath("A")).getType(), CIMDataType::REFERENCE);
	EXPECT_EQ(CIMValue(CIMInstance("A")).getType(), CIMDataType::EMBEDDEDINSTANCE);
	const CIMValue array(arrayOf<UInt16>({1, 2}));
	EXPECT_TRUE(array.isArray());
	EXPECT_EQ(array.getType(), CIMDataType::UINT16);
	EXPECT_EQ(array.getArraySize(), 2u);
	EXPECT_TRUE(array.getCIMDataType().isArrayType());
	EXPECT_FALSE(CIMValue(UInt16(1)).isArray());
}

TEST(CIMValue, ReadsOnlyTheStoredTypeExceptFromAnUntypedNumber)
{
	const CIMValue port(UInt16(5060));
	UInt16 u16 = 0;
	port.get(u16);
	EXPECT_EQ(u16, 5060);
	UInt8 u8 = 0;
	UInt32 u32 = 0;
	Int16 s16 = 0;
	EXPECT_THROW(port.get(u8), ValueCastException);      // no narrowing
	EXPECT_THROW(port.get(u32), ValueCastException);     // no widening
	EXPECT_THROW(port.get(s16), ValueCastException);     // no change of sign
	EXPECT_THROW(port.toUInt32(), ValueCastException);
	String s;
	EXPECT_THROW(port.get(s), ValueCastException);
	EXPECT_THROW(CIMValue(1).toBool(), ValueCastException);
	EXPECT_THROW(CIMValue("true").toBool(), ValueCastException);
	EXPECT_THROW(CIMValue(arrayOf<UInt16>({1})).toUInt16(), ValueCastException);
	EXPECT_THROW(port.toUInt16Array(), ValueCastException);
	try
	{
		port.toUInt8();
		FAIL();
	}
	catch (const CIMException&)
	{
		FAIL() << "a type mismatch is not a CIMException";
	}
	catch (const Exception& e)
	{
		EXPECT_STREQ(e.type(), "ValueCastException");
	}

	// A scalar SINT64 is the generic number: any numeric read casts it, without range checks.
	const CIMValue generic(Int64(300));
	EXPECT_EQ(generic.toUInt8(), 44);
	EXPECT_EQ(generic.toUInt32(), 300u);
	EXPECT_DOUBLE_EQ(generic.toReal64(), 300.0);
	EXPECT_THROW(generic.toBool(), ValueCastException);
	EXPECT_THROW(CIMValue(arrayOf<Int64>({1})).toUInt8Array(), ValueCastException);
}

TEST(CIMValue, NullValueTestsFalseAndRefusesEverythingButItsText)
{
	CIMValue v(CIMNULL);
	EXPECT_FALSE(v);
	EXPECT_TRUE(!v);
	EXPECT_EQ(v.toString(), "(null)");
	EXPECT_THROW(v.getType(), Exception);
	EXPECT_THROW(v.isArray(), Exception);
	String s;
	try
	{
		v.get(s);
		FAIL();
	}
	catch (const ValueCastException&)
	{
		FAIL() << "a null value is the null-handle error, not a type mismatch";
	}
	catch (const Exception&)
	{
	}
	EXPECT_EQ(v, CIMValue(CIMNULL));
	EXPECT_NE(v, CIMValue(""));

	CIMValue set(UInt32(1));
	const CIMValue copy(set);
	set.setNull();
	EXPECT_FALSE(set);
	EXPECT_EQ(copy, CIMValue(UInt32(1)));
}

TEST(CIMValue, TextFormIsTheDisplayTextOfEachType)
{
	EXPECT_EQ(CIMValue("a \"b\", c").toString(), "a \"b\", c");
	EXPECT_EQ(CIMValue("").toString(), "");
	EXPECT_EQ(CIMValue(true).toString(), "true");
	EXPECT_EQ(CIMValue(UInt8(200)).toString(), "200");
	EXPECT_EQ(CIMValue(Int8(-5)).toString(), "-5");
	EXPECT_EQ(CIMValue(std::numeric_limits<Int64>::min()).toString(), "-9223372036854775808");
	EXPECT_EQ(CIMValue(std::numeric_limits<UInt64>::max()).toString(), "18446744073709551615");
	EXPECT_EQ(CIMValue(1.5).toString(), "1.5");
	EXPECT_EQ(CIMValue(3.14159265).toString(), "3.14159");
	EXPECT_EQ(CIMValue(1e20).toString(), "1e+20");
	EXPECT_EQ(CIMValue(0.1f).toString(), "0.1");
	CIMObjectPath path("My_Class", "root/cimv2");
	path.setKeyValue("Name", CIMValue("a"));
	path.setKeyValue("Id", CIMValue(UInt32(5)));
	EXPECT_EQ(CIMValue(path).toString(), "/root/cimv2:My_Class.Name=\"a\",Id=\"5\"");
	EXPECT_EQ(CIMValue(arrayOf<UInt32>({1, 2, 3})).toString(), "1,2,3");
	EXPECT_EQ(CIMValue(arrayOf<String>({"a", "b"})).toString(), "a,b");
	EXPECT_EQ(CIMValue(arrayOf<Bool>({true, false})).toString(), "true,false");
	EXPECT_EQ(CIMValue(StringArray()).toString(), "");
	EXPECT_EQ(CIMValue(arrayOf<Real64>({1.5, 2})).toString(), "1.500000,2.000000");
	EXPECT_EQ(CIMValue("a\"b").toMOF(), "\"a\\\"b\"");
	EXPECT_EQ(CIMValue(arrayOf<UInt8>({1, 2})).toMOF(), "{1, 2}");
}

TEST(CIMValue, EqualityAndOrderAreTypeSensitive)
{
	EXPECT_NE(CIMValue(UInt16(5)), CIMValue(UInt32(5)));
	EXPECT_NE(CIMValue(Int64(5)), CIMValue(UInt64(5)));
	EXPECT_NE(CIMValue("5"), CIMValue(5));
	EXPECT_NE(CIMValue(UInt8(1)), CIMValue(arrayOf<UInt8>({1})));
	EXPECT_EQ(CIMValue(arrayOf<String>({"a", "b"})), CIMValue(arrayOf<String>({"a", "b"})));
	EXPECT_NE(CIMValue(arrayOf<String>({"a", "b"})), CIMValue(arrayOf<String>({"a", "B"})));
	EXPECT_TRUE(CIMValue(UInt16(5)).sameType(CIMValue(UInt16(9))));
	EXPECT_FALSE(CIMValue(UInt16(5)).sameType(CIMValue(CIMNULL)));

	const CIMValue null(CIMNULL);
	EXPECT_TRUE(null < CIMValue(UInt8(0)));
	EXPECT_FALSE(CIMValue(UInt8(0)) < null);
	EXPECT_TRUE(CIMValue(UInt32(2)) < CIMValue(UInt32(10)));
	EXPECT_TRUE(CIMValue("b") > CIMValue("a"));
	EXPECT_TRUE(CIMValue("a") <= CIMValue("a"));
}

// Longer than any String keeps inline, so its copies share or allocate a buffer.
const char* const kLongText = "a text well beyond the length a String holds inline";

// One value of each kind CIMValue holds, null included; called twice, it gives equal lists.
std::vector<CIMValue> everyKind()
{
	CIMObjectPath path("Test_Class", "root/test");
	path.setKeyValue("Name", CIMValue(kLongText));
	CIMInstance inst("Test_Class");
	inst.setProperty("Name", CIMValue(kLongText));
	return {
		CIMValue(CIMNULL), CIMValue(true), CIMValue(UInt8(200)), CIMValue(Int8(-8)),
		CIMValue(UInt16(60000)), CIMValue(Int16(-16)), CIMValue(UInt32(4000000000u)),
		CIMValue(Int32(-32)), CIMValue(std::numeric_limits<UInt64>::max()),
		CIMValue(std::numeric_limits<Int64>::min()), CIMValue(Real32(0.5f)), CIMValue(-2.25),
		CIMValue("short"), CIMValue(String(kLongText)), CIMValue(path),
		CIMValue(CIMClass("Test_Class")), CIMValue(inst),
		CIMValue(arrayOf<Bool>({true, false})), CIMValue(arrayOf<UInt8>({1, 2})),
		CIMValue(arrayOf<Int8>({-1})), CIMValue(arrayOf<UInt16>({3})),
		CIMValue(arrayOf<Int16>({-3})), CIMValue(arrayOf<UInt32>({4, 5})),
		CIMValue(arrayOf<Int32>({-4})), CIMValue(arrayOf<UInt64>({6})),
		CIMValue(arrayOf<Int64>({-6})), CIMValue(arrayOf<Real32>({1.5f})),
		CIMValue(arrayOf<Real64>({2.5})),
		CIMValue(arrayOf<String>({"s", kLongText})), CIMValue(StringArray()),
		CIMValue(arrayOf<CIMObjectPath>({path})),
		CIMValue(arrayOf<CIMClass>({CIMClass("Test_Class")})),
		CIMValue(arrayOf<CIMInstance>({inst})),
	};
}

TEST(CIMValueSemantics, AssignmentBetweenAnyTwoKindsCopiesTheValueAndLeavesTheSourceAlone)
{
	const std::vector<CIMValue> kinds = everyKind();
	const std::vector<CIMValue> expected = everyKind();
	for (size_t i = 0; i < kinds.size(); ++i)
	{
		for (size_t j = 0; j < kinds.size(); ++j)
		{
			CIMValue target(kinds[i]);
			ASSERT_EQ(target, expected[i]) << i;
			target = kinds[j];
			EXPECT_EQ(target, expected[j]) << i << " := " << j;
			EXPECT_EQ(target.toMOF(), expected[j].toMOF()) << i << " := " << j;
			EXPECT_EQ(bool(target), bool(expected[j])) << i << " := " << j;
			target.setNull();
			EXPECT_FALSE(target);
		}
	}
	for (size_t i = 0; i < kinds.size(); ++i)
	{
		EXPECT_EQ(kinds[i], expected[i]) << i;
		EXPECT_EQ(kinds[i].toString(), expected[i].toString()) << i;
	}
}

TEST(CIMValueSemantics, SelfAssignmentKeepsEveryKindOfValue)
{
	std::vector<CIMValue> kinds = everyKind();
	const std::vector<CIMValue> expected = everyKind();
	for (size_t i = 0; i < kinds.size(); ++i)
	{
		CIMValue& v = kinds[i];
		const CIMValue& same = kinds[i];
		v = same;
		EXPECT_EQ(v, expected[i]) << i;
		v.set(same);
		EXPECT_EQ(v.toMOF(), expected[i].toMOF()) << i;
	}
}

// The String beside the tag shares the CIMValue's storage: texts of every length on either side
// of String's own inline limit must come through copies and reassignments whole.
TEST(CIMValueSemantics, TextsOfEveryLengthSurviveCopiesAndReassignment)
{
	std::vector<CIMValue> values;
	std::vector<std::string> texts;
	for (size_t n = 0; n <= 64; ++n)
	{
		std::string t;
		for (size_t k = 0; k < n; ++k)
		{
			t += char('a' + (n + k) % 26);
		}
		texts.push_back(t);
		values.push_back(CIMValue(String(t.c_str())));
	}
	for (size_t n = 0; n < values.size(); ++n)
	{
		const size_t other = values.size() - 1 - n;
		CIMValue copy(values[n]);
		copy = values[other];
		EXPECT_EQ(copy.toString(), texts[other].c_str());
		copy = CIMValue(UInt32(n));
		EXPECT_EQ(copy.toUInt32(), n);
		copy = values[n];
		String read;
		copy.get(read);
		EXPECT_EQ(read, texts[n].c_str()) << n;
		EXPECT_EQ(read.length(), n);
		EXPECT_EQ(values[n].toString(), texts[n].c_str()) << n;
	}
}

TEST(CIMValueSemantics, NullDiffersFromEveryValueIncludingZeroesAndEmpties)
{
	const CIMValue null(CIMNULL);
	const CIMValue zeroes[] = {CIMValue(false), CIMValue(UInt8(0)), CIMValue(Int64(0)),
		CIMValue(0.0), CIMValue(""), CIMValue(String()), CIMValue(StringArray()),
		CIMValue(UInt8Array()), CIMValue(CIMObjectPath()), CIMValue(CIMInstance())};
	for (const CIMValue& z : zeroes)
	{
		EXPECT_TRUE(z) << z.toMOF();
		EXPECT_FALSE(!z);
		EXPECT_NE(z, null);
		EXPECT_NE(null, z);
		EXPECT_TRUE(null < z);
		EXPECT_FALSE(z < null);
		EXPECT_FALSE(z.sameType(null));
		EXPECT_NO_THROW(z.getType());
		CIMValue made(z);
		made.setNull();
		EXPECT_EQ(made, null);
		EXPECT_EQ(made.toString(), "(null)");
		EXPECT_EQ(made.toMOF(), "NULL");
		EXPECT_THROW(made.getArraySize(), Exception);
		made = z;
		EXPECT_EQ(made, z);
	}
	EXPECT_FALSE(null < null);
	EXPECT_TRUE(null <= null);
}

TEST(CIMValueSemantics, CopiesAndWhatIsReadFromThemAreIndependentValues)
{
	UInt32Array numbers = arrayOf<UInt32>({1, 2});
	CIMValue v(numbers);
	numbers.push_back(3);
	EXPECT_EQ(v.getArraySize(), 2u);

	UInt32Array read = v.toUInt32Array();
	read[0] = 99;
	EXPECT_EQ(v.toUInt32Array()[0], 1u);

	const CIMValue copy(v);
	v = CIMValue(kLongText);
	EXPECT_EQ(copy, CIMValue(arrayOf<UInt32>({1, 2})));
	CIMValue second(v);
	v.setNull();
	EXPECT_EQ(second.toString(), kLongText);
	second = CIMValue("x");
	EXPECT_FALSE(v);
	EXPECT_EQ(second.toString(), "x");
}

// Each thread owns its copies and changes them while the others copy from the same sources;
// the sources never change.
TEST(CIMValueSemantics, CopiesCanBeChangedInOtherThreads)
{
	const std::vector<CIMValue> sources = everyKind();
	const std::vector<CIMValue> expected = everyKind();
	std::atomic<int> wrong(0);
	std::vector<std::thread> threads;
	for (size_t t = 0; t < 4; ++t)
	{
		threads.emplace_back([&sources, &expected, &wrong, t] {
			std::vector<CIMValue> mine(sources);
			for (size_t round = 0; round < 200; ++round)
			{
				for (size_t i = 0; i < mine.size(); ++i)
				{
					const size_t j = (i + round + t) % sources.size();
					mine[i] = sources[j];
					if (mine[i] != expected[j] || mine[i].toMOF() != expected[j].toMOF())
					{
						++wrong;
					}
					if (mine[i] && mine[i].getType() == CIMDataType::STRING && mine[i].isArray())
					{
						StringArray a = mine[i].toStringArray();
						a.push_back(String(kLongText));
						mine[i] = CIMValue(a);
					}
					else if (round % 2)
					{
						mine[i].setNull();
					}
				}
			}
		});
	}
	for (std::thread& th : threads)
	{
		th.join();
	}
	EXPECT_EQ(wrong.load(), 0);
	for (size_t i = 0; i < sources.size(); ++i)
	{
		EXPECT_EQ(sources[i], expected[i]) << i;
	}
}

TEST(CIMValue, BuildsSimpleValuesFromText)
{
	EXPECT_EQ(CIMValue::createSimpleValue("uint16", "5060"), CIMValue(UInt16(5060)));
	EXPECT_EQ(CIMValue::createSimpleValue("Boolean", "TRUE"), CIMValue(true));
	EXPECT_EQ(CIMValue::createSimpleValue("string", " a "), CIMValue(" a "));
	EXPECT_EQ(CIMValue::createSimpleValue("sint8", "-3"), CIMValue(Int8(-3)));
	EXPECT_EQ(CIMValue::createSimpleValue("real64", "2.5"), CIMValue(2.5));
	EXPECT_THROW(CIMValue::createSimpleValue("uint8", "300"), StringConversionException);
	EXPECT_THROW(CIMValue::createSimpleValue("boolean", "1"), StringConversionException);
	EXPECT_FALSE(CIMValue::createSimpleValue("bogus", "1"));
}

TEST(CIMValueCast, ConvertsThroughTheTextFormAndFailsWithFailed)
{
	using CIMValueCast::castValueToDataType;
	const CIMValue same(UInt16(7));
	EXPECT_EQ(castValueToDataType(same, CIMDataType::UINT16), same);
	EXPECT_EQ(castValueToDataType(CIMValue("42"), CIMDataType::UINT16), CIMValue(UInt16(42)));
	EXPECT_EQ(castValueToDataType(CIMValue(Int64(42)), CIMDataType::UINT8), CIMValue(UInt8(42)));
	EXPECT_EQ(castValueToDataType(CIMValue(UInt32(5)), CIMDataType::STRING), CIMValue("5"));
	EXPECT_EQ(castValueToDataType(CIMValue("TRUE"), CIMDataType::BOOLEAN), CIMValue(true));
	EXPECT_EQ(castValueToDataType(CIMValue(arrayOf<String>({"1", "2"})),
		CIMDataType(CIMDataType::UINT8, 0)), CIMValue(arrayOf<UInt8>({1, 2})));
	EXPECT_EQ(castValueToDataType(CIMValue(arrayOf<Real64>({1.5, -2})),
		CIMDataType(CIMDataType::STRING, 0)), CIMValue(arrayOf<String>({"1.5", "-2"})));
	const CIMValue ref = castValueToDataType(CIMValue("/root:A.k=\"v\""),
		CIMDataType::REFERENCE);
	EXPECT_EQ(ref.toCIMObjectPath().getKeyValue("k"), CIMValue("v"));
	EXPECT_FALSE(castValueToDataType(CIMValue(CIMNULL), CIMDataType::UINT8));
	EXPECT_FALSE(castValueToDataType(same, CIMDataType(CIMNULL)));

	const CIMValue failing[] = {CIMValue(Int64(300)), CIMValue("abc"), CIMValue(true),
		CIMValue(arrayOf<UInt8>({1}))};
	for (const CIMValue& v : failing)
	{
		try
		{
			castValueToDataType(v, CIMDataType::UINT8);
			ADD_FAILURE() << v.toString();
		}
		catch (const CIMException& e)
		{
			EXPECT_EQ(e.getErrNo(), CIMException::FAILED);
		}
	}
}

} // namespace
