#include "ZepPropertyTable.h"

#include <OW_CIMDataType.hpp>
#include <OW_Types.hpp>

#include <charconv>
#include <limits>
#include <system_error>

namespace zep {

void throwLimit(const char* cfgId, const std::string& text, const char* className, const char* property,
                long long limit) {
    const std::string description = text + "#" + cfgId + ",MOF_Props_" + className + "_" + property + "," +
                                    std::to_string(limit) + "#";
    throw CIMException(__FILE__, __LINE__, CIMException::INVALID_PARAMETER, description.c_str());
}

bool wholeNumberOf(const OpenWBEM::CIMValue& value, long long& number) {
    using namespace OpenWBEM;
    if (!value || value.isArray()) return false;
    switch (value.getType()) {
    case CIMDataType::UINT8: { UInt8 x; value.get(x); number = x; return true; }
    case CIMDataType::SINT8: { Int8 x; value.get(x); number = x; return true; }
    case CIMDataType::UINT16: { UInt16 x; value.get(x); number = x; return true; }
    case CIMDataType::SINT16: { Int16 x; value.get(x); number = x; return true; }
    case CIMDataType::UINT32: { UInt32 x; value.get(x); number = x; return true; }
    case CIMDataType::SINT32: { Int32 x; value.get(x); number = x; return true; }
    case CIMDataType::SINT64: { Int64 x; value.get(x); number = x; return true; }
    case CIMDataType::UINT64: {
        UInt64 x;
        value.get(x);
        number = x > static_cast<UInt64>(std::numeric_limits<long long>::max())
                     ? std::numeric_limits<long long>::max()
                     : static_cast<long long>(x);
        return true;
    }
    case CIMDataType::STRING: {
        // Decimal digits, with a sign: all of the text or nothing.
        const String text = value.toString();
        const char* begin = text.c_str();
        const char* end = begin + text.length();
        if (begin != end && *begin == '+') ++begin;
        const std::from_chars_result r = std::from_chars(begin, end, number);
        if (r.ptr != end || begin == end) return false;
        if (r.ec == std::errc::result_out_of_range)
            number = *begin == '-' ? std::numeric_limits<long long>::min() : std::numeric_limits<long long>::max();
        else if (r.ec != std::errc()) return false;
        return true;
    }
    default: return false;
    }
}

void throwNotANumber(const char* className, const char* property, long long maximum) {
    // The description carries the maximum's tag: what a client shows for it
    // ("must be <= max") holds for a value that is no number too.
    throwLimit(CFG_ID_ABOVE_MAXIMUM,
               std::string("The value of ") + property + " must be a whole number <= " + std::to_string(maximum) + "\n",
               className, property, maximum);
}

}  // namespace zep
