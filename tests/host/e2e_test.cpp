// End to end: wbemcli drives cimhost, which runs the built provider library
// against a zepsim gateway. Every operation on every class, the exact error
// codes and descriptions clients see, a gateway killed and restarted, large
// generated populations read back field by field, and the provider kept past
// its time-to-live.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <sstream>
#include <thread>

#include "HostProcess.hpp"

using namespace hosttest;

namespace {

const char kCedar4000[] =
    "URL:QEL_ZEPCedarTerminal.SystemCreationClassName=\"QEL_System\",SystemName=\"QEL\","
    "CreationClassName=\"QEL_ZEPCedarTerminal\",DeviceID=\"4000\"";

std::string terminalPath(const std::string& type, const std::string& dn) {
    const std::string cls = "QEL_ZEP" + type + "Terminal";
    return "URL:" + cls + ".SystemCreationClassName=\"QEL_System\",SystemName=\"QEL\",CreationClassName=\"" + cls +
           "\",DeviceID=\"" + dn + "\"";
}

std::string settingPath(const std::string& cls) { return "URL:" + cls + ".InstanceID=\"" + cls + "\""; }

// wbemcli's report of a CIM error (after its program name): code, name and the description, as
// it prints it: a line break (written as a character reference in the attribute) is shown as
// the reference.
std::string cimError(int code, const std::string& name, const std::string& description) {
    std::string text;
    for (char c : description) text += c == '\n' ? std::string("&#10;") : std::string(1, c);
    return "Cim: (" + std::to_string(code) + ") " + name + ": " + text + "\n";
}

// Where the object manager, not the provider, words an answer, the two differ.
std::string byHost(const std::string& cimhost, const std::string& owcimomd) {
    return Stack::kRealHost ? owcimomd : cimhost;
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// XML without the line breaks a writer puts between elements (owcimomd's
// are CR LF).
std::string squeezed(const std::string& xml) {
    std::string out;
    for (char c : xml)
        if (c != '\n' && c != '\r') out += c;
    return out;
}

size_t occurrences(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

// A CIM-XML request around one call.
std::string cimRequest(const std::string& call) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?><CIM CIMVERSION=\"2.0\" DTDVERSION=\"2.0\"><MESSAGE ID=\"9\" "
           "PROTOCOLVERSION=\"1.0\"><SIMPLEREQ>" + call + "</SIMPLEREQ></MESSAGE></CIM>";
}
const char kRootCimv2[] =
    "<LOCALNAMESPACEPATH><NAMESPACE NAME=\"root\"/><NAMESPACE NAME=\"cimv2\"/></LOCALNAMESPACEPATH>";
std::string key(const std::string& name, const std::string& value) {
    return "<KEYBINDING NAME=\"" + name + "\"><KEYVALUE VALUETYPE=\"string\">" + value + "</KEYVALUE></KEYBINDING>";
}

// FindByInstanceName on a Cedar terminal.
std::string findByInstanceNameCall(const std::string& on, const std::string& name) {
    return cimRequest("<METHODCALL NAME=\"FindByInstanceName\"><LOCALINSTANCEPATH>" + std::string(kRootCimv2) +
                      "<INSTANCENAME CLASSNAME=\"QEL_ZEPCedarTerminal\">" + key("SystemCreationClassName", "QEL_System") +
                      key("SystemName", "QEL") + key("CreationClassName", "QEL_ZEPCedarTerminal") + key("DeviceID", on) +
                      "</INSTANCENAME></LOCALINSTANCEPATH><PARAMVALUE NAME=\"InstanceName\"><VALUE>" + name +
                      "</VALUE></PARAMVALUE></METHODCALL>");
}

// ModifyInstance of the mode setting with one property (wbemcli offers only
// the properties an instance it got has, and the mode setting has no value
// for this one).
std::string modifyModeCall(const std::string& property, const std::string& type, const std::string& value) {
    const std::string id = "QEL_ZEPModeSetting";
    return cimRequest("<IMETHODCALL NAME=\"ModifyInstance\">" + std::string(kRootCimv2) +
                      "<IPARAMVALUE NAME=\"ModifiedInstance\"><VALUE.NAMEDINSTANCE><INSTANCENAME CLASSNAME=\"" + id +
                      "\">" + key("InstanceID", id) + "</INSTANCENAME><INSTANCE CLASSNAME=\"" + id +
                      "\"><PROPERTY NAME=\"InstanceID\" TYPE=\"string\"><VALUE>" + id + "</VALUE></PROPERTY>"
                      "<PROPERTY NAME=\"" + property + "\" TYPE=\"" + type + "\"><VALUE>" + value +
                      "</VALUE></PROPERTY></INSTANCE></VALUE.NAMEDINSTANCE></IPARAMVALUE></IMETHODCALL>");
}

// ModifyInstance of a terminal: the path names one terminal (its class and
// DN), the instance another, with all its keys, a MOTN and more properties.
std::string modifyTerminalCall(const std::string& pathClass, const std::string& pathDn, const std::string& dn,
                               const std::string& motn, const std::string& more = "") {
    const std::string cls = "QEL_ZEPCedarTerminal";
    auto property = [](const std::string& name, const std::string& value) {
        return "<PROPERTY NAME=\"" + name + "\" TYPE=\"string\"><VALUE>" + value + "</VALUE></PROPERTY>";
    };
    return cimRequest("<IMETHODCALL NAME=\"ModifyInstance\">" + std::string(kRootCimv2) +
                      "<IPARAMVALUE NAME=\"ModifiedInstance\"><VALUE.NAMEDINSTANCE><INSTANCENAME CLASSNAME=\"" + pathClass +
                      "\">" + key("SystemCreationClassName", "QEL_System") + key("SystemName", "QEL") +
                      key("CreationClassName", pathClass) + key("DeviceID", pathDn) + "</INSTANCENAME><INSTANCE CLASSNAME=\"" +
                      cls + "\">" + property("SystemCreationClassName", "QEL_System") + property("SystemName", "QEL") +
                      property("CreationClassName", cls) + property("DeviceID", dn) + property("MOTN", motn) + more +
                      "</INSTANCE></VALUE.NAMEDINSTANCE></IPARAMVALUE></IMETHODCALL>");
}

class EndToEnd : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        stack = new Stack({"--mode", "cedar", "--terminals", "3"});
        ASSERT_EQ("ok", stack->sim().command("add cedar 4000 mac=00:1b:4f:0a:0b:0c ip=192.168.1.10 motn=\"Desk 4\"")
                            .substr(0, 2));
        ASSERT_EQ("ok", stack->sim().command("generate alder 2 5000").substr(0, 2));
        ASSERT_EQ("ok", stack->sim().command("generate birch 2 6000").substr(0, 2));
    }
    static void TearDownTestSuite() {
        delete stack;
        stack = nullptr;
    }
    void SetUp() {
        ASSERT_NE(nullptr, stack);
    }

