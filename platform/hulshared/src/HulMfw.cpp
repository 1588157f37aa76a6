// The message framework over Unix-domain datagram sockets: one bound socket
// per participant process, found through the Rendezvous directory.
//
// Datagrams keep message boundaries, arrive in order from one sender, and are
// delivered whole or not at all. The kernel bounds each receiver's queue
// (net.unix.max_dgram_qlen); a sender to a full queue blocks for at most the
// socket's send time-out and then fails, which is exactly the bounded wait
// the framework promises.
//
// A bound socket whose file is removed stays open but can no longer be sent
// to. A receiver therefore checks that its socket file and name are still in
// place, shortly after the directory reports one of them removed, and once a
// check period anyway; if the file is gone it binds a fresh socket under the
// same handle, which replaces the participant (see Framework::keepReachable).

// Export.hpp first: it must be the first to declare the entry points.
#include "Export.hpp"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
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

using Clock = std::chrono::steady_clock;

constexpr std::chrono::milliseconds kCheckPeriod{HUL_MFW_CHECK_PERIOD_MS};
// From a removal in the directory to the check: a removal of the whole
// directory (rm -r) is over by then, and is not mistaken for one of a file.
constexpr std::chrono::milliseconds kSettle{20};

// A steady-clock time as nanoseconds, to keep in an atomic.
int64_t ticks(Clock::time_point t) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
}

// One joined incarnation of this process, or its socket after one was bound
// again under the same handle. Shared by every call that uses the socket, so
// that HulMfwCleanup never closes a descriptor another thread is still
// blocked on: it shuts the socket down, which wakes those threads, and the
// last of them closes it.
struct Participant {
    std::unique_ptr<Rendezvous> rendezvous;
    std::string name;
    UniqueFd socket;
    uint32_t handle = 0;
    uid_t uid = 0;  // datagrams from other users are dropped
    FileId socketFile;  // the file bound for socket, to notice it disappear
    UniqueFd watch;     // removals in the directory (Rendezvous::watch); may be invalid
    std::string socketFileName, claimFileName;
    std::atomic<bool> left{false};
    // A successor holds the handle now; receivers take what is still queued
    // here, then move on to it.
    std::atomic<bool> replaced{false};
    std::atomic<int64_t> nextCheck{0};  // ticks() of the next presence check

    // True for the one caller that is to check the participant's files now.
    bool checkDue(Clock::time_point now) {
        int64_t due = nextCheck.load();
        return ticks(now) >= due && nextCheck.compare_exchange_strong(due, ticks(now + kCheckPeriod));
    }
    // Brings the next check forward to t.
    void checkBy(Clock::time_point t) {
        int64_t due = nextCheck.load();
        while (ticks(t) < due && !nextCheck.compare_exchange_weak(due, ticks(t))) {
        }
    }
    // Once the socket is bound: what the checks need.
    void watchFiles() {
        watch = rendezvous->watch();
        socketFileName = Rendezvous::socketFileName(handle);
        claimFileName = Rendezvous::claimFileName(name);
    }
    // Takes what the watch reported; true when the directory itself, or one
    // of our files in it, was removed or moved.
    bool watchReportsLoss() {
        alignas(inotify_event) char events[4096];
        bool loss = false;
        ssize_t n;
        while ((n = read(watch.get(), events, sizeof events)) > 0) {
            for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= n;) {
                const auto* e = reinterpret_cast<const inotify_event*>(events + at);
                if ((e->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED | IN_Q_OVERFLOW)) ||
                    (e->len && (socketFileName == e->name || claimFileName == e->name)))
                    loss = true;
                at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
            }
        }
        return loss;
    }
};

// One line on stderr: the stand-in's way of saying what it could not do, or
// had to repair, where the process that uses it has no way to learn it.
void report(const char* format, ...) __attribute__((format(printf, 1, 2)));
void report(const char* format, ...) {
    char line[512];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof line, format, args);
    va_end(args);
    fprintf(stderr, "libHulShared: %s\n", line);
}

// A datagram socket for a participant, not bound yet.
HUL_RESULT openSocket(UniqueFd* out) {
    UniqueFd s(socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!s.valid()) return HUL_ERR_SYSTEM;
    // Credentials on every datagram, so that those of other users can be
    // dropped; set before the socket has an address anyone can send to.
    const int on = 1;
    timeval sendTimeout{HUL_MFW_SEND_TIMEOUT_MS / 1000, (HUL_MFW_SEND_TIMEOUT_MS % 1000) * 1000};
    if (setsockopt(s.get(), SOL_SOCKET, SO_PASSCRED, &on, sizeof on) < 0 ||
        setsockopt(s.get(), SOL_SOCKET, SO_SNDTIMEO, &sendTimeout, sizeof sendTimeout) < 0)
        return HUL_ERR_SYSTEM;
    setsockopt(s.get(), SOL_SOCKET, SO_SNDBUF, &kSendBufferBytes, sizeof kSendBufferBytes);
    *out = std::move(s);
    return 0;
}

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

    // Called by a receiver when p's check is due: restores what is missing of
    // p's socket file and name, and returns the participant to receive on
    // (a successor of p when its socket was bound again). Never throws.
    std::shared_ptr<Participant> keepReachable(const std::shared_ptr<Participant>& p);

