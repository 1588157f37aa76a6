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

// A value: the name, value, type and qualifiers are held in the object itself, so an instance's
// properties lie side by side in its array. Copies are independent values (a property taken from
// an instance is a copy: after changing it, write it back with setProperty), and copies may be
// used and changed in different threads, each object by one thread at a time. A property made
// with the CIMNULL tag is null: it tests false and its other members throw an Exception.
class CIMProperty
{
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
#if __cplusplus >= 201103L
	// Takes the fields over; x keeps its nullness with emptied fields.
	CIMProperty(CIMProperty&& x) noexcept;
	CIMProperty& operator=(CIMProperty&& x) noexcept;
#endif
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
	explicit operator bool() const { return !m_null; }
	bool operator!() const { return m_null; }
#else
	typedef bool CIMProperty::*safe_bool;
	operator safe_bool() const { return m_null ? 0 : &CIMProperty::m_null; }
	safe_bool operator!() const { return m_null ? &CIMProperty::m_null : 0; }
#endif

private:
	friend struct StandInAccess;   // the library's own name lookups read m_name in place

	// A null property keeps empty fields: copying and destroying it cost next to nothing.
	String m_name;
	CIMValue m_value;
	CIMDataType m_type;
	CIMQualifierArray m_qualifiers;
	bool m_null;
};

// Compare the names only, case-insensitively: not the values.
bool operator==(const CIMProperty& x, const CIMProperty& y);
bool operator!=(const CIMProperty& x, const CIMProperty& y);

} // end namespace OpenWBEM

#endif
