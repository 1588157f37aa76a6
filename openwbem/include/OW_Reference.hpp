// Reference<T>: a shared-ownership pointer with a separately allocated, atomic count.
#ifndef OW_REFERENCE_HPP_INCLUDED
#define OW_REFERENCE_HPP_INCLUDED
#include "OW_config.h"

namespace OpenWBEM
{

// Takes ownership of the object given to it and deletes it when the last Reference sharing it
// goes. Copies in different threads may share one object. cast_to<U>() shares the count, so the
// object may be deleted through a U*: give such classes a virtual destructor.
template<class T> class Reference
{
public:
	typedef T element_type;

	Reference() : m_pObj(0), m_pRefCount(0) {}
	explicit Reference(T* ptr) : m_pObj(ptr), m_pRefCount(ptr ? new int(1) : 0) {}
	Reference(const Reference<T>& arg) : m_pObj(arg.m_pObj), m_pRefCount(arg.m_pRefCount)
	{
		acquire();
	}
	// U derives from T.
	template<class U>
	Reference(const Reference<U>& arg) : m_pObj(arg.m_pObj), m_pRefCount(arg.m_pRefCount)
	{
		acquire();
	}
	~Reference() { release(); }

	Reference<T>& operator=(Reference<T> arg)
	{
		swap(arg);
		return *this;
	}
	Reference<T>& operator=(T* newObj)
	{
		Reference<T>(newObj).swap(*this);
		return *this;
	}
	void swap(Reference<T>& arg)
	{
		T* p = m_pObj;
		m_pObj = arg.m_pObj;
		arg.m_pObj = p;
		int* c = m_pRefCount;
		m_pRefCount = arg.m_pRefCount;
		arg.m_pRefCount = c;
	}

	T* operator->() const { return m_pObj; }
	T& operator*() const { return *m_pObj; }
	T* getPtr() const { return m_pObj; }
	bool isNull() const { return m_pObj == 0; }

#if __cplusplus >= 201103L
	explicit operator bool() const { return m_pObj != 0; }
	bool operator!() const { return m_pObj == 0; }
#else
	typedef T* Reference::*safe_bool;
	operator safe_bool() const { return m_pObj ? &Reference::m_pObj : 0; }
	safe_bool operator!() const { return m_pObj ? 0 : &Reference::m_pObj; }
#endif

	// A reference to the same object as a U (dynamic_cast), sharing this count; null when the
	// object is not a U.
	template<class U> Reference<U> cast_to() const
	{
		U* p = dynamic_cast<U*>(m_pObj);
		return p ? Reference<U>(p, m_pRefCount) : Reference<U>();
	}

private:
	template<class U> friend class Reference;

	Reference(T* ptr, int* refCount) : m_pObj(ptr), m_pRefCount(refCount) { acquire(); }
	void acquire()
	{
		if (m_pRefCount)
		{
			__atomic_add_fetch(m_pRefCount, 1, __ATOMIC_RELAXED);
		}
	}
	void release()
	{
		if (m_pRefCount && __atomic_sub_fetch(m_pRefCount, 1, __ATOMIC_ACQ_REL) == 0)
		{
			delete m_pRefCount;
			delete m_pObj;
		}
		m_pRefCount = 0;
		m_pObj = 0;
	}

	T* m_pObj;
	int* m_pRefCount;
};

template<class T, class U>
inline bool operator==(const Reference<T>& a, const Reference<U>& b)
{
	return a.getPtr() == b.getPtr();
}
template<class T, class U>
inline bool operator!=(const Reference<T>& a, const Reference<U>& b)
{
	return a.getPtr() != b.getPtr();
}
template<class T, class U>
inline bool operator<(const Reference<T>& a, const Reference<U>& b)
{
	return a.getPtr() < b.getPtr();
}

} // end namespace OpenWBEM

#endif
