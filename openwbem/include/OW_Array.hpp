// Array<T>: a std::vector<T> behind a shared, copy-on-write body.
#ifndef OW_ARRAY_HPP_INCLUDED
#define OW_ARRAY_HPP_INCLUDED
#include "OW_config.h"
#include "OW_ArrayFwd.hpp"
#include "OW_Exception.hpp"
#include <vector>
#include <algorithm>

namespace OpenWBEM
{

// Thrown by Array's operator[] (and String's) for an index past the end.
OW_DECLARE_EXCEPTION(OutOfBounds);

// Copies share one body until one of them is modified, so copying is cheap and copies behave as
// independent values. The share count is atomic: copies of one array may live and change in
// different threads. One Array object is, like std::vector, not safe to change from two threads
// at once. A reference or iterator obtained through a non-const member is valid until this
// array is next copied or changed.
template<class T> class Array
{
	typedef std::vector<T> V;
public:
	typedef typename V::value_type value_type;
	typedef typename V::pointer pointer;
	typedef typename V::const_pointer const_pointer;
	typedef typename V::reference reference;
	typedef typename V::const_reference const_reference;
	typedef typename V::size_type size_type;
	typedef typename V::difference_type difference_type;
	typedef typename V::iterator iterator;
	typedef typename V::const_iterator const_iterator;
	typedef typename V::reverse_iterator reverse_iterator;
	typedef typename V::const_reverse_iterator const_reverse_iterator;

	Array() : m_body(0) {}
	explicit Array(size_type n) : m_body(new Body(V(n))) {}
	Array(size_type n, const T& value) : m_body(new Body(V(n, value))) {}
	Array(int n, const T& value) : m_body(new Body(V(size_type(n), value))) {}
	Array(long n, const T& value) : m_body(new Body(V(size_type(n), value))) {}
	template<class InputIterator>
	Array(InputIterator first, InputIterator last) : m_body(new Body(V(first, last))) {}
	Array(const Array<T>& arg) : m_body(arg.m_body) { acquire(m_body); }
	~Array() { release(m_body); }
	Array<T>& operator=(const Array<T>& arg)
	{
		Body* b = arg.m_body;
		acquire(b);
		release(m_body);
		m_body = b;
		return *this;
	}

	size_type size() const { return m_body ? m_body->v.size() : 0; }
	bool empty() const { return size() == 0; }
	size_type capacity() const { return m_body ? m_body->v.capacity() : 0; }

	// Index checked: an index past the end throws OutOfBoundsException.
	reference operator[](size_type ndx) { checkIndex(ndx); return mv()[ndx]; }
	const_reference operator[](size_type ndx) const { checkIndex(ndx); return cv()[ndx]; }
	reference front() { checkIndex(0); return mv().front(); }
	const_reference front() const { checkIndex(0); return cv().front(); }
	reference back() { checkIndex(0); return mv().back(); }
	const_reference back() const { checkIndex(0); return cv().back(); }

	iterator begin() { return mv().begin(); }
	iterator end() { return mv().end(); }
	const_iterator begin() const { return cv().begin(); }
	const_iterator end() const { return cv().end(); }
	reverse_iterator rbegin() { return mv().rbegin(); }
	reverse_iterator rend() { return mv().rend(); }
	const_reverse_iterator rbegin() const { return cv().rbegin(); }
	const_reverse_iterator rend() const { return cv().rend(); }

	void push_back(const T& x) { mv().push_back(x); }
#if __cplusplus >= 201103L
	void push_back(T&& x) { mv().push_back(static_cast<T&&>(x)); }
#endif
	void append(const T& x) { push_back(x); }
	Array<T>& operator+=(const T& x) { push_back(x); return *this; }
	void appendArray(const Array<T>& x)
	{
		// Copy first: x may be this array.
		const Array<T> src(x);
		V& v = mv();
		v.insert(v.end(), src.begin(), src.end());
	}
	iterator insert(iterator position, const T& x)
	{
		const size_type ndx = offsetOf(position);
		V& v = mv();
		return v.insert(v.begin() + ndx, x);
	}
	void insert(size_type position, const T& x)
	{
		if (position > size())
		{
			OW_THROW(OutOfBoundsException, "Array::insert: position past the end");
		}
		V& v = mv();
		v.insert(v.begin() + position, x);
	}
	template<class InputIterator>
	void insert(iterator position, InputIterator first, InputIterator last)
	{
		const size_type ndx = offsetOf(position);
		V& v = mv();
		v.insert(v.begin() + ndx, first, last);
	}
	void remove(size_type index)
	{
		checkIndex(index);
		V& v = mv();
		v.erase(v.begin() + index);
	}
	// Removes the elements [begin, end).
	void remove(size_type begin, size_type end)
	{
		if (begin > end || end > size())
		{
			OW_THROW(OutOfBoundsException, "Array::remove: range past the end");
		}
		V& v = mv();
		v.erase(v.begin() + begin, v.begin() + end);
	}
	iterator erase(iterator position)
	{
		const size_type ndx = offsetOf(position);
		V& v = mv();
		return v.erase(v.begin() + ndx);
	}
	iterator erase(iterator first, iterator last)
	{
		const size_type from = offsetOf(first);
		const size_type to = offsetOf(last);
		V& v = mv();
		return v.erase(v.begin() + from, v.begin() + to);
	}
	void pop_back() { checkIndex(0); mv().pop_back(); }
	// An array that shares nothing keeps its storage, as std::vector's clear() does.
	void clear()
	{
		if (m_body && __atomic_load_n(&m_body->refs, __ATOMIC_ACQUIRE) == 1)
		{
			m_body->v.clear();
			return;
		}
		release(m_body);
		m_body = 0;
	}
	void reserve(size_type n) { mv().reserve(n); }
	void resize(size_type n) { mv().resize(n); }
	void resize(size_type n, const T& x) { mv().resize(n, x); }
	void swap(Array<T>& x) { Body* b = m_body; m_body = x.m_body; x.m_body = b; }

private:
	struct Body
	{
		explicit Body(const V& x) : refs(1), v(x) {}
		int refs;
		V v;
	};

	static void acquire(Body* b)
	{
		if (b)
		{
			__atomic_add_fetch(&b->refs, 1, __ATOMIC_RELAXED);
		}
	}
	static void release(Body* b)
	{
		if (b && __atomic_sub_fetch(&b->refs, 1, __ATOMIC_ACQ_REL) == 0)
		{
			delete b;
		}
	}
	static const V& emptyVector()
	{
		static const V e;
		return e;
	}
	const V& cv() const { return m_body ? m_body->v : emptyVector(); }
	// The vector of a body that this array alone holds.
	V& mv()
	{
		if (!m_body)
		{
			m_body = new Body(V());
		}
		else if (__atomic_load_n(&m_body->refs, __ATOMIC_ACQUIRE) != 1)
		{
			Body* own = new Body(m_body->v);
			release(m_body);
			m_body = own;
		}
		return m_body->v;
	}
	// Positions are taken before the body is unshared: an iterator may point into a body that a
	// copy made since then shares.
	size_type offsetOf(iterator it) { return m_body ? size_type(it - m_body->v.begin()) : 0; }
	void checkIndex(size_type ndx) const
	{
		if (ndx >= size())
		{
			OW_THROW(OutOfBoundsException, "Array: index out of bounds");
		}
	}

	Body* m_body;
};

template<class T> inline bool operator==(const Array<T>& x, const Array<T>& y)
{
	return x.size() == y.size() && std::equal(x.begin(), x.end(), y.begin());
}
template<class T> inline bool operator!=(const Array<T>& x, const Array<T>& y)
{
	return !(x == y);
}
template<class T> inline bool operator<(const Array<T>& x, const Array<T>& y)
{
	return std::lexicographical_compare(x.begin(), x.end(), y.begin(), y.end());
}
template<class T> inline bool operator<=(const Array<T>& x, const Array<T>& y)
{
	return !(y < x);
}
template<class T> inline bool operator>(const Array<T>& x, const Array<T>& y)
{
	return y < x;
}
template<class T> inline bool operator>=(const Array<T>& x, const Array<T>& y)
{
	return !(x < y);
}

} // end namespace OpenWBEM

#endif
