// CIMProperty: a named, typed value of an instance, or a key of an object path.
#ifndef OW_CIMPROPERTY_HPP_INCLUDED
#define OW_CIMPROPERTY_HPP_INCLUDED
#include "OW_config.h"
#include "OW_CIMNULL.hpp"
#include "OW_CIMFwd.hpp"
#include "OW_CIMDataType.hpp"
#include "OW_CIMValue.hpp"
#include "OW_CIMQualifier.hpp"
#include "OW_Array.hpp"
#include "OW_String.hpp"

namespace OpenWBEM
{

// A handle to a shared, copy-on-write body: copies are cheap and independent (a property taken
// from an instance must be written back with setProperty after changing it), and copies may be
// used in different threads. A handle made with the CIMNULL tag is null: it tests false and its
// other members throw an Exception.
class CIMProperty
{
	struct Data;
public:
	// No name, no type, no value.
	CIMProperty();
	explicit CIMProperty(CIMNULL_t);
	explicit CIMProperty(const String& name);
	explicit CIMProperty(const char* name);
	// Typed from the value, so the value must not be null (that throws).
	CIMProperty(const String& name, const CIMValue& value);
	// Typed, with the null value.
	CIMProperty(const String& name, const CIMDataType& dataType);
	CIMProperty(const CIMProperty& x);
	~CIMProperty();
	CIMProperty& operator=(const CIMProperty& x);

	String getName() const;
	void setName(const String& name);
	// The null value when unset.
	CIMValue getValue() const;
	// Throws NULLValueException when unset.
	CIMValue getValueT() const;
	// A value of another type than the declared one is converted with
	// CIMValueCast::castValueToDataType (which throws CIMException FAILED when it cannot); an
	// untyped property takes the value's type.
	CIMProperty& setValue(const CIMValue& value);
	CIMDataType getDataType() const;
	// Sets the declared type; the current value is kept as it is.
	CIMProperty& setDataType(const CIMDataType& dataType);
	CIMProperty& setDataType(const CIMDataType::Type& dataType);

	CIMQualifierArray getQualifiers() const;
	CIMProperty& setQualifiers(const CIMQualifierArray& quals);
	// Case-insensitive; the null qualifier when absent.
	CIMQualifier getQualifier(const String& name) const;
	// Replaces a qualifier of the same name (any case) or appends.
	CIMProperty& setQualifier(const CIMQualifier& qual);
	// Appends; a qualifier of the same name already there throws CIMException ALREADY_EXISTS.
	CIMProperty& addQualifier(const CIMQualifier& qual);
	bool removeQualifier(const String& name);
	CIMProperty& clearQualifiers();
	// A scalar BOOLEAN qualifier of that name whose value is true.
	bool hasTrueQualifier(const String& name) const;
	// A true Key qualifier, or a REFERENCE data type.
	bool isKey() const;
	bool isReference() const;
	// "<type>:<name>=<value>", "null" for the null value.
	String toString() const;

#if __cplusplus >= 201103L
	explicit operator bool() const { return m_p != 0; }
	bool operator!() const { return m_p == 0; }
#else
	typedef Data* CIMProperty::*safe_bool;
	operator safe_bool() const { return m_p ? &CIMProperty::m_p : 0; }
	safe_bool operator!() const { return m_p ? 0 : &CIMProperty::m_p; }
#endif

private:
	friend struct StandInAccess;   // the library's own name lookups read the body in place

	Data* m_p;
};

// Compare the names only, case-insensitively: not the values.
bool operator==(const CIMProperty& x, const CIMProperty& y);
bool operator!=(const CIMProperty& x, const CIMProperty& y);

} // end namespace OpenWBEM

#endif
