// The MOF reader: the provider's own MOF as the host and the clients depend on
// it, the subset's syntax, and errors that point at the right line.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "MofParser.hpp"

using namespace cimhost;

namespace {

std::string readMof() {
    std::ifstream in(ZEP_MOF_PATH);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

const ClassDef* findClass(const MofResult& r, const std::string& name) {
    for (const ClassDef& c : r.classes)
        if (c.name == name) return &c;
    return nullptr;
}

TEST(MofParser, TheProviderMofDeclaresTheSevenClassesAsTheProviderServesThem) {
    const MofResult r = parseMof(readMof());
    ASSERT_TRUE(r.ok) << "line " << r.errorLine << ": " << r.errorText;
    ASSERT_EQ(7u, r.classes.size());
    for (const char* name : {"QEL_ZEPModeSetting", "QEL_ZEPCedarTerminal", "QEL_ZEPAlderTerminal",
                             "QEL_ZEPBirchTerminal", "QEL_ZEPCedarSetting", "QEL_ZEPAlderSetting",
                             "QEL_ZEPBirchSetting"}) {
        const ClassDef* c = findClass(r, name);
        ASSERT_NE(nullptr, c) << name;
        EXPECT_EQ("c++::QEL_ZEPProvider", c->stringQualifier("Provider")) << name;
    }

    // Terminals: the four string keys, property types as the provider builds
    // them, and the two methods with their parameters.
    const ClassDef& cedar = *findClass(r, "QEL_ZEPCedarTerminal");
    std::vector<std::string> keys;
    for (const PropertyDef* k : cedar.keys()) keys.push_back(k->name + ":" + k->type.name);
    EXPECT_EQ((std::vector<std::string>{"SystemCreationClassName:string", "SystemName:string",
                                        "CreationClassName:string", "DeviceID:string"}),
              keys);
    EXPECT_EQ("uint32", cedar.property("DN")->type.name);
    EXPECT_EQ(nullptr, cedar.property("MODN"));
    const MethodDef* redirect = cedar.method("RedirectSet");
    ASSERT_NE(nullptr, redirect);
    EXPECT_EQ("uint32", redirect->returnType.name);
    EXPECT_TRUE(redirect->parameters.empty());
    const MethodDef* find = cedar.method("FindByInstanceName");
    ASSERT_NE(nullptr, find);
    EXPECT_EQ("boolean", find->returnType.name);
    ASSERT_EQ(2u, find->parameters.size());
    EXPECT_EQ("string", find->parameters[0].type.name);
    EXPECT_TRUE(find->parameters[0].isIn());
    EXPECT_FALSE(find->parameters[0].isOut());
    EXPECT_EQ("inst", find->parameters[1].name);
    EXPECT_TRUE(find->parameters[1].type.isReference());
    EXPECT_EQ("QEL_ZEPCedarTerminal", find->parameters[1].type.refClass);
    EXPECT_TRUE(find->parameters[1].isIn());
    EXPECT_TRUE(find->parameters[1].isOut());
    EXPECT_EQ("QEL_ZEPAlderTerminal", findClass(r, "QEL_ZEPAlderTerminal")
                                          ->method("FindByInstanceName")->parameters[1].type.refClass);

    // Settings: one key, and the numeric types the provider reads values with.
    const ClassDef& cedarSetting = *findClass(r, "QEL_ZEPCedarSetting");
    ASSERT_EQ(1u, cedarSetting.keys().size());
    EXPECT_EQ("InstanceID", cedarSetting.keys()[0]->name);
    EXPECT_EQ("uint8", cedarSetting.property("TestLocalModeTimeout")->type.name);
    EXPECT_EQ("uint16", cedarSetting.property("NodeId")->type.name);
    EXPECT_EQ("uint32", cedarSetting.property("AccessCodeLength")->type.name);
    // The Birch class spells its timeout with a capital O.
    EXPECT_EQ("TestLocalModeTimeOut", findClass(r, "QEL_ZEPBirchSetting")->property("testlocalmodetimeout")->name);
    const ClassDef& mode = *findClass(r, "QEL_ZEPModeSetting");
    EXPECT_EQ("boolean", mode.property("Mode")->type.name);
    EXPECT_EQ("uint8", mode.property("dummy")->type.name);
    EXPECT_TRUE(mode.methods.empty());
}

TEST(MofParser, ReadsTheSubsetsSyntax) {
    const MofResult r = parseMof(R"(
        #pragma namespace ("root/cimv2")
        /* a qualifier type, read and ignored */
        Qualifier MaxLen : uint32 = null, Scope (property, method, parameter), Flavor (EnableOverride);
        // a class with a superclass, arrays, defaults, references and flavours
        [Description ("first " "second\tthird \"q\""), Version ("1.0") : ToSubclass]
        class X_Child : X_Base {
            [Key, MaxLen (16)] string Name = "n";
            uint16 Ports[] = {1, 2};
            [ValueMap {"0", "1"}] uint8 Level[4];
            X_Base REF Parent;
            real64 Ratio = -1.5e3;
            boolean Enabled = TRUE;
            sint32 Lookup ([IN (false), OUT] string Name[], [In] X_Base Ref Where);
        };
    )");
    ASSERT_TRUE(r.ok) << "line " << r.errorLine << ": " << r.errorText;
    ASSERT_EQ(1u, r.classes.size());
    const ClassDef& c = r.classes[0];
    EXPECT_EQ("X_Base", c.superClass);
    EXPECT_EQ("first second\tthird \"q\"", c.stringQualifier("Description"));
    ASSERT_EQ(6u, c.properties.size());
    EXPECT_TRUE(c.properties[0].isKey());
    EXPECT_TRUE(c.properties[1].type.isArray);
    EXPECT_TRUE(c.properties[2].qualifier("ValueMap")->value.isArray);
    EXPECT_EQ("X_Base", c.properties[3].type.refClass);
    const MethodDef& m = c.methods.at(0);
    EXPECT_EQ("sint32", m.returnType.name);
    EXPECT_FALSE(m.parameters[0].isIn());
    EXPECT_TRUE(m.parameters[0].isOut());
    EXPECT_TRUE(m.parameters[0].type.isArray);
    EXPECT_TRUE(m.parameters[1].type.isReference());
}

TEST(MofParser, ErrorsNameTheLineWhereTheTextGoesWrong) {
    struct Case {
        const char* text;
        int line;
        const char* mentions;
    } cases[] = {
        {"class A {\n  uint32 N\n};\n", 3, "';'"},
        {"class A {\n  uint33 N;\n};\n", 2, "uint33"},
        {"class A {\n  [Description (\"open\n  )] uint8 N;\n};", 2, "string"},
        {"/* never closed\nclass A {};", 1, "comment"},
        {"class A {\n uint8 N;\n uint8 n;\n};", 3, "twice"},
        {"instance of A { N = 1; };", 1, "class"},
        {"class A {\n  string S = \"bad \\q escape\";\n};", 2, "escape"},
        {"class A {\n  uint8 N;\n", 3, "end of file"},
    };
    for (const Case& c : cases) {
        const MofResult r = parseMof(c.text);
        EXPECT_FALSE(r.ok) << c.text;
        EXPECT_EQ(c.line, r.errorLine) << c.text << "\n" << r.errorText;
        EXPECT_NE(std::string::npos, r.errorText.find(c.mentions)) << r.errorText;
        EXPECT_TRUE(r.classes.empty());
    }
}

TEST(MofParser, RefusesControlCharactersInsideStringsButNotTabs) {
    for (const char control : {'\0', '\x01', '\r'}) {
        const std::string text = std::string("class A {\n  string S = \"a") + control + "b\";\n};\n";
        const MofResult r = parseMof(text);
        EXPECT_FALSE(r.ok) << int(control);
        EXPECT_EQ(2, r.errorLine);
        EXPECT_NE(std::string::npos, r.errorText.find("control character")) << r.errorText;
    }
    EXPECT_TRUE(parseMof("class A {\n  string S = \"a\tb\";\n};\n").ok);
}

}  // namespace
