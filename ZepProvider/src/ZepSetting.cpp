#include "ZepSetting.h"

#include "tevo.h"

namespace zep {

int readAddress(uint32_t field, std::string& value) {
    OS_TCP_ADDRESS address = {};
    address.family = 0;
    address.address = field;
    // The platform asks for 32 bytes; start empty in case it writes nothing.
    char text[32] = {0};
    osTCPAddressToString(&address, text);
    text[sizeof text - 1] = '\0';
    value = text;
    return kPropertyOk;
}

uint32_t parseAddress(const std::string& text, uint32_t& address) {
    uint32_t converted = 0;
    const uint32_t rc = osTCPStringToAddress(text.c_str(), &converted);
    if (rc == 0) address = converted;
    return rc;
}

}  // namespace zep
