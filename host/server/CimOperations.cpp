#include "CimOperations.hpp"

#include <OW_Array.hpp>
#include <OW_CIMClass.hpp>
#include <OW_CIMException.hpp>
#include <OW_CIMInstance.hpp>
#include <OW_CIMObjectPath.hpp>
#include <OW_CIMParamValue.hpp>
#include <OW_CIMProperty.hpp>
#include <OW_CppAssociatorProviderIFC.hpp>
#include <OW_CppInstanceProviderIFC.hpp>
#include <OW_CppMethodProviderIFC.hpp>
#include <OW_Exception.hpp>
#include <OW_ResultHandlerIFC.hpp>

#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

#include "CimXmlRequest.hpp"
#include "CimXmlWriter.hpp"
#include "ValueConversion.hpp"

namespace cimhost {

using namespace OpenWBEM;

namespace {

// A failure the host itself reports, with its CIM code.
struct HostError {
    int code;
    std::string text;
};

[[noreturn]] void fail(int code, const std::string& text) { throw HostError{code, text}; }

// CIMException::getMessage() is "<code description>" or "<code description> (<message>)";
// clients read the provider's message, tags and line breaks included, so it goes back bare.
std::string providerMessage(const CIMException& e) {
    const std::string composed = e.getMessage();
    const std::string desc = CIMException(__FILE__, __LINE__, e.getErrNo()).getMessage();
    if (composed == desc) return "";
    if (composed.size() >= desc.size() + 3 && composed.compare(0, desc.size(), desc) == 0 &&
        composed.compare(desc.size(), 2, " (") == 0 && composed.back() == ')')
        return composed.substr(desc.size() + 2, composed.size() - desc.size() - 3);
    return composed;
}

bool flag(const CimRequest& r, const char* name, bool def) {
    const IParam* p = r.iparam(name);
    if (!p || p->kind != IParam::Value) return def;
    const std::string v = toLower(p->text);
    if (v == "true") return true;
    if (v == "false") return false;
    fail(CIMException::INVALID_PARAMETER, std::string(name) + " must be TRUE or FALSE");
}

template <class T>
class Collector : public ResultHandlerIFC<T> {
public:
    explicit Collector(std::function<void(const T&)> fn) : fn_(std::move(fn)) {}

protected:
    void doHandle(const T& x) { fn_(x); }

private:
    std::function<void(const T&)> fn_;
};

class Call {
public:
    Call(const CimRequest& r, const ClassRepository& repo, const std::string& ns, ProviderManager& providers,
         const ProviderEnvironmentIFCRef& env, CimXmlWriter& out)
        : r_(r), repo_(repo), ns_(ns), providers_(providers), env_(env), out_(out) {}

    // Writes the answer's content; throws HostError or what a provider throws.
    void run() {
        if (!equalsIgnoreCase(r_.nameSpace, ns_)) fail(CIMException::INVALID_NAMESPACE, "no namespace " + r_.nameSpace);
        if (!r_.intrinsic) return invoke();
        const std::string& m = r_.method;
        if (m == "GetClass") return getClass();
        if (m == "EnumerateClassNames") return enumerateClasses(false);
        if (m == "EnumerateClasses") return enumerateClasses(true);
        if (m == "EnumerateInstanceNames") return enumerateInstanceNames();
        if (m == "EnumerateInstances") return enumerateInstances();
        if (m == "GetInstance") return getInstance();
        if (m == "GetProperty") return getProperty();
        if (m == "ModifyInstance") return modifyInstance();
        if (m == "CreateInstance") return createInstance();
        if (m == "DeleteInstance") return deleteInstance();
        if (m == "Associators" || m == "AssociatorNames" || m == "References" || m == "ReferenceNames")
            return associations();
        fail(CIMException::NOT_SUPPORTED, "operation " + m + " is not supported");
    }

