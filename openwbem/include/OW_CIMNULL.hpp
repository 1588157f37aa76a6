// CIMNULL: the tag that constructs a null CIM handle, e.g. CIMValue(CIMNULL).
#ifndef OW_CIMNULL_HPP_INCLUDED
#define OW_CIMNULL_HPP_INCLUDED
#include "OW_config.h"

namespace OpenWBEM
{
enum CIMNULL_t { CIMNULL };
} // end namespace OpenWBEM

#endif
