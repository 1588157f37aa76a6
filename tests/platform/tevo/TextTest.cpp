// Number and IPv4 address text conversions.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tevo.h"

namespace {

std::string itoa(uint32_t value, uint32_t radix, uint32_t flag = 1) {
    char buffer[40];
    std::memset(buffer, 'x', sizeof buffer);
    if (osItoaEx(value, buffer, radix, flag) != 0) return "<error>";
    return buffer;
}

TEST(TevoText, ItoaWritesPlainDigitsInAnyRadix) {
    EXPECT_EQ("0", itoa(0, 10));
    EXPECT_EQ("7", itoa(7, 10));
    EXPECT_EQ("1000", itoa(1000, 10));
    EXPECT_EQ("4294967295", itoa(4294967295u, 10));
    EXPECT_EQ("2147483648", itoa(2147483648u, 10)) << "read as signed somewhere";
    EXPECT_EQ("DEADBEEF", itoa(0xDEADBEEFu, 16, 1));
    EXPECT_EQ("deadbeef", itoa(0xDEADBEEFu, 16, 0));
    EXPECT_EQ(std::string(32, '1'), itoa(0xFFFFFFFFu, 2));
    EXPECT_EQ("10", itoa(36, 36));
    EXPECT_EQ("1Z141Z3", itoa(4294967295u, 36));
}

TEST(TevoText, ItoaRefusesBadRadixAndNullBufferWithoutWriting) {
    for (uint32_t radix : {0u, 1u, 37u, 0xFFFFFFFFu}) {
        char buffer[4] = {'k', 'e', 'p', 't'};
        EXPECT_NE(0u, osItoaEx(12, buffer, radix, 1)) << radix;
        EXPECT_EQ(0, std::memcmp(buffer, "kept", 4));
    }
    EXPECT_NE(0u, osItoaEx(12, nullptr, 10, 1));
}

TEST(TevoText, DottedTextBecomesAHostOrderAddress) {
    const struct {
        const char* text;
        uint32_t address;
    } good[] = {
        {"0.0.0.0", 0},
        {"255.255.255.255", 0xFFFFFFFFu},
        {"192.168.1.10", 0xC0A8010Au},
        {"10.0.0.1", 0x0A000001u},
        {"1.2.3.4", 0x01020304u},
        {"127.0.100.9", 0x7F006409u},
    };
    for (const auto& g : good) {
        uint32_t address = 0x5A5A5A5Au;
        EXPECT_EQ(0u, osTCPStringToAddress(g.text, &address)) << g.text;
        EXPECT_EQ(g.address, address) << g.text;
    }
}

TEST(TevoText, AnythingButFourDecimalNumbersIsRefusedAndLeavesTheResultAlone) {
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
    uint32_t address = 0;
    EXPECT_EQ(OS_ERR_INVALID_ARG, osTCPStringToAddress(nullptr, &address));
    EXPECT_EQ(OS_ERR_INVALID_ARG, osTCPStringToAddress("1.2.3.4", nullptr));
}

TEST(TevoText, AddressBecomesDottedTextAndBack) {
    for (uint32_t value : {0u, 0xFFFFFFFFu, 0xC0A8010Au, 0x01000080u, 0x80000001u}) {
        OS_TCP_ADDRESS address{0, 0, value};
        char buffer[32];
        std::memset(buffer, 'x', sizeof buffer);
        ASSERT_EQ(0u, osTCPAddressToString(&address, buffer));
        uint32_t back = ~value;
        EXPECT_EQ(0u, osTCPStringToAddress(buffer, &back)) << buffer;
        EXPECT_EQ(value, back) << buffer;
    }
    OS_TCP_ADDRESS address{0, 0, 0xC0A8010Au};
    char buffer[32];
    ASSERT_EQ(0u, osTCPAddressToString(&address, buffer));
    EXPECT_STREQ("192.168.1.10", buffer);
    EXPECT_EQ(OS_ERR_INVALID_ARG, osTCPAddressToString(nullptr, buffer));
    EXPECT_EQ(OS_ERR_INVALID_ARG, osTCPAddressToString(&address, nullptr));
}

}  // namespace
