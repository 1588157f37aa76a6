// What the integration tests share: the provider loaded into the test process,
// a zepsim started per test, and predicates over the provider's seven caches.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "LoadedProvider.hpp"
#include "TestSupport.hpp"
#include "Zepsim.hpp"

namespace simtest {

using testsupport::Zepsim;

#ifndef ZEP_DEADLINE_SCALE
#define ZEP_DEADLINE_SCALE 1
#endif
// The provider notices a gateway's end by polling once a second: 2 s to empty
// every cache and 3 s to fill them again are its deadlines here, stretched for
// the sanitizer builds, which run everything several times slower.
inline std::chrono::milliseconds deadline(int ms) { return std::chrono::milliseconds(ms * ZEP_DEADLINE_SCALE); }

inline std::size_t typeIndex(const std::string& type) {
    return type == "cedar" ? 0 : type == "alder" ? 1 : 2;
}

class SystemTest : public ::testing::Test {
protected:
    static LoadedProvider& provider() { return LoadedProvider::get(); }

    void SetUp() override {
        useSandbox();
        provider();
        // A gateway of an earlier test is gone, and the provider has seen it go.
        ASSERT_TRUE(testsupport::waitUntil([] { return allEmpty(); }));
    }
    void TearDown() override {
        sim.reset();
        EXPECT_TRUE(testsupport::waitUntil([] { return allEmpty(); })) << cacheCounts();
    }

    // A zepsim announcing to this process, once the provider has answered its
    // link-up. Until then the provider does not watch the gateway: records a
    // test made it send would fill caches that its end could not empty, and
    // its next announcement may come only after the test is over.
    static std::unique_ptr<Zepsim> start(std::vector<std::string> args) {
        args.insert(args.begin(), {"--peer", kProviderProcess, "--announce-ms", "50"});
        auto sim = std::make_unique<Zepsim>(ZEPSIM_PATH, args);
        EXPECT_TRUE(testsupport::waitUntil([&] { return sim->counter("req7") > 0; })) << "no link-up answered";
        return sim;
    }

    // "class=count" of every non-empty cache; empty when all are.
    static std::string cacheCounts() {
        std::string out;
        for (const char* c : kAllClasses) {
            if (const std::size_t n = provider().count(c))
                out += std::string(out.empty() ? "" : " ") + c + "=" + std::to_string(n);
        }
        return out;
    }
    static bool allEmpty() { return cacheCounts().empty(); }
    // The mode, the active type's setting and exactly its n terminals; no
    // setting or terminal of another type.
    static bool filled(const std::string& type, std::size_t terminals) {
        if (provider().count(kModeClass) != 1) return false;
        for (std::size_t t = 0; t < 3; ++t) {
            const bool active = t == typeIndex(type);
            if (provider().count(kSettingClasses[t]) != (active ? 1u : 0u)) return false;
            if (provider().count(kTerminalClasses[t]) != (active ? terminals : 0u)) return false;
        }
        return true;
    }

    std::unique_ptr<Zepsim> sim;
};

}  // namespace simtest
