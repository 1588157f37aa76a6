// The host's object manager with an in-process provider: what reaches the
// provider (typed keys and values, method inputs in declared order) and what
// goes back (the provider's message unchanged, outputs by position), and
// the provider lifetime (initialised once, re-created after its time-to-live).
#include <gtest/gtest.h>

#include <OW_Bool.hpp>
#include <OW_CIMClass.hpp>
#include <OW_CIMException.hpp>
#include <OW_CIMInstance.hpp>
#include <OW_CIMObjectPath.hpp>
#include <OW_CIMParamValue.hpp>
#include <OW_CppInstanceProviderIFC.hpp>
#include <OW_CppMethodProviderIFC.hpp>
#include <OW_ResultHandlerIFC.hpp>

#include <atomic>
#include <mutex>
#include <thread>

#include "CimOperations.hpp"
#include "HostLogger.hpp"
#include "MofParser.hpp"
#include "ProviderManager.hpp"
#include "StrictXml.hpp"
#include "TestSupport.hpp"

using namespace cimhost;
using namespace OpenWBEM;

namespace {

const char kMof[] = R"(
    [Provider ("c++::Stub")]
    class T_Thing {
        [Key] string Name;
        uint8 Level;
        boolean On;
        string Note;
        uint32 Count ();
        boolean Find ([In] string Text, [In] uint16 Count, [In, Out] T_Thing REF Where, [In (false), Out] string Found);
    };
    class T_Unserved { [Key] string Name; };
)";

// What the stub saw, shared by every instance the factory makes.
struct Seen {
    std::mutex m;
    std::vector<std::string> calls;
    CIMInstance modified{CIMNULL};
    CIMObjectPath path{CIMNULL};
    CIMParamValueArray in;
    CIMParamValueArray outOnEntry;
    std::atomic<int> initialized{0};
    std::atomic<int> destroyed{0};
};

class StubProvider : public CppInstanceProviderIFC, public CppMethodProviderIFC {
public:
    explicit StubProvider(Seen& seen) : seen_(seen) {}
    ~StubProvider() { ++seen_.destroyed; }

    void initialize(const ProviderEnvironmentIFCRef&) { ++seen_.initialized; }

    void enumInstanceNames(const ProviderEnvironmentIFCRef&, const String& ns, const String& cls,
                           CIMObjectPathResultHandlerIFC& result, const CIMClass&) {
        CIMObjectPath p(cls, ns);
        p.setKeyValue("Name", CIMValue(String("a")));
        result.handle(p);
    }
    CIMInstance getInstance(const ProviderEnvironmentIFCRef&, const String&, const CIMObjectPath& path,
                            WBEMFlags::ELocalOnlyFlag, WBEMFlags::EIncludeQualifiersFlag,
                            WBEMFlags::EIncludeClassOriginFlag, const StringArray*, const CIMClass&) {
        record("getInstance", path);
        const CIMValue name = path.getKeyValue("Name");
        if (!name || name.toString() != "a")
            throw CIMException(__FILE__, __LINE__, CIMException::NOT_FOUND);
        CIMInstance inst("T_Thing");
        inst.setProperty("Name", name);
        inst.setProperty("Level", CIMValue(UInt8(3)));
        return inst;  // On and Note left out, as a provider leaves out what it has no value for
    }
    CIMObjectPath createInstance(const ProviderEnvironmentIFCRef&, const String&, const CIMInstance&) {
        throw CIMException(__FILE__, __LINE__, CIMException::NOT_SUPPORTED, "no creation\n#CFG_000_0005#");
    }
    void modifyInstance(const ProviderEnvironmentIFCRef&, const String&, const CIMInstance& inst,
                        const CIMInstance&, WBEMFlags::EIncludeQualifiersFlag, const StringArray*,
                        const CIMClass&) {
        std::lock_guard<std::mutex> lock(seen_.m);
        seen_.calls.push_back("modifyInstance");
        seen_.modified = inst;
    }
    void deleteInstance(const ProviderEnvironmentIFCRef&, const String&, const CIMObjectPath&) {
        throw std::runtime_error("disk on fire");
    }
    CIMValue invokeMethod(const ProviderEnvironmentIFCRef&, const String&, const CIMObjectPath& path,
                          const String& method, const CIMParamValueArray& in, CIMParamValueArray& out) {
        record("invokeMethod " + std::string(method.c_str()), path);
        {
            std::lock_guard<std::mutex> lock(seen_.m);
            seen_.in = in;
            seen_.outOnEntry = out;
        }
        if (method.equals("Count")) return CIMValue(UInt32(7));
        // Sets its outputs in the entries it was handed: a found reference, a null text.
        const CIMValue where = in[2].getValue();
        out[0].setValue(where);
        if (!where) return CIMValue(CIMNULL);
        return CIMValue(Bool(true));
    }

private:
    void record(const std::string& call, const CIMObjectPath& path) {
        std::lock_guard<std::mutex> lock(seen_.m);
        seen_.calls.push_back(call);
        seen_.path = path;
    }
    Seen& seen_;
};

