// CIM-XML in and out: the request forms wbemcli sends, only well-formed XML
// read, the CIM headers checked against the request, values typed by their
// declarations, and response text exactly where wbemcli's parser is picky and
// well-formed whatever the values hold.
#include <gtest/gtest.h>

#include <OW_Bool.hpp>
#include <OW_CIMInstance.hpp>
#include <OW_CIMObjectPath.hpp>
#include <OW_CIMProperty.hpp>
#include <OW_CIMValue.hpp>

#include <optional>

#include "CimXmlRequest.hpp"
#include "CimXmlWriter.hpp"
#include "MofParser.hpp"
#include "StrictXml.hpp"
#include "ValueConversion.hpp"

using namespace cimhost;
using namespace OpenWBEM;

namespace {

const char kHead[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<CIM CIMVERSION=\"2.0\" DTDVERSION=\"2.0\">\n"
    "<MESSAGE ID=\"4711\" PROTOCOLVERSION=\"1.0\"><SIMPLEREQ>";
const char kTail[] = "</SIMPLEREQ>\n</MESSAGE></CIM>";

ParsedRequest parse(const std::string& call) {
    const std::string body = kHead + call + kTail;
    return parseCimRequest(body.data(), body.size());
}

const char kKeys[] =
    "<KEYBINDING NAME=\"Name\"><KEYVALUE VALUETYPE=\"string\">a</KEYVALUE></KEYBINDING>"
    "<KEYBINDING NAME=\"Id\"><KEYVALUE VALUETYPE=\"numeric\">0042</KEYVALUE></KEYBINDING>";

ClassRepository repository() {
    ClassRepository repo;
    MofResult r = parseMof(R"(
        class T_Thing {
            [Key] string Name;
            [Key] string Id;
            uint8 Level;
            boolean On;
            string Note;
            sint16 Offsets[];
            boolean Find ([In] string Text, [In] uint16 Count, [In, Out] T_Thing REF Where);
        };)");
    for (ClassDef& c : r.classes) repo.add(std::move(c));
    return repo;
}

TEST(CimXmlRequest, ReadsIntrinsicCallsInTheFormsClientsSend) {
    // Both NAMESPACE forms, newlines between elements, a numeric key, a property list.
    const ParsedRequest p = parse(
        "<IMETHODCALL NAME=\"GetInstance\"><LOCALNAMESPACEPATH><NAMESPACE NAME=\"root\"></NAMESPACE>\n"
        "<NAMESPACE NAME=\"cimv2\"/></LOCALNAMESPACEPATH>\n"
        "<IPARAMVALUE NAME=\"LocalOnly\"><VALUE>FALSE</VALUE></IPARAMVALUE>\n"
        "<IPARAMVALUE NAME=\"PropertyList\"><VALUE.ARRAY><VALUE>Note</VALUE><VALUE>On</VALUE></VALUE.ARRAY></IPARAMVALUE>\n"
        "<IPARAMVALUE NAME=\"InstanceName\"><INSTANCENAME CLASSNAME=\"T_Thing\">" + std::string(kKeys) +
        "</INSTANCENAME></IPARAMVALUE>\n</IMETHODCALL>");
    ASSERT_TRUE(p.ok) << p.error.description;
    const CimRequest& r = p.request;
    EXPECT_EQ("4711", r.messageId);
    EXPECT_TRUE(r.intrinsic);
    EXPECT_EQ("GetInstance", r.method);
    EXPECT_EQ("root/cimv2", r.nameSpace);
    ASSERT_NE(nullptr, r.iparam("localonly"));
    EXPECT_EQ("FALSE", r.iparam("LocalOnly")->text);
    EXPECT_EQ((std::vector<std::string>{"Note", "On"}), r.iparam("PropertyList")->items);
    const InstanceName& name = r.iparam("InstanceName")->instanceName;
    EXPECT_EQ("T_Thing", name.className);
    ASSERT_EQ(2u, name.keys.size());
    EXPECT_EQ("numeric", name.keys[1].valueType);
    EXPECT_EQ("0042", name.keys[1].text);
}

TEST(CimXmlRequest, TellsAnEmptyValueFromANullOneAndKeepsTextExactly) {
    const ParsedRequest p = parse(
        "<IMETHODCALL NAME=\"ModifyInstance\"><LOCALNAMESPACEPATH><NAMESPACE NAME=\"root\"/></LOCALNAMESPACEPATH>"
        "<IPARAMVALUE NAME=\"ModifiedInstance\"><VALUE.NAMEDINSTANCE><INSTANCENAME CLASSNAME=\"T_Thing\">" +
        std::string(kKeys) +
        "</INSTANCENAME><INSTANCE CLASSNAME=\"T_Thing\">"
        "<PROPERTY NAME=\"Note\" TYPE=\"string\"><VALUE></VALUE></PROPERTY>"
        "<PROPERTY NAME=\"Name\" TYPE=\"string\"></PROPERTY>"
        "<PROPERTY NAME=\"Label\" TYPE=\"string\"><VALUE>  a &amp; b\nc&#10;</VALUE></PROPERTY>"
        "<PROPERTY NAME=\"Blank\" TYPE=\"string\"><VALUE> </VALUE></PROPERTY>"
        "<PROPERTY.ARRAY NAME=\"Offsets\" TYPE=\"sint16\"><VALUE.ARRAY><VALUE>-1</VALUE><VALUE>2</VALUE></VALUE.ARRAY></PROPERTY.ARRAY>"
        "</INSTANCE></VALUE.NAMEDINSTANCE></IPARAMVALUE></IMETHODCALL>");
    ASSERT_TRUE(p.ok) << p.error.description;
    const XmlInstance& inst = p.request.iparam("ModifiedInstance")->instance;
    ASSERT_EQ(5u, inst.properties.size());
    EXPECT_EQ(XmlValue::Scalar, inst.properties[0].value.kind);
    EXPECT_EQ("", inst.properties[0].value.text);
    EXPECT_EQ(XmlValue::Null, inst.properties[1].value.kind);
    EXPECT_EQ("  a & b\nc\n", inst.properties[2].value.text);
    EXPECT_EQ(" ", inst.properties[3].value.text);
    EXPECT_EQ(XmlValue::Array, inst.properties[4].value.kind);
    EXPECT_EQ((std::vector<std::string>{"-1", "2"}), inst.properties[4].value.items);
}

TEST(CimXmlRequest, ReadsMethodCallsOnInstancesAndClasses) {
    const ParsedRequest onInstance = parse(
        "<METHODCALL NAME=\"Find\"><LOCALINSTANCEPATH><LOCALNAMESPACEPATH><NAMESPACE NAME=\"root\"/>"
        "<NAMESPACE NAME=\"cimv2\"/></LOCALNAMESPACEPATH><INSTANCENAME CLASSNAME=\"T_Thing\">" +
        std::string(kKeys) +
        "</INSTANCENAME></LOCALINSTANCEPATH>\n"
        "<PARAMVALUE NAME=\"Where\"><VALUE.REFERENCE><INSTANCEPATH><NAMESPACEPATH><HOST>127.0.0.1</HOST>"
        "<LOCALNAMESPACEPATH><NAMESPACE NAME=\"root\"></NAMESPACE><NAMESPACE NAME=\"cimv2\"></NAMESPACE>"
        "</LOCALNAMESPACEPATH></NAMESPACEPATH><INSTANCENAME CLASSNAME=\"T_Thing\">" +
        std::string(kKeys) +
        "</INSTANCENAME></INSTANCEPATH></VALUE.REFERENCE></PARAMVALUE>\n"
        "<PARAMVALUE NAME=\"Text\"><VALUE>x</VALUE></PARAMVALUE></METHODCALL>");
    ASSERT_TRUE(onInstance.ok) << onInstance.error.description;
    const CimRequest& r = onInstance.request;
    EXPECT_FALSE(r.intrinsic);
    EXPECT_FALSE(r.targetIsClass);
    EXPECT_EQ("root/cimv2", r.nameSpace);
    EXPECT_EQ(2u, r.target.keys.size());
    ASSERT_EQ(2u, r.params.size());
    ASSERT_EQ(XmlValue::Reference, r.params[0].value.kind);
    EXPECT_EQ("127.0.0.1", r.params[0].value.reference->host);
    EXPECT_EQ("root/cimv2", r.params[0].value.reference->nameSpace);

    const ParsedRequest onClass = parse(
        "<METHODCALL NAME=\"Find\"><LOCALCLASSPATH><LOCALNAMESPACEPATH><NAMESPACE NAME=\"root\"/>"
        "</LOCALNAMESPACEPATH><CLASSNAME NAME=\"T_Thing\"/></LOCALCLASSPATH></METHODCALL>");
    ASSERT_TRUE(onClass.ok) << onClass.error.description;
    EXPECT_TRUE(onClass.request.targetIsClass);
    EXPECT_EQ("T_Thing", onClass.request.target.className);
}

TEST(CimXmlRequest, RefusesWhatItCannotReadWithACimErrorAndKeepsTheEnvelope) {
    struct Case {
        std::string body;
        int code;
    } cases[] = {
        {"", 4},
        {"<CIM><MESSAGE ID=\"1\"><SIMPLEREQ><IMETHODCALL NAME=\"GetClass\">", 4},
        {"<NOTCIM/>", 4},
        {std::string(kHead) + "<IMETHODCALL NAME=\"GetClass\"></IMETHODCALL>" + kTail, 4},
        {std::string(kHead) + "<IMETHODCALL><LOCALNAMESPACEPATH><NAMESPACE NAME=\"r\"/></LOCALNAMESPACEPATH></IMETHODCALL>" + kTail, 4},
        // An out-only reference as wbemcli sends it when given a value.
        {std::string(kHead) + "<METHODCALL NAME=\"Find\"><LOCALCLASSPATH><LOCALNAMESPACEPATH><NAMESPACE NAME=\"r\"/>"
             "</LOCALNAMESPACEPATH><CLASSNAME NAME=\"T\"/></LOCALCLASSPATH><PARAMVALUE NAME=\"p\"><VALUE.REFERENCE>"
             "<CLASSNAME NAME=\"&quot;x&quot;\"/></VALUE.REFERENCE></PARAMVALUE></METHODCALL>" + kTail, 4},
        {"<?xml version=\"1.0\"?><CIM><MESSAGE ID=\"9\"><MULTIREQ></MULTIREQ></MESSAGE></CIM>", 7},
    };
    for (const Case& c : cases) {
        const ParsedRequest p = parseCimRequest(c.body.data(), c.body.size());
        EXPECT_FALSE(p.ok) << c.body;
        EXPECT_EQ(c.code, p.error.code) << c.body;
    }
    // What was read of the envelope before the fault is kept for the answer.
    const std::string body = std::string(kHead) + "<METHODCALL NAME=\"Find\"><PARAMVALUE/></METHODCALL>" + kTail;
    const ParsedRequest p = parseCimRequest(body.data(), body.size());
    EXPECT_FALSE(p.ok);
    EXPECT_FALSE(p.request.intrinsic);
    EXPECT_EQ("Find", p.request.method);

    // References nested without end are cut off, not followed down the stack.
    std::string deep = "<INSTANCENAME CLASSNAME=\"T\"></INSTANCENAME>";
    for (int i = 0; i < 2000; ++i)
        deep = "<INSTANCENAME CLASSNAME=\"T\"><KEYBINDING NAME=\"k\"><VALUE.REFERENCE>" + deep +
               "</VALUE.REFERENCE></KEYBINDING></INSTANCENAME>";
    const ParsedRequest nested = parse(
        "<IMETHODCALL NAME=\"GetInstance\"><LOCALNAMESPACEPATH><NAMESPACE NAME=\"r\"/></LOCALNAMESPACEPATH>"
        "<IPARAMVALUE NAME=\"InstanceName\">" + deep + "</IPARAMVALUE></IMETHODCALL>");
    EXPECT_FALSE(nested.ok);
    EXPECT_EQ(4, nested.error.code);
}

std::string modifyWithNote(const std::string& note) {
    return std::string(kHead) +
           "<IMETHODCALL NAME=\"ModifyInstance\"><LOCALNAMESPACEPATH><NAMESPACE NAME=\"root\"/></LOCALNAMESPACEPATH>"
           "<IPARAMVALUE NAME=\"ModifiedInstance\"><VALUE.NAMEDINSTANCE><INSTANCENAME CLASSNAME=\"T_Thing\">" +
           kKeys + "</INSTANCENAME><INSTANCE CLASSNAME=\"T_Thing\"><PROPERTY NAME=\"Note\" TYPE=\"string\"><VALUE>" + note +
           "</VALUE></PROPERTY></INSTANCE></VALUE.NAMEDINSTANCE></IPARAMVALUE></IMETHODCALL>" + kTail;
}

TEST(CimXmlRequest, ReadsOnlyWellFormedXmlAndNeverEchoesWhatItRefuses) {
    // Characters XML does not allow, as references and raw, bytes that are
    // not UTF-8, and a document type declaration (entities of its own).
    const std::string refused[] = {
        "ECHO&#1;MARK", "ECHO\x01MARK", "ECHO&#x1B;MARK", "ECHO&#xFFFE;MARK", "ECHO\xEF\xBF\xBFMARK",
        "ECHO\xFFMARK", "ECHO\xC3MARK", "ECHO\xED\xA0\x80MARK", "ECHO&#0;MARK",
    };
    for (const std::string& note : refused) {
        const std::string body = modifyWithNote(note);
        const ParsedRequest p = parseCimRequest(body.data(), body.size());
        EXPECT_FALSE(p.ok) << note;
        EXPECT_EQ(4, p.error.code) << note;
        EXPECT_EQ(0u, p.error.description.find("request is not well-formed XML: ")) << p.error.description;
        EXPECT_NE(std::string::npos, p.error.description.find("(line 3, column ")) << p.error.description;
        EXPECT_EQ(std::string::npos, p.error.description.find("ECHO")) << p.error.description;
    }
    const std::string doctype = "<?xml version=\"1.0\"?><!DOCTYPE CIM [<!ENTITY e \"ECHO\">]>" +
                                modifyWithNote("&e;&e;").substr(std::string("<?xml version=\"1.0\" encoding=\"utf-8\" ?>").size());
    const ParsedRequest d = parseCimRequest(doctype.data(), doctype.size());
    EXPECT_FALSE(d.ok);
    EXPECT_NE(std::string::npos, d.error.description.find("document type declaration")) << d.error.description;

    // What XML allows passes: references to line breaks, and any character of Unicode.
    const std::string body = modifyWithNote("a&#10;b &#x10FFFF; \xC3\xA9\xF0\x9F\x98\x80");
    const ParsedRequest p = parseCimRequest(body.data(), body.size());
    ASSERT_TRUE(p.ok) << p.error.description;
    EXPECT_EQ("a\nb \xF4\x8F\xBF\xBF \xC3\xA9\xF0\x9F\x98\x80",
              p.request.iparam("ModifiedInstance")->instance.properties[0].value.text);
}

TEST(CimXmlRequest, ChecksTheCimHeadersAgainstTheRequest) {
    const ParsedRequest intrinsic = parse(
        "<IMETHODCALL NAME=\"GetInstance\"><LOCALNAMESPACEPATH><NAMESPACE NAME=\"root\"/><NAMESPACE NAME=\"cimv2\"/>"
        "</LOCALNAMESPACEPATH><IPARAMVALUE NAME=\"InstanceName\"><INSTANCENAME CLASSNAME=\"T_Thing\">" + std::string(kKeys) +
        "</INSTANCENAME></IPARAMVALUE></IMETHODCALL>");
    const ParsedRequest extrinsic = parse(
        "<METHODCALL NAME=\"Find\"><LOCALINSTANCEPATH><LOCALNAMESPACEPATH><NAMESPACE NAME=\"root\"/>"
        "<NAMESPACE NAME=\"cimv2\"/></LOCALNAMESPACEPATH><INSTANCENAME CLASSNAME=\"T_Thing\">"
        "<KEYBINDING NAME=\"Name\"><KEYVALUE VALUETYPE=\"string\">a \\ &quot;b&quot;</KEYVALUE></KEYBINDING>"
        "<KEYBINDING NAME=\"Id\"><KEYVALUE VALUETYPE=\"numeric\">42</KEYVALUE></KEYBINDING>"
        "</INSTANCENAME></LOCALINSTANCEPATH></METHODCALL>");
    const ParsedRequest onClass = parse(
        "<METHODCALL NAME=\"Find\"><LOCALCLASSPATH><LOCALNAMESPACEPATH><NAMESPACE NAME=\"root\"/>"
        "</LOCALNAMESPACEPATH><CLASSNAME NAME=\"T_Thing\"/></LOCALCLASSPATH></METHODCALL>");
    const std::string multi = "<?xml version=\"1.0\"?><CIM><MESSAGE ID=\"9\"><MULTIREQ></MULTIREQ></MESSAGE></CIM>";
    const ParsedRequest multiple = parseCimRequest(multi.data(), multi.size());
    ASSERT_TRUE(intrinsic.ok && extrinsic.ok && onClass.ok);
    // As wbemcli sends them: '/' and ':' percent-encoded, string keys quoted with \ escapes.
    const std::string path = "root%2Fcimv2%3AT_Thing.Id=42,Name=\"a \\\\ \\\"b\\\"\"";
    using H = std::optional<std::string>;
    struct Case {
        const ParsedRequest& request;
        CimHeaders headers;
        int status;
        const char* cimError;
    } cases[] = {
        {intrinsic, {"MethodCall", "1.0", "GetInstance", "root%2Fcimv2"}, 0, ""},
        {intrinsic, {"MethodCall", H(), "getinstance", "/ROOT/cimv2"}, 0, ""},  // no version: 1.0
        {extrinsic, {"MethodCall", "1.1", "Find", path}, 0, ""},
        {onClass, {"MethodCall", "1.0", "Find", "root%3AT_Thing"}, 0, ""},
        {intrinsic, {H(), "1.0", "GetInstance", "root%2Fcimv2"}, 400, "unsupported-operation"},
        {intrinsic, {"MethodResponse", "1.0", "GetInstance", "root%2Fcimv2"}, 400, "unsupported-operation"},
        {intrinsic, {"MethodCall", "2.0", "GetInstance", "root%2Fcimv2"}, 501, "unsupported-protocol-version"},
        {intrinsic, {"MethodCall", "1", "GetInstance", "root%2Fcimv2"}, 501, "unsupported-protocol-version"},
        {multiple, {"MethodCall", "1.0", H(), H()}, 501, "multiple-requests-unsupported"},
        {intrinsic, {"MethodCall", "1.0", H(), "root%2Fcimv2"}, 400, "header-mismatch"},
        {intrinsic, {"MethodCall", "1.0", "DeleteInstance", "root%2Fcimv2"}, 400, "header-mismatch"},
        {intrinsic, {"MethodCall", "1.0", "GetInstance", H()}, 400, "header-mismatch"},
        {intrinsic, {"MethodCall", "1.0", "GetInstance", "root%2Fother"}, 400, "header-mismatch"},
        {extrinsic, {"MethodCall", "1.0", "Find", "root%2Fcimv2%3AT_Thing.Id=43,Name=\"a \\\\ \\\"b\\\"\""}, 400, "header-mismatch"},
        {extrinsic, {"MethodCall", "1.0", "Find", "root%2Fcimv2%3AT_Thing.Id=42"}, 400, "header-mismatch"},
        {extrinsic, {"MethodCall", "1.0", "Find", "root%2Fcimv2%3AT_Other.Id=42,Name=\"a\""}, 400, "header-mismatch"},
        {extrinsic, {"MethodCall", "1.0", "Find", "root%2Fcimv2%3AT_Thing"}, 400, "header-mismatch"},
        {onClass, {"MethodCall", "1.0", "Find", "root%3AT_Thing.Id=42"}, 400, "header-mismatch"},
    };
    for (const Case& c : cases) {
        const ProtocolRefusal r = checkCimHeaders(c.headers, c.request);
        const std::string what = c.headers.method.value_or("-") + " " + c.headers.object.value_or("-");
        EXPECT_EQ(c.status, r.status) << what;
        EXPECT_EQ(c.cimError, r.cimError) << what;
    }
}

TEST(ValueConversion, TypesTextByTheDeclarationAndRefusesWhatDoesNotFit) {
    struct Good {
        const char* type;
        const char* text;
        CIMValue expected;
    } good[] = {
        {"uint8", "255", CIMValue(UInt8(255))},
        {"uint8", " 7 ", CIMValue(UInt8(7))},
        {"uint8", "+3", CIMValue(UInt8(3))},
        {"uint16", "65535", CIMValue(UInt16(65535))},
        {"uint32", "4294967295", CIMValue(UInt32(4294967295u))},
        {"sint8", "-128", CIMValue(Int8(-128))},
        {"sint64", "-9223372036854775808", CIMValue(Int64(-9223372036854775807L - 1))},
        {"boolean", "true", CIMValue(Bool(true))},
        {"boolean", "FALSE", CIMValue(Bool(false))},
        {"boolean", "True", CIMValue(Bool(true))},
        {"real64", "1.5", CIMValue(Real64(1.5))},
        {"string", "  spaced  ", CIMValue(String("  spaced  "))},
        {"string", "", CIMValue(String(""))},
    };
    for (const Good& g : good) {
        const CIMValue v = scalarFromText(g.type, g.text);
        EXPECT_EQ(g.expected, v) << g.type << " '" << g.text << "' gave " << v.toString();
    }
    const std::pair<const char*, const char*> bad[] = {
        {"uint8", "256"}, {"uint8", "-1"}, {"uint8", "abc"}, {"uint8", ""}, {"uint8", "1x"},
        {"uint16", "65536"}, {"uint32", "4294967296"}, {"sint8", "128"}, {"uint32", "0x10"},
        {"boolean", "yes"}, {"boolean", "1"}, {"real32", "fast"}, {"datetime", "20260101000000.000000+000"},
    };
    for (const auto& b : bad) EXPECT_THROW(scalarFromText(b.first, b.second), ConversionError) << b.first << " " << b.second;
}

TEST(ValueConversion, AlignsKeysWithTheClassAndTypesReferences) {
    const ClassRepository repo = repository();
    InstanceName name;
    name.className = "t_thing";
    name.keys = {{"ID", "numeric", "0042", nullptr}, {"Bogus", "string", "x", nullptr}, {"name", "string", "a", nullptr}};
    const CIMObjectPath path = convertInstanceName(name, "root/cimv2", repo);
    const CIMPropertyArray keys = path.getKeys();
    ASSERT_EQ(2u, keys.size());
    // Declared order and spelling; a numeric key text stays the text when the key is a string.
    EXPECT_EQ("Name", keys[0].getName());
    EXPECT_EQ("Id", keys[1].getName());
    EXPECT_EQ(CIMValue(String("0042")), keys[1].getValue());
    EXPECT_EQ("root/cimv2", path.getNameSpace());

    const MethodDef& find = *repo.find("T_Thing")->method("Find");
    XmlValue ref;
    ref.kind = XmlValue::Reference;
    ref.reference = std::make_shared<InstancePath>();
    ref.reference->name = name;
    const CIMValue converted = convertValue(ref, find.parameters[2].type, repo, "root/cimv2");
    EXPECT_EQ(CIMDataType::REFERENCE, converted.getType());
    EXPECT_TRUE(converted.toCIMObjectPath().equals(path));
    EXPECT_THROW(convertValue(ref, find.parameters[1].type, repo, "root/cimv2"), ConversionError);

    XmlValue array;
    array.kind = XmlValue::Array;
    array.items = {"-1", "7"};
    array.itemIsNull = {false, false};
    const TypeRef offsets = repo.find("T_Thing")->property("Offsets")->type;
    EXPECT_EQ(2u, convertValue(array, offsets, repo, "").getArraySize());
    array.items[1] = "40000";
    EXPECT_THROW(convertValue(array, offsets, repo, ""), ConversionError);
    XmlValue text;
    text.kind = XmlValue::Scalar;
    text.text = "3";
    EXPECT_THROW(convertValue(text, offsets, repo, ""), ConversionError);
    EXPECT_FALSE(convertValue(XmlValue(), offsets, repo, ""));
}

TEST(CimXmlWriter, WritesInstancesAndErrorsAsWbemcliReadsThem) {
    const ClassRepository repo = repository();
    const ClassDef* cls = repo.find("T_Thing");
    CIMInstance inst("T_Thing");
    inst.setProperty("Name", CIMValue(String("a<b>&\"c\"")));
    inst.setProperty("Id", CIMValue(String("7")));
    inst.setProperty("On", CIMValue(Bool(true)));
    inst.setProperty(CIMProperty("Level", CIMDataType(CIMDataType::UINT8)));  // typed, no value
    std::string out;
    CimXmlWriter w(out, "127.0.0.1:5988");
    w.begin("4711", true, "EnumerateInstances");
    w.beginReturn();
    // Named by the instance's key list, not by the class's Key qualifiers: without one, no key bindings.
    w.namedInstance(inst, cls);
    const std::string keyless = "<VALUE.NAMEDINSTANCE><INSTANCENAME CLASSNAME=\"T_Thing\"></INSTANCENAME><INSTANCE ";
    ASSERT_NE(std::string::npos, out.find(keyless)) << out;
    out.erase(out.find(keyless));
    CIMPropertyArray keys;
    keys.push_back(inst.getProperty("Name"));
    keys.push_back(inst.getProperty("Id"));
    inst.setKeys(keys);
    w.namedInstance(inst, cls);
    w.endReturn();
    w.end();
    EXPECT_EQ(
        "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n"
        "<CIM CIMVERSION=\"2.0\" DTDVERSION=\"2.0\"><MESSAGE ID=\"4711\" PROTOCOLVERSION=\"1.0\"><SIMPLERSP>"
        "<IMETHODRESPONSE NAME=\"EnumerateInstances\"><IRETURNVALUE><VALUE.NAMEDINSTANCE>"
        "<INSTANCENAME CLASSNAME=\"T_Thing\">"
        "<KEYBINDING NAME=\"Name\"><KEYVALUE VALUETYPE=\"string\">a&lt;b&gt;&amp;\"c\"</KEYVALUE></KEYBINDING>"
        "<KEYBINDING NAME=\"Id\"><KEYVALUE VALUETYPE=\"string\">7</KEYVALUE></KEYBINDING></INSTANCENAME>"
        "<INSTANCE CLASSNAME=\"T_Thing\">"
        "<PROPERTY NAME=\"Name\" TYPE=\"string\"><VALUE>a&lt;b&gt;&amp;\"c\"</VALUE></PROPERTY>"
        "<PROPERTY NAME=\"Id\" TYPE=\"string\"><VALUE>7</VALUE></PROPERTY>"
        "<PROPERTY NAME=\"On\" TYPE=\"boolean\"><VALUE>true</VALUE></PROPERTY>"
        "<PROPERTY NAME=\"Level\" TYPE=\"uint8\"></PROPERTY>"
        // declared but not supplied: written null, typed, so clients can set it
        "<PROPERTY NAME=\"Note\" TYPE=\"string\"></PROPERTY>"
        "<PROPERTY.ARRAY NAME=\"Offsets\" TYPE=\"sint16\"></PROPERTY.ARRAY>"
        "</INSTANCE></VALUE.NAMEDINSTANCE></IRETURNVALUE></IMETHODRESPONSE></SIMPLERSP></MESSAGE></CIM>\n",
        out);

    std::string err;
    CimXmlWriter e(err, "h");
    e.begin("1", false, "RedirectSet");
    e.error(4, "The length of X must be <= 15\n#CFG,\"k\",<15>&#");
    e.end();
    EXPECT_NE(std::string::npos,
              err.find("<METHODRESPONSE NAME=\"RedirectSet\"><ERROR CODE=\"4\" DESCRIPTION=\"The length of X must "
                       "be &lt;= 15&#10;#CFG,&quot;k&quot;,&lt;15&gt;&amp;#\"/></METHODRESPONSE>"))
        << err;
}

TEST(CimXmlWriter, WritesWhatXmlCannotCarryAsReplacementCharacters) {
    // Texts as a gateway may hold them: control bytes, a byte that is no
    // UTF-8, a cut sequence, U+FFFF; beside characters that must stay.
    const std::string bad = "a\x01" "b\x1B\xFF" "c\xC3 \xEF\xBF\xBF\t\xC3\xA9\xF0\x9F\x98\x80";
    const std::string replaced = "a\uFFFD" "b\uFFFD\uFFFD" "c\uFFFD \uFFFD";
    CIMInstance inst("T_Thing");
    inst.setProperty("Note", CIMValue(String(bad.c_str())));
    std::string out;
    CimXmlWriter w(out, "h");
    w.begin("1", false, "Find");
    w.error(1, bad);
    w.end();
    w.begin("1", true, "GetInstance");
    w.beginReturn();
    w.instance(inst, nullptr);
    w.endReturn();
    w.end();
    const std::string first = out.substr(0, out.find("<?xml", 1)), second = out.substr(first.size());
    EXPECT_EQ("", xmlcheck::wellFormednessError(first)) << first;
    EXPECT_EQ("", xmlcheck::wellFormednessError(second)) << second;
    EXPECT_NE(std::string::npos, first.find("DESCRIPTION=\"" + replaced + "&#9;\xC3\xA9\xF0\x9F\x98\x80\"")) << first;
    EXPECT_NE(std::string::npos, second.find("<VALUE>" + replaced + "\t\xC3\xA9\xF0\x9F\x98\x80</VALUE>")) << second;
}

TEST(CimXmlWriter, WritesClassesWithKeysAndTypedMethodParameters) {
    const ClassRepository repo = repository();
    std::string out;
    CimXmlWriter w(out, "h");
    w.classDefinition(*repo.find("T_Thing"), false);
    // Key, In and Out stay even without qualifiers: clients check paths and type arguments by them.
    EXPECT_NE(std::string::npos, out.find("<PROPERTY NAME=\"Name\" TYPE=\"string\"><QUALIFIER NAME=\"Key\" "
                                          "TYPE=\"boolean\"><VALUE>true</VALUE></QUALIFIER></PROPERTY>"));
    EXPECT_NE(std::string::npos, out.find("<PROPERTY NAME=\"Level\" TYPE=\"uint8\"></PROPERTY>"));
    EXPECT_NE(std::string::npos, out.find("<PARAMETER.REFERENCE NAME=\"Where\" REFERENCECLASS=\"T_Thing\">"
                                          "<QUALIFIER NAME=\"In\" TYPE=\"boolean\"><VALUE>true</VALUE></QUALIFIER>"
                                          "<QUALIFIER NAME=\"Out\" TYPE=\"boolean\"><VALUE>true</VALUE></QUALIFIER>"
                                          "</PARAMETER.REFERENCE>"));
    EXPECT_EQ(std::string::npos, out.find("/>"));  // nothing self-closed
}

}  // namespace
