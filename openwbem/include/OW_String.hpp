// String: the provider API's text type, a byte string held in the object when short and in a
// shared, copy-on-write body when long.
#ifndef OW_STRING_HPP_INCLUDED
#define OW_STRING_HPP_INCLUDED
#include "OW_config.h"
#include "OW_Types.hpp"
#include "OW_ArrayFwd.hpp"
#include "OW_Exception.hpp"
#include "OW_Bool.hpp"
#include <iosfwd>

namespace OpenWBEM
{
class CIMObjectPath;

// Thrown by the toXxx() conversions on text that is not a number (or boolean) of that type.
OW_DECLARE_EXCEPTION(StringConversion);

// A String is a value: a copy is independent of the string it was made from, and changing one
// never shows in the other. Short texts live inside the String object itself; long texts live in
// one body shared by the copies until one of them is changed (so copying a long text stays
// cheap). The share count is atomic, so copies of one string may live and change in different
// threads. One String object is not safe to change from two threads at once. Lengths and indexes
// count bytes. Comparisons without "IgnoreCase" are exact and case-sensitive.
class String
{
public:
	enum EIgnoreCaseFlag { E_CASE_SENSITIVE, E_CASE_INSENSITIVE };

	String();
	// A null pointer gives the empty string.
	String(const char* str);
	explicit String(const char* str, size_t len);
	String(const String& arg);
#if __cplusplus >= 201103L
	// Takes the text over and leaves arg empty.
	String(String&& arg) noexcept;
	String& operator=(String&& arg) noexcept;
#endif
	// Decimal text. UInt16, UInt8 and bool promote to Int32 (so String(true) is "1").
	explicit String(Int32 val);
	explicit String(UInt32 val);
	explicit String(Int64 val);
	explicit String(UInt64 val);
	// Six significant digits, as an ostream prints a double by default.
	explicit String(Real64 val);
	// "true" or "false".
	explicit String(Bool parm);
	// One character; '\0' gives the empty string.
	explicit String(char c);
	// The path's toString().
	explicit String(const CIMObjectPath& cop);
	~String();

	String& operator=(const String& arg);

	size_t length() const;
	bool empty() const;
	// Never null; "" for the empty string. Valid until this string is next changed or destroyed.
	const char* c_str() const;
	// '\0' for an index past the end.
	char charAt(size_t ndx) const;
	// An index past the end throws OutOfBoundsException.
	const char& operator[](size_t ndx) const;
	char& operator[](size_t ndx);

	// strcmp order (negative, zero, positive). A null pointer is not allowed.
	int compareTo(const String& arg) const;
	int compareTo(const char* arg) const;
	int compareToIgnoreCase(const String& arg) const;
	int compareToIgnoreCase(const char* arg) const;
	bool equals(const String& arg) const;
	bool equals(const char* arg) const;
	bool equalsIgnoreCase(const String& arg) const;
	bool equalsIgnoreCase(const char* arg) const;

	bool startsWith(const char* arg, EIgnoreCaseFlag ignorecase = E_CASE_SENSITIVE) const;
	bool startsWith(const String& arg, EIgnoreCaseFlag ignorecase = E_CASE_SENSITIVE) const;
	bool startsWith(char arg) const;
	bool endsWith(const char* arg, EIgnoreCaseFlag ignorecase = E_CASE_SENSITIVE) const;
	bool endsWith(const String& arg, EIgnoreCaseFlag ignorecase = E_CASE_SENSITIVE) const;
	bool endsWith(char arg) const;

	// Positions, or npos when not found. lastIndexOf looks for a match starting at or before
	// fromIndex.
	size_t indexOf(char ch, size_t fromIndex = 0) const;
	size_t indexOf(const char* arg, size_t fromIndex = 0) const;
	size_t indexOf(const String& arg, size_t fromIndex = 0) const;
	size_t lastIndexOf(char ch, size_t fromIndex = npos) const;
	size_t lastIndexOf(const char* arg, size_t fromIndex = npos) const;
	size_t lastIndexOf(const String& arg, size_t fromIndex = npos) const;

