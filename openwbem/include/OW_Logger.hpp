// Logger: the object manager's log as a provider sees it. A host supplies one by deriving from
// Logger and overriding doLogMessage.
#ifndef OW_LOGGER_HPP_INCLUDED
#define OW_LOGGER_HPP_INCLUDED
#include "OW_config.h"
#include "OW_LogLevel.hpp"
#include "OW_String.hpp"
#include "OW_IntrusiveReference.hpp"

namespace OpenWBEM
{

// A message reaches doLogMessage only when its level is at or above the logger's in severity
// (numerically less than or equal): the default level, E_ERROR_LEVEL, drops info and debug.
// Any thread may log or change the level; the calls into doLogMessage are serialized by one
// process-wide lock, so an override needs no lock of its own.
class Logger : public IntrusiveCountableBase
{
public:
	void logFatalError(const String& s) const;
	void logError(const String& s) const;
	void logInfo(const String& s) const;
	void logDebug(const String& s) const;
	void setLogLevel(const ELogLevel logLevel);
	// "debug", "info" or "error" in any case; any other text sets E_FATAL_ERROR_LEVEL.
	void setLogLevel(const String& logLevel);
	ELogLevel getLogLevel();
	virtual ~Logger();

protected:
	Logger();
	Logger(const ELogLevel logLevel);
	virtual void doLogMessage(const String& message, const ELogLevel level) const = 0;

private:
	void logMessage(const String& message, const ELogLevel level) const;

	int m_logLevel;
};

typedef IntrusiveReference<Logger> LoggerRef;

} // end namespace OpenWBEM

#endif
