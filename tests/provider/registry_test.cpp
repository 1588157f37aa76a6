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
