// CIMDataType, CIMValue and CIMValueCast: typing, strict reads, text forms and conversion.
#include "OW_CIMClass.hpp"
#include "OW_CIMDataType.hpp"
#include "OW_CIMException.hpp"
#include "OW_CIMInstance.hpp"
#include "OW_CIMObjectPath.hpp"
#include "OW_CIMValue.hpp"
#include "OW_CIMValueCast.hpp"

#include "OwTestPrint.hpp"

#include <gtest/gtest.h>

#include <limits>

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
