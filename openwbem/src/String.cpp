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
#include <charconv>
#include <new>

namespace OpenWBEM
{

// A long text's body. The bytes live right behind the header, so a long string costs one
// allocation.
struct String::Buf
{
	std::atomic<int> refs;
	size_t len;
	size_t cap;

	char* chars() { return reinterpret_cast<char*>(this + 1); }
	const char* chars() const { return reinterpret_cast<const char*>(this + 1); }

	// A body holding n bytes from s and room for cap.
	static Buf* make(const char* s, size_t n, size_t cap)
	{
		void* mem = ::operator new(sizeof(Buf) + cap + 1);
		Buf* b = static_cast<Buf*>(mem);
		new (&b->refs) std::atomic<int>(1);
		b->len = n;
		b->cap = cap;
		std::memcpy(b->chars(), s, n);
		b->chars()[n] = '\0';
		return b;
	}

	static void acquire(Buf* b)
	{
		b->refs.fetch_add(1, std::memory_order_relaxed);
	}
	static void release(Buf* b)
	{
		if (b->refs.fetch_sub(1, std::memory_order_acq_rel) == 1)
		{
			b->refs.~atomic();
			::operator delete(b);
		}
	}
	bool unshared() const { return refs.load(std::memory_order_acquire) == 1; }