    std::string subject;   // the class the request is about, for the log
    size_t results = 0;

private:
    const IParam& required(const char* name, IParam::Kind kind) {
        const IParam* p = r_.iparam(name);
        if (!p) fail(CIMException::INVALID_PARAMETER, std::string("missing parameter ") + name);
        if (p->kind != kind) fail(CIMException::INVALID_PARAMETER, std::string("parameter ") + name + " has the wrong form");
        return *p;
    }

    const ClassDef& knownClass(const std::string& name) {
        subject = name;
        const ClassDef* cls = repo_.find(name);
        if (!cls) fail(CIMException::INVALID_CLASS, "no class " + name);
        return *cls;
    }

    std::string providerOf(const ClassDef& cls, const MethodDef* method = nullptr) {
        std::string id;
        if (method) id = CimOperations::providerIdOf(method->stringQualifier("Provider"));
        if (id.empty()) id = CimOperations::providerIdOf(cls.stringQualifier("Provider"));
        if (id.empty() || !providers_.has(id))
            fail(CIMException::NOT_SUPPORTED, "no provider serves class " + cls.name);
        return id;
    }

    CppInstanceProviderIFC* instanceProvider(ProviderManager::Lease& lease, const ClassDef& cls) {
        CppInstanceProviderIFC* p = lease->getInstanceProvider();
        if (!p) fail(CIMException::NOT_SUPPORTED, "the provider of " + cls.name + " serves no instances");
        return p;
    }

    CIMObjectPath pathOf(const InstanceName& name) {
        try {
            return convertInstanceName(name, ns_, repo_);
        } catch (const ConversionError& e) {
            fail(CIMException::INVALID_PARAMETER, e.text);
        }
    }

    // The instance a client sent, each property the class declares typed as
    // declared and named as declared. Properties the class does not declare
    // are left out, as OpenWBEM leaves them out; a property named twice is
    // refused.
    CIMInstance instanceOf(const XmlInstance& x, const ClassDef& cls) {
        std::unordered_set<std::string_view, NameHash, NameEqual> named;
        named.reserve(x.properties.size());
        CIMPropertyArray properties;
        for (const XmlProperty& p : x.properties) {
            if (!named.insert(p.name).second)
                fail(CIMException::INVALID_PARAMETER, "property " + p.name + " given twice");
            const PropertyDef* decl = cls.property(p.name);
            if (!decl) continue;
            const TypeRef& type = decl->type;
            const String name(decl->name.c_str());
            CIMValue v(CIMNULL);
            try {
                v = convertValue(p.value, type, repo_, ns_);
            } catch (const ConversionError& e) {
                fail(CIMException::INVALID_PARAMETER, "property " + decl->name + ": " + e.text);
            }
            if (v) {
                properties.push_back(CIMProperty(name, v));
            } else if (type.isReference()) {
                properties.push_back(CIMProperty(name, CIMDataType(String(type.refClass.c_str()))));
            } else {
                const CIMDataType::Type t = scalarFromTypeName(type.name);
                properties.push_back(CIMProperty(name, type.isArray ? CIMDataType(t, 0) : CIMDataType(t)));
            }
        }
        CIMInstance inst(String(x.className.c_str()));
        inst.setProperties(properties);
        return inst;
    }

    // The path names the instance to change: it must name the instance's
    // class and each of the class's keys, and a key the instance gives must
    // have the path's value. A key the instance leaves out is taken from the
    // path.
    void matchPath(const InstanceName& name, const XmlInstance& x, const ClassDef& cls, CIMInstance& inst) {
        if (!equalsIgnoreCase(name.className, x.className))
            fail(CIMException::INVALID_PARAMETER, "the instance path names another class than the instance");
        const CIMObjectPath path = pathOf(name);
        for (const PropertyDef* key : cls.keys()) {
            const String keyName(key->name.c_str());
            const CIMValue fromPath = path.getKeyValue(keyName);
            if (!fromPath) fail(CIMException::INVALID_PARAMETER, "the instance path lacks the key " + key->name);
            const CIMProperty given = inst.getProperty(keyName);
            if (!given) inst.setProperty(CIMProperty(keyName, fromPath));
            else if (!(given.getValue() == fromPath))
                fail(CIMException::INVALID_PARAMETER, "the instance's key " + key->name + " differs from its path");
        }
    }

