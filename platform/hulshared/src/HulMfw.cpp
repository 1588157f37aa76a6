// The message framework over Unix-domain datagram sockets: one bound socket
// per participant process, found through the Rendezvous directory.
//
// Datagrams keep message boundaries, arrive in order from one sender, and are
// delivered whole or not at all. The kernel bounds each receiver's queue
// (net.unix.max_dgram_qlen); a sender to a full queue blocks for at most the
// socket's send time-out and then fails, which is exactly the bounded wait
// the framework promises.

// Export.hpp first: it must be the first to declare the entry points.
#include "Export.hpp"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>

#include "MfwWire.hpp"
#include "Rendezvous.hpp"
#include "UniqueFd.hpp"

namespace hul::mfw {
namespace {

// Larger than the default so that a burst to several slow receivers does not
// exhaust the sender's own buffer before any receiver queue is full. The
// kernel caps it at net.core.wmem_max.
constexpr int kSendBufferBytes = 1 << 20;

// One joined incarnation of this process. Shared by every call that uses the
// socket, so that HulMfwCleanup never closes a descriptor another thread is
// still blocked on: it shuts the socket down, which wakes those threads, and
// the last of them closes it.
struct Participant {
    std::unique_ptr<Rendezvous> rendezvous;
    std::string name;
    UniqueFd socket;
    uint32_t handle = 0;
    uid_t uid = 0;  // datagrams from other users are dropped
    std::atomic<bool> left{false};
};

// Class -> callback without a lock on the dispatch path: 256 pages of 256
// slots, a page made on its first registration and kept for good.
class CallbackTable {
public:
    void set(uint16_t msgClass, HUL_MFW_CALLBACK callback) {
        std::atomic<Page*>& slot = pages_[msgClass >> 8];
        Page* page = slot.load(std::memory_order_acquire);
        if (!page) {
            std::lock_guard<std::mutex> lock(grow_);
            page = slot.load(std::memory_order_acquire);
            if (!page) {
                page = new Page();
                slot.store(page, std::memory_order_release);
            }
        }
        page->entries[msgClass & 0xFF].store(callback, std::memory_order_release);
    }
    HUL_MFW_CALLBACK get(uint16_t msgClass) const {
        const Page* page = pages_[msgClass >> 8].load(std::memory_order_acquire);
        return page ? page->entries[msgClass & 0xFF].load(std::memory_order_acquire) : nullptr;
    }

private:
    struct Page {
        std::atomic<HUL_MFW_CALLBACK> entries[256] = {};
    };
    std::atomic<Page*> pages_[256] = {};
    std::mutex grow_;
};

// The process-wide framework state. Created on first use and never destroyed
// (see instance()).
class Framework {
public:
    // Never destroyed: tasks of the process may still send or wait for
    // messages while it runs its exit handlers and static destructors, and a
    // destroyed mutex or table under them would be undefined behaviour. The
    // kernel closes the socket at exit; a name left behind reads as stale.
    static Framework& instance() {
        static Framework* const framework = new Framework;
        return *framework;
    }

    std::shared_ptr<Participant> participant() {
        std::lock_guard<std::mutex> lock(mutex_);
        return participant_;
    }

    HUL_RESULT join(const char* name);
    HUL_RESULT leave();
    CallbackTable& callbacks() { return callbacks_; }

private:
    Framework() = default;

    std::mutex membership_;  // serialises join and leave, which wait for the directory lock
    std::mutex mutex_;       // guards participant_
    std::shared_ptr<Participant> participant_;
    CallbackTable callbacks_;
};

HUL_RESULT Framework::join(const char* name) {
    if (!validName(name)) return HUL_ERR_INVALID_ARG;
    std::lock_guard<std::mutex> serial(membership_);
    if (participant()) return HUL_ERR_ALREADY_JOINED;

    auto p = std::make_shared<Participant>();
    p->name = name;
    p->uid = getuid();
    HUL_RESULT rc = Rendezvous::open(true, &p->rendezvous);
    if (rc != 0) return rc == HUL_ERR_NO_PROCESS ? HUL_ERR_SYSTEM : rc;

    p->socket.reset(socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!p->socket.valid()) return HUL_ERR_SYSTEM;
    const int fd = p->socket.get();
    // Credentials on every datagram, so that those of other users can be
    // dropped; set before the socket has an address anyone can send to.
    const int on = 1;
    timeval sendTimeout{HUL_MFW_SEND_TIMEOUT_MS / 1000, (HUL_MFW_SEND_TIMEOUT_MS % 1000) * 1000};
    if (setsockopt(fd, SOL_SOCKET, SO_PASSCRED, &on, sizeof on) < 0 ||
        setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &sendTimeout, sizeof sendTimeout) < 0)
        return HUL_ERR_SYSTEM;
    setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &kSendBufferBytes, sizeof kSendBufferBytes);

