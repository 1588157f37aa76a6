// RedirectSet counts from 1 in each terminal class, for the life of the
// library: this program holds the one test that redirects, so that it sees
// the counters as loading left them.
#include "HulMfw.h"
#include "TerminalTestSupport.hpp"

using namespace terminaltest;

namespace {

unsigned redirect(const CIMObjectPath& path) {
    CIMParamValueArray in, out;
    const CIMValue result = invoke(path, "RedirectSet", in, out);
    EXPECT_EQ(CIMDataType::UINT32, result.getType());
    EXPECT_TRUE(out.empty());
    return result.toUInt32();
}

Bytes redirectRequest(uint32_t dn) { return cat({word(0xFFFFFFFF), word(dn)}); }

TEST(TerminalRedirect, EachClassCountsItsOwnRedirectionsFromOne) {
    resetCaches();
    deliver(sZepToOamEvents::ipsetRecord(terminal(4000, ZEP_MOTYPE_CEDAR, mac(1))));
    deliver(sZepToOamEvents::ipsetRecord(terminal(4001, ZEP_MOTYPE_CEDAR, mac(2))));
    deliver(sZepToOamEvents::ipsetRecord(terminal(4000, ZEP_MOTYPE_ALDER, mac(1))));
    takeRequests();

    CIMParamValueArray in, out;
    EXPECT_EQ(CIMException::NOT_FOUND, cimErrorOf([&] { invoke(pathOf(kCedar, 9), "RedirectSet", in, out); }));
    EXPECT_TRUE(takeRequests().empty());

    EXPECT_EQ(1u, redirect(pathOf(kCedar, 4001)));
    EXPECT_EQ(2u, redirect(pathOf(kCedar, 4000)));
    EXPECT_EQ(1u, redirect(pathOf(kAlder, 4000)));
    const auto sent = takeRequests();
    ASSERT_EQ(3u, sent.size());
    for (const SentRequest& r : sent) EXPECT_EQ(ZEP_REQ_REDIRECT_IPSET, r.code);
    EXPECT_EQ(redirectRequest(4001), sent[0].payload);
    EXPECT_EQ(redirectRequest(4000), sent[1].payload);
    EXPECT_EQ(redirectRequest(4000), sent[2].payload);

    // A redirection the gateway did not get is an error and is not counted.
    refuseSendsAfter(0, HUL_ERR_NO_PROCESS);
    std::string description;
    EXPECT_EQ(CIMException::FAILED,
              cimErrorOf([&] { invoke(pathOf(kCedar, 4000), "RedirectSet", in, out); }, &description));
    EXPECT_EQ("#3#", description);
    refuseSendsAfter(UINT64_MAX, 0);
    EXPECT_EQ(3u, redirect(pathOf(kCedar, 4000)));
    resetCaches();
}

}  // namespace
