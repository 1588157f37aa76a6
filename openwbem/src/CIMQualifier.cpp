// CIMQualifier.
#include "OW_CIMQualifier.hpp"
#include "OW_CIMValue.hpp"
#include "Bodies.hpp"

namespace OpenWBEM
{

namespace
{
const char* const kClass = "CIMQualifier";
}

const char* const CIMQualifier::CIM_QUAL_KEY = "Key";
const char* const CIMQualifier::CIM_QUAL_PROVIDER = "Provider";
const char* const CIMQualifier::CIM_QUAL_ASSOCIATION = "Association";

CIMQualifier::CIMQualifier() : m_p(new Data(String()))
{
}

CIMQualifier::CIMQualifier(CIMNULL_t) : m_p(nullptr)
{
}

CIMQualifier::CIMQualifier(const String& name) : m_p(new Data(name))
{
}

CIMQualifier::CIMQualifier(const char* name) : m_p(new Data(String(name)))
{
}

OW_STANDIN_DEFINE_HANDLE(CIMQualifier)

String CIMQualifier::getName() const
{
	return impl::read(m_p, kClass).name;
}

void CIMQualifier::setName(const String& name)
{
	impl::write(m_p, kClass).name = name;
}

CIMValue CIMQualifier::getValue() const
{
	return impl::read(m_p, kClass).value;
}

CIMQualifier& CIMQualifier::setValue(const CIMValue& value)
{
	impl::write(m_p, kClass).value = value;
	return *this;
}

bool CIMQualifier::hasValue() const
{
	return static_cast<bool>(impl::read(m_p, kClass).value);
}

bool CIMQualifier::isKeyQualifier() const
{
	return impl::read(m_p, kClass).name.equalsIgnoreCase(CIM_QUAL_KEY);
}

CIMQualifier CIMQualifier::createKeyQualifier()
{
	CIMQualifier q(CIM_QUAL_KEY);
	q.setValue(CIMValue(true));
	return q;
}

} // namespace OpenWBEM
