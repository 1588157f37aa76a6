#include "PasswordFile.hpp"

#include <crypt.h>
#include <fcntl.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <vector>

namespace cimhost {

namespace {

// Good credentials remembered at most; past that the memory starts afresh.
const size_t kRememberedMost = 4096;

std::string trimmed(const std::string& s) {
    const size_t first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

// crypt(3) of password with setting (a hash or a fresh setting); "" when it fails.
std::string cryptText(const std::string& password, const std::string& setting) {
    std::unique_ptr<crypt_data> data(new crypt_data);
    std::memset(data.get(), 0, sizeof *data);
    const char* out = crypt_rn(password.c_str(), setting.c_str(), data.get(), sizeof *data);
    std::string result = out && out[0] != '*' ? out : "";
    OPENSSL_cleanse(data.get(), sizeof *data);
    return result;
}

std::string newHash(const std::string& password) {
    char setting[CRYPT_GENSALT_OUTPUT_SIZE];
    if (!crypt_gensalt_rn(nullptr, 0, nullptr, 0, setting, sizeof setting))
        throw std::runtime_error(std::string("crypt_gensalt: ") + std::strerror(errno));
    const std::string hash = cryptText(password, setting);
    if (hash.empty()) throw std::runtime_error(std::string("crypt: ") + std::strerror(errno));
    return hash;
}

// "user:password" of the value of an Authorization header with Basic
// credentials; false when it holds none.
bool basicCredentials(const std::string& authorization, std::string& credentials) {
    const std::string scheme = "basic ";
    if (authorization.size() <= scheme.size() || strncasecmp(authorization.c_str(), scheme.c_str(), scheme.size()) != 0)
        return false;
    const std::string encoded = trimmed(authorization.substr(scheme.size()));
    if (encoded.empty() || encoded.size() % 4 != 0 || encoded.size() > 4096) return false;
    std::vector<unsigned char> out(encoded.size() / 4 * 3 + 1);
    const int n = EVP_DecodeBlock(out.data(), reinterpret_cast<const unsigned char*>(encoded.data()),
                                  static_cast<int>(encoded.size()));
    if (n < 0) return false;
    size_t size = static_cast<size_t>(n);
    // The decoder counts the padding as zero bytes.
    for (size_t i = encoded.size(); i > 0 && encoded[i - 1] == '=' && size > 0; --i) --size;
    credentials.assign(reinterpret_cast<const char*>(out.data()), size);
    OPENSSL_cleanse(out.data(), out.size());
    return credentials.find(':') != std::string::npos;
}

}  // namespace

std::string PasswordFile::badUserName(const std::string& user) {
    if (user.empty()) return "a user name cannot be empty";
    if (user.size() > 256) return "a user name has at most 256 bytes";
    if (user[0] == '#') return "a user name cannot start with '#'";
    for (unsigned char c : user) {
        if (c == ':') return "a user name cannot hold ':'";
        if (c <= ' ' || c == 0x7f) return "a user name cannot hold spaces or control characters";
    }
    return "";
}

PasswordFile::PasswordFile(const std::string& path) {
    std::ifstream in(path);
    if (!in) throw std::runtime_error("cannot read the password file " + path + ": " + std::strerror(errno));
    std::string line, firstHash;
    for (int number = 1; std::getline(in, line); ++number) {
        line = trimmed(line);
        if (line.empty() || line[0] == '#') continue;
        const std::string where = path + ":" + std::to_string(number) + ": ";
        const size_t colon = line.find(':');
        if (colon == std::string::npos) throw std::runtime_error(where + "not a user:hash line");
        const std::string user = line.substr(0, colon), hash = trimmed(line.substr(colon + 1));
        const std::string bad = badUserName(user);
        if (!bad.empty()) throw std::runtime_error(where + bad);
        if (crypt_checksalt(hash.c_str()) != CRYPT_SALT_OK)
            throw std::runtime_error(where + "the password of " + user +
                                     " is not a hash of a current crypt(3) method (set it with cimhost --add-user)");
        if (!hashes_.emplace(user, hash).second) throw std::runtime_error(where + user + " is named twice");
        if (firstHash.empty()) firstHash = hash;
    }
    if (in.bad()) throw std::runtime_error("cannot read the password file " + path + ": " + std::strerror(errno));

    // The stand-in for unknown users: the first user's method, cost and salt,
    // with a password nobody knows.
    unsigned char secret[32];
    if (RAND_bytes(secret, sizeof secret) != 1 || RAND_bytes(key_, sizeof key_) != 1)
        throw std::runtime_error("no random bytes for the password check");
    std::string unknown;
    for (unsigned char c : secret) unknown += static_cast<char>('a' + c % 26);
    dummyHash_ = firstHash.empty() ? newHash(unknown) : cryptText(unknown, firstHash);
    if (dummyHash_.empty()) throw std::runtime_error("crypt failed on the password file's first hash");
}

bool PasswordFile::remembered(const std::string& credentials, std::string& digest) const {
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    HMAC(EVP_sha256(), key_, sizeof key_, reinterpret_cast<const unsigned char*>(credentials.data()),
         credentials.size(), out, &size);
    digest.assign(reinterpret_cast<const char*>(out), size);
    std::lock_guard<std::mutex> lock(mutex_);
    return good_.count(digest) != 0;
}

bool PasswordFile::check(const std::string& authorization, std::string& user) const {
    std::string credentials;
    if (!basicCredentials(authorization, credentials)) return false;
    const size_t colon = credentials.find(':');
    user = credentials.substr(0, colon);
    std::string digest;
    if (remembered(credentials, digest)) {
        OPENSSL_cleanse(&credentials[0], credentials.size());
        return true;
    }
    // The same work for a user the file does not name as for one it does.
    const auto it = hashes_.find(user);
    const std::string& hash = it != hashes_.end() ? it->second : dummyHash_;
    const std::string computed = cryptText(credentials.substr(colon + 1), hash);
    OPENSSL_cleanse(&credentials[0], credentials.size());
    const bool same = computed.size() == hash.size() && CRYPTO_memcmp(computed.data(), hash.data(), hash.size()) == 0;
    if (!same || it == hashes_.end()) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    if (good_.size() >= kRememberedMost) good_.clear();
    good_.insert(digest);
    return true;
}

void PasswordFile::setPassword(const std::string& path, const std::string& user, const std::string& password) {
    const std::string bad = badUserName(user);
    if (!bad.empty()) throw std::runtime_error(bad);
    if (password.empty()) throw std::runtime_error("the password is empty");
    const std::string entry = user + ":" + newHash(password) + "\n";

    std::string text;
    bool replaced = false;
    std::ifstream in(path);
    if (!in && errno != ENOENT) throw std::runtime_error("cannot read " + path + ": " + std::strerror(errno));
    for (std::string line; std::getline(in, line);) {
        const std::string t = trimmed(line);
        if (!t.empty() && t[0] != '#' && t.substr(0, t.find(':')) == user) {
            if (!replaced) text += entry;
            replaced = true;
        } else {
            text += line + "\n";
        }
    }
    if (!replaced) text += entry;

    const std::string tmp = path + ".tmp" + std::to_string(getpid());
    const int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) throw std::runtime_error("cannot write " + tmp + ": " + std::strerror(errno));
    bool ok = fchmod(fd, 0600) == 0;
    for (size_t at = 0; ok && at < text.size();) {
        const ssize_t n = write(fd, text.data() + at, text.size() - at);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) at += static_cast<size_t>(n);
    }
    ok = ok && fsync(fd) == 0;
    const int err = errno;
    ok = close(fd) == 0 && ok;
    if (!ok || std::rename(tmp.c_str(), path.c_str()) != 0) {
        const std::string reason = std::strerror(ok ? errno : err);
        unlink(tmp.c_str());
        throw std::runtime_error("cannot write " + path + ": " + reason);
    }
}

}  // namespace cimhost
