// Readable failure output for CIMValue in GoogleTest assertions: its type and text.
#pragma once

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
} // namespace OpenWBEM