    // Switches the gateway's mode and waits until the host shows that type's data.
    void useMode(const std::string& type, const std::string& cls, size_t terminals) {
        ASSERT_EQ("ok", stack->sim().command("mode " + type).substr(0, 2));
        ASSERT_TRUE(testsupport::waitUntil([&] {
            return stack->count("QEL_ZEP" + cls + "Terminal") == terminals &&
                   stack->count("QEL_ZEP" + cls + "Setting") == 1;
        }, std::chrono::seconds(60)))
            << stack->log();
    }

    // wbemcli ei names every instance of the class by all its keys, as ein does.
    void expectNamedInstances(const std::string& type, size_t terminals) {
        for (const std::string kind : {"Terminal", "Setting"}) {
            const std::string cls = "QEL_ZEP" + type + kind;
            const std::string keys =
                kind == "Setting" ? "InstanceID=\"" + cls + "\" "
                                  : "SystemCreationClassName=\"QEL_System\",SystemName=\"QEL\",CreationClassName=\"" +
                                        cls + "\",DeviceID=\"";
            const Result all = stack->wbemcli({"ei", "URL:" + cls});
            EXPECT_EQ(kind == "Setting" ? 1u : terminals, occurrences(all.out, stack->location() + ":" + cls + "." + keys))
                << all;
        }
    }

    // A modify through wbemcli that must fail with exactly this error.
    void expectModifyError(const std::string& path, const std::string& assignment, int code, const std::string& name,
                           const std::string& description) {
        const Result r = stack->wbemcli({"mi", path, assignment});
        EXPECT_EQ(16, r.status) << assignment << "\n" << r;
        EXPECT_EQ("", r.out);
        EXPECT_TRUE(contains(r.err, cimError(code, name, description))) << assignment << "\n" << r;
    }

    static Stack* stack;
};

Stack* EndToEnd::stack = nullptr;

const char kInvalid[] = "CIM_ERR_INVALID_PARAMETER";

TEST_F(EndToEnd, ReadsCedarTerminalsAndClasses) {
    useMode("cedar", "Cedar", 4);
    const Result names = stack->wbemcli({"ein", "URL:QEL_ZEPCedarTerminal"});
    EXPECT_EQ(0, names.status) << names;
    EXPECT_TRUE(contains(names.out, stack->location() + ":" + std::string(kCedar4000).substr(4) + "\n"))
        << names;

    expectNamedInstances("Cedar", 4);
    const Result all = stack->wbemcli({"ei", "URL:QEL_ZEPCedarTerminal"});
    EXPECT_EQ(0, all.status) << all;
    // Each enumerated instance is named by its keys, as its name is enumerated.
    EXPECT_TRUE(contains(all.out, stack->location() + ":" + std::string(kCedar4000).substr(4) + " DN=4000,"))
        << all;
    EXPECT_TRUE(contains(all.out, "DN=4000,MOTPS=\"192.168.1.10\",HWID=\"00-1B-4F-0A-0B-0C\",")) << all;
    EXPECT_TRUE(contains(all.out, "MOTN=\"Desk 4\",")) << all;

    const Result one = stack->wbemcli({"gi", "-nl", kCedar4000});
    EXPECT_EQ(0, one.status) << one;
    for (const char* line : {"-DN=4000\n", "-HWID=\"00-1B-4F-0A-0B-0C\"\n", "-DeviceID=\"4000\"\n",
                             "-SystemCreationClassName=\"QEL_System\"\n"})
        EXPECT_TRUE(contains(one.out, line)) << line << "\n" << one;
    // Properties named on the command line do not narrow what the provider returns.
    EXPECT_TRUE(contains(stack->wbemcli({"ei", "URL:QEL_ZEPCedarTerminal", "DN"}).out, "HWID="));

    const Result gone = stack->wbemcli({"gi", terminalPath("Cedar", "4999")});
    EXPECT_EQ(16, gone.status);
    EXPECT_TRUE(contains(gone.err, cimError(6, "CIM_ERR_NOT_FOUND", ""))) << gone;

    const Result classes = stack->wbemcli({"ecn", stack->url()});
    EXPECT_EQ(0, classes.status) << classes;
    for (const char* cls : {"QEL_ZEPModeSetting", "QEL_ZEPCedarTerminal", "QEL_ZEPAlderTerminal", "QEL_ZEPBirchTerminal",
                            "QEL_ZEPCedarSetting", "QEL_ZEPAlderSetting", "QEL_ZEPBirchSetting"})
        EXPECT_TRUE(contains(classes.out, ":" + std::string(cls) + "\n")) << cls;

    const Result cls = stack->wbemcli({"gc", "-t", "URL:QEL_ZEPCedarTerminal"});
    EXPECT_EQ(0, cls.status) << cls;
    EXPECT_TRUE(contains(cls.out, "QEL_ZEPCedarTerminal DN=,MOTPS=,HWID=,SetStatus=,FwVersion=,MOTN=,BUID=,"
                                  "SystemCreationClassName#=,SystemName#=,CreationClassName#=,DeviceID#=\n"))
        << cls;

    const Result mode = stack->wbemcli({"ei", "URL:QEL_ZEPModeSetting"});
    EXPECT_EQ(0, mode.status) << mode;
    EXPECT_TRUE(contains(mode.out, "QEL_ZEPModeSetting.InstanceID=\"QEL_ZEPModeSetting\" "
                                   "Mode=true,MoType=0,InstanceID=\"QEL_ZEPModeSetting\"")) << mode;
}

