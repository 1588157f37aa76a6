// The host's log: an OpenWBEM Logger that writes one line per message, with
// the time and level, to stderr or to a file. Providers reach it through the
// environment; the host logs through it too. The Logger base serializes the
// writes, so any thread may log.
#pragma once

#include <OW_Logger.hpp>
#include <OW_ProviderEnvironmentIFC.hpp>

#include <sys/types.h>

#include <cstdio>
#include <string>

namespace cimhost {

class HostLogger : public OpenWBEM::Logger {
public:
    // Writes to stderr when path is empty; otherwise appends to the file, a
    // regular one with exactly mode fileMode (0600: only the user may read
    // the log; 0640: the group too), however it was made before. Throws
    // std::runtime_error when the file cannot be opened or given that mode.
    HostLogger(const std::string& path, OpenWBEM::ELogLevel level, mode_t fileMode = 0600);
    ~HostLogger();

protected:
    void doLogMessage(const OpenWBEM::String& message, const OpenWBEM::ELogLevel level) const;

private:
    FILE* file_;
    bool own_;
};

// What every provider call receives: the host's logger, no configuration items
// (each request gets the default the provider asks with), and the user name.
class HostEnvironment : public OpenWBEM::ProviderEnvironmentIFC {
public:
    explicit HostEnvironment(OpenWBEM::LoggerRef logger) : logger_(logger) {}
    OpenWBEM::LoggerRef getLogger() const { return logger_; }
    OpenWBEM::String getConfigItem(const OpenWBEM::String&, const OpenWBEM::String& def) const { return def; }
    OpenWBEM::String getUserName() const { return "cimhost"; }

private:
    OpenWBEM::LoggerRef logger_;
};

}  // namespace cimhost
