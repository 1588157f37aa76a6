// The provider base interfaces, their registration info and the array-building handlers.
#include "OW_CppProviderBaseIFC.hpp"
#include "OW_CppInstanceProviderIFC.hpp"
#include "OW_CppMethodProviderIFC.hpp"
#include "OW_CppAssociatorProviderIFC.hpp"
#include "OW_InstanceProviderInfo.hpp"
#include "OW_AssociatorProviderInfo.hpp"
#include "OW_MethodProviderInfo.hpp"
#include "OW_ResultHandlers.hpp"
#include "OW_CIMInstance.hpp"
#include "OW_CIMObjectPath.hpp"
#include "OW_CIMClass.hpp"

namespace OpenWBEM
{

CppProviderBaseIFC::CppProviderBaseIFC() : IntrusiveCountableBase(), m_persist(false)
{
}

CppProviderBaseIFC::CppProviderBaseIFC(const CppProviderBaseIFC& arg)
	: IntrusiveCountableBase(), m_persist(arg.m_persist)
{
}

CppProviderBaseIFC::~CppProviderBaseIFC()
{
}

void CppProviderBaseIFC::initialize(const ProviderEnvironmentIFCRef&)
{
}

CppInstanceProviderIFC* CppProviderBaseIFC::getInstanceProvider()
{
	return nullptr;
}

CppSecondaryInstanceProviderIFC* CppProviderBaseIFC::getSecondaryInstanceProvider()
{
	return nullptr;
}

CppMethodProviderIFC* CppProviderBaseIFC::getMethodProvider()
{
	return nullptr;
}

CppAssociatorProviderIFC* CppProviderBaseIFC::getAssociatorProvider()
{
	return nullptr;
}

CppIndicationExportProviderIFC* CppProviderBaseIFC::getIndicationExportProvider()
{
	return nullptr;
}

CppPolledProviderIFC* CppProviderBaseIFC::getPolledProvider()
{
	return nullptr;
}

CppIndicationProviderIFC* CppProviderBaseIFC::getIndicationProvider()
{
	return nullptr;
}

bool CppProviderBaseIFC::canUnload()
{
	return true;
}

bool CppProviderBaseIFC::getPersist() const
{
	return m_persist;
}

void CppProviderBaseIFC::setPersist(bool persist)
{
	m_persist = persist;
}

namespace
{

// Turns each path that enumInstanceNames yields into the instance getInstance returns for it.
class InstanceForEachName : public CIMObjectPathResultHandlerIFC
{
public:
	InstanceForEachName(CppInstanceProviderIFC& provider, const ProviderEnvironmentIFCRef& env,
		const String& ns, CIMInstanceResultHandlerIFC& result,
		WBEMFlags::ELocalOnlyFlag localOnly,
		WBEMFlags::EIncludeQualifiersFlag includeQualifiers,
		WBEMFlags::EIncludeClassOriginFlag includeClassOrigin,
		const StringArray* propertyList, const CIMClass& cimClass)
		: m_provider(provider), m_env(env), m_ns(ns), m_result(result), m_localOnly(localOnly)
		, m_includeQualifiers(includeQualifiers), m_includeClassOrigin(includeClassOrigin)
		, m_propertyList(propertyList), m_cimClass(cimClass)
	{
	}

protected:
	void doHandle(const CIMObjectPath& path) override
	{
		m_result.handle(m_provider.getInstance(m_env, m_ns, path, m_localOnly,
			m_includeQualifiers, m_includeClassOrigin, m_propertyList, m_cimClass));
	}

private:
	CppInstanceProviderIFC& m_provider;
	const ProviderEnvironmentIFCRef& m_env;
	const String& m_ns;
	CIMInstanceResultHandlerIFC& m_result;
	WBEMFlags::ELocalOnlyFlag m_localOnly;
	WBEMFlags::EIncludeQualifiersFlag m_includeQualifiers;
	WBEMFlags::EIncludeClassOriginFlag m_includeClassOrigin;
	const StringArray* m_propertyList;
	const CIMClass& m_cimClass;
};

} // namespace

CppInstanceProviderIFC::CppInstanceProviderIFC()
{
}

CppInstanceProviderIFC::~CppInstanceProviderIFC()
{
}

void CppInstanceProviderIFC::getInstanceProviderInfo(InstanceProviderInfo&)
{
}

void CppInstanceProviderIFC::enumInstances(
	const ProviderEnvironmentIFCRef& env,
	const String& ns,
	const String& className,
	CIMInstanceResultHandlerIFC& result,
	WBEMFlags::ELocalOnlyFlag localOnly,
	WBEMFlags::EDeepFlag,
	WBEMFlags::EIncludeQualifiersFlag includeQualifiers,
	WBEMFlags::EIncludeClassOriginFlag includeClassOrigin,
	const StringArray* propertyList,
	const CIMClass&,
	const CIMClass& cimClass)
{
	InstanceForEachName handler(*this, env, ns, result, localOnly, includeQualifiers,
		includeClassOrigin, propertyList, cimClass);
	enumInstanceNames(env, ns, className, handler, cimClass);
}

CppInstanceProviderIFC* CppInstanceProviderIFC::getInstanceProvider()
{
	return this;
}

CppMethodProviderIFC::CppMethodProviderIFC()
{
}

CppMethodProviderIFC::~CppMethodProviderIFC()
{
}

void CppMethodProviderIFC::getMethodProviderInfo(MethodProviderInfo&)
{
}

CppMethodProviderIFC* CppMethodProviderIFC::getMethodProvider()
{
	return this;
}

CppAssociatorProviderIFC::CppAssociatorProviderIFC()
{
}

CppAssociatorProviderIFC::~CppAssociatorProviderIFC()
{
}

void CppAssociatorProviderIFC::getAssociatorProviderInfo(AssociatorProviderInfo&)
{
}

CppAssociatorProviderIFC* CppAssociatorProviderIFC::getAssociatorProvider()
{
	return this;
}

InstClassInfo::InstClassInfo(const String& className_) : className(className_)
{
}

InstClassInfo::InstClassInfo(const String& className_, const StringArray& namespaces_)
	: className(className_), namespaces(namespaces_)
{
}

InstClassInfo::InstClassInfo(const InstClassInfo& x)
	: className(x.className), namespaces(x.namespaces)
{
}

InstClassInfo& InstClassInfo::operator=(const InstClassInfo& x)
{
	className = x.className;
	namespaces = x.namespaces;
	return *this;
}

InstClassInfo::~InstClassInfo()
{
}

InstanceProviderInfo::InstanceProviderInfo()
{
}

InstanceProviderInfo::~InstanceProviderInfo()
{
}

AssociatorProviderInfo::AssociatorProviderInfo()
{
}

AssociatorProviderInfo::~AssociatorProviderInfo()
{
}

MethodProviderInfo::ClassInfo::ClassInfo(const String& className_) : className(className_)
{
}

MethodProviderInfo::ClassInfo::ClassInfo(const String& className_,
	const StringArray& namespaces_, const StringArray& methods_)
	: className(className_), namespaces(namespaces_), methods(methods_)
{
}

MethodProviderInfo::ClassInfo::ClassInfo(const ClassInfo& x)
	: className(x.className), namespaces(x.namespaces), methods(x.methods)
{
}

MethodProviderInfo::ClassInfo& MethodProviderInfo::ClassInfo::operator=(const ClassInfo& x)
{
	className = x.className;
	namespaces = x.namespaces;
	methods = x.methods;
	return *this;
}

MethodProviderInfo::ClassInfo::~ClassInfo()
{
}

MethodProviderInfo::MethodProviderInfo()
{
}

MethodProviderInfo::MethodProviderInfo(const MethodProviderInfo& x)
	: m_name(x.m_name), m_classInfos(x.m_classInfos)
{
}

MethodProviderInfo& MethodProviderInfo::operator=(const MethodProviderInfo& x)
{
	m_name = x.m_name;
	m_classInfos = x.m_classInfos;
	return *this;
}

MethodProviderInfo::~MethodProviderInfo()
{
}

void MethodProviderInfo::addInstrumentedClass(const String& className)
{
	m_classInfos.push_back(ClassInfo(className));
}

void MethodProviderInfo::addInstrumentedClass(const ClassInfo& classInfo)
{
	m_classInfos.push_back(classInfo);
}

const MethodProviderInfo::ClassInfoArray& MethodProviderInfo::getClassInfo() const
{
	return m_classInfos;
}

void MethodProviderInfo::setProviderName(const String& name)
{
	m_name = name;
}

String MethodProviderInfo::getProviderName() const
{
	return m_name;
}

CIMInstanceArrayBuilder::~CIMInstanceArrayBuilder()
{
}

void CIMInstanceArrayBuilder::doHandle(const CIMInstance& x)
{
	m_a.push_back(x);
}

CIMObjectPathArrayBuilder::~CIMObjectPathArrayBuilder()
{
}

void CIMObjectPathArrayBuilder::doHandle(const CIMObjectPath& x)
{
	m_a.push_back(x);
}

} // namespace OpenWBEM