TEST_F(EndToEnd, ModifiesCedarTerminalsAndReportsEveryValidationError) {
    useMode("cedar", "Cedar", 4);
    Result r = stack->wbemcli({"mi", kCedar4000, "MOTN=\"Lobby phone 15\",BUID=\"building-7\""});
    EXPECT_EQ(0, r.status) << r;
    EXPECT_EQ("", r.out);
    EXPECT_TRUE(testsupport::waitUntil([&] {
        const std::string out = stack->wbemcli({"gi", "-nl", kCedar4000}).out;
        return contains(out, "-MOTN=\"Lobby phone 15\"\n") && contains(out, "-BUID=\"building-7\"\n");
    })) << stack->wbemcli({"gi", "-nl", kCedar4000});

    expectModifyError(kCedar4000, "MOTN=\"sixteen chars...\"", 4, kInvalid,
                      "The length of MOTNbe must be <= 15\n#CFG_000_0004,MOF_Props_QEL_ZEPCedarTerminal_MOTN,15#");
    expectModifyError(kCedar4000, "BUID=\"" + std::string(35, 'b') + "\"", 4, kInvalid,
                      "The length of BUIDbe must be <= 34\n#CFG_000_0004,MOF_Props_QEL_ZEPCedarTerminal_BUID,34#");
    // Read-only properties are passed over: the request succeeds, nothing changes.
    r = stack->wbemcli({"mi", kCedar4000, "DN=1"});
    EXPECT_EQ(0, r.status) << r;
    EXPECT_TRUE(contains(stack->wbemcli({"gi", "-nl", kCedar4000}).out, "-DN=4000\n"));
    // A value the declared type cannot hold never reaches the provider.
    r = stack->wbemcli({"mi", kCedar4000, "DN=4294967296"});
    EXPECT_EQ(16, r.status) << r;
    EXPECT_TRUE(contains(r.err, byHost("Cim: (4) CIM_ERR_INVALID_PARAMETER: property DN: ",
                                       "Cim: (4) CIM_ERR_INVALID_PARAMETER: Unable to convert \"4294967296\" into UInt32")))
        << r;
}

TEST_F(EndToEnd, ModifiesCedarSettingsAndTheModeSetting) {
    useMode("cedar", "Cedar", 4);
    const std::string path = settingPath("QEL_ZEPCedarSetting");
    Result r = stack->wbemcli({"mi", path, "NodeId=9999,TestLocalModeTimeout=10,H323Id=\"gw-1\""});
    EXPECT_EQ(0, r.status) << r;
    EXPECT_TRUE(testsupport::waitUntil([&] {
        const std::string out = stack->wbemcli({"gi", "-nl", path}).out;
        return contains(out, "-NodeId=9999\n") && contains(out, "-TestLocalModeTimeout=10\n") &&
               contains(out, "-H323Id=\"gw-1\"\n");
    })) << stack->wbemcli({"gi", "-nl", path});

    const std::string key = ",MOF_Props_QEL_ZEPCedarSetting_";
    struct Case {
        std::string assignment, description;
    } cases[] = {
        {"VoipTrunkAccessCode=\"" + std::string(17, '1') + "\"",
         "The length of VoipTrunkAccessCodebe must be <= 16\n#CFG_000_0004" + key + "VoipTrunkAccessCode,16#"},
        {"TestLocalModeTimeout=11", "The value of TestLocalModeTimeout must be <= 10\n#CFG_000_0003" + key + "TestLocalModeTimeout,10#"},
        {"TestLocalModeTimeout=1", "The value of TestLocalModeTimeout must be >= 2\n#CFG_000_0002" + key + "TestLocalModeTimeout,2#"},
        {"PrimaryNCSAddr=\"" + std::string(17, '1') + "\"",
         "The length of PrimaryNCSAddrbe must be <= 16\n#CFG_000_0004" + key + "PrimaryNCSAddr,16#"},
        {"AlternateNCSAddr=\"" + std::string(17, '2') + "\"",
         "The length of AlternateNCSAddrbe must be <= 16\n#CFG_000_0004" + key + "AlternateNCSAddr,16#"},
        {"NodeId=10000", "The value of NodeId must be <= 9999\n#CFG_000_0003" + key + "NodeId,9999#"},
        {"H323Id=\"" + std::string(257, 'h') + "\"", "The length of H323Idbe must be <= 256\n#CFG_000_0004" + key + "H323Id,256#"},
        {"NPI=6", "The value of NPI must be <= 5\n#CFG_000_0003" + key + "NPI,5#"},
        {"TON=8", "The value of TON must be <= 7\n#CFG_000_0003" + key + "TON,7#"},
        {"AccessCodeLength=35", "The value of AccessCodeLength must be <= 34\n#CFG_000_0003" + key + "AccessCodeLength,34#"},
    };
    for (const Case& c : cases) expectModifyError(path, c.assignment, 4, kInvalid, c.description);
    r = stack->wbemcli({"mi", path, "NodeId=lots"});
    EXPECT_EQ(16, r.status) << r;
    EXPECT_TRUE(contains(r.err, byHost("(4) CIM_ERR_INVALID_PARAMETER: property NodeId: 'lots' is not a valid uint16",
                                       "(4) CIM_ERR_INVALID_PARAMETER: Unable to convert \"lots\" into UInt16")))
        << r;

    const std::string mode = settingPath("QEL_ZEPModeSetting");
    const std::string refused = stack->post(modifyModeCall("dummy", "uint8", "5"));
    EXPECT_TRUE(contains(refused, "<ERROR CODE=\"1\" DESCRIPTION=\"#101#\"")) << refused;
    r = stack->wbemcli({"mi", mode, "Mode=false"});
    EXPECT_EQ(0, r.status) << r;
    EXPECT_TRUE(contains(stack->wbemcli({"gi", mode}).out, "Mode=true")) << "the mode is the gateway's, not the client's";
}

