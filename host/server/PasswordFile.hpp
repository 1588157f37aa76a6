// The users cimhost accepts: a password file of "user:hash" lines, the hashes
// made by crypt(3) (libxcrypt; yescrypt by default), checked against the
// credentials of HTTP Basic authentication. Blank lines and lines starting
// with '#' are ignored. The file is read once, when the host starts.
//
// A user the file does not name is checked against a stand-in hash of the
// same method and cost as the file's first user, so that an unknown user and
// a wrong password take the same time and get the same answer. Credentials
// once found good are remembered (as a keyed digest, never in clear) so that a
// client's next request does not pay for the hash again.
//
// check() is thread-safe.
#pragma once

#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>

namespace cimhost {

class PasswordFile {
public:
    // Reads path; throws std::runtime_error naming the file and line when it
    // cannot be read, a line is not "user:hash", or a hash is not one that
    // crypt(3) makes with a current method.
    explicit PasswordFile(const std::string& path);

    // An Authorization header's value: true, with user set, when it holds
    // Basic credentials of a user of the file with the right password.
    bool check(const std::string& authorization, std::string& user) const;

    size_t users() const { return hashes_.size(); }

    // Sets user's password in the file at path (created, mode 0600, when
    // missing), replacing the user's line or adding one; the other lines stay
    // as they are. The file is replaced in one step. Throws
    // std::runtime_error with the reason.
    static void setPassword(const std::string& path, const std::string& user, const std::string& password);

    // Why user cannot be a user name, or "" when it can.
    static std::string badUserName(const std::string& user);

private:
    bool remembered(const std::string& credentials, std::string& digest) const;

    std::unordered_map<std::string, std::string> hashes_;  // user -> hash
    std::string dummyHash_;
    unsigned char key_[32];  // for the digests of good credentials
    mutable std::mutex mutex_;
    mutable std::unordered_set<std::string> good_;  // digests of credentials found good
};

}  // namespace cimhost