class QuietLogger : public Logger {
protected:
    void doLogMessage(const String&, const ELogLevel) const {}
};

struct Host {
    explicit Host(std::chrono::milliseconds ttl = std::chrono::milliseconds(0))
        : env(new HostEnvironment(LoggerRef(new QuietLogger))), providers(env, ttl) {
        MofResult mof = parseMof(kMof);
        for (ClassDef& c : mof.classes) repo.add(std::move(c));
        providers.add("Stub", [this] { return new StubProvider(seen); });
    }
    std::string call(const std::string& inner) const {
        const std::string body =
            "<?xml version=\"1.0\" encoding=\"utf-8\" ?><CIM CIMVERSION=\"2.0\" DTDVERSION=\"2.0\">"
            "<MESSAGE ID=\"77\" PROTOCOLVERSION=\"1.0\"><SIMPLEREQ>" + inner + "</SIMPLEREQ></MESSAGE></CIM>";
        const std::string answer = ops.handle(body.data(), body.size(), "127.0.0.1:5988");
        EXPECT_EQ("", xmlcheck::wellFormednessError(answer)) << answer;
        return answer;
    }
    std::string intrinsic(const std::string& method, const std::string& params, const std::string& ns = "root/cimv2") const {
        std::string nsXml;
        size_t start = 0;
        while (start < ns.size()) {
            size_t slash = ns.find('/', start);
            if (slash == std::string::npos) slash = ns.size();
            nsXml += "<NAMESPACE NAME=\"" + ns.substr(start, slash - start) + "\"/>";
            start = slash + 1;
        }
        return call("<IMETHODCALL NAME=\"" + method + "\"><LOCALNAMESPACEPATH>" + nsXml + "</LOCALNAMESPACEPATH>" +
                    params + "</IMETHODCALL>");
    }
    std::string method(const std::string& name, const std::string& params, const std::string& key = "a") const {
        return call("<METHODCALL NAME=\"" + name + "\"><LOCALINSTANCEPATH><LOCALNAMESPACEPATH>"
                    "<NAMESPACE NAME=\"root\"/><NAMESPACE NAME=\"cimv2\"/></LOCALNAMESPACEPATH>"
                    "<INSTANCENAME CLASSNAME=\"T_Thing\"><KEYBINDING NAME=\"Name\"><KEYVALUE>" + key +
                    "</KEYVALUE></KEYBINDING></INSTANCENAME></LOCALINSTANCEPATH>" + params + "</METHODCALL>");
    }

    Seen seen;
    ClassRepository repo;
    ProviderEnvironmentIFCRef env;
    ProviderManager providers;
    CimOperations ops{repo, "root/cimv2", providers, env};
};

