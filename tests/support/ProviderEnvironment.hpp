// The provider environment of a program that hosts the provider itself (a
// test, a benchmark, a fuzzer): default configuration values, a fixed user,
// and a logger that hands error-level messages to a sink, or drops them.
// Builds against the OpenWBEM stand-in and against a real OpenWBEM 3.1
// installation (ZEP_REAL_OPENWBEM), whose logger and environment interfaces
// are wider.
#pragma once

#include <OW_config.h>
#include <OW_Logger.hpp>
#include <OW_ProviderEnvironmentIFC.hpp>
#include <OW_String.hpp>
#ifdef ZEP_REAL_OPENWBEM
#include <OW_CIMOMHandleIFC.hpp>
#include <OW_LogMessage.hpp>
#include <OW_OperationContext.hpp>
#include <OW_RepositoryIFC.hpp>
#endif

#include <string>

namespace owtest {

// Receives the text of every error-level message.
typedef void (*ErrorSink)(const std::string&);

class SinkLogger : public OpenWBEM::Logger {
public:
#ifdef ZEP_REAL_OPENWBEM
    explicit SinkLogger(ErrorSink sink) : OpenWBEM::Logger("test", OpenWBEM::E_DEBUG_LEVEL), sink_(sink) {}

protected:
    void doProcessLogMessage(const OpenWBEM::LogMessage& m) const {
        if (sink_ && (m.category == STR_ERROR_CATEGORY || m.category == STR_FATAL_CATEGORY))
            sink_(m.message.c_str());
    }
    OpenWBEM::LoggerRef doClone() const { return OpenWBEM::LoggerRef(new SinkLogger(*this)); }
#else
    explicit SinkLogger(ErrorSink sink) : OpenWBEM::Logger(OpenWBEM::E_DEBUG_LEVEL), sink_(sink) {}

protected:
    void doLogMessage(const OpenWBEM::String& message, const OpenWBEM::ELogLevel level) const {
        if (sink_ && level <= OpenWBEM::E_ERROR_LEVEL) sink_(message.c_str());
    }
#endif

private:
    ErrorSink sink_;
};

class Environment : public OpenWBEM::ProviderEnvironmentIFC {
public:
    explicit Environment(ErrorSink sink) : logger_(new SinkLogger(sink)) {}

    OpenWBEM::LoggerRef getLogger() const { return logger_; }
    OpenWBEM::String getConfigItem(const OpenWBEM::String&, const OpenWBEM::String& def) const { return def; }
    OpenWBEM::String getUserName() const { return "test"; }
#ifdef ZEP_REAL_OPENWBEM
    OpenWBEM::LoggerRef getLogger(const OpenWBEM::String&) const { return logger_; }
    OpenWBEM::CIMOMHandleIFCRef getCIMOMHandle() const { return OpenWBEM::CIMOMHandleIFCRef(); }
    OpenWBEM::CIMOMHandleIFCRef getRepositoryCIMOMHandle() const { return OpenWBEM::CIMOMHandleIFCRef(); }
    OpenWBEM::RepositoryIFCRef getRepository() const { return OpenWBEM::RepositoryIFCRef(); }
    OpenWBEM::OperationContext& getOperationContext() { return context_; }

private:
    OpenWBEM::OperationContext context_;
#endif

private:
    OpenWBEM::LoggerRef logger_;
};

inline OpenWBEM::ProviderEnvironmentIFCRef makeEnvironment(ErrorSink errors = nullptr) {
    return OpenWBEM::ProviderEnvironmentIFCRef(new Environment(errors));
}

}  // namespace owtest
