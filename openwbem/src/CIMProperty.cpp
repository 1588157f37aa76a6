// CIMProperty.
#include "OW_CIMProperty.hpp"
#include "OW_CIMValueCast.hpp"
#include "OW_CIMException.hpp"
#include "OW_NULLValueException.hpp"
#include "Bodies.hpp"

namespace OpenWBEM
{

namespace
{
const char* const kClass = "CIMProperty";
}

CIMProperty::CIMProperty() : m_p(new Data(String(), CIMValue(CIMNULL), CIMDataType()))
{
}

CIMProperty::CIMProperty(CIMNULL_t) : m_p(nullptr)
{
}

CIMProperty::CIMProperty(const String& name)
	: m_p(new Data(name, CIMValue(CIMNULL), CIMDataType()))
{
}

CIMProperty::CIMProperty(const char* name)
	: m_p(new Data(String(name), CIMValue(CIMNULL), CIMDataType()))
{
}

// getCIMDataType() throws for the null value before anything is allocated.
CIMProperty::CIMProperty(const String& name, const CIMValue& value)
	: m_p(nullptr)
{
	const CIMDataType type = value.getCIMDataType();
	m_p = new Data(name, value, type);
}

CIMProperty::CIMProperty(const String& name, const CIMDataType& dataType)
	: m_p(new Data(name, CIMValue(CIMNULL), dataType))
{
}

OW_STANDIN_DEFINE_HANDLE(CIMProperty)

String CIMProperty::getName() const
{
	return impl::read(m_p, kClass).name;
}

void CIMProperty::setName(const String& name)
{
	impl::write(m_p, kClass).name = name;
}

CIMValue CIMProperty::getValue() const
{
	return impl::read(m_p, kClass).value;
}

CIMValue CIMProperty::getValueT() const
{
	const Data& d = impl::read(m_p, kClass);
	if (!d.value)
	{
		String msg("Property has no value: ");
		msg += d.name;
		OW_THROW(NULLValueException, msg.c_str());
	}
	return d.value;
}

CIMProperty& CIMProperty::setValue(const CIMValue& value)
{
	const Data& d = impl::read(m_p, kClass);
	CIMValue v(value);
	CIMDataType t(d.type);
	if (v && t && (t.getType() != v.getType() || t.isArrayType() != v.isArray()))
	{
		v = CIMValueCast::castValueToDataType(v, t);
	}
	else if (v && !t)
	{
		t = v.getCIMDataType();
	}
	Data& w = impl::write(m_p, kClass);
	w.value = v;
	w.type = t;
	return *this;
}

CIMDataType CIMProperty::getDataType() const
{
	return impl::read(m_p, kClass).type;
}

CIMProperty& CIMProperty::setDataType(const CIMDataType& dataType)
{
	impl::write(m_p, kClass).type = dataType;
	return *this;
}

CIMProperty& CIMProperty::setDataType(const CIMDataType::Type& dataType)
{
	return setDataType(CIMDataType(dataType));
}

CIMQualifierArray CIMProperty::getQualifiers() const
{
	return impl::read(m_p, kClass).qualifiers;
}

CIMProperty& CIMProperty::setQualifiers(const CIMQualifierArray& quals)
{
	impl::write(m_p, kClass).qualifiers = quals;
	return *this;
}

CIMQualifier CIMProperty::getQualifier(const String& name) const
{
	const Data& d = impl::read(m_p, kClass);
	const size_t i = impl::findByName(d.qualifiers, name);
	return i == String::npos ? CIMQualifier(CIMNULL) : d.qualifiers[i];
}

CIMProperty& CIMProperty::setQualifier(const CIMQualifier& qual)
{
	const String name = qual.getName();
	Data& d = impl::write(m_p, kClass);
	const size_t i = impl::findByName(d.qualifiers, name);
	if (i == String::npos)
	{
		d.qualifiers.push_back(qual);
	}
	else
	{
		d.qualifiers[i] = qual;
	}
	return *this;
}

CIMProperty& CIMProperty::addQualifier(const CIMQualifier& qual)
{
	const String name = qual.getName();
	if (impl::findByName(impl::read(m_p, kClass).qualifiers, name) != String::npos)
	{
		String msg("Qualifier already exists: ");
		msg += name;
		OW_THROWCIMMSG(CIMException::ALREADY_EXISTS, msg.c_str());
	}
	impl::write(m_p, kClass).qualifiers.push_back(qual);
	return *this;
}

bool CIMProperty::removeQualifier(const String& name)
{
	const size_t i = impl::findByName(impl::read(m_p, kClass).qualifiers, name);
	if (i == String::npos)
	{
		return false;
	}
	impl::write(m_p, kClass).qualifiers.remove(i);
	return true;
}

CIMProperty& CIMProperty::clearQualifiers()
{
	impl::write(m_p, kClass).qualifiers.clear();
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
	const CIMQualifierArray& quals = impl::read(m_p, kClass).qualifiers;
	for (size_t i = 0; i < quals.size(); ++i)
	{
		const auto* q = StandInAccess::body(quals[i]);
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
	const CIMDataType& t = impl::read(m_p, kClass).type;
	return t && t.getType() == CIMDataType::REFERENCE;
}

String CIMProperty::toString() const
{
	const Data& d = impl::read(m_p, kClass);
	String s = d.type ? d.type.toString() : String("CIMNULL");
	s += ':';
	s += d.name;
	s += '=';
	s += d.value ? d.value.toString() : String("null");
	return s;
}

bool operator==(const CIMProperty& x, const CIMProperty& y)
{
	if (!x || !y)
	{
		return !x && !y;
	}
	return x.getName().equalsIgnoreCase(y.getName());
}

bool operator!=(const CIMProperty& x, const CIMProperty& y)
{
	return !(x == y);
}

} // namespace OpenWBEM
