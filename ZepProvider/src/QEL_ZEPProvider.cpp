#include "QEL_ZEPProvider.h"

#include "CFG_Exception.h"
#include "QEL_ZEPModeSettingProvider.h"
#include "QEL_ZEPAlderTerminalProvider.h"
#include "QEL_ZEPBirchTerminalProvider.h"
#include "QEL_ZEPCedarTerminalProvider.h"
#include "QEL_ZEPAlderSettingProvider.h"
#include "QEL_ZEPBirchSettingProvider.h"
#include "QEL_ZEPCedarSettingProvider.h"

#include <OW_CIMException.hpp>
#include <OW_Logger.hpp>
#include <OW_ProviderEnvironmentIFC.hpp>

using namespace OpenWBEM;

// ---------------------------------------------------------------------------
// Exported names and the static class providers, in class order.

extern "C" {
char* QEL_ZEPModeSettingName = const_cast<char*>("QEL_ZEPModeSetting");
char* QEL_ZEPAlderTerminalName = const_cast<char*>("QEL_ZEPAlderTerminal");
char* QEL_ZEPBirchTerminalName = const_cast<char*>("QEL_ZEPBirchTerminal");
char* QEL_ZEPCedarTerminalName = const_cast<char*>("QEL_ZEPCedarTerminal");
char* QEL_ZEPAlderSettingName = const_cast<char*>("QEL_ZEPAlderSetting");
char* QEL_ZEPBirchSettingName = const_cast<char*>("QEL_ZEPBirchSetting");
char* QEL_ZEPCedarSettingName = const_cast<char*>("QEL_ZEPCedarSetting");

QEL_ZEPModeSettingProvider QEL_ZEPModeSettingProv;
QEL_ZEPAlderTerminalProvider QEL_ZEPAlderTerminalProv;
QEL_ZEPBirchTerminalProvider QEL_ZEPBirchTerminalProv;
QEL_ZEPCedarTerminalProvider QEL_ZEPCedarTerminalProv;
QEL_ZEPAlderSettingProvider QEL_ZEPAlderSettingProv;
QEL_ZEPBirchSettingProvider QEL_ZEPBirchSettingProv;
QEL_ZEPCedarSettingProvider QEL_ZEPCedarSettingProv;
}

char* UnknownStdException = const_cast<char*>("Unknown std::exception caught in QEL_ZEPProvider\n");
char* UnknownException = const_cast<char*>("Unknown throw caught in QEL_ZEPProvider\n");

OW_PROVIDERFACTORY(QEL_ZEPProvider, QEL_ZEPProvider)