TEST_F(EndToEnd, ServesAlderAndBirchClassesWithTheirOwnLimits) {
    useMode("alder", "Alder", 2);
    expectNamedInstances("Alder", 2);
    EXPECT_EQ(0u, stack->count("QEL_ZEPCedarTerminal"));
    Result r = stack->wbemcli({"mi", terminalPath("Alder", "5000"), "MODN=\"" + std::string(34, 'm') + "\""});
    EXPECT_EQ(0, r.status) << r;
    expectModifyError(terminalPath("Alder", "5001"), "MODN=\"" + std::string(35, 'm') + "\"", 4, kInvalid,
                      "The length of MODNbe must be <= 34\n#CFG_000_0004,MOF_Props_QEL_ZEPAlderTerminal_MODN,34#");
    const std::string alder = settingPath("QEL_ZEPAlderSetting");
    const std::string akey = ",MOF_Props_QEL_ZEPAlderSetting_";
    expectModifyError(alder, "VoipTrunkAccessCode=\"" + std::string(17, '7') + "\"", 4, kInvalid,
                      "The length of VoipTrunkAccessCodebe must be <= 16\n#CFG_000_0004" + akey + "VoipTrunkAccessCode,16#");
    expectModifyError(alder, "TestLocalModeTimeout=11", 4, kInvalid,
                      "The value of TestLocalModeTimeout must be <= 10\n#CFG_000_0003" + akey + "TestLocalModeTimeout,10#");
    expectModifyError(alder, "TestLocalModeTimeout=1", 4, kInvalid,
                      "The value of TestLocalModeTimeout must be >= 2\n#CFG_000_0002" + akey + "TestLocalModeTimeout,2#");
    r = stack->wbemcli({"mi", alder, "TestLocalModeTimeout=3"});
    EXPECT_EQ(0, r.status) << r;
    EXPECT_TRUE(testsupport::waitUntil(
        [&] { return contains(stack->wbemcli({"gi", alder}).out, "TestLocalModeTimeout=3"); }));

    useMode("birch", "Birch", 2);
    expectNamedInstances("Birch", 2);
    EXPECT_EQ(0u, stack->count("QEL_ZEPAlderTerminal"));
    expectModifyError(terminalPath("Birch", "6000"), "MODN=\"" + std::string(35, 'm') + "\"", 4, kInvalid,
                      "The length of MODNbe must be <= 34\n#CFG_000_0004,MOF_Props_QEL_ZEPBirchTerminal_MODN,34#");
    const std::string birch = settingPath("QEL_ZEPBirchSetting");
    const std::string bkey = ",MOF_Props_QEL_ZEPBirchSetting_";
    expectModifyError(birch, "VoipTrunkAccessCode=\"" + std::string(17, '7') + "\"", 4, kInvalid,
                      "The length of VoipTrunkAccessCodebe must be <= 16\n#CFG_000_0004" + bkey + "VoipTrunkAccessCode,16#");
    expectModifyError(birch, "TestLocalModeTimeOut=11", 4, kInvalid,
                      "The value of TestLocalModeTimeOut must be <= 10\n#CFG_000_0003" + bkey + "TestLocalModeTimeOut,10#");
    expectModifyError(birch, "TestLocalModeTimeOut=1", 4, kInvalid,
                      "The value of TestLocalModeTimeOut must be >= 2\n#CFG_000_0002" + bkey + "TestLocalModeTimeOut,2#");
    expectModifyError(birch, "PrimaryTpsAddress=\"" + std::string(17, '1') + "\"", 4, kInvalid,
                      "The length of PrimaryTpsAddressbe must be <= 16\n#CFG_000_0004" + bkey + "PrimaryTpsAddress,16#");
    r = stack->wbemcli({"mi", birch, "PrimaryTpsPort=65535"});
    EXPECT_EQ(0, r.status) << r;
    EXPECT_TRUE(testsupport::waitUntil(
        [&] { return contains(stack->wbemcli({"gi", birch}).out, "PrimaryTpsPort=65535"); }));
    const Result mode = stack->wbemcli({"gi", settingPath("QEL_ZEPModeSetting")});
    EXPECT_TRUE(contains(mode.out, "Mode=true,MoType=2,")) << mode;
}

TEST_F(EndToEnd, RefusesCreationAndDeletionInTheProvidersWords) {
    useMode("cedar", "Cedar", 4);
    const std::string created = "The system cannot create the instance specified.\n#CFG_000_0005#";
    const std::string deleted = "The system cannot delete the instance specified.\n#CFG_000_0006#";
    const std::string newTerminal = terminalPath("Cedar", "4001");
    Result r = stack->wbemcli({"ci", newTerminal,
                               "SystemCreationClassName=\"QEL_System\",SystemName=\"QEL\",CreationClassName="
                               "\"QEL_ZEPCedarTerminal\",DeviceID=\"4001\",MOTN=\"new\""});
    EXPECT_EQ(16, r.status) << r;
    EXPECT_TRUE(contains(r.err, cimError(7, "CIM_ERR_NOT_SUPPORTED", created))) << r;
    r = stack->wbemcli({"ci", settingPath("QEL_ZEPCedarSetting"), "InstanceID=\"QEL_ZEPCedarSetting\""});
    EXPECT_EQ(16, r.status) << r;
    EXPECT_TRUE(contains(r.err, cimError(7, "CIM_ERR_NOT_SUPPORTED", created))) << r;

    for (const std::string& path : {std::string(kCedar4000), settingPath("QEL_ZEPCedarSetting"),
                                    settingPath("QEL_ZEPModeSetting")}) {
        r = stack->wbemcli({"di", path});
        EXPECT_EQ(16, r.status) << path << "\n" << r;
        EXPECT_TRUE(contains(r.err, cimError(7, "CIM_ERR_NOT_SUPPORTED", deleted))) << r;
    }
    EXPECT_EQ(4u, stack->count("QEL_ZEPCedarTerminal"));
    r = stack->wbemcli({"di", newTerminal});
    EXPECT_EQ(16, r.status);
    EXPECT_TRUE(contains(r.err, cimError(6, "CIM_ERR_NOT_FOUND", ""))) << r;
}

TEST_F(EndToEnd, CallsBothTerminalMethods) {
    useMode("cedar", "Cedar", 4);
    Result first = stack->wbemcli({"cm", kCedar4000, "RedirectSet"});
    EXPECT_EQ(0, first.status) << first;
    const std::string prefix = stack->location() + ":" + std::string(kCedar4000).substr(4) + " RedirectSet: ";
    ASSERT_EQ(0u, first.out.find(prefix)) << first;
    const unsigned long n = std::stoul(first.out.substr(prefix.size()));
    const Result second = stack->wbemcli({"cm", terminalPath("Cedar", "1000"), "RedirectSet"});
    EXPECT_TRUE(contains(second.out, " RedirectSet: " + std::to_string(n + 1) + "\n")) << second;

    // The reference names the namespace, not the host: the provider makes it so.
    const std::string found4000 = "inst (reference): root/cimv2:"
                                  "QEL_ZEPCedarTerminal.SystemCreationClassName=\"QEL_System\",SystemName=\"QEL\","
                                  "CreationClassName=\"QEL_ZEPCedarTerminal\",DeviceID=\"4000\"";
    Result r = stack->wbemcli({"cm", terminalPath("Cedar", "1000"), "FindByInstanceName.InstanceName=\"4000\""});
    EXPECT_EQ(0, r.status) << r;
    EXPECT_TRUE(contains(r.out, " FindByInstanceName: true, " + found4000 + "\n")) << r;
    // A miss: FALSE and exactly one "inst", without a value. (wbemcli cannot
    // show a null reference, so the answer is read as it comes.)
    const std::string miss = stack->post(findByInstanceNameCall("1000", "4321"));
    EXPECT_TRUE(contains(squeezed(miss), "<RETURNVALUE PARAMTYPE=\"boolean\"><VALUE>false</VALUE></RETURNVALUE>"
                                         "<PARAMVALUE NAME=\"inst\"></PARAMVALUE></METHODRESPONSE>")) << miss;
    EXPECT_EQ(1u, occurrences(miss, "<PARAMVALUE")) << miss;
    // The reference argument is looked up and otherwise ignored. (wbemcli takes
    // every name=value after a reference as one of its keys, so it comes last.)
    r = stack->wbemcli({"cm", terminalPath("Cedar", "1000"),
                        "FindByInstanceName.InstanceName=\"4000\",inst=QEL_ZEPCedarTerminal.SystemCreationClassName="
                        "\"QEL_System\",SystemName=\"QEL\",CreationClassName=\"QEL_ZEPCedarTerminal\",DeviceID=\"1001\""});
    EXPECT_EQ(0, r.status) << r;
    EXPECT_TRUE(contains(r.out, " FindByInstanceName: true, " + found4000 + "\n")) << r;

    for (const char* method : {"Bogus", "redirectset"}) {
        r = stack->wbemcli({"cm", kCedar4000, method});
        EXPECT_EQ(16, r.status) << method;
        EXPECT_TRUE(contains(r.err, "Cim: (17) CIM_ERR_METHOD_NOT_FOUND: ")) << r;
    }
    r = stack->wbemcli({"cm", settingPath("QEL_ZEPCedarSetting"), "RedirectSet"});
    EXPECT_EQ(16, r.status);
    EXPECT_TRUE(contains(r.err, "(17) CIM_ERR_METHOD_NOT_FOUND: ")) << r;
    r = stack->wbemcli({"cm", terminalPath("Cedar", "4999"), "RedirectSet"});
    EXPECT_EQ(16, r.status);
    EXPECT_TRUE(contains(r.err, "Cim: (6) CIM_ERR_NOT_FOUND")) << r;
}

