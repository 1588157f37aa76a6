// CIMQualifier's body, and the lookups by name that the library runs in loops.
#pragma once

#include "OW_CIMProperty.hpp"
#include "OW_CIMQualifier.hpp"
#include "OW_CIMValue.hpp"
#include "OW_CIMDataType.hpp"
#include "Internal.hpp"

namespace OpenWBEM
{

struct CIMQualifier::Data : impl::Shared
{
	explicit Data(const String& n) : name(n), value(CIMNULL) {}
	String name;
	CIMValue value;
};

// Friend of CIMQualifier and CIMProperty.
struct StandInAccess
{
	template<class H> static const typename H::Data* body(const H& h) { return h.m_p; }
	// 0 for the null property.
	static const String* name(const CIMProperty& p) { return p.m_null ? nullptr : &p.m_name; }
};

namespace impl
{

// Lookups by name compare in place: copying each element's name would cost two atomic
// operations a comparison, and instances are searched on every setProperty.
inline size_t findByName(const CIMPropertyArray& a, const String& name)
{
	for (size_t i = 0; i < a.size(); ++i)
	{
		const String* n = StandInAccess::name(a[i]);
		if (n && n->equalsIgnoreCase(name))
		{
			return i;
		}
	}
	return String::npos;
}

inline size_t findByName(const CIMQualifierArray& a, const String& name)
{
	for (size_t i = 0; i < a.size(); ++i)
	{
		const auto* b = StandInAccess::body(a[i]);
		if (b && b->name.equalsIgnoreCase(name))
		{
			return i;
		}
	}
	return String::npos;
}

} // namespace impl
} // namespace OpenWBEM
