// Conversion of a CIMValue to another CIM type, and the exception of a strict get().
#ifndef OW_CIMVALUECAST_HPP_INCLUDED
#define OW_CIMVALUECAST_HPP_INCLUDED
#include "OW_config.h"
#include "OW_Exception.hpp"
#include "OW_CIMValue.hpp"
#include "OW_CIMDataType.hpp"

namespace OpenWBEM
{

// Thrown by CIMValue::get() and toXxx() when the type asked for is not the stored one.
// Not a CIMException.
OW_DECLARE_EXCEPTION(ValueCast);

namespace CIMValueCast
{
	// The value converted through its text form to the type given (scalar to scalar, array to
	// array, element by element). The same type gives the same value back; a null value or a
	// null type gives the null value. An incompatible type or a number out of range throws a
	// CIMException with FAILED.
	CIMValue castValueToDataType(const CIMValue& value, const CIMDataType& dataType);
} // end namespace CIMValueCast

} // end namespace OpenWBEM

#endif
