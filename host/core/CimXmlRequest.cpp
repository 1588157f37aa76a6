#include "CimXmlRequest.hpp"

#include <expat.h>
#include <pugixml.hpp>

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

#include "ClassModel.hpp"

namespace cimhost {
namespace {

constexpr int kInvalidParameter = 4;
constexpr int kNotSupported = 7;
// References may hold references as keys; real paths nest one or two deep.
constexpr int kMaxReferenceDepth = 8;

struct Malformed {
    std::string text;
};

[[noreturn]] void malformed(const std::string& text) { throw Malformed{text}; }

// "" when the bytes are one well-formed XML 1.0 document in UTF-8 (whatever
// its declaration says) without a document type declaration; else why not,
// and where, in expat's words. The DOM parser below is lenient about
// characters and encodings, so nothing reaches it that this refuses.
std::string strictXmlError(const char* data, size_t size) {
    struct Check {
        XML_Parser parser = XML_ParserCreate("UTF-8");
        bool doctype = false;
        ~Check() { XML_ParserFree(parser); }
    } check;
    if (!check.parser) return "out of memory";
    XML_SetUserData(check.parser, &check);
    XML_SetStartDoctypeDeclHandler(check.parser, [](void* user, const XML_Char*, const XML_Char*, const XML_Char*, int) {
        Check* c = static_cast<Check*>(user);
        c->doctype = true;
        XML_StopParser(c->parser, XML_FALSE);
    });
    // In pieces: the length expat takes at once is an int.
    constexpr size_t kPiece = 1 << 20;
    size_t at = 0;
    XML_Status status = XML_STATUS_OK;
    do {
        const size_t n = std::min(kPiece, size - at);
        status = XML_Parse(check.parser, data + at, static_cast<int>(n), at + n == size);
        at += n;
    } while (status == XML_STATUS_OK && at < size);
    if (status == XML_STATUS_OK) return "";
    const std::string where = "line " + std::to_string(XML_GetCurrentLineNumber(check.parser)) + ", column " +
                              std::to_string(XML_GetCurrentColumnNumber(check.parser));
    if (check.doctype) return "a document type declaration is not accepted (" + where + ")";
    return std::string(XML_ErrorString(XML_GetErrorCode(check.parser))) + " (" + where + ")";
}

bool is(const pugi::xml_node& n, const char* name) { return std::strcmp(n.name(), name) == 0; }

// The element children of n, whitespace and comments aside.
template <class Fn>
void forElements(const pugi::xml_node& n, Fn fn) {
    for (pugi::xml_node c = n.first_child(); c; c = c.next_sibling())
        if (c.type() == pugi::node_element) fn(c);
}

pugi::xml_node onlyElement(const pugi::xml_node& n, const char* what) {
    pugi::xml_node found;
    forElements(n, [&](const pugi::xml_node& c) {
        if (found) malformed(std::string("more than one element in ") + what);
        found = c;
    });
    if (!found) malformed(std::string("nothing in ") + what);
    return found;
}

std::string requiredAttr(const pugi::xml_node& n, const char* attr) {
    pugi::xml_attribute a = n.attribute(attr);
    if (!a) malformed(std::string(n.name()) + " without " + attr);
    return a.value();
}

// The character data of an element, text and CDATA joined, kept exactly.
std::string textOf(const pugi::xml_node& n) {
    std::string s;
    for (pugi::xml_node c = n.first_child(); c; c = c.next_sibling()) {
        if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata) s += c.value();
        else if (c.type() == pugi::node_element) malformed(std::string("element inside ") + n.name());
    }
    return s;
}

std::string localNamespace(const pugi::xml_node& n) {
    if (!is(n, "LOCALNAMESPACEPATH")) malformed(std::string("expected LOCALNAMESPACEPATH, found ") + n.name());
    std::string ns;
    forElements(n, [&](const pugi::xml_node& c) {
        if (!is(c, "NAMESPACE")) malformed("expected NAMESPACE");
        if (!ns.empty()) ns += '/';
        ns += requiredAttr(c, "NAME");
    });
    if (ns.empty()) malformed("empty LOCALNAMESPACEPATH");
    return ns;
}

InstancePath instancePathOf(const pugi::xml_node& n, int depth);

InstanceName instanceNameOf(const pugi::xml_node& n, int depth) {
    if (!is(n, "INSTANCENAME")) malformed(std::string("expected INSTANCENAME, found ") + n.name());
    InstanceName name;
    name.className = requiredAttr(n, "CLASSNAME");
    forElements(n, [&](const pugi::xml_node& c) {
        KeyBinding key;
        if (is(c, "KEYVALUE")) {  // a single-key name may omit KEYBINDING
            key.valueType = c.attribute("VALUETYPE") ? c.attribute("VALUETYPE").value() : "string";
            key.text = textOf(c);
            name.keys.push_back(std::move(key));
            return;
        }
        if (is(c, "VALUE.REFERENCE")) {
            key.reference = std::make_shared<InstancePath>(instancePathOf(onlyElement(c, "VALUE.REFERENCE"), depth + 1));
            name.keys.push_back(std::move(key));
            return;
        }
        if (!is(c, "KEYBINDING")) malformed(std::string("unexpected ") + c.name() + " in INSTANCENAME");
        key.name = requiredAttr(c, "NAME");
        pugi::xml_node v = onlyElement(c, "KEYBINDING");
        if (is(v, "KEYVALUE")) {
            key.valueType = v.attribute("VALUETYPE") ? v.attribute("VALUETYPE").value() : "string";
            key.text = textOf(v);
        } else if (is(v, "VALUE.REFERENCE")) {
            key.reference = std::make_shared<InstancePath>(instancePathOf(onlyElement(v, "VALUE.REFERENCE"), depth + 1));
        } else {
            malformed(std::string("unexpected ") + v.name() + " in KEYBINDING");
        }
        name.keys.push_back(std::move(key));
    });
    return name;
}

// The content of a VALUE.REFERENCE: INSTANCEPATH, LOCALINSTANCEPATH or INSTANCENAME.
InstancePath instancePathOf(const pugi::xml_node& n, int depth) {
    if (depth > kMaxReferenceDepth) malformed("references nested too deep");
    InstancePath path;
    if (is(n, "INSTANCENAME")) {
        path.name = instanceNameOf(n, depth);
    } else if (is(n, "LOCALINSTANCEPATH")) {
        pugi::xml_node ns = n.first_element_by_path("LOCALNAMESPACEPATH");
        pugi::xml_node inst = n.child("INSTANCENAME");
        if (!ns || !inst) malformed("incomplete LOCALINSTANCEPATH");
        path.nameSpace = localNamespace(ns);
        path.name = instanceNameOf(inst, depth);
    } else if (is(n, "INSTANCEPATH")) {
        pugi::xml_node nsPath = n.child("NAMESPACEPATH");
        pugi::xml_node inst = n.child("INSTANCENAME");
        if (!nsPath || !inst) malformed("incomplete INSTANCEPATH");
        pugi::xml_node host = nsPath.child("HOST");
        pugi::xml_node ns = nsPath.child("LOCALNAMESPACEPATH");
        if (!host || !ns) malformed("incomplete NAMESPACEPATH");
        path.host = textOf(host);
        path.nameSpace = localNamespace(ns);
        path.name = instanceNameOf(inst, depth);
    } else {
        malformed(std::string("unsupported reference ") + n.name());
    }
    return path;
}

// What a PROPERTY, PARAMVALUE or IPARAMVALUE holds as a value; null when it holds none.
XmlValue valueOf(const pugi::xml_node& holder) {
    XmlValue v;
    forElements(holder, [&](const pugi::xml_node& c) {
        if (is(c, "QUALIFIER")) return;
        if (v.kind != XmlValue::Null) malformed(std::string("more than one value in ") + holder.name());
        if (is(c, "VALUE")) {
            v.kind = XmlValue::Scalar;
            v.text = textOf(c);
        } else if (is(c, "VALUE.ARRAY")) {
            v.kind = XmlValue::Array;
            forElements(c, [&](const pugi::xml_node& item) {
                if (is(item, "VALUE")) {
                    v.items.push_back(textOf(item));
                    v.itemIsNull.push_back(false);
                } else if (is(item, "VALUE.NULL")) {
                    v.items.emplace_back();
                    v.itemIsNull.push_back(true);
                } else {
                    malformed(std::string("unexpected ") + item.name() + " in VALUE.ARRAY");
                }
            });
        } else if (is(c, "VALUE.REFERENCE")) {
            v.kind = XmlValue::Reference;
            v.reference = std::make_shared<InstancePath>(instancePathOf(onlyElement(c, "VALUE.REFERENCE"), 0));
        } else {
            malformed(std::string("unexpected ") + c.name() + " in " + holder.name());
        }
    });
    return v;
}

XmlInstance instanceOf(const pugi::xml_node& n) {
    if (!is(n, "INSTANCE")) malformed(std::string("expected INSTANCE, found ") + n.name());
    XmlInstance inst;
    inst.className = requiredAttr(n, "CLASSNAME");
    size_t elements = 0;
    forElements(n, [&](const pugi::xml_node&) { ++elements; });
    inst.properties.reserve(elements);
    forElements(n, [&](const pugi::xml_node& c) {
        if (is(c, "QUALIFIER")) return;
        XmlProperty p;
        if (is(c, "PROPERTY.ARRAY")) p.isArray = true;
        else if (is(c, "PROPERTY.REFERENCE")) p.isReference = true;
        else if (!is(c, "PROPERTY")) malformed(std::string("unexpected ") + c.name() + " in INSTANCE");
        p.name = requiredAttr(c, "NAME");
        p.type = p.isReference ? "reference" : c.attribute("TYPE").value();
        p.value = valueOf(c);
        if (p.isArray && p.value.kind == XmlValue::Scalar) malformed("PROPERTY.ARRAY " + p.name + " holds a scalar");
        if (!p.isArray && p.value.kind == XmlValue::Array) malformed("PROPERTY " + p.name + " holds an array");
        inst.properties.push_back(std::move(p));
    });
    return inst;
}

IParam iparamOf(const pugi::xml_node& n) {
    IParam p;
    p.name = requiredAttr(n, "NAME");
    pugi::xml_node content;
    forElements(n, [&](const pugi::xml_node& c) {
        if (content) malformed("more than one element in IPARAMVALUE " + p.name);
        content = c;
    });
    if (!content) {
        // Text directly in IPARAMVALUE is not CIM-XML, but costs nothing to take.
        const std::string text = textOf(n);
        if (!text.empty()) {
            p.kind = IParam::Value;
            p.text = text;
        }
        return p;
    }
    if (is(content, "VALUE")) {
        p.kind = IParam::Value;
        p.text = textOf(content);
    } else if (is(content, "VALUE.ARRAY")) {
        p.kind = IParam::ValueArray;
        forElements(content, [&](const pugi::xml_node& item) {
            if (!is(item, "VALUE")) malformed("unexpected element in VALUE.ARRAY");
            p.items.push_back(textOf(item));
        });
    } else if (is(content, "CLASSNAME")) {
        p.kind = IParam::ClassName;
        p.className = requiredAttr(content, "NAME");
    } else if (is(content, "INSTANCENAME")) {
        p.kind = IParam::Name;
        p.instanceName = instanceNameOf(content, 0);
    } else if (is(content, "INSTANCE")) {
        p.kind = IParam::Instance;
        p.instance = instanceOf(content);
    } else if (is(content, "VALUE.NAMEDINSTANCE")) {
        p.kind = IParam::NamedInstance;
        pugi::xml_node name = content.child("INSTANCENAME");
        pugi::xml_node inst = content.child("INSTANCE");
        if (!name || !inst) malformed("incomplete VALUE.NAMEDINSTANCE");
        p.instanceName = instanceNameOf(name, 0);
        p.instance = instanceOf(inst);
    } else if (is(content, "VALUE.REFERENCE")) {
        p.kind = IParam::Reference;
        p.reference = std::make_shared<InstancePath>(instancePathOf(onlyElement(content, "VALUE.REFERENCE"), 0));
    } else {
        malformed(std::string("unsupported ") + content.name() + " in IPARAMVALUE " + p.name);
    }
    return p;
}

void readIntrinsic(const pugi::xml_node& call, CimRequest& r) {
    bool haveNs = false;
    std::unordered_set<std::string, NameHash, NameEqual> names;
    forElements(call, [&](const pugi::xml_node& c) {
        if (is(c, "LOCALNAMESPACEPATH")) {
            r.nameSpace = localNamespace(c);
            haveNs = true;
        } else if (is(c, "IPARAMVALUE")) {
            IParam p = iparamOf(c);
            if (!names.insert(p.name).second) malformed("parameter " + p.name + " given twice");
            r.iparams.push_back(std::move(p));
        } else {
            malformed(std::string("unexpected ") + c.name() + " in IMETHODCALL");
        }
    });
    if (!haveNs) malformed("IMETHODCALL without LOCALNAMESPACEPATH");
}

void readExtrinsic(const pugi::xml_node& call, CimRequest& r) {
    bool haveTarget = false;
    forElements(call, [&](const pugi::xml_node& c) {
        if (is(c, "LOCALINSTANCEPATH")) {
            const InstancePath path = instancePathOf(c, 0);
            r.nameSpace = path.nameSpace;
            r.target = path.name;
            haveTarget = true;
        } else if (is(c, "LOCALCLASSPATH")) {
            pugi::xml_node ns = c.child("LOCALNAMESPACEPATH");
            pugi::xml_node cls = c.child("CLASSNAME");
            if (!ns || !cls) malformed("incomplete LOCALCLASSPATH");
            r.nameSpace = localNamespace(ns);
            r.target.className = requiredAttr(cls, "NAME");
            r.targetIsClass = true;
            haveTarget = true;
        } else if (is(c, "PARAMVALUE")) {
            MethodParam p;
            p.name = requiredAttr(c, "NAME");
            p.paramType = c.attribute("PARAMTYPE").value();
            p.value = valueOf(c);
            r.params.push_back(std::move(p));
        } else {
            malformed(std::string("unexpected ") + c.name() + " in METHODCALL");
        }
    });
    if (!haveTarget) malformed("METHODCALL without a target path");
}

}  // namespace