    rc = p->rendezvous->join(p->name, fd, &p->handle);
    if (rc != 0) return rc;
    std::lock_guard<std::mutex> lock(mutex_);
    participant_ = std::move(p);
    return 0;
}

HUL_RESULT Framework::leave() {
    std::lock_guard<std::mutex> serial(membership_);
    std::shared_ptr<Participant> p;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        p = std::move(participant_);
    }
    if (!p) return HUL_ERR_NOT_JOINED;
    p->left.store(true);
    p->rendezvous->leave(p->name, p->handle);
    // Wakes every thread blocked in a receive on this socket; they see
    // `left` and return. The descriptor closes with the last reference.
    shutdown(p->socket.get(), SHUT_RDWR);
    return 0;
}

// The participant name when none is given: HUL_MFW_NAME, else the program's.
std::string defaultName() {
    const char* configured = getenv("HUL_MFW_NAME");
    if (configured && *configured) return configured;
    std::string name = program_invocation_short_name ? program_invocation_short_name : "";
    if (name.empty()) {
        char comm[32] = {};
        if (FILE* f = fopen("/proc/self/comm", "re")) {
            if (fgets(comm, sizeof comm, f)) comm[strcspn(comm, "\n")] = '\0';
            fclose(f);
        }
        name = comm;
    }
    if (name.size() > HUL_MFW_MAX_NAME) name.resize(HUL_MFW_MAX_NAME);
    return name;
}

// Room for the sender's credentials and for a few descriptors that a hostile
// sender might attach (they are closed at once).
constexpr size_t kControlBytes = CMSG_SPACE(sizeof(ucred)) + CMSG_SPACE(16 * sizeof(int));

// Closes descriptors passed along with a datagram and tells whether the
// sender belongs to our user. A datagram without credentials does not.
bool checkControl(msghdr& msg, uid_t ourUid) {
    bool sameUser = false;
    for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
        if (c->cmsg_level != SOL_SOCKET) continue;
        if (c->cmsg_type == SCM_CREDENTIALS && c->cmsg_len >= CMSG_LEN(sizeof(ucred))) {
            ucred cred;
            memcpy(&cred, CMSG_DATA(c), sizeof cred);
            sameUser = cred.uid == ourUid;
        } else if (c->cmsg_type == SCM_RIGHTS) {
            const size_t count = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
            for (size_t i = 0; i < count; ++i) {
                int fd;
                memcpy(&fd, CMSG_DATA(c) + i * sizeof(int), sizeof fd);
                close(fd);
            }
        }
    }
    return sameUser;
}

using Clock = std::chrono::steady_clock;

HUL_RESULT processNext(int32_t timeoutMs) {
    if (timeoutMs < HUL_MFW_WAIT_FOREVER) return HUL_ERR_INVALID_ARG;
    const std::shared_ptr<Participant> p = Framework::instance().participant();
    if (!p) return HUL_ERR_NOT_JOINED;
    const int fd = p->socket.get();
    const bool forever = timeoutMs == HUL_MFW_WAIT_FOREVER;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(forever ? 0 : timeoutMs);

    // On the stack: a callback that processes messages itself gets a buffer
    // of its own, and no thread_local is left for exit to destroy under a
    // task. Tasks run on stacks far larger than this.
    alignas(16) unsigned char buffer[kMaxDatagram];
    for (;;) {
        if (p->left.load()) return HUL_ERR_NOT_JOINED;
        if (!forever) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            pollfd pfd{fd, POLLIN, 0};
            const int ready = poll(&pfd, 1, left.count() > 0 ? static_cast<int>(left.count()) : 0);
            if (ready < 0 && errno != EINTR) return HUL_ERR_SYSTEM;
            if (ready == 0) return HUL_ERR_TIMEOUT;
            if (ready < 0) continue;
        }
        iovec iov{buffer, sizeof buffer};
        alignas(cmsghdr) unsigned char control[kControlBytes];
        msghdr msg{};
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        // Waiting in recvmsg itself rather than in poll spares a system call
        // per message on the loop task's path.
        const ssize_t n = recvmsg(fd, &msg, (forever ? 0 : MSG_DONTWAIT) | MSG_CMSG_CLOEXEC);
        if (n < 0) {
            // Another thread may have taken the datagram poll announced.
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
            return p->left.load() ? HUL_ERR_NOT_JOINED : HUL_ERR_SYSTEM;
        }
        const bool sameUser = checkControl(msg, p->uid);
        Header h;
        if (!sameUser || (msg.msg_flags & (MSG_TRUNC | MSG_CTRUNC)) ||
            !readHeader(buffer, static_cast<size_t>(n), &h))
            continue;  // not ours to deliver; a shut-down socket also reads 0 bytes here

        // No lock is held here: callbacks send messages, and may process them.
        if (HUL_MFW_CALLBACK callback = Framework::instance().callbacks().get(h.msgClass))
            callback(h.msgClass, h.length, buffer, h.sender);
        return 0;
    }
}

