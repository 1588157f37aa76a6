// The directory where the participants of one user meet.
//
// Each participant binds a datagram socket at "p<handle>" (eight hex digits).
// A claimed name is a symbolic link "n.<name>" whose target is the holder's
// socket file, replaced atomically (rename) on takeover. The file "lock"
// serialises joining and leaving between processes (flock, released by the
// kernel when a holder dies) and stores the last handle given out.
//
// A process that dies without leaving keeps its files, but nobody is bound to
// its socket any more, so connect() to it is refused: that, not the presence
// of a file, is what tells the living from the dead.
//
// Anyone who may write to the directory may remove or replace a participant's
// files, so only a directory that no other user can write is used.
//
// A Rendezvous is immutable once opened and may be used from any thread.
#pragma once

#include <stdint.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <sys/un.h>

#include <memory>
#include <string>

#include "HulMfw.h"
#include "UniqueFd.hpp"

namespace hul::mfw {

// Which file a path named when it was looked at.
struct FileId {
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const FileId& o) const { return device == o.device && inode == o.inode; }
};

class Rendezvous {
public:
    // Opens the directory named by HUL_MFW_DIR, else /tmp/hulmfw-<uid>. With
    // create, a missing directory is made with mode 0700. The directory must
    // belong to the caller's user and no other user may write to it (the
    // default one must be private altogether): else HUL_ERR_UNSAFE_DIR, with
    // the reason in *why when given.
    static HUL_RESULT open(bool create, std::unique_ptr<Rendezvous>* out, std::string* why = nullptr);

    // Opens this one's directory again, by its path, made again if missing,
    // under the same rules.
    HUL_RESULT reopen(std::unique_ptr<Rendezvous>* out, std::string* why) const;

    const std::string& path() const { return path_; }

    struct Address {
        sockaddr_un addr;
        socklen_t length;
    };
    // Where the participant with this handle receives.
    Address address(uint32_t handle) const;

    // The handle of the live participant holding name. Waits a little for a
    // socket file missing under the claim (one that is being bound again).
    HUL_RESULT resolve(const std::string& name, uint32_t* handle) const;

    // Binds socket (an unbound AF_UNIX datagram socket) under a handle never
    // given out in this directory before and claims name for it. Stale files
    // of dead participants are removed on the way. *socketFile: the socket
    // file that was made.
    HUL_RESULT join(const std::string& name, int socket, uint32_t* handle, FileId* socketFile) const;

    // What became of a joined participant's files since they were made.
    struct Presence {
        bool socketFile = false;  // the directory is still at its path and holds our socket file
        bool name = false;        // the name still names our handle
    };
    Presence check(const std::string& name, uint32_t handle, const FileId& socketFile) const;

    // True while a directory stands at this one's path with its lock file in
    // it: one that is gone, or whose files are all being removed, is not.
    bool standing() const;

    // An inotify descriptor (non-blocking) that reports files removed from or
    // moved out of the directory, and the directory itself removed or moved;
    // invalid when the system gives none.
    UniqueFd watch() const;

    // The file names of a participant's socket and of its name's claim.
    static std::string socketFileName(uint32_t handle);
    static std::string claimFileName(const std::string& name);

    // Binds socket again at handle's address, whose socket file disappeared
    // (a file of a dead participant in the way is removed).
    // HUL_ERR_NAME_IN_USE when a live participant is bound there.
    HUL_RESULT rebind(int socket, uint32_t handle, FileId* socketFile) const;

    // Claims name for handle again unless a live participant holds it
    // (HUL_ERR_NAME_IN_USE, *holder set).
    HUL_RESULT reclaim(const std::string& name, uint32_t handle, uint32_t* holder) const;

    // Releases name if handle still holds it and removes handle's socket file.
    void leave(const std::string& name, uint32_t handle) const;

private:
    Rendezvous() = default;
    static HUL_RESULT openAt(const std::string& path, bool isDefault, bool create, std::unique_ptr<Rendezvous>* out,
                             std::string* why);
    // *fileMissing, when not alive: no socket file at all, rather than one
    // nobody is bound to.
    bool isAlive(uint32_t handle, bool* fileMissing = nullptr) const;
    bool readName(const std::string& name, uint32_t* handle) const;
    void removeStaleFiles() const;
    bool socketFileId(uint32_t handle, FileId* id) const;
    HUL_RESULT claim(const std::string& name, uint32_t handle) const;  // needs the directory lock

    std::string path_;
    bool isDefault_ = false;   // /tmp/hulmfw-<uid>, which must be private
    UniqueFd dir_;             // O_PATH descriptor of the directory
    FileId dirId_;             // the directory dir_ opened
    std::string socketPrefix_; // path_ + "/p", or a /proc/self/fd path when path_ is too long
};

// Names that fit the directory's file names: not empty, no '/', not too long.
bool validName(const char* name);

}  // namespace hul::mfw
