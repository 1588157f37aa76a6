// NULLValueException: thrown by CIMProperty::getValueT() on a property without a value.
#ifndef OW_NULLVALUEEXCEPTION_HPP_INCLUDED
#define OW_NULLVALUEEXCEPTION_HPP_INCLUDED
#include "OW_config.h"
#include "OW_Exception.hpp"

namespace OpenWBEM
{
OW_DECLARE_EXCEPTION(NULLValue);
} // end namespace OpenWBEM

#endif