	// Empty when beginIndex is past the end; length is clipped to what is there.
	String substring(size_t beginIndex, size_t length = npos) const;

	String& concat(const char* arg);
	String& concat(const String& arg);
	String& concat(char arg);
	// An integer argument converts to char here: str += 65 appends "A".
	String& operator+=(const String& arg);
	String& operator+=(const char* arg);
	String& operator+=(char arg);

	// The following change this string in place and return it.
	String& toLowerCase();
	String& toUpperCase();
	String& ltrim();
	String& rtrim();
	String& trim();
	String& erase();
	String& erase(size_t idx, size_t len = npos);

	// printf-style; replaces the contents and returns the new length.
	int format(const char* fmt, ...);
	String toString() const;

	// strtol-style: leading white space and a sign are accepted; an empty text, any trailing
	// character or a value outside the type's range throws StringConversionException (so does a
	// minus sign on a non-zero value for the unsigned types).
	UInt8 toUInt8(int base = 10) const;
	Int8 toInt8(int base = 10) const;
	UInt16 toUInt16(int base = 10) const;
	Int16 toInt16(int base = 10) const;
	UInt32 toUInt32(int base = 10) const;
	Int32 toInt32(int base = 10) const;
	UInt64 toUInt64(int base = 10) const;
	Int64 toInt64(int base = 10) const;
	Real32 toReal32() const;
	Real64 toReal64() const;
	// "true" or "false" in any case; anything else throws StringConversionException.
	bool toBool() const;

	static const size_t npos = ~0;

private:
	struct Buf;

	// Texts of up to INLINE_MAX bytes are kept in m_rep, NUL-terminated, with their length in
	// m_rep[TAG]; longer ones in a Buf whose pointer is stored at the start of m_rep, with
	// m_rep[TAG] == HEAP. Every member reads and writes the text through the helpers below, so
	// only they know which form a string is in. A string is in the Buf form only when its text
	// is longer than INLINE_MAX; shortening it brings it back inside.
	enum { REP_SIZE = 32, TAG = REP_SIZE - 1, INLINE_MAX = TAG - 1, HEAP = 0xFF };

	bool isHeap() const { return static_cast<unsigned char>(m_rep[TAG]) == HEAP; }
	Buf* heap() const;
	void setHeap(Buf* b);
	// The text, NUL-terminated.
	const char* data() const;
	size_t size() const;
	// The text for writing in place: the body is first made this string's alone.
	char* mutableData();
	// Replaces the text with n bytes from p; p may point into this string's own text.
	void assign(const char* p, size_t n);
	String& appendBytes(const char* p, size_t n);

	union
	{
		Buf* m_alignAsPointer;   // never read: gives m_rep the alignment of the stored pointer
		char m_rep[REP_SIZE];
	};
};

String operator+(const String& s1, const String& s2);
String operator+(const char* p, const String& s);
String operator+(const String& s, const char* p);
String operator+(char c, const String& s);
String operator+(const String& s, char c);

bool operator==(const String& s1, const String& s2);
bool operator==(const String& s, const char* p);
bool operator==(const char* p, const String& s);
bool operator!=(const String& s1, const String& s2);
bool operator!=(const String& s, const char* p);
bool operator!=(const char* p, const String& s);
bool operator<(const String& s1, const String& s2);
bool operator<(const String& s, const char* p);
bool operator<(const char* p, const String& s);
bool operator<=(const String& s1, const String& s2);
bool operator<=(const String& s, const char* p);
bool operator<=(const char* p, const String& s);
bool operator>(const String& s1, const String& s2);
bool operator>(const String& s, const char* p);
bool operator>(const char* p, const String& s);
bool operator>=(const String& s1, const String& s2);
bool operator>=(const String& s, const char* p);
bool operator>=(const char* p, const String& s);

std::ostream& operator<<(std::ostream& ostr, const String& arg);

} // end namespace OpenWBEM

#endif
