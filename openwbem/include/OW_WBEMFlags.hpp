// The flags of the CIM operations, as distinct enum types so that they cannot be mixed up.
#ifndef OW_WBEMFLAGS_HPP_INCLUDED
#define OW_WBEMFLAGS_HPP_INCLUDED
#include "OW_config.h"

namespace OpenWBEM
{
namespace WBEMFlags
{
enum EDeepFlag { E_SHALLOW, E_DEEP };
enum ELocalOnlyFlag { E_NOT_LOCAL_ONLY, E_LOCAL_ONLY };
enum EIncludeQualifiersFlag { E_EXCLUDE_QUALIFIERS, E_INCLUDE_QUALIFIERS };
enum EIncludeClassOriginFlag { E_EXCLUDE_CLASS_ORIGIN, E_INCLUDE_CLASS_ORIGIN };
enum EEnumSubclassesFlag { E_DONT_ENUM_SUBCLASSES, E_ENUM_SUBCLASSES };
} // end namespace WBEMFlags
} // end namespace OpenWBEM

#endif
