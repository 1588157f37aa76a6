// Exception: the base of every exception the provider API throws, and the macro that declares
// the named exception classes (StringConversionException, ValueCastException, ...).
#ifndef OW_EXCEPTION_HPP_INCLUDED
#define OW_EXCEPTION_HPP_INCLUDED
#include "OW_config.h"
#include <exception>

namespace OpenWBEM
{

// Carries the throwing source file and line, a message, an error code and, optionally, a copy
// of the exception that caused this one. Copies are deep: an exception owns all it carries and
// may outlive everything it was built from. Not meant to be shared between threads.
class Exception : public std::exception
{
protected:
	// file and msg may be null. otherException, when given, is cloned.
	Exception(int subClassId, const char* file, int line, const char* msg, int errorCode,
		const Exception* otherException = 0);
	Exception(const char* file, int line, const char* msg) OW_DEPRECATED;
	Exception(const Exception& e);
	Exception& operator=(const Exception& rhs);
	virtual ~Exception() throw();
	void setErrorCode(int errorCode);

public:
	static const int UNKNOWN_SUBCLASS_ID = -1;
	static const int UNKNOWN_ERROR_CODE = -1;

	// The class name, e.g. "CIMException".
	virtual const char* type() const;
	// Never null; "" when there is no message.
	virtual const char* getMessage() const;
	// Never null; "" when unknown.
	const char* getFile() const;
	int getLine() const;
	int getErrorCode() const;
	// Same text as getMessage().
	virtual const char* what() const throw();
	// A heap copy of the most derived exception; the caller deletes it.
	virtual Exception* clone() const;

private:
	char* m_file;
	int m_line;
	char* m_msg;
	int m_subClassId;
	Exception* m_subException;
	int m_errorCode;
};

#define OW_THROW(exType, msg) throw exType(__FILE__, __LINE__, (msg))

// Declares NAMEException, derived from Exception, whose type() is "NAMEException".
// Use at namespace scope followed by a semicolon.
#define OW_DECLARE_EXCEPTION(NAME) \
class NAME##Exception : public ::OpenWBEM::Exception \
{ \
public: \
	NAME##Exception(const char* file, int line, const char* msg, \
		int errorCode = ::OpenWBEM::Exception::UNKNOWN_ERROR_CODE, \
		const ::OpenWBEM::Exception* otherException = 0); \
	NAME##Exception(const NAME##Exception& e); \
	NAME##Exception& operator=(const NAME##Exception& rhs); \
	virtual ~NAME##Exception() throw(); \
	virtual const char* type() const; \
	virtual NAME##Exception* clone() const throw(); \
}

} // end namespace OpenWBEM

#endif
