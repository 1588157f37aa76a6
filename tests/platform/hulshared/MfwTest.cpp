// The message framework within one process: membership and handles, dispatch with the sender and
// the body length, the errors the gateway link meets, and who may reach a participant.
#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "HulMfw.h"
#include "HulMfwStandIn.h"
#include "TestSupport.hpp"

namespace {

struct Delivery {
    int via;  // which callback
    uint16_t msgClass;
    uint32_t sender, headerSender;  // the argument, and the word at offset 20
    std::string body;
};
std::vector<Delivery> deliveries;

void record(int via, uint16_t msgClass, uint32_t length, void* message, uint32_t sender) {
    const char* m = static_cast<const char*>(message);
    uint32_t headerSender = 0;
    memcpy(&headerSender, m + HUL_MFW_SENDER_OFFSET, 4);
    deliveries.push_back({via, msgClass, sender, headerSender, std::string(m + HUL_MFW_HEADER_SIZE, length)});
}
void callbackA(uint16_t c, uint32_t l, void* m, uint32_t s) { record(1, c, l, m, s); }
void callbackB(uint16_t c, uint32_t l, void* m, uint32_t s) { record(2, c, l, m, s); }

std::string pattern(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>(i * 131 + 7);
    return s;
}

class Mfw : public ::testing::Test {
protected:
    void SetUp() override { deliveries.clear(); }
    void TearDown() override { HulMfwCleanup(); }

    HUL_PROCESS_HANDLE join(const char* name = "mfwtest") {
        EXPECT_EQ(HulMfwInitializeAs(name), 0u);
        HUL_PROCESS_HANDLE self = 0;
        EXPECT_EQ(HulMfwGetProcessHandle(nullptr, &self), 0u);
        return self;
    }
    static HUL_RESULT send(HUL_PROCESS_HANDLE to, uint16_t msgClass, const std::string& body) {
        std::vector<unsigned char> buffer(HUL_MFW_HEADER_SIZE + body.size());
        memcpy(buffer.data() + HUL_MFW_HEADER_SIZE, body.data(), body.size());
        return HulMfwSendMessage(to, msgClass, 0, buffer.data(), static_cast<uint32_t>(body.size()));
    }
    // Where a participant receives, by the directory's naming convention.
    std::string socketPath(HUL_PROCESS_HANDLE h) const {
        char name[16];
        snprintf(name, sizeof name, "p%08x", h);
        return sandbox_.dir().file(name);
    }

