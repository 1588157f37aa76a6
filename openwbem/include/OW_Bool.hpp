// Bool: a boolean with a text form. A class rather than a typedef so that CIMValue can tell a
// boolean from an integer and so that no pointer ever converts to it.
#ifndef OW_BOOL_HPP_INCLUDED
#define OW_BOOL_HPP_INCLUDED
#include "OW_config.h"
#include "OW_Types.hpp"
#include <iosfwd>

namespace OpenWBEM
{
class String;

// A plain value; safe to copy between threads.
class Bool
{
public:
	Bool() : m_val(false) {}
	Bool(bool val) : m_val(val) {}
	Bool(const Bool& arg) : m_val(arg.m_val) {}
	Bool& operator=(const Bool& arg) { m_val = arg.m_val; return *this; }
	operator bool() const { return m_val; }
	bool operator!() const { return !m_val; }
	bool operator==(bool arg) const { return m_val == arg; }
	bool operator==(const Bool& arg) const { return m_val == arg.m_val; }
	bool operator!=(bool arg) const { return m_val != arg; }
	bool operator!=(const Bool& arg) const { return m_val != arg.m_val; }
	// "true" or "false".
	String toString() const;
	friend bool operator<(const Bool& b1, const Bool& b2) { return b1.m_val < b2.m_val; }

private:
	// Declared and never defined: a pointer must not silently become a Bool.
	Bool(const void*);
	Bool(void*);
	Bool(volatile const void*);
	Bool(volatile void*);

	bool m_val;
};

// Prints true or false.
std::ostream& operator<<(std::ostream& ostrm, const Bool& arg);

} // end namespace OpenWBEM

#endif
