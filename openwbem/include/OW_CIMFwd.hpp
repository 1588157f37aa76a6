// Forward declarations of the CIM classes and the typedefs of their arrays.
#ifndef OW_CIMFWD_HPP_INCLUDED
#define OW_CIMFWD_HPP_INCLUDED
#include "OW_config.h"
#include "OW_ArrayFwd.hpp"

namespace OpenWBEM
{
class CIMDataType;
class CIMValue;
class CIMQualifier;
class CIMProperty;
class CIMInstance;
class CIMObjectPath;
class CIMParamValue;
class CIMClass;

typedef Array<CIMValue>      CIMValueArray;
typedef Array<CIMQualifier>  CIMQualifierArray;
typedef Array<CIMProperty>   CIMPropertyArray;
typedef Array<CIMInstance>   CIMInstanceArray;
typedef Array<CIMObjectPath> CIMObjectPathArray;
typedef Array<CIMParamValue> CIMParamValueArray;
typedef Array<CIMClass>      CIMClassArray;
} // end namespace OpenWBEM

#endif
