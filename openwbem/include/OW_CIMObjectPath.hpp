// CIMObjectPath: the name of a class or instance: host, namespace, class name and keys.
#ifndef OW_CIMOBJECTPATH_HPP_INCLUDED
#define OW_CIMOBJECTPATH_HPP_INCLUDED
#include "OW_config.h"
#include "OW_CIMNULL.hpp"
#include "OW_CIMFwd.hpp"
#include "OW_CIMProperty.hpp"
#include "OW_CIMValue.hpp"
#include "OW_Array.hpp"
#include "OW_String.hpp"

namespace OpenWBEM
{

// A handle to a shared, copy-on-write body: copies are cheap and independent, and copies may be
// used in different threads. A handle made with the CIMNULL tag is null: it tests false and its
// other members throw an Exception. Keys keep their order; they are found by name in any case.
// Namespaces are kept without surrounding white space and leading '/' ("/root/cimv2" is
// "root/cimv2"); the default namespace and host are "".
class CIMObjectPath
{
	struct Data;
public:
	// No class name, no keys (not null).
	CIMObjectPath();
	explicit CIMObjectPath(CIMNULL_t);
	explicit CIMObjectPath(const String& className);
	explicit CIMObjectPath(const char* className);
	// Note the order: class name first.
	CIMObjectPath(const String& className, const String& nspace);
	CIMObjectPath(const String& className, const CIMPropertyArray& keys);
	// Note the order: namespace first. The keys are the instance's getKeyValuePairs().
	CIMObjectPath(const String& ns, const CIMInstance& inst);
	CIMObjectPath(const CIMObjectPath& x);
	~CIMObjectPath();
	CIMObjectPath& operator=(const CIMObjectPath& x);

	String getClassName() const;
	CIMObjectPath& setClassName(const String& className);
	String getNameSpace() const;
	CIMObjectPath& setNameSpace(const String& ns);
	String getHost() const;
	CIMObjectPath& setHost(const String& host);

	CIMPropertyArray getKeys() const;
	// The null property when absent.
	CIMProperty getKey(const String& keyName) const;
	// Throws NoSuchPropertyException when absent.
	CIMProperty getKeyT(const String& keyName) const;
	// The null value when absent.
	CIMValue getKeyValue(const String& name) const;
	bool keyHasValue(const String& name) const;
	// Replaces the keys; the copies keep no qualifiers.
	CIMObjectPath& setKeys(const CIMPropertyArray& newKeys);
	// The instance's getKeyValuePairs().
	CIMObjectPath& setKeys(const CIMInstance& instance);
	// Replaces the value of a key of that name or appends a key; the value must not be null
	// (that throws).
	CIMObjectPath& setKeyValue(const String& name, const CIMValue& value);
	// Append even when the key exists; a null value is ignored. Use setKeyValue.
	CIMObjectPath& addKey(const String& keyname, const CIMValue& value) OW_DEPRECATED;
	CIMObjectPath& addKey(const CIMProperty& key) OW_DEPRECATED;

	// Namespace and class name equal in any case, the same number of keys, and every key found
	// by name (any case, any order) with an equal value (type included). The host is ignored.
	bool equals(const CIMObjectPath& cop) const;
	bool operator==(const CIMObjectPath& x) const;
	bool operator!=(const CIMObjectPath& x) const;
	bool isClassPath() const;
	bool isInstancePath() const;
	// "/<ns>:<modelPath>", "//<host>/<ns>:<modelPath>" with a host.
	String toString() const;
	// "Class" or "Class.k1=\"v1\",k2=\"v2\"": keys in their order, every value quoted (numbers
	// too) with '\\', '"' and newline escaped, a null value written "null".
	String modelPath() const;
	// The inverse of toString() (and of modelPath()): "[//host/][/][ns:]Class[.k=v,...]".
	// Quoted values become strings; unquoted ones booleans (true/false) or untyped numbers
	// (SINT64, or REAL64 with a '.' or exponent). Malformed text throws CIMException
	// INVALID_PARAMETER.
	static CIMObjectPath parse(const String& instanceName);
	// Backslash before '\\' and '"'; a newline as "\n".
	static String escape(const String& inString);
	static String unEscape(const String& inString);

#if __cplusplus >= 201103L
	explicit operator bool() const { return m_p != 0; }
	bool operator!() const { return m_p == 0; }
#else
	typedef Data* CIMObjectPath::*safe_bool;
	operator safe_bool() const { return m_p ? &CIMObjectPath::m_p : 0; }
	safe_bool operator!() const { return m_p ? 0 : &CIMObjectPath::m_p; }
#endif

	// By toString(), case-insensitively.
	friend bool operator<(const CIMObjectPath& lhs, const CIMObjectPath& rhs);

private:
	Data* m_p;
};

} // end namespace OpenWBEM

#endif
