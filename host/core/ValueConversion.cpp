#include "ValueConversion.hpp"

#include <OW_Array.hpp>
#include <OW_Bool.hpp>
#include <OW_CIMProperty.hpp>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace cimhost {

using namespace OpenWBEM;

namespace {

// Decimal text with an optional sign and surrounding blanks, as a client may type it.
bool parseSigned(const std::string& text, long long& out) {
    const char* s = text.c_str();
    while (*s == ' ' || *s == '\t') ++s;
    if (!(*s == '-' || *s == '+' || (*s >= '0' && *s <= '9'))) return false;
    errno = 0;
    char* end = nullptr;
    out = std::strtoll(s, &end, 10);
    if (errno == ERANGE || end == s) return false;
    while (*end == ' ' || *end == '\t') ++end;
    return *end == '\0';
}

bool parseUnsigned(const std::string& text, unsigned long long& out) {
    const char* s = text.c_str();
    while (*s == ' ' || *s == '\t') ++s;
    if (*s == '+') ++s;
    if (!(*s >= '0' && *s <= '9')) return false;
    errno = 0;
    char* end = nullptr;
    out = std::strtoull(s, &end, 10);
    if (errno == ERANGE || end == s) return false;
    while (*end == ' ' || *end == '\t') ++end;
    return *end == '\0';
}

// A value quoted in an error description: its first 40 bytes (cut at a
// character boundary), so that a long value is not sent back whole.
std::string quoted(const std::string& text) {
    constexpr size_t kShown = 40;
    if (text.size() <= kShown) return "'" + text + "'";
    size_t end = kShown;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    return "'" + text.substr(0, end) + "...'";
}

[[noreturn]] void badValue(const std::string& typeName, const std::string& text) {
    throw ConversionError{quoted(text) + " is not a valid " + typeName};
}

template <class T>
T unsignedOf(const std::string& typeName, const std::string& text) {
    unsigned long long v = 0;
    if (!parseUnsigned(text, v) || v > std::numeric_limits<T>::max()) badValue(typeName, text);
    return static_cast<T>(v);
}

template <class T>
T signedOf(const std::string& typeName, const std::string& text) {
    long long v = 0;
    if (!parseSigned(text, v) || v > std::numeric_limits<T>::max() || v < std::numeric_limits<T>::min())
        badValue(typeName, text);
    return static_cast<T>(v);
}

double realOf(const std::string& typeName, const std::string& text) {
    const char* s = text.c_str();
    char* end = nullptr;
    errno = 0;
    const double d = std::strtod(s, &end);
    if (end == s || errno == ERANGE || !std::isfinite(d)) badValue(typeName, text);
    while (*end == ' ' || *end == '\t') ++end;
    if (*end != '\0') badValue(typeName, text);
    return d;
}

bool boolOf(const std::string& text) {
    std::string t = text;
    while (!t.empty() && (t.back() == ' ' || t.back() == '\t')) t.pop_back();
    size_t i = 0;
    while (i < t.size() && (t[i] == ' ' || t[i] == '\t')) ++i;
    t = toLower(t.substr(i));
    if (t == "true") return true;
    if (t == "false") return false;
    badValue("boolean", text);
}

template <class T, class Fn>
CIMValue arrayOf(const XmlValue& v, Fn item) {
    Array<T> out;
    for (size_t i = 0; i < v.items.size(); ++i) {
        if (i < v.itemIsNull.size() && v.itemIsNull[i]) throw ConversionError{"null array elements are not supported"};
        out.push_back(item(v.items[i]));
    }
    return CIMValue(out);
}

CIMObjectPath referenceOf(const InstancePath& p, const ClassRepository& repo, const std::string& defaultNs) {
    CIMObjectPath path = convertInstanceName(p.name, p.nameSpace.empty() ? defaultNs : p.nameSpace, repo);
    if (!p.host.empty()) path.setHost(String(p.host.c_str()));
    return path;
}

}  // namespace

TypeRef typeFromAttribute(const std::string& typeAttr, bool isArray) {
    static const char* const kKnown[] = {"uint8", "sint8", "uint16", "sint16", "uint32", "sint32", "uint64",
                                         "sint64", "real32", "real64", "boolean", "string", "reference"};
    TypeRef t;
    t.name = "string";
    t.isArray = isArray;
    for (const char* k : kKnown)
        if (equalsIgnoreCase(typeAttr, k)) t.name = k;
    return t;
}

