// The instance registry shared by every class: naming, lookup, replacement
// and the single-cursor iteration, on a small terminal-like class.
#include <gtest/gtest.h>

#include "ZepClassProvider.h"
#include "ZepInstanceRegistry.h"

namespace {

class Terminal;
class TerminalRegistry : public zep::TerminalRegistry<Terminal> {};

class Terminal : public zep::ManagedClass<Terminal, TerminalRegistry> {
public:
    Terminal(const std::string& scc, const std::string& sn, const std::string& cc, const std::string& id)
        : scc_(scc), sn_(sn), cc_(cc), id_(id) {
        theInstanceManager->add(this);
    }
    explicit Terminal(const std::string& id) : Terminal("QEL_System", "QEL", "QEL_ZEPCedarTerminal", id) {}
    virtual ~Terminal() { theInstanceManager->remove(this); }
    virtual int getSystemCreationClassName(std::string& v, zep::Qualifiers&) const { return zep::copyKey(scc_, v); }
    virtual int getSystemName(std::string& v, zep::Qualifiers&) const { return zep::copyKey(sn_, v); }
    virtual int getCreationClassName(std::string& v, zep::Qualifiers&) const { return zep::copyKey(cc_, v); }
    virtual int getDeviceID(std::string& v, zep::Qualifiers&) const { return zep::copyKey(id_, v); }
    const std::string& id() const { return id_; }

private:
    std::string scc_, sn_, cc_, id_;
};

class Registry : public ::testing::Test {
protected:
    void SetUp() override { Terminal::ClearInstanceManager(); }
    void TearDown() override { zep::destroyAll(registry()); }
    static TerminalRegistry& registry() { return *Terminal::getInstanceManager(); }

