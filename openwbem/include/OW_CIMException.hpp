// CIMException: the one exception type whose code reaches a CIM client unchanged.
#ifndef OW_CIMEXCEPTION_HPP_INCLUDED
#define OW_CIMEXCEPTION_HPP_INCLUDED
#include "OW_config.h"
#include "OW_Exception.hpp"

namespace OpenWBEM
{

// A CIM status code (the DMTF codes), the throwing file and line, and a message.
// getMessage() composes "<short description of the code>" or, when a non-empty message was
// given, "<description> (<message>)"; a message that already starts with the description is
// kept as it is, so rethrowing a getMessage() text does not stack descriptions. A host that
// needs the bare message can strip the composition using the description that a CIMException
// built without a message yields for the same code.
class CIMException : public Exception
{
public:
	enum ErrNoType
	{
		SUCCESS = 0,
		FAILED = 1,
		ACCESS_DENIED = 2,
		INVALID_NAMESPACE = 3,
		INVALID_PARAMETER = 4,
		INVALID_CLASS = 5,
		NOT_FOUND = 6,
		NOT_SUPPORTED = 7,
		CLASS_HAS_CHILDREN = 8,
		CLASS_HAS_INSTANCES = 9,
		INVALID_SUPERCLASS = 10,
		ALREADY_EXISTS = 11,
		NO_SUCH_PROPERTY = 12,
		TYPE_MISMATCH = 13,
		QUERY_LANGUAGE_NOT_SUPPORTED = 14,
		INVALID_QUERY = 15,
		METHOD_NOT_AVAILABLE = 16,
		METHOD_NOT_FOUND = 17
	};

	CIMException(const char* file, int line, ErrNoType errval, const char* msg = 0);
	CIMException(const CIMException& x);
	CIMException& operator=(CIMException x);
	~CIMException() throw();
	void swap(CIMException& x);
	// The code; it is also what getErrorCode() returns.
	ErrNoType getErrNo() const;
	virtual const char* type() const;
	virtual const char* getMessage() const;
	virtual CIMException* clone() const throw();

private:
	char* m_composed;
};

// The unqualified name is deliberate: these compile where CIMException is visible.
#define OW_THROWCIM(errval) \
	throw CIMException(__FILE__, __LINE__, (errval))
#define OW_THROWCIMMSG(errval, msg) \
	throw CIMException(__FILE__, __LINE__, (errval), (msg))

} // end namespace OpenWBEM

#endif