    static CIMDataType::Type scalarFromTypeName(const std::string& n) {
        static const struct { const char* name; CIMDataType::Type type; } kTypes[] = {
            {"uint8", CIMDataType::UINT8},   {"sint8", CIMDataType::SINT8},   {"uint16", CIMDataType::UINT16},
            {"sint16", CIMDataType::SINT16}, {"uint32", CIMDataType::UINT32}, {"sint32", CIMDataType::SINT32},
            {"uint64", CIMDataType::UINT64}, {"sint64", CIMDataType::SINT64}, {"real32", CIMDataType::REAL32},
            {"real64", CIMDataType::REAL64}, {"boolean", CIMDataType::BOOLEAN}, {"datetime", CIMDataType::DATETIME},
            {"char16", CIMDataType::CHAR16}};
        for (const auto& t : kTypes)
            if (n == t.name) return t.type;
        return CIMDataType::STRING;
    }

    StringArray* propertyList(StringArray& storage) {
        const IParam* p = r_.iparam("PropertyList");
        if (!p || p->kind == IParam::Empty) return nullptr;
        if (p->kind != IParam::ValueArray) fail(CIMException::INVALID_PARAMETER, "PropertyList must be an array");
        for (const std::string& s : p->items) storage.push_back(String(s.c_str()));
        return &storage;
    }

    void getClass() {
        const ClassDef& cls = knownClassForGet(required("ClassName", IParam::ClassName).className);
        out_.beginReturn();
        out_.classDefinition(cls, flag(r_, "IncludeQualifiers", true));
        out_.endReturn();
        results = 1;
    }

    const ClassDef& knownClassForGet(const std::string& name) {
        subject = name;
        const ClassDef* cls = repo_.find(name);
        if (!cls) fail(CIMException::NOT_FOUND, "no class " + name);
        return *cls;
    }

    // Without ClassName: the classes at the top of the hierarchy (all of them
    // when deep); with it: its subclasses (all descendants when deep).
    void enumerateClasses(bool definitions) {
        const IParam* base = r_.iparam("ClassName");
        std::string root;
        if (base && base->kind == IParam::ClassName) {
            root = knownClass(base->className).name;
        } else if (base && base->kind != IParam::Empty) {
            fail(CIMException::INVALID_PARAMETER, "ClassName has the wrong form");
        }
        const bool deep = flag(r_, "DeepInheritance", false);
        const bool qualifiers = flag(r_, "IncludeQualifiers", true);
        out_.beginReturn();
        for (const auto& cls : repo_.all()) {
            bool wanted = equalsIgnoreCase(cls->superClass, root);
            if (deep && !wanted) {
                if (root.empty()) wanted = true;
                // Bounded: a MOF may declare a superclass cycle.
                int steps = 0;
                for (const ClassDef* up = repo_.find(cls->superClass); up && !wanted && steps < 64;
                     up = repo_.find(up->superClass), ++steps)
                    wanted = equalsIgnoreCase(up->name, root);
            }
            if (!wanted) continue;
            if (definitions) out_.classDefinition(*cls, qualifiers);
            else out_.className(cls->name);
            ++results;
        }
        out_.endReturn();
    }

    void enumerateInstanceNames() {
        const std::string& asSent = required("ClassName", IParam::ClassName).className;
        const ClassDef& cls = knownClass(asSent);
        ProviderManager::Lease lease = providers_.acquire(providerOf(cls));
        Collector<CIMObjectPath> names([&](const CIMObjectPath& p) {
            out_.instanceName(p);
            ++results;
        });
        out_.beginReturn();
        instanceProvider(lease, cls)->enumInstanceNames(env_, String(ns_.c_str()), String(asSent.c_str()), names,
                                                         CIMClass(String(cls.name.c_str())));
        out_.endReturn();
    }

