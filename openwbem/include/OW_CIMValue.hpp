// CIMValue: a typed CIM value (scalar or array), or the null value.
#ifndef OW_CIMVALUE_HPP_INCLUDED
#define OW_CIMVALUE_HPP_INCLUDED
#include "OW_config.h"
#include "OW_Types.hpp"
#include "OW_CIMNULL.hpp"
#include "OW_CIMFwd.hpp"
#include "OW_CIMDataType.hpp"
#include "OW_String.hpp"
#include "OW_Bool.hpp"

namespace OpenWBEM
{

// A value held inside the object itself, with no body of its own on the heap (a string, an
// array or an object handle inside it keeps its own storage). Copies are independent values:
// changing or destroying one never affects another, and copies may be used in different threads
// (each object by one thread at a time). The CIM type is the C++ type of the constructor's
// argument (CIMValue(5) is SINT32, CIMValue(UInt16(5)) UINT16), which is why every constructor
// is explicit and there is no default one.
//
// The null value (CIMValue(CIMNULL), setNull()) tests false; toString() gives "(null)" and
// comparisons work, every other member throws an Exception. An assignment that fails (a copied
// string running out of memory) leaves the target null.
//
// get() and the toXxx() members are strict: the C++ type asked for must be the stored CIM type
// (array-ness included), otherwise they throw ValueCastException. The one exception is a scalar
// SINT64, the type of untyped numbers: any numeric get() on it succeeds by a plain C++ cast.
class CIMValue
{
public:
	explicit CIMValue(CIMNULL_t);
	CIMValue(const CIMValue& x);
#if __cplusplus >= 201103L
	// Takes the value over; x is left holding a value of its type, possibly emptied.
	CIMValue(CIMValue&& x) noexcept;
	CIMValue& operator=(CIMValue&& x) noexcept;
#endif
	explicit CIMValue(Bool x);
	explicit CIMValue(bool x);
	explicit CIMValue(UInt8 x);
	explicit CIMValue(Int8 x);
	explicit CIMValue(UInt16 x);
	explicit CIMValue(Int16 x);
	explicit CIMValue(UInt32 x);
	explicit CIMValue(Int32 x);
	explicit CIMValue(UInt64 x);
	explicit CIMValue(Int64 x);
	explicit CIMValue(Real32 x);
	explicit CIMValue(Real64 x);
	explicit CIMValue(const String& x);
	explicit CIMValue(const char* x);
	explicit CIMValue(const CIMObjectPath& x);
	explicit CIMValue(const CIMClass& x);
	explicit CIMValue(const CIMInstance& x);
	explicit CIMValue(const BoolArray& x);
	explicit CIMValue(const UInt8Array& x);
	explicit CIMValue(const Int8Array& x);
	explicit CIMValue(const UInt16Array& x);
	explicit CIMValue(const Int16Array& x);
	explicit CIMValue(const UInt32Array& x);
	explicit CIMValue(const Int32Array& x);
	explicit CIMValue(const UInt64Array& x);
	explicit CIMValue(const Int64Array& x);
	explicit CIMValue(const Real32Array& x);
	explicit CIMValue(const Real64Array& x);
	explicit CIMValue(const StringArray& x);
	explicit CIMValue(const CIMObjectPathArray& x);
	explicit CIMValue(const CIMClassArray& x);
	explicit CIMValue(const CIMInstanceArray& x);
	~CIMValue();

private:
	// Declared and never defined: a pointer must not silently become a value.
	CIMValue(const void*);
	CIMValue(void*);
	CIMValue(volatile const void*);
	CIMValue(volatile void*);

public:
	void get(Bool& x) const;
	void get(UInt8& x) const;
	void get(Int8& x) const;
	void get(UInt16& x) const;
	void get(Int16& x) const;
	void get(UInt32& x) const;
	void get(Int32& x) const;
	void get(UInt64& x) const;
	void get(Int64& x) const;
	void get(Real32& x) const;
	void get(Real64& x) const;
	void get(String& x) const;
	void get(CIMObjectPath& x) const;
	void get(CIMClass& x) const;
	void get(CIMInstance& x) const;
	void get(BoolArray& x) const;
	void get(UInt8Array& x) const;
	void get(Int8Array& x) const;
	void get(UInt16Array& x) const;
	void get(Int16Array& x) const;
	void get(UInt32Array& x) const;
	void get(Int32Array& x) const;
	void get(UInt64Array& x) const;
	void get(Int64Array& x) const;
	void get(Real32Array& x) const;
	void get(Real64Array& x) const;
	void get(StringArray& x) const;
	void get(CIMObjectPathArray& x) const;
	void get(CIMClassArray& x) const;
	void get(CIMInstanceArray& x) const;

