// cimhost against careless and hostile clients: requests without the right
// credentials, connections that send a byte a second, a thousand connections
// at once, lying Content-Length headers; wbemcli over HTTPS; and the password
// file those credentials are checked against.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <fstream>
#include <mutex>
#include <thread>

#include "HostProcess.hpp"
#include "PasswordFile.hpp"

using namespace hosttest;
using Clock = std::chrono::steady_clock;

namespace {

const char kSetting[] = "URL:QEL_ZEPCedarSetting.InstanceID=\"QEL_ZEPCedarSetting\"";
const char kWrongPassword[] = "Basic emVwdGVzdDp3cm9uZy1wdw==";  // zeptest:wrong-pw
const char kUnknownUser[] = "Basic bm9ib2R5OnplcHRlc3QtcHc=";    // nobody:zeptest-pw

std::string cimRequest(const std::string& call) {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?><CIM CIMVERSION=\"2.0\" DTDVERSION=\"2.0\"><MESSAGE ID=\"7\" "
           "PROTOCOLVERSION=\"1.0\"><SIMPLEREQ>" + call + "</SIMPLEREQ></MESSAGE></CIM>";
}
const char kRootCimv2[] =
    "<LOCALNAMESPACEPATH><NAMESPACE NAME=\"root\"/><NAMESPACE NAME=\"cimv2\"/></LOCALNAMESPACEPATH>";

std::string modifyNodeId(int value) {
    const std::string key = "<KEYVALUE VALUETYPE=\"string\">QEL_ZEPCedarSetting</KEYVALUE>";
    return cimRequest("<IMETHODCALL NAME=\"ModifyInstance\">" + std::string(kRootCimv2) +
                      "<IPARAMVALUE NAME=\"ModifiedInstance\"><VALUE.NAMEDINSTANCE><INSTANCENAME "
                      "CLASSNAME=\"QEL_ZEPCedarSetting\"><KEYBINDING NAME=\"InstanceID\">" + key +
                      "</KEYBINDING></INSTANCENAME><INSTANCE CLASSNAME=\"QEL_ZEPCedarSetting\"><PROPERTY "
                      "NAME=\"InstanceID\" TYPE=\"string\"><VALUE>QEL_ZEPCedarSetting</VALUE></PROPERTY><PROPERTY "
                      "NAME=\"NodeId\" TYPE=\"uint16\"><VALUE>" + std::to_string(value) +
                      "</VALUE></PROPERTY></INSTANCE></VALUE.NAMEDINSTANCE></IPARAMVALUE></IMETHODCALL>");
}

// A request as a client sends it, asking for the connection to close after
// the answer; contentLength, when given, is what its head claims instead of
// the body's size.
std::string request(const std::string& method, const std::string& body, const std::string& authorization,
                    const std::string& contentLength = "") {
    return "POST /cimom HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: application/xml; charset=\"utf-8\"\r\n" +
           (authorization.empty() ? "" : "Authorization: " + authorization + "\r\n") +
           "CIMOperation: MethodCall\r\nCIMMethod: " + method + "\r\nCIMObject: root%2Fcimv2\r\nConnection: close\r\n"
           "Content-Length: " + (contentLength.empty() ? std::to_string(body.size()) : contentLength) + "\r\n\r\n" + body;
}

std::string exchange(int port, const std::string& bytes) {
    RawConnection c(port);
    c.sendRaw(bytes);
    return c.readToEnd();
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// cimhost with deadlines of 2 s for a request's head and for its body, and
// HTTPS with a throwaway self-signed certificate.
class HostileClients : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        tls = new testsupport::ScratchDir;
        // A throwaway self-signed pair.
        const Result cert = runShell("cd " + shellQuote(tls->path()) + " && openssl req -x509 -newkey ec -pkeyopt "
                                     "ec_paramgen_curve:prime256v1 -nodes -days 1 -subj /CN=127.0.0.1 -keyout key.pem "
                                     "-out cert.pem", tls->path());
        ASSERT_EQ(0, cert.status) << cert;
        stack = new Stack({"--mode", "cedar", "--terminals", "5"},
                          {"--header-timeout", "2", "--body-timeout", "2", "--cert", tls->file("cert.pem"), "--key",
                           tls->file("key.pem"), "--https-port", "0", "--https-port-file", tls->file("https-port")});
        ASSERT_TRUE(testsupport::waitUntil([] { return stack->count("QEL_ZEPCedarTerminal") == 5; }, 60s)) << stack->log();
    }
    static void TearDownTestSuite() {
        delete stack;
        delete tls;
        stack = nullptr;
        tls = nullptr;
    }
    void SetUp() { ASSERT_NE(nullptr, stack); }

