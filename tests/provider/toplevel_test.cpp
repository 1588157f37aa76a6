// The top-level provider: routing by exact class name, refused association
// requests, and the translation of whatever escapes a class provider.
#include <gtest/gtest.h>

#include "ProviderHarness.hpp"
#include "QEL_ZEPModeSetting.h"

using namespace OpenWBEM;
using namespace providertest;

namespace {

// A mode object that throws from its getter or setter, standing in for a
// class provider that lets an exception escape.
template <class Thrown>
class ThrowingMode : public QEL_ZEPModeSetting {
public:
    ThrowingMode() : QEL_ZEPModeSetting("QEL_ZEPModeSetting") {}
    int getMode(bool&, zep::Qualifiers&) const override { throw Thrown(); }
    int setdummy(unsigned char) override { throw Thrown(); }
};

struct NotAnException {};

class TopLevel : public ::testing::Test {
protected:
    void SetUp() override { resetCaches(); }
    void TearDown() override { resetCaches(); }

    CIMObjectPath modePath(const char* className = "QEL_ZEPModeSetting") {
        CIMObjectPath path{String(className), String("root/cimv2")};
        path.setKeyValue("InstanceID", CIMValue(String("QEL_ZEPModeSetting")));
        return path;
    }
    int getInstance(const CIMObjectPath& path, std::string* description) {
        return cimErrorOf([&] {
            provider().getInstance(makeEnv(), "root/cimv2", path, WBEMFlags::E_NOT_LOCAL_ONLY,
                                   WBEMFlags::E_EXCLUDE_QUALIFIERS, WBEMFlags::E_EXCLUDE_CLASS_ORIGIN, 0,
                                   CIMClass(CIMNULL));
        }, description);
    }
    int modifyDummy(std::string* description) {
        CIMInstance instance("QEL_ZEPModeSetting");
        instance.setProperty("InstanceID", CIMValue(String("QEL_ZEPModeSetting")));
        instance.setProperty("dummy", CIMValue(UInt8(1)));
        return cimErrorOf([&] {
            provider().modifyInstance(makeEnv(), "root/cimv2", instance, CIMInstance(CIMNULL),
                                      WBEMFlags::E_EXCLUDE_QUALIFIERS, 0, CIMClass(CIMNULL));
        }, description);
    }
};

TEST_F(TopLevel, UnknownOrMiscasedClassIsInvalidClassAndNotLogged) {
    std::string description;
    EXPECT_EQ(CIMException::INVALID_CLASS, getInstance(modePath("qel_zepmodesetting"), &description));
    EXPECT_EQ("", description);
    Collector<CIMObjectPath> names;
    EXPECT_EQ(CIMException::INVALID_CLASS, cimErrorOf([&] {
                  provider().enumInstanceNames(makeEnv(), "root/cimv2", "CIM_Foo", names, CIMClass(CIMNULL));
              }));
    EXPECT_TRUE(takeErrorLog().empty());
}

TEST_F(TopLevel, KnownClassWithEmptyCacheEnumeratesNothing) {
    Collector<CIMObjectPath> names;
    provider().enumInstanceNames(makeEnv(), "root/cimv2", "QEL_ZEPModeSetting", names, CIMClass(CIMNULL));
    EXPECT_TRUE(names.items.empty());
}

TEST_F(TopLevel, AssociationRequestsAreInvalidClass) {
    Collector<CIMObjectPath> names;
    Collector<CIMInstance> instances;
    const CIMObjectPath path = modePath("QEL_ZEPCedarTerminal");
    EXPECT_EQ(CIMException::INVALID_CLASS, cimErrorOf([&] {
                  provider().associatorNames(makeEnv(), names, "root/cimv2", path, "", "", "", "");
              }));
    EXPECT_EQ(CIMException::INVALID_CLASS, cimErrorOf([&] {
                  provider().references(makeEnv(), instances, "root/cimv2", path, "", "",
                                        WBEMFlags::E_EXCLUDE_QUALIFIERS, WBEMFlags::E_EXCLUDE_CLASS_ORIGIN, 0);
              }));
}

TEST_F(TopLevel, EscapingStdExceptionBecomesFailedWithTheLongDescriptionAndIsLogged) {
    ThrowingMode<CFG_NoInstance> mode;
    std::string description;
    EXPECT_EQ(CIMException::FAILED, getInstance(modePath(), &description));
    const std::string expected = std::string("Unknown std::exception caught in QEL_ZEPProvider\n") +
                                 " while performing getInstance operation on QEL_ZEPModeSetting\n" +
                                 CFG_NoInstance().what() + "\n";
    EXPECT_EQ(expected, description);
    EXPECT_EQ(std::vector<std::string>{expected}, takeErrorLog());
}

TEST_F(TopLevel, WriteErrorFromModifyIsABareFailureWithoutLog) {
    ThrowingMode<CFG_WriteError> mode;
    std::string description = "unset";
    EXPECT_EQ(CIMException::FAILED, modifyDummy(&description));
    EXPECT_EQ("", description);
    EXPECT_TRUE(takeErrorLog().empty());
    // The same kind out of a read operation takes the std::exception road.
    EXPECT_EQ(CIMException::FAILED, getInstance(modePath(), &description));
    EXPECT_EQ(0u, description.find("Unknown std::exception caught in QEL_ZEPProvider\n"));
    EXPECT_EQ(1u, takeErrorLog().size());
}

TEST_F(TopLevel, NonStdThrowBecomesFailedWithTheUnknownThrowText) {
    ThrowingMode<NotAnException> mode;
    std::string description;
    EXPECT_EQ(CIMException::FAILED, modifyDummy(&description));
    EXPECT_EQ("Unknown throw caught in QEL_ZEPProvider\n while performing modifyInstance operation on "
              "QEL_ZEPModeSetting\n",
              description);
    EXPECT_EQ(1u, takeErrorLog().size());
}

}  // namespace
