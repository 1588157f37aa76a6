// String, CIMValue and CIMException as the provider uses them. Values are copy-on-write handles:
// the provider copies shared names into every instance it builds and hands instances over while
// it goes on changing its own copies, so copies must be independent whatever their size.
#include "OW_Bool.hpp"
#include "OW_CIMDataType.hpp"
#include "OW_CIMException.hpp"
#include "OW_CIMObjectPath.hpp"
#include "OW_CIMValue.hpp"
#include "OW_String.hpp"

#include "OwTestPrint.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

namespace
{

using namespace OpenWBEM;

// Texts of every length up to 64 and one long one, each with its own letters, so that a text
// shifted, cut or shared with another shows whatever limit a short string has.
std::vector<std::string> textsOfEveryLength()
{
	std::vector<std::string> texts;
	for (size_t n = 0; n <= 65; ++n)
	{
		const size_t length = n == 65 ? 300 : n;
		std::string t;
		for (size_t k = 0; k < length; ++k)
		{
			t += static_cast<char>('a' + (n + k) % 26);
		}
		texts.push_back(t);
	}
	return texts;
}

TEST(String, CopiesOfEveryLengthAreIndependentValues)
{
	for (const std::string& model : textsOfEveryLength())
	{
		SCOPED_TRACE(model.size());
		const String s(model.c_str());
		const String counted(model.data(), model.size());
		EXPECT_EQ(s.length(), model.size());
		EXPECT_EQ(std::string(s.c_str()), model);
		EXPECT_TRUE(counted.equals(s));

		String written(s);
		String appended(s);
		String assigned("x");
		assigned = s;
		if (!model.empty())
		{
			written[model.size() - 1] = '!';
		}
		appended += "+";
		const String snapshot(appended);   // taken between two appends
		appended += "-";
		assigned.erase();
		EXPECT_EQ(std::string(s.c_str()), model);
		EXPECT_EQ(std::string(appended.c_str()), model + "+-");
		EXPECT_EQ(std::string(snapshot.c_str()), model + "+");
		EXPECT_EQ(written.equals(s), model.empty());
		EXPECT_TRUE(assigned.empty());
	}
}

TEST(String, ComparesExactlyUnlessAskedToIgnoreCaseAndConcatenates)
{
	// Classes are routed by equals(): another case, a prefix or a longer name is another class.
	const String s("QEL_ZEPCedarTerminal");
	EXPECT_TRUE(s.equals("QEL_ZEPCedarTerminal"));
	EXPECT_FALSE(s.equals("qel_zepcedarterminal"));
	EXPECT_FALSE(s.equals("QEL_ZEPCedar"));
	EXPECT_FALSE(s.equals("QEL_ZEPCedarTerminal "));
	EXPECT_TRUE(s.equalsIgnoreCase("qel_zepcedarterminal"));
	EXPECT_FALSE(s.equalsIgnoreCase("qel_zepcedar"));
	EXPECT_EQ(String("Unknown throw") + " while " + s + "\n" + String("end"),
		"Unknown throw while QEL_ZEPCedarTerminal\nend");
}

// What get() into the C++ type of CIM type `as` gives: the value's text, or the exception's type.
std::string readAs(const CIMValue& v, CIMDataType::Type as)
{
	try
	{
		switch (as)
		{
		case CIMDataType::UINT8: { UInt8 x; v.get(x); return std::to_string(x); }
		case CIMDataType::SINT8: { Int8 x; v.get(x); return std::to_string(x); }
		case CIMDataType::UINT16: { UInt16 x; v.get(x); return std::to_string(x); }
		case CIMDataType::SINT16: { Int16 x; v.get(x); return std::to_string(x); }
		case CIMDataType::UINT32: { UInt32 x; v.get(x); return std::to_string(x); }
		case CIMDataType::SINT32: { Int32 x; v.get(x); return std::to_string(x); }
		case CIMDataType::UINT64: { UInt64 x; v.get(x); return std::to_string(x); }
		case CIMDataType::SINT64: { Int64 x; v.get(x); return std::to_string(x); }
		case CIMDataType::BOOLEAN: { Bool x; v.get(x); return x ? "true" : "false"; }
		case CIMDataType::STRING: { String x; v.get(x); return x.c_str(); }
		default: return "?";
		}
	}
	catch (const CIMException&)
	{
		return "CIMException";
	}
	catch (const Exception& e)
	{
		return e.type();
	}
}

// The provider reads a number by switching on getType() and calling the get() of that type: a
// value must report the type it was made with, read back whole in that type only, and print as
// plain text (a UINT8 as a number, not a character).
TEST(CIMValue, ReportsItsTypeAndReadsBackWholeOnlyInThatType)
{
	const struct
	{
		CIMValue value;
		CIMDataType::Type type;
		const char* text;
	} rows[] = {
		{CIMValue(UInt8(200)), CIMDataType::UINT8, "200"},
		{CIMValue(Int8(-8)), CIMDataType::SINT8, "-8"},
		{CIMValue(UInt16(60000)), CIMDataType::UINT16, "60000"},
		{CIMValue(Int16(-16)), CIMDataType::SINT16, "-16"},
		{CIMValue(UInt32(4000000000u)), CIMDataType::UINT32, "4000000000"},
		{CIMValue(Int32(-32)), CIMDataType::SINT32, "-32"},
		{CIMValue(std::numeric_limits<UInt64>::max()), CIMDataType::UINT64, "18446744073709551615"},
		{CIMValue(std::numeric_limits<Int64>::min()), CIMDataType::SINT64, "-9223372036854775808"},
		{CIMValue(Bool(true)), CIMDataType::BOOLEAN, "true"},
		{CIMValue(String("a \"b\", c")), CIMDataType::STRING, "a \"b\", c"},
		{CIMValue(String("")), CIMDataType::STRING, ""},
	};
	const CIMDataType::Type types[] = {CIMDataType::UINT8, CIMDataType::SINT8, CIMDataType::UINT16,
		CIMDataType::SINT16, CIMDataType::UINT32, CIMDataType::SINT32, CIMDataType::UINT64,
		CIMDataType::SINT64, CIMDataType::BOOLEAN, CIMDataType::STRING};
	for (const auto& row : rows)
	{
		SCOPED_TRACE(row.text);
		ASSERT_TRUE(row.value);
		EXPECT_EQ(row.value.getType(), row.type);
		EXPECT_FALSE(row.value.isArray());
		EXPECT_EQ(row.value.toString(), row.text);
		for (CIMDataType::Type as : types)
		{
			const std::string read = readAs(row.value, as);
			if (as == row.type)
			{
				EXPECT_EQ(read, row.text) << as;
			}
			else if (row.type == CIMDataType::SINT64 && as != CIMDataType::BOOLEAN
				&& as != CIMDataType::STRING)
			{
				// A SINT64 is the untyped number: any numeric read casts it.
				EXPECT_NE(read, "ValueCastException") << as;
			}
			else
			{
				// No widening, narrowing or change of sign, and not a CIMException.
				EXPECT_EQ(read, "ValueCastException") << as;
			}
		}
	}

	// An array answers isArray() with its element type, and refuses a scalar read.
	UInt16Array ports;
	ports.push_back(5060);
	const CIMValue array(ports);
	EXPECT_TRUE(array.isArray());
	EXPECT_EQ(array.getType(), CIMDataType::UINT16);
	EXPECT_EQ(readAs(array, CIMDataType::UINT16), "ValueCastException");

	// A null value tests false; reading it is the null-handle error, not a type mismatch.
	const CIMValue null(CIMNULL);
	EXPECT_FALSE(null);
	EXPECT_TRUE(!null);
	const std::string fromNull = readAs(null, CIMDataType::STRING);
	EXPECT_NE(fromNull, "ValueCastException");
	EXPECT_NE(fromNull, "?");
}

// One value of each kind the provider makes or receives; called twice, it gives equal lists.
std::vector<CIMValue> kindsTheProviderUses()
{
	CIMObjectPath path("QEL_ZEPCedarTerminal", "root/cimv2");
	path.setKeyValue("DeviceID", CIMValue(String("a device id well beyond any short-string limit")));
	return {CIMValue(CIMNULL), CIMValue(UInt8(1)), CIMValue(UInt16(5060)), CIMValue(UInt32(4000)),
		CIMValue(Int64(-1)), CIMValue(Bool(false)), CIMValue(String("DN")),
		CIMValue(String("a text well beyond any short-string limit")), CIMValue(path)};
}

TEST(CIMValue, AssignmentBetweenAnyTwoKindsCopiesTheValueAndLeavesTheSourceAlone)
{
	std::vector<CIMValue> kinds = kindsTheProviderUses();
	const std::vector<CIMValue> expected = kindsTheProviderUses();
	for (size_t i = 0; i < kinds.size(); ++i)
	{
		for (size_t j = 0; j < kinds.size(); ++j)
		{
			CIMValue target(kinds[i]);
			target = kinds[j];
			EXPECT_EQ(target, expected[j]) << i << " := " << j;
			EXPECT_EQ(target.toString(), expected[j].toString()) << i << " := " << j;
			target.setNull();
			EXPECT_FALSE(target);
		}
		CIMValue& self = kinds[i];
		const CIMValue& same = kinds[i];
		self = same;
	}
	for (size_t i = 0; i < kinds.size(); ++i)
	{
		EXPECT_EQ(kinds[i], expected[i]) << i;
	}
	// A reference value gives its path back (FindByInstanceName's reference in and out).
	EXPECT_EQ(kinds.back().getType(), CIMDataType::REFERENCE);
	EXPECT_TRUE(kinds.back().toCIMObjectPath().equals(expected.back().toCIMObjectPath()));
}

// The provider throws with the c_str() of a description it built, which is gone once the stack
// unwinds: the exception keeps its own copy, and the client gets the code and the description.
TEST(CIMException, CarriesItsCodeAndItsOwnCopyOfTheDescription)
{
	const char* const text = "The length of Label must be <= 15\n#CFG_000_0004#";
	CIMException* thrown = nullptr;
	{
		std::string description(text);
		thrown = new CIMException(__FILE__, __LINE__, CIMException::INVALID_PARAMETER,
			description.c_str());
		description.assign(description.size(), 'x');
	}
	const CIMException copy(*thrown);
	delete thrown;
	EXPECT_EQ(copy.getErrNo(), CIMException::INVALID_PARAMETER);
	const std::string codeText = CIMException("f", 1, CIMException::INVALID_PARAMETER).getMessage();
	EXPECT_FALSE(codeText.empty());
	EXPECT_EQ(std::string(copy.getMessage()), codeText + " (" + text + ")");
	const std::exception& asStd = copy;
	EXPECT_STREQ(asStd.what(), copy.getMessage());
	EXPECT_STREQ(CIMException("f", 1, CIMException::NOT_FOUND, "").getMessage(),
		CIMException("f", 1, CIMException::NOT_FOUND).getMessage());
}

} // namespace
