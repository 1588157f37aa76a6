// Conversion of values between CIM types through their text form.
#include "OW_CIMValueCast.hpp"
#include "OW_CIMException.hpp"
#include "OW_CIMObjectPath.hpp"
#include "OW_CIMValue.hpp"
#include "OW_Array.hpp"
#include "Internal.hpp"

#include <string>

namespace OpenWBEM
{

namespace impl
{

namespace
{

[[noreturn]] void noTextForm(CIMDataType::Type t)
{
	std::string msg = "No conversion from text to CIM type ";
	msg += typeName(t);
	throw CIMException(__FILE__, __LINE__, CIMException::FAILED, msg.c_str());
}

template<class T> CIMValue buildArray(const StringArray& texts, T (*conv)(const String&))
{
	Array<T> a;
	a.reserve(texts.size());
	for (size_t i = 0; i < texts.size(); ++i)
	{
		a.push_back(conv(texts[i]));
	}
	return CIMValue(a);
}

UInt8 u8(const String& s) { return s.toUInt8(); }
Int8 s8(const String& s) { return s.toInt8(); }
UInt16 u16(const String& s) { return s.toUInt16(); }
Int16 s16(const String& s) { return s.toInt16(); }
UInt32 u32(const String& s) { return s.toUInt32(); }
Int32 s32(const String& s) { return s.toInt32(); }
UInt64 u64(const String& s) { return s.toUInt64(); }
Int64 s64(const String& s) { return s.toInt64(); }
Real32 r32(const String& s) { return s.toReal32(); }
Real64 r64(const String& s) { return s.toReal64(); }
Bool boolean(const String& s) { return Bool(s.toBool()); }
String str(const String& s) { return s; }
CIMObjectPath ref(const String& s) { return CIMObjectPath::parse(s); }

} // namespace

CIMValue valueFromText(CIMDataType::Type t, const String& s)
{
	switch (t)
	{
	case CIMDataType::UINT8: return CIMValue(s.toUInt8());
	case CIMDataType::SINT8: return CIMValue(s.toInt8());
	case CIMDataType::UINT16: return CIMValue(s.toUInt16());
	case CIMDataType::SINT16: return CIMValue(s.toInt16());
	case CIMDataType::UINT32: return CIMValue(s.toUInt32());
	case CIMDataType::SINT32: return CIMValue(s.toInt32());
	case CIMDataType::UINT64: return CIMValue(s.toUInt64());
	case CIMDataType::SINT64: return CIMValue(s.toInt64());
	case CIMDataType::REAL32: return CIMValue(s.toReal32());
	case CIMDataType::REAL64: return CIMValue(s.toReal64());
	case CIMDataType::BOOLEAN: return CIMValue(Bool(s.toBool()));
	case CIMDataType::STRING: return CIMValue(s);
	case CIMDataType::REFERENCE: return CIMValue(CIMObjectPath::parse(s));
	default: noTextForm(t);
	}
}

CIMValue arrayFromTexts(CIMDataType::Type t, const StringArray& texts)
{
	switch (t)
	{
	case CIMDataType::UINT8: return buildArray(texts, &u8);
	case CIMDataType::SINT8: return buildArray(texts, &s8);
	case CIMDataType::UINT16: return buildArray(texts, &u16);
	case CIMDataType::SINT16: return buildArray(texts, &s16);
	case CIMDataType::UINT32: return buildArray(texts, &u32);
	case CIMDataType::SINT32: return buildArray(texts, &s32);
	case CIMDataType::UINT64: return buildArray(texts, &u64);
	case CIMDataType::SINT64: return buildArray(texts, &s64);
	case CIMDataType::REAL32: return buildArray(texts, &r32);
	case CIMDataType::REAL64: return buildArray(texts, &r64);
	case CIMDataType::BOOLEAN: return buildArray(texts, &boolean);
	case CIMDataType::STRING: return buildArray(texts, &str);
	case CIMDataType::REFERENCE: return buildArray(texts, &ref);
	default: noTextForm(t);
	}
}

} // namespace impl

namespace CIMValueCast
{

CIMValue castValueToDataType(const CIMValue& value, const CIMDataType& dataType)
{
	if (!value || !dataType)
	{
		return CIMValue(CIMNULL);
	}
	const CIMDataType::Type to = dataType.getType();
	const bool toArray = dataType.isArrayType();
	if (value.getType() == to && value.isArray() == toArray)
	{
		return value;
	}
	std::string why;
	if (value.isArray() != toArray)
	{
		why = "cannot convert between an array and a scalar";
	}
	else
	{
		try
		{
			return toArray ? impl::arrayFromTexts(to, impl::elementTexts(value))
				: impl::valueFromText(to, value.toString());
		}
		catch (const CIMException& e)
		{
			why = e.getMessage();
		}
		catch (const Exception& e)
		{
			why = e.getMessage();
		}
	}
	std::string msg = "Cannot convert a value of type ";
	msg += impl::typeName(value.getType());
	msg += value.isArray() ? "[] to " : " to ";
	msg += impl::typeName(to);
	msg += toArray ? "[]: " : ": ";
	msg += why;
	throw CIMException(__FILE__, __LINE__, CIMException::FAILED, msg.c_str());
}

} // namespace CIMValueCast

} // namespace OpenWBEM