    void enumerateInstances() {
        const std::string& asSent = required("ClassName", IParam::ClassName).className;
        const ClassDef& cls = knownClass(asSent);
        StringArray storage;
        const StringArray* props = propertyList(storage);
        const bool localOnly = flag(r_, "LocalOnly", true);
        const bool deep = flag(r_, "DeepInheritance", true);
        const bool qualifiers = flag(r_, "IncludeQualifiers", false);
        const bool origin = flag(r_, "IncludeClassOrigin", false);
        ProviderManager::Lease lease = providers_.acquire(providerOf(cls));
        Collector<CIMInstance> instances([&](const CIMInstance& inst) {
            out_.namedInstance(inst, repo_.find(inst.getClassName().c_str()));
            ++results;
        });
        const CIMClass cimClass(String(cls.name.c_str()));
        out_.beginReturn();
        instanceProvider(lease, cls)->enumInstances(
            env_, String(ns_.c_str()), String(asSent.c_str()), instances,
            localOnly ? WBEMFlags::E_LOCAL_ONLY : WBEMFlags::E_NOT_LOCAL_ONLY,
            deep ? WBEMFlags::E_DEEP : WBEMFlags::E_SHALLOW,
            qualifiers ? WBEMFlags::E_INCLUDE_QUALIFIERS : WBEMFlags::E_EXCLUDE_QUALIFIERS,
            origin ? WBEMFlags::E_INCLUDE_CLASS_ORIGIN : WBEMFlags::E_EXCLUDE_CLASS_ORIGIN, props, cimClass, cimClass);
        out_.endReturn();
    }

    CIMInstance fetchInstance(const ClassDef& cls, const CIMObjectPath& path, const StringArray* props) {
        ProviderManager::Lease lease = providers_.acquire(providerOf(cls));
        const bool localOnly = flag(r_, "LocalOnly", true);
        const bool qualifiers = flag(r_, "IncludeQualifiers", false);
        const bool origin = flag(r_, "IncludeClassOrigin", false);
        CIMInstance inst = instanceProvider(lease, cls)->getInstance(
            env_, String(ns_.c_str()), path, localOnly ? WBEMFlags::E_LOCAL_ONLY : WBEMFlags::E_NOT_LOCAL_ONLY,
            qualifiers ? WBEMFlags::E_INCLUDE_QUALIFIERS : WBEMFlags::E_EXCLUDE_QUALIFIERS,
            origin ? WBEMFlags::E_INCLUDE_CLASS_ORIGIN : WBEMFlags::E_EXCLUDE_CLASS_ORIGIN, props,
            CIMClass(String(cls.name.c_str())));
        if (!inst) fail(CIMException::FAILED, "the provider returned no instance");
        return inst;
    }

    void getInstance() {
        const IParam& name = required("InstanceName", IParam::Name);
        const ClassDef& cls = knownClass(name.instanceName.className);
        StringArray storage;
        const StringArray* props = propertyList(storage);
        const CIMInstance inst = fetchInstance(cls, pathOf(name.instanceName), props);
        out_.beginReturn();
        out_.instance(inst, repo_.find(inst.getClassName().c_str()));
        out_.endReturn();
        results = 1;
    }

    void getProperty() {
        const IParam& name = required("InstanceName", IParam::Name);
        const IParam& prop = required("PropertyName", IParam::Value);
        const ClassDef& cls = knownClass(name.instanceName.className);
        if (!cls.property(prop.text)) fail(CIMException::NO_SUCH_PROPERTY, "no property " + prop.text + " in " + cls.name);
        const CIMInstance inst = fetchInstance(cls, pathOf(name.instanceName), nullptr);
        const CIMValue v = inst.getPropertyValue(String(prop.text.c_str()));
        out_.beginReturn();
        out_.value(v);
        out_.endReturn();
        results = 1;
    }

