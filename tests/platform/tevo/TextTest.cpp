// The number and IPv4 address texts the provider makes and checks: a DN in decimal, an address
// shown to a client, and an address a client sends, which must be four decimal numbers exactly.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tevo.h"

namespace {

TEST(TevoText, ItoaWritesPlainDecimalDigits) {
    for (uint32_t value : {0u, 7u, 1000u, 2147483648u, 4294967295u}) {
        char buffer[40];
        std::memset(buffer, 'x', sizeof buffer);
        ASSERT_EQ(0u, osItoaEx(value, buffer, 10, 1));
        EXPECT_EQ(std::to_string(value), buffer);
    }
}

TEST(TevoText, AddressTextIsFourDecimalNumbersInHostOrder) {
    const struct {
        const char* text;
        uint32_t address;
    } good[] = {
        {"0.0.0.0", 0},
        {"255.255.255.255", 0xFFFFFFFFu},
        {"192.168.1.10", 0xC0A8010Au},
        {"10.0.0.1", 0x0A000001u},
        {"1.0.0.128", 0x01000080u},
        {"128.0.0.1", 0x80000001u},
    };
    for (const auto& g : good) {
        uint32_t address = 0x5A5A5A5Au;
        EXPECT_EQ(0u, osTCPStringToAddress(g.text, &address)) << g.text;
        EXPECT_EQ(g.address, address) << g.text;
        OS_TCP_ADDRESS binary{0, 0, g.address};
        char buffer[32];
        std::memset(buffer, 'x', sizeof buffer);
        ASSERT_EQ(0u, osTCPAddressToString(&binary, buffer));
        EXPECT_STREQ(g.text, buffer);
    }

    const char* bad[] = {
        "", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1.2.3.256", "01.2.3.4", "1.2.3.00",
        "1.2.3.0004", "1234.1.1.1", "1..2.3", ".1.2.3", "1.2.3.", "1.2.3.4 ", " 1.2.3.4",
        "1.2.3.4\n", "+1.2.3.4", "1.2.3.-4", "0x1.2.3.4", "a.b.c.d", "1,2,3,4", "localhost",
        "4294967296.0.0.0", "99999999999999999999.1.1.1",
    };
    for (const char* text : bad) {
        uint32_t address = 0x5A5A5A5Au;
        EXPECT_EQ(OS_ERR_BAD_ADDRESS, osTCPStringToAddress(text, &address)) << '"' << text << '"';
        EXPECT_EQ(0x5A5A5A5Au, address) << '"' << text << '"';
    }
}

}  // namespace