    std::string nodeId() const {
        const Result r = stack->wbemcli({"gi", "-nl", kSetting});
        const size_t at = r.out.find("-NodeId=");
        return at == std::string::npos ? "(none: " + r.out + r.err + ")" : r.out.substr(at, r.out.find('\n', at) - at);
    }

    static testsupport::ScratchDir* tls;
    static Stack* stack;
};
testsupport::ScratchDir* HostileClients::tls = nullptr;
Stack* HostileClients::stack = nullptr;

TEST_F(HostileClients, RefusesMissingAndWrongCredentialsAndChangesNothing) {
    const std::string before = nodeId();
    ASSERT_TRUE(contains(before, "-NodeId=")) << before;
    const int value = contains(before, "=4321") ? 4322 : 4321;
    const std::string body = modifyNodeId(value);

    const std::string none = exchange(stack->port(), request("ModifyInstance", body, ""));
    const std::string wrongPassword = exchange(stack->port(), request("ModifyInstance", body, kWrongPassword));
    const std::string unknownUser = exchange(stack->port(), request("ModifyInstance", body, kUnknownUser));
    for (const std::string& answer : {none, wrongPassword, unknownUser}) {
        EXPECT_EQ(0u, answer.find("HTTP/1.1 401 ")) << answer;
        EXPECT_TRUE(contains(answer, "\r\nWWW-Authenticate: Basic realm=\"")) << answer;
    }
    EXPECT_EQ(wrongPassword, unknownUser) << "a client can tell an unknown user from a wrong password";
    EXPECT_EQ(before, nodeId());
    const Result anonymous = runShell("wbemcli gi " + shellQuote("http://" + stack->location() + ":QEL_ZEPCedarSetting"
                                                                 ".InstanceID=\"QEL_ZEPCedarSetting\""), stack->scratch());
    EXPECT_EQ(16, anonymous.status) << anonymous;
    EXPECT_TRUE(contains(anonymous.err, "Username/password required")) << anonymous;

    // The same request with the right credentials is one that changes the value.
    const std::string accepted = exchange(stack->port(), request("ModifyInstance", body, kBasicAuthorization));
    EXPECT_EQ(0u, accepted.find("HTTP/1.1 200 ")) << accepted;
    EXPECT_FALSE(contains(accepted, "<ERROR")) << accepted;
    EXPECT_TRUE(testsupport::waitUntil([&] { return nodeId() == "-NodeId=" + std::to_string(value); }, 30s)) << nodeId();
}

