// CIMValue: a tagged union of every supported CIM type, or null, kept inside the value itself.
#include "OW_CIMValue.hpp"
#include "OW_CIMValueCast.hpp"
#include "OW_CIMObjectPath.hpp"
#include "OW_CIMInstance.hpp"
#include "OW_CIMClass.hpp"
#include "OW_CIMException.hpp"
#include "OW_Array.hpp"
#include "Internal.hpp"

#include <cstdio>
#include <new>
#include <sstream>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>

namespace OpenWBEM
{

namespace
{

// The scalar alternatives come first, in the order of kScalarTypes; each array alternative sits
// kScalarCount places after its element type. The null value is the last alternative, so that
// it needs no flag beside the variant.
using Variant = std::variant<Bool, UInt8, Int8, UInt16, Int16, UInt32, Int32, UInt64, Int64,
	Real32, Real64, String, CIMObjectPath, CIMClass, CIMInstance,
	BoolArray, UInt8Array, Int8Array, UInt16Array, Int16Array, UInt32Array, Int32Array,
	UInt64Array, Int64Array, Real32Array, Real64Array, StringArray, CIMObjectPathArray,
	CIMClassArray, CIMInstanceArray, std::monostate>;

const CIMDataType::Type kScalarTypes[] = {
	CIMDataType::BOOLEAN, CIMDataType::UINT8, CIMDataType::SINT8, CIMDataType::UINT16,
	CIMDataType::SINT16, CIMDataType::UINT32, CIMDataType::SINT32, CIMDataType::UINT64,
	CIMDataType::SINT64, CIMDataType::REAL32, CIMDataType::REAL64, CIMDataType::STRING,
	CIMDataType::REFERENCE, CIMDataType::EMBEDDEDCLASS, CIMDataType::EMBEDDEDINSTANCE,
};
constexpr size_t kScalarCount = sizeof(kScalarTypes) / sizeof(kScalarTypes[0]);
static_assert(std::variant_size_v<Variant> == 2 * kScalarCount + 1,
	"one array per scalar type, then null");

constexpr size_t kNullIndex = 2 * kScalarCount;
static_assert(std::is_same_v<std::variant_alternative_t<kNullIndex, Variant>, std::monostate>,
	"null position");

constexpr size_t kSint64Index = 8;
static_assert(std::is_same_v<std::variant_alternative_t<kSint64Index, Variant>, Int64>,
	"SINT64 position");

template<class T> struct IsArray : std::false_type {};
template<class T> struct IsArray<Array<T>> : std::true_type {};

// Scalar text forms.
std::string text(const Bool& x) { return x ? "true" : "false"; }
std::string text(UInt8 x) { return std::to_string(static_cast<unsigned>(x)); }
std::string text(Int8 x) { return std::to_string(static_cast<int>(x)); }
std::string text(UInt16 x) { return std::to_string(x); }
std::string text(Int16 x) { return std::to_string(x); }
std::string text(UInt32 x) { return std::to_string(x); }
std::string text(Int32 x) { return std::to_string(x); }
std::string text(UInt64 x) { return std::to_string(x); }
std::string text(Int64 x) { return std::to_string(x); }
std::string text(Real64 x)
{
	std::ostringstream os;
	os << x;
	return os.str();
}
std::string text(Real32 x) { return text(static_cast<Real64>(x)); }
std::string text(const String& x) { return impl::toStd(x); }
std::string text(const CIMObjectPath& x) { return impl::toStd(x.toString()); }
std::string text(const CIMClass& x) { return impl::toStd(x.getName()); }
std::string text(const CIMInstance& x) { return impl::toStd(x.toMOF()); }
std::string text(std::monostate) { return "(null)"; }

// Elements of real arrays are written in fixed notation, unlike scalars.
std::string arrayElementText(Real64 x)
{
	char buf[512];
	std::snprintf(buf, sizeof buf, "%f", x);
	return buf;
}
std::string arrayElementText(Real32 x) { return arrayElementText(static_cast<Real64>(x)); }
template<class T> std::string arrayElementText(const T& x) { return text(x); }

std::string mofEscaped(const std::string& s)
{
	std::string r = "\"";
	for (char c : s)
	{
		switch (c)
		{
		case '"': r += "\\\""; break;
		case '\\': r += "\\\\"; break;
		case '\n': r += "\\n"; break;
		case '\r': r += "\\r"; break;
		case '\t': r += "\\t"; break;
		case '\b': r += "\\b"; break;
		case '\f': r += "\\f"; break;
		default: r += c;
		}
	}
	return r + "\"";
}

template<class T> std::string mof(const T& x) { return text(x); }
std::string mof(const String& x) { return mofEscaped(text(x)); }
std::string mof(const CIMObjectPath& x) { return mofEscaped(text(x)); }
std::string mof(std::monostate) { return "NULL"; }

// Content equality and order of two values of one alternative.
template<class T> bool same(const T& a, const T& b) { return a == b; }
bool same(const CIMObjectPath& a, const CIMObjectPath& b) { return a.equals(b); }
bool same(const CIMClass& a, const CIMClass& b)
{
	return a.getName().equalsIgnoreCase(b.getName());
}
bool same(const CIMInstance& a, const CIMInstance& b) { return a.toMOF() == b.toMOF(); }
template<class T> bool same(const Array<T>& a, const Array<T>& b)
{
	if (a.size() != b.size())
	{
		return false;
	}
	for (size_t i = 0; i < a.size(); ++i)
	{
		if (!same(a[i], b[i]))
		{
			return false;
		}
	}
	return true;
}

template<class T> bool less(const T& a, const T& b) { return a < b; }
bool less(const String& a, const String& b) { return a.compareTo(b) < 0; }
bool less(const CIMObjectPath& a, const CIMObjectPath& b) { return a < b; }
bool less(const CIMClass& a, const CIMClass& b)
{
	return a.getName().compareToIgnoreCase(b.getName()) < 0;
}
bool less(const CIMInstance& a, const CIMInstance& b) { return a.toMOF() < b.toMOF(); }
template<class T> bool less(const Array<T>& a, const Array<T>& b)
{
	for (size_t i = 0; i < a.size() && i < b.size(); ++i)
	{
		if (less(a[i], b[i]))
		{
			return true;
		}
		if (less(b[i], a[i]))
		{
			return false;
		}
	}
	return a.size() < b.size();
}

const char* kClass = "CIMValue";

// The variant in a CIMValue's storage, which every constructor has made.
const Variant& stored(const void* storage)
{
	return *std::launder(static_cast<const Variant*>(storage));
}

Variant& stored(void* storage)
{
	return *std::launder(static_cast<Variant*>(storage));
}

bool isNull(const Variant& v)
{
	return v.index() == kNullIndex;
}

// The variant for reading a typed value; the null value throws.
const Variant& valueIn(const void* storage)
{
	const Variant& v = stored(storage);
	if (isNull(v))
	{
		impl::throwNullHandle(kClass);
	}
	return v;
}

CIMDataType::Type typeOf(const Variant& v)
{
	return kScalarTypes[v.index() % kScalarCount];
}

bool arrayOf(const Variant& v)
{
	return v.index() >= kScalarCount;
}

// The strict read behind get() and toXxx(): the alternative asked for, or, for a numeric
// request, the generic SINT64 number by a plain cast.
template<class T> void readAs(const void* storage, T& out, const char* requested)
{
	const Variant& v = valueIn(storage);
	if (const T* p = std::get_if<T>(&v))
	{
		out = *p;
		return;
	}
	if constexpr (std::is_arithmetic_v<T>)
	{
		if (const Int64* p = std::get_if<Int64>(&v))
		{
			out = static_cast<T>(*p);
			return;
		}
	}
	std::string msg = "CIMValue of type ";
	msg += impl::typeName(typeOf(v));
	if (arrayOf(v))
	{
		msg += "[]";
	}
	msg += " cannot be read as ";
	msg += requested;
	throw ValueCastException(__FILE__, __LINE__, msg.c_str());
}

template<class T> void construct(void* storage, const T& x)
{
	::new (storage) Variant(std::in_place_type<T>, x);
}

} // namespace

CIMValue::CIMValue(CIMNULL_t) { construct(&m_storage, std::monostate()); }

CIMValue::CIMValue(Bool x) { construct(&m_storage, x); }
CIMValue::CIMValue(bool x) { construct(&m_storage, Bool(x)); }
CIMValue::CIMValue(UInt8 x) { construct(&m_storage, x); }
CIMValue::CIMValue(Int8 x) { construct(&m_storage, x); }
CIMValue::CIMValue(UInt16 x) { construct(&m_storage, x); }
CIMValue::CIMValue(Int16 x) { construct(&m_storage, x); }
CIMValue::CIMValue(UInt32 x) { construct(&m_storage, x); }
CIMValue::CIMValue(Int32 x) { construct(&m_storage, x); }
CIMValue::CIMValue(UInt64 x) { construct(&m_storage, x); }
CIMValue::CIMValue(Int64 x) { construct(&m_storage, x); }
CIMValue::CIMValue(Real32 x) { construct(&m_storage, x); }
CIMValue::CIMValue(Real64 x) { construct(&m_storage, x); }
CIMValue::CIMValue(const String& x) { construct(&m_storage, x); }
CIMValue::CIMValue(const char* x) { construct(&m_storage, String(x)); }
CIMValue::CIMValue(const CIMObjectPath& x) { construct(&m_storage, x); }
CIMValue::CIMValue(const CIMClass& x) { construct(&m_storage, x); }
CIMValue::CIMValue(const CIMInstance& x) { construct(&m_storage, x); }
CIMValue::CIMValue(const BoolArray& x) { construct(&m_storage, x); }
CIMValue::CIMValue(const UInt8Array& x) { construct(&m_storage, x); }
CIMValue::CIMValue(const Int8Array& x) { construct(&m_storage, x); }
CIMValue::CIMValue(const UInt16Array& x) { construct(&m_storage, x); }
CIMValue::CIMValue(const Int16Array& x) { construct(&m_storage, x); }
CIMValue::CIMValue(const UInt32Array& x) { construct(&m_storage, x); }
CIMValue::CIMValue(const Int32Array& x) { construct(&m_storage, x); }
CIMValue::CIMValue(const UInt64Array& x) { construct(&m_storage, x); }
CIMValue::CIMValue(const Int64Array& x) { construct(&m_storage, x); }
CIMValue::CIMValue(const Real32Array& x) { construct(&m_storage, x); }
CIMValue::CIMValue(const Real64Array& x) { construct(&m_storage, x); }
CIMValue::CIMValue(const StringArray& x) { construct(&m_storage, x); }
CIMValue::CIMValue(const CIMObjectPathArray& x) { construct(&m_storage, x); }
CIMValue::CIMValue(const CIMClassArray& x) { construct(&m_storage, x); }
CIMValue::CIMValue(const CIMInstanceArray& x) { construct(&m_storage, x); }

CIMValue::CIMValue(const CIMValue& x)
{
	static_assert(sizeof(Variant) <= sizeof m_storage
		&& alignof(Variant) <= alignof(decltype(m_storage)), "CIMValue storage too small");
	::new (&m_storage) Variant(stored(&x.m_storage));
}

// Every alternative moves without throwing: numbers, String, and handles whose copy only counts.
static_assert(std::is_nothrow_move_constructible_v<String>, "String moves without throwing");

CIMValue::CIMValue(CIMValue&& x) noexcept
{
	::new (&m_storage) Variant(std::move(stored(&x.m_storage)));
}

CIMValue& CIMValue::operator=(CIMValue&& x) noexcept
{
	if (this != &x)
	{
		stored(&m_storage) = std::move(stored(&x.m_storage));
	}
	return *this;
}

CIMValue::~CIMValue()
{
	stored(&m_storage).~Variant();
}

CIMValue& CIMValue::operator=(const CIMValue& x)
{
	if (this != &x)
	{
		Variant& v = stored(&m_storage);
		try
		{
			v = stored(&x.m_storage);
		}
		catch (...)
		{
			// A variant whose copy threw may be left without any value; null is the one state
			// every member copes with.
			v.emplace<std::monostate>();
			throw;
		}
	}
	return *this;
}

bool CIMValue::holdsValue() const
{
	return !isNull(stored(&m_storage));
}

#define OW_STANDIN_VALUE_READERS(T, NAME) \
void CIMValue::get(T& x) const { readAs(&m_storage, x, #T); } \
T CIMValue::to##NAME() const \
{ \
	T x = T(); \
	readAs(&m_storage, x, #T); \
	return x; \
}

OW_STANDIN_VALUE_READERS(Bool, Bool)
OW_STANDIN_VALUE_READERS(UInt8, UInt8)
OW_STANDIN_VALUE_READERS(Int8, Int8)
OW_STANDIN_VALUE_READERS(UInt16, UInt16)
OW_STANDIN_VALUE_READERS(Int16, Int16)
OW_STANDIN_VALUE_READERS(UInt32, UInt32)
OW_STANDIN_VALUE_READERS(Int32, Int32)
OW_STANDIN_VALUE_READERS(UInt64, UInt64)
OW_STANDIN_VALUE_READERS(Int64, Int64)
OW_STANDIN_VALUE_READERS(Real32, Real32)
OW_STANDIN_VALUE_READERS(Real64, Real64)
OW_STANDIN_VALUE_READERS(CIMObjectPath, CIMObjectPath)
OW_STANDIN_VALUE_READERS(CIMClass, CIMClass)
OW_STANDIN_VALUE_READERS(CIMInstance, CIMInstance)
OW_STANDIN_VALUE_READERS(BoolArray, BoolArray)
OW_STANDIN_VALUE_READERS(UInt8Array, UInt8Array)
OW_STANDIN_VALUE_READERS(Int8Array, Int8Array)
OW_STANDIN_VALUE_READERS(UInt16Array, UInt16Array)
OW_STANDIN_VALUE_READERS(Int16Array, Int16Array)
OW_STANDIN_VALUE_READERS(UInt32Array, UInt32Array)
OW_STANDIN_VALUE_READERS(Int32Array, Int32Array)
OW_STANDIN_VALUE_READERS(UInt64Array, UInt64Array)
OW_STANDIN_VALUE_READERS(Int64Array, Int64Array)
OW_STANDIN_VALUE_READERS(Real32Array, Real32Array)
OW_STANDIN_VALUE_READERS(Real64Array, Real64Array)
OW_STANDIN_VALUE_READERS(StringArray, StringArray)
OW_STANDIN_VALUE_READERS(CIMObjectPathArray, CIMObjectPathArray)
OW_STANDIN_VALUE_READERS(CIMClassArray, CIMClassArray)
OW_STANDIN_VALUE_READERS(CIMInstanceArray, CIMInstanceArray)

#undef OW_STANDIN_VALUE_READERS

// String has no toString() twin: toString() is the text form of every type.
void CIMValue::get(String& x) const
{
	readAs(&m_storage, x, "String");
}

UInt32 CIMValue::getArraySize() const
{
	return std::visit([](const auto& x) -> UInt32 {
		if constexpr (IsArray<std::decay_t<decltype(x)>>::value)
		{
			return static_cast<UInt32>(x.size());
		}
		else
		{
			return 1;
		}
	}, valueIn(&m_storage));
}

CIMDataType::Type CIMValue::getType() const
{
	return typeOf(valueIn(&m_storage));
}

CIMDataType CIMValue::getCIMDataType() const
{
	const Variant& v = valueIn(&m_storage);
	return arrayOf(v) ? CIMDataType(typeOf(v), 0) : CIMDataType(typeOf(v));
}

bool CIMValue::isArray() const
{
	return arrayOf(valueIn(&m_storage));
}

bool CIMValue::isNumericType() const
{
	return CIMDataType(getType()).isNumericType();
}

bool CIMValue::sameType(const CIMValue& obj) const
{
	return valueIn(&m_storage).index() == stored(&obj.m_storage).index();
}

String CIMValue::toString() const
{
	return impl::toOW(std::visit([](const auto& x) -> std::string {
		using T = std::decay_t<decltype(x)>;
		if constexpr (IsArray<T>::value)
		{
			std::string s;
			for (size_t i = 0; i < x.size(); ++i)
			{
				if (i)
				{
					s += ',';
				}
				s += arrayElementText(x[i]);
			}
			return s;
		}
		else
		{
			return text(x);
		}
	}, stored(&m_storage)));
}

String CIMValue::toMOF() const
{
	return impl::toOW(std::visit([](const auto& x) -> std::string {
		using T = std::decay_t<decltype(x)>;
		if constexpr (IsArray<T>::value)
		{
			std::string s = "{";
			for (size_t i = 0; i < x.size(); ++i)
			{
				if (i)
				{
					s += ", ";
				}
				s += mof(x[i]);
			}
			return s + "}";
		}
		else
		{
			return mof(x);
		}
	}, stored(&m_storage)));
}

void CIMValue::setNull()
{
	stored(&m_storage).emplace<std::monostate>();
}

CIMValue& CIMValue::set(const CIMValue& val)
{
	return *this = val;
}

bool CIMValue::equal(const CIMValue& x) const
{
	if (this == &x)
	{
		return true;
	}
	const Variant& mine = stored(&m_storage);
	const Variant& theirs = stored(&x.m_storage);
	if (mine.index() != theirs.index())
	{
		return false;
	}
	return std::visit([&theirs](const auto& a) {
		using T = std::decay_t<decltype(a)>;
		return same(a, std::get<T>(theirs));
	}, mine);
}

bool CIMValue::operator==(const CIMValue& x) const
{
	return equal(x);
}

bool CIMValue::operator!=(const CIMValue& x) const
{
	return !equal(x);
}

bool CIMValue::operator<(const CIMValue& x) const
{
	const Variant& mine = stored(&m_storage);
	const Variant& theirs = stored(&x.m_storage);
	if (isNull(mine) || isNull(theirs))
	{
		return isNull(mine) && !isNull(theirs);
	}
	if (mine.index() != theirs.index())
	{
		return mine.index() < theirs.index();
	}
	return std::visit([&theirs](const auto& a) {
		using T = std::decay_t<decltype(a)>;
		return less(a, std::get<T>(theirs));
	}, mine);
}

bool CIMValue::operator<=(const CIMValue& x) const
{
	return !(x < *this);
}

bool CIMValue::operator>(const CIMValue& x) const
{
	return x < *this;
}

bool CIMValue::operator>=(const CIMValue& x) const
{
	return !(*this < x);
}

namespace impl
{

StringArray elementTexts(const CIMValue& v)
{
	StringArray texts;
	const CIMDataType::Type t = v.getType();
	switch (t)
	{
#define OW_STANDIN_TEXTS(TYPE, ARRAY) \
	case CIMDataType::TYPE: \
		for (const auto& e : v.to##ARRAY()) \
		{ \
			texts.push_back(toOW(text(e))); \
		} \
		break;
	OW_STANDIN_TEXTS(BOOLEAN, BoolArray)
	OW_STANDIN_TEXTS(UINT8, UInt8Array)
	OW_STANDIN_TEXTS(SINT8, Int8Array)
	OW_STANDIN_TEXTS(UINT16, UInt16Array)
	OW_STANDIN_TEXTS(SINT16, Int16Array)
	OW_STANDIN_TEXTS(UINT32, UInt32Array)
	OW_STANDIN_TEXTS(SINT32, Int32Array)
	OW_STANDIN_TEXTS(UINT64, UInt64Array)
	OW_STANDIN_TEXTS(SINT64, Int64Array)
	OW_STANDIN_TEXTS(REAL32, Real32Array)
	OW_STANDIN_TEXTS(REAL64, Real64Array)
	OW_STANDIN_TEXTS(STRING, StringArray)
	OW_STANDIN_TEXTS(REFERENCE, CIMObjectPathArray)
	OW_STANDIN_TEXTS(EMBEDDEDCLASS, CIMClassArray)
	OW_STANDIN_TEXTS(EMBEDDEDINSTANCE, CIMInstanceArray)
#undef OW_STANDIN_TEXTS
	default:
		break;
	}
	return texts;
}

} // namespace impl

} // namespace OpenWBEM