	// The layout in the header relies on these; they hold for 4- and 8-byte pointers alike.
	static_assert(sizeof(String) == REP_SIZE, "String is its representation and nothing more");
	static_assert(sizeof(Buf*) < static_cast<size_t>(TAG), "the pointer and the tag overlap");
	static_assert(INLINE_MAX >= 23, "names and short values must fit inside a String");
	static_assert(INLINE_MAX < HEAP, "an inline length must never read as the heap tag");
	static_assert(alignof(String) >= alignof(Buf*), "the stored pointer must be aligned");
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

std::string_view viewOf(const String& s)
{
	return std::string_view(s.c_str(), s.length());
}

} // namespace

// --- The representation. Nothing below this section looks at m_rep.

String::Buf* String::heap() const
{
	Buf* b;
	std::memcpy(&b, m_rep, sizeof b);
	return b;
}

void String::setHeap(Buf* b)
{
	std::memcpy(m_rep, &b, sizeof b);
	m_rep[TAG] = static_cast<char>(HEAP);
}

const char* String::data() const
{
	return isHeap() ? heap()->chars() : m_rep;
}

size_t String::size() const
{
	return isHeap() ? heap()->len : static_cast<unsigned char>(m_rep[TAG]);
}

char* String::mutableData()
{
	if (!isHeap())
	{
		return m_rep;
	}
	Buf* b = heap();
	if (!b->unshared())
	{
		Buf* own = Buf::make(b->chars(), b->len, b->len);
		Buf::release(b);
		setHeap(own);
		b = own;
	}
	return b->chars();
}

void String::assign(const char* p, size_t n)
{
	if (n <= INLINE_MAX)
	{
		// Read the old body's pointer before the text overwrites it; p may point into that body.
		Buf* old = isHeap() ? heap() : nullptr;
		if (n)
		{
			std::memmove(m_rep, p, n);
		}
		m_rep[n] = '\0';
		m_rep[TAG] = static_cast<char>(n);
		if (old)
		{
			Buf::release(old);
		}
		return;
	}
	if (isHeap())
	{
		Buf* b = heap();
		if (b->unshared() && n <= b->cap)
		{
			std::memmove(b->chars(), p, n);
			b->chars()[n] = '\0';
			b->len = n;
			return;
		}
		Buf* fresh = Buf::make(p, n, n);
		Buf::release(b);
		setHeap(fresh);
		return;
	}
	setHeap(Buf::make(p, n, n));
}

// Appends in place when there is room (inside the object, or in a body this string alone holds);
// otherwise moves to a body with twice the room, so that a string built by appending costs
// amortized linear time. p may point into this string's own text: the bytes it points at are
// never written before they are copied, and an old body is released only after that.
String& String::appendBytes(const char* p, size_t n)
{
	if (n == 0)
	{
		return *this;
	}
	const size_t len = size();
	const size_t total = len + n;
	if (total <= INLINE_MAX)
	{
		// A text this short is never in a body, so this string is inline too.
		std::memmove(m_rep + len, p, n);
		m_rep[total] = '\0';
		m_rep[TAG] = static_cast<char>(total);
		return *this;
	}
	Buf* old = isHeap() ? heap() : nullptr;
	if (old && old->unshared() && total <= old->cap)
	{
		std::memmove(old->chars() + len, p, n);
		old->chars()[total] = '\0';
		old->len = total;
		return *this;
	}
	Buf* grown = Buf::make(data(), len, std::max(total, 2 * len));
	std::memcpy(grown->chars() + len, p, n);
	grown->chars()[total] = '\0';
	grown->len = total;
	if (old)
	{
		Buf::release(old);
	}
	setHeap(grown);
	return *this;
}

String::String() : m_rep()
{
}

String::String(const String& arg)
{
	std::memcpy(m_rep, arg.m_rep, REP_SIZE);
	if (isHeap())
	{
		Buf::acquire(heap());
	}
}

String::String(String&& arg) noexcept
{
	std::memcpy(m_rep, arg.m_rep, REP_SIZE);
	arg.m_rep[0] = '\0';
	arg.m_rep[TAG] = 0;
}

String& String::operator=(String&& arg) noexcept
{
	if (this != &arg)
	{
		if (isHeap())
		{
			Buf::release(heap());
		}
		std::memcpy(m_rep, arg.m_rep, REP_SIZE);
		arg.m_rep[0] = '\0';
		arg.m_rep[TAG] = 0;
	}
	return *this;
}

String::~String()
{
	if (isHeap())
	{
		Buf::release(heap());
	}
}

String& String::operator=(const String& arg)
{
	if (this != &arg)
	{
		if (arg.isHeap())
		{
			Buf::acquire(arg.heap());
		}
		if (isHeap())
		{
			Buf::release(heap());
		}
		std::memcpy(m_rep, arg.m_rep, REP_SIZE);
	}
	return *this;
}

String& String::erase()
{
	assign(nullptr, 0);
	return *this;
}

// --- Everything else goes through the members above.

namespace
{

// Decimal text of any integer, without going through the heap.
template<class T> void assignDecimal(String& s, T val)
{
	char text[24];   // the longest is "-9223372036854775808"
	const std::to_chars_result r = std::to_chars(text, text + sizeof text, val);
	s = String(text, static_cast<size_t>(r.ptr - text));
}

} // namespace

String::String(const char* str) : m_rep()
{
	if (str)
	{
		assign(str, std::strlen(str));
	}
}

String::String(const char* str, size_t len) : m_rep()
{
	if (str)
	{
		assign(str, len);
	}
}

String::String(Int32 val) : m_rep()
{
	assignDecimal(*this, val);
}

String::String(UInt32 val) : m_rep()
{
	assignDecimal(*this, val);
}

String::String(Int64 val) : m_rep()
{
	assignDecimal(*this, val);
}

String::String(UInt64 val) : m_rep()
{
	assignDecimal(*this, val);
}

String::String(Real64 val) : m_rep()
{
	std::ostringstream os;
	os << val;
	const std::string text = os.str();
	assign(text.data(), text.size());
}

String::String(Bool parm) : m_rep()
{
	const std::string_view text = parm ? "true" : "false";
	assign(text.data(), text.size());
}

String::String(char c) : m_rep()
{
	if (c)
	{
		assign(&c, 1);
	}
}

String::String(const CIMObjectPath& cop) : m_rep()
{
	*this = cop.toString();
}

size_t String::length() const
{
	return size();
}

bool String::empty() const
{
	return size() == 0;
}

const char* String::c_str() const
{
	return data();
}

char String::charAt(size_t ndx) const
{
	return ndx < size() ? data()[ndx] : '\0';
}

const char& String::operator[](size_t ndx) const
{
	if (ndx >= size())
	{
		OW_THROW(OutOfBoundsException, "String index out of bounds");
	}
	return data()[ndx];
}

char& String::operator[](size_t ndx)
{
	if (ndx >= size())
	{
		OW_THROW(OutOfBoundsException, "String index out of bounds");
	}
	// The caller may write through the reference.
	return mutableData()[ndx];
}

int String::compareTo(const String& arg) const
{
	return viewOf(*this).compare(viewOf(arg));
}

int String::compareTo(const char* arg) const
{
	return viewOf(*this).compare(viewOf(arg));
}

int String::compareToIgnoreCase(const String& arg) const
{
	return compareNoCase(data(), size(), arg.data(), arg.size());
}

int String::compareToIgnoreCase(const char* arg) const
{
	return compareNoCase(data(), size(), arg, std::strlen(arg));
}

bool String::equals(const String& arg) const
{
	// Copies of one long text share their body: no need to look at the bytes.
	if (isHeap() && arg.isHeap() && heap() == arg.heap())
	{
		return true;
	}
	const size_t n = size();
	return n == arg.size() && std::memcmp(data(), arg.data(), n) == 0;
}

bool String::equals(const char* arg) const
{
	return viewOf(*this) == viewOf(arg);
}

bool String::equalsIgnoreCase(const String& arg) const
{
	return size() == arg.size() && compareNoCase(data(), size(), arg.data(), arg.size()) == 0;
}

bool String::equalsIgnoreCase(const char* arg) const
{
	const size_t n = std::strlen(arg);
	return size() == n && compareNoCase(data(), n, arg, n) == 0;
}

bool String::startsWith(const char* arg, EIgnoreCaseFlag ignorecase) const
{
	const size_t n = std::strlen(arg);
	if (n > size())
	{
		return false;
	}
	return ignorecase == E_CASE_INSENSITIVE ? compareNoCase(data(), n, arg, n) == 0
		: std::memcmp(data(), arg, n) == 0;
}

bool String::startsWith(const String& arg, EIgnoreCaseFlag ignorecase) const
{
	return startsWith(arg.c_str(), ignorecase);
}

bool String::startsWith(char arg) const
{
	return !empty() && data()[0] == arg;
}

bool String::endsWith(const char* arg, EIgnoreCaseFlag ignorecase) const
{
	const size_t n = std::strlen(arg);
	if (n > size())
	{
		return false;
	}
	const char* tail = data() + (size() - n);
	return ignorecase == E_CASE_INSENSITIVE ? compareNoCase(tail, n, arg, n) == 0
		: std::memcmp(tail, arg, n) == 0;
}

bool String::endsWith(const String& arg, EIgnoreCaseFlag ignorecase) const
{
	return endsWith(arg.c_str(), ignorecase);
}

bool String::endsWith(char arg) const
{
	return !empty() && data()[size() - 1] == arg;
}

size_t String::indexOf(char ch, size_t fromIndex) const
{
	return viewOf(*this).find(ch, fromIndex);
}

size_t String::indexOf(const char* arg, size_t fromIndex) const
{
	return viewOf(*this).find(viewOf(arg), fromIndex);
}

size_t String::indexOf(const String& arg, size_t fromIndex) const
{
	return viewOf(*this).find(viewOf(arg), fromIndex);
}

size_t String::lastIndexOf(char ch, size_t fromIndex) const
{
	return viewOf(*this).rfind(ch, fromIndex);
}

size_t String::lastIndexOf(const char* arg, size_t fromIndex) const
{
	return viewOf(*this).rfind(viewOf(arg), fromIndex);
}

size_t String::lastIndexOf(const String& arg, size_t fromIndex) const
{
	return viewOf(*this).rfind(viewOf(arg), fromIndex);
}

String String::substring(size_t beginIndex, size_t len) const
{
	const size_t n = size();
	if (beginIndex >= n)
	{
		return String();
	}
	if (beginIndex == 0 && len >= n)
	{
		return *this;
	}
	return String(data() + beginIndex, std::min(len, n - beginIndex));
}

String& String::concat(const char* arg)
{
	return arg ? appendBytes(arg, std::strlen(arg)) : *this;
}

String& String::concat(const String& arg)
{
	// arg may be this string: appendBytes copes with its own text as the source.
	return appendBytes(arg.data(), arg.size());
}

String& String::concat(char arg)
{
	return appendBytes(&arg, 1);
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
	const size_t n = size();
	char* p = n ? mutableData() : nullptr;
	for (size_t i = 0; i < n; ++i)
	{
		p[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(p[i])));
	}
	return *this;
}

