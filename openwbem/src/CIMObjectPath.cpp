// CIMObjectPath, its text form and the parser of that form.
#include "OW_CIMObjectPath.hpp"
#include "OW_CIMInstance.hpp"
#include "OW_CIMException.hpp"
#include "OW_NoSuchPropertyException.hpp"
#include "Bodies.hpp"

#include <string>

namespace OpenWBEM
{

struct CIMObjectPath::Data : impl::Shared
{
	Data(const String& c, const String& n) : nameSpace(n), className(c) {}
	String host;
	String nameSpace;
	String className;
	CIMPropertyArray keys;
};

namespace
{

const char* const kClass = "CIMObjectPath";

String normalizedNameSpace(const String& ns)
{
	String r(ns);
	r.trim();
	size_t i = 0;
	while (i < r.length() && r.charAt(i) == '/')
	{
		++i;
	}
	return i ? r.substring(i) : r;
}

CIMPropertyArray withoutQualifiers(const CIMPropertyArray& keys)
{
	CIMPropertyArray r;
	r.reserve(keys.size());
	for (size_t i = 0; i < keys.size(); ++i)
	{
		CIMProperty k = keys[i];
		if (!k.getQualifiers().empty())
		{
			k.clearQualifiers();
		}
		r.push_back(k);
	}
	return r;
}

[[noreturn]] void malformed(const String& text, const char* why)
{
	std::string msg = "Malformed object path \"";
	msg += impl::toStd(text);
	msg += "\": ";
	msg += why;
	throw CIMException(__FILE__, __LINE__, CIMException::INVALID_PARAMETER, msg.c_str());
}

// An unquoted key value: a boolean or an untyped number.
CIMValue unquotedValue(const String& text, const String& v)
{
	if (v.equalsIgnoreCase("true") || v.equalsIgnoreCase("false"))
	{
		return CIMValue(Bool(v.toBool()));
	}
	try
	{
		if (v.indexOf('.') != String::npos || v.indexOf('e') != String::npos
			|| v.indexOf('E') != String::npos)
		{
			return CIMValue(v.toReal64());
		}
		return CIMValue(v.toInt64());
	}
	catch (const StringConversionException&)
	{
		malformed(text, "a key value without quotes is neither a number nor a boolean");
	}
}

} // namespace

CIMObjectPath::CIMObjectPath() : m_p(new Data(String(), String()))
{
}

CIMObjectPath::CIMObjectPath(CIMNULL_t) : m_p(nullptr)
{
}

CIMObjectPath::CIMObjectPath(const String& className) : m_p(new Data(className, String()))
{
}

CIMObjectPath::CIMObjectPath(const char* className)
	: m_p(new Data(String(className), String()))
{
}

CIMObjectPath::CIMObjectPath(const String& className, const String& nspace)
	: m_p(new Data(className, normalizedNameSpace(nspace)))
{
}

CIMObjectPath::CIMObjectPath(const String& className, const CIMPropertyArray& keys)
	: m_p(new Data(className, String()))
{
	m_p->keys = withoutQualifiers(keys);
}

CIMObjectPath::CIMObjectPath(const String& ns, const CIMInstance& inst)
	: m_p(nullptr)
{
	Data* d = new Data(inst.getClassName(), normalizedNameSpace(ns));
	m_p = d;
	d->keys = withoutQualifiers(inst.getKeyValuePairs());
}

OW_STANDIN_DEFINE_HANDLE(CIMObjectPath)

String CIMObjectPath::getClassName() const
{
	return impl::read(m_p, kClass).className;
}

CIMObjectPath& CIMObjectPath::setClassName(const String& className)
{
	impl::write(m_p, kClass).className = className;
	return *this;
}

String CIMObjectPath::getNameSpace() const
{
	return impl::read(m_p, kClass).nameSpace;
}

CIMObjectPath& CIMObjectPath::setNameSpace(const String& ns)
{
	impl::write(m_p, kClass).nameSpace = normalizedNameSpace(ns);
	return *this;
}

String CIMObjectPath::getHost() const
{
	return impl::read(m_p, kClass).host;
}

CIMObjectPath& CIMObjectPath::setHost(const String& host)
{
	impl::write(m_p, kClass).host = host;
	return *this;
}

CIMPropertyArray CIMObjectPath::getKeys() const
{
	return impl::read(m_p, kClass).keys;
}

CIMProperty CIMObjectPath::getKey(const String& keyName) const
{
	const Data& d = impl::read(m_p, kClass);
	const size_t i = impl::findByName(d.keys, keyName);
	return i == String::npos ? CIMProperty(CIMNULL) : d.keys[i];
}

CIMProperty CIMObjectPath::getKeyT(const String& keyName) const
{
	const CIMProperty p = getKey(keyName);
	if (!p)
	{
		String msg("No such key: ");
		msg += keyName;
		OW_THROW(NoSuchPropertyException, msg.c_str());
	}
	return p;
}

CIMValue CIMObjectPath::getKeyValue(const String& name) const
{
	const CIMProperty p = getKey(name);
	return p ? p.getValue() : CIMValue(CIMNULL);
}

bool CIMObjectPath::keyHasValue(const String& name) const
{
	return static_cast<bool>(getKeyValue(name));
}

CIMObjectPath& CIMObjectPath::setKeys(const CIMPropertyArray& newKeys)
{
	const CIMPropertyArray keys = withoutQualifiers(newKeys);
	impl::write(m_p, kClass).keys = keys;
	return *this;
}

CIMObjectPath& CIMObjectPath::setKeys(const CIMInstance& instance)
{
	return setKeys(instance.getKeyValuePairs());
}

CIMObjectPath& CIMObjectPath::setKeyValue(const String& name, const CIMValue& value)
{
	// Throws for the null value before anything changes.
	const CIMProperty key(name, value);
	Data& d = impl::write(m_p, kClass);
	const size_t i = impl::findByName(d.keys, name);
	if (i == String::npos)
	{
		d.keys.push_back(key);
	}
	else
	{
		d.keys[i] = key;
	}
	return *this;
}

CIMObjectPath& CIMObjectPath::addKey(const String& keyname, const CIMValue& value)
{
	if (value)
	{
		const CIMProperty key(keyname, value);
		impl::write(m_p, kClass).keys.push_back(key);
	}
	return *this;
}

CIMObjectPath& CIMObjectPath::addKey(const CIMProperty& key)
{
	impl::write(m_p, kClass).keys.push_back(key);
	return *this;
}

bool CIMObjectPath::equals(const CIMObjectPath& cop) const
{
	if (!m_p || !cop.m_p)
	{
		return !m_p && !cop.m_p;
	}
	const Data& a = *m_p;
	const Data& b = *cop.m_p;
	if (!a.nameSpace.equalsIgnoreCase(b.nameSpace) || !a.className.equalsIgnoreCase(b.className)
		|| a.keys.size() != b.keys.size())
	{
		return false;
	}
	for (size_t i = 0; i < a.keys.size(); ++i)
	{
		const size_t j = impl::findByName(b.keys, a.keys[i].getName());
		if (j == String::npos || a.keys[i].getValue() != b.keys[j].getValue())
		{
			return false;
		}
	}
	return true;
}

bool CIMObjectPath::operator==(const CIMObjectPath& x) const
{
	return equals(x);
}

bool CIMObjectPath::operator!=(const CIMObjectPath& x) const
{
	return !equals(x);
}

bool CIMObjectPath::isClassPath() const
{
	return impl::read(m_p, kClass).keys.empty();
}

bool CIMObjectPath::isInstancePath() const
{
	return !isClassPath();
}

String CIMObjectPath::toString() const
{
	const Data& d = impl::read(m_p, kClass);
	String s;
	if (!d.host.empty())
	{
		s += "//";
		s += d.host;
	}
	s += '/';
	s += d.nameSpace;
	s += ':';
	s += modelPath();
	return s;
}

String CIMObjectPath::modelPath() const
{
	const Data& d = impl::read(m_p, kClass);
	String s(d.className);
	for (size_t i = 0; i < d.keys.size(); ++i)
	{
		s += i == 0 ? '.' : ',';
		s += d.keys[i].getName();
		s += "=\"";
		const CIMValue v = d.keys[i].getValue();
		s += v ? escape(v.toString()) : String("null");
		s += '"';
	}
	return s;
}

CIMObjectPath CIMObjectPath::parse(const String& instanceName)
{
	const std::string s = impl::toStd(String(instanceName).trim());
	size_t pos = 0;
	String host;
	if (s.compare(0, 2, "//") == 0)
	{
		const size_t slash = s.find('/', 2);
		if (slash == std::string::npos)
		{
			malformed(instanceName, "no namespace after the host");
		}
		host = impl::toOW(s.substr(2, slash - 2));
		pos = slash;
	}
	// Class names hold no ':' and namespaces no '.', so a ':' before the first '.' ends the
	// namespace.
	const size_t dot = s.find('.', pos);
	const size_t colon = s.find(':', pos);
	String ns;
	if (colon != std::string::npos && (dot == std::string::npos || colon < dot))
	{
		ns = impl::toOW(s.substr(pos, colon - pos));
		pos = colon + 1;
	}
	String className = impl::toOW(s.substr(pos, dot == std::string::npos ? std::string::npos
		: dot - pos));
	className.trim();
	if (className.empty())
	{
		malformed(instanceName, "no class name");
	}
	CIMObjectPath path(className, ns);
	path.setHost(host);
	if (dot == std::string::npos)
	{
		return path;
	}
	pos = dot + 1;
	CIMPropertyArray keys;
	while (pos <= s.size())
	{
		const size_t eq = s.find('=', pos);
		if (eq == std::string::npos)
		{
			malformed(instanceName, "a key without '='");
		}
		String name = impl::toOW(s.substr(pos, eq - pos));
		name.trim();
		if (name.empty())
		{
			malformed(instanceName, "a key without a name");
		}
		pos = eq + 1;
		CIMValue value(CIMNULL);
		if (pos < s.size() && s[pos] == '"')
		{
			std::string raw;
			size_t i = pos + 1;
			for (; i < s.size() && s[i] != '"'; ++i)
			{
				if (s[i] == '\\' && i + 1 < s.size())
				{
					raw += s[i++];
				}
				raw += s[i];
			}
			if (i >= s.size())
			{
				malformed(instanceName, "an unterminated quoted value");
			}
			value = CIMValue(unEscape(impl::toOW(raw)));
			pos = i + 1;
		}
		else
		{
			const size_t comma = s.find(',', pos);
			String v = impl::toOW(s.substr(pos, comma == std::string::npos ? std::string::npos
				: comma - pos));
			v.trim();
			value = unquotedValue(instanceName, v);
			pos = comma == std::string::npos ? s.size() : comma;
		}
		keys.push_back(CIMProperty(name, value));
		if (pos >= s.size())
		{
			break;
		}
		if (s[pos] != ',')
		{
			malformed(instanceName, "text after a key value");
		}
		++pos;
	}
	path.setKeys(keys);
	return path;
}

String CIMObjectPath::escape(const String& inString)
{
	std::string r;
	const std::string s = impl::toStd(inString);
	for (char c : s)
	{
		if (c == '\\' || c == '"')
		{
			r += '\\';
			r += c;
		}
		else if (c == '\n')
		{
			r += "\\n";
		}
		else
		{
			r += c;
		}
	}
	return impl::toOW(r);
}

String CIMObjectPath::unEscape(const String& inString)
{
	std::string r;
	const std::string s = impl::toStd(inString);
	for (size_t i = 0; i < s.size(); ++i)
	{
		if (s[i] == '\\' && i + 1 < s.size())
		{
			++i;
			r += s[i] == 'n' ? '\n' : s[i];
		}
		else
		{
			r += s[i];
		}
	}
	return impl::toOW(r);
}

bool operator<(const CIMObjectPath& lhs, const CIMObjectPath& rhs)
{
	return lhs.toString().compareToIgnoreCase(rhs.toString()) < 0;
}

} // namespace OpenWBEM
