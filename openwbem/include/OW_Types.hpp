// Fixed-width integer and real types of the provider API (LP64 Linux widths;
// the 64-bit types stay 64 bits wide on a 32-bit target).
#ifndef OW_TYPES_HPP_INCLUDED
#define OW_TYPES_HPP_INCLUDED
#include "OW_config.h"
#include <cstddef>
#include <climits>

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
#if ULONG_MAX > 0xFFFFFFFFUL
// long, not long long: size_t must match UInt64 exactly in overload resolution.
typedef unsigned long  UInt64;
typedef long           Int64;
#else
// A 32-bit target (the product's): long has only 32 bits there.
typedef unsigned long long UInt64;
typedef long long          Int64;
#endif
typedef float          Real32;
typedef double         Real64;
} // end namespace OpenWBEM

#endif
