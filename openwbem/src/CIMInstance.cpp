// CIMInstance.
#include "OW_CIMInstance.hpp"
#include "OW_NoSuchPropertyException.hpp"
#include "Bodies.hpp"

namespace OpenWBEM
{

struct CIMInstance::Data : impl::Shared
{
	explicit Data(const String& c) : className(c) {}
	String className;
	CIMPropertyArray properties;
	CIMPropertyArray keys;
	CIMQualifierArray qualifiers;
};

namespace
{

const char* const kClass = "CIMInstance";

template<class D> void rebuildKeys(D& d)
{
	// Read through a const view: the non-const operator[] would first give this instance a
	// copy of every property of an array it still shares with the caller.
	const CIMPropertyArray& properties = d.properties;
	CIMPropertyArray keys;
	for (size_t i = 0; i < properties.size(); ++i)
	{
		if (properties[i].isKey())
		{
			keys.push_back(properties[i]);
		}
	}
	d.keys = keys;
}

// A property's name read in place; a null property throws as its getName() does.
const String& nameOf(const CIMProperty& p)
{
	const String* n = StandInAccess::name(p);
	if (!n)
	{
		impl::throwNullHandle("CIMProperty");
	}
	return *n;
}

bool listed(const StringArray& names, const String& name)
{
	for (size_t i = 0; i < names.size(); ++i)
	{
		if (names[i].equalsIgnoreCase(name))
		{
			return true;
		}
	}
	return false;
}

} // namespace

CIMInstance::CIMInstance() : m_p(new Data(String()))
{
}

CIMInstance::CIMInstance(CIMNULL_t) : m_p(nullptr)
{
}

CIMInstance::CIMInstance(const String& className) : m_p(new Data(className))
{
}

CIMInstance::CIMInstance(const char* className) : m_p(new Data(String(className)))
{
}

OW_STANDIN_DEFINE_HANDLE(CIMInstance)

String CIMInstance::getClassName() const
{
	return impl::read(m_p, kClass).className;
}

CIMInstance& CIMInstance::setClassName(const String& name)
{
	impl::write(m_p, kClass).className = name;
	return *this;
}

String CIMInstance::getName() const
{
	return getClassName();
}

CIMPropertyArray CIMInstance::getProperties(Int32 valueDataType) const
{
	const Data& d = impl::read(m_p, kClass);
	if (valueDataType == CIMDataType::INVALID)
	{
		return d.properties;
	}
	CIMPropertyArray r;
	for (size_t i = 0; i < d.properties.size(); ++i)
	{
		const CIMDataType t = d.properties[i].getDataType();
		if (t && t.getType() == valueDataType)
		{
			r.push_back(d.properties[i]);
		}
	}
	return r;
}

CIMInstance& CIMInstance::setProperties(const CIMPropertyArray& props)
{
	Data& d = impl::write(m_p, kClass);
	d.properties = props;
	rebuildKeys(d);
	return *this;
}

CIMProperty CIMInstance::getProperty(const String& name) const
{
	const Data& d = impl::read(m_p, kClass);
	const size_t i = impl::findByName(d.properties, name);
	return i == String::npos ? CIMProperty(CIMNULL) : d.properties[i];
}

CIMProperty CIMInstance::getProperty(const String& name, const String& originClass) const
{
	return originClass.empty() ? getProperty(name) : CIMProperty(CIMNULL);
}

CIMProperty CIMInstance::getPropertyT(const String& name) const
{
	const CIMProperty p = getProperty(name);
	if (!p)
	{
		String msg("No such property: ");
		msg += name;
		OW_THROW(NoSuchPropertyException, msg.c_str());
	}
	return p;
}

CIMValue CIMInstance::getPropertyValue(const String& name) const
{
	const CIMProperty p = getProperty(name);
	return p ? p.getValue() : CIMValue(CIMNULL);
}

bool CIMInstance::propertyHasValue(const String& name) const
{
	return static_cast<bool>(getPropertyValue(name));
}

CIMInstance& CIMInstance::setProperty(const String& name, const CIMValue& cv)
{
	const size_t i = impl::findByName(impl::read(m_p, kClass).properties, name);
	if (i == String::npos)
	{
		CIMProperty p(name);
		p.setValue(cv);
		impl::write(m_p, kClass).properties.push_back(p);
		return *this;
	}
	// Converting may throw: change a copy, then store it.
	CIMProperty p = impl::read(m_p, kClass).properties[i];
	p.setValue(cv);
	Data& d = impl::write(m_p, kClass);
	d.properties[i] = p;
	if (p.isKey())
	{
		rebuildKeys(d);
	}
	return *this;
}

CIMInstance& CIMInstance::setProperty(const CIMProperty& prop)
{
	const String& name = nameOf(prop);
	Data& d = impl::write(m_p, kClass);
	const size_t i = impl::findByName(d.properties, name);
	bool touchesKey = prop.isKey();
	if (i == String::npos)
	{
		d.properties.push_back(prop);
	}
	else
	{
		touchesKey = touchesKey || d.properties[i].isKey();
		d.properties[i] = prop;
	}
	if (touchesKey)
	{
		rebuildKeys(d);
	}
	return *this;
}

CIMInstance& CIMInstance::updatePropertyValue(const CIMProperty& prop)
{
	const size_t i = impl::findByName(impl::read(m_p, kClass).properties, nameOf(prop));
	if (i == String::npos)
	{
		return *this;
	}
	CIMProperty p = impl::read(m_p, kClass).properties[i];
	p.setValue(prop.getValue());
	Data& d = impl::write(m_p, kClass);
	d.properties[i] = p;
	if (p.isKey())
	{
		rebuildKeys(d);
	}
	return *this;
}

CIMInstance& CIMInstance::updatePropertyValues(const CIMPropertyArray& props)
{
	for (size_t i = 0; i < props.size(); ++i)
	{
		updatePropertyValue(props[i]);
	}
	return *this;
}

CIMInstance& CIMInstance::removeProperty(const String& name)
{
	const size_t i = impl::findByName(impl::read(m_p, kClass).properties, name);
	if (i == String::npos)
	{
		return *this;
	}
	Data& d = impl::write(m_p, kClass);
	const bool wasKey = d.properties[i].isKey();
	d.properties.remove(i);
	if (wasKey)
	{
		rebuildKeys(d);
	}
	return *this;
}

CIMPropertyArray CIMInstance::getKeyValuePairs() const
{
	return impl::read(m_p, kClass).keys;
}

CIMInstance& CIMInstance::setKeys(const CIMPropertyArray& keys)
{
	impl::write(m_p, kClass).keys = keys;
	return *this;
}

CIMQualifierArray CIMInstance::getQualifiers() const
{
	return impl::read(m_p, kClass).qualifiers;
}

CIMInstance& CIMInstance::setQualifiers(const CIMQualifierArray& quals)
{
	impl::write(m_p, kClass).qualifiers = quals;
	return *this;
}

CIMQualifier CIMInstance::getQualifier(const String& qualName) const
{
	const Data& d = impl::read(m_p, kClass);
	const size_t i = impl::findByName(d.qualifiers, qualName);
	return i == String::npos ? CIMQualifier(CIMNULL) : d.qualifiers[i];
}

CIMInstance& CIMInstance::setQualifier(const CIMQualifier& qual)
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

CIMInstance& CIMInstance::removeQualifier(const String& qualName)
{
	const size_t i = impl::findByName(impl::read(m_p, kClass).qualifiers, qualName);
	if (i != String::npos)
	{
		impl::write(m_p, kClass).qualifiers.remove(i);
	}
	return *this;
}

CIMInstance CIMInstance::clone(WBEMFlags::ELocalOnlyFlag,
	WBEMFlags::EIncludeQualifiersFlag includeQualifiers,
	WBEMFlags::EIncludeClassOriginFlag,
	const StringArray* propertyList) const
{
	const Data& d = impl::read(m_p, kClass);
	CIMInstance r(*this);
	Data& w = impl::write(r.m_p, kClass);
	const bool keepQualifiers = includeQualifiers == WBEMFlags::E_INCLUDE_QUALIFIERS;
	CIMPropertyArray props;
	for (size_t i = 0; i < d.properties.size(); ++i)
	{
		CIMProperty p = d.properties[i];
		if (propertyList && !listed(*propertyList, p.getName()))
		{
			continue;
		}
		if (!keepQualifiers)
		{
			p.clearQualifiers();
		}
		props.push_back(p);
	}
	w.properties = props;
	if (!keepQualifiers)
	{
		w.qualifiers.clear();
	}
	return r;
}

String CIMInstance::toString() const
{
	return toMOF();
}

String CIMInstance::toMOF() const
{
	const Data& d = impl::read(m_p, kClass);
	String s("instance of ");
	s += d.className;
	s += "\n{\n";
	for (size_t i = 0; i < d.properties.size(); ++i)
	{
		s += '\t';
		s += d.properties[i].getName();
		s += " = ";
		s += d.properties[i].getValue().toMOF();
		s += ";\n";
	}
	s += "};\n";
	return s;
}

bool operator==(const CIMInstance& x, const CIMInstance& y)
{
	if (!x || !y)
	{
		return !x && !y;
	}
	return x.getClassName().equalsIgnoreCase(y.getClassName());
}

bool operator!=(const CIMInstance& x, const CIMInstance& y)
{
	return !(x == y);
}

} // namespace OpenWBEM
