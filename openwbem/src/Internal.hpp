// Helpers shared by the stand-in's sources; nothing here is part of the provider API.
#pragma once

#include "OW_Exception.hpp"
#include "OW_String.hpp"
#include "OW_Array.hpp"
#include "OW_CIMFwd.hpp"
#include "OW_CIMDataType.hpp"

#include <atomic>
#include <string>

namespace OpenWBEM
{

// What members of a null CIM handle throw. Declared in no public header on purpose: callers can
// only catch it as Exception or std::exception.
OW_DECLARE_EXCEPTION(NULLCOWReference);

namespace impl
{

#define OW_STANDIN_HIDDEN __attribute__((visibility("hidden")))

// The shared body of a handle class. The count starts at 1 for the handle that made the body;
// a copied body starts a count of its own.
struct Shared
{
	Shared() : refs(1) {}
	Shared(const Shared&) : refs(1) {}
	Shared& operator=(const Shared&) = delete;
	std::atomic<int> refs;
};

template<class B> inline void acquire(B* b)
{
	if (b)
	{
		b->refs.fetch_add(1, std::memory_order_relaxed);
	}
}

template<class B> inline void release(B* b)
{
	if (b && b->refs.fetch_sub(1, std::memory_order_acq_rel) == 1)
	{
		delete b;
	}
}

template<class B> inline void assign(B*& dst, B* src)
{
	acquire(src);
	release(dst);
	dst = src;
}

[[noreturn]] OW_STANDIN_HIDDEN void throwNullHandle(const char* className);

// The body of a handle for reading; a null handle throws.
template<class B> inline const B& read(const B* b, const char* className)
{
	if (!b)
	{
		throwNullHandle(className);
	}
	return *b;
}

// The body of a handle for writing, unshared first; a null handle throws. Copying a body
// another handle still uses is safe: the other handle only reads it, and the acquire load pairs
// with the release of the last other holder's decrement before we write in place.
template<class B> inline B& write(B*& b, const char* className)
{
	if (!b)
	{
		throwNullHandle(className);
	}
	if (b->refs.load(std::memory_order_acquire) != 1)
	{
		B* own = new B(*b);
		release(b);
		b = own;
	}
	return *b;
}

inline String toOW(const std::string& s)
{
	return String(s.data(), s.size());
}

inline std::string toStd(const String& s)
{
	return std::string(s.c_str(), s.length());
}

// The CIM-XML name of a type, e.g. "uint16"; "" for CIMNULL and INVALID.
OW_STANDIN_HIDDEN const char* typeName(CIMDataType::Type t);

// A scalar value of type t read from text; throws StringConversionException on bad text and
// CIMException FAILED for a type that has no text form here.
OW_STANDIN_HIDDEN CIMValue valueFromText(CIMDataType::Type t, const String& text);
// An array value of type t built from element texts, with the same errors.
OW_STANDIN_HIDDEN CIMValue arrayFromTexts(CIMDataType::Type t, const StringArray& texts);
// The text of each element of an array value, in the scalar text form.
OW_STANDIN_HIDDEN StringArray elementTexts(const CIMValue& v);

} // namespace impl
} // namespace OpenWBEM

// The out-of-line members of an exception class declared with OW_DECLARE_EXCEPTION.
#define OW_STANDIN_DEFINE_EXCEPTION(NAME) \
NAME##Exception::NAME##Exception(const char* file, int line, const char* msg, int errorCode, \
	const ::OpenWBEM::Exception* otherException) \
	: ::OpenWBEM::Exception(::OpenWBEM::Exception::UNKNOWN_SUBCLASS_ID, file, line, msg, \
		errorCode, otherException) \
{ \
} \
NAME##Exception::NAME##Exception(const NAME##Exception& e) : ::OpenWBEM::Exception(e) {} \
NAME##Exception& NAME##Exception::operator=(const NAME##Exception& rhs) \
{ \
	::OpenWBEM::Exception::operator=(rhs); \
	return *this; \
} \
NAME##Exception::~NAME##Exception() throw() {} \
const char* NAME##Exception::type() const { return #NAME "Exception"; } \
NAME##Exception* NAME##Exception::clone() const throw() \
{ \
	return new (std::nothrow) NAME##Exception(*this); \
}

// The copy, assignment and destruction of a handle class whose body derives from impl::Shared.
#define OW_STANDIN_DEFINE_HANDLE(C) \
C::C(const C& x) : m_p(x.m_p) { impl::acquire(m_p); } \
C::~C() { impl::release(m_p); } \
C& C::operator=(const C& x) \
{ \
	impl::assign(m_p, x.m_p); \
	return *this; \
}
