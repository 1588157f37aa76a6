// AssociatorProviderInfo: filled by CppAssociatorProviderIFC::getAssociatorProviderInfo.
#ifndef OW_ASSOCIATORPROVIDERINFO_HPP_INCLUDED
#define OW_ASSOCIATORPROVIDERINFO_HPP_INCLUDED
#include "OW_config.h"
#include "OW_ProviderInfoBase.hpp"

namespace OpenWBEM
{

class AssociatorProviderInfo : public ProviderInfoBase<InstClassInfo>
{
public:
	AssociatorProviderInfo();
	virtual ~AssociatorProviderInfo();
};

} // end namespace OpenWBEM

#endif
