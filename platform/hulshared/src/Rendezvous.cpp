#include "Rendezvous.hpp"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include "HulMfwStandIn.h"

namespace hul::mfw {
namespace {

constexpr char kLockFile[] = "lock";
constexpr char kNamePrefix[] = "n.";
constexpr char kTempPrefix[] = "t.";
constexpr size_t kHandleDigits = 8;
// Handles tried before a join gives up; only stale or foreign files in the way
// of consecutive handles make a try fail.
constexpr int kBindAttempts = 64;
// How long, and how often, a lookup asks again for a socket file that is
// missing under a claimed name, in milliseconds.
constexpr int kRebindPatience = 250;
constexpr int kRebindPoll = 5;

// Holds the directory's lock file exclusively. flock rather than fcntl locks:
// they belong to the open file, so two threads of one process exclude each
// other too, and the kernel drops them when the holder dies.
class DirectoryLock {
public:
    explicit DirectoryLock(int dir) : fd_(openat(dir, kLockFile, O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600)) {
        if (!fd_.valid()) return;
        while (flock(fd_.get(), LOCK_EX) < 0) {
            if (errno != EINTR) {
                fd_.reset();
                return;
            }
        }
    }
    ~DirectoryLock() {
        if (fd_.valid()) flock(fd_.get(), LOCK_UN);
    }
    DirectoryLock(const DirectoryLock&) = delete;
    DirectoryLock& operator=(const DirectoryLock&) = delete;

    bool held() const { return fd_.valid(); }

    // The handle after the last one given out in this directory. A fresh
    // directory starts at a random value, so that a handle remembered from a
    // directory that was removed and made again is unlikely to name anyone.
    uint32_t nextHandle() const {
        uint32_t last = 0;
        if (pread(fd_.get(), &last, sizeof last, 0) != static_cast<ssize_t>(sizeof last)) {
            if (getrandom(&last, sizeof last, 0) != static_cast<ssize_t>(sizeof last))
                last = static_cast<uint32_t>(getpid()) * 2654435761u;
        }
        return last + 1;
    }
    void storeLastHandle(uint32_t handle) const {
        if (pwrite(fd_.get(), &handle, sizeof handle, 0) != static_cast<ssize_t>(sizeof handle)) {
            // A lost counter only costs uniqueness against earlier handles,
            // which bind() still guards against for live and stale sockets.
        }
    }

private:
    UniqueFd fd_;
};

void formatHandle(uint32_t handle, char* out) {
    static const char digits[] = "0123456789abcdef";
    for (size_t i = 0; i < kHandleDigits; ++i) out[i] = digits[(handle >> (28 - 4 * i)) & 0xF];
}

// Parses "p" + eight hex digits; false for anything else.
bool parseSocketFileName(const char* text, size_t length, uint32_t* handle) {
    if (length != kHandleDigits + 1 || text[0] != 'p') return false;
    uint32_t value = 0;
    for (size_t i = 1; i <= kHandleDigits; ++i) {
        const char c = text[i];
        uint32_t digit;
        if (c >= '0' && c <= '9') digit = static_cast<uint32_t>(c - '0');
        else if (c >= 'a' && c <= 'f') digit = static_cast<uint32_t>(c - 'a' + 10);
        else return false;
        value = value << 4 | digit;
    }
    *handle = value;
    return true;
}

bool startsWith(const char* text, const char* prefix) { return strncmp(text, prefix, strlen(prefix)) == 0; }

}  // namespace

std::string Rendezvous::socketFileName(uint32_t handle) {
    char text[kHandleDigits];
    formatHandle(handle, text);
    return "p" + std::string(text, kHandleDigits);
}

std::string Rendezvous::claimFileName(const std::string& name) { return kNamePrefix + name; }

bool validName(const char* name) {
    if (!name || !*name) return false;
    const size_t length = strnlen(name, HUL_MFW_MAX_NAME + 1);
    return length <= HUL_MFW_MAX_NAME && !memchr(name, '/', length);
}

HUL_RESULT Rendezvous::open(bool create, std::unique_ptr<Rendezvous>* out, std::string* why) {
    const char* configured = getenv("HUL_MFW_DIR");
    const bool isDefault = !configured || !*configured;
    return openAt(isDefault ? "/tmp/hulmfw-" + std::to_string(getuid()) : std::string(configured), isDefault, create,
                  out, why);
}

HUL_RESULT Rendezvous::reopen(std::unique_ptr<Rendezvous>* out, std::string* why) const {
    return openAt(path_, isDefault_, true, out, why);
}

HUL_RESULT Rendezvous::openAt(const std::string& path, bool isDefault, bool create, std::unique_ptr<Rendezvous>* out,
                              std::string* why) {
    std::unique_ptr<Rendezvous> r(new Rendezvous);
    r->path_ = path;
    r->isDefault_ = isDefault;
    if (create && mkdir(r->path_.c_str(), 0700) < 0 && errno != EEXIST) {
        if (why) *why = r->path_ + ": " + strerror(errno);
        return HUL_ERR_SYSTEM;
    }

    // O_NOFOLLOW: a symbolic link planted at the default path by someone else
    // must not redirect our sockets.
    r->dir_.reset(::open(r->path_.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW));
    if (!r->dir_.valid()) {
        if (errno == ENOENT) return HUL_ERR_NO_PROCESS;
        struct stat link;
        if (lstat(r->path_.c_str(), &link) < 0 || !S_ISLNK(link.st_mode)) return HUL_ERR_SYSTEM;
        if (why) *why = r->path_ + " is a symbolic link";
        return HUL_ERR_UNSAFE_DIR;
    }
    struct stat st;
    if (fstat(r->dir_.get(), &st) < 0) return HUL_ERR_SYSTEM;
    // Whoever may write here may remove or replace our sockets and names. A
    // sticky bit does not stop others from taking names that are free, or
    // from binding sockets at handles not given out yet.
    const char* problem = nullptr;
    if (st.st_uid != getuid()) problem = "belongs to another user";
    else if (st.st_mode & (S_IWGRP | S_IWOTH)) problem = "may be written by group or others";
    else if (isDefault && (st.st_mode & 077) != 0) problem = "is not private";
    if (problem) {
        if (why) {
            char details[64];
            snprintf(details, sizeof details, " (mode %04o, owner uid %u)", static_cast<unsigned>(st.st_mode & 07777),
                     static_cast<unsigned>(st.st_uid));
            *why = r->path_ + " " + problem + details;
        }
        return HUL_ERR_UNSAFE_DIR;
    }
    r->dirId_ = FileId{st.st_dev, st.st_ino};

    // sun_path holds 108 bytes. A deeper directory is reached through our
    // own descriptor of it, which the kernel resolves like the real path.
    r->socketPrefix_ = r->path_ + "/p";
    if (r->socketPrefix_.size() + kHandleDigits >= sizeof(sockaddr_un::sun_path))
        r->socketPrefix_ = "/proc/self/fd/" + std::to_string(r->dir_.get()) + "/p";
    *out = std::move(r);
    return 0;
}

Rendezvous::Address Rendezvous::address(uint32_t handle) const {
    Address a;
    memset(&a.addr, 0, sizeof a.addr);
    a.addr.sun_family = AF_UNIX;
    memcpy(a.addr.sun_path, socketPrefix_.data(), socketPrefix_.size());
    formatHandle(handle, a.addr.sun_path + socketPrefix_.size());
    a.length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + socketPrefix_.size() + kHandleDigits + 1);
    return a;
}

