// Fixed-width integer and real types of the provider API (LP64 Linux widths).
#ifndef OW_TYPES_HPP_INCLUDED
#define OW_TYPES_HPP_INCLUDED
#include "OW_config.h"
#include <cstddef>

#define OW_SHAREDLIB_EXTENSION ".so"
#define OW_FILENAME_SEPARATOR "/"

namespace OpenWBEM
{
typedef unsigned char  UInt8;
typedef signed char    Int8;
typedef unsigned short UInt16;
typedef short          Int16;
typedef unsigned int   UInt32;
typedef int            Int32;
// long, not long long: size_t must match UInt64 exactly in overload resolution.
typedef unsigned long  UInt64;
typedef long           Int64;
typedef float          Real32;
typedef double         Real64;
} // end namespace OpenWBEM

#endif
