// Bytes of an HTTP request body to the host's CIM-XML request parser, then
// what the host does next with a parsed request that needs no provider: the
// values typed by the provider's MOF classes, and a response written with
// them (instance names, instances, references, method parameters, or the
// error). The response must be well-formed XML 1.0, by libxml2's strict
// parser (neither the host's reader nor its writer), and name the request's
// message id and method, whatever the request held.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>

#include <OW_CIMDataType.hpp>
#include <OW_CIMInstance.hpp>
#include <OW_CIMProperty.hpp>
#include <OW_CIMObjectPath.hpp>
#include <OW_CIMValue.hpp>

#include "CimXmlRequest.hpp"
#include "CimXmlWriter.hpp"
#include "ClassModel.hpp"
#include "MofParser.hpp"
#include "ValueConversion.hpp"

using namespace cimhost;
using namespace OpenWBEM;

namespace {

[[noreturn]] void finding(const std::string& what, const std::string& response) {
    std::fprintf(stderr, "fuzz_cimxml_request: %s\n--- response ---\n%s\n", what.c_str(), response.c_str());
    std::abort();
}

const ClassRepository& repository() {
    static const ClassRepository* const repo = [] {
        std::ifstream in(ZEP_FUZZ_MOF);
        std::stringstream text;
        text << in.rdbuf();
        const MofResult mof = parseMof(text.str());
        if (!in || !mof.ok || mof.classes.empty()) {
            std::fprintf(stderr, "fuzz_cimxml_request: cannot read the classes of %s\n", ZEP_FUZZ_MOF);
            std::abort();
        }
        auto* r = new ClassRepository;
        for (const ClassDef& c : mof.classes) r->add(c);
        return r;
    }();
    return *repo;
}

CIMInstance instanceOf(const XmlInstance& x, const ClassDef* cls, const std::string& ns) {
    CIMInstance inst(String(x.className.c_str()));
    for (const XmlProperty& p : x.properties) {
        const PropertyDef* decl = cls ? cls->property(p.name) : nullptr;
        const TypeRef type = decl ? decl->type : typeFromAttribute(p.isReference ? "reference" : p.type, p.isArray);
        const CIMValue v = convertValue(p.value, type, repository(), ns);
        // A property given twice replaces the first (the host refuses it).
        inst.setProperty(v ? CIMProperty(String(p.name.c_str()), v)
                           : CIMProperty(String(p.name.c_str()), CIMDataType(CIMDataType::STRING)));
    }
    return inst;
}

void answerIntrinsic(const CimRequest& r, CimXmlWriter& w) {
    const ClassRepository& repo = repository();
    w.beginReturn();
    for (const IParam& p : r.iparams) {
        switch (p.kind) {
        case IParam::ClassName:
            if (const ClassDef* cls = repo.find(p.className)) w.classDefinition(*cls, true);
            else w.className(p.className);
            break;
        case IParam::Name: w.instanceName(convertInstanceName(p.instanceName, r.nameSpace, repo)); break;
        case IParam::Instance:
        case IParam::NamedInstance: {
            const ClassDef* cls = repo.find(p.instance.className);
            const CIMInstance inst = instanceOf(p.instance, cls, r.nameSpace);
            w.namedInstance(inst, cls);
            w.objectWithPath(inst, cls, r.nameSpace);
            break;
        }
        case IParam::Reference:
            w.objectPath(convertInstanceName(p.reference->name,
                                             p.reference->nameSpace.empty() ? r.nameSpace : p.reference->nameSpace,
                                             repo),
                         r.nameSpace);
            break;
        case IParam::Value: w.value(CIMValue(String(p.text.c_str(), p.text.size()))); break;
        case IParam::ValueArray: {
            StringArray items;
            for (const std::string& s : p.items) items.push_back(String(s.c_str(), s.size()));
            w.value(CIMValue(items));
            break;
        }
        case IParam::Empty: break;
        }
    }
    w.endReturn();
}

void answerExtrinsic(const CimRequest& r, CimXmlWriter& w) {
    const ClassRepository& repo = repository();
    const ClassDef* cls = repo.find(r.target.className);
    const MethodDef* method = cls ? cls->method(r.method) : nullptr;
    CIMValue target(CIMNULL);
    if (!r.targetIsClass) target = CIMValue(convertInstanceName(r.target, r.nameSpace, repo));
    // The target stands in for the return value: a reference, or a string
    // naming the class.
    w.returnValue(target ? target : CIMValue(String(r.target.className.c_str())));
    for (const MethodParam& p : r.params) {
        const ParameterDef* decl = method ? method->parameter(p.name) : nullptr;
        const TypeRef type = decl ? decl->type : typeFromAttribute(p.paramType, p.value.kind == XmlValue::Array);
        const CIMValue v = convertValue(p.value, type, repo, r.nameSpace);
        w.paramValue(p.name, v);
    }
}

// The first element child of n named name (any element when name is null), or null.
xmlNodePtr child(xmlNodePtr n, const char* name) {
    for (xmlNodePtr c = n ? n->children : nullptr; c; c = c->next)
        if (c->type == XML_ELEMENT_NODE && (!name || xmlStrcmp(c->name, BAD_CAST name) == 0)) return c;
    return nullptr;
}

std::string attribute(xmlNodePtr n, const char* name) {
    xmlChar* v = n ? xmlGetProp(n, BAD_CAST name) : nullptr;
    const std::string s = v ? reinterpret_cast<const char*>(v) : "";
    xmlFree(v);
    return s;
}

void checkResponse(const CimRequest& r, const std::string& response) {
    xmlDocPtr doc = xmlReadMemory(response.data(), static_cast<int>(response.size()), "response.xml", nullptr,
                                  XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_HUGE);
    if (!doc) {
        const xmlError* e = xmlGetLastError();
        finding(std::string("response is not well-formed XML: ") + (e && e->message ? e->message : "?"), response);
    }
    const xmlNodePtr root = xmlDocGetRootElement(doc);
    const xmlNodePtr message = root && xmlStrcmp(root->name, BAD_CAST "CIM") == 0 ? child(root, "MESSAGE") : nullptr;
    const xmlNodePtr answer = child(child(message, "SIMPLERSP"), nullptr);
    // Line breaks and tabs are written as character references, so an
    // attribute reads back exactly as it was sent.
    const bool named =
        message && answer && r.messageId == attribute(message, "ID") && r.method == attribute(answer, "NAME");
    xmlFreeDoc(doc);
    if (!message || !answer) finding("response without MESSAGE and SIMPLERSP content", response);
    if (!named) finding("response names another message id or method", response);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    xmlInitParser();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const ParsedRequest parsed = parseCimRequest(reinterpret_cast<const char*>(data), size);
    const CimRequest& r = parsed.request;
    std::string response;
    CimXmlWriter w(response, "127.0.0.1:5988");
    w.begin(r.messageId, r.intrinsic, r.method);
    if (!parsed.ok) {
        w.error(parsed.error.code, parsed.error.description);
    } else {
        std::string body;
        CimXmlWriter answer(body, "127.0.0.1:5988");
        try {
            if (r.intrinsic) answerIntrinsic(r, answer);
            else answerExtrinsic(r, answer);
            response += body;
        } catch (const ConversionError& e) {
            w.error(4, e.text);
        }
    }
    w.end();
    checkResponse(r, response);
    return 0;
}