String& String::toUpperCase()
{
	const size_t n = size();
	char* p = n ? mutableData() : nullptr;
	for (size_t i = 0; i < n; ++i)
	{
		p[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(p[i])));
	}
	return *this;
}

String& String::ltrim()
{
	const char* p = data();
	const size_t n = size();
	size_t i = 0;
	while (i < n && isSpace(p[i]))
	{
		++i;
	}
	if (i > 0)
	{
		assign(p + i, n - i);
	}
	return *this;
}

String& String::rtrim()
{
	const char* p = data();
	size_t n = size();
	while (n > 0 && isSpace(p[n - 1]))
	{
		--n;
	}
	if (n < size())
	{
		assign(p, n);
	}
	return *this;
}

String& String::trim()
{
	return rtrim().ltrim();
}

String& String::erase(size_t idx, size_t len)
{
	const size_t n = size();
	if (idx < n && len > 0)
	{
		const size_t cut = std::min(len, n - idx);
		char* p = mutableData();
		std::memmove(p + idx, p + idx + cut, n - idx - cut);
		// Shortens in place, or moves a text that now fits back inside the object.
		assign(p, n - cut);
	}
	return *this;
}

int String::format(const char* fmt, ...)
{
	va_list ap;
	va_start(ap, fmt);
	va_list ap2;
	va_copy(ap2, ap);
	// Most results fit inside the object: try a buffer of that size first. The arguments may
	// point into this string, so nothing is replaced until the text is complete.
	char shortText[INLINE_MAX + 1];
	const int n = std::vsnprintf(shortText, sizeof shortText, fmt, ap);
	va_end(ap);
	if (n < 0)
	{
		va_end(ap2);
		erase();
		return 0;
	}
	if (static_cast<size_t>(n) <= INLINE_MAX)
	{
		va_end(ap2);
		assign(shortText, static_cast<size_t>(n));
		return n;
	}
	std::string text(static_cast<size_t>(n) + 1, '\0');
	std::vsnprintf(&text[0], text.size(), fmt, ap2);
	va_end(ap2);
	assign(text.data(), static_cast<size_t>(n));
	return n;
}

String String::toString() const
{
	return *this;
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
