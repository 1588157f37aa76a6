// MethodProviderInfo: filled by CppMethodProviderIFC::getMethodProviderInfo.
#ifndef OW_METHODPROVIDERINFO_HPP_INCLUDED
#define OW_METHODPROVIDERINFO_HPP_INCLUDED
#include "OW_config.h"
#include "OW_String.hpp"
#include "OW_Array.hpp"

namespace OpenWBEM
{

// Filled by one registration hook call on one thread; a plain value otherwise.
class MethodProviderInfo
{
public:
	// One class whose methods are instrumented, in the namespaces listed, for the methods
	// listed (empty lists mean all).
	struct ClassInfo
	{
		explicit ClassInfo(const String& className);
		ClassInfo(const String& className, const StringArray& namespaces,
			const StringArray& methods);
		ClassInfo(const ClassInfo& x);
		ClassInfo& operator=(const ClassInfo& x);
		~ClassInfo();

		String className;
		StringArray namespaces;
		StringArray methods;
	};
	typedef Array<ClassInfo> ClassInfoArray;

	MethodProviderInfo();
	MethodProviderInfo(const MethodProviderInfo& x);
	MethodProviderInfo& operator=(const MethodProviderInfo& x);
	~MethodProviderInfo();

	// Every method, in every namespace.
	void addInstrumentedClass(const String& className);
	void addInstrumentedClass(const ClassInfo& classInfo);
	const ClassInfoArray& getClassInfo() const;
	void setProviderName(const String& name);
	String getProviderName() const;

private:
	String m_name;
	ClassInfoArray m_classInfos;
};

} // end namespace OpenWBEM

#endif