bool Rendezvous::isAlive(uint32_t handle, bool* fileMissing) const {
    // A fresh probe socket each time: connecting a participant's own socket
    // would make it accept datagrams from that peer only.
    UniqueFd probe(socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!probe.valid()) return false;
    const Address a = address(handle);
    if (connect(probe.get(), reinterpret_cast<const sockaddr*>(&a.addr), a.length) == 0) return true;
    if (fileMissing) *fileMissing = errno == ENOENT;
    return false;
}

bool Rendezvous::readName(const std::string& name, uint32_t* handle) const {
    char target[32];
    const ssize_t n = readlinkat(dir_.get(), (kNamePrefix + name).c_str(), target, sizeof target);
    return n > 0 && parseSocketFileName(target, static_cast<size_t>(n), handle);
}

HUL_RESULT Rendezvous::resolve(const std::string& name, uint32_t* handle) const {
    // A claim whose socket file is missing (a dead participant's file is
    // left behind, and refuses connections) most likely belongs to a live
    // participant whose file was removed and that is binding it again: asked
    // again for a while before it counts as gone.
    for (int attempt = 0;; ++attempt) {
        uint32_t h = 0;
        bool fileMissing = false;
        if (!readName(name, &h)) return HUL_ERR_NO_PROCESS;
        if (isAlive(h, &fileMissing)) {
            *handle = h;
            return 0;
        }
        if (!fileMissing || attempt == kRebindPatience / kRebindPoll) return HUL_ERR_NO_PROCESS;
        usleep(kRebindPoll * 1000);
    }
}