TEST_F(EndToEnd, RefusesAssociationsAndUnknownClasses) {
    useMode("cedar", "Cedar", 4);
    // The provider refuses every association request; owcimomd answers them
    // itself from its repository, where no association names these classes.
    for (const char* op : {"ain", "ai", "rin", "ri"}) {
        const Result r = stack->wbemcli({op, kCedar4000});
        if (Stack::kRealHost) {
            EXPECT_EQ(0, r.status) << op << "\n" << r;
            EXPECT_EQ("", r.out) << op;
        } else {
            EXPECT_EQ(16, r.status) << op << "\n" << r;
            EXPECT_TRUE(contains(r.err, cimError(5, "CIM_ERR_INVALID_CLASS", ""))) << op << "\n" << r;
        }
    }
    const std::string noClass = byHost("no class QEL_ZEPNoSuchClass", "/root/cimv2:QEL_ZEPNoSuchClass");
    for (const char* op : {"ein", "ei"}) {
        const Result r = stack->wbemcli({op, "URL:QEL_ZEPNoSuchClass"});
        EXPECT_EQ(16, r.status) << op;
        EXPECT_TRUE(contains(r.err, cimError(5, "CIM_ERR_INVALID_CLASS", noClass))) << r;
    }
    Result r = stack->wbemcli({"gi", "URL:QEL_ZEPNoSuchClass.Name=\"x\""});
    EXPECT_TRUE(contains(r.err, "(5) CIM_ERR_INVALID_CLASS")) << r;
    // The provider's own routing is case-sensitive. cimhost hands over the
    // class name as sent; owcimomd hands over its own spelling of the class.
    r = stack->wbemcli({"ein", "URL:qel_zepcedarterminal"});
    if (Stack::kRealHost) EXPECT_TRUE(contains(r.out, ":QEL_ZEPCedarTerminal.")) << r;
    else EXPECT_TRUE(contains(r.err, cimError(5, "CIM_ERR_INVALID_CLASS", ""))) << r;
    r = stack->wbemcli({"gc", "URL:QEL_ZEPNoSuchClass"});
    EXPECT_EQ(16, r.status);
    EXPECT_TRUE(contains(r.err, "(6) CIM_ERR_NOT_FOUND: " + noClass)) << r;
}

// Raw HTTP: bad bodies are refused; the host serves on. cimhost answers a
// CIM error on a connection that stays usable; owcimomd answers a body that
// is not well-formed with HTTP 400 and a CIMError header, and closes.
TEST_F(EndToEnd, AnswersMalformedRequests) {
    std::string a = stack->post("<CIM><MESSAGE ID=\"1\"><SIMPLEREQ><IMETHODCALL NAME=\"GetClass\">");
    if (Stack::kRealHost) {
        EXPECT_EQ(0u, a.find("HTTP/1.1 400 ")) << a;
        EXPECT_TRUE(contains(a, "CIMError: request-not-well-formed\r\n")) << a;
    } else {
        EXPECT_EQ(0u, a.find("HTTP/1.1 200 OK\r\n")) << a;
        EXPECT_TRUE(contains(a, "<ERROR CODE=\"4\"")) << a;
    }
    RawConnection http(stack->port());
    a = http.post(cimRequest("<METHODCALL NAME=\"RedirectSet\"><LOCALINSTANCEPATH></LOCALINSTANCEPATH></METHODCALL>"));
    EXPECT_TRUE(contains(squeezed(a), "<METHODRESPONSE NAME=\"RedirectSet\"><ERROR CODE=\"4\""))
        << a;
    a = http.post(cimRequest("<IMETHODCALL NAME=\"EnumerateClassNames\">" + std::string(kRootCimv2) + "</IMETHODCALL>"));
    EXPECT_TRUE(contains(a, "<CLASSNAME NAME=\"QEL_ZEPCedarTerminal\"")) << a;
}

// The path, not the instance's own keys, names the terminal a modify
// changes; owcimomd names it by the instance's keys.
TEST_F(EndToEnd, ModifiesOnlyTheTerminalItsPathNames) {
    if (Stack::kRealHost) GTEST_SKIP() << "owcimomd names the instance by its own keys";
    useMode("cedar", "Cedar", 4);
    const struct {
        const char *cls, *dn;
    } paths[] = {{"QEL_ZEPCedarTerminal", "1001"}, {"QEL_ZEPCedarTerminal", "4999"}, {"QEL_ZEPAlderTerminal", "4000"}};
    for (const auto& path : paths) {
        const std::string a = stack->post(modifyTerminalCall(path.cls, path.dn, "4000", "hijacked"));
        EXPECT_TRUE(contains(a, "<ERROR CODE=\"4\" DESCRIPTION=\"the instance")) << path.cls << " " << path.dn << "\n" << a;
    }
    for (const char* dn : {"4000", "1001"})
        EXPECT_FALSE(contains(stack->wbemcli({"gi", terminalPath("Cedar", dn)}).out, "hijacked")) << dn;
}

