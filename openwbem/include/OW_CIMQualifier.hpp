// CIMQualifier: a named value attached to a class, instance or property (Key, Provider, ...).
#ifndef OW_CIMQUALIFIER_HPP_INCLUDED
#define OW_CIMQUALIFIER_HPP_INCLUDED
#include "OW_config.h"
#include "OW_CIMNULL.hpp"
#include "OW_CIMFwd.hpp"
#include "OW_String.hpp"

namespace OpenWBEM
{

// A handle to a shared, copy-on-write body: copies are cheap and independent, and copies may
// be used in different threads. A handle made with the CIMNULL tag is null: it tests false and
// its other members throw an Exception.
class CIMQualifier
{
	struct Data;
public:
	static const char* const CIM_QUAL_KEY;          // "Key"
	static const char* const CIM_QUAL_PROVIDER;     // "Provider"
	static const char* const CIM_QUAL_ASSOCIATION;  // "Association"

	// No name, no value.
	CIMQualifier();
	explicit CIMQualifier(CIMNULL_t);
	CIMQualifier(const String& name);
	CIMQualifier(const char* name);
	CIMQualifier(const CIMQualifier& x);
	~CIMQualifier();
	CIMQualifier& operator=(const CIMQualifier& x);

	String getName() const;
	void setName(const String& name);
	// The null value when none was set.
	CIMValue getValue() const;
	CIMQualifier& setValue(const CIMValue& value);
	bool hasValue() const;
	// The name is "Key" in any case.
	bool isKeyQualifier() const;
	// "Key" with the BOOLEAN value true.
	static CIMQualifier createKeyQualifier();

#if __cplusplus >= 201103L
	explicit operator bool() const { return m_p != 0; }
	bool operator!() const { return m_p == 0; }
#else
	typedef Data* CIMQualifier::*safe_bool;
	operator safe_bool() const { return m_p ? &CIMQualifier::m_p : 0; }
	safe_bool operator!() const { return m_p ? 0 : &CIMQualifier::m_p; }
#endif

private:
	friend struct StandInAccess;   // the library's own name lookups read the body in place

	Data* m_p;
};

} // end namespace OpenWBEM

#endif