HUL_RESULT send(HUL_PROCESS_HANDLE destination, uint16_t msgClass, uint32_t flags, const void* buffer,
                uint32_t length) {
    if (!buffer || length > HUL_MFW_MAX_BODY || flags != 0) return HUL_ERR_INVALID_ARG;
    const std::shared_ptr<Participant> p = Framework::instance().participant();
    if (!p) return HUL_ERR_NOT_JOINED;
    if (destination == 0) return HUL_ERR_NO_PROCESS;

    // The header travels from our own memory: the caller's buffer is only read.
    Header h{kMagic, msgClass, kVersion, length, destination, 0, p->handle};
    iovec iov[2] = {{&h, sizeof h},
                    {const_cast<unsigned char*>(static_cast<const unsigned char*>(buffer)) + HUL_MFW_HEADER_SIZE,
                     length}};
    Rendezvous::Address to = p->rendezvous->address(destination);
    msghdr msg{};
    msg.msg_name = &to.addr;
    msg.msg_namelen = to.length;
    msg.msg_iov = iov;
    msg.msg_iovlen = length ? 2 : 1;
    for (;;) {
        if (sendmsg(p->socket.get(), &msg, MSG_NOSIGNAL) >= 0) return 0;
        switch (errno) {
            case EINTR: continue;
            case EAGAIN: return HUL_ERR_TIMEOUT;  // the receiver stayed full for the whole send time-out
            case ENOENT:
            case ECONNREFUSED:
            case ENOTSOCK: return HUL_ERR_NO_PROCESS;
            case EPIPE: return HUL_ERR_NOT_JOINED;  // our own socket was shut down by a cleanup
            default: return p->left.load() ? HUL_ERR_NOT_JOINED : HUL_ERR_SYSTEM;
        }
    }
}

HUL_RESULT processHandle(const char* name, HUL_PROCESS_HANDLE* handle) {
    if (!handle) return HUL_ERR_INVALID_ARG;
    const std::shared_ptr<Participant> p = Framework::instance().participant();
    if (!name) {
        if (!p) return HUL_ERR_NOT_JOINED;
        *handle = p->handle;
        return 0;
    }
    if (!validName(name)) return HUL_ERR_INVALID_ARG;
    if (p) return p->rendezvous->resolve(name, handle);
    // Not a participant: looking others up needs no membership.
    std::unique_ptr<Rendezvous> r;
    const HUL_RESULT rc = Rendezvous::open(false, &r);
    return rc != 0 ? rc : r->resolve(name, handle);
}

}  // namespace
}  // namespace hul::mfw

using hul::mfw::Framework;

extern "C" {

HUL_RESULT HulMfwInitialize(void) {
    try {
        return Framework::instance().join(hul::mfw::defaultName().c_str());
    } catch (const std::exception&) {
        return HUL_ERR_SYSTEM;
    }
}

HUL_RESULT HulMfwInitializeAs(const char* name) {
    try {
        return Framework::instance().join(name);
    } catch (const std::exception&) {
        return HUL_ERR_SYSTEM;
    }
}

HUL_RESULT HulMfwGetProcessHandle(const char* name, HUL_PROCESS_HANDLE* handle) {
    try {
        return hul::mfw::processHandle(name, handle);
    } catch (const std::exception&) {
        return HUL_ERR_SYSTEM;
    }
}

HUL_RESULT HulMfwRegisterCallback(uint16_t msgClass, HUL_MFW_CALLBACK callback) {
    if (!callback) return HUL_ERR_INVALID_ARG;
    try {
        Framework::instance().callbacks().set(msgClass, callback);
        return 0;
    } catch (const std::exception&) {
        return HUL_ERR_SYSTEM;
    }
}

// No try block here: a callback may end its task through pthread_exit, whose
// unwinding must pass through this frame untouched.
HUL_RESULT HulMfwProcessNextMessage(int32_t timeoutMs) { return hul::mfw::processNext(timeoutMs); }

HUL_RESULT HulMfwSendMessage(HUL_PROCESS_HANDLE destination, uint16_t msgClass, uint32_t flags, void* buffer,
                             uint32_t length) {
    try {
        return hul::mfw::send(destination, msgClass, flags, buffer, length);
    } catch (const std::exception&) {
        return HUL_ERR_SYSTEM;
    }
}

HUL_RESULT HulMfwCleanup(void) {
    try {
        return Framework::instance().leave();
    } catch (const std::exception&) {
        return HUL_ERR_SYSTEM;
    }
}

}  // extern "C"
