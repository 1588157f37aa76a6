// IntrusiveReference<T>: a shared-ownership pointer whose count lives in the object, and
// IntrusiveCountableBase, which gives a class that count.
#ifndef OW_INTRUSIVEREFERENCE_HPP_INCLUDED
#define OW_INTRUSIVEREFERENCE_HPP_INCLUDED
#include "OW_config.h"

namespace OpenWBEM
{
class IntrusiveCountableBase;
void IntrusiveReference_add_ref(IntrusiveCountableBase* p);
void IntrusiveReference_release(IntrusiveCountableBase* p);

// The count starts at 0; every IntrusiveReference holding the object adds one, and the object
// deletes itself through its virtual destructor when the count drops back to 0. The count is
// atomic: references in different threads may share one object. Derive virtually when a class
// can reach this base by more than one path. Objects are not copyable.
class IntrusiveCountableBase
{
protected:
	IntrusiveCountableBase();
	virtual ~IntrusiveCountableBase();

private:
	IntrusiveCountableBase(const IntrusiveCountableBase&);
	IntrusiveCountableBase& operator=(const IntrusiveCountableBase&);

	int m_refCount;

public:
	friend void IntrusiveReference_add_ref(IntrusiveCountableBase* p);
	friend void IntrusiveReference_release(IntrusiveCountableBase* p);
};

// Holds one count of an object of a class for which unqualified
// IntrusiveReference_add_ref(T*) and IntrusiveReference_release(T*) are found (every class
// derived from IntrusiveCountableBase). Copies in different threads may share one object.
template<class T> class IntrusiveReference
{
	typedef IntrusiveReference this_type;
public:
	typedef T element_type;

	IntrusiveReference() : m_pObj(0) {}
	// With add_ref false the reference adopts a count already taken for it.
	IntrusiveReference(T* p, bool add_ref = true) : m_pObj(p)
	{
		if (m_pObj != 0 && add_ref)
		{
			IntrusiveReference_add_ref(m_pObj);
		}
	}
	template<class U>
	IntrusiveReference(const IntrusiveReference<U>& rhs) : m_pObj(rhs.get())
	{
		if (m_pObj != 0)
		{
			IntrusiveReference_add_ref(m_pObj);
		}
	}
	IntrusiveReference(const IntrusiveReference& rhs) : m_pObj(rhs.m_pObj)
	{
		if (m_pObj != 0)
		{
			IntrusiveReference_add_ref(m_pObj);
		}
	}
	~IntrusiveReference()
	{
		if (m_pObj != 0)
		{
			IntrusiveReference_release(m_pObj);
		}
	}

	template<class U> IntrusiveReference& operator=(const IntrusiveReference<U>& rhs)
	{
		this_type(rhs).swap(*this);
		return *this;
	}
	IntrusiveReference& operator=(const IntrusiveReference& rhs)
	{
		this_type(rhs).swap(*this);
		return *this;
	}
	IntrusiveReference& operator=(T* rhs)
	{
		this_type(rhs).swap(*this);
		return *this;
	}

	T* get() const { return m_pObj; }
	T& operator*() const { return *m_pObj; }
	T* operator->() const { return m_pObj; }

#if __cplusplus >= 201103L
	explicit operator bool() const { return m_pObj != 0; }
#else
	typedef T* this_type::*unspecified_bool_type;
	operator unspecified_bool_type() const { return m_pObj == 0 ? 0 : &this_type::m_pObj; }
#endif
	bool operator!() const { return m_pObj == 0; }

	void swap(IntrusiveReference& rhs)
	{
		T* tmp = m_pObj;
		m_pObj = rhs.m_pObj;
		rhs.m_pObj = tmp;
	}

private:
	T* m_pObj;
};

template<class T, class U>
inline bool operator==(const IntrusiveReference<T>& a, const IntrusiveReference<U>& b)
{
	return a.get() == b.get();
}
template<class T, class U>
inline bool operator!=(const IntrusiveReference<T>& a, const IntrusiveReference<U>& b)
{
	return a.get() != b.get();
}
template<class T>
inline bool operator==(const IntrusiveReference<T>& a, T* b)
{
	return a.get() == b;
}
template<class T>
inline bool operator!=(const IntrusiveReference<T>& a, T* b)
{
	return a.get() != b;
}
template<class T>
inline bool operator==(T* a, const IntrusiveReference<T>& b)
{
	return a == b.get();
}
template<class T>
inline bool operator!=(T* a, const IntrusiveReference<T>& b)
{
	return a != b.get();
}
template<class T>
inline bool operator<(const IntrusiveReference<T>& a, const IntrusiveReference<T>& b)
{
	return a.get() < b.get();
}
template<class T>
inline void swap(IntrusiveReference<T>& lhs, IntrusiveReference<T>& rhs)
{
	lhs.swap(rhs);
}

} // end namespace OpenWBEM

#endif