    std::vector<std::string> iterationOrder() {
        std::vector<std::string> ids;
        zep::forEachObject(registry(), [&](Terminal* t) { ids.push_back(t->id()); });
        return ids;
    }
};

TEST_F(Registry, EmptyRegistryIteratesNothingAndNextThrows) {
    registry().startIteration();
    EXPECT_EQ(0, registry().hasNext());
    EXPECT_THROW(registry().next(), CFG_NoInstance);
    registry().endIteration();
    EXPECT_THROW(registry().get("QEL_System", "QEL", "QEL_ZEPCedarTerminal", "1"), CFG_NoInstance);
}

TEST_F(Registry, IteratesInByteOrderOfInstanceNames) {
    new Terminal("20");
    new Terminal("100");
    new Terminal("3");
    EXPECT_EQ((std::vector<std::string>{"100", "20", "3"}), iterationOrder());
}

TEST_F(Registry, KeysMatchOnlyAsTheirConcatenation) {
    Terminal* t = new Terminal("4021");
    EXPECT_EQ(t, registry().get("QEL_System", "QEL", "QEL_ZEPCedarTerminal", "4021"));
    EXPECT_EQ(t, registry().get("QEL_Sys", "temQEL", "QEL_ZEPCedarTerminal", "4021"));
    EXPECT_THROW(registry().get("qel_system", "QEL", "QEL_ZEPCedarTerminal", "4021"), CFG_NoInstance);
}

TEST_F(Registry, SecondObjectUnderOneNameReplacesTheEntry) {
    Terminal* first = new Terminal("7");
    Terminal* second = new Terminal("7");
    EXPECT_EQ(second, registry().get("QEL_System", "QEL", "QEL_ZEPCedarTerminal", "7"));
    delete first;  // erases the entry, which points at the second object
    EXPECT_THROW(registry().get("QEL_System", "QEL", "QEL_ZEPCedarTerminal", "7"), CFG_NoInstance);
    EXPECT_EQ(0u, registry().size());
    delete second;
}

TEST_F(Registry, DestroyingWhatNextReturnedVisitsEachObjectOnce) {
    for (int dn = 1; dn <= 50; ++dn) new Terminal(std::to_string(dn));
    int visited = 0;
    zep::forEachObject(registry(), [&](Terminal* t) {
        ++visited;
        delete t;
    });
    EXPECT_EQ(50, visited);
    EXPECT_EQ(0u, registry().size());
}

TEST_F(Registry, DestroyingTheObjectUnderTheCursorDoesNotDerailIteration) {
    new Terminal("1");
    Terminal* second = new Terminal("2");
    new Terminal("3");
    std::vector<std::string> seen;
    zep::forEachObject(registry(), [&](Terminal* t) {
        seen.push_back(t->id());
        if (t->id() == "1") delete second;  // the entry the cursor rests on
    });
    EXPECT_EQ((std::vector<std::string>{"1", "3"}), seen);
}

TEST_F(Registry, CreateAndDestroyAreAlwaysRefused) {
    EXPECT_THROW(registry().create("QEL_System", "QEL", "QEL_ZEPCedarTerminal", "9"), CFG_InstanceCreationFailed);
    EXPECT_EQ(0u, registry().size());
    Terminal* t = new Terminal("9");
    EXPECT_THROW(registry().destroy(t), CFG_InstanceDeletionFailed);
    EXPECT_EQ(t, registry().get("QEL_System", "QEL", "QEL_ZEPCedarTerminal", "9"));
    Terminal* found = 0;
    EXPECT_EQ(0, registry().FindByInstanceName("9", found));
    EXPECT_EQ(nullptr, found);
}

// What an enumeration reads under the class lock comes back, object by
// object, as the instances the getters describe.
class Reading {
public:
    Reading(unsigned int number, const std::string& text, bool withQualifier)
        : number_(number), text_(text), withQualifier_(withQualifier) {}
    int getNumber(unsigned int& v, zep::Qualifiers&) const { v = number_; return zep::kPropertyOk; }
    int getText(std::string& v, zep::Qualifiers& q) const {
        v = text_;
        if (withQualifier_) q.push_back(OpenWBEM::CIMQualifier("Description"));
        return zep::kPropertyOk;
    }
    int getFlag(bool& v, zep::Qualifiers&) const { v = number_ % 2 == 1; return zep::kPropertyOk; }
    int getSmall(unsigned char& v, zep::Qualifiers&) const {
        v = static_cast<unsigned char>(number_);
        return zep::kPropertyOk;
    }
    int getNothing(std::string& v, zep::Qualifiers&) const { v = "never shown"; return zep::kPropertyNoValue; }

private:
    unsigned int number_;
    std::string text_;
    bool withQualifier_;
};

TEST(PropertyReadings, GiveBackEachObjectsValuesTypesAndQualifiersInOrder) {
    const zep::PropertyGetter<Reading> getters[] = {
        zep::getter<&Reading::getNumber>("Number"), zep::getter<&Reading::getNothing>("Nothing"),
        zep::getter<&Reading::getText>("Text"),     zep::getter<&Reading::getFlag>("Flag"),
        zep::getter<&Reading::getSmall>("Small"),
    };
    const size_t count = sizeof getters / sizeof getters[0];
    const std::string longText(300, 'x');
    const Reading objects[] = {Reading(4294967295u, "", false), Reading(7, std::string("cut\0off", 7), true),
                               Reading(258, longText, false)};
    zep::PropertyReadings readings;
    for (const Reading& object : objects) zep::readProperties(object, getters, count, readings);

    // One array for all, as an enumeration fills it: instances kept from
    // earlier rounds must not see the later ones.
    std::vector<OpenWBEM::CIMInstance> instances;
    OpenWBEM::CIMPropertyArray properties;
    for (size_t n = 0; n < 3; ++n) {
        zep::takeProperties(readings, getters, count, properties);
        instances.emplace_back(OpenWBEM::String("Reading"));
        instances.back().setProperties(properties);
    }
    for (const OpenWBEM::CIMInstance& instance : instances) {
        ASSERT_EQ(4u, instance.getProperties().size());
        EXPECT_FALSE(instance.getProperty("Nothing"));
        EXPECT_EQ(OpenWBEM::CIMDataType::UINT32, instance.getPropertyValue("Number").getType());
        EXPECT_EQ(OpenWBEM::CIMDataType::STRING, instance.getPropertyValue("Text").getType());
        EXPECT_EQ(OpenWBEM::CIMDataType::BOOLEAN, instance.getPropertyValue("Flag").getType());
        EXPECT_EQ(OpenWBEM::CIMDataType::UINT8, instance.getPropertyValue("Small").getType());
    }
    EXPECT_EQ(OpenWBEM::CIMValue(OpenWBEM::UInt32(4294967295u)), instances[0].getPropertyValue("Number"));
    EXPECT_EQ(OpenWBEM::String(""), instances[0].getPropertyValue("Text").toString());
    EXPECT_EQ(OpenWBEM::CIMValue(OpenWBEM::Bool(true)), instances[0].getPropertyValue("Flag"));
    // A text ends at its first NUL; only the property that came with
    // qualifiers carries them.
    EXPECT_EQ(OpenWBEM::String("cut"), instances[1].getPropertyValue("Text").toString());
    ASSERT_EQ(1u, instances[1].getProperty("Text").getQualifiers().size());
    EXPECT_EQ(OpenWBEM::String("Description"), instances[1].getProperty("Text").getQualifiers()[0].getName());
    EXPECT_EQ(0u, instances[2].getProperty("Text").getQualifiers().size());
    EXPECT_EQ(OpenWBEM::String(longText.c_str()), instances[2].getPropertyValue("Text").toString());
    EXPECT_EQ(OpenWBEM::CIMValue(OpenWBEM::UInt8(2)), instances[2].getPropertyValue("Small"));
    EXPECT_EQ(OpenWBEM::CIMValue(OpenWBEM::Bool(false)), instances[2].getPropertyValue("Flag"));
}

TEST(ConfigErrors, AreCaughtAsTheFamilyAndAsStdException) {
    EXPECT_THROW(throw CFG_InstanceCreationFailed(), CFG_Exception);
    EXPECT_THROW(throw CFG_InstanceCreationFailed(), std::exception);
    EXPECT_STREQ(std::exception().what(), CFG_NoInstance().what());
}

TEST(ErrorTags, ResultCodesAreSignedDecimal) {
    EXPECT_EQ("#101#", zep::resultCodeTag(101));
    EXPECT_EQ("#-2#", zep::resultCodeTag(static_cast<int>(0xFFFFFFFEu)));
}

}  // namespace