namespace {

// One served class: its name and its class provider seen through the
// OpenWBEM interfaces (the bases are reached at run time: they are virtual).
struct Route {
    const char* name;
    CppInstanceProviderIFC* instance;
    CppMethodProviderIFC* method;
};

template <class Provider>
Route routeTo(const char* name, Provider& provider) {
    Route route = {name, &provider, &provider};
    return route;
}

enum { kClassCount = 7 };

// The classes in class order; built on first use, when every static class
// provider exists.
const Route* routes() {
    static const Route table[kClassCount] = {
        routeTo(QEL_ZEPModeSettingName, QEL_ZEPModeSettingProv),
        routeTo(QEL_ZEPAlderTerminalName, QEL_ZEPAlderTerminalProv),
        routeTo(QEL_ZEPBirchTerminalName, QEL_ZEPBirchTerminalProv),
        routeTo(QEL_ZEPCedarTerminalName, QEL_ZEPCedarTerminalProv),
        routeTo(QEL_ZEPAlderSettingName, QEL_ZEPAlderSettingProv),
        routeTo(QEL_ZEPBirchSettingName, QEL_ZEPBirchSettingProv),
        routeTo(QEL_ZEPCedarSettingName, QEL_ZEPCedarSettingProv),
    };
    return table;
}

// The configuration-error kinds that an operation reports as a bare failure.
enum ConfigKinds { kReadKind = 1, kWriteKind = 2 };

void logAndFail(const ProviderEnvironmentIFCRef& env, const String& description) {
    if (env) {
        // Later object managers deprecate the accessor without a component
        // name; the 3.0 object managers this library is built for have only it.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
        LoggerRef logger = env->getLogger();
#pragma GCC diagnostic pop
        if (logger) logger->logError(description);
    }
    throw CIMException(__FILE__, __LINE__, CIMException::FAILED, description.c_str());
}

void failUnknownStd(const ProviderEnvironmentIFCRef& env, const char* opText, const String& className,
                    const std::exception& e) {
    logAndFail(env, String(UnknownStdException) + opText + className + "\n" + e.what() + "\n");
}

// Finds the class provider for className and runs op on it, translating what
// escapes. A class name that matches none is CIM error 5, thrown outside the
// translation.
template <class Result, class Op>
Result route(const ProviderEnvironmentIFCRef& env, const char* opText, const String& className,
             int configKinds, Op op) {
    bool handled = true;
    try {
        const Route* table = routes();
        for (int i = 0; i < kClassCount; ++i)
            if (className.equals(table[i].name)) return op(table[i]);
        handled = false;
    } catch (const CFG_ReadError& e) {
        if (!(configKinds & kReadKind)) failUnknownStd(env, opText, className, e);
        throw CIMException(__FILE__, __LINE__, CIMException::FAILED, "");
    } catch (const CFG_WriteError& e) {
        if (!(configKinds & kWriteKind)) failUnknownStd(env, opText, className, e);
        throw CIMException(__FILE__, __LINE__, CIMException::FAILED, "");
    } catch (const CIMException&) {
        throw;
    } catch (const std::exception& e) {
        failUnknownStd(env, opText, className, e);
    } catch (...) {
        logAndFail(env, String(UnknownException) + opText + className + "\n");
    }
    if (!handled) throw CIMException(__FILE__, __LINE__, CIMException::INVALID_CLASS);
    throw CIMException(__FILE__, __LINE__, CIMException::FAILED);  // not reached
}

}  // namespace

QEL_ZEPProvider::QEL_ZEPProvider() {}
QEL_ZEPProvider::~QEL_ZEPProvider() {}

CIMValue QEL_ZEPProvider::invokeMethod(const Env& env, const String& ns, const CIMObjectPath& path,
                                       const String& methodName, const CIMParamValueArray& in,
                                       CIMParamValueArray& out) {
    return route<CIMValue>(env, " while performing invokeMethod operation on ", path.getClassName(),
                           kReadKind | kWriteKind, [&](const Route& r) {
                               return r.method->invokeMethod(env, ns, path, methodName, in, out);
                           });
}

void QEL_ZEPProvider::initialize(const Env& env) {
    const Route* table = routes();
    for (int i = 0; i < kClassCount; ++i) table[i].instance->initialize(env);
}

void QEL_ZEPProvider::enumInstanceNames(const Env& env, const String& ns, const String& className,
                                        CIMObjectPathResultHandlerIFC& result, const CIMClass& cimClass) {
    route<void>(env, " while performing enumInstanceNames operation on ", className, kReadKind,
                [&](const Route& r) { r.instance->enumInstanceNames(env, ns, className, result, cimClass); });
}

void QEL_ZEPProvider::enumInstances(const Env& env, const String& ns, const String& className,
                                    CIMInstanceResultHandlerIFC& result, WBEMFlags::ELocalOnlyFlag localOnly,
                                    WBEMFlags::EDeepFlag deep,
                                    WBEMFlags::EIncludeQualifiersFlag includeQualifiers,
                                    WBEMFlags::EIncludeClassOriginFlag includeClassOrigin,
                                    const StringArray* propertyList, const CIMClass& requestedClass,
                                    const CIMClass& cimClass) {
    route<void>(env, " while performing enumInstances operation on ", className, kReadKind,
                [&](const Route& r) {
                    r.instance->enumInstances(env, ns, className, result, localOnly, deep, includeQualifiers,
                                              includeClassOrigin, propertyList, requestedClass, cimClass);
                });
}

