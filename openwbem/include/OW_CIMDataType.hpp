// CIMDataType: the CIM type of a property, parameter or value.
#ifndef OW_CIMDATATYPE_HPP_INCLUDED
#define OW_CIMDATATYPE_HPP_INCLUDED
#include "OW_config.h"
#include "OW_Types.hpp"
#include "OW_CIMNULL.hpp"
#include "OW_String.hpp"

namespace OpenWBEM
{

// A handle to a shared, immutable body; copies are cheap and may be used in different threads.
// A handle made with the CIMNULL tag is null: it tests false and its other members throw an
// Exception. The default-constructed type is not null but of type CIMNULL, and also tests false.
class CIMDataType
{
	struct Data;
public:
	enum Type
	{
		CIMNULL = 0,
		UINT8 = 1,
		SINT8 = 2,
		UINT16 = 3,
		SINT16 = 4,
		UINT32 = 5,
		SINT32 = 6,
		UINT64 = 7,
		SINT64 = 8,
		STRING = 9,
		BOOLEAN = 10,
		REAL32 = 11,
		REAL64 = 12,
		DATETIME = 13,
		CHAR16 = 14,
		REFERENCE = 15,
		EMBEDDEDCLASS = 16,
		EMBEDDEDINSTANCE = 17,
		MAXDATATYPE = 18,
		INVALID = 99
	};

	CIMDataType();
	explicit CIMDataType(CIMNULL_t);
	// A scalar of the type.
	CIMDataType(Type type);
	// An array of the type; a size below 1 means unbounded.
	CIMDataType(Type type, Int32 size);
	// A scalar REFERENCE to the class named.
	explicit CIMDataType(const String& refClassName);
	CIMDataType(const CIMDataType& arg);
	~CIMDataType();
	CIMDataType& operator=(const CIMDataType& arg);

	Type getType() const;
	bool isArrayType() const;
	// UINT8 to SINT64, REAL32 and REAL64.
	bool isNumericType() const;
	bool isReferenceType() const;
	// 1 for a scalar, 0 for an unbounded array, else the array's bound.
	Int32 getSize() const;
	// The referenced class of a REFERENCE type made from a class name; "" otherwise.
	String getRefClassName() const;
	// Same type, array-ness, size and (case-insensitively) referenced class.
	bool equals(const CIMDataType& arg) const;
	// The CIM-XML name of the base type ("uint16", "string", "boolean", "reference", ...),
	// without any array marker.
	String toString() const;

#if __cplusplus >= 201103L
	explicit operator bool() const { return isTrue(); }
	bool operator!() const { return !isTrue(); }
#else
	typedef Data* CIMDataType::*safe_bool;
	operator safe_bool() const { return isTrue() ? &CIMDataType::m_p : 0; }
	safe_bool operator!() const { return isTrue() ? 0 : &CIMDataType::m_p; }
#endif

private:
	bool isTrue() const;

	Data* m_p;
};

} // end namespace OpenWBEM

#endif
