// The classes' property lists against the MOF that clients and the object
// manager read: the same properties in the same order, with the same types,
// keys, writability and limits, and the terminals' two methods.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "MofParser.hpp"
#include "QEL_ZEPAlderSettingProvider.h"
#include "QEL_ZEPAlderTerminalProvider.h"
#include "QEL_ZEPBirchSettingProvider.h"
#include "QEL_ZEPBirchTerminalProvider.h"
#include "QEL_ZEPCedarSettingProvider.h"
#include "QEL_ZEPCedarTerminalProvider.h"
#include "QEL_ZEPModeSettingProvider.h"

namespace {

const cimhost::MofResult& mof() {
    static const cimhost::MofResult parsed = [] {
        std::ifstream in(ZEP_MOF_PATH);
        std::ostringstream text;
        text << in.rdbuf();
        return cimhost::parseMof(text.str());
    }();
    return parsed;
}

const cimhost::ClassDef* mofClass(const char* name) {
    for (const cimhost::ClassDef& c : mof().classes)
        if (c.name == name) return &c;
    return nullptr;
}

// The integer a qualifier such as MaxLen (16) carries, or -1 when absent.
long long qualifierNumber(const cimhost::PropertyDef& p, const char* name) {
    const cimhost::Qualifier* q = p.qualifier(name);
    return q && !q->value.items.empty() ? std::stoll(q->value.items[0]) : -1;
}

template <class Traits>
void expectMofMatchesTable() {
    const char* name = Traits::className();
    SCOPED_TRACE(name);
    const cimhost::ClassDef* c = mofClass(name);
    ASSERT_NE(nullptr, c);
    EXPECT_EQ("c++::QEL_ZEPProvider", c->stringQualifier("Provider"));

    size_t count = 0;
    const zep::PropertyRow* rows = Traits::rows(count);
    ASSERT_EQ(count, c->properties.size());
    for (size_t i = 0; i < count; ++i) {
        const zep::PropertyRow& row = rows[i];
        const cimhost::PropertyDef& p = c->properties[i];
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.name, p.name);  // exact case: clients name them so
        EXPECT_EQ(row.type, p.type.name);
        EXPECT_EQ(row.key, p.isKey());
        EXPECT_EQ(row.writable, p.hasTrue("Write"));
        const bool text = p.type.name == "string";
        const zep::Limits& limits = row.limits;
        EXPECT_EQ(text && limits.hasMaximum ? limits.maximum : -1, qualifierNumber(p, "MaxLen"));
        EXPECT_EQ(!text && limits.hasMaximum ? limits.maximum : -1, qualifierNumber(p, "MaxValue"));
        EXPECT_EQ(limits.hasMinimum ? limits.minimum : -1, qualifierNumber(p, "MinValue"));
    }

    if (!Traits::kTerminal) {
        EXPECT_TRUE(c->methods.empty());
        return;
    }
    ASSERT_EQ(2u, c->methods.size());
    const cimhost::MethodDef* redirect = c->method("RedirectSet");
    ASSERT_NE(nullptr, redirect);
    EXPECT_EQ("uint32", redirect->returnType.name);
    EXPECT_TRUE(redirect->parameters.empty());
    const cimhost::MethodDef* find = c->method("FindByInstanceName");
    ASSERT_NE(nullptr, find);
    EXPECT_EQ("boolean", find->returnType.name);
    ASSERT_EQ(2u, find->parameters.size());
    EXPECT_EQ("InstanceName", find->parameters[0].name);
    EXPECT_EQ("string", find->parameters[0].type.name);
    EXPECT_TRUE(find->parameters[0].isIn() && !find->parameters[0].isOut());
    EXPECT_EQ("inst", find->parameters[1].name);
    EXPECT_EQ(name, find->parameters[1].type.refClass);
    EXPECT_TRUE(find->parameters[1].isIn() && find->parameters[1].isOut());
}

TEST(PropertyTables, AgreeWithTheMofClassByClass) {
    ASSERT_TRUE(mof().ok) << "line " << mof().errorLine << ": " << mof().errorText;
    EXPECT_EQ(7u, mof().classes.size());
    expectMofMatchesTable<QEL_ZEPModeSettingTraits>();
    expectMofMatchesTable<QEL_ZEPCedarTerminalTraits>();
    expectMofMatchesTable<QEL_ZEPAlderTerminalTraits>();
    expectMofMatchesTable<QEL_ZEPBirchTerminalTraits>();
    expectMofMatchesTable<QEL_ZEPCedarSettingTraits>();
    expectMofMatchesTable<QEL_ZEPAlderSettingTraits>();
    expectMofMatchesTable<QEL_ZEPBirchSettingTraits>();
}

}  // namespace