void Rendezvous::removeStaleFiles() const {
    UniqueFd listing(openat(dir_.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!listing.valid()) return;
    DIR* d = fdopendir(listing.get());
    if (!d) return;
    listing.release();  // owned by the stream now
    while (dirent* e = readdir(d)) {
        const char* n = e->d_name;
        uint32_t h = 0;
        bool stale = false;
        if (parseSocketFileName(n, strlen(n), &h)) {
            stale = !isAlive(h);
        } else if (startsWith(n, kNamePrefix)) {
            stale = !readName(n + strlen(kNamePrefix), &h) || !isAlive(h);
        } else if (startsWith(n, kTempPrefix)) {
            stale = true;  // a join that died between link and rename
        }
        if (stale) unlinkat(dirfd(d), n, 0);
    }
    closedir(d);
}

HUL_RESULT Rendezvous::join(const std::string& name, int socket, uint32_t* handle, FileId* socketFile) const {
    DirectoryLock lock(dir_.get());
    if (!lock.held()) return HUL_ERR_SYSTEM;

    uint32_t previous = 0;
    const bool hadHolder = readName(name, &previous);
    if (hadHolder && isAlive(previous)) return HUL_ERR_NAME_IN_USE;
    removeStaleFiles();

    uint32_t candidate = lock.nextHandle();
    bool bound = false;
    for (int attempt = 0; attempt < kBindAttempts && !bound; ++attempt, ++candidate) {
        if (candidate == 0 || (hadHolder && candidate == previous)) continue;
        const Address a = address(candidate);
        if (bind(socket, reinterpret_cast<const sockaddr*>(&a.addr), a.length) == 0) {
            bound = true;
            break;
        }
        if (errno != EADDRINUSE) return HUL_ERR_SYSTEM;
    }
    if (!bound) return HUL_ERR_SYSTEM;
    lock.storeLastHandle(candidate);

    if (!socketFileId(candidate, socketFile) || claim(name, candidate) != 0) {
        unlinkat(dir_.get(), socketFileName(candidate).c_str(), 0);
        return HUL_ERR_SYSTEM;
    }
    *handle = candidate;
    return 0;
}

HUL_RESULT Rendezvous::claim(const std::string& name, uint32_t handle) const {
    // Link under a temporary name, then rename over the claim: a reader sees
    // the old holder or the new one, never no name at all.
    const std::string temp = kTempPrefix + socketFileName(handle);
    const std::string claim = kNamePrefix + name;
    if (symlinkat(socketFileName(handle).c_str(), dir_.get(), temp.c_str()) < 0 ||
        renameat(dir_.get(), temp.c_str(), dir_.get(), claim.c_str()) < 0) {
        unlinkat(dir_.get(), temp.c_str(), 0);
        return HUL_ERR_SYSTEM;
    }
    return 0;
}

bool Rendezvous::socketFileId(uint32_t handle, FileId* id) const {
    struct stat st;
    if (fstatat(dir_.get(), socketFileName(handle).c_str(), &st, AT_SYMLINK_NOFOLLOW) < 0 || !S_ISSOCK(st.st_mode))
        return false;
    *id = FileId{st.st_dev, st.st_ino};
    return true;
}

Rendezvous::Presence Rendezvous::check(const std::string& name, uint32_t handle, const FileId& socketFile) const {
    Presence p;
    // A directory removed, or moved away, leaves our descriptor on one that
    // nobody finds any more.
    struct stat st;
    FileId now;
    p.socketFile = lstat(path_.c_str(), &st) == 0 && FileId{st.st_dev, st.st_ino} == dirId_ &&
                   socketFileId(handle, &now) && now == socketFile;
    uint32_t holder = 0;
    p.name = p.socketFile && readName(name, &holder) && holder == handle;
    return p;
}

bool Rendezvous::standing() const {
    struct stat st;
    return lstat(path_.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
           faccessat(AT_FDCWD, (path_ + "/" + kLockFile).c_str(), F_OK, AT_SYMLINK_NOFOLLOW) == 0;
}

UniqueFd Rendezvous::watch() const {
    UniqueFd fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    // Through our descriptor: the directory we opened, whatever is at the path now.
    const std::string self = "/proc/self/fd/" + std::to_string(dir_.get());
    if (fd.valid() && inotify_add_watch(fd.get(), self.c_str(),
                                        IN_DELETE | IN_MOVED_FROM | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR) < 0)
        fd.reset();
    return fd;
}

HUL_RESULT Rendezvous::rebind(int socket, uint32_t handle, FileId* socketFile) const {
    DirectoryLock lock(dir_.get());
    if (!lock.held()) return HUL_ERR_SYSTEM;
    const Address a = address(handle);
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (bind(socket, reinterpret_cast<const sockaddr*>(&a.addr), a.length) == 0)
            return socketFileId(handle, socketFile) ? 0 : HUL_ERR_SYSTEM;
        if (errno != EADDRINUSE) return HUL_ERR_SYSTEM;
        if (isAlive(handle)) return HUL_ERR_NAME_IN_USE;
        unlinkat(dir_.get(), socketFileName(handle).c_str(), 0);
    }
    return HUL_ERR_SYSTEM;
}

HUL_RESULT Rendezvous::reclaim(const std::string& name, uint32_t handle, uint32_t* holder) const {
    DirectoryLock lock(dir_.get());
    if (!lock.held()) return HUL_ERR_SYSTEM;
    uint32_t current = 0;
    if (readName(name, &current)) {
        if (current == handle) return 0;
        if (isAlive(current)) {
            *holder = current;
            return HUL_ERR_NAME_IN_USE;
        }
    }
    return claim(name, handle);
}

void Rendezvous::leave(const std::string& name, uint32_t handle) const {
    DirectoryLock lock(dir_.get());
    // Without the lock a newer holder's claim could be removed; leaving the
    // files behind is harmless, they read as stale.
    if (!lock.held()) return;
    uint32_t holder = 0;
    if (readName(name, &holder) && holder == handle) unlinkat(dir_.get(), (kNamePrefix + name).c_str(), 0);
    unlinkat(dir_.get(), socketFileName(handle).c_str(), 0);
}

}  // namespace hul::mfw