private:
    Framework() = default;
    std::shared_ptr<Participant> restore(const std::shared_ptr<Participant>& p, bool socketFile);  // needs membership_
    void trouble(const Participant& p, const std::string& what);                                    // needs membership_

    std::mutex membership_;  // serialises join, leave and repairs, which wait for the directory lock
    std::mutex mutex_;       // guards participant_
    std::shared_ptr<Participant> participant_;
    CallbackTable callbacks_;
    std::string trouble_;  // guarded by membership_: what was last reported as beyond repair
    // Guarded by membership_: when the directory was first found gone (or
    // emptied, its lock file with the rest), if it still is.
    bool dirGone_ = false;
    Clock::time_point dirGoneSince_;
    // Set by an exit handler: a process on its way out repairs nothing, so
    // that a directory its exit handlers remove is not made again.
    std::atomic<bool> exiting_{false};
};

HUL_RESULT Framework::join(const char* name) {
    if (!validName(name)) return HUL_ERR_INVALID_ARG;
    std::lock_guard<std::mutex> serial(membership_);
    if (participant()) return HUL_ERR_ALREADY_JOINED;

    auto p = std::make_shared<Participant>();
    p->name = name;
    p->uid = getuid();
    std::string why;
    HUL_RESULT rc = Rendezvous::open(true, &p->rendezvous, &why);
    // Said once, not at every attempt of a caller that tries again.
    if (rc == HUL_ERR_UNSAFE_DIR && why != trouble_) {
        trouble_ = why;
        report("%s cannot join the message framework: %s; set HUL_MFW_DIR to a directory of your own "
               "that only you may write",
               name, why.c_str());
    }
    if (rc != 0) return rc == HUL_ERR_NO_PROCESS ? HUL_ERR_SYSTEM : rc;
    if ((rc = openSocket(&p->socket)) != 0) return rc;
    rc = p->rendezvous->join(p->name, p->socket.get(), &p->handle, &p->socketFile);
    if (rc != 0) return rc;
    p->watchFiles();
    p->nextCheck.store(ticks(Clock::now() + kCheckPeriod));
    trouble_.clear();
    dirGone_ = false;
    // Registered at the first join, after whatever the program set up to
    // remove at exit (a scratch directory), so that it runs before that.
    static const bool atExit = atexit([] { Framework::instance().exiting_.store(true); }) == 0;
    (void)atExit;
    std::lock_guard<std::mutex> lock(mutex_);
    participant_ = std::move(p);
    return 0;
}

std::shared_ptr<Participant> Framework::keepReachable(const std::shared_ptr<Participant>& p) {
    try {
        const Rendezvous::Presence presence = p->rendezvous->check(p->name, p->handle, p->socketFile);
        if ((presence.socketFile && presence.name) || exiting_.load()) return p;
        std::lock_guard<std::mutex> serial(membership_);
        // A cleanup or another receiver may have come first.
        if (p->left.load() || p->replaced.load()) return p;
        return restore(p, presence.socketFile);
    } catch (const std::exception&) {
        return p;  // out of memory: the next check tries again
    }
}

std::shared_ptr<Participant> Framework::restore(const std::shared_ptr<Participant>& p, bool socketFile) {
    std::shared_ptr<Participant> current = p;
    char handleText[16];
    snprintf(handleText, sizeof handleText, "%08x", p->handle);
    if (!socketFile) {
        // A directory removed, or emptied, is more often removed on purpose,
        // just before the processes in it end, than by accident: it is made
        // again only at a later check, once it has stayed so for half a
        // period or more.
        if (!p->rendezvous->standing()) {
            const Clock::time_point now = Clock::now();
            if (!dirGone_) {
                dirGone_ = true;
                dirGoneSince_ = now;
            }
            if (now - dirGoneSince_ < kCheckPeriod / 2) return p;
        }
        dirGone_ = false;
        // Bound afresh under the same handle, so that peers and the process
        // itself, which remember the handle, reach it again unchanged.
        auto next = std::make_shared<Participant>();
        next->name = p->name;
        next->handle = p->handle;
        next->uid = p->uid;
        std::string why;
        HUL_RESULT rc = p->rendezvous->reopen(&next->rendezvous, &why);
        if (rc == 0) rc = openSocket(&next->socket);
        if (rc == 0) rc = next->rendezvous->rebind(next->socket.get(), next->handle, &next->socketFile);
        if (rc != 0) {
            if (why.empty())
                why = rc == HUL_ERR_NAME_IN_USE ? "another live participant is bound at that handle"
                                                : std::string("error ") + strerror(errno);
            trouble(*p, "its socket file is gone and it cannot bind it again: " + why);
            return p;
        }
        next->watchFiles();
        next->nextCheck.store(p->nextCheck.load());
        {
            std::lock_guard<std::mutex> lock(mutex_);
            participant_ = next;
        }
        // Receivers still waiting on the old socket wake up, take what it
        // still holds (sent before its file went) and move on.
        p->replaced.store(true);
        shutdown(p->socket.get(), SHUT_RD);
        report("%s (handle %s): its socket file was gone; bound again in %s", p->name.c_str(), handleText,
               next->rendezvous->path().c_str());
        current = std::move(next);
    }
    uint32_t holder = 0;
    const HUL_RESULT rc = current->rendezvous->reclaim(current->name, current->handle, &holder);
    if (rc == HUL_ERR_NAME_IN_USE) {
        char text[96];
        snprintf(text, sizeof text, "its name is held by the live participant %08x; it is reachable by handle only",
                 holder);
        trouble(*current, text);
    } else if (rc != 0) {
        trouble(*current, std::string("it cannot claim its name again: ") + strerror(errno));
    } else {
        if (socketFile) report("%s (handle %s): its name was gone; claimed again", current->name.c_str(), handleText);
        trouble_.clear();
    }
    return current;
}

