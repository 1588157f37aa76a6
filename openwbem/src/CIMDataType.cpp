// CIMDataType and the CIM-XML type names.
#include "OW_CIMDataType.hpp"
#include "Internal.hpp"

namespace OpenWBEM
{

struct CIMDataType::Data : impl::Shared
{
	Data(Type t, bool a, Int32 s, const String& r, bool forever = false)
		: type(t), array(a), size(s), refClass(r), immortal(forever) {}
	Type type;
	bool array;
	Int32 size;       // 1 for a scalar, 0 for an unbounded array
	String refClass;
	// Never counted nor freed: the shared scalar bodies. Types never change after they are
	// made, so every handle of a scalar type can point at the same body without a count that
	// all threads would otherwise write to on every copy of a property or value.
	bool immortal;
};

namespace impl
{

const char* typeName(CIMDataType::Type t)
{
	switch (t)
	{
	case CIMDataType::UINT8: return "uint8";
	case CIMDataType::SINT8: return "sint8";
	case CIMDataType::UINT16: return "uint16";
	case CIMDataType::SINT16: return "sint16";
	case CIMDataType::UINT32: return "uint32";
	case CIMDataType::SINT32: return "sint32";
	case CIMDataType::UINT64: return "uint64";
	case CIMDataType::SINT64: return "sint64";
	case CIMDataType::STRING: return "string";
	case CIMDataType::BOOLEAN: return "boolean";
	case CIMDataType::REAL32: return "real32";
	case CIMDataType::REAL64: return "real64";
	case CIMDataType::DATETIME: return "datetime";
	case CIMDataType::CHAR16: return "char16";
	case CIMDataType::REFERENCE: return "reference";
	case CIMDataType::EMBEDDEDCLASS: return "embeddedclass";
	case CIMDataType::EMBEDDEDINSTANCE: return "embeddedinstance";
	default: return "";
	}
}


} // namespace impl

namespace
{

// Scalar types without a class are the common case (every property and value has one); they
// share one immortal body each instead of allocating. (Templates: the body type is private.)
template<class D> D* scalarBody(CIMDataType::Type type)
{
	static D* const bodies[CIMDataType::MAXDATATYPE + 1] = {
#define OW_STANDIN_BODY(T) new D(static_cast<CIMDataType::Type>(T), false, 1, String(), true)
		OW_STANDIN_BODY(0), OW_STANDIN_BODY(1), OW_STANDIN_BODY(2), OW_STANDIN_BODY(3),
		OW_STANDIN_BODY(4), OW_STANDIN_BODY(5), OW_STANDIN_BODY(6), OW_STANDIN_BODY(7),
		OW_STANDIN_BODY(8), OW_STANDIN_BODY(9), OW_STANDIN_BODY(10), OW_STANDIN_BODY(11),
		OW_STANDIN_BODY(12), OW_STANDIN_BODY(13), OW_STANDIN_BODY(14), OW_STANDIN_BODY(15),
		OW_STANDIN_BODY(16), OW_STANDIN_BODY(17), OW_STANDIN_BODY(CIMDataType::INVALID),
#undef OW_STANDIN_BODY
	};
	const int slot = type >= 0 && type < CIMDataType::MAXDATATYPE ? type : CIMDataType::MAXDATATYPE;
	D* b = bodies[slot];
	if (b->type != type)
	{
		return new D(type, false, 1, String());
	}
	return b;
}

template<class D> void hold(D* b)
{
	if (b && !b->immortal)
	{
		impl::acquire(b);
	}
}

template<class D> void drop(D* b)
{
	if (b && !b->immortal)
	{
		impl::release(b);
	}
}

} // namespace

CIMDataType::CIMDataType() : m_p(scalarBody<Data>(CIMNULL))
{
}

CIMDataType::CIMDataType(CIMNULL_t) : m_p(nullptr)
{
}

CIMDataType::CIMDataType(Type type) : m_p(scalarBody<Data>(type))
{
}

CIMDataType::CIMDataType(Type type, Int32 size)
	: m_p(new Data(type, true, size < 1 ? 0 : size, String()))
{
}

CIMDataType::CIMDataType(const String& refClassName)
	: m_p(new Data(REFERENCE, false, 1, refClassName))
{
}

CIMDataType::CIMDataType(const CIMDataType& arg) : m_p(arg.m_p)
{
	hold(m_p);
}

CIMDataType::~CIMDataType()
{
	drop(m_p);
}

CIMDataType& CIMDataType::operator=(const CIMDataType& arg)
{
	hold(arg.m_p);
	drop(m_p);
	m_p = arg.m_p;
	return *this;
}

CIMDataType::Type CIMDataType::getType() const
{
	return impl::read(m_p, "CIMDataType").type;
}

bool CIMDataType::isArrayType() const
{
	return impl::read(m_p, "CIMDataType").array;
}

bool CIMDataType::isNumericType() const
{
	const Type t = getType();
	return (t >= UINT8 && t <= SINT64) || t == REAL32 || t == REAL64;
}

bool CIMDataType::isReferenceType() const
{
	return getType() == REFERENCE;
}

Int32 CIMDataType::getSize() const
{
	return impl::read(m_p, "CIMDataType").size;
}

String CIMDataType::getRefClassName() const
{
	return impl::read(m_p, "CIMDataType").refClass;
}

bool CIMDataType::equals(const CIMDataType& arg) const
{
	if (!m_p || !arg.m_p)
	{
		return m_p == arg.m_p;
	}
	return m_p->type == arg.m_p->type && m_p->array == arg.m_p->array
		&& m_p->size == arg.m_p->size && m_p->refClass.equalsIgnoreCase(arg.m_p->refClass);
}

String CIMDataType::toString() const
{
	const Type t = getType();
	if (t == CIMNULL)
	{
		return String("CIMNULL");
	}
	if (t == INVALID)
	{
		return String("INVALID");
	}
	return String(impl::typeName(t));
}

bool CIMDataType::isTrue() const
{
	return m_p && m_p->type != CIMNULL && m_p->type != INVALID;
}

} // namespace OpenWBEM
