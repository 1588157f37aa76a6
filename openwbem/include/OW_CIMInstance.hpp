// CIMInstance: an instance of a CIM class: its class name, properties, key list and qualifiers.
#ifndef OW_CIMINSTANCE_HPP_INCLUDED
#define OW_CIMINSTANCE_HPP_INCLUDED
#include "OW_config.h"
#include "OW_CIMNULL.hpp"
#include "OW_CIMFwd.hpp"
#include "OW_CIMDataType.hpp"
#include "OW_CIMProperty.hpp"
#include "OW_CIMQualifier.hpp"
#include "OW_CIMValue.hpp"
#include "OW_WBEMFlags.hpp"
#include "OW_Array.hpp"
#include "OW_String.hpp"

namespace OpenWBEM
{

// A handle to a shared, copy-on-write body: copies are cheap and independent, and copies may be
// used in different threads. A handle made with the CIMNULL tag is null: it tests false and its
// other members throw an Exception. Properties keep the order in which they were added; names
// are matched case-insensitively.
//
// The key list (getKeyValuePairs) is what CIMObjectPath(ns, instance) takes its keys from. It is
// rebuilt from the properties whose isKey() holds whenever setProperties runs, or setProperty,
// updatePropertyValue or removeProperty touch such a property; appending a property with
// setProperty(name, value) leaves it alone.
class CIMInstance
{
	struct Data;
public:
	// No class name, no properties.
	CIMInstance();
	explicit CIMInstance(CIMNULL_t);
	explicit CIMInstance(const String& className);
	explicit CIMInstance(const char* className);
	CIMInstance(const CIMInstance& x);
	~CIMInstance();
	CIMInstance& operator=(const CIMInstance& x);

	String getClassName() const;
	CIMInstance& setClassName(const String& name);
	// The class name.
	String getName() const;

	// In the instance's order; with a type, only the properties declared with that type.
	CIMPropertyArray getProperties(Int32 valueDataType = CIMDataType::INVALID) const;
	CIMInstance& setProperties(const CIMPropertyArray& props);
	// The null property when absent.
	CIMProperty getProperty(const String& name) const;
	// Properties made here carry no origin class, so only an empty originClass finds one.
	CIMProperty getProperty(const String& name, const String& originClass) const;
	// Throws NoSuchPropertyException when absent.
	CIMProperty getPropertyT(const String& name) const;
	// The null value when absent or unset.
	CIMValue getPropertyValue(const String& name) const;
	bool propertyHasValue(const String& name) const;
	// An existing property of that name keeps its type and qualifiers and gets the value
	// (converted to its declared type); otherwise a new property, typed from the value (a null
	// value is allowed), is appended.
	CIMInstance& setProperty(const String& name, const CIMValue& cv);
	// Replaces a property of the same name wholesale, or appends it.
	CIMInstance& setProperty(const CIMProperty& prop);
	// Sets the value of an existing property of that name; does nothing when there is none.
	CIMInstance& updatePropertyValue(const CIMProperty& prop);
	CIMInstance& updatePropertyValues(const CIMPropertyArray& props);
	CIMInstance& removeProperty(const String& name);

	CIMPropertyArray getKeyValuePairs() const;
	CIMInstance& setKeys(const CIMPropertyArray& keys);

	CIMQualifierArray getQualifiers() const;
	CIMInstance& setQualifiers(const CIMQualifierArray& quals);
	// The null qualifier when absent.
	CIMQualifier getQualifier(const String& qualName) const;
	// Replaces a qualifier of the same name or appends.
	CIMInstance& setQualifier(const CIMQualifier& qual);
	CIMInstance& removeQualifier(const String& qualName);

	// A copy filtered for a reply: propertyList 0 keeps every property, an empty list none,
	// otherwise the named ones (any case); E_EXCLUDE_QUALIFIERS drops the instance's and the
	// properties' qualifiers. The key list is copied unchanged. Properties made here are never
	// propagated, so E_LOCAL_ONLY drops nothing, and they carry no class origin.
	CIMInstance clone(WBEMFlags::ELocalOnlyFlag localOnly,
		WBEMFlags::EIncludeQualifiersFlag includeQualifiers,
		WBEMFlags::EIncludeClassOriginFlag includeClassOrigin,
		const StringArray* propertyList) const;
	// The MOF text of the instance.
	String toString() const;
	String toMOF() const;

#if __cplusplus >= 201103L
	explicit operator bool() const { return m_p != 0; }
	bool operator!() const { return m_p == 0; }
#else
	typedef Data* CIMInstance::*safe_bool;
	operator safe_bool() const { return m_p ? &CIMInstance::m_p : 0; }
	safe_bool operator!() const { return m_p ? 0 : &CIMInstance::m_p; }
#endif

private:
	Data* m_p;
};

// Compare the class names only, case-insensitively.
bool operator==(const CIMInstance& x, const CIMInstance& y);
bool operator!=(const CIMInstance& x, const CIMInstance& y);

} // end namespace OpenWBEM

#endif
