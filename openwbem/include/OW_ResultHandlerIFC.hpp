// ResultHandlerIFC<T>: how a provider hands results to the object manager, one at a time.
#ifndef OW_RESULTHANDLERIFC_HPP_INCLUDED
#define OW_RESULTHANDLERIFC_HPP_INCLUDED
#include "OW_config.h"
#include "OW_CIMFwd.hpp"

namespace OpenWBEM
{

// Providers call handle(); hosts override doHandle(). A handler is used by the one call it was
// passed to, on that call's thread.
template<typename T> class ResultHandlerIFC
{
public:
	void handle(const T& x) { doHandle(x); }
	virtual ~ResultHandlerIFC() {}

protected:
	virtual void doHandle(const T& x) = 0;
};

typedef ResultHandlerIFC<CIMInstance>   CIMInstanceResultHandlerIFC;
typedef ResultHandlerIFC<CIMObjectPath> CIMObjectPathResultHandlerIFC;
typedef ResultHandlerIFC<CIMClass>      CIMClassResultHandlerIFC;
typedef ResultHandlerIFC<String>        StringResultHandlerIFC;

} // end namespace OpenWBEM

#endif
