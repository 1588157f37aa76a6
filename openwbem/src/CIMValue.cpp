// CIMValue: a tagged union of every supported CIM type behind a shared, immutable body.
#include "OW_CIMValue.hpp"
#include "OW_CIMValueCast.hpp"
#include "OW_CIMObjectPath.hpp"
#include "OW_CIMInstance.hpp"
#include "OW_CIMClass.hpp"
#include "OW_CIMException.hpp"
#include "OW_Array.hpp"
#include "Internal.hpp"

#include <cstdio>
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
// kScalarCount places after its element type.
using Variant = std::variant<Bool, UInt8, Int8, UInt16, Int16, UInt32, Int32, UInt64, Int64,
	Real32, Real64, String, CIMObjectPath, CIMClass, CIMInstance,
	BoolArray, UInt8Array, Int8Array, UInt16Array, Int16Array, UInt32Array, Int32Array,
	UInt64Array, Int64Array, Real32Array, Real64Array, StringArray, CIMObjectPathArray,
	CIMClassArray, CIMInstanceArray>;

const CIMDataType::Type kScalarTypes[] = {
	CIMDataType::BOOLEAN, CIMDataType::UINT8, CIMDataType::SINT8, CIMDataType::UINT16,
	CIMDataType::SINT16, CIMDataType::UINT32, CIMDataType::SINT32, CIMDataType::UINT64,
	CIMDataType::SINT64, CIMDataType::REAL32, CIMDataType::REAL64, CIMDataType::STRING,
	CIMDataType::REFERENCE, CIMDataType::EMBEDDEDCLASS, CIMDataType::EMBEDDEDINSTANCE,
};
constexpr size_t kScalarCount = sizeof(kScalarTypes) / sizeof(kScalarTypes[0]);
static_assert(std::variant_size_v<Variant> == 2 * kScalarCount, "one array per scalar type");

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

} // namespace

struct CIMValue::Data : impl::Shared
{
	template<class T> explicit Data(const T& x) : v(std::in_place_type<T>, x) {}
	Variant v;
};

namespace
{

const char* kClass = "CIMValue";

template<class D> const Variant& variantOf(const D* d)
{
	return impl::read(d, kClass).v;
}

template<class D> CIMDataType::Type typeOf(const D* d)
{
	return kScalarTypes[variantOf(d).index() % kScalarCount];
}

template<class D> bool arrayOf(const D* d)
{
	return variantOf(d).index() >= kScalarCount;
}

// The strict read behind get() and toXxx(): the alternative asked for, or, for a numeric
// request, the generic SINT64 number by a plain cast.
template<class T, class D> void readAs(const D* d, T& out, const char* requested)
{
	const Variant& v = variantOf(d);
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
	msg += impl::typeName(typeOf(d));
	if (arrayOf(d))
	{
		msg += "[]";
	}
	msg += " cannot be read as ";
	msg += requested;
	throw ValueCastException(__FILE__, __LINE__, msg.c_str());
}

} // namespace

CIMValue::CIMValue(CIMNULL_t) : m_p(nullptr) {}
CIMValue::CIMValue(Bool x) : m_p(new Data(x)) {}
CIMValue::CIMValue(bool x) : m_p(new Data(Bool(x))) {}
CIMValue::CIMValue(UInt8 x) : m_p(new Data(x)) {}
CIMValue::CIMValue(Int8 x) : m_p(new Data(x)) {}
CIMValue::CIMValue(UInt16 x) : m_p(new Data(x)) {}
CIMValue::CIMValue(Int16 x) : m_p(new Data(x)) {}
CIMValue::CIMValue(UInt32 x) : m_p(new Data(x)) {}
CIMValue::CIMValue(Int32 x) : m_p(new Data(x)) {}
CIMValue::CIMValue(UInt64 x) : m_p(new Data(x)) {}
CIMValue::CIMValue(Int64 x) : m_p(new Data(x)) {}
CIMValue::CIMValue(Real32 x) : m_p(new Data(x)) {}
CIMValue::CIMValue(Real64 x) : m_p(new Data(x)) {}
CIMValue::CIMValue(const String& x) : m_p(new Data(x)) {}
CIMValue::CIMValue(const char* x) : m_p(new Data(String(x))) {}
CIMValue::CIMValue(const CIMObjectPath& x) : m_p(new Data(x)) {}
CIMValue::CIMValue(const CIMClass& x) : m_p(new Data(x)) {}
CIMValue::CIMValue(const CIMInstance& x) : m_p(new Data(x)) {}
CIMValue::CIMValue(const BoolArray& x) : m_p(new Data(x)) {}
CIMValue::CIMValue(const UInt8Array& x) : m_p(new Data(x)) {}
CIMValue::CIMValue(const Int8Array& x) : m_p(new Data(x)) {}
CIMValue::CIMValue(const UInt16Array& x) : m_p(new Data(x)) {}
CIMValue::CIMValue(const Int16Array& x) : m_p(new Data(x)) {}
CIMValue::CIMValue(const UInt32Array& x) : m_p(new Data(x)) {}
CIMValue::CIMValue(const Int32Array& x) : m_p(new Data(x)) {}
CIMValue::CIMValue(const UInt64Array& x) : m_p(new Data(x)) {}
CIMValue::CIMValue(const Int64Array& x) : m_p(new Data(x)) {}
CIMValue::CIMValue(const Real32Array& x) : m_p(new Data(x)) {}
CIMValue::CIMValue(const Real64Array& x) : m_p(new Data(x)) {}
CIMValue::CIMValue(const StringArray& x) : m_p(new Data(x)) {}
CIMValue::CIMValue(const CIMObjectPathArray& x) : m_p(new Data(x)) {}
CIMValue::CIMValue(const CIMClassArray& x) : m_p(new Data(x)) {}
CIMValue::CIMValue(const CIMInstanceArray& x) : m_p(new Data(x)) {}

