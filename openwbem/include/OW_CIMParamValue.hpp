// CIMParamValue: a named method parameter value.
#ifndef OW_CIMPARAMVALUE_HPP_INCLUDED
#define OW_CIMPARAMVALUE_HPP_INCLUDED
#include "OW_config.h"
#include "OW_CIMNULL.hpp"
#include "OW_CIMFwd.hpp"
#include "OW_CIMValue.hpp"
#include "OW_String.hpp"

namespace OpenWBEM
{

// A handle to a shared, copy-on-write body: copies are cheap and independent, and copies may be
// used in different threads. A handle made with the CIMNULL tag is null: it tests false and its
// other members throw an Exception.
class CIMParamValue
{
	struct Data;
public:
	// No name, the null value.
	CIMParamValue();
	explicit CIMParamValue(CIMNULL_t);
	// The null value.
	explicit CIMParamValue(const String& name);
	// The value may be null.
	CIMParamValue(const String& name, const CIMValue& val);
	CIMParamValue(const CIMParamValue& x);
	~CIMParamValue();
	CIMParamValue& operator=(const CIMParamValue& x);

	String getName() const;
	CIMParamValue& setName(const String& name);
	CIMValue getValue() const;
	CIMParamValue& setValue(const CIMValue& val);
	// "<name>=<value's toString()>".
	String toString() const;

#if __cplusplus >= 201103L
	explicit operator bool() const { return m_p != 0; }
	bool operator!() const { return m_p == 0; }
#else
	typedef Data* CIMParamValue::*safe_bool;
	operator safe_bool() const { return m_p ? &CIMParamValue::m_p : 0; }
	safe_bool operator!() const { return m_p ? 0 : &CIMParamValue::m_p; }
#endif

private:
	Data* m_p;
};

} // end namespace OpenWBEM

#endif
