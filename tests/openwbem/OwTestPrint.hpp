// Readable failure output for the stand-in's value types in GoogleTest assertions.
#pragma once

#include "OW_CIMObjectPath.hpp"
#include "OW_CIMValue.hpp"
#include "OW_String.hpp"

#include <ostream>

namespace OpenWBEM
{
inline void PrintTo(const CIMValue& v, std::ostream* os)
{
	*os << (v ? v.getCIMDataType().toString() : String("null")) << (v && v.isArray() ? "[]" : "")
		<< " " << v.toString();
}
inline void PrintTo(const CIMObjectPath& p, std::ostream* os)
{
	*os << (p ? p.toString() : String("(null path)"));
}
inline void PrintTo(const String& s, std::ostream* os)
{
	*os << '"' << s << '"';
}
} // namespace OpenWBEM
