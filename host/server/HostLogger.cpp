#include "HostLogger.hpp"

#include <sys/time.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <stdexcept>

namespace cimhost {

HostLogger::HostLogger(const std::string& path, OpenWBEM::ELogLevel level)
    : OpenWBEM::Logger(level), file_(stderr), own_(false) {
    if (!path.empty()) {
        file_ = std::fopen(path.c_str(), "a");
        if (!file_) throw std::runtime_error("cannot open log file " + path + ": " + std::strerror(errno));
        own_ = true;
    }
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