// Connections that send their head a byte a second hold no thread: wbemcli
// is answered in under a second (the bound the issue sets; about 50 ms here)
// throughout, until the host has closed every one of them at its deadline.
TEST_F(HostileClients, SixtyFourDrippingConnectionsDoNotSlowOthersDown) {
    const std::string head = request("EnumerateClassNames", "", kBasicAuthorization, "200");
    std::mutex mutex;
    std::condition_variable wake;
    bool done = false;
    std::atomic<int> dropped{0}, refused{0};
    std::thread drippers([&] {
        std::vector<std::unique_ptr<RawConnection>> connections(64);
        std::vector<size_t> sent(64, 0);
        std::unique_lock<std::mutex> lock(mutex);
        while (!done) {
            for (size_t i = 0; i < connections.size(); ++i) {
                if (connections[i] && connections[i]->sendRaw(head.substr(sent[i] % head.size(), 1))) {
                    ++sent[i];
                    continue;
                }
                if (connections[i]) ++dropped;  // closed by the host: the next one drips instead
                try {
                    connections[i].reset(new RawConnection(stack->port()));
                    sent[i] = 0;
                } catch (const std::exception&) {
                    ++refused;
                }
            }
            wake.wait_for(lock, 1s, [&] { return done; });
        }
    });
    int served = 0;
    const auto end = Clock::now() + 60s;
    while ((dropped < 64 || served < 10) && Clock::now() < end) {
        const auto start = Clock::now();
        const Result r = stack->wbemcli({"gi", kSetting});
        const auto took = Clock::now() - start;
        EXPECT_EQ(0, r.status) << r;
        EXPECT_LT(took, 1s) << "request " << served << " took "
                            << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms";
        ++served;
    }
    {
        std::lock_guard<std::mutex> lock(mutex);
        done = true;
    }
    wake.notify_all();
    drippers.join();
    EXPECT_GE(dropped, 64) << "the host kept slow connections open past their deadline";
    EXPECT_EQ(0, refused);
}

// All connect at once, before any sends its request: with a short listen
// queue some were reset, and with a thread per connection the later ones
// waited for the earlier ones' time-outs.
TEST_F(HostileClients, AThousandSimultaneousConnectionsAreAllAnswered) {
    rlimit files{};
    getrlimit(RLIMIT_NOFILE, &files);
    files.rlim_cur = files.rlim_max;
    setrlimit(RLIMIT_NOFILE, &files);
    const std::string enumerate = request(
        "EnumerateClassNames", cimRequest("<IMETHODCALL NAME=\"EnumerateClassNames\">" + std::string(kRootCimv2) + "</IMETHODCALL>"),
        kBasicAuthorization);
    sockaddr_in host{};
    host.sin_family = AF_INET;
    host.sin_port = htons(static_cast<uint16_t>(stack->port()));
    host.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::vector<int> fds;
    for (int i = 0; i < 1000; ++i) {
        const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        ASSERT_GE(fd, 0) << "socket " << i;
        fds.push_back(fd);
        connect(fd, reinterpret_cast<sockaddr*>(&host), sizeof host);
    }
    int answered = 0;
    std::string wrong;
    for (const int fd : fds) {
        pollfd writable{fd, POLLOUT, 0};
        int error = 0;
        socklen_t size = sizeof error;
        if (poll(&writable, 1, 60000) == 1 && getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0) {
            fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
            send(fd, enumerate.data(), enumerate.size(), MSG_NOSIGNAL);
        }
    }
    for (const int fd : fds) {
        timeval limit{60, 0};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        std::string answer;
        char buf[4096];
        ssize_t n;
        while ((n = recv(fd, buf, sizeof buf, 0)) > 0) answer.append(buf, static_cast<size_t>(n));
        if (n == 0 && answer.find("HTTP/1.1 200 ") == 0 && contains(answer, "QEL_ZEPCedarTerminal")) ++answered;
        else if (wrong.empty()) wrong = n < 0 ? std::string("(") + std::strerror(errno) + ")" : answer;
        close(fd);
    }
    EXPECT_EQ(1000, answered) << "first wrong answer: " << wrong;
}