	Bool toBool() const;
	UInt8 toUInt8() const;
	Int8 toInt8() const;
	UInt16 toUInt16() const;
	Int16 toInt16() const;
	UInt32 toUInt32() const;
	Int32 toInt32() const;
	UInt64 toUInt64() const;
	Int64 toInt64() const;
	Real32 toReal32() const;
	Real64 toReal64() const;
	CIMObjectPath toCIMObjectPath() const;
	CIMClass toCIMClass() const;
	CIMInstance toCIMInstance() const;
	BoolArray toBoolArray() const;
	UInt8Array toUInt8Array() const;
	Int8Array toInt8Array() const;
	UInt16Array toUInt16Array() const;
	Int16Array toInt16Array() const;
	UInt32Array toUInt32Array() const;
	Int32Array toInt32Array() const;
	UInt64Array toUInt64Array() const;
	Int64Array toInt64Array() const;
	Real32Array toReal32Array() const;
	Real64Array toReal64Array() const;
	StringArray toStringArray() const;
	CIMObjectPathArray toCIMObjectPathArray() const;
	CIMClassArray toCIMClassArray() const;
	CIMInstanceArray toCIMInstanceArray() const;

	// Element count of an array value; 1 for a scalar.
	UInt32 getArraySize() const;
	CIMDataType::Type getType() const;
	CIMDataType getCIMDataType() const;
	bool isArray() const;
	bool isNumericType() const;
	// Same CIM type and array-ness.
	bool sameType(const CIMValue& obj) const;

	// Display text: "(null)"; a string as it is; true/false; integers in decimal; reals with six
	// significant digits; a reference as the path's toString(); array elements joined by ","
	// (real arrays in fixed "%f" notation).
	String toString() const;
	// MOF literal: strings quoted and escaped, arrays in braces.
	String toMOF() const;

	void setNull();
	CIMValue& set(const CIMValue& val);
	CIMValue& operator=(const CIMValue& x);

	// Two nulls are equal; null and non-null are not; otherwise type, array-ness and content
	// must match (CIMValue(UInt16(5)) is not CIMValue(UInt32(5))).
	bool equal(const CIMValue& x) const;
	bool operator==(const CIMValue& x) const;
	bool operator!=(const CIMValue& x) const;
	// A total order: null first, then by type, then by content.
	bool operator<(const CIMValue& x) const;
	bool operator<=(const CIMValue& x) const;
	bool operator>(const CIMValue& x) const;
	bool operator>=(const CIMValue& x) const;

#if __cplusplus >= 201103L
	explicit operator bool() const { return holdsValue(); }
	bool operator!() const { return !holdsValue(); }
#else
	typedef void (CIMValue::*safe_bool)() const;
	operator safe_bool() const { return holdsValue() ? &CIMValue::safeBoolTrue : 0; }
	safe_bool operator!() const { return holdsValue() ? 0 : &CIMValue::safeBoolTrue; }
#endif

private:
	// Only the source knows how null is stored, so the truth test asks it.
	bool holdsValue() const;
	void safeBoolTrue() const {}

	// The source keeps its tagged union of every supported type (the null value being one more
	// member of it) in here. The largest member is a String or an 8-byte number; the other
	// 8 bytes hold the tag with the padding that the 8-byte alignment adds. The source checks
	// that size and alignment suffice.
	union Storage
	{
		Int64 m_int;
		Real64 m_real;
		void* m_ptr;
		unsigned char m_bytes[(sizeof(String) > sizeof(Int64) ? sizeof(String) : sizeof(Int64))
			+ sizeof(Int64)];
	};
	Storage m_storage;
};

} // end namespace OpenWBEM

#endif