CIMValue scalarFromText(const std::string& typeName, const std::string& text) {
    const std::string& t = typeName;
    if (t == "string") return CIMValue(String(text.c_str(), text.size()));
    if (t == "boolean") return CIMValue(Bool(boolOf(text)));
    if (t == "uint8") return CIMValue(unsignedOf<UInt8>(t, text));
    if (t == "uint16") return CIMValue(unsignedOf<UInt16>(t, text));
    if (t == "uint32") return CIMValue(unsignedOf<UInt32>(t, text));
    if (t == "uint64") return CIMValue(unsignedOf<UInt64>(t, text));
    if (t == "sint8") return CIMValue(signedOf<Int8>(t, text));
    if (t == "sint16") return CIMValue(signedOf<Int16>(t, text));
    if (t == "sint32") return CIMValue(signedOf<Int32>(t, text));
    if (t == "sint64") return CIMValue(signedOf<Int64>(t, text));
    if (t == "real32") return CIMValue(static_cast<Real32>(realOf(t, text)));
    if (t == "real64") return CIMValue(static_cast<Real64>(realOf(t, text)));
    throw ConversionError{"values of type " + t + " are not supported"};
}

CIMValue convertValue(const XmlValue& v, const TypeRef& type, const ClassRepository& repo,
                      const std::string& defaultNs) {
    switch (v.kind) {
    case XmlValue::Null:
        return CIMValue(CIMNULL);
    case XmlValue::Reference:
        if (!type.isReference() || type.isArray) throw ConversionError{"a reference where " + type.name + " is declared"};
        return CIMValue(referenceOf(*v.reference, repo, defaultNs));
    case XmlValue::Scalar:
        if (type.isArray) throw ConversionError{"a single value where an array is declared"};
        if (type.isReference()) throw ConversionError{quoted(v.text) + " is not a reference"};
        return scalarFromText(type.name, v.text);
    case XmlValue::Array:
        break;
    }
    if (!type.isArray) throw ConversionError{"an array where a single " + type.name + " is declared"};
    const std::string& t = type.name;
    auto cast = [&](const std::string& s) { return scalarFromText(t, s); };
    if (t == "string") return arrayOf<String>(v, [&](const std::string& s) { return String(s.c_str(), s.size()); });
    if (t == "boolean") return arrayOf<Bool>(v, [&](const std::string& s) { return Bool(boolOf(s)); });
    if (t == "uint8") return arrayOf<UInt8>(v, [&](const std::string& s) { return cast(s).toUInt8(); });
    if (t == "uint16") return arrayOf<UInt16>(v, [&](const std::string& s) { return cast(s).toUInt16(); });
    if (t == "uint32") return arrayOf<UInt32>(v, [&](const std::string& s) { return cast(s).toUInt32(); });
    if (t == "uint64") return arrayOf<UInt64>(v, [&](const std::string& s) { return cast(s).toUInt64(); });
    if (t == "sint8") return arrayOf<Int8>(v, [&](const std::string& s) { return cast(s).toInt8(); });
    if (t == "sint16") return arrayOf<Int16>(v, [&](const std::string& s) { return cast(s).toInt16(); });
    if (t == "sint32") return arrayOf<Int32>(v, [&](const std::string& s) { return cast(s).toInt32(); });
    if (t == "sint64") return arrayOf<Int64>(v, [&](const std::string& s) { return cast(s).toInt64(); });
    if (t == "real32") return arrayOf<Real32>(v, [&](const std::string& s) { return cast(s).toReal32(); });
    if (t == "real64") return arrayOf<Real64>(v, [&](const std::string& s) { return cast(s).toReal64(); });
    throw ConversionError{"arrays of type " + t + " are not supported"};
}

CIMObjectPath convertInstanceName(const InstanceName& name, const std::string& ns, const ClassRepository& repo) {
    CIMObjectPath path(String(name.className.c_str()), String(ns.c_str()));
    const ClassDef* cls = repo.find(name.className);
    auto valueOfKey = [&](const KeyBinding& k, const TypeRef* declared) -> CIMValue {
        if (k.reference) return CIMValue(referenceOf(*k.reference, repo, ns));
        if (declared) {
            if (declared->isReference()) throw ConversionError{"key " + k.name + " must be a reference"};
            try {
                return scalarFromText(declared->name, k.text);
            } catch (const ConversionError& e) {
                throw ConversionError{"key " + k.name + ": " + e.text};
            }
        }
        return CIMValue(String(k.text.c_str(), k.text.size()));
    };
    if (!cls) {
        for (const KeyBinding& k : name.keys)
            if (!k.name.empty()) path.setKeyValue(String(k.name.c_str()), valueOfKey(k, nullptr));
        return path;
    }
    const std::vector<const PropertyDef*> keys = cls->keys();
    for (const PropertyDef* decl : keys) {
        for (const KeyBinding& k : name.keys) {
            // A single-key name may leave the key unnamed.
            const bool matches = k.name.empty() ? keys.size() == 1 : equalsIgnoreCase(k.name, decl->name);
            if (!matches) continue;
            path.setKeyValue(String(decl->name.c_str()), valueOfKey(k, &decl->type));
            break;
        }
    }
    return path;
}

}  // namespace cimhost