const char kThingA[] = "<INSTANCENAME CLASSNAME=\"T_Thing\"><KEYBINDING NAME=\"name\"><KEYVALUE>a</KEYVALUE>"
                       "</KEYBINDING></INSTANCENAME>";

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(Operations, AnswersClassRequestsFromTheMofAndRefusesUnknownClassesAndNamespaces) {
    Host h;
    const std::string names = h.intrinsic("EnumerateClassNames", "");
    EXPECT_TRUE(contains(names, "<IRETURNVALUE><CLASSNAME NAME=\"T_Thing\"/><CLASSNAME NAME=\"T_Unserved\"/></IRETURNVALUE>"))
        << names;
    EXPECT_TRUE(contains(h.intrinsic("EnumerateClassNames", "<IPARAMVALUE NAME=\"ClassName\"><CLASSNAME NAME=\"T_Thing\"/>"
                                                              "</IPARAMVALUE>"),
                         "<IRETURNVALUE></IRETURNVALUE>"));
    EXPECT_TRUE(contains(h.intrinsic("GetClass", "<IPARAMVALUE NAME=\"ClassName\"><CLASSNAME NAME=\"t_thing\"/></IPARAMVALUE>"),
                         "<CLASS NAME=\"T_Thing\">"));
    EXPECT_TRUE(contains(h.intrinsic("GetClass", "<IPARAMVALUE NAME=\"ClassName\"><CLASSNAME NAME=\"Nope\"/></IPARAMVALUE>"),
                         "<ERROR CODE=\"6\""));
    EXPECT_TRUE(contains(h.intrinsic("EnumerateInstanceNames", "<IPARAMVALUE NAME=\"ClassName\"><CLASSNAME NAME=\"Nope\"/>"
                                                                 "</IPARAMVALUE>"),
                         "<ERROR CODE=\"5\""));
    EXPECT_TRUE(contains(h.intrinsic("EnumerateInstanceNames", "<IPARAMVALUE NAME=\"ClassName\"><CLASSNAME NAME=\"T_Thing\"/>"
                                                                 "</IPARAMVALUE>", "root/other"),
                         "<ERROR CODE=\"3\""));
    // A class no provider serves, and an operation the host does not have.
    EXPECT_TRUE(contains(h.intrinsic("EnumerateInstanceNames", "<IPARAMVALUE NAME=\"ClassName\"><CLASSNAME NAME=\"T_Unserved\"/>"
                                                                 "</IPARAMVALUE>"),
                         "<ERROR CODE=\"7\""));
    EXPECT_TRUE(contains(h.intrinsic("ExecQuery", ""), "<IMETHODRESPONSE NAME=\"ExecQuery\"><ERROR CODE=\"7\""));
    // A body that is no request still gets a whole answer.
    EXPECT_TRUE(contains(h.ops.handle("junk", 4, "h"), "<ERROR CODE=\"4\""));
    EXPECT_TRUE(h.seen.calls.empty());
}

TEST(Operations, TypesWhatGoesToTheProviderAndCompletesWhatComesBack) {
    Host h;
    const std::string got = h.intrinsic("GetInstance", "<IPARAMVALUE NAME=\"InstanceName\">" + std::string(kThingA) + "</IPARAMVALUE>");
    EXPECT_TRUE(contains(got, "<IRETURNVALUE><INSTANCE CLASSNAME=\"T_Thing\">"
                              "<PROPERTY NAME=\"Name\" TYPE=\"string\"><VALUE>a</VALUE></PROPERTY>"
                              "<PROPERTY NAME=\"Level\" TYPE=\"uint8\"><VALUE>3</VALUE></PROPERTY>"
                              "<PROPERTY NAME=\"On\" TYPE=\"boolean\"></PROPERTY>"
                              "<PROPERTY NAME=\"Note\" TYPE=\"string\"></PROPERTY></INSTANCE></IRETURNVALUE>"))
        << got;
    // The key reached the provider under its declared name.
    EXPECT_EQ("Name", std::string(h.seen.path.getKeys()[0].getName().c_str()));

    const std::string modify =
        "<IPARAMVALUE NAME=\"ModifiedInstance\"><VALUE.NAMEDINSTANCE>" + std::string(kThingA) +
        "<INSTANCE CLASSNAME=\"T_Thing\"><PROPERTY NAME=\"Name\" TYPE=\"string\"><VALUE>a</VALUE></PROPERTY>"
        "<PROPERTY NAME=\"Level\" TYPE=\"uint8\"><VALUE>%LEVEL%</VALUE></PROPERTY>"
        "<PROPERTY NAME=\"On\" TYPE=\"\"><VALUE>false</VALUE></PROPERTY>"
        "<PROPERTY NAME=\"Note\" TYPE=\"string\"></PROPERTY></INSTANCE></VALUE.NAMEDINSTANCE></IPARAMVALUE>";
    auto withLevel = [&](const std::string& level) {
        std::string s = modify;
        s.replace(s.find("%LEVEL%"), 7, level);
        return s;
    };
    EXPECT_TRUE(contains(h.intrinsic("ModifyInstance", withLevel("9")),
                         "<IMETHODRESPONSE NAME=\"ModifyInstance\"></IMETHODRESPONSE>"));
    ASSERT_TRUE(h.seen.modified);
    EXPECT_EQ(CIMValue(UInt8(9)), h.seen.modified.getPropertyValue("Level"));
    EXPECT_EQ(CIMValue(Bool(false)), h.seen.modified.getPropertyValue("On"));  // typed by the class, not TYPE=""
    EXPECT_FALSE(h.seen.modified.getPropertyValue("Note"));
    EXPECT_EQ(CIMDataType::STRING, h.seen.modified.getProperty("Note").getDataType().getType());

    // Values that do not fit their declared type never reach the provider.
    h.seen.calls.clear();
    for (const char* level : {"256", "abc", "-1", ""}) {
        const std::string answer = h.intrinsic("ModifyInstance", withLevel(level));
        EXPECT_TRUE(contains(answer, "<ERROR CODE=\"4\" DESCRIPTION=\"property Level: ")) << level << answer;
    }
    EXPECT_TRUE(h.seen.calls.empty());
}