    void modifyInstance() {
        const IParam& named = required("ModifiedInstance", IParam::NamedInstance);
        const ClassDef& cls = knownClass(named.instance.className);
        CIMInstance inst = instanceOf(named.instance, cls);
        matchPath(named.instanceName, named.instance, cls, inst);
        StringArray storage;
        const StringArray* props = propertyList(storage);
        const bool qualifiers = flag(r_, "IncludeQualifiers", true);
        ProviderManager::Lease lease = providers_.acquire(providerOf(cls));
        instanceProvider(lease, cls)->modifyInstance(
            env_, String(ns_.c_str()), inst, CIMInstance(CIMNULL),
            qualifiers ? WBEMFlags::E_INCLUDE_QUALIFIERS : WBEMFlags::E_EXCLUDE_QUALIFIERS, props,
            CIMClass(String(cls.name.c_str())));
    }

    void createInstance() {
        const IParam& p = required("NewInstance", IParam::Instance);
        const ClassDef& cls = knownClass(p.instance.className);
        const CIMInstance inst = instanceOf(p.instance, cls);
        ProviderManager::Lease lease = providers_.acquire(providerOf(cls));
        CIMObjectPath path = instanceProvider(lease, cls)->createInstance(env_, String(ns_.c_str()), inst);
        if (!path) path = CimXmlWriter::pathOf(inst, ns_);
        out_.beginReturn();
        out_.instanceName(path);
        out_.endReturn();
        results = 1;
    }

    void deleteInstance() {
        const IParam& name = required("InstanceName", IParam::Name);
        const ClassDef& cls = knownClass(name.instanceName.className);
        const CIMObjectPath path = pathOf(name.instanceName);
        ProviderManager::Lease lease = providers_.acquire(providerOf(cls));
        instanceProvider(lease, cls)->deleteInstance(env_, String(ns_.c_str()), path);
    }

    void associations() {
        const IParam* object = r_.iparam("ObjectName");
        if (!object) fail(CIMException::INVALID_PARAMETER, "missing parameter ObjectName");
        std::string className;
        if (object->kind == IParam::Name) className = object->instanceName.className;
        else if (object->kind == IParam::ClassName) className = object->className;
        else fail(CIMException::INVALID_PARAMETER, "parameter ObjectName has the wrong form");
        const ClassDef& cls = knownClass(className);
        const CIMObjectPath path =
            object->kind == IParam::Name ? pathOf(object->instanceName)
                                         : CIMObjectPath(String(cls.name.c_str()), String(ns_.c_str()));
        auto text = [&](const char* name) -> String {
            const IParam* p = r_.iparam(name);
            if (!p) return String();
            return String((p->kind == IParam::ClassName ? p->className : p->text).c_str());
        };
        StringArray storage;
        const StringArray* props = propertyList(storage);
        const bool qualifiers = flag(r_, "IncludeQualifiers", false);
        const bool origin = flag(r_, "IncludeClassOrigin", false);
        ProviderManager::Lease lease = providers_.acquire(providerOf(cls));
        CppAssociatorProviderIFC* assoc = lease->getAssociatorProvider();
        if (!assoc) fail(CIMException::INVALID_CLASS, "no association serves class " + cls.name);
        const String ns(ns_.c_str());
        const auto q = qualifiers ? WBEMFlags::E_INCLUDE_QUALIFIERS : WBEMFlags::E_EXCLUDE_QUALIFIERS;
        const auto o = origin ? WBEMFlags::E_INCLUDE_CLASS_ORIGIN : WBEMFlags::E_EXCLUDE_CLASS_ORIGIN;
        Collector<CIMInstance> objects([&](const CIMInstance& inst) {
            out_.objectWithPath(inst, repo_.find(inst.getClassName().c_str()), ns_);
            ++results;
        });
        Collector<CIMObjectPath> paths([&](const CIMObjectPath& p) {
            out_.objectPath(p, ns_);
            ++results;
        });
        const std::string& m = r_.method;
        out_.beginReturn();
        if (m == "Associators")
            assoc->associators(env_, objects, ns, path, text("AssocClass"), text("ResultClass"), text("Role"),
                               text("ResultRole"), q, o, props);
        else if (m == "AssociatorNames")
            assoc->associatorNames(env_, paths, ns, path, text("AssocClass"), text("ResultClass"), text("Role"),
                                   text("ResultRole"));
        else if (m == "References")
            assoc->references(env_, objects, ns, path, text("ResultClass"), text("Role"), q, o, props);
        else
            assoc->referenceNames(env_, paths, ns, path, text("ResultClass"), text("Role"));
        out_.endReturn();
    }

