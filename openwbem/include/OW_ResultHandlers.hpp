// Ready-made result handlers that collect results into an array.
#ifndef OW_RESULTHANDLERS_HPP_INCLUDED
#define OW_RESULTHANDLERS_HPP_INCLUDED
#include "OW_config.h"
#include "OW_ResultHandlerIFC.hpp"
#include "OW_CIMFwd.hpp"

namespace OpenWBEM
{

// Appends every instance handed to it to the array given, which must outlive the builder.
class CIMInstanceArrayBuilder : public CIMInstanceResultHandlerIFC
{
public:
	CIMInstanceArrayBuilder(CIMInstanceArray& a) : m_a(a) {}
	virtual ~CIMInstanceArrayBuilder();

protected:
	virtual void doHandle(const CIMInstance& x);

private:
	CIMInstanceArray& m_a;
};

// Appends every path handed to it to the array given, which must outlive the builder.
class CIMObjectPathArrayBuilder : public CIMObjectPathResultHandlerIFC
{
public:
	CIMObjectPathArrayBuilder(CIMObjectPathArray& a) : m_a(a) {}
	virtual ~CIMObjectPathArrayBuilder();

protected:
	virtual void doHandle(const CIMObjectPath& x);

private:
	CIMObjectPathArray& m_a;
};

} // end namespace OpenWBEM

#endif