// The path names the instance a modify changes; the instance's own keys only
// have to agree with it. Names are found by hash: properties the class does
// not declare are passed over, one named twice is refused.
TEST(Operations, ModifiesOnlyTheInstanceItsPathNames) {
    Host h;
    auto modify = [&](const std::string& path, const std::string& properties) {
        return h.intrinsic("ModifyInstance", "<IPARAMVALUE NAME=\"ModifiedInstance\"><VALUE.NAMEDINSTANCE>" + path +
                                                 "<INSTANCE CLASSNAME=\"T_Thing\">" + properties +
                                                 "</INSTANCE></VALUE.NAMEDINSTANCE></IPARAMVALUE>");
    };
    const std::string nameB = "<PROPERTY NAME=\"Name\" TYPE=\"string\"><VALUE>b</VALUE></PROPERTY>";
    const std::string level = "<PROPERTY NAME=\"Level\" TYPE=\"uint8\"><VALUE>5</VALUE></PROPERTY>";
    const struct {
        std::string path, properties, description;
    } refused[] = {
        {kThingA, nameB + level, "the instance's key Name differs from its path"},
        {kThingA, "<PROPERTY NAME=\"Name\" TYPE=\"string\"></PROPERTY>" + level, "the instance's key Name differs from its path"},
        {"<INSTANCENAME CLASSNAME=\"T_Unserved\"><KEYBINDING NAME=\"Name\"><KEYVALUE>a</KEYVALUE></KEYBINDING></INSTANCENAME>",
         level, "the instance path names another class than the instance"},
        {"<INSTANCENAME CLASSNAME=\"T_Thing\"></INSTANCENAME>", nameB, "the instance path lacks the key Name"},
        {kThingA, level + "<PROPERTY NAME=\"level\" TYPE=\"uint8\"><VALUE>6</VALUE></PROPERTY>", "property level given twice"},
    };
    for (const auto& r : refused) {
        const std::string answer = modify(r.path, r.properties);
        EXPECT_TRUE(contains(answer, "<ERROR CODE=\"4\" DESCRIPTION=\"" + r.description + "\"/>")) << answer;
    }
    EXPECT_TRUE(h.seen.calls.empty());

    // A key the instance leaves out comes from the path; undeclared properties stay behind.
    const std::string done = modify(kThingA, level + "<PROPERTY NAME=\"Bogus\" TYPE=\"uint8\"><VALUE>x</VALUE></PROPERTY>");
    EXPECT_TRUE(contains(done, "<IMETHODRESPONSE NAME=\"ModifyInstance\"></IMETHODRESPONSE>")) << done;
    ASSERT_TRUE(h.seen.modified);
    EXPECT_EQ(CIMValue(String("a")), h.seen.modified.getPropertyValue("Name"));
    EXPECT_EQ(CIMValue(UInt8(5)), h.seen.modified.getPropertyValue("Level"));
    EXPECT_FALSE(h.seen.modified.getProperty("Bogus"));
}

