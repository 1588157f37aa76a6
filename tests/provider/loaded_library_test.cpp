// The built library as the object manager meets it: opened with dlopen,
// created through its factory, initialised, and driven through every
// operation of QEL_ZEPModeSetting while a zepsim gateway process feeds it
// through the real message framework.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <OW_Bool.hpp>
#include <OW_CIMClass.hpp>
#include <OW_CIMException.hpp>
#include <OW_CIMInstance.hpp>
#include <OW_CIMObjectPath.hpp>
#include <OW_CIMParamValue.hpp>
#include <OW_CIMProperty.hpp>
#include <OW_CIMValue.hpp>
#include <OW_CppInstanceProviderIFC.hpp>
#include <OW_CppMethodProviderIFC.hpp>
#include <OW_CppProviderBaseIFC.hpp>
#include <OW_ProviderEnvironmentIFC.hpp>
#include <OW_ResultHandlerIFC.hpp>

#include <cstring>

#include "ProviderEnvironment.hpp"
#include "TestSupport.hpp"
#include "ZepRecords.h"
#include "Zepsim.hpp"

using namespace OpenWBEM;

// The loaded library's gateway tasks run until the process ends, as they do in
// the object manager. The leak checker's stop-the-world pass at exit does not
// survive them (its tracer faults), so it is off for this program; the
// in-process provider tests check the same code for leaks.
extern "C" int __lsan_is_turned_off() { return 1; }

namespace {

const char kSelf[] = "zepprovtest";
const char kNs[] = "root/cimv2";

class Names : public ResultHandlerIFC<CIMObjectPath> {
public:
    std::vector<CIMObjectPath> items;

protected:
    void doHandle(const CIMObjectPath& p) { items.push_back(p); }
};

std::string readFile(const std::string& path) {
    std::string text;
    if (FILE* f = fopen(path.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
        fclose(f);
    }
    return text;
}

template <class Fn>
int cimErrorOf(Fn fn) {
    try {
        fn();
    } catch (const CIMException& e) {
        return e.getErrNo();
    }
    return -1;
}

TEST(LoadedLibrary, ServesTheModeSettingFromAGatewayProcess) {
    testsupport::PlatformSandbox sandbox;
    setenv("HUL_MFW_NAME", kSelf, 1);
    testsupport::Zepsim gateway(ZEPSIM_PATH, {"--peer", kSelf, "--mode", "birch", "--announce-ms", "50"});

    void* library = dlopen(ZEP_PROVIDER_PATH, RTLD_NOW | RTLD_GLOBAL);
    ASSERT_NE(nullptr, library) << dlerror();
    typedef const char* (*VersionFn)();
    typedef CppProviderBaseIFC* (*FactoryFn)();
    VersionFn version = reinterpret_cast<VersionFn>(dlsym(library, "getOWVersion"));
    FactoryFn factory = reinterpret_cast<FactoryFn>(dlsym(library, "createProviderQEL_ZEPProvider"));
    ASSERT_NE(nullptr, version);
    ASSERT_NE(nullptr, factory);
    EXPECT_STREQ("3.0.3", version());
    // Nothing of the gateway link is visible to other libraries of the process.
    EXPECT_EQ(nullptr, dlsym(library, "ZepOamInit"));
    EXPECT_EQ(nullptr, dlsym(library, "_Z9ZepOamInitv"));

    IntrusiveReference<CppProviderBaseIFC> provider(factory());
    const ProviderEnvironmentIFCRef env = owtest::makeEnvironment();
    provider->initialize(env);
    EXPECT_FALSE(provider->canUnload());
    CppInstanceProviderIFC* instances = provider->getInstanceProvider();
    CppMethodProviderIFC* methods = provider->getMethodProvider();
    ASSERT_NE(nullptr, instances);
    ASSERT_NE(nullptr, methods);

    // Link up brings a mode request; the gateway's mode record fills the cache.

    auto enumerateNames = [&] {
        Names names;
        instances->enumInstanceNames(env, kNs, "QEL_ZEPModeSetting", names, CIMClass(CIMNULL));
        return names.items;
    };
    ASSERT_TRUE(testsupport::waitUntil([&] { return enumerateNames().size() == 1; }));

    const CIMObjectPath path = enumerateNames()[0];
    const CIMInstance instance = instances->getInstance(env, kNs, path, WBEMFlags::E_NOT_LOCAL_ONLY,
                                                        WBEMFlags::E_EXCLUDE_QUALIFIERS,
                                                        WBEMFlags::E_EXCLUDE_CLASS_ORIGIN, 0, CIMClass(CIMNULL));
    // The object manager names an instance by its key list alone.
    EXPECT_TRUE(CIMObjectPath(String(kNs), instance).equals(path)) << CIMObjectPath(String(kNs), instance).toString().c_str();
    EXPECT_TRUE(instance.getPropertyValue("Mode").toBool());
    EXPECT_EQ(ZEP_MOTYPE_BIRCH, instance.getPropertyValue("MoType").toUInt8());

    CIMInstance request("QEL_ZEPModeSetting");
    request.setProperty("InstanceID", CIMValue(String("QEL_ZEPModeSetting")));
    request.setProperty("dummy", CIMValue(UInt8(5)));
    EXPECT_EQ(CIMException::FAILED, cimErrorOf([&] {
                  instances->modifyInstance(env, kNs, request, CIMInstance(CIMNULL),
                                            WBEMFlags::E_EXCLUDE_QUALIFIERS, 0, CIMClass(CIMNULL));
              }));
    EXPECT_EQ(CIMException::NOT_SUPPORTED,
              cimErrorOf([&] { instances->createInstance(env, kNs, request); }));
    EXPECT_EQ(CIMException::NOT_SUPPORTED, cimErrorOf([&] { instances->deleteInstance(env, kNs, path); }));
    CIMParamValueArray in, out;
    EXPECT_EQ(CIMException::METHOD_NOT_FOUND,
              cimErrorOf([&] { methods->invokeMethod(env, kNs, path, "RedirectSet", in, out); }));

    // An object manager that unloads its provider objects regardless makes a
    // new one later: it finds the same cache, and the link is not set up twice.
    provider = IntrusiveReference<CppProviderBaseIFC>(factory());
    provider->initialize(env);
    instances = provider->getInstanceProvider();
    EXPECT_EQ(1u, enumerateNames().size());
    EXPECT_EQ(1u, gateway.counter("req7"));

    // The gateway dies, possibly before the connection task has even seen it
    // (its poll is 1 s): the cache must not outlive it.
    gateway.kill();
    EXPECT_TRUE(testsupport::waitUntil([&] { return enumerateNames().empty(); }))
        << "operational log:\n" << readFile(sandbox.dir().file("QEL_ZEPProvider.log"));
}

}  // namespace