// About 15 MiB: the instance with 250,000 properties its class does not
// declare, which are passed over in time linear in the request (it took
// 247 s of CPU when each property was looked up among those before it). The
// acceptance's bound, 1 s, holds the host's CPU time for the request, from
// its log (about 0.4 s here; 5 s in a sanitizer build); the post as a whole
// gets 10 s, for a busy machine.
TEST_F(EndToEnd, PassesOverAQuarterMillionUndeclaredPropertiesInUnderASecond) {
    if (Stack::kRealHost) GTEST_SKIP() << "owcimomd drops undeclared properties one by one";
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    const double bound = 5.0;
#else
    const double bound = 1.0;
#endif
    useMode("cedar", "Cedar", 4);
    std::string undeclared;
    for (int i = 0; i < 250000; ++i)
        undeclared += "<PROPERTY NAME=\"X" + std::to_string(i) + "\" TYPE=\"string\"><VALUE>v</VALUE></PROPERTY>";
    const std::string body = modifyTerminalCall("QEL_ZEPCedarTerminal", "4000", "4000", "bulk", undeclared);
    const auto start = std::chrono::steady_clock::now();
    const std::string a = stack->post(body);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_TRUE(contains(squeezed(a), "<IMETHODRESPONSE NAME=\"ModifyInstance\"></IMETHODRESPONSE>")) << a;
    // "ModifyInstance QEL_ZEPCedarTerminal: 0 results, 214 bytes in 421.378 ms (417.088 ms CPU)"
    const std::string log = stack->log();
    const size_t line = log.rfind("ModifyInstance QEL_ZEPCedarTerminal: ");
    const size_t cpu = log.find(" ms CPU)", line);
    ASSERT_NE(std::string::npos, cpu) << log;
    const double cpuSeconds = std::stod(log.substr(log.rfind('(', cpu) + 1)) / 1000;
    EXPECT_LT(cpuSeconds, bound) << body.size() << " bytes";
    EXPECT_LT(seconds, 10.0) << body.size() << " bytes";
    EXPECT_TRUE(testsupport::waitUntil(
        [&] { return contains(stack->wbemcli({"gi", "-nl", kCedar4000}).out, "-MOTN=\"bulk\"\n"); }));
}

// A character XML does not allow, raw or as a reference, or a byte that is
// no UTF-8, refuses the request; the answer says where, never what.
// owcimomd takes them, and its later answers are not well-formed.
TEST_F(EndToEnd, RefusesCharactersXmlDoesNotAllowAndNeverEchoesThem) {
    if (Stack::kRealHost) GTEST_SKIP() << "owcimomd takes such characters, and writes them back as they are";
    useMode("cedar", "Cedar", 4);
    for (const std::string motn : {"ECHO&#1;MARK", "ECHO\x01MARK", "ECHO\xFFMARK"}) {
        const std::string a = stack->post(modifyTerminalCall("QEL_ZEPCedarTerminal", "4000", "4000", motn));
        EXPECT_TRUE(contains(a, "<ERROR CODE=\"4\" DESCRIPTION=\"request is not well-formed XML: ")) << a;
        EXPECT_FALSE(contains(a, "ECHO") || contains(a, "MARK")) << a;
    }
    EXPECT_FALSE(contains(stack->wbemcli({"gi", kCedar4000}).out, "ECHO"));
}

// A gateway text with bytes XML cannot carry is served with U+FFFD in their
// place (the harness checks that every answer is well-formed); owcimomd
// writes such bytes as they are.
TEST_F(EndToEnd, ServesGatewayTextsWithControlBytesAsWellFormedXml) {
    if (Stack::kRealHost) GTEST_SKIP() << "owcimomd writes the bytes as they are";
    useMode("cedar", "Cedar", 4);
    ASSERT_EQ("ok", stack->sim().command("change cedar 1001 motn=\"bell\x07\xFF\"").substr(0, 2));
    EXPECT_TRUE(testsupport::waitUntil([&] {
        return contains(stack->wbemcli({"gi", "-nl", terminalPath("Cedar", "1001")}).out, "-MOTN=\"bell\uFFFD\uFFFD\"\n");
    })) << stack->wbemcli({"gi", "-nl", terminalPath("Cedar", "1001")});
}

// The CIM headers must agree with the request, else an HTTP error with the
// CIMError header that says why; owcimomd does not check them.
TEST_F(EndToEnd, RefusesRequestsWhoseCimHeadersDisagreeWithThem) {
    if (Stack::kRealHost) GTEST_SKIP() << "owcimomd does not check the CIM headers";
    const std::string names = cimRequest("<IMETHODCALL NAME=\"EnumerateClassNames\">" + std::string(kRootCimv2) + "</IMETHODCALL>");
    const std::string call = findByInstanceNameCall("1000", "4000");
    std::string otherTerminal = "CIMOperation: MethodCall\r\n" + cimHeadersFor(call);
    otherTerminal.replace(otherTerminal.find("DeviceID=\"1000\""), 15, "DeviceID=\"1001\"");
    const struct {
        std::string body, headers, status, cimError;
    } cases[] = {
        {names, cimHeadersFor(names), "400", "unsupported-operation"},
        {names, "CIMOperation: MethodResponse\r\n" + cimHeadersFor(names), "400", "unsupported-operation"},
        {names, "CIMOperation: MethodCall\r\nCIMProtocolVersion: 2.0\r\n" + cimHeadersFor(names), "501",
         "unsupported-protocol-version"},
        {names, "CIMOperation: MethodCall\r\nCIMMethod: GetClass\r\nCIMObject: root%2Fcimv2\r\n", "400", "header-mismatch"},
        {names, "CIMOperation: MethodCall\r\nCIMMethod: EnumerateClassNames\r\nCIMObject: root%2Fother\r\n", "400",
         "header-mismatch"},
        {call, otherTerminal, "400", "header-mismatch"},
    };
    for (const auto& c : cases) {
        const std::string a = RawConnection(stack->port()).post(c.body, c.headers);
        EXPECT_EQ(0u, a.find("HTTP/1.1 " + c.status + " ")) << c.headers << a;
        EXPECT_TRUE(contains(a, "\r\nCIMError: " + c.cimError + "\r\n")) << c.headers << a;
    }
    // As clients send them (wbemcli's, in every other test).
    EXPECT_EQ(0u, stack->post(names).find("HTTP/1.1 200 OK\r\n"));
    EXPECT_EQ(0u, stack->post(call).find("HTTP/1.1 200 OK\r\n"));
}