    testsupport::PlatformSandbox sandbox_;
};

// The gateway link tells a restarted gateway by its new handle.
TEST_F(Mfw, OwnHandleExistsOnlyWhileJoinedAndEachJoinGetsANewOne) {
    HUL_PROCESS_HANDLE h = 0;
    unsigned char buffer[HUL_MFW_HEADER_SIZE + 8] = {};
    EXPECT_EQ(HulMfwGetProcessHandle(nullptr, &h), HUL_ERR_NOT_JOINED);
    EXPECT_EQ(HulMfwSendMessage(1, 4, 0, buffer, 8), HUL_ERR_NOT_JOINED);
    EXPECT_EQ(HulMfwProcessNextMessage(0), HUL_ERR_NOT_JOINED);
    const HUL_PROCESS_HANDLE first = join("alpha");
    EXPECT_NE(first, 0u);
    ASSERT_EQ(HulMfwGetProcessHandle("alpha", &h), 0u);
    EXPECT_EQ(h, first);
    EXPECT_EQ(HulMfwGetProcessHandle("nobody", &h), HUL_ERR_NO_PROCESS);
    EXPECT_EQ(HulMfwSendMessage(0, 4, 0, buffer, 8), HUL_ERR_NO_PROCESS);
    EXPECT_EQ(HulMfwProcessNextMessage(30), HUL_ERR_TIMEOUT);

    ASSERT_EQ(HulMfwCleanup(), 0u);
    EXPECT_EQ(HulMfwGetProcessHandle(nullptr, &h), HUL_ERR_NOT_JOINED);
    EXPECT_EQ(HulMfwGetProcessHandle("alpha", &h), HUL_ERR_NO_PROCESS);
    const HUL_PROCESS_HANDLE second = join("alpha");
    EXPECT_NE(second, first);
    EXPECT_EQ(send(first, 4, "x"), HUL_ERR_NO_PROCESS);  // the old incarnation is gone
}

TEST_F(Mfw, NameComesFromTheEnvironmentElseTheProgram) {
    HUL_PROCESS_HANDLE self = 0, h = 0;
    setenv("HUL_MFW_NAME", "configured", 1);
    ASSERT_EQ(HulMfwInitialize(), 0u);
    unsetenv("HUL_MFW_NAME");
    EXPECT_EQ(HulMfwInitialize(), HUL_ERR_ALREADY_JOINED);
    ASSERT_EQ(HulMfwGetProcessHandle(nullptr, &self), 0u);
    ASSERT_EQ(HulMfwGetProcessHandle("configured", &h), 0u);
    EXPECT_EQ(h, self);
    ASSERT_EQ(HulMfwCleanup(), 0u);

    ASSERT_EQ(HulMfwInitialize(), 0u);
    ASSERT_EQ(HulMfwGetProcessHandle(nullptr, &self), 0u);
    ASSERT_EQ(HulMfwGetProcessHandle(program_invocation_short_name, &h), 0u);
    EXPECT_EQ(h, self);
}

// Each class goes to its latest callback with the sender and the body length; a class without
// one is dropped. Bodies up to the largest arrive whole; a larger one is refused, not cut.
TEST_F(Mfw, DispatchesEachClassToItsLatestCallbackWithSenderAndLength) {
    const HUL_PROCESS_HANDLE self = join();
    HulMfwRegisterCallback(4, callbackA);
    HulMfwRegisterCallback(0xFFFF, callbackA);
    HulMfwRegisterCallback(0xFFFF, callbackB);
    ASSERT_EQ(send(self, 4, pattern(100)), 0u);
    ASSERT_EQ(send(self, 0x7777, "nobody listens"), 0u);
    ASSERT_EQ(send(self, 0xFFFF, ""), 0u);
    ASSERT_EQ(send(self, 4, pattern(HUL_MFW_MAX_BODY)), 0u);
    EXPECT_EQ(send(self, 4, pattern(HUL_MFW_MAX_BODY + 1)), HUL_ERR_INVALID_ARG);
    for (int i = 0; i < 4; ++i) ASSERT_EQ(HulMfwProcessNextMessage(5000), 0u);
    EXPECT_EQ(HulMfwProcessNextMessage(100), HUL_ERR_TIMEOUT);

    ASSERT_EQ(deliveries.size(), 3u);
    EXPECT_EQ(deliveries[0].via, 1);
    EXPECT_EQ(deliveries[0].msgClass, 4);
    EXPECT_EQ(deliveries[0].body, pattern(100));
    EXPECT_EQ(deliveries[0].sender, self);
    EXPECT_EQ(deliveries[0].headerSender, self);
    EXPECT_EQ(deliveries[1].via, 2);
    EXPECT_EQ(deliveries[1].msgClass, 0xFFFF);
    EXPECT_EQ(deliveries[1].body, "");
    EXPECT_EQ(deliveries[2].body, pattern(HUL_MFW_MAX_BODY));
}

// The message being handled must stay intact while its callback sends and
// processes further messages on the same thread.
void nestedOuter(uint16_t c, uint32_t l, void* m, uint32_t s) {
    HUL_PROCESS_HANDLE self = 0;
    HulMfwGetProcessHandle(nullptr, &self);
    std::string reply(HUL_MFW_HEADER_SIZE + 3, 'r');
    EXPECT_EQ(HulMfwSendMessage(self, 11, 0, &reply[0], 3), 0u);
    EXPECT_EQ(HulMfwProcessNextMessage(5000), 0u);
    record(1, c, l, m, s);
}

TEST_F(Mfw, CallbacksMaySendAndProcessMessages) {
    const HUL_PROCESS_HANDLE self = join();
    HulMfwRegisterCallback(10, nestedOuter);
    HulMfwRegisterCallback(11, callbackB);
    ASSERT_EQ(send(self, 10, "outer message"), 0u);
    ASSERT_EQ(HulMfwProcessNextMessage(5000), 0u);
    ASSERT_EQ(deliveries.size(), 2u);
    EXPECT_EQ(deliveries[0].body, "rrr");
    EXPECT_EQ(deliveries[1].body, "outer message");
    EXPECT_EQ(deliveries[1].msgClass, 10);
}

// A genuine message, captured and replayed: delivered when this user sends
// it, dropped when another user does.
TEST_F(Mfw, DropsDatagramsOfAnotherUser) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to send as another user";
    const HUL_PROCESS_HANDLE self = join();
    HulMfwRegisterCallback(4, callbackA);
    auto address = [](const std::string& path) {
        sockaddr_un at{};
        at.sun_family = AF_UNIX;
        snprintf(at.sun_path, sizeof at.sun_path, "%s", path.c_str());
        return at;
    };
    const int capture = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un at = address(socketPath(self ^ 0x00ff00ff));
    ASSERT_EQ(bind(capture, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
    ASSERT_EQ(send(self ^ 0x00ff00ff, 4, "replayed"), 0u);
    char datagram[256];
    const ssize_t size = recv(capture, datagram, sizeof datagram, 0);
    close(capture);
    ASSERT_GT(size, 0);

    auto replayAs = [&](uid_t uid) {
        const pid_t child = fork();
        if (child == 0) {
            if (uid != 0 && (setgid(uid) != 0 || setuid(uid) != 0)) _exit(2);
            const sockaddr_un to = address(socketPath(self));
            const int s = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
            _exit(sendto(s, datagram, size, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to) == size ? 0 : 1);
        }
        int status = 0;
        waitpid(child, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    ASSERT_EQ(replayAs(0), 0);
    ASSERT_EQ(HulMfwProcessNextMessage(5000), 0u);
    ASSERT_EQ(deliveries.size(), 1u);
    EXPECT_EQ(deliveries[0].body, "replayed");

    // Let the other user reach the socket at all; the check must be ours.
    ASSERT_EQ(chmod(sandbox_.dir().path().c_str(), 0711), 0);
    ASSERT_EQ(chmod(socketPath(self).c_str(), 0777), 0);
    ASSERT_EQ(replayAs(65534), 0);
    EXPECT_EQ(HulMfwProcessNextMessage(300), HUL_ERR_TIMEOUT);
    EXPECT_EQ(deliveries.size(), 1u);
}

// Whoever may write to the directory may remove or replace the participants'
// sockets and names: such a directory, or a symbolic link, is refused; one
// that others may only read is not, and a missing one is made private.
TEST_F(Mfw, RefusesADirectoryThatOthersMayWriteAndMakesAMissingOnePrivate) {
    const std::string dir = sandbox_.dir().path();
    HUL_PROCESS_HANDLE h = 0;
    for (mode_t mode : {0770, 0702, 01777}) {
        ASSERT_EQ(chmod(dir.c_str(), mode), 0);
        EXPECT_EQ(HulMfwInitializeAs("careful"), HUL_ERR_UNSAFE_DIR) << std::oct << mode;
        EXPECT_EQ(HulMfwGetProcessHandle("careful", &h), HUL_ERR_UNSAFE_DIR) << std::oct << mode;
    }
    ASSERT_EQ(chmod(dir.c_str(), 0755), 0);
    if (geteuid() == 0) {
        ASSERT_EQ(chown(dir.c_str(), 65534, 65534), 0);
        EXPECT_EQ(HulMfwInitializeAs("careful"), HUL_ERR_UNSAFE_DIR) << "another user's directory";
        ASSERT_EQ(chown(dir.c_str(), getuid(), getgid()), 0);
    }
    ASSERT_EQ(symlink(dir.c_str(), sandbox_.dir().file("link").c_str()), 0);
    setenv("HUL_MFW_DIR", sandbox_.dir().file("link").c_str(), 1);
    EXPECT_EQ(HulMfwInitializeAs("careful"), HUL_ERR_UNSAFE_DIR);

    setenv("HUL_MFW_DIR", sandbox_.dir().file("made").c_str(), 1);
    EXPECT_NE(join("careful"), 0u);
    struct stat st;
    ASSERT_EQ(stat(sandbox_.dir().file("made").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

}  // namespace
