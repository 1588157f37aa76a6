// CIM-XML response text, written the way wbemcli reads it: the <?xml ?>
// declaration, no self-closed element that may have content, every property
// with its TYPE, booleans as true/false, & < > escaped in text and " too in
// attributes, line breaks and tabs in attributes as character references.
// Whatever the texts hold, the answer is well-formed XML 1.0: a character XML
// cannot carry (a control character other than tab, line feed and carriage
// return, U+FFFE, U+FFFF) and a byte that is not part of a UTF-8 character
// are each written as U+FFFD.
//
// A writer appends to a string its owner keeps; one writer per response, used
// by one thread.
#pragma once

#include <string>
#include <utility>

#include <OW_CIMFwd.hpp>
#include <OW_CIMInstance.hpp>
#include <OW_CIMObjectPath.hpp>
#include <OW_CIMValue.hpp>

#include "ClassModel.hpp"

namespace cimhost {

std::string escapeText(const std::string& s);
std::string escapeAttribute(const std::string& s);

class CimXmlWriter {
public:
    // host is what references name as their HOST (the request's Host header).
    CimXmlWriter(std::string& out, std::string host) : out_(out), host_(std::move(host)) {}

    // <?xml ...?><CIM ...><MESSAGE ...><SIMPLERSP><IMETHODRESPONSE or METHODRESPONSE NAME=...>
    void begin(const std::string& messageId, bool intrinsic, const std::string& method);
    // Closes what begin opened.
    void end();
    void error(int code, const std::string& description);

    void beginReturn() { out_ += "<IRETURNVALUE>"; }
    void endReturn() { out_ += "</IRETURNVALUE>"; }

    void className(const std::string& name);
    // An INSTANCENAME of the path's class and keys.
    void instanceName(const OpenWBEM::CIMObjectPath& path);
    // An INSTANCE; properties the class declares but the instance lacks are
    // written null with their declared type, so clients can set them.
    void instance(const OpenWBEM::CIMInstance& inst, const ClassDef* cls);
    // VALUE.NAMEDINSTANCE, named as OpenWBEM names an instance: by its own key
    // list alone (keys its provider set, or properties carrying a Key
    // qualifier), never from the class; an instance without keys gets an
    // INSTANCENAME without key bindings.
    void namedInstance(const OpenWBEM::CIMInstance& inst, const ClassDef* cls);
    // VALUE.OBJECTWITHPATH and OBJECTPATH forms of the association answers.
    void objectWithPath(const OpenWBEM::CIMInstance& inst, const ClassDef* cls, const std::string& ns);
    void objectPath(const OpenWBEM::CIMObjectPath& path, const std::string& ns);
    void classDefinition(const ClassDef& cls, bool includeQualifiers);
    // A VALUE, VALUE.ARRAY or VALUE.REFERENCE; nothing for the null value.
    void value(const OpenWBEM::CIMValue& v);
    // RETURNVALUE (never null) and PARAMVALUE (a null one without a value) of a method response.
    void returnValue(const OpenWBEM::CIMValue& v);
    void paramValue(const std::string& name, const OpenWBEM::CIMValue& v);

    // The CIM path of an instance, as OpenWBEM makes it: its class and its key list.
    static OpenWBEM::CIMObjectPath pathOf(const OpenWBEM::CIMInstance& inst, const std::string& ns);

private:
    void instancePath(const OpenWBEM::CIMObjectPath& path, const std::string& ns);
    void instanceName(const OpenWBEM::String& className, const OpenWBEM::CIMPropertyArray& keys);
    void localNamespacePath(const std::string& ns);
    // A VALUE.REFERENCE as OpenWBEM writes one: an INSTANCEPATH when the path
    // names a host, a LOCALINSTANCEPATH when it names only a namespace, else
    // an INSTANCENAME.
    void reference(const OpenWBEM::CIMObjectPath& path);
    void property(const std::string& name, const std::string& type, bool isArray,
                  const std::string& refClass, const OpenWBEM::CIMValue& v);
    void qualifier(const Qualifier& q);

    std::string& out_;
    std::string host_;
    bool intrinsic_ = true;
};

// The CIM-XML type name of a value ("uint16", "reference", ...); "" for null.
std::string typeNameOf(const OpenWBEM::CIMValue& v);
// The text of a scalar that is not a reference, as CIM-XML writes it.
std::string scalarText(const OpenWBEM::CIMValue& v);

}  // namespace cimhost
