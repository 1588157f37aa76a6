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
#include <string_view>
#include <algorithm>
#include <atomic>
#include <new>

namespace OpenWBEM
{

// The bytes live right behind the header, so a string costs one allocation.
struct String::Buf
{
	std::atomic<int> refs;
	size_t len;
	size_t cap;

	char* chars() { return reinterpret_cast<char*>(this + 1); }
	const char* chars() const { return reinterpret_cast<const char*>(this + 1); }
	std::string_view view() const { return std::string_view(chars(), len); }

	// A body holding n bytes from s (which may be null when n is 0) and room for cap.
	static Buf* make(const char* s, size_t n, size_t cap)
	{
		void* mem = ::operator new(sizeof(Buf) + cap + 1);
		Buf* b = static_cast<Buf*>(mem);
		new (&b->refs) std::atomic<int>(1);
		b->len = n;
		b->cap = cap;
		if (n)
		{
			std::memcpy(b->chars(), s, n);
		}
		b->chars()[n] = '\0';
		return b;
	}
	static Buf* make(std::string_view v) { return v.empty() ? nullptr : make(v.data(), v.size(), v.size()); }

	static void acquire(Buf* b)
	{
		if (b)
		{
			b->refs.fetch_add(1, std::memory_order_relaxed);
		}
	}
	static void release(Buf* b)
	{
		if (b && b->refs.fetch_sub(1, std::memory_order_acq_rel) == 1)
		{
			b->refs.~atomic();
			::operator delete(b);
		}
	}
};

namespace
{

// CIM names are ASCII; folding them needs no locale.
int lower(char c)
{
	const unsigned char u = static_cast<unsigned char>(c);
	return u >= 'A' && u <= 'Z' ? u + ('a' - 'A') : u;
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
	// long long, here and below: long has 32 bits on a 32-bit target, too few for the 64-bit types.
	const long long v = std::strtoll(p, &end, base);
	if (s.empty() || end == p || end != p + s.length() || errno == ERANGE
		|| v < static_cast<long long>(std::numeric_limits<T>::min())
		|| v > static_cast<long long>(std::numeric_limits<T>::max()))
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
	const unsigned long long v = std::strtoull(p, &end, base);
	// strtoull wraps a negative number around; only -0 is a value of an unsigned type.
	if (s.empty() || end == p || end != p + s.length() || errno == ERANGE
		|| (negative && v != 0)
		|| v > static_cast<unsigned long long>(std::numeric_limits<T>::max()))
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

namespace
{

std::string_view viewOf(const char* s)
{
	return std::string_view(s, std::strlen(s));
}

} // namespace

String::String() : m_buf(nullptr)
{
}

String::String(const char* str) : m_buf(str ? Buf::make(viewOf(str)) : nullptr)
{
}

String::String(const char* str, size_t len)
	: m_buf(str ? Buf::make(std::string_view(str, len)) : nullptr)
{
}

String::String(const String& arg) : m_buf(arg.m_buf)
{
	Buf::acquire(m_buf);
}

String::String(Int32 val) : m_buf(Buf::make(std::to_string(val)))
{
}

String::String(UInt32 val) : m_buf(Buf::make(std::to_string(val)))
{
}

String::String(Int64 val) : m_buf(Buf::make(std::to_string(val)))
{
}

String::String(UInt64 val) : m_buf(Buf::make(std::to_string(val)))
{
}

String::String(Real64 val) : m_buf(nullptr)
{
	std::ostringstream os;
	os << val;
	m_buf = Buf::make(os.str());
}

String::String(Bool parm) : m_buf(Buf::make(parm ? "true" : "false"))
{
}

String::String(char c) : m_buf(c ? Buf::make(&c, 1, 1) : nullptr)
{
}

String::String(const CIMObjectPath& cop) : m_buf(nullptr)
{
	*this = cop.toString();
}

String::~String()
{
	Buf::release(m_buf);
}

String& String::operator=(const String& arg)
{
	Buf::acquire(arg.m_buf);
	Buf::release(m_buf);
	m_buf = arg.m_buf;
	return *this;
}

// The bytes, for reading.
#define VIEW (m_buf ? m_buf->view() : std::string_view())

namespace
{

// Replaces s's contents with text (which must not point into s).
void assignView(String& s, std::string_view text)
{
	s = String(text.data(), text.size());
}

} // namespace

size_t String::length() const
{
	return m_buf ? m_buf->len : 0;
}

bool String::empty() const
{
	return length() == 0;
}

const char* String::c_str() const
{
	return m_buf ? m_buf->chars() : "";
}

char String::charAt(size_t ndx) const
{
	return ndx < length() ? m_buf->chars()[ndx] : '\0';
}

const char& String::operator[](size_t ndx) const
{
	if (ndx >= length())
	{
		OW_THROW(OutOfBoundsException, "String index out of bounds");
	}
	return m_buf->chars()[ndx];
}

char& String::operator[](size_t ndx)
{
	if (ndx >= length())
	{
		OW_THROW(OutOfBoundsException, "String index out of bounds");
	}
	// The caller may write through the reference: the body must be this string's alone.
	if (m_buf->refs.load(std::memory_order_acquire) != 1)
	{
		Buf* own = Buf::make(m_buf->chars(), m_buf->len, m_buf->len);
		Buf::release(m_buf);
		m_buf = own;
	}
	return m_buf->chars()[ndx];
}

int String::compareTo(const String& arg) const
{
	return VIEW.compare(arg.m_buf ? arg.m_buf->view() : std::string_view());
}

int String::compareTo(const char* arg) const
{
	return VIEW.compare(viewOf(arg));
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
	return m_buf == arg.m_buf || VIEW == (arg.m_buf ? arg.m_buf->view() : std::string_view());
}

bool String::equals(const char* arg) const
{
	return VIEW == viewOf(arg);
}

bool String::equalsIgnoreCase(const String& arg) const
{
	return length() == arg.length()
		&& compareNoCase(c_str(), length(), arg.c_str(), arg.length()) == 0;
}

bool String::equalsIgnoreCase(const char* arg) const
{
	const size_t n = std::strlen(arg);
	return length() == n && compareNoCase(c_str(), n, arg, n) == 0;
}

bool String::startsWith(const char* arg, EIgnoreCaseFlag ignorecase) const
{
	const size_t n = std::strlen(arg);
	if (n > length())
	{
		return false;
	}
	return ignorecase == E_CASE_INSENSITIVE ? compareNoCase(c_str(), n, arg, n) == 0
		: VIEW.compare(0, n, std::string_view(arg, n)) == 0;
}

bool String::startsWith(const String& arg, EIgnoreCaseFlag ignorecase) const
{
	return startsWith(arg.c_str(), ignorecase);
}

bool String::startsWith(char arg) const
{
	return !empty() && m_buf->chars()[0] == arg;
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
		: VIEW.compare(from, n, std::string_view(arg, n)) == 0;
}

bool String::endsWith(const String& arg, EIgnoreCaseFlag ignorecase) const
{
	return endsWith(arg.c_str(), ignorecase);
}

bool String::endsWith(char arg) const
{
	return !empty() && m_buf->chars()[length() - 1] == arg;
}

size_t String::indexOf(char ch, size_t fromIndex) const
{
	return VIEW.find(ch, fromIndex);
}

size_t String::indexOf(const char* arg, size_t fromIndex) const
{
	return VIEW.find(viewOf(arg), fromIndex);
}

size_t String::indexOf(const String& arg, size_t fromIndex) const
{
	return VIEW.find(arg.m_buf ? arg.m_buf->view() : std::string_view(), fromIndex);
}

size_t String::lastIndexOf(char ch, size_t fromIndex) const
{
	return VIEW.rfind(ch, fromIndex);
}

size_t String::lastIndexOf(const char* arg, size_t fromIndex) const
{
	return VIEW.rfind(viewOf(arg), fromIndex);
}

size_t String::lastIndexOf(const String& arg, size_t fromIndex) const
{
	return VIEW.rfind(arg.m_buf ? arg.m_buf->view() : std::string_view(), fromIndex);
}

String String::substring(size_t beginIndex, size_t len) const
{
	if (beginIndex >= length())
	{
		return String();
	}
	if (beginIndex == 0 && len >= length())
	{
		return *this;
	}
	const std::string_view part = VIEW.substr(beginIndex, len);
	return String(part.data(), part.size());
}

bool String::isSpaces() const
{
	for (char c : VIEW)
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
	return arg ? appendBytes(arg, std::strlen(arg)) : *this;
}

String& String::concat(const String& arg)
{
	// Keep arg's body alive: arg may be this string.
	const String keep(arg);
	return appendBytes(keep.c_str(), keep.length());
}

String& String::concat(char arg)
{
	return appendBytes(&arg, 1);
}

// Appends in place when this string alone holds a body with room; otherwise moves to a body
// with twice the room, so that a string built by appending costs amortized linear time.
String& String::appendBytes(const char* p, size_t n)
{
	if (n == 0)
	{
		return *this;
	}
	const size_t len = length();
	if (m_buf && m_buf->refs.load(std::memory_order_acquire) == 1 && len + n <= m_buf->cap)
	{
		std::memcpy(m_buf->chars() + len, p, n);
		m_buf->len = len + n;
		m_buf->chars()[len + n] = '\0';
		return *this;
	}
	const size_t cap = std::max(len + n, 2 * len);
	Buf* grown = Buf::make(c_str(), len, cap);
	std::memcpy(grown->chars() + len, p, n);
	grown->len = len + n;
	grown->chars()[len + n] = '\0';
	Buf::release(m_buf);
	m_buf = grown;
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
	std::string s(VIEW);
	for (char& c : s)
	{
		c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
	}
	assignView(*this, s);
	return *this;
}

String& String::toUpperCase()
{
	std::string s(VIEW);
	for (char& c : s)
	{
		c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
	}
	assignView(*this, s);
	return *this;
}

String& String::ltrim()
{
	size_t i = 0;
	while (i < length() && isSpace(m_buf->chars()[i]))
	{
		++i;
	}
	if (i > 0)
	{
		*this = substring(i);
	}
	return *this;
}

String& String::rtrim()
{
	size_t n = length();
	while (n > 0 && isSpace(m_buf->chars()[n - 1]))
	{
		--n;
	}
	if (n < length())
	{
		*this = substring(0, n);
	}
	return *this;
}

String& String::trim()
{
	return rtrim().ltrim();
}

String& String::erase()
{
	Buf::release(m_buf);
	m_buf = nullptr;
	return *this;
}

String& String::erase(size_t idx, size_t len)
{
	if (idx < length() && len > 0)
	{
		std::string s(VIEW);
		s.erase(idx, len);
		assignView(*this, s);
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
	assignView(*this, s);
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
	const std::string_view s = VIEW;
	const std::string_view d = delims ? viewOf(delims) : std::string_view();
	size_t start = 0;
	bool afterDelimiter = false;  // an empty token is one between two delimiters
	for (size_t i = 0; i < s.size(); ++i)
	{
		if (d.find(s[i]) == std::string_view::npos)
		{
			continue;
		}
		if (i > start || returnEmptyTokens == E_RETURN_EMPTY_TOKENS)
		{
			tokens.push_back(String(s.data() + start, i - start));
		}
		if (returnDelimitersAsTokens == E_RETURN_TOKENS)
		{
			tokens.push_back(String(s[i]));
		}
		start = i + 1;
		afterDelimiter = true;
	}
	if (s.size() > start || (returnEmptyTokens == E_RETURN_EMPTY_TOKENS && afterDelimiter))
	{
		tokens.push_back(String(s.data() + start, s.size() - start));
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

#undef VIEW

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
