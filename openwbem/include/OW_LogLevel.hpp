// Log levels, most severe first.
#ifndef OW_LOGLEVEL_HPP_INCLUDED
#define OW_LOGLEVEL_HPP_INCLUDED
#include "OW_config.h"

namespace OpenWBEM
{
enum ELogLevel
{
	E_FATAL_ERROR_LEVEL,
	E_ERROR_LEVEL,
	E_INFO_LEVEL,
	E_DEBUG_LEVEL
};
} // end namespace OpenWBEM

#endif