void Framework::trouble(const Participant& p, const std::string& what) {
    if (what == trouble_) return;  // said once, and retried at every check
    trouble_ = what;
    report("%s (handle %08x): %s", p.name.c_str(), p.handle, what.c_str());
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

// Takes one datagram from p's socket without waiting. Its size, with
// *deliver telling whether it is a message to dispatch (h filled in); or -1
// with errno.
ssize_t receiveOne(const Participant& p, unsigned char* buffer, Header* h, bool* deliver) {
    iovec iov{buffer, kMaxDatagram};
    alignas(cmsghdr) unsigned char control[kControlBytes];
    msghdr msg{};
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    const ssize_t n = recvmsg(p.socket.get(), &msg, MSG_DONTWAIT | MSG_CMSG_CLOEXEC);
    if (n < 0) return n;
    const bool sameUser = checkControl(msg, p.uid);
    *deliver = sameUser && !(msg.msg_flags & (MSG_TRUNC | MSG_CTRUNC)) && readHeader(buffer, static_cast<size_t>(n), h);
    return n;
}

HUL_RESULT processNext(int32_t timeoutMs) {
    if (timeoutMs < HUL_MFW_WAIT_FOREVER) return HUL_ERR_INVALID_ARG;
    Framework& framework = Framework::instance();
    std::shared_ptr<Participant> p = framework.participant();
    if (!p) return HUL_ERR_NOT_JOINED;
    const bool forever = timeoutMs == HUL_MFW_WAIT_FOREVER;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(forever ? 0 : timeoutMs);

    // On the stack: a callback that processes messages itself gets a buffer
    // of its own, and no thread_local is left for exit to destroy under a
    // task. Tasks run on stacks far larger than this.
    alignas(16) unsigned char buffer[kMaxDatagram];
    for (;;) {
        if (p->left.load()) return HUL_ERR_NOT_JOINED;
        const Clock::time_point now = Clock::now();
        if (!p->replaced.load() && p->checkDue(now)) p = framework.keepReachable(p);

        // Receiving first and polling only when nothing is there costs one
        // system call per message while they keep coming.
        Header h;
        bool deliver = false;
        const ssize_t n = receiveOne(*p, buffer, &h, &deliver);
        if (n > 0 && deliver) {
            // No lock is held here: callbacks send messages, and may process them.
            if (HUL_MFW_CALLBACK callback = framework.callbacks().get(h.msgClass))
                callback(h.msgClass, h.length, buffer, h.sender);
            return 0;
        }
        if (n > 0) continue;  // not ours to deliver
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return p->left.load() ? HUL_ERR_NOT_JOINED : HUL_ERR_SYSTEM;
        if (p->replaced.load()) {
            // The replaced socket is empty (an empty datagram is never a
            // message, and may be how a shut-down socket reads): go on with
            // its successor.
            p = framework.participant();
            if (!p) return HUL_ERR_NOT_JOINED;
            continue;
        }
        if (n == 0) continue;  // an empty datagram; a shut-down socket is seen as such at the top

        // Nothing queued: wait for the socket or the directory's watch, until
        // the deadline or the next check.
        auto wait = std::chrono::nanoseconds(p->nextCheck.load() - ticks(now));
        if (!forever) {
            if (now >= deadline) return HUL_ERR_TIMEOUT;
            wait = std::min<std::chrono::nanoseconds>(wait, deadline - now);
        }
        const auto waitMs = std::chrono::ceil<std::chrono::milliseconds>(wait).count();
        pollfd pfd[2] = {{p->socket.get(), POLLIN, 0}, {p->watch.get(), POLLIN, 0}};
        const nfds_t count = p->watch.valid() ? 2 : 1;
        if (poll(pfd, count, waitMs > 0 ? static_cast<int>(waitMs) : 0) < 0 && errno != EINTR) return HUL_ERR_SYSTEM;
        if (count == 2 && (pfd[1].revents & POLLIN) && p->watchReportsLoss()) p->checkBy(Clock::now() + kSettle);
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
