// ProviderInfoBase and InstClassInfo: what a provider's registration hook tells the object
// manager about the classes it instruments.
#ifndef OW_PROVIDERINFOBASE_HPP_INCLUDED
#define OW_PROVIDERINFOBASE_HPP_INCLUDED
#include "OW_config.h"
#include "OW_String.hpp"
#include "OW_Array.hpp"

namespace OpenWBEM
{

// One instrumented class, in the namespaces listed (an empty list means every namespace).
struct InstClassInfo
{
	explicit InstClassInfo(const String& className);
	InstClassInfo(const String& className, const StringArray& namespaces);
	InstClassInfo(const InstClassInfo& x);
	InstClassInfo& operator=(const InstClassInfo& x);
	~InstClassInfo();

	String className;
	StringArray namespaces;
};

// Filled by one registration hook call on one thread; a plain value otherwise.
template<class ClassInfoT> class ProviderInfoBase
{
public:
	typedef ClassInfoT ClassInfo;
	typedef Array<ClassInfoT> ClassInfoArray;

	virtual ~ProviderInfoBase() {}
	// In every namespace.
	void addInstrumentedClass(const String& className)
	{
		m_classInfos.push_back(ClassInfoT(className));
	}
	void addInstrumentedClass(const ClassInfoT& classInfo) { m_classInfos.push_back(classInfo); }
	const ClassInfoArray& getClassInfo() const { return m_classInfos; }
	void setProviderName(const String& name) { m_name = name; }
	String getProviderName() const { return m_name; }

private:
	String m_name;
	ClassInfoArray m_classInfos;
};

} // end namespace OpenWBEM

#endif
