// Class definitions as the host keeps them: what a MOF file declares, in
// declaration order. Plain values, built once at start-up and read-only
// afterwards, so any number of request threads may read them.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace cimhost {

// A qualifier value from MOF: absent (a bare [Key] means true), a scalar or an array.
struct QualifierValue {
    enum Kind { Boolean, String, Integer, Real, Null };
    Kind kind = Boolean;
    bool isArray = false;
    std::vector<std::string> items;  // scalar: one item; boolean items are "true"/"false"
};

struct Qualifier {
    std::string name;
    QualifierValue value;

    // The CIM-XML type name of the value ("boolean", "string", "sint64", "real64").
    std::string typeName() const;
};

// Case-insensitive lookup among qualifiers, properties, methods and parameters.
bool equalsIgnoreCase(const std::string& a, const std::string& b);

// Hash and equality of names in any case, for maps and sets keyed by CIM
// names (strings or views of them).
struct NameHash {
    size_t operator()(std::string_view s) const;
};
struct NameEqual {
    bool operator()(std::string_view a, std::string_view b) const;
};

struct Qualified {
    std::vector<Qualifier> qualifiers;

    const Qualifier* qualifier(const std::string& name) const;
    // A boolean qualifier that is present and true.
    bool hasTrue(const std::string& name) const;
    // The first item of a string qualifier, or "" when it is absent.
    std::string stringQualifier(const std::string& name) const;
};

// A CIM data type by its CIM-XML name: "uint8" ... "sint64", "real32", "real64",
// "boolean", "string", "datetime", "char16", or "reference" with refClass set.
struct TypeRef {
    std::string name;
    bool isArray = false;
    std::string refClass;

    bool isReference() const { return name == "reference"; }
};

struct PropertyDef : Qualified {
    std::string name;
    TypeRef type;
    bool isKey() const { return hasTrue("Key"); }
};

struct ParameterDef : Qualified {
    std::string name;
    TypeRef type;
    // A parameter without In or Out qualifier is an input, as CIM has it.
    bool isIn() const;
    bool isOut() const { return hasTrue("Out"); }
};

struct MethodDef : Qualified {
    std::string name;
    TypeRef returnType;
    std::vector<ParameterDef> parameters;

    const ParameterDef* parameter(const std::string& name) const;
};

struct ClassDef : Qualified {
    std::string name;
    std::string superClass;
    std::vector<PropertyDef> properties;
    std::vector<MethodDef> methods;

    // By name in any case: through the index once it is built, else by a scan.
    const PropertyDef* property(const std::string& name) const;
    const MethodDef* method(const std::string& name) const;
    std::vector<const PropertyDef*> keys() const;

    // Indexes the properties by name; the repository does it for every class
    // it takes, after which the properties must not change.
    void buildIndex();

private:
    std::unordered_map<std::string, size_t, NameHash, NameEqual> propertyIndex_;
    bool indexed_ = false;
};

// The classes of one namespace, found by name in any case. Built single-threaded,
// then shared read-only.
class ClassRepository {
public:
    // Adds a class; false when one of that name (any case) is already there.
    bool add(ClassDef cls);
    const ClassDef* find(const std::string& name) const;
    // Every class in the order added.
    const std::vector<std::shared_ptr<const ClassDef>>& all() const { return ordered_; }

private:
    std::vector<std::shared_ptr<const ClassDef>> ordered_;
    std::map<std::string, std::shared_ptr<const ClassDef>> byLowerName_;
};

std::string toLower(std::string s);

}  // namespace cimhost