// Each is answered well within the 2 s deadlines (the bound here: 10 s);
// a lie about the length used to hold the connection for 30 s.
TEST_F(HostileClients, LyingAndAbsurdContentLengthsAreAnsweredInTime) {
    struct Case {
        const char* what;
        std::string bytes;
        const char* status;
    };
    const std::string body = modifyNodeId(1);
    const Case cases[] = {
        {"a length above the body sent", request("ModifyInstance", body, kBasicAuthorization, std::to_string(body.size() + 100)),
         "408"},
        {"a head never finished", request("ModifyInstance", "", kBasicAuthorization).substr(0, 60), "408"},
        {"a negative length", request("ModifyInstance", "", kBasicAuthorization, "-5"), "400"},
        {"a length beyond any number", request("ModifyInstance", "", kBasicAuthorization, "99999999999999999999999"), "400"},
        // Refused before the body is read, and before the credentials count.
        {"a length above the request limit", request("ModifyInstance", "", "", "1099511627776"), "413"},
    };
    for (const Case& c : cases) {
        const auto start = Clock::now();
        const std::string answer = exchange(stack->port(), c.bytes);
        const auto took = Clock::now() - start;
        EXPECT_EQ(0u, answer.find("HTTP/1.1 " + std::string(c.status) + " ")) << c.what << ":\n" << answer;
        EXPECT_LT(took, 10s) << c.what;
    }
}

TEST_F(HostileClients, WbemcliOverHttpsListsTheCedarTerminals) {
    const std::string url = "https://" + std::string(kUser) + ":" + kPassword + "@127.0.0.1:" +
                            std::to_string(std::stoi(readFile(tls->file("https-port")))) + "/root/cimv2:QEL_ZEPCedarTerminal";
    const Result names = stack->wbemcli({"-noverify", "ein", url});
    EXPECT_EQ(0, names.status) << names;
    EXPECT_EQ(5, std::count(names.out.begin(), names.out.end(), '\n')) << names;
    const Result all = stack->wbemcli({"-noverify", "ei", url});
    EXPECT_EQ(0, all.status) << all;
    EXPECT_TRUE(contains(all.out, "DeviceID=\"1004\"")) << all;
    // Not without -noverify: the certificate is nobody's.
    EXPECT_EQ(16, stack->wbemcli({"ein", url}).status);
}

// The password file as --add-user writes it and the host reads it.
TEST(PasswordFile, AddsAndReplacesUsersAndTakesOnlyTheirPasswords) {
    testsupport::ScratchDir dir;
    const std::string path = dir.file("passwd");
    std::ofstream(path) << "# users of the test\n";
    cimhost::PasswordFile::setPassword(path, "alice", "first");
    cimhost::PasswordFile::setPassword(path, "bob", "second");
    cimhost::PasswordFile::setPassword(path, "alice", "third");
    const std::string text = readFile(path);
    EXPECT_EQ(0u, text.find("# users of the test\nalice:$")) << text;
    EXPECT_EQ(std::string::npos, text.find("\nalice:", text.find("\nalice:") + 1)) << text;
    EXPECT_NE(std::string::npos, text.find("\nbob:$")) << text;
    struct stat st {};
    ASSERT_EQ(0, stat(path.c_str(), &st));
    EXPECT_EQ(0600u, st.st_mode & 0777u);

    const cimhost::PasswordFile users(path);
    std::string user;
    for (int round = 0; round < 2; ++round) {  // the second time from what was remembered
        EXPECT_TRUE(users.check("Basic YWxpY2U6dGhpcmQ=", user));  // alice:third
        EXPECT_EQ("alice", user);
        EXPECT_TRUE(users.check("basic Ym9iOnNlY29uZA==", user));  // bob:second
        EXPECT_FALSE(users.check("Basic YWxpY2U6Zmlyc3Q=", user));  // alice:first, replaced
    }
    for (const char* wrong : {"", "Basic", "Basic !!!!", "Digest YWxpY2U6dGhpcmQ=", "YWxpY2U6dGhpcmQ="})
        EXPECT_FALSE(users.check(wrong, user)) << wrong;

    // Clear-text passwords (as OpenWBEM's simple authentication keeps them)
    // and a user named twice are refused when the file is read.
    std::ofstream(dir.file("clear")) << "zeptest:zeptest-pw\n";
    EXPECT_THROW(cimhost::PasswordFile(dir.file("clear")), std::runtime_error);
    std::ofstream(dir.file("twice")) << text << text.substr(text.find("bob:"));
    EXPECT_THROW(cimhost::PasswordFile(dir.file("twice")), std::runtime_error);
}

}  // namespace