const IParam* CimRequest::iparam(const std::string& n) const {
    for (const IParam& p : iparams)
        if (equalsIgnoreCase(p.name, n)) return &p;
    return nullptr;
}

ParsedRequest parseCimRequest(const char* data, size_t size) {
    ParsedRequest out;
    CimRequest& r = out.request;
    const std::string strict = strictXmlError(data, size);
    if (!strict.empty()) {
        out.ok = false;
        out.error = {kInvalidParameter, "request is not well-formed XML: " + strict};
        return out;
    }
    pugi::xml_document doc;
    // Whitespace-only text is kept where it is a value's whole text: "<VALUE> </VALUE>" is a space.
    const pugi::xml_parse_result parsed =
        doc.load_buffer(data, size, pugi::parse_default | pugi::parse_ws_pcdata_single, pugi::encoding_utf8);
    if (!parsed) {
        out.ok = false;
        out.error = {kInvalidParameter, std::string("request is not well-formed XML: ") + parsed.description() +
                                            " at byte " + std::to_string(parsed.offset)};
        return out;
    }
    try {
        pugi::xml_node cim = doc.document_element();
        if (!is(cim, "CIM")) malformed("the root element is not CIM");
        pugi::xml_node message = cim.child("MESSAGE");
        if (!message) malformed("no MESSAGE");
        r.messageId = message.attribute("ID").value();
        if (message.child("MULTIREQ")) {
            out.ok = false;
            out.multiple = true;
            out.error = {kNotSupported, "multiple requests are not supported"};
            return out;
        }
        pugi::xml_node simple = message.child("SIMPLEREQ");
        if (!simple) malformed("no SIMPLEREQ");
        pugi::xml_node call = simple.child("IMETHODCALL");
        if (call) {
            r.intrinsic = true;
            r.method = requiredAttr(call, "NAME");
            readIntrinsic(call, r);
        } else if ((call = simple.child("METHODCALL"))) {
            r.intrinsic = false;
            r.method = requiredAttr(call, "NAME");
            readExtrinsic(call, r);
        } else {
            malformed("SIMPLEREQ holds neither IMETHODCALL nor METHODCALL");
        }
    } catch (const Malformed& m) {
        out.ok = false;
        out.error = {kInvalidParameter, "malformed request: " + m.text};
    }
    return out;
}

