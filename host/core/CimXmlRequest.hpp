// Bytes of a CIM-XML request to the parsed request, or a CIM error.
//
// The parser only reads the envelope and the values as text; it knows no
// class. Typing values by their declared types is the operations' job.
// A pure function of its input, safe from any thread.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace cimhost {

struct CimError {
    int code = 0;
    std::string description;
};

struct InstancePath;

// A KEYVALUE's text with its VALUETYPE, or a VALUE.REFERENCE.
struct KeyBinding {
    std::string name;
    std::string valueType;                 // "string", "boolean" or "numeric"
    std::string text;
    std::shared_ptr<InstancePath> reference;  // set for a reference key
};

struct InstanceName {
    std::string className;
    std::vector<KeyBinding> keys;
};

// An instance path as a reference value carries it; host and namespace may be empty.
struct InstancePath {
    std::string host;
    std::string nameSpace;
    InstanceName name;
};

// A VALUE, VALUE.ARRAY or VALUE.REFERENCE, or nothing (null). <VALUE></VALUE> is
// the empty string, not null.
struct XmlValue {
    enum Kind { Null, Scalar, Array, Reference };
    Kind kind = Null;
    std::string text;                   // Scalar
    std::vector<std::string> items;     // Array
    std::vector<bool> itemIsNull;       // Array: VALUE.NULL elements
    std::shared_ptr<InstancePath> reference;  // Reference
};

struct XmlProperty {
    std::string name;
    std::string type;       // the TYPE attribute; may be empty
    bool isArray = false;   // PROPERTY.ARRAY
    bool isReference = false;  // PROPERTY.REFERENCE
    XmlValue value;
};

struct XmlInstance {
    std::string className;
    std::vector<XmlProperty> properties;
};

// One IPARAMVALUE of an intrinsic call.
struct IParam {
    enum Kind { Empty, Value, ValueArray, ClassName, Name, Instance, NamedInstance, Reference };
    std::string name;
    Kind kind = Empty;
    std::string text;                   // Value
    std::vector<std::string> items;     // ValueArray
    std::string className;              // ClassName
    InstanceName instanceName;          // Name, NamedInstance
    XmlInstance instance;               // Instance, NamedInstance
    std::shared_ptr<InstancePath> reference;  // Reference
};

// One PARAMVALUE of an extrinsic call, untyped as the client sent it.
struct MethodParam {
    std::string name;
    std::string paramType;  // PARAMTYPE, often absent
    XmlValue value;
};

struct CimRequest {
    std::string messageId;
    bool intrinsic = true;
    std::string method;      // IMETHODCALL or METHODCALL NAME
    std::string nameSpace;   // NAMESPACE names joined with '/'
    // Intrinsic calls.
    std::vector<IParam> iparams;
    // Extrinsic calls: the target is an instance (LOCALINSTANCEPATH) or a class.
    bool targetIsClass = false;
    InstanceName target;     // for a class target only className is set
    std::vector<MethodParam> params;

    const IParam* iparam(const std::string& name) const;
};

// What parsing gave: the request, and an error when it is not usable. Even on
// error, messageId, intrinsic and method hold what could be read, so the answer
// can use the right envelope.
struct ParsedRequest {
    CimRequest request;
    bool ok = true;
    CimError error;
};

ParsedRequest parseCimRequest(const char* data, size_t size);

}  // namespace cimhost