// The gateway killed and started again under the same object manager: the
// provider finds it gone and empties its caches, then serves the new
// incarnation, whose mode and terminals differ, and modifies through it.
TEST(EndToEndGateway, AKilledGatewayIsServedAgainOnceRestarted) {
    Stack stack({"--mode", "cedar", "--terminals", "5"});
    ASSERT_TRUE(testsupport::waitUntil([&] { return stack.count("QEL_ZEPCedarTerminal") == 5; }, std::chrono::seconds(60)))
        << stack.log();

    stack.sim().kill();
    // Gone: empty enumerations, not errors.
    const auto empty = [&](const std::string& cls) {
        const Result r = stack.wbemcli({"ein", "URL:" + cls});
        return r.status == 0 && r.out.empty();
    };
    ASSERT_TRUE(testsupport::waitUntil([&] { return empty("QEL_ZEPCedarTerminal") && empty("QEL_ZEPCedarSetting"); },
                                       std::chrono::seconds(60)))
        << stack.wbemcli({"ein", "URL:QEL_ZEPCedarTerminal"});
    const Result gone = stack.wbemcli({"gi", terminalPath("Cedar", "1000")});
    EXPECT_TRUE(contains(gone.err, cimError(6, "CIM_ERR_NOT_FOUND", ""))) << gone;

    stack.restartSim({"--mode", "alder", "--terminals", "3"});
    ASSERT_TRUE(testsupport::waitUntil([&] {
        return stack.count("QEL_ZEPAlderTerminal") == 3 && stack.count("QEL_ZEPAlderSetting") == 1;
    }, std::chrono::seconds(60)))
        << stack.log();
    EXPECT_TRUE(empty("QEL_ZEPCedarTerminal"));
    EXPECT_TRUE(contains(stack.wbemcli({"gi", settingPath("QEL_ZEPModeSetting")}).out, "Mode=true,MoType=1,"));
    const Result r = stack.wbemcli({"mi", terminalPath("Alder", "1001"), "MODN=\"after the restart\""});
    EXPECT_EQ(0, r.status) << r;
    EXPECT_TRUE(testsupport::waitUntil([&] {
        return contains(stack.wbemcli({"gi", "-nl", terminalPath("Alder", "1001")}).out, "-MODN=\"after the restart\"\n");
    }, std::chrono::seconds(60)));
    EXPECT_TRUE(contains(stack.sim().command("show alder 1001"), "after the restart"))
        << stack.sim().command("show alder 1001");
    EXPECT_TRUE(stack.hostAlive());
}

// One instance as wbemcli ei or gi -nl writes it: its properties by name,
// string values without their quotes.
using Properties = std::map<std::string, std::string>;

// The "name=value,name=value" list of an ei line (values hold no quotes).
Properties propertiesOf(const std::string& list) {
    Properties p;
    size_t at = 0;
    while (at < list.size()) {
        const size_t eq = list.find('=', at);
        if (eq == std::string::npos) break;
        size_t end = eq + 1;
        std::string value;
        if (end < list.size() && list[end] == '"') {
            const size_t close = list.find('"', end + 1);
            value = list.substr(end + 1, close - end - 1);
            end = close + 1;
        } else {
            end = std::min(list.find(',', end), list.size());
            value = list.substr(eq + 1, end - eq - 1);
        }
        p[list.substr(at, eq - at)] = value;
        at = end + 1;  // past the comma
    }
    return p;
}

// The instances of an ei answer, by DeviceID; a DeviceID seen twice counts in duplicates.
std::map<std::string, Properties> instancesOf(const std::string& ei, size_t& duplicates) {
    std::map<std::string, Properties> all;
    std::istringstream lines(ei);
    std::string line;
    while (std::getline(lines, line)) {
        // "<host:port/namespace>:<path> <properties>": the path's values hold no blanks.
        const size_t blank = line.find(' ');
        Properties p = propertiesOf(blank == std::string::npos ? "" : line.substr(blank + 1));
        const std::string id = p["DeviceID"];
        duplicates += all.count(id);
        all[id] = std::move(p);
    }
    return all;
}

// A terminal as the gateway simulator generates it (zepsim's generate):
// DN d of a type whose MoType is t has MOTPS 10.<t + 1>.<d's two low bytes>
// and HWID 02-<t>-<d's four bytes, most significant first>, and texts made of
// its DN.
struct Population {
    std::string type, name;  // "Cedar", and as zepsim names it, "cedar"
    unsigned moType;
    uint32_t firstDn, count;
};

Properties generatedTerminal(const Population& p, uint32_t dn) {
    char hwid[32], motps[32];
    std::snprintf(hwid, sizeof hwid, "02-%02X-%02X-%02X-%02X-%02X", p.moType, dn >> 24, (dn >> 16) & 0xFF,
                  (dn >> 8) & 0xFF, dn & 0xFF);
    std::snprintf(motps, sizeof motps, "10.%u.%u.%u", p.moType + 1, (dn >> 8) & 0xFF, dn & 0xFF);
    const std::string n = std::to_string(dn);
    Properties t{{"DN", n}, {"MOTPS", motps}, {"HWID", hwid}, {"SetStatus", "registered"}, {"DeviceID", n},
                 {"CreationClassName", "QEL_ZEP" + p.type + "Terminal"}};
    if (p.type == "Cedar") {
        t["FwVersion"] = "1.0." + std::to_string(dn % 100);
        t["MOTN"] = "T-" + n;
        t["BUID"] = "BU-" + n;
    } else {
        t["MODN"] = p.name + "-" + n;
    }
    return t;
}

// How an instance differs from what it should hold ("" when it does not).
std::string difference(const Properties& want, const Properties& got) {
    for (const auto& [name, value] : want) {
        const auto field = got.find(name);
        if (field == got.end()) return name + " missing";
        if (field->second != value) return name + " is '" + field->second + "', not '" + value + "'";
    }
    return "";
}