namespace {

std::string trimmed(const std::string& s) {
    const size_t first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

// %XX sequences decoded; a '%' not followed by two hex digits is kept as it is.
std::string percentDecoded(const std::string& s) {
    auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && hex(s[i + 1]) >= 0 && hex(s[i + 2]) >= 0) {
            out += static_cast<char>(hex(s[i + 1]) * 16 + hex(s[i + 2]));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

std::string withoutOuterSlashes(const std::string& ns) {
    const size_t first = ns.find_first_not_of('/');
    if (first == std::string::npos) return "";
    return ns.substr(first, ns.find_last_not_of('/') - first + 1);
}

// Key bindings of an object path as clients write it: name=value pairs
// separated by commas, string values in double quotes with \" and \\ escaped,
// other values bare. False when the text is not of that form, or holds a
// reference, whose form varies between clients.
// Each key's name, and whether its value was quoted, and the value.
using HeaderKeys = std::unordered_map<std::string, std::pair<bool, std::string>, NameHash, NameEqual>;

bool keyBindingsOf(const std::string& text, HeaderKeys& keys) {
    size_t i = 0;
    while (i < text.size()) {
        const size_t eq = text.find('=', i);
        if (eq == std::string::npos || eq == i) return false;
        const std::string name = text.substr(i, eq - i);
        i = eq + 1;
        std::string value;
        bool quoted = false;
        if (i < text.size() && text[i] == '"') {
            quoted = true;
            for (++i; i < text.size() && text[i] != '"'; ++i) {
                if (text[i] == '\\' && i + 1 < text.size()) ++i;
                value += text[i];
            }
            if (i >= text.size()) return false;  // unterminated
            ++i;
        } else {
            const size_t end = std::min(text.find(',', i), text.size());
            value = text.substr(i, end - i);
            if (value.empty() || value.find_first_of("=\":") != std::string::npos) return false;  // a reference
            i = end;
        }
        if (!keys.emplace(name, std::make_pair(quoted, value)).second) return false;
        if (i < text.size()) {
            if (text[i] != ',') return false;
            ++i;
        }
    }
    return true;
}

// Whether a CIMObject header ("namespace:Class" or "namespace:Class.keys",
// decoded) names the target of an extrinsic call. Keys are compared where
// both sides write them plainly: a key that is a reference on either side
// leaves them to the body.
bool namesTarget(const std::string& object, const CimRequest& r) {
    const size_t colon = object.find(':');
    if (colon == std::string::npos) return false;
    if (!equalsIgnoreCase(withoutOuterSlashes(object.substr(0, colon)), r.nameSpace)) return false;
    const size_t dot = object.find('.', colon + 1);
    const std::string cls = object.substr(colon + 1, dot == std::string::npos ? std::string::npos : dot - colon - 1);
    if (!equalsIgnoreCase(cls, r.target.className)) return false;
    if (r.targetIsClass) return dot == std::string::npos;
    if (dot == std::string::npos) return false;
    for (const KeyBinding& k : r.target.keys)
        if (k.reference || k.name.empty()) return true;
    HeaderKeys keys;
    if (!keyBindingsOf(object.substr(dot + 1), keys)) return true;
    if (keys.size() != r.target.keys.size()) return false;
    for (const KeyBinding& k : r.target.keys) {
        const auto it = keys.find(k.name);
        if (it == keys.end()) return false;
        const bool quoted = it->second.first;
        const std::string& value = it->second.second;
        if (quoted ? value != k.text : !equalsIgnoreCase(value, trimmed(k.text))) return false;
    }
    return true;
}

ProtocolRefusal refusal(int status, const char* cimError, const std::string& text) {
    return ProtocolRefusal{status, cimError, text};
}

}  // namespace

ProtocolRefusal checkCimHeaders(const CimHeaders& h, const ParsedRequest& parsed) {
    if (!h.operation || trimmed(*h.operation) != "MethodCall")
        return refusal(400, "unsupported-operation",
                       "a CIM operation request carries the header CIMOperation: MethodCall");
    if (h.protocolVersion) {
        const std::string v = trimmed(*h.protocolVersion);
        const bool oneDotX = v.size() > 2 && v.compare(0, 2, "1.") == 0 &&
                             v.find_first_not_of("0123456789", 2) == std::string::npos;
        if (!oneDotX) return refusal(501, "unsupported-protocol-version", "CIMProtocolVersion 1.x is supported");
    }
    if (parsed.multiple)
        return refusal(501, "multiple-requests-unsupported", "multiple requests in one message are not supported");
    if (!parsed.ok) return {};
    const CimRequest& r = parsed.request;
    if (!h.method || !equalsIgnoreCase(percentDecoded(trimmed(*h.method)), r.method))
        return refusal(400, "header-mismatch", "the CIMMethod header does not name the method the request calls");
    const std::string object = h.object ? percentDecoded(trimmed(*h.object)) : "";
    const bool matches = h.object && (r.intrinsic ? equalsIgnoreCase(withoutOuterSlashes(object), r.nameSpace)
                                                  : namesTarget(object, r));
    if (!matches)
        return refusal(400, "header-mismatch",
                       r.intrinsic ? "the CIMObject header does not name the namespace of the request"
                                   : "the CIMObject header does not name the class or instance the method is called on");
    return {};
}

}  // namespace cimhost
