// Bytes of a CIM-XML request to the parsed request, or a CIM error, and the
// check of the request's CIM headers against it.
//
// Only a well-formed XML 1.0 document in UTF-8 without a document type
// declaration is read: a character XML does not allow, even as a character
// reference, or a byte that is not UTF-8 refuses the whole request, and the
// refusal says where, never what. The parser reads the envelope and the values
// as text; it knows no class. Typing values by their declared types is the
// operations' job. Pure functions of their input, safe from any thread; the
// time they take grows linearly with the request.
#pragma once

#include <memory>
#include <optional>
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
    std::vector<IParam> iparams;     // no name twice
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
    bool multiple = false;  // a MULTIREQ (refused)
};

ParsedRequest parseCimRequest(const char* data, size_t size);

// The CIM headers of an HTTP request, as sent; a header not sent is null.
struct CimHeaders {
    std::optional<std::string> operation;        // CIMOperation
    std::optional<std::string> protocolVersion;  // CIMProtocolVersion
    std::optional<std::string> method;           // CIMMethod
    std::optional<std::string> object;           // CIMObject
};

// A request refused at the HTTP level: the status, the CIMError header's
// value, and a line for people.
struct ProtocolRefusal {
    int status = 0;  // 0: not refused
    std::string cimError;
    std::string text;
    explicit operator bool() const { return status != 0; }
};

// Whether the CIM headers let the request be served, checked in this order:
// - CIMOperation must be MethodCall: else 400, unsupported-operation;
// - CIMProtocolVersion, 1.0 when not sent, must be 1.x: else 501,
//   unsupported-protocol-version;
// - a MULTIREQ: 501, multiple-requests-unsupported;
// - for a request that could be read, CIMMethod must name its method and
//   CIMObject its namespace (an intrinsic call), or the class or instance it
//   is called on, keys included (an extrinsic one), both in any case and
//   percent-decoded: else 400, header-mismatch. A request that could not be
//   read is answered with its CIM error instead.
ProtocolRefusal checkCimHeaders(const CimHeaders& headers, const ParsedRequest& parsed);

}  // namespace cimhost