TEST(Operations, CarriesTheProvidersErrorTextUnchanged) {
    Host h;
    const std::string created = h.intrinsic(
        "CreateInstance", "<IPARAMVALUE NAME=\"NewInstance\"><INSTANCE CLASSNAME=\"T_Thing\"><PROPERTY NAME=\"Name\" "
                          "TYPE=\"string\"><VALUE>b</VALUE></PROPERTY></INSTANCE></IPARAMVALUE>");
    EXPECT_TRUE(contains(created, "<ERROR CODE=\"7\" DESCRIPTION=\"no creation&#10;#CFG_000_0005#\"/>")) << created;
    const std::string missing = h.intrinsic(
        "GetInstance", "<IPARAMVALUE NAME=\"InstanceName\"><INSTANCENAME CLASSNAME=\"T_Thing\"><KEYBINDING NAME=\"Name\">"
                       "<KEYVALUE>zz</KEYVALUE></KEYBINDING></INSTANCENAME></IPARAMVALUE>");
    EXPECT_TRUE(contains(missing, "<ERROR CODE=\"6\" DESCRIPTION=\"\"/>")) << missing;
    const std::string deleted = h.intrinsic("DeleteInstance", "<IPARAMVALUE NAME=\"InstanceName\">" + std::string(kThingA) + "</IPARAMVALUE>");
    EXPECT_TRUE(contains(deleted, "<ERROR CODE=\"1\" DESCRIPTION=\"disk on fire\"/>")) << deleted;
}

