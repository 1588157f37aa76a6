// CIMClass: a CIM class as the object manager passes it to a provider.
#ifndef OW_CIMCLASS_HPP_INCLUDED
#define OW_CIMCLASS_HPP_INCLUDED
#include "OW_config.h"
#include "OW_CIMNULL.hpp"
#include "OW_CIMFwd.hpp"
#include "OW_String.hpp"

namespace OpenWBEM
{

// Only the class name is carried: providers treat the class as opaque, and a host keeps its
// class definitions (properties, keys, methods) in its own tables. A handle to a shared,
// immutable body; copies may be used in different threads. A handle made with the CIMNULL tag
// is null: it tests false and its other members throw an Exception.
class CIMClass
{
	struct Data;
public:
	// The class with the empty name.
	CIMClass();
	explicit CIMClass(CIMNULL_t);
	explicit CIMClass(const String& name);
	explicit CIMClass(const char* name);
	CIMClass(const CIMClass& x);
	~CIMClass();
	CIMClass& operator=(const CIMClass& x);

	String getName() const;

#if __cplusplus >= 201103L
	explicit operator bool() const { return m_p != 0; }
	bool operator!() const { return m_p == 0; }
#else
	typedef Data* CIMClass::*safe_bool;
	operator safe_bool() const { return m_p ? &CIMClass::m_p : 0; }
	safe_bool operator!() const { return m_p ? 0 : &CIMClass::m_p; }
#endif

private:
	Data* m_p;
};

} // end namespace OpenWBEM

#endif
