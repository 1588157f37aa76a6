// Request values (text as the client sent it) to CIM values of the declared
// type. Numbers must be plain decimal and in range, booleans are true or false
// in any case; anything else is a conversion error that the operations answer
// with CIM error 4 (invalid parameter).
//
// Pure functions; the repository is only read. Safe from any thread.
#pragma once

#include <string>

#include <OW_CIMObjectPath.hpp>
#include <OW_CIMValue.hpp>

#include "ClassModel.hpp"
#include "CimXmlRequest.hpp"

namespace cimhost {

struct ConversionError {
    std::string text;
};

// One scalar of the named CIM-XML type ("uint8" ... "string"); throws ConversionError.
OpenWBEM::CIMValue scalarFromText(const std::string& typeName, const std::string& text);

// A request value to the declared type: null stays null, a scalar or array is
// converted item by item, a reference becomes a CIMObjectPath typed by the
// repository. Throws ConversionError when kind or text does not fit the type.
OpenWBEM::CIMValue convertValue(const XmlValue& v, const TypeRef& type, const ClassRepository& repo,
                                const std::string& defaultNs);

// An instance name to a path in namespace ns. With the class known, keys are
// matched by name in any case, typed as declared and put in declared order;
// keys the class does not declare are dropped. Throws ConversionError.
OpenWBEM::CIMObjectPath convertInstanceName(const InstanceName& name, const std::string& ns,
                                            const ClassRepository& repo);

// The type of a value given without a declaration: the TYPE attribute's type
// when it names one, else a string.
TypeRef typeFromAttribute(const std::string& typeAttr, bool isArray);

}  // namespace cimhost