    // Input parameters go to the provider in the method's declared order, one
    // per declared input, null where the client gave none; the output array
    // comes pre-filled with the declared outputs, as OpenWBEM hands them over.
    void invoke() {
        const ClassDef& cls = knownClass(r_.target.className);
        const MethodDef* method = cls.method(r_.method);
        if (!method) fail(CIMException::METHOD_NOT_FOUND, "no method " + r_.method + " in class " + cls.name);
        std::unordered_map<std::string, const MethodParam*, NameHash, NameEqual> given;
        for (const MethodParam& p : r_.params) {
            const ParameterDef* decl = method->parameter(p.name);
            if (!decl || !decl->isIn())
                fail(CIMException::INVALID_PARAMETER, "method " + method->name + " has no input parameter " + p.name);
            if (!given.emplace(p.name, &p).second)
                fail(CIMException::INVALID_PARAMETER, "parameter " + p.name + " given twice");
        }
        CIMParamValueArray in, out;
        for (const ParameterDef& decl : method->parameters) {
            CIMValue v(CIMNULL);
            if (decl.isIn()) {
                const auto p = given.find(decl.name);
                if (p != given.end()) {
                    try {
                        v = convertValue(p->second->value, decl.type, repo_, ns_);
                    } catch (const ConversionError& e) {
                        fail(CIMException::INVALID_PARAMETER, "parameter " + decl.name + ": " + e.text);
                    }
                }
                in.push_back(CIMParamValue(String(decl.name.c_str()), v));
            }
            if (decl.isOut()) out.push_back(CIMParamValue(String(decl.name.c_str()), v));
        }
        const CIMObjectPath path = r_.targetIsClass ? CIMObjectPath(String(cls.name.c_str()), String(ns_.c_str()))
                                                    : pathOf(r_.target);
        // As OpenWBEM does: a method on an instance runs only on an instance
        // that its provider can get.
        if (!r_.targetIsClass) {
            try {
                fetchInstance(cls, path, nullptr);
            } catch (const CIMException&) {
                fail(CIMException::NOT_FOUND, std::string("Instance not found: ") + path.toString().c_str());
            }
        }
        ProviderManager::Lease lease = providers_.acquire(providerOf(cls, method));
        CppMethodProviderIFC* provider = lease->getMethodProvider();
        if (!provider) fail(CIMException::NOT_SUPPORTED, "the provider of " + cls.name + " serves no methods");
        const CIMValue result =
            provider->invokeMethod(env_, String(ns_.c_str()), path, String(r_.method.c_str()), in, out);
        // As OpenWBEM writes them: a null return value is left out; every
        // output entry is written in its place, a null one without a value.
        if (result) out_.returnValue(result);
        for (size_t i = 0; i < out.size(); ++i) out_.paramValue(out[i].getName().c_str(), out[i].getValue());
        results = 1;
    }