CIMInstance QEL_ZEPProvider::getInstance(const Env& env, const String& ns, const CIMObjectPath& instanceName,
                                         WBEMFlags::ELocalOnlyFlag localOnly,
                                         WBEMFlags::EIncludeQualifiersFlag includeQualifiers,
                                         WBEMFlags::EIncludeClassOriginFlag includeClassOrigin,
                                         const StringArray* propertyList, const CIMClass& cimClass) {
    return route<CIMInstance>(env, " while performing getInstance operation on ", instanceName.getClassName(),
                              kReadKind, [&](const Route& r) {
                                  return r.instance->getInstance(env, ns, instanceName, localOnly,
                                                                 includeQualifiers, includeClassOrigin,
                                                                 propertyList, cimClass);
                              });
}

CIMObjectPath QEL_ZEPProvider::createInstance(const Env& env, const String& ns, const CIMInstance& cimInstance) {
    return route<CIMObjectPath>(env, " while performing createInstance operation on ",
                                cimInstance.getClassName(), kWriteKind,
                                [&](const Route& r) { return r.instance->createInstance(env, ns, cimInstance); });
}

void QEL_ZEPProvider::deleteInstance(const Env& env, const String& ns, const CIMObjectPath& cop) {
    route<void>(env, " while performing deleteInstance operation on ", cop.getClassName(), kWriteKind,
                [&](const Route& r) { r.instance->deleteInstance(env, ns, cop); });
}

void QEL_ZEPProvider::modifyInstance(const Env& env, const String& ns, const CIMInstance& modifiedInstance,
                                     const CIMInstance& previousInstance,
                                     WBEMFlags::EIncludeQualifiersFlag includeQualifiers,
                                     const StringArray* propertyList, const CIMClass& theClass) {
    route<void>(env, " while performing modifyInstance operation on ", modifiedInstance.getClassName(),
                kWriteKind, [&](const Route& r) {
                    r.instance->modifyInstance(env, ns, modifiedInstance, previousInstance, includeQualifiers,
                                               propertyList, theClass);
                });
}

void QEL_ZEPProvider::associators(const Env&, CIMInstanceResultHandlerIFC&, const String&, const CIMObjectPath&,
                                  const String&, const String&, const String&, const String&,
                                  WBEMFlags::EIncludeQualifiersFlag, WBEMFlags::EIncludeClassOriginFlag,
                                  const StringArray*) {
    OW_THROWCIM(CIMException::INVALID_CLASS);
}

void QEL_ZEPProvider::associatorNames(const Env&, CIMObjectPathResultHandlerIFC&, const String&,
                                      const CIMObjectPath&, const String&, const String&, const String&,
                                      const String&) {
    OW_THROWCIM(CIMException::INVALID_CLASS);
}

void QEL_ZEPProvider::references(const Env&, CIMInstanceResultHandlerIFC&, const String&, const CIMObjectPath&,
                                 const String&, const String&, WBEMFlags::EIncludeQualifiersFlag,
                                 WBEMFlags::EIncludeClassOriginFlag, const StringArray*) {
    OW_THROWCIM(CIMException::INVALID_CLASS);
}

void QEL_ZEPProvider::referenceNames(const Env&, CIMObjectPathResultHandlerIFC&, const String&,
                                     const CIMObjectPath&, const String&, const String&) {
    OW_THROWCIM(CIMException::INVALID_CLASS);
}

void QEL_ZEPProvider::cleanup() {
    QEL_ZEPModeSettingProv.cleanup();
    QEL_ZEPAlderTerminalProv.cleanup();
    QEL_ZEPBirchTerminalProv.cleanup();
    QEL_ZEPCedarTerminalProv.cleanup();
    QEL_ZEPAlderSettingProv.cleanup();
    QEL_ZEPBirchSettingProv.cleanup();
    QEL_ZEPCedarSettingProv.cleanup();
}

bool QEL_ZEPProvider::canUnload() { return false; }