TEST(Operations, HandsMethodInputsOverInDeclaredOrderAndWritesOutputsByPosition) {
    Host h;
    const std::string whereXml =
        "<VALUE.REFERENCE><INSTANCENAME CLASSNAME=\"T_Thing\"><KEYBINDING NAME=\"Name\"><KEYVALUE>a</KEYVALUE>"
        "</KEYBINDING></INSTANCENAME></VALUE.REFERENCE>";
    // Sent out of order and without Count: the provider gets Text, Count (null), Where.
    const std::string found = h.method("Find", "<PARAMVALUE NAME=\"where\">" + whereXml + "</PARAMVALUE>"
                                               "<PARAMVALUE NAME=\"Text\"><VALUE>hello</VALUE></PARAMVALUE>");
    ASSERT_EQ(3u, h.seen.in.size());
    EXPECT_EQ("Text", std::string(h.seen.in[0].getName().c_str()));
    EXPECT_EQ(CIMValue(String("hello")), h.seen.in[0].getValue());
    EXPECT_EQ("Count", std::string(h.seen.in[1].getName().c_str()));
    EXPECT_FALSE(h.seen.in[1].getValue());
    EXPECT_EQ(CIMDataType::REFERENCE, h.seen.in[2].getValue().getType());
    // Outputs arrive pre-filled by name, the IN/OUT one with its input.
    ASSERT_EQ(2u, h.seen.outOnEntry.size());
    EXPECT_EQ("Where", std::string(h.seen.outOnEntry[0].getName().c_str()));
    EXPECT_TRUE(h.seen.outOnEntry[0].getValue());
    EXPECT_FALSE(h.seen.outOnEntry[1].getValue());
    // The instance is got before the method runs on it.
    {
        std::lock_guard<std::mutex> lock(h.seen.m);
        ASSERT_LE(2u, h.seen.calls.size());
        EXPECT_EQ("getInstance", h.seen.calls[h.seen.calls.size() - 2]);
    }
    // The return value first, then every output in its place; the null Found without a value.
    // A reference without a host is written as the provider made it: by its namespace.
    EXPECT_TRUE(contains(found, "<METHODRESPONSE NAME=\"Find\"><RETURNVALUE PARAMTYPE=\"boolean\"><VALUE>true</VALUE>"
                                "</RETURNVALUE><PARAMVALUE NAME=\"Where\" PARAMTYPE=\"reference\"><VALUE.REFERENCE>"
                                "<LOCALINSTANCEPATH><LOCALNAMESPACEPATH><NAMESPACE NAME=\"root\">"))
        << found;
    EXPECT_TRUE(contains(found, "</VALUE.REFERENCE></PARAMVALUE><PARAMVALUE NAME=\"Found\"></PARAMVALUE>"
                                "</METHODRESPONSE>"))
        << found;

    // A null return value is left out; the outputs are still written.
    const std::string miss = h.method("Find", "<PARAMVALUE NAME=\"Count\"><VALUE>2</VALUE></PARAMVALUE>");
    EXPECT_TRUE(contains(miss, "<METHODRESPONSE NAME=\"Find\"><PARAMVALUE NAME=\"Where\"></PARAMVALUE>"
                               "<PARAMVALUE NAME=\"Found\"></PARAMVALUE></METHODRESPONSE>")) << miss;
    EXPECT_EQ(CIMValue(UInt16(2)), h.seen.in[1].getValue());
    // A method on an instance its provider cannot get: not found, and the method never runs.
    const size_t calls = h.seen.calls.size();
    const std::string absent = h.method("Count", "", "zz");
    EXPECT_TRUE(contains(absent, "<ERROR CODE=\"6\"")) << absent;
    EXPECT_EQ("getInstance", h.seen.calls.back());
    EXPECT_EQ(calls + 1, h.seen.calls.size());

    EXPECT_TRUE(contains(h.method("Count", ""), "<RETURNVALUE PARAMTYPE=\"uint32\"><VALUE>7</VALUE></RETURNVALUE>"));
    // Unknown methods and parameters, untypable and repeated arguments.
    EXPECT_TRUE(contains(h.method("Bogus", ""), "<ERROR CODE=\"17\""));
    EXPECT_TRUE(contains(h.method("Find", "<PARAMVALUE NAME=\"Extra\"><VALUE>1</VALUE></PARAMVALUE>"), "<ERROR CODE=\"4\""));
    EXPECT_TRUE(contains(h.method("Find", "<PARAMVALUE NAME=\"Found\"><VALUE>1</VALUE></PARAMVALUE>"), "<ERROR CODE=\"4\""));
    EXPECT_TRUE(contains(h.method("Find", "<PARAMVALUE NAME=\"Count\"><VALUE>lots</VALUE></PARAMVALUE>"), "<ERROR CODE=\"4\""));
    EXPECT_TRUE(contains(h.method("Find", "<PARAMVALUE NAME=\"Where\"><VALUE>T_Thing.Name=\"a\"</VALUE></PARAMVALUE>"),
                         "<ERROR CODE=\"4\""));
    EXPECT_TRUE(contains(h.method("Find", "<PARAMVALUE NAME=\"Text\"><VALUE>1</VALUE></PARAMVALUE>"
                                          "<PARAMVALUE NAME=\"text\"><VALUE>2</VALUE></PARAMVALUE>"),
                         "<ERROR CODE=\"4\""));
}

TEST(ProviderManager, InitialisesOnceAndRecreatesAnInstanceIdleBeyondItsTimeToLive) {
    Host h(std::chrono::milliseconds(100));
    h.providers.initializeAll();
    EXPECT_EQ(1, h.seen.initialized.load());
    {
        // A held lease keeps its instance, however long the call.
        ProviderManager::Lease lease = h.providers.acquire("Stub");
        h.providers.acquire("Stub");
        EXPECT_EQ(1, h.seen.initialized.load());
        EXPECT_FALSE(testsupport::waitUntil([&] { return h.seen.destroyed.load() > 0; }, std::chrono::milliseconds(400)));
    }
    ASSERT_TRUE(testsupport::waitUntil([&] { return h.seen.destroyed.load() == 1; }));
    EXPECT_TRUE(contains(h.method("Count", ""), "<VALUE>7</VALUE>"));
    EXPECT_EQ(2, h.seen.initialized.load());
    EXPECT_EQ(2u, h.providers.creations("Stub"));
    EXPECT_THROW(h.providers.acquire("Nobody"), CIMException);
    h.providers.shutdown();
    EXPECT_EQ(2, h.seen.destroyed.load());
    EXPECT_TRUE(contains(h.method("Count", ""), "<ERROR CODE="));
}