OW_STANDIN_DEFINE_HANDLE(CIMValue)

#define OW_STANDIN_VALUE_READERS(T, NAME) \
void CIMValue::get(T& x) const { readAs(m_p, x, #T); } \
T CIMValue::to##NAME() const \
{ \
	T x = T(); \
	readAs(m_p, x, #T); \
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
	readAs(m_p, x, "String");
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
	}, variantOf(m_p));
}

CIMDataType::Type CIMValue::getType() const
{
	return typeOf(m_p);
}

CIMDataType CIMValue::getCIMDataType() const
{
	return arrayOf(m_p) ? CIMDataType(typeOf(m_p), 0) : CIMDataType(typeOf(m_p));
}

bool CIMValue::isArray() const
{
	return arrayOf(m_p);
}

bool CIMValue::isNumericType() const
{
	return CIMDataType(getType()).isNumericType();
}

bool CIMValue::sameType(const CIMValue& obj) const
{
	const size_t mine = variantOf(m_p).index();
	return obj.m_p && obj.m_p->v.index() == mine;
}

String CIMValue::toString() const
{
	if (!m_p)
	{
		return String("(null)");
	}
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
	}, m_p->v));
}

String CIMValue::toMOF() const
{
	if (!m_p)
	{
		return String("NULL");
	}
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
	}, m_p->v));
}

void CIMValue::setNull()
{
	impl::release(m_p);
	m_p = nullptr;
}

CIMValue& CIMValue::set(const CIMValue& val)
{
	return *this = val;
}

bool CIMValue::equal(const CIMValue& x) const
{
	if (!m_p || !x.m_p)
	{
		return !m_p && !x.m_p;
	}
	if (m_p == x.m_p)
	{
		return true;
	}
	if (m_p->v.index() != x.m_p->v.index())
	{
		return false;
	}
	return std::visit([&x](const auto& a) {
		using T = std::decay_t<decltype(a)>;
		return same(a, std::get<T>(x.m_p->v));
	}, m_p->v);
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
	if (!m_p || !x.m_p)
	{
		return !m_p && x.m_p;
	}
	if (m_p->v.index() != x.m_p->v.index())
	{
		return m_p->v.index() < x.m_p->v.index();
	}
	return std::visit([&x](const auto& a) {
		using T = std::decay_t<decltype(a)>;
		return less(a, std::get<T>(x.m_p->v));
	}, m_p->v);
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

CIMValue CIMValue::createSimpleValue(const String& cimtype, const String& value)
{
	const CIMDataType::Type t = impl::typeFromName(cimtype);
	switch (t)
	{
	case CIMDataType::UINT8: case CIMDataType::SINT8: case CIMDataType::UINT16:
	case CIMDataType::SINT16: case CIMDataType::UINT32: case CIMDataType::SINT32:
	case CIMDataType::UINT64: case CIMDataType::SINT64: case CIMDataType::REAL32:
	case CIMDataType::REAL64: case CIMDataType::BOOLEAN: case CIMDataType::STRING:
		return impl::valueFromText(t, value);
	default:
		return CIMValue(CIMNULL);
	}
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
