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
// A Rendezvous is immutable once opened and may be used from any thread.
#pragma once

#include <stdint.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <memory>
#include <string>

#include "HulMfw.h"
#include "UniqueFd.hpp"

namespace hul::mfw {

class Rendezvous {
public:
    // Opens the directory named by HUL_MFW_DIR, else /tmp/hulmfw-<uid>. With
    // create, a missing directory is made with mode 0700. The directory must
    // belong to the caller's user; the default one must also be private.
    static HUL_RESULT open(bool create, std::unique_ptr<Rendezvous>* out);

    struct Address {
        sockaddr_un addr;
        socklen_t length;
    };
    // Where the participant with this handle receives.
    Address address(uint32_t handle) const;

    // The handle of the live participant holding name.
    HUL_RESULT resolve(const std::string& name, uint32_t* handle) const;

    // Binds socket (an unbound AF_UNIX datagram socket) under a handle never
    // given out in this directory before and claims name for it. Stale files
    // of dead participants are removed on the way.
    HUL_RESULT join(const std::string& name, int socket, uint32_t* handle) const;

    // Releases name if handle still holds it and removes handle's socket file.
    void leave(const std::string& name, uint32_t handle) const;

private:
    Rendezvous() = default;
    bool isAlive(uint32_t handle) const;
    bool readName(const std::string& name, uint32_t* handle) const;
    void removeStaleFiles() const;

    std::string path_;
    UniqueFd dir_;             // O_PATH descriptor of the directory
    std::string socketPrefix_; // path_ + "/p", or a /proc/self/fd path when path_ is too long
};

// Names that fit the directory's file names: not empty, no '/', not too long.
bool validName(const char* name);

}  // namespace hul::mfw
