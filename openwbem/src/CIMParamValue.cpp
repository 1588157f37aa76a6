// CIMParamValue and CIMClass: small named handles.
#include "OW_CIMParamValue.hpp"
#include "OW_CIMClass.hpp"
#include "Internal.hpp"

namespace OpenWBEM
{

struct CIMParamValue::Data : impl::Shared
{
	Data(const String& n, const CIMValue& v) : name(n), value(v) {}
	String name;
	CIMValue value;
};

namespace
{
const char* const kParamValue = "CIMParamValue";
const char* const kClass = "CIMClass";
}

CIMParamValue::CIMParamValue() : m_p(new Data(String(), CIMValue(CIMNULL)))
{
}

CIMParamValue::CIMParamValue(CIMNULL_t) : m_p(nullptr)
{
}

CIMParamValue::CIMParamValue(const String& name) : m_p(new Data(name, CIMValue(CIMNULL)))
{
}

CIMParamValue::CIMParamValue(const String& name, const CIMValue& val) : m_p(new Data(name, val))
{
}

OW_STANDIN_DEFINE_HANDLE(CIMParamValue)

String CIMParamValue::getName() const
{
	return impl::read(m_p, kParamValue).name;
}

CIMParamValue& CIMParamValue::setName(const String& name)
{
	impl::write(m_p, kParamValue).name = name;
	return *this;
}

CIMValue CIMParamValue::getValue() const
{
	return impl::read(m_p, kParamValue).value;
}

CIMParamValue& CIMParamValue::setValue(const CIMValue& val)
{
	impl::write(m_p, kParamValue).value = val;
	return *this;
}

String CIMParamValue::toString() const
{
	const Data& d = impl::read(m_p, kParamValue);
	return d.name + "=" + d.value.toString();
}

struct CIMClass::Data : impl::Shared
{
	explicit Data(const String& n) : name(n) {}
	const String name;
};

CIMClass::CIMClass() : m_p(new Data(String()))
{
}

CIMClass::CIMClass(CIMNULL_t) : m_p(nullptr)
{
}

CIMClass::CIMClass(const String& name) : m_p(new Data(name))
{
}

CIMClass::CIMClass(const char* name) : m_p(new Data(String(name)))
{
}

OW_STANDIN_DEFINE_HANDLE(CIMClass)

String CIMClass::getName() const
{
	return impl::read(m_p, kClass).name;
}

} // namespace OpenWBEM
