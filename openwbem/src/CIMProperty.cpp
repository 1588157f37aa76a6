// CIMProperty.
#include "OW_CIMProperty.hpp"
#include "OW_CIMValueCast.hpp"
#include "OW_CIMException.hpp"
#include "OW_NULLValueException.hpp"
#include "Bodies.hpp"

#include <utility>

namespace OpenWBEM
{

namespace
{
const char* const kClass = "CIMProperty";

// Every member but the tests and the copies refuses a null property, as any null handle does.
inline void checkLive(const CIMProperty& p)
{
	if (!p)
	{
		impl::throwNullHandle(kClass);
	}
}
}

CIMProperty::CIMProperty()
	: m_name(), m_value(CIMNULL), m_type(), m_qualifiers(), m_null(false)
{
}

// A null type, not the CIMNULL one: it holds no shared body to count.
CIMProperty::CIMProperty(CIMNULL_t)
	: m_name(), m_value(CIMNULL), m_type(CIMNULL), m_qualifiers(), m_null(true)
{
}

CIMProperty::CIMProperty(const String& name)
	: m_name(name), m_value(CIMNULL), m_type(), m_qualifiers(), m_null(false)
{
}

CIMProperty::CIMProperty(const char* name)
	: m_name(name), m_value(CIMNULL), m_type(), m_qualifiers(), m_null(false)
{
}

// getCIMDataType() throws for the null value.
CIMProperty::CIMProperty(const String& name, const CIMValue& value)
	: m_name(name), m_value(value), m_type(value.getCIMDataType()), m_qualifiers(), m_null(false)
{
}

CIMProperty::CIMProperty(const String& name, const CIMDataType& dataType)
	: m_name(name), m_value(CIMNULL), m_type(dataType), m_qualifiers(), m_null(false)
{
}

// Member-wise: each field is a value of its own.
CIMProperty::CIMProperty(const CIMProperty& x) = default;
CIMProperty::~CIMProperty() = default;

// By hand: a defaulted move would not be noexcept (the type and qualifier handles only copy,
// which counts and never throws), and the arrays that hold properties only move noexcept ones.
CIMProperty::CIMProperty(CIMProperty&& x) noexcept
	: m_name(std::move(x.m_name))
	, m_value(std::move(x.m_value))
	, m_type(x.m_type)
	, m_qualifiers(x.m_qualifiers)
	, m_null(x.m_null)
{
}

CIMProperty& CIMProperty::operator=(CIMProperty&& x) noexcept
{
	if (this != &x)
	{
		m_name = std::move(x.m_name);
		m_value = std::move(x.m_value);
		m_type = x.m_type;
		m_qualifiers = x.m_qualifiers;
		m_null = x.m_null;
	}
	return *this;
}
CIMProperty& CIMProperty::operator=(const CIMProperty& x) = default;

String CIMProperty::getName() const
{
	checkLive(*this);
	return m_name;
}

void CIMProperty::setName(const String& name)
{
	checkLive(*this);
	m_name = name;
}

CIMValue CIMProperty::getValue() const
{
	checkLive(*this);
	return m_value;
}

CIMValue CIMProperty::getValueT() const
{
	checkLive(*this);
	if (!m_value)
	{
		String msg("Property has no value: ");
		msg += m_name;
		OW_THROW(NULLValueException, msg.c_str());
	}
	return m_value;
}

CIMProperty& CIMProperty::setValue(const CIMValue& value)
{
	checkLive(*this);
	// Converting may throw: leave the property as it was then.
	if (value && m_type
		&& (m_type.getType() != value.getType() || m_type.isArrayType() != value.isArray()))
	{
		m_value = CIMValueCast::castValueToDataType(value, m_type);
		return *this;
	}
	if (value && !m_type)
	{
		m_type = value.getCIMDataType();
	}
	m_value = value;
	return *this;
}

CIMDataType CIMProperty::getDataType() const
{
	checkLive(*this);
	return m_type;
}

CIMProperty& CIMProperty::setDataType(const CIMDataType& dataType)
{
	checkLive(*this);
	m_type = dataType;
	return *this;
}

CIMProperty& CIMProperty::setDataType(const CIMDataType::Type& dataType)
{
	return setDataType(CIMDataType(dataType));
}

CIMQualifierArray CIMProperty::getQualifiers() const
{
	checkLive(*this);
	return m_qualifiers;
}

CIMProperty& CIMProperty::setQualifiers(const CIMQualifierArray& quals)
{
	checkLive(*this);
	m_qualifiers = quals;
	return *this;
}

CIMQualifier CIMProperty::getQualifier(const String& name) const
{
	checkLive(*this);
	const size_t i = impl::findByName(m_qualifiers, name);
	return i == String::npos ? CIMQualifier(CIMNULL) : m_qualifiers[i];
}

CIMProperty& CIMProperty::setQualifier(const CIMQualifier& qual)
{
	checkLive(*this);
	const String name = qual.getName();
	const size_t i = impl::findByName(m_qualifiers, name);
	if (i == String::npos)
	{
		m_qualifiers.push_back(qual);
	}
	else
	{
		m_qualifiers[i] = qual;
	}
	return *this;
}

CIMProperty& CIMProperty::addQualifier(const CIMQualifier& qual)
{
	checkLive(*this);
	const String name = qual.getName();
	if (impl::findByName(m_qualifiers, name) != String::npos)
	{
		String msg("Qualifier already exists: ");
		msg += name;
		OW_THROWCIMMSG(CIMException::ALREADY_EXISTS, msg.c_str());
	}
	m_qualifiers.push_back(qual);
	return *this;
}

bool CIMProperty::removeQualifier(const String& name)
{
	checkLive(*this);
	const size_t i = impl::findByName(m_qualifiers, name);
	if (i == String::npos)
	{
		return false;
	}
	m_qualifiers.remove(i);
	return true;
}

CIMProperty& CIMProperty::clearQualifiers()
{
	checkLive(*this);
	m_qualifiers.clear();
	return *this;
}

bool CIMProperty::hasTrueQualifier(const String& name) const
{
	const CIMQualifier q = getQualifier(name);
	if (!q)
	{
		return false;
	}
	const CIMValue v = q.getValue();
	return v && v.getType() == CIMDataType::BOOLEAN && !v.isArray() && v.toBool();
}

bool CIMProperty::isKey() const
{
	// Asked for every property an instance stores: look without building a name String.
	if (isReference())
	{
		return true;
	}
	for (size_t i = 0; i < m_qualifiers.size(); ++i)
	{
		const auto* q = StandInAccess::body(m_qualifiers[i]);
		if (q && q->name.equalsIgnoreCase(CIMQualifier::CIM_QUAL_KEY))
		{
			const CIMValue& v = q->value;
			return v && v.getType() == CIMDataType::BOOLEAN && !v.isArray() && v.toBool();
		}
	}
	return false;
}

bool CIMProperty::isReference() const
{
	checkLive(*this);
	return m_type && m_type.getType() == CIMDataType::REFERENCE;
}

String CIMProperty::toString() const
{
	checkLive(*this);
	String s = m_type ? m_type.toString() : String("CIMNULL");
	s += ':';
	s += m_name;
	s += '=';
	s += m_value ? m_value.toString() : String("null");
	return s;
}

bool operator==(const CIMProperty& x, const CIMProperty& y)
{
	if (!x || !y)
	{
		return !x && !y;
	}
	return StandInAccess::name(x)->equalsIgnoreCase(*StandInAccess::name(y));
}

bool operator!=(const CIMProperty& x, const CIMProperty& y)
{
	return !(x == y);
}

} // namespace OpenWBEM