// Byte order through the whole stack: large generated populations, their
// DNs across byte boundaries (2^24, 2^16, the top of the range), enumerated
// and compared with the generating rule field by field, every terminal of
// every type. The gateway's records, the provider's conversions and the
// object manager's CIM-XML all carry these fields; a byte order wrong
// anywhere shows in DN, MOTPS or HWID.
TEST(EndToEndPopulation, EveryTerminalReadsAsTheGatewayGeneratedIt) {
    const Population populations[] = {
        {"Cedar", "cedar", 0, (1u << 24) - 5000, 10000},
        {"Alder", "alder", 1, (1u << 16) - 500, 1000},
        {"Birch", "birch", 2, 0xFFFFFFFFu - 999, 1000},
    };
    Stack stack({"--mode", "off"});
    for (const Population& p : populations)
        ASSERT_EQ("ok", stack.sim()
                            .command("generate " + p.name + " " + std::to_string(p.count) + " " + std::to_string(p.firstDn))
                            .substr(0, 2));
    for (const Population& p : populations) {
        SCOPED_TRACE(p.type);
        const std::string cls = "QEL_ZEP" + p.type + "Terminal";
        ASSERT_EQ("ok", stack.sim().command("mode " + p.name).substr(0, 2));
        ASSERT_TRUE(testsupport::waitUntil([&] { return stack.count(cls) == p.count; }, std::chrono::seconds(180)))
            << stack.count(cls) << " of " << p.count;

        const Result ei = stack.wbemcli({"ei", "URL:" + cls});
        ASSERT_EQ(0, ei.status) << ei.err;
        size_t duplicates = 0;
        const std::map<std::string, Properties> found = instancesOf(ei.out, duplicates);
        EXPECT_EQ(0u, duplicates);
        EXPECT_EQ(p.count, found.size());
        size_t wrong = 0;
        std::string firstWrong;
        for (uint32_t i = 0; i < p.count; ++i) {
            const uint32_t dn = p.firstDn + i;
            const auto it = found.find(std::to_string(dn));
            const std::string diff = it == found.end() ? "missing" : difference(generatedTerminal(p, dn), it->second);
            if (diff.empty()) continue;
            if (wrong++ == 0) firstWrong = "DN " + std::to_string(dn) + ": " + diff;
        }
        EXPECT_EQ(0u, wrong) << "terminals wrong, the first: " << firstWrong;

        // One terminal on its own, the last (its DN's bytes the highest).
        const uint32_t last = p.firstDn + p.count - 1;
        const Result gi = stack.wbemcli({"gi", "-nl", terminalPath(p.type, std::to_string(last))});
        ASSERT_EQ(0, gi.status) << gi;
        for (const auto& [name, value] : generatedTerminal(p, last)) {
            const std::string shown = name == "DN" ? value : "\"" + value + "\"";
            EXPECT_TRUE(contains(gi.out, "-" + name + "=" + shown + "\n")) << name << "\n" << gi.out;
        }
    }
}

#ifdef OW_PREFIX
// The real daemon with a one-minute time-to-live (its debug log on, to see
// the unloader): the unloader runs once a minute, so its third run after the
// last request finds the provider idle past it, and passes over it. The
// daemon lives, the caches are served, and the gateway was linked once (one
// mode request).
TEST(EndToEndLifetime, TheDaemonSurvivesItsIdleUnloader) {
    Stack stack({"--mode", "cedar", "--terminals", "25"},
                {"cppprovifc.prov_TTL = 1", "log.main.type = stderr", "log.main.level = DEBUG",
                 "log.main.components = *", "log.main.categories = *"});
    ASSERT_TRUE(testsupport::waitUntil([&] { return stack.count("QEL_ZEPCedarTerminal") == 25; }, std::chrono::seconds(60)))
        << stack.log();
    // Each run of the unloader ends with its polling thread finding no more work.
    const char kUnloaderRunEnded[] = "Polling Manager: No work after";
    const size_t before = occurrences(stack.log(), kUnloaderRunEnded);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(5);
    while (stack.hostAlive() && occurrences(stack.log(), kUnloaderRunEnded) < before + 3 &&
           std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
    // The daemon's own defect (it steps past the map entry it has just erased
    // when it unloads one of its own idle providers) may end it first, at
    // random; that says nothing about this provider, which must never be the
    // one unloaded.
    if (!stack.hostAlive()) {
        const std::string log = stack.log();
        const size_t unloading = log.rfind("Unloading Provider ");
        const size_t lineEnd = unloading == std::string::npos ? std::string::npos : log.find('\n', unloading);
        if (lineEnd != std::string::npos && log.find_first_not_of(" \r\n", lineEnd) == std::string::npos &&
            !contains(log, "Unloading Provider QEL_ZEPProvider"))
            GTEST_SKIP() << "owcimomd ended as it unloaded one of its own providers (its erased-iterator defect)";
    }
    ASSERT_TRUE(stack.hostAlive()) << stack.log().substr(stack.log().size() > 4000 ? stack.log().size() - 4000 : 0);
    EXPECT_GE(occurrences(stack.log(), kUnloaderRunEnded), before + 3) << "the unloader did not run";
    EXPECT_FALSE(contains(stack.log(), "Unloading Provider QEL_ZEPProvider"));
    EXPECT_EQ(25u, stack.count("QEL_ZEPCedarTerminal"));
    EXPECT_TRUE(contains(stack.wbemcli({"gi", settingPath("QEL_ZEPCedarSetting")}).out, "NodeId="));
    EXPECT_TRUE(contains(stack.sim().command("status"), " req7=1 ")) << stack.sim().command("status");
    EXPECT_EQ(0, stack.stopHost());
}
#else
// Its own gateway and host: the provider is never unloaded, however long it
// is idle, and keeps serving the same caches; SIGTERM then stops the host cleanly.
TEST(EndToEndLifetime, AProviderIdleBeyondItsTimeToLiveIsKeptAndServes) {
    Stack stack({"--mode", "cedar", "--terminals", "25"}, {"--provider-ttl", "0.3", "--max-request", "65536"});
    ASSERT_TRUE(testsupport::waitUntil([&] { return stack.count("QEL_ZEPCedarTerminal") == 25; }, std::chrono::seconds(60)))
        << stack.log();
    ASSERT_TRUE(testsupport::waitUntil([&] { return contains(stack.log(), "time-to-live: kept"); },
                                       std::chrono::seconds(60)))
        << stack.log();
    EXPECT_EQ(25u, stack.count("QEL_ZEPCedarTerminal"));
    EXPECT_FALSE(contains(stack.log(), "instance destroyed")) << stack.log();
    EXPECT_FALSE(contains(stack.log(), "(instance 2)")) << stack.log();
    EXPECT_TRUE(contains(stack.wbemcli({"gi", settingPath("QEL_ZEPCedarSetting")}).out, "NodeId="));

    // A body above the limit is refused before it is read; the host serves on.
    EXPECT_EQ(0u, stack.post(std::string(70000, 'x')).find("HTTP/1.1 413")) << "413 expected";
    EXPECT_EQ(25u, stack.count("QEL_ZEPCedarTerminal"));

    EXPECT_EQ(0, stack.stopHost());
    const std::string log = stack.log();
    EXPECT_TRUE(contains(log, "SIGTERM: stopping")) << log;
    EXPECT_TRUE(contains(log, "INFO stopped\n")) << log;
}

#endif

}  // namespace
