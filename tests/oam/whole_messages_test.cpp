// The link built for a framework whose callback argument after the class is
// not the body length (ZEP_MFW_CALLBACK_LENGTH OFF): every class-4 message is
// delivered as the record its buffer holds, whatever that argument says.
#include "LinkFixture.hpp"
#include "HulMfw.h"
#include "ZepOamUsrlib.h"

namespace linktest {
namespace {

sZepToOamEvents got;
uint32_t gotValue = 0;
int calls = 0;

void record(sZepToOamEvents* event, uint32_t value) {
    got = *event;
    gotValue = value;
    ++calls;
}

TEST_F(LinkTest, WithoutTheLengthEveryMessageIsDeliveredWhole) {
    init();
    ASSERT_EQ(ZEP_OAM_GATEWAY_NOT_FOUND, ConnectToZep(0, 0, 0, 1, record));
    std::vector<unsigned char> message(ZEP_ENVELOPE_CODE_OFFSET + sZepToOamEvents::kSize, 0xAB);
    zeprec::storeU32(&message[ZEP_ENVELOPE_FLAG_OFFSET], 0x1234);
    zeprec::storeU32(&message[ZEP_ENVELOPE_CODE_OFFSET], ZEP_EVT_MODE_RECORD);
    for (uint32_t argument : {0u, 3u, 0xFFFFFFFFu}) {
        calls = 0;
        ZepOamUsrlibCallback(ZEP_MFW_CLASS_ENVELOPE, argument, message.data(), 0);
        ASSERT_EQ(1, calls) << argument;
        EXPECT_EQ(ZEP_EVT_MODE_RECORD, got.getType());
        EXPECT_EQ(0xAB, got.raw[sZepToOamEvents::kSize - 1]);
        EXPECT_EQ(0x1234u, gotValue);
    }
}

}  // namespace
}  // namespace linktest
