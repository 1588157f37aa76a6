// Exception, CIMException and the named exception classes.
#include "OW_Exception.hpp"
#include "OW_CIMException.hpp"
#include "OW_String.hpp"
#include "OW_Array.hpp"
#include "OW_CIMValueCast.hpp"
#include "OW_NoSuchPropertyException.hpp"
#include "OW_NULLValueException.hpp"
#include "Internal.hpp"

#include <cstring>
#include <new>
#include <string>
#include <utility>

namespace OpenWBEM
{

namespace
{

char* duplicate(const char* s)
{
	if (!s)
	{
		return nullptr;
	}
	const size_t n = std::strlen(s) + 1;
	char* p = new char[n];
	std::memcpy(p, s, n);
	return p;
}

const char* codeDescription(int code)
{
	switch (code)
	{
	case CIMException::SUCCESS: return "CIM_ERR_SUCCESS: The operation was successful";
	case CIMException::FAILED:
		return "CIM_ERR_FAILED: A general error occurred that is not covered by a more specific "
			"error code";
	case CIMException::ACCESS_DENIED:
		return "CIM_ERR_ACCESS_DENIED: Access to a CIM resource was not available to the client";
	case CIMException::INVALID_NAMESPACE:
		return "CIM_ERR_INVALID_NAMESPACE: The target namespace does not exist";
	case CIMException::INVALID_PARAMETER:
		return "CIM_ERR_INVALID_PARAMETER: One or more parameter values passed to the method "
			"were invalid";
	case CIMException::INVALID_CLASS:
		return "CIM_ERR_INVALID_CLASS: The specified class does not exist";
	case CIMException::NOT_FOUND:
		return "CIM_ERR_NOT_FOUND: The requested object could not be found";
	case CIMException::NOT_SUPPORTED:
		return "CIM_ERR_NOT_SUPPORTED: The requested operation is not supported";
	case CIMException::CLASS_HAS_CHILDREN:
		return "CIM_ERR_CLASS_HAS_CHILDREN: Operation cannot be carried out on this class since "
			"it has subclasses";
	case CIMException::CLASS_HAS_INSTANCES:
		return "CIM_ERR_CLASS_HAS_INSTANCES: Operation cannot be carried out on this class since "
			"it has instances";
	case CIMException::INVALID_SUPERCLASS:
		return "CIM_ERR_INVALID_SUPERCLASS: Operation cannot be carried out since the specified "
			"superclass does not exist";
	case CIMException::ALREADY_EXISTS:
		return "CIM_ERR_ALREADY_EXISTS: Operation cannot be carried out because an object "
			"already exists";
	case CIMException::NO_SUCH_PROPERTY:
		return "CIM_ERR_NO_SUCH_PROPERTY: The specified property does not exist";
	case CIMException::TYPE_MISMATCH:
		return "CIM_ERR_TYPE_MISMATCH: The value supplied is incompatible with the type";
	case CIMException::QUERY_LANGUAGE_NOT_SUPPORTED:
		return "CIM_ERR_QUERY_LANGUAGE_NOT_SUPPORTED: The query language is not recognized or "
			"supported";
	case CIMException::INVALID_QUERY:
		return "CIM_ERR_INVALID_QUERY: The query is not valid for the specified query language";
	case CIMException::METHOD_NOT_AVAILABLE:
		return "CIM_ERR_METHOD_NOT_AVAILABLE: The extrinsic method could not be executed";
	case CIMException::METHOD_NOT_FOUND:
		return "CIM_ERR_METHOD_NOT_FOUND: The specified extrinsic method does not exist";
	default: return "CIM_ERR_UNKNOWN: Unknown error code";
	}
}

// "<description>" or "<description> (<msg>)"; a msg that already starts with the description
// is taken as already composed.
char* compose(int code, const char* msg)
{
	const char* desc = codeDescription(code);
	if (!msg || !*msg)
	{
		return duplicate(desc);
	}
	if (std::strncmp(msg, desc, std::strlen(desc)) == 0)
	{
		return duplicate(msg);
	}
	std::string s(desc);
	s += " (";
	s += msg;
	s += ")";
	return duplicate(s.c_str());
}

} // namespace

const int Exception::UNKNOWN_SUBCLASS_ID;
const int Exception::UNKNOWN_ERROR_CODE;

Exception::Exception(int subClassId, const char* file, int line, const char* msg, int errorCode,
	const Exception* otherException)
	: std::exception()
	, m_file(duplicate(file))
	, m_line(line)
	, m_msg(duplicate(msg))
	, m_subClassId(subClassId)
	, m_subException(otherException ? otherException->clone() : nullptr)
	, m_errorCode(errorCode)
{
}

Exception::Exception(const char* file, int line, const char* msg)
	: std::exception()
	, m_file(duplicate(file))
	, m_line(line)
	, m_msg(duplicate(msg))
	, m_subClassId(UNKNOWN_SUBCLASS_ID)
	, m_subException(nullptr)
	, m_errorCode(UNKNOWN_ERROR_CODE)
{
}

Exception::Exception(const Exception& e)
	: std::exception(e)
	, m_file(duplicate(e.m_file))
	, m_line(e.m_line)
	, m_msg(duplicate(e.m_msg))
	, m_subClassId(e.m_subClassId)
	, m_subException(e.m_subException ? e.m_subException->clone() : nullptr)
	, m_errorCode(e.m_errorCode)
{
}

Exception& Exception::operator=(const Exception& rhs)
{
	if (this != &rhs)
	{
		char* file = duplicate(rhs.m_file);
		char* msg = duplicate(rhs.m_msg);
		Exception* sub = rhs.m_subException ? rhs.m_subException->clone() : nullptr;
		delete[] m_file;
		delete[] m_msg;
		delete m_subException;
		m_file = file;
		m_msg = msg;
		m_subException = sub;
		m_line = rhs.m_line;
		m_subClassId = rhs.m_subClassId;
		m_errorCode = rhs.m_errorCode;
	}
	return *this;
}

Exception::~Exception() throw()
{
	delete[] m_file;
	delete[] m_msg;
	delete m_subException;
}

void Exception::setErrorCode(int errorCode)
{
	m_errorCode = errorCode;
}

const char* Exception::type() const
{
	return "Exception";
}

const char* Exception::getMessage() const
{
	return m_msg ? m_msg : "";
}

const char* Exception::getFile() const
{
	return m_file ? m_file : "";
}

int Exception::getLine() const
{
	return m_line;
}

int Exception::getErrorCode() const
{
	return m_errorCode;
}

const char* Exception::what() const throw()
{
	return getMessage();
}

Exception* Exception::clone() const
{
	return new (std::nothrow) Exception(*this);
}

CIMException::CIMException(const char* file, int line, ErrNoType errval, const char* msg)
	: Exception(UNKNOWN_SUBCLASS_ID, file, line, msg, errval)
	, m_composed(compose(errval, msg))
{
}

CIMException::CIMException(const CIMException& x)
	: Exception(x)
	, m_composed(duplicate(x.m_composed))
{
}

CIMException& CIMException::operator=(CIMException x)
{
	swap(x);
	return *this;
}

CIMException::~CIMException() throw()
{
	delete[] m_composed;
}

void CIMException::swap(CIMException& x)
{
	// The base has no swap; three assignments through a copy do the same.
	CIMException tmp(*this);
	Exception::operator=(x);
	x.Exception::operator=(tmp);
	std::swap(m_composed, x.m_composed);
}

CIMException::ErrNoType CIMException::getErrNo() const
{
	return static_cast<ErrNoType>(getErrorCode());
}

const char* CIMException::type() const
{
	return "CIMException";
}

const char* CIMException::getMessage() const
{
	return m_composed ? m_composed : "";
}

CIMException* CIMException::clone() const throw()
{
	return new (std::nothrow) CIMException(*this);
}

OW_STANDIN_DEFINE_EXCEPTION(StringConversion)
OW_STANDIN_DEFINE_EXCEPTION(OutOfBounds)
OW_STANDIN_DEFINE_EXCEPTION(ValueCast)
OW_STANDIN_DEFINE_EXCEPTION(NoSuchProperty)
OW_STANDIN_DEFINE_EXCEPTION(NULLValue)
OW_STANDIN_DEFINE_EXCEPTION(NULLCOWReference)

namespace impl
{
void throwNullHandle(const char* className)
{
	std::string msg(className);
	msg += ": member called on a null handle";
	throw NULLCOWReferenceException(__FILE__, __LINE__, msg.c_str());
}
} // namespace impl

} // namespace OpenWBEM
