// The built provider library as the object manager meets it, for tests and
// benchmarks that run it against a zepsim process: opened with dlopen,
// created through its factory and initialised once per process (its gateway
// link lives until the process ends, as in the object manager).
//
// LoadedProvider::get() loads it on first use; the platform sandbox and the
// framework name must be in the environment by then (see useSandbox). The
// query helpers may be called from any thread.
#pragma once

#include <dlfcn.h>
#include <stdlib.h>

#include <OW_Bool.hpp>
#include <OW_CIMClass.hpp>
#include <OW_CIMException.hpp>
#include <OW_CIMInstance.hpp>
#include <OW_CIMObjectPath.hpp>
#include <OW_CIMProperty.hpp>
#include <OW_CIMValue.hpp>
#include <OW_CIMParamValue.hpp>
#include <OW_CppInstanceProviderIFC.hpp>
#include <OW_CppMethodProviderIFC.hpp>
#include <OW_CppProviderBaseIFC.hpp>
#include <OW_ProviderEnvironmentIFC.hpp>
#include <OW_ResultHandlerIFC.hpp>

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "ProviderEnvironment.hpp"
#include "TestSupport.hpp"

namespace simtest {

// The framework name of the process that loads the provider; zepsim is told
// to announce to it with --peer.
inline constexpr char kProviderProcess[] = "zepitest";
inline constexpr char kNamespace[] = "root/cimv2";

inline constexpr const char* kModeClass = "QEL_ZEPModeSetting";
inline constexpr const char* kSettingClasses[] = {"QEL_ZEPCedarSetting", "QEL_ZEPAlderSetting",
                                                  "QEL_ZEPBirchSetting"};
inline constexpr const char* kTerminalClasses[] = {"QEL_ZEPCedarTerminal", "QEL_ZEPAlderTerminal",
                                                   "QEL_ZEPBirchTerminal"};
inline constexpr const char* kAllClasses[] = {"QEL_ZEPModeSetting",   "QEL_ZEPCedarSetting",
                                              "QEL_ZEPAlderSetting",  "QEL_ZEPBirchSetting",
                                              "QEL_ZEPCedarTerminal", "QEL_ZEPAlderTerminal",
                                              "QEL_ZEPBirchTerminal"};

// One sandbox for the whole process: the provider joins the framework once,
// in whatever directory is current then, and stays there.
inline const testsupport::PlatformSandbox& useSandbox() {
    static const testsupport::PlatformSandbox& sandbox = []() -> const testsupport::PlatformSandbox& {
        setenv("HUL_MFW_NAME", kProviderProcess, 1);
        return testsupport::processSandbox();
    }();
    return sandbox;
}

class LoadedProvider {
public:
    static LoadedProvider& get() {
        static LoadedProvider* provider = new LoadedProvider;  // never unloaded, like the library
        return *provider;
    }

    // Instances of the class in the cache now.
    std::size_t count(const char* className) const {
        Paths names;
        instances_->enumInstanceNames(env_, kNamespace, className, names, OpenWBEM::CIMClass(OpenWBEM::CIMNULL));
        return names.items.size();
    }
    std::vector<OpenWBEM::CIMInstance> all(const char* className) const {
        Instances found;
        instances_->enumInstances(env_, kNamespace, className, found, OpenWBEM::WBEMFlags::E_NOT_LOCAL_ONLY,
                                  OpenWBEM::WBEMFlags::E_DEEP, OpenWBEM::WBEMFlags::E_EXCLUDE_QUALIFIERS,
                                  OpenWBEM::WBEMFlags::E_EXCLUDE_CLASS_ORIGIN, nullptr,
                                  OpenWBEM::CIMClass(OpenWBEM::CIMNULL), OpenWBEM::CIMClass(OpenWBEM::CIMNULL));
        return found.items;
    }

    std::optional<OpenWBEM::CIMInstance> terminal(const char* className, uint32_t dn) const {
        return lookUp(terminalPath(className, dn));
    }
    std::optional<OpenWBEM::CIMInstance> setting(const char* className) const {
        OpenWBEM::CIMObjectPath path(className, kNamespace);
        path.setKeyValue("InstanceID", OpenWBEM::CIMValue(className));
        return lookUp(path);
    }

