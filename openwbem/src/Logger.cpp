// Logger, IntrusiveCountableBase and the environment's base.
#include "OW_Logger.hpp"
#include "OW_IntrusiveReference.hpp"
#include "OW_ProviderEnvironmentIFC.hpp"

#include <mutex>

namespace OpenWBEM
{

namespace
{
// One lock for every logger: hosts write several loggers to one file or stream.
std::mutex& logLock()
{
	static std::mutex m;
	return m;
}
} // namespace

IntrusiveCountableBase::IntrusiveCountableBase() : m_refCount(0)
{
}

IntrusiveCountableBase::~IntrusiveCountableBase()
{
}

void IntrusiveReference_add_ref(IntrusiveCountableBase* p)
{
	__atomic_add_fetch(&p->m_refCount, 1, __ATOMIC_RELAXED);
}

void IntrusiveReference_release(IntrusiveCountableBase* p)
{
	if (__atomic_sub_fetch(&p->m_refCount, 1, __ATOMIC_ACQ_REL) == 0)
	{
		delete p;
	}
}

Logger::Logger() : m_logLevel(E_ERROR_LEVEL)
{
}

Logger::Logger(const ELogLevel logLevel) : m_logLevel(logLevel)
{
}

Logger::~Logger()
{
}

void Logger::logFatalError(const String& s) const
{
	logMessage(s, E_FATAL_ERROR_LEVEL);
}

void Logger::logError(const String& s) const
{
	logMessage(s, E_ERROR_LEVEL);
}

void Logger::logInfo(const String& s) const
{
	logMessage(s, E_INFO_LEVEL);
}

void Logger::logDebug(const String& s) const
{
	logMessage(s, E_DEBUG_LEVEL);
}

void Logger::setLogLevel(const ELogLevel logLevel)
{
	__atomic_store_n(&m_logLevel, static_cast<int>(logLevel), __ATOMIC_RELAXED);
}

void Logger::setLogLevel(const String& logLevel)
{
	ELogLevel level = E_FATAL_ERROR_LEVEL;
	if (logLevel.equalsIgnoreCase("debug"))
	{
		level = E_DEBUG_LEVEL;
	}
	else if (logLevel.equalsIgnoreCase("info"))
	{
		level = E_INFO_LEVEL;
	}
	else if (logLevel.equalsIgnoreCase("error"))
	{
		level = E_ERROR_LEVEL;
	}
	setLogLevel(level);
}

ELogLevel Logger::getLogLevel()
{
	return static_cast<ELogLevel>(__atomic_load_n(&m_logLevel, __ATOMIC_RELAXED));
}

void Logger::logMessage(const String& message, const ELogLevel level) const
{
	if (static_cast<int>(level) > __atomic_load_n(&m_logLevel, __ATOMIC_RELAXED))
	{
		return;
	}
	std::lock_guard<std::mutex> hold(logLock());
	doLogMessage(message, level);
}

ProviderEnvironmentIFC::ProviderEnvironmentIFC()
{
}

ProviderEnvironmentIFC::~ProviderEnvironmentIFC()
{
}

} // namespace OpenWBEM
