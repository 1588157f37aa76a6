// InstanceProviderInfo: filled by CppInstanceProviderIFC::getInstanceProviderInfo.
#ifndef OW_INSTANCEPROVIDERINFO_HPP_INCLUDED
#define OW_INSTANCEPROVIDERINFO_HPP_INCLUDED
#include "OW_config.h"
#include "OW_ProviderInfoBase.hpp"

namespace OpenWBEM
{

class InstanceProviderInfo : public ProviderInfoBase<InstClassInfo>
{
public:
	InstanceProviderInfo();
	virtual ~InstanceProviderInfo();
};

} // end namespace OpenWBEM

#endif