    // Throws the provider's CIMException when the modification is refused.
    void modify(const OpenWBEM::CIMInstance& instance) const {
        instances_->modifyInstance(env_, kNamespace, instance, OpenWBEM::CIMInstance(OpenWBEM::CIMNULL),
                                   OpenWBEM::WBEMFlags::E_EXCLUDE_QUALIFIERS, nullptr,
                                   OpenWBEM::CIMClass(OpenWBEM::CIMNULL));
    }

    // RedirectSet on a terminal: its count, or the provider's CIMException.
    uint32_t redirect(const char* className, uint32_t dn) const {
        OpenWBEM::CIMParamValueArray in, out;
        return methods_
            ->invokeMethod(env_, kNamespace, terminalPath(className, dn), "RedirectSet", in, out)
            .toUInt32();
    }

    static OpenWBEM::CIMObjectPath terminalPath(const char* className, uint32_t dn) {
        OpenWBEM::CIMObjectPath path(className, kNamespace);
        path.setKeyValue("SystemCreationClassName", OpenWBEM::CIMValue("QEL_System"));
        path.setKeyValue("SystemName", OpenWBEM::CIMValue("QEL"));
        path.setKeyValue("CreationClassName", OpenWBEM::CIMValue(className));
        path.setKeyValue("DeviceID", OpenWBEM::CIMValue(OpenWBEM::String(std::to_string(dn).c_str())));
        return path;
    }

private:
    struct Paths : OpenWBEM::ResultHandlerIFC<OpenWBEM::CIMObjectPath> {
        std::vector<OpenWBEM::CIMObjectPath> items;
        void doHandle(const OpenWBEM::CIMObjectPath& p) { items.push_back(p); }
    };
    struct Instances : OpenWBEM::ResultHandlerIFC<OpenWBEM::CIMInstance> {
        std::vector<OpenWBEM::CIMInstance> items;
        void doHandle(const OpenWBEM::CIMInstance& i) { items.push_back(i); }
    };

    LoadedProvider() : env_(owtest::makeEnvironment()) {
        useSandbox();
        void* library = dlopen(ZEP_PROVIDER_PATH, RTLD_NOW | RTLD_GLOBAL);
        if (!library) throw std::runtime_error(std::string("dlopen: ") + dlerror());
        typedef OpenWBEM::CppProviderBaseIFC* (*FactoryFn)();
        FactoryFn factory = reinterpret_cast<FactoryFn>(dlsym(library, "createProviderQEL_ZEPProvider"));
        if (!factory) throw std::runtime_error("no provider factory");
        provider_ = OpenWBEM::IntrusiveReference<OpenWBEM::CppProviderBaseIFC>(factory());
        provider_->initialize(env_);
        instances_ = provider_->getInstanceProvider();
        if (!instances_) throw std::runtime_error("no instance provider");
        methods_ = provider_->getMethodProvider();
        if (!methods_) throw std::runtime_error("no method provider");
    }

    std::optional<OpenWBEM::CIMInstance> lookUp(const OpenWBEM::CIMObjectPath& path) const {
        try {
            return instances_->getInstance(env_, kNamespace, path, OpenWBEM::WBEMFlags::E_NOT_LOCAL_ONLY,
                                           OpenWBEM::WBEMFlags::E_EXCLUDE_QUALIFIERS,
                                           OpenWBEM::WBEMFlags::E_EXCLUDE_CLASS_ORIGIN, nullptr,
                                           OpenWBEM::CIMClass(OpenWBEM::CIMNULL));
        } catch (const OpenWBEM::CIMException& e) {
            if (e.getErrNo() == OpenWBEM::CIMException::NOT_FOUND) return std::nullopt;
            throw;
        }
    }

    OpenWBEM::ProviderEnvironmentIFCRef env_;
    OpenWBEM::IntrusiveReference<OpenWBEM::CppProviderBaseIFC> provider_;
    OpenWBEM::CppInstanceProviderIFC* instances_ = nullptr;
    OpenWBEM::CppMethodProviderIFC* methods_ = nullptr;
};

// The text of a string property, "" when it is absent or null.
inline std::string text(const std::optional<OpenWBEM::CIMInstance>& instance, const char* property) {
    if (!instance) return "";
    const OpenWBEM::CIMValue v = instance->getPropertyValue(property);
    return v ? std::string(v.toString().c_str()) : std::string();
}

}  // namespace simtest
