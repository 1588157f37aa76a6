#include "HostLogger.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <stdexcept>

namespace cimhost {

HostLogger::HostLogger(const std::string& path, OpenWBEM::ELogLevel level, mode_t fileMode)
    : OpenWBEM::Logger(level), file_(stderr), own_(false) {
    if (path.empty()) return;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, fileMode);
    if (fd < 0) throw std::runtime_error("cannot open log file " + path + ": " + std::strerror(errno));
    // The umask may have taken bits from a new file, and a file from an
    // earlier run may have more: either way it ends with fileMode. Devices and
    // pipes (/dev/stderr, /dev/null) are left as they are.
    struct stat st;
    if (fstat(fd, &st) < 0 ||
        (S_ISREG(st.st_mode) && (st.st_mode & 07777) != fileMode && fchmod(fd, fileMode) < 0)) {
        const int error = errno;
        ::close(fd);
        throw std::runtime_error("cannot give log file " + path + " its mode: " + std::strerror(error));
    }
    file_ = fdopen(fd, "a");
    if (!file_) {
        const int error = errno;
        ::close(fd);
        throw std::runtime_error("cannot open log file " + path + ": " + std::strerror(error));
    }
    own_ = true;
}

HostLogger::~HostLogger() {
    if (own_) std::fclose(file_);
}

void HostLogger::doLogMessage(const OpenWBEM::String& message, const OpenWBEM::ELogLevel level) const {
    static const char* const kLevels[] = {"FATAL", "ERROR", "INFO", "DEBUG"};
    timeval now;
    gettimeofday(&now, nullptr);
    tm utc;
    gmtime_r(&now.tv_sec, &utc);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &utc);
    const int l = level >= 0 && level <= 3 ? level : 1;
    std::fprintf(file_, "%s.%03dZ %s %s\n", stamp, static_cast<int>(now.tv_usec / 1000), kLevels[l],
                 message.c_str());
    std::fflush(file_);
}

}  // namespace cimhost