    const CimRequest& r_;
    const ClassRepository& repo_;
    const std::string& ns_;
    ProviderManager& providers_;
    const ProviderEnvironmentIFCRef& env_;
    CimXmlWriter& out_;
};

}  // namespace

CimOperations::CimOperations(const ClassRepository& repo, std::string ns, ProviderManager& providers,
                             ProviderEnvironmentIFCRef env)
    : repo_(repo), ns_(std::move(ns)), providers_(providers), env_(env) {}

std::string CimOperations::providerIdOf(const std::string& value) {
    const size_t colon = value.find(':');
    if (colon == std::string::npos || !equalsIgnoreCase(value.substr(0, colon), "c++")) return "";
    size_t start = colon + 1;
    if (start < value.size() && value[start] == ':') ++start;
    return value.substr(start);
}

namespace {
double threadCpuMs() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// "12.345 ms (10.000 ms CPU)" since the start: on a loaded machine the wall time says little.
std::string timing(std::chrono::steady_clock::time_point started, double startedCpu) {
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
    char text[80];
    std::snprintf(text, sizeof text, "%.3f ms (%.3f ms CPU)", ms, threadCpuMs() - startedCpu);
    return text;
}
}  // namespace

std::string CimOperations::handle(const char* body, size_t size, const std::string& host) const {
    const auto started = std::chrono::steady_clock::now();
    const double startedCpu = threadCpuMs();
    return answer(parseCimRequest(body, size), host, started, startedCpu);
}

CimOperations::Reply CimOperations::handle(const char* body, size_t size, const std::string& host,
                                           const HeaderLookup& header) const {
    const auto started = std::chrono::steady_clock::now();
    const double startedCpu = threadCpuMs();
    const ParsedRequest parsed = parseCimRequest(body, size);
    const ProtocolRefusal refused = checkCimHeaders(
        CimHeaders{header("CIMOperation"), header("CIMProtocolVersion"), header("CIMMethod"), header("CIMObject")},
        parsed);
    Reply reply;
    if (!refused) {
        reply.body = answer(parsed, host, started, startedCpu);
        return reply;
    }
    reply.status = refused.status;
    reply.cimError = refused.cimError;
    reply.contentType = "text/plain; charset=utf-8";
    reply.body = refused.text + "\n";
    const std::string& method = parsed.request.method;
    env_->getLogger()->logInfo(String(((method.empty() ? std::string("(unreadable request)") : method) +
                                       ": refused with HTTP " + std::to_string(refused.status) + ", CIMError " +
                                       refused.cimError + " in " + timing(started, startedCpu))
                                          .c_str()));
    return reply;
}

std::string CimOperations::answer(const ParsedRequest& parsed, const std::string& host,
                                  std::chrono::steady_clock::time_point started, double startedCpu) const {
    const CimRequest& r = parsed.request;
    std::string payload;
    CimXmlWriter content(payload, host);
    int code = 0;
    std::string description;
    std::string subject;
    size_t results = 0;
    if (!parsed.ok) {
        code = parsed.error.code;
        description = parsed.error.description;
    } else {
        Call call(r, repo_, ns_, providers_, env_, content);
        try {
            call.run();
        } catch (const HostError& e) {
            code = e.code;
            description = e.text;
        } catch (const CIMException& e) {
            code = e.getErrNo();
            description = providerMessage(e);
        } catch (const std::exception& e) {
            code = CIMException::FAILED;
            description = e.what();
        } catch (...) {
            code = CIMException::FAILED;
            description = "unknown failure";
        }
        subject = call.subject;
        results = call.results;
    }
    std::string response;
    response.reserve(payload.size() + 256);
    CimXmlWriter envelope(response, host);
    envelope.begin(r.messageId, r.intrinsic, r.method);
    if (code != 0) envelope.error(code, description);
    else response += payload;
    envelope.end();

    std::string line = (r.method.empty() ? std::string("(unreadable request)") : r.method);
    if (!subject.empty()) line += " " + subject;
    if (code != 0) line += ": CIM error " + std::to_string(code) + " in " + timing(started, startedCpu);
    else
        line += ": " + std::to_string(results) + " results, " + std::to_string(response.size()) + " bytes in " +
                timing(started, startedCpu);
    env_->getLogger()->logInfo(String(line.c_str()));
    return response;
}

}  // namespace cimhost