// Request threads racing the idle check: every call is answered by an
// initialised instance, and no instance is destroyed under a call.
TEST(ProviderManager, ConcurrentCallsAndIdleRecreationNeverMeetAHalfMadeInstance) {
    Host h(std::chrono::milliseconds(1));
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 150; ++i) {
                if (!contains(h.method("Count", ""), "<VALUE>7</VALUE>")) ++failures;
                if (i % 16 == 0) std::this_thread::yield();
            }
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(0, failures.load());
    h.providers.shutdown();
    EXPECT_GE(h.seen.initialized.load(), 1);
    EXPECT_EQ(h.seen.initialized.load(), h.seen.destroyed.load());
}

TEST(ProviderManager, AFailedInitialisationKeepsNothingAndIsTriedAgain) {
    struct Failing : CppInstanceProviderIFC {
        explicit Failing(std::atomic<int>& tries) : tries_(tries) {}
        void initialize(const ProviderEnvironmentIFCRef&) {
            if (++tries_ == 1) throw CIMException(__FILE__, __LINE__, CIMException::FAILED, "not yet");
        }
        void enumInstanceNames(const ProviderEnvironmentIFCRef&, const String&, const String&,
                               CIMObjectPathResultHandlerIFC&, const CIMClass&) {}
        CIMInstance getInstance(const ProviderEnvironmentIFCRef&, const String&, const CIMObjectPath&,
                                WBEMFlags::ELocalOnlyFlag, WBEMFlags::EIncludeQualifiersFlag,
                                WBEMFlags::EIncludeClassOriginFlag, const StringArray*, const CIMClass&) {
            return CIMInstance(CIMNULL);
        }
        CIMObjectPath createInstance(const ProviderEnvironmentIFCRef&, const String&, const CIMInstance&) {
            return CIMObjectPath(CIMNULL);
        }
        void modifyInstance(const ProviderEnvironmentIFCRef&, const String&, const CIMInstance&, const CIMInstance&,
                            WBEMFlags::EIncludeQualifiersFlag, const StringArray*, const CIMClass&) {}
        void deleteInstance(const ProviderEnvironmentIFCRef&, const String&, const CIMObjectPath&) {}
        std::atomic<int>& tries_;
    };
    std::atomic<int> tries{0};
    ProviderManager providers(ProviderEnvironmentIFCRef(new HostEnvironment(LoggerRef(new QuietLogger))),
                              std::chrono::milliseconds(0));
    providers.add("F", [&] { return new Failing(tries); });
    EXPECT_THROW(providers.acquire("F"), CIMException);
    EXPECT_NO_THROW(providers.acquire("F"));
    EXPECT_EQ(2, tries.load());
    EXPECT_EQ(2u, providers.creations("F"));
}

// The log file is the user's own (0600) unless the group is to read it too
// (0640); a file left by an earlier run ends with the mode asked for, and a
// device keeps its own.
TEST(HostLog, FileGetsExactlyTheModeAskedFor) {
    testsupport::ScratchDir dir;
    auto modeOf = [](const std::string& path) {
        return static_cast<unsigned>(std::filesystem::status(path).permissions() & std::filesystem::perms::mask);
    };
    const std::string path = dir.file("host.log");
    { HostLogger log(path, E_ERROR_LEVEL); }
    EXPECT_EQ(0600u, modeOf(path));
    { HostLogger log(path, E_ERROR_LEVEL, 0640); }
    EXPECT_EQ(0640u, modeOf(path));
    std::filesystem::permissions(path, std::filesystem::perms::all);
    { HostLogger log(path, E_ERROR_LEVEL); }
    EXPECT_EQ(0600u, modeOf(path));
    const unsigned devNull = modeOf("/dev/null");
    EXPECT_NO_THROW(HostLogger("/dev/null", E_ERROR_LEVEL));
    EXPECT_EQ(devNull, modeOf("/dev/null"));
}

}  // namespace
