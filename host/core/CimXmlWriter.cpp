#include "CimXmlWriter.hpp"

#include <OW_Array.hpp>
#include <OW_CIMDataType.hpp>
#include <OW_CIMProperty.hpp>
#include <OW_CIMValueCast.hpp>

#include <cstdio>

namespace cimhost {

using namespace OpenWBEM;

namespace {

// The length of the UTF-8 character at p, or 0 where none starts: shortest
// forms only, no surrogates, nothing above U+10FFFF.
size_t utf8Length(const unsigned char* p, size_t avail) {
    const unsigned char c = p[0];
    auto cont = [&](size_t i, unsigned char lo = 0x80, unsigned char hi = 0xBF) {
        return i < avail && p[i] >= lo && p[i] <= hi;
    };
    if (c >= 0xC2 && c <= 0xDF) return cont(1) ? 2 : 0;
    if (c >= 0xE0 && c <= 0xEF) return cont(1, c == 0xE0 ? 0xA0 : 0x80, c == 0xED ? 0x9F : 0xBF) && cont(2) ? 3 : 0;
    if (c >= 0xF0 && c <= 0xF4)
        return cont(1, c == 0xF0 ? 0x90 : 0x80, c == 0xF4 ? 0x8F : 0xBF) && cont(2) && cont(3) ? 4 : 0;
    return 0;
}

// U+FFFD, in place of what XML cannot carry.
const char kReplacement[] = "\xEF\xBF\xBD";

// Text as XML 1.0 carries it: & < > escaped, and " too in attributes. A
// control character other than tab, line feed and carriage return, U+FFFE,
// U+FFFF, and every byte that is not part of a UTF-8 character cannot be
// written at all, not even as a reference: each becomes U+FFFD.
void appendEscaped(std::string& out, const char* s, size_t n, bool attribute) {
    const unsigned char* u = reinterpret_cast<const unsigned char*>(s);
    size_t run = 0;  // the first byte not yet copied
    size_t i = 0;
    while (i < n) {
        const unsigned char c = u[i];
        const char* rep = nullptr;
        size_t length = 1;
        if (c >= 0x80) {
            length = utf8Length(u + i, n - i);
            const bool notXml = length == 3 && c == 0xEF && u[i + 1] == 0xBF && u[i + 2] >= 0xBE;  // U+FFFE, U+FFFF
            if (length && !notXml) {
                i += length;
                continue;
            }
            if (!length) length = 1;
            rep = kReplacement;
        } else {
            switch (c) {
            case '&': rep = "&amp;"; break;
            case '<': rep = "&lt;"; break;
            case '>': rep = "&gt;"; break;
            case '"': rep = attribute ? "&quot;" : nullptr; break;
            // In an attribute a parser turns a raw line break or tab into a
            // space; as references they arrive as sent.
            case '\n': rep = attribute ? "&#10;" : nullptr; break;
            case '\r': rep = attribute ? "&#13;" : nullptr; break;
            case '\t': rep = attribute ? "&#9;" : nullptr; break;
            default:
                if (c < 0x20) rep = kReplacement;
                break;
            }
            if (!rep) {
                ++i;
                continue;
            }
        }
        out.append(s + run, i - run);
        out += rep;
        run = i += length;
    }
    out.append(s + run, n - run);
}

void appendText(std::string& out, const std::string& s) { appendEscaped(out, s.data(), s.size(), false); }
void appendText(std::string& out, const String& s) { appendEscaped(out, s.c_str(), s.length(), false); }
void appendAttr(std::string& out, const std::string& s) { appendEscaped(out, s.data(), s.size(), true); }
void appendAttr(std::string& out, const String& s) { appendEscaped(out, s.c_str(), s.length(), true); }

std::string realText(double d, bool single) {
    char buf[40];
    std::snprintf(buf, sizeof buf, single ? "%.9g" : "%.17g", d);
    return buf;
}

std::string keyValueType(const CIMValue& v) {
    if (v.getType() == CIMDataType::BOOLEAN) return "boolean";
    if (v.isNumericType()) return "numeric";
    return "string";
}

std::string namespaceOf(const CIMObjectPath& path, const std::string& fallback) {
    const String ns = path.getNameSpace();
    return ns.empty() ? fallback : std::string(ns.c_str());
}

}  // namespace

std::string escapeText(const std::string& s) {
    std::string out;
    appendText(out, s);
    return out;
}

std::string escapeAttribute(const std::string& s) {
    std::string out;
    appendAttr(out, s);
    return out;
}

static const char* typeName(CIMDataType::Type t) {
    switch (t) {
    case CIMDataType::UINT8: return "uint8";
    case CIMDataType::SINT8: return "sint8";
    case CIMDataType::UINT16: return "uint16";
    case CIMDataType::SINT16: return "sint16";
    case CIMDataType::UINT32: return "uint32";
    case CIMDataType::SINT32: return "sint32";
    case CIMDataType::UINT64: return "uint64";
    case CIMDataType::SINT64: return "sint64";
    case CIMDataType::STRING: return "string";
    case CIMDataType::BOOLEAN: return "boolean";
    case CIMDataType::REAL32: return "real32";
    case CIMDataType::REAL64: return "real64";
    case CIMDataType::DATETIME: return "datetime";
    case CIMDataType::CHAR16: return "char16";
    case CIMDataType::REFERENCE: return "reference";
    default: return "string";
    }
}

std::string typeNameOf(const CIMValue& v) {
    if (!v) return "";
    return typeName(v.getType());
}

std::string scalarText(const CIMValue& v) {
    switch (v.getType()) {
    case CIMDataType::BOOLEAN: return v.toBool() ? "true" : "false";
    case CIMDataType::REAL32: return realText(v.toReal32(), true);
    case CIMDataType::REAL64: return realText(v.toReal64(), false);
    default: break;
    }
    const String s = v.toString();
    return std::string(s.c_str(), s.length());
}

// The text of a scalar that is not a reference, escaped, appended in place:
// this runs once per property of every instance written.
static void appendScalar(std::string& out, const CIMValue& v) {
    switch (v.getType()) {
    case CIMDataType::BOOLEAN: out += v.toBool() ? "true" : "false"; return;
    case CIMDataType::REAL32:
    case CIMDataType::REAL64: appendText(out, scalarText(v)); return;
    default: break;
    }
    appendText(out, v.toString());
}

void CimXmlWriter::begin(const std::string& messageId, bool intrinsic, const std::string& method) {
    out_ += "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n"
            "<CIM CIMVERSION=\"2.0\" DTDVERSION=\"2.0\"><MESSAGE ID=\"";
    appendAttr(out_, messageId);
    out_ += "\" PROTOCOLVERSION=\"1.0\"><SIMPLERSP>";
    out_ += intrinsic ? "<IMETHODRESPONSE NAME=\"" : "<METHODRESPONSE NAME=\"";
    appendAttr(out_, method);
    out_ += "\">";
    intrinsic_ = intrinsic;
}

void CimXmlWriter::end() {
    out_ += intrinsic_ ? "</IMETHODRESPONSE>" : "</METHODRESPONSE>";
    out_ += "</SIMPLERSP></MESSAGE></CIM>\n";
}

void CimXmlWriter::error(int code, const std::string& description) {
    out_ += "<ERROR CODE=\"";
    out_ += std::to_string(code);
    out_ += "\" DESCRIPTION=\"";
    appendAttr(out_, description);
    out_ += "\"/>";
}

void CimXmlWriter::className(const std::string& name) {
    out_ += "<CLASSNAME NAME=\"";
    appendAttr(out_, name);
    out_ += "\"/>";
}

void CimXmlWriter::instanceName(const CIMObjectPath& path) {
    instanceName(path.getClassName(), path.getKeys());
}

void CimXmlWriter::instanceName(const String& className, const CIMPropertyArray& keys) {
    out_ += "<INSTANCENAME CLASSNAME=\"";
    appendAttr(out_, className);
    out_ += "\">";
    for (size_t i = 0; i < keys.size(); ++i) {
        const CIMValue v = keys[i].getValue();
        if (!v) continue;
        out_ += "<KEYBINDING NAME=\"";
        appendAttr(out_, keys[i].getName());
        out_ += "\">";
        if (v.getType() == CIMDataType::REFERENCE && !v.isArray()) {
            reference(v.toCIMObjectPath());
        } else {
            out_ += "<KEYVALUE VALUETYPE=\"";
            out_ += keyValueType(v);
            out_ += "\">";
            appendScalar(out_, v);
            out_ += "</KEYVALUE>";
        }
        out_ += "</KEYBINDING>";
    }
    out_ += "</INSTANCENAME>";
}

void CimXmlWriter::instancePath(const CIMObjectPath& path, const std::string& ns) {
    out_ += "<INSTANCEPATH><NAMESPACEPATH><HOST>";
    const String host = path.getHost();
    if (host.empty()) appendText(out_, host_);
    else appendText(out_, host);
    out_ += "</HOST>";
    localNamespacePath(namespaceOf(path, ns));
    out_ += "</NAMESPACEPATH>";
    instanceName(path);
    out_ += "</INSTANCEPATH>";
}

void CimXmlWriter::localNamespacePath(const std::string& full) {
    out_ += "<LOCALNAMESPACEPATH>";
    size_t start = 0;
    while (start <= full.size()) {
        size_t slash = full.find('/', start);
        if (slash == std::string::npos) slash = full.size();
        if (slash > start) {
            out_ += "<NAMESPACE NAME=\"";
            appendAttr(out_, full.substr(start, slash - start));
            out_ += "\"></NAMESPACE>";
        }
        start = slash + 1;
    }
    out_ += "</LOCALNAMESPACEPATH>";
}

void CimXmlWriter::reference(const CIMObjectPath& path) {
    out_ += "<VALUE.REFERENCE>";
    const String ns = path.getNameSpace();
    if (!path.getHost().empty()) {
        instancePath(path, "");
    } else if (!ns.empty()) {
        out_ += "<LOCALINSTANCEPATH>";
        localNamespacePath(std::string(ns.c_str(), ns.length()));
        instanceName(path);
        out_ += "</LOCALINSTANCEPATH>";
    } else {
        instanceName(path);
    }
    out_ += "</VALUE.REFERENCE>";
}

CIMObjectPath CimXmlWriter::pathOf(const CIMInstance& inst, const std::string& ns) {
    return CIMObjectPath(String(ns.c_str()), inst);
}

void CimXmlWriter::property(const std::string& name, const std::string& type, bool isArray,
                            const std::string& refClass, const CIMValue& v) {
    const bool isRef = type == "reference";
    const char* element = isRef ? (isArray ? "PROPERTY.REFARRAY" : "PROPERTY.REFERENCE")
                                : (isArray ? "PROPERTY.ARRAY" : "PROPERTY");
    out_ += '<';
    out_ += element;
    out_ += " NAME=\"";
    appendAttr(out_, name);
    out_ += '"';
    if (isRef) {
        if (!refClass.empty()) {
            out_ += " REFERENCECLASS=\"";
            appendAttr(out_, refClass);
            out_ += '"';
        }
    } else {
        out_ += " TYPE=\"";
        out_ += type;
        out_ += '"';
    }
    out_ += '>';
    value(v);
    out_ += "</";
    out_ += element;
    out_ += '>';
}

void CimXmlWriter::instance(const CIMInstance& inst, const ClassDef* cls) {
    out_ += "<INSTANCE CLASSNAME=\"";
    appendAttr(out_, inst.getClassName());
    out_ += "\">";
    const CIMPropertyArray props = inst.getProperties();
    std::vector<bool> seen(cls ? cls->properties.size() : 0, false);
    for (size_t i = 0; i < props.size(); ++i) {
        const CIMProperty& p = props[i];
        const String name = p.getName();
        const CIMValue v = p.getValue();
        const PropertyDef* decl = nullptr;
        if (cls) {
            decl = cls->property(name.c_str());
            if (decl) seen[decl - cls->properties.data()] = true;
        }
        std::string type;
        bool isArray = false;
        std::string refClass;
        const CIMDataType dt = p.getDataType();
        if (dt) {
            type = typeName(dt.getType());
            isArray = dt.isArrayType();
            if (dt.getType() == CIMDataType::REFERENCE) refClass = dt.getRefClassName().c_str();
        } else if (v) {
            type = typeName(v.getType());
            isArray = v.isArray();
        }
        if (decl && (type.empty() || (type == "reference" && refClass.empty()))) {
            if (type.empty()) {
                type = decl->type.name;
                isArray = decl->type.isArray;
            }
            refClass = decl->type.refClass;
        }
        if (type.empty()) type = "string";
        property(name.c_str(), type, isArray, refClass, v);
    }
    for (size_t i = 0; i < seen.size(); ++i) {
        if (seen[i]) continue;
        const PropertyDef& d = cls->properties[i];
        property(d.name, d.type.name, d.type.isArray, d.type.refClass, CIMValue(CIMNULL));
    }
    out_ += "</INSTANCE>";
}

void CimXmlWriter::namedInstance(const CIMInstance& inst, const ClassDef* cls) {
    out_ += "<VALUE.NAMEDINSTANCE>";
    instanceName(inst.getClassName(), inst.getKeyValuePairs());
    instance(inst, cls);
    out_ += "</VALUE.NAMEDINSTANCE>";
}

void CimXmlWriter::objectWithPath(const CIMInstance& inst, const ClassDef* cls, const std::string& ns) {
    out_ += "<VALUE.OBJECTWITHPATH>";
    instancePath(pathOf(inst, ns), ns);
    instance(inst, cls);
    out_ += "</VALUE.OBJECTWITHPATH>";
}

void CimXmlWriter::objectPath(const CIMObjectPath& path, const std::string& ns) {
    out_ += "<OBJECTPATH>";
    instancePath(path, ns);
    out_ += "</OBJECTPATH>";
}

void CimXmlWriter::value(const CIMValue& v) {
    if (!v) return;
    if (v.getType() == CIMDataType::REFERENCE) {
        if (v.isArray()) {
            const CIMObjectPathArray paths = v.toCIMObjectPathArray();
            out_ += "<VALUE.REFARRAY>";
            for (size_t i = 0; i < paths.size(); ++i) reference(paths[i]);
            out_ += "</VALUE.REFARRAY>";
        } else {
            reference(v.toCIMObjectPath());
        }
        return;
    }
    if (!v.isArray()) {
        out_ += "<VALUE>";
        appendScalar(out_, v);
        out_ += "</VALUE>";
        return;
    }
    out_ += "<VALUE.ARRAY>";
    if (v.getType() == CIMDataType::BOOLEAN) {
        const BoolArray items = v.toBoolArray();
        for (size_t i = 0; i < items.size(); ++i) out_ += items[i] ? "<VALUE>true</VALUE>" : "<VALUE>false</VALUE>";
    } else {
        const StringArray items =
            CIMValueCast::castValueToDataType(v, CIMDataType(CIMDataType::STRING, 0)).toStringArray();
        for (size_t i = 0; i < items.size(); ++i) {
            out_ += "<VALUE>";
            appendText(out_, items[i]);
            out_ += "</VALUE>";
        }
    }
    out_ += "</VALUE.ARRAY>";
}

void CimXmlWriter::returnValue(const CIMValue& v) {
    out_ += "<RETURNVALUE PARAMTYPE=\"";
    out_ += typeNameOf(v);
    out_ += "\">";
    value(v);
    out_ += "</RETURNVALUE>";
}

void CimXmlWriter::paramValue(const std::string& name, const CIMValue& v) {
    out_ += "<PARAMVALUE NAME=\"";
    appendAttr(out_, name);
    out_ += '"';
    if (v) {
        out_ += " PARAMTYPE=\"";
        out_ += typeNameOf(v);
        out_ += '"';
    }
    out_ += '>';
    value(v);
    out_ += "</PARAMVALUE>";
}

void CimXmlWriter::qualifier(const Qualifier& q) {
    out_ += "<QUALIFIER NAME=\"";
    appendAttr(out_, q.name);
    out_ += "\" TYPE=\"";
    out_ += q.typeName();
    out_ += "\">";
    if (q.value.kind != QualifierValue::Null) {
        auto item = [&](const std::string& s) {
            out_ += "<VALUE>";
            if (q.value.kind == QualifierValue::Boolean) out_ += s == "true" ? "true" : "false";
            else appendText(out_, s);
            out_ += "</VALUE>";
        };
        if (q.value.isArray) {
            out_ += "<VALUE.ARRAY>";
            for (const std::string& s : q.value.items) item(s);
            out_ += "</VALUE.ARRAY>";
        } else if (!q.value.items.empty()) {
            item(q.value.items[0]);
        }
    }
    out_ += "</QUALIFIER>";
}

void CimXmlWriter::classDefinition(const ClassDef& cls, bool includeQualifiers) {
    out_ += "<CLASS NAME=\"";
    appendAttr(out_, cls.name);
    out_ += '"';
    if (!cls.superClass.empty()) {
        out_ += " SUPERCLASS=\"";
        appendAttr(out_, cls.superClass);
        out_ += '"';
    }
    out_ += '>';
    // Key, In and Out are written always: clients check paths and type
    // parameters by them even when they asked for no qualifiers.
    auto wanted = [&](const Qualifier& q) {
        return includeQualifiers || equalsIgnoreCase(q.name, "Key") || equalsIgnoreCase(q.name, "In") ||
               equalsIgnoreCase(q.name, "Out");
    };
    if (includeQualifiers)
        for (const Qualifier& q : cls.qualifiers) qualifier(q);
    // A property or a parameter: its element names its kind, its name and
    // its type, or the class it refers to.
    auto typedElement = [&](const std::string& kind, const auto& item) {
        const bool isRef = item.type.isReference();
        const std::string element =
            kind + (isRef ? (item.type.isArray ? ".REFARRAY" : ".REFERENCE") : (item.type.isArray ? ".ARRAY" : ""));
        out_ += '<';
        out_ += element;
        out_ += " NAME=\"";
        appendAttr(out_, item.name);
        out_ += '"';
        if (isRef) {
            out_ += " REFERENCECLASS=\"";
            appendAttr(out_, item.type.refClass);
            out_ += '"';
        } else {
            out_ += " TYPE=\"" + item.type.name + '"';
        }
        out_ += '>';
        for (const Qualifier& q : item.qualifiers)
            if (wanted(q)) qualifier(q);
        out_ += "</";
        out_ += element;
        out_ += '>';
    };
    for (const PropertyDef& p : cls.properties) typedElement("PROPERTY", p);
    for (const MethodDef& m : cls.methods) {
        out_ += "<METHOD NAME=\"";
        appendAttr(out_, m.name);
        out_ += "\" TYPE=\"" + m.returnType.name + "\">";
        if (includeQualifiers)
            for (const Qualifier& q : m.qualifiers) qualifier(q);
        for (const ParameterDef& p : m.parameters) typedElement("PARAMETER", p);
        out_ += "</METHOD>";
    }
    out_ += "</CLASS>";
}

}  // namespace cimhost
