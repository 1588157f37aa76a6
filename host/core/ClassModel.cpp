#include "ClassModel.hpp"

#include <algorithm>
#include <cctype>
#include <cstdint>

namespace cimhost {

std::string toLower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

namespace {
// Names are ASCII identifiers: their case is folded without the locale.
inline unsigned char folded(char c) {
    const unsigned char u = static_cast<unsigned char>(c);
    return u >= 'A' && u <= 'Z' ? static_cast<unsigned char>(u + ('a' - 'A')) : u;
}
}  // namespace

bool NameEqual::operator()(std::string_view a, std::string_view b) const {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (folded(a[i]) != folded(b[i])) return false;
    return true;
}

bool equalsIgnoreCase(const std::string& a, const std::string& b) { return NameEqual()(a, b); }

size_t NameHash::operator()(std::string_view s) const {
    // FNV-1a over the case-folded bytes.
    uint64_t h = 14695981039346656037ull;
    for (char c : s) {
        h ^= folded(c);
        h *= 1099511628211ull;
    }
    return static_cast<size_t>(h);
}

std::string Qualifier::typeName() const {
    switch (value.kind) {
    case QualifierValue::Boolean: return "boolean";
    case QualifierValue::Integer: return "sint64";
    case QualifierValue::Real: return "real64";
    case QualifierValue::String:
    case QualifierValue::Null: break;
    }
    return "string";
}

const Qualifier* Qualified::qualifier(const std::string& name) const {
    for (const Qualifier& q : qualifiers)
        if (equalsIgnoreCase(q.name, name)) return &q;
    return nullptr;
}

bool Qualified::hasTrue(const std::string& name) const {
    const Qualifier* q = qualifier(name);
    return q && q->value.kind == QualifierValue::Boolean && !q->value.isArray &&
           !q->value.items.empty() && q->value.items[0] == "true";
}

std::string Qualified::stringQualifier(const std::string& name) const {
    const Qualifier* q = qualifier(name);
    if (!q || q->value.kind != QualifierValue::String || q->value.items.empty()) return "";
    return q->value.items[0];
}

bool ParameterDef::isIn() const {
    if (qualifier("In")) return hasTrue("In");
    return true;
}

const ParameterDef* MethodDef::parameter(const std::string& n) const {
    for (const ParameterDef& p : parameters)
        if (equalsIgnoreCase(p.name, n)) return &p;
    return nullptr;
}

const PropertyDef* ClassDef::property(const std::string& n) const {
    if (indexed_) {
        const auto it = propertyIndex_.find(n);
        return it == propertyIndex_.end() ? nullptr : &properties[it->second];
    }
    for (const PropertyDef& p : properties)
        if (equalsIgnoreCase(p.name, n)) return &p;
    return nullptr;
}

void ClassDef::buildIndex() {
    propertyIndex_.clear();
    // The first of two declarations of a name wins, as with the scan.
    for (size_t i = 0; i < properties.size(); ++i) propertyIndex_.emplace(properties[i].name, i);
    indexed_ = true;
}

const MethodDef* ClassDef::method(const std::string& n) const {
    for (const MethodDef& m : methods)
        if (equalsIgnoreCase(m.name, n)) return &m;
    return nullptr;
}

std::vector<const PropertyDef*> ClassDef::keys() const {
    std::vector<const PropertyDef*> out;
    for (const PropertyDef& p : properties)
        if (p.isKey()) out.push_back(&p);
    return out;
}

bool ClassRepository::add(ClassDef cls) {
    const std::string key = toLower(cls.name);
    if (byLowerName_.count(key)) return false;
    cls.buildIndex();
    auto shared = std::make_shared<const ClassDef>(std::move(cls));
    byLowerName_.emplace(key, shared);
    ordered_.push_back(shared);
    return true;
}

const ClassDef* ClassRepository::find(const std::string& name) const {
    auto it = byLowerName_.find(toLower(name));
    return it == byLowerName_.end() ? nullptr : it->second.get();
}

}  // namespace cimhost
