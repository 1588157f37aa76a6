// NoSuchPropertyException: thrown by the getXxxT() lookups when nothing has the name asked for.
#ifndef OW_NOSUCHPROPERTYEXCEPTION_HPP_INCLUDED
#define OW_NOSUCHPROPERTYEXCEPTION_HPP_INCLUDED
#include "OW_config.h"
#include "OW_Exception.hpp"

namespace OpenWBEM
{
OW_DECLARE_EXCEPTION(NoSuchProperty);
} // end namespace OpenWBEM

#endif
