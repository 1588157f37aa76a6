// The gateway simulator running before the provider is loaded: the provider's
// first connection attempt finds it, and the caches fill. A program of its
// own, because the provider can be loaded only once in a process.
#include <gtest/gtest.h>

#include "SystemFixture.hpp"

extern "C" int __lsan_is_turned_off() { return 1; }  // see system_test.cpp

namespace simtest {
namespace {

TEST(StartUpOrder, SimulatorFirstThenProvider) {
    useSandbox();
    Zepsim sim(ZEPSIM_PATH, {"--peer", kProviderProcess, "--announce-ms", "50", "--mode", "alder",
                                 "--terminals", "25"});
    // Nobody to announce to yet.
    const auto before = sim.status();
    EXPECT_EQ("absent", before.at("peer"));
    EXPECT_EQ("yes", before.at("announcing"));

    LoadedProvider& provider = LoadedProvider::get();
    ASSERT_TRUE(testsupport::waitUntil([&] {
        return provider.count(kModeClass) == 1 && provider.count("QEL_ZEPAlderSetting") == 1 &&
               provider.count("QEL_ZEPAlderTerminal") == 25;
    }));
    const auto after = sim.status();
    EXPECT_EQ("no", after.at("announcing"));
    EXPECT_EQ("1", after.at("req7"));
    EXPECT_EQ("0", after.at("refused"));
}

}  // namespace
}  // namespace simtest
