// The MOF reader: the subset's syntax, and errors that point at the right
// line. (The provider's own MOF is read and checked against the classes'
// property lists in tests/provider.)
#include <gtest/gtest.h>

#include "MofParser.hpp"

using namespace cimhost;

namespace {

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
