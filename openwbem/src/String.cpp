// String and Bool's text form.
#include "OW_String.hpp"
#include "OW_Bool.hpp"
#include "OW_Array.hpp"
#include "OW_CIMObjectPath.hpp"
#include "Internal.hpp"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <ostream>
#include <sstream>
#include <string>

namespace OpenWBEM
{

struct String::Buf : impl::Shared
{
	explicit Buf(std::string x) : s(std::move(x)) {}
	std::string s;
};

namespace
{

const std::string& emptyStd()
{
	static const std::string e;
	return e;
}

int lower(char c)
{
	return std::tolower(static_cast<unsigned char>(c));
}

int compareNoCase(const char* a, size_t na, const char* b, size_t nb)
{
	const size_t n = na < nb ? na : nb;
	for (size_t i = 0; i < n; ++i)
	{
		const int d = lower(a[i]) - lower(b[i]);
		if (d != 0)
		{
			return d;
		}
	}
	return na < nb ? -1 : (na > nb ? 1 : 0);
}

bool isSpace(char c)
{
	return std::isspace(static_cast<unsigned char>(c)) != 0;
}

[[noreturn]] void conversionFailed(const String& s, const char* typeName)
{
	std::string msg = "Unable to convert \"";
	msg.append(s.c_str(), s.length());
	msg += "\" into ";
	msg += typeName;
	throw StringConversionException(__FILE__, __LINE__, msg.c_str());
}

// The whole text must be one number: strtol-style prefix, nothing after it.
template<class T> T toSignedValue(const String& s, int base, const char* typeName)
{
	const char* p = s.c_str();
	char* end = nullptr;
	errno = 0;
	const long v = std::strtol(p, &end, base);
	if (s.empty() || end == p || end != p + s.length() || errno == ERANGE
		|| v < static_cast<long>(std::numeric_limits<T>::min())
		|| v > static_cast<long>(std::numeric_limits<T>::max()))
	{
		conversionFailed(s, typeName);
	}
	return static_cast<T>(v);
}

template<class T> T toUnsignedValue(const String& s, int base, const char* typeName)
{
	const char* p = s.c_str();
	const char* q = p;
	while (*q && isSpace(*q))
	{
		++q;
	}
	const bool negative = *q == '-';
	char* end = nullptr;
	errno = 0;
	const unsigned long v = std::strtoul(p, &end, base);
	// strtoul wraps a negative number around; only -0 is a value of an unsigned type.
	if (s.empty() || end == p || end != p + s.length() || errno == ERANGE
		|| (negative && v != 0)
		|| v > static_cast<unsigned long>(std::numeric_limits<T>::max()))
	{
		conversionFailed(s, typeName);
	}
	return static_cast<T>(v);
}

template<class T> T toRealValue(const String& s, T (*conv)(const char*, char**),
	const char* typeName)
{
	const char* p = s.c_str();
	char* end = nullptr;
	errno = 0;
	const T v = conv(p, &end);
	if (s.empty() || end == p || end != p + s.length()
		|| (errno == ERANGE && std::fabs(v) > T(1)))
	{
		conversionFailed(s, typeName);
	}
	return v;
}

} // namespace

const size_t String::npos;

String::String() : m_buf(nullptr)
{
}

String::String(const char* str) : m_buf(str && *str ? new Buf(str) : nullptr)
{
}

String::String(const char* str, size_t len)
	: m_buf(str && len ? new Buf(std::string(str, len)) : nullptr)
{
}

String::String(const String& arg) : m_buf(arg.m_buf)
{
	impl::acquire(m_buf);
}

String::String(Int32 val) : m_buf(new Buf(std::to_string(val)))
{
}

String::String(UInt32 val) : m_buf(new Buf(std::to_string(val)))
{
}

String::String(Int64 val) : m_buf(new Buf(std::to_string(val)))
{
}

String::String(UInt64 val) : m_buf(new Buf(std::to_string(val)))
{
}

String::String(Real64 val) : m_buf(nullptr)
{
	std::ostringstream os;
	os << val;
	m_buf = new Buf(os.str());
}

String::String(Bool parm) : m_buf(new Buf(parm ? "true" : "false"))
{
}

String::String(char c) : m_buf(c ? new Buf(std::string(1, c)) : nullptr)
{
}

String::String(const CIMObjectPath& cop) : m_buf(nullptr)
{
	*this = cop.toString();
}

String::~String()
{
	impl::release(m_buf);
}

String& String::operator=(const String& arg)
{
	impl::assign(m_buf, arg.m_buf);
	return *this;
}

// Read access; the empty string has no body.
#define STR (m_buf ? m_buf->s : emptyStd())

// Write access to a body this string alone holds.
#define MUT (m_buf ? impl::write(m_buf, "String").s : (m_buf = new Buf(std::string()))->s)

size_t String::length() const
{
	return m_buf ? m_buf->s.size() : 0;
}

bool String::empty() const
{
	return length() == 0;
}

const char* String::c_str() const
{
	return STR.c_str();
}

char String::charAt(size_t ndx) const
{
	return ndx < length() ? STR[ndx] : '\0';
}

const char& String::operator[](size_t ndx) const
{
	if (ndx >= length())
	{
		OW_THROW(OutOfBoundsException, "String index out of bounds");
	}
	return STR[ndx];
}

char& String::operator[](size_t ndx)
{
	if (ndx >= length())
	{
		OW_THROW(OutOfBoundsException, "String index out of bounds");
	}
	return MUT[ndx];
}

int String::compareTo(const String& arg) const
{
	return STR.compare(arg.m_buf ? arg.m_buf->s : emptyStd());
}

int String::compareTo(const char* arg) const
{
	return STR.compare(arg);
}

int String::compareToIgnoreCase(const String& arg) const
{
	return compareNoCase(c_str(), length(), arg.c_str(), arg.length());
}

int String::compareToIgnoreCase(const char* arg) const
{
	return compareNoCase(c_str(), length(), arg, std::strlen(arg));
}

bool String::equals(const String& arg) const
{
	return compareTo(arg) == 0;
}

bool String::equals(const char* arg) const
{
	return compareTo(arg) == 0;
}

bool String::equalsIgnoreCase(const String& arg) const
{
	return compareToIgnoreCase(arg) == 0;
}

bool String::equalsIgnoreCase(const char* arg) const
{
	return compareToIgnoreCase(arg) == 0;
}

bool String::startsWith(const char* arg, EIgnoreCaseFlag ignorecase) const
{
	const size_t n = std::strlen(arg);
	if (n > length())
	{
		return false;
	}
	return ignorecase == E_CASE_INSENSITIVE ? compareNoCase(c_str(), n, arg, n) == 0
		: STR.compare(0, n, arg) == 0;
}

bool String::startsWith(const String& arg, EIgnoreCaseFlag ignorecase) const
{
	return startsWith(arg.c_str(), ignorecase);
}

bool String::startsWith(char arg) const
{
	return !empty() && STR[0] == arg;
}

bool String::endsWith(const char* arg, EIgnoreCaseFlag ignorecase) const
{
	const size_t n = std::strlen(arg);
	if (n > length())
	{
		return false;
	}
	const size_t from = length() - n;
	return ignorecase == E_CASE_INSENSITIVE ? compareNoCase(c_str() + from, n, arg, n) == 0
		: STR.compare(from, n, arg) == 0;
}

bool String::endsWith(const String& arg, EIgnoreCaseFlag ignorecase) const
{
	return endsWith(arg.c_str(), ignorecase);
}

bool String::endsWith(char arg) const
{
	return !empty() && STR[length() - 1] == arg;
}

size_t String::indexOf(char ch, size_t fromIndex) const
{
	return STR.find(ch, fromIndex);
}

size_t String::indexOf(const char* arg, size_t fromIndex) const
{
	return STR.find(arg, fromIndex);
}

size_t String::indexOf(const String& arg, size_t fromIndex) const
{
	return STR.find(impl::toStd(arg), fromIndex);
}

size_t String::lastIndexOf(char ch, size_t fromIndex) const
{
	return STR.rfind(ch, fromIndex);
}

size_t String::lastIndexOf(const char* arg, size_t fromIndex) const
{
	return STR.rfind(arg, fromIndex);
}

size_t String::lastIndexOf(const String& arg, size_t fromIndex) const
{
	return STR.rfind(impl::toStd(arg), fromIndex);
}

String String::substring(size_t beginIndex, size_t len) const
{
	if (beginIndex >= length())
	{
		return String();
	}
	return impl::toOW(STR.substr(beginIndex, len));
}

bool String::isSpaces() const
{
	for (char c : STR)
	{
		if (!isSpace(c))
		{
			return false;
		}
	}
	return true;
}

String& String::concat(const char* arg)
{
	if (arg && *arg)
	{
		MUT.append(arg);
	}
	return *this;
}

String& String::concat(const String& arg)
{
	if (!arg.empty())
	{
		// Copy first: arg may be this string.
		const String keep(arg);
		MUT.append(keep.c_str(), keep.length());
	}
	return *this;
}

String& String::concat(char arg)
{
	MUT.push_back(arg);
	return *this;
}

String& String::operator+=(const String& arg)
{
	return concat(arg);
}

String& String::operator+=(const char* arg)
{
	return concat(arg);
}

String& String::operator+=(char arg)
{
	return concat(arg);
}

String& String::toLowerCase()
{
	if (!empty())
	{
		for (char& c : MUT)
		{
			c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
		}
	}
	return *this;
}

String& String::toUpperCase()
{
	if (!empty())
	{
		for (char& c : MUT)
		{
			c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
		}
	}
	return *this;
}

String& String::ltrim()
{
	size_t i = 0;
	while (i < length() && isSpace(STR[i]))
	{
		++i;
	}
	if (i > 0)
	{
		MUT.erase(0, i);
	}
	return *this;
}

String& String::rtrim()
{
	size_t n = length();
	while (n > 0 && isSpace(STR[n - 1]))
	{
		--n;
	}
	if (n < length())
	{
		MUT.erase(n);
	}
	return *this;
}

String& String::trim()
{
	return rtrim().ltrim();
}

String& String::erase()
{
	impl::release(m_buf);
	m_buf = nullptr;
	return *this;
}

String& String::erase(size_t idx, size_t len)
{
	if (idx < length() && len > 0)
	{
		MUT.erase(idx, len);
	}
	return *this;
}

int String::format(const char* fmt, ...)
{
	va_list ap;
	va_start(ap, fmt);
	va_list ap2;
	va_copy(ap2, ap);
	const int n = std::vsnprintf(nullptr, 0, fmt, ap);
	va_end(ap);
	if (n < 0)
	{
		va_end(ap2);
		erase();
		return 0;
	}
	std::string s(static_cast<size_t>(n) + 1, '\0');
	std::vsnprintf(&s[0], s.size(), fmt, ap2);
	va_end(ap2);
	s.resize(static_cast<size_t>(n));
	*this = impl::toOW(s);
	return n;
}

String String::toString() const
{
	return *this;
}

StringArray String::tokenize(const char* delims, EReturnTokensFlag returnDelimitersAsTokens,
	EEmptyTokenReturnFlag returnEmptyTokens) const
{
	StringArray tokens;
	const std::string& s = STR;
	const std::string d = delims ? delims : "";
	std::string current;
	bool afterDelimiter = false;  // an empty token is one between two delimiters
	for (size_t i = 0; i < s.size(); ++i)
	{
		if (d.find(s[i]) == std::string::npos)
		{
			current.push_back(s[i]);
			continue;
		}
		if (!current.empty() || (returnEmptyTokens == E_RETURN_EMPTY_TOKENS))
		{
			tokens.push_back(impl::toOW(current));
		}
		current.clear();
		if (returnDelimitersAsTokens == E_RETURN_TOKENS)
		{
			tokens.push_back(String(s[i]));
		}
		afterDelimiter = true;
	}
	if (!current.empty() || (returnEmptyTokens == E_RETURN_EMPTY_TOKENS && afterDelimiter))
	{
		tokens.push_back(impl::toOW(current));
	}
	return tokens;
}

UInt8 String::toUInt8(int base) const
{
	return toUnsignedValue<UInt8>(*this, base, "UInt8");
}

Int8 String::toInt8(int base) const
{
	return toSignedValue<Int8>(*this, base, "Int8");
}

UInt16 String::toUInt16(int base) const
{
	return toUnsignedValue<UInt16>(*this, base, "UInt16");
}

Int16 String::toInt16(int base) const
{
	return toSignedValue<Int16>(*this, base, "Int16");
}

UInt32 String::toUInt32(int base) const
{
	return toUnsignedValue<UInt32>(*this, base, "UInt32");
}

Int32 String::toInt32(int base) const
{
	return toSignedValue<Int32>(*this, base, "Int32");
}

UInt64 String::toUInt64(int base) const
{
	return toUnsignedValue<UInt64>(*this, base, "UInt64");
}

Int64 String::toInt64(int base) const
{
	return toSignedValue<Int64>(*this, base, "Int64");
}

Real32 String::toReal32() const
{
	return toRealValue<Real32>(*this, &std::strtof, "Real32");
}

Real64 String::toReal64() const
{
	return toRealValue<Real64>(*this, &std::strtod, "Real64");
}

bool String::toBool() const
{
	if (equalsIgnoreCase("true"))
	{
		return true;
	}
	if (equalsIgnoreCase("false"))
	{
		return false;
	}
	conversionFailed(*this, "bool");
}

#undef STR
#undef MUT

String operator+(const String& s1, const String& s2)
{
	String r(s1);
	return r += s2;
}

String operator+(const char* p, const String& s)
{
	String r(p);
	return r += s;
}

String operator+(const String& s, const char* p)
{
	String r(s);
	return r += p;
}

String operator+(char c, const String& s)
{
	String r(c);
	return r += s;
}

String operator+(const String& s, char c)
{
	String r(s);
	return r += c;
}

bool operator==(const String& s1, const String& s2) { return s1.compareTo(s2) == 0; }
bool operator==(const String& s, const char* p) { return s.compareTo(p) == 0; }
bool operator==(const char* p, const String& s) { return s.compareTo(p) == 0; }
bool operator!=(const String& s1, const String& s2) { return s1.compareTo(s2) != 0; }
bool operator!=(const String& s, const char* p) { return s.compareTo(p) != 0; }
bool operator!=(const char* p, const String& s) { return s.compareTo(p) != 0; }
bool operator<(const String& s1, const String& s2) { return s1.compareTo(s2) < 0; }
bool operator<(const String& s, const char* p) { return s.compareTo(p) < 0; }
bool operator<(const char* p, const String& s) { return s.compareTo(p) > 0; }
bool operator<=(const String& s1, const String& s2) { return s1.compareTo(s2) <= 0; }
bool operator<=(const String& s, const char* p) { return s.compareTo(p) <= 0; }
bool operator<=(const char* p, const String& s) { return s.compareTo(p) >= 0; }
bool operator>(const String& s1, const String& s2) { return s1.compareTo(s2) > 0; }
bool operator>(const String& s, const char* p) { return s.compareTo(p) > 0; }
bool operator>(const char* p, const String& s) { return s.compareTo(p) < 0; }
bool operator>=(const String& s1, const String& s2) { return s1.compareTo(s2) >= 0; }
bool operator>=(const String& s, const char* p) { return s.compareTo(p) >= 0; }
bool operator>=(const char* p, const String& s) { return s.compareTo(p) <= 0; }

std::ostream& operator<<(std::ostream& ostr, const String& arg)
{
	return ostr.write(arg.c_str(), static_cast<std::streamsize>(arg.length()));
}

String Bool::toString() const
{
	return String(m_val ? "true" : "false");
}

std::ostream& operator<<(std::ostream& ostrm, const Bool& arg)
{
	return ostrm << (arg ? "true" : "false");
}

} // namespace OpenWBEM
