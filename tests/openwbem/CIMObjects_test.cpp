// CIMProperty, CIMInstance, CIMObjectPath and CIMParamValue as the provider builds and reads them,
// and the key list by which an object manager names an instance.
#include "OW_CIMInstance.hpp"
#include "OW_CIMObjectPath.hpp"
#include "OW_CIMParamValue.hpp"
#include "OW_CIMProperty.hpp"
#include "OW_CIMQualifier.hpp"
#include "OW_CIMValue.hpp"

#include "OwTestPrint.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

using namespace OpenWBEM;

std::vector<std::string> names(const CIMPropertyArray& props)
{
	std::vector<std::string> r;
	for (size_t i = 0; i < props.size(); ++i)
	{
		r.push_back(props[i].getName().c_str());
	}
	return r;
}

std::string deviceId(int n)
{
	return "terminal " + std::to_string(n) + ", an id well beyond any short-string limit";
}

// As an enumeration builds them: one property array and one key array, emptied and filled again
// for each instance, while the instances already handed over keep what they were given.
TEST(CIMInstance, KeepsItsPropertiesAndKeysWhenTheArraysTheyCameFromAreReused)
{
	const String className("QEL_ZEPCedarTerminal");
	CIMPropertyArray properties;
	CIMPropertyArray keys;
	std::vector<CIMInstance> handedOver;
	for (int n = 0; n < 3; ++n)
	{
		properties.clear();
		properties.push_back(CIMProperty(String("SystemName"), CIMValue(String("gateway"))));
		properties.push_back(CIMProperty(String("DeviceID"), CIMValue(String(deviceId(n).c_str()))));
		properties.push_back(CIMProperty(String("DN"), CIMValue(UInt32(4000 + n))));
		CIMInstance instance(className);
		instance.setProperties(properties);
		EXPECT_TRUE(instance.getKeyValuePairs().empty()) << "no property carries a Key qualifier";
		keys.clear();
		keys.push_back(properties[0]);
		keys.push_back(properties[1]);
		instance.setKeys(keys);
		handedOver.push_back(instance);
	}
	properties.clear();
	keys.clear();

	for (int n = 0; n < 3; ++n)
	{
		const CIMInstance& instance = handedOver[n];
		EXPECT_EQ(instance.getClassName(), className);
		EXPECT_EQ(names(instance.getProperties()),
			(std::vector<std::string>{"SystemName", "DeviceID", "DN"}));
		EXPECT_EQ(instance.getProperty("dn").getValue(), CIMValue(UInt32(4000 + n)));
		EXPECT_FALSE(instance.getProperty("Absent"));
		EXPECT_EQ(names(instance.getKeyValuePairs()),
			(std::vector<std::string>{"SystemName", "DeviceID"}));
		// The object manager names the instance by its key list.
		const CIMObjectPath path("root/cimv2", instance);
		EXPECT_EQ(path.getClassName(), className);
		EXPECT_EQ(path.getNameSpace(), "root/cimv2");
		EXPECT_EQ(names(path.getKeys()), (std::vector<std::string>{"SystemName", "DeviceID"}));
		EXPECT_EQ(path.getKeyValue("DeviceID"), CIMValue(String(deviceId(n).c_str())));
	}

	// setProperties rebuilds the key list from Key qualifiers, which is why the keys are set after.
	CIMInstance rebuilt(className);
	CIMPropertyArray withKey;
	CIMProperty key(String("DeviceID"), CIMValue(String("4000")));
	key.setQualifier(CIMQualifier::createKeyQualifier());
	withKey.push_back(key);
	withKey.push_back(CIMProperty(String("DN"), CIMValue(UInt32(4000))));
	rebuilt.setKeys(withKey);
	rebuilt.setProperties(withKey);
	EXPECT_EQ(names(rebuilt.getKeyValuePairs()), (std::vector<std::string>{"DeviceID"}));
}

TEST(CIMObjectPath, FindsKeysInAnyCaseAndTravelsInAReferenceValue)
{
	CIMObjectPath path(String("QEL_ZEPCedarTerminal"), String("root/cimv2"));
	CIMPropertyArray keys;
	keys.push_back(CIMProperty(String("SystemName"), CIMValue(String("gateway"))));
	keys.push_back(CIMProperty(String("DeviceID"), CIMValue(String(deviceId(1).c_str()))));
	path.setKeys(keys);
	keys.clear();
	EXPECT_EQ(path.getClassName(), "QEL_ZEPCedarTerminal");
	EXPECT_EQ(path.getKey("deviceid").getValue().toString(), deviceId(1).c_str());
	EXPECT_TRUE(path.getKey("SYSTEMNAME"));
	EXPECT_FALSE(path.getKey("DN"));

	CIMValue reference(CIMNULL);
	reference = CIMValue(path);
	const CIMObjectPath back = reference.toCIMObjectPath();
	EXPECT_TRUE(back.equals(path));
	EXPECT_EQ(back.getNameSpace(), "root/cimv2");
	EXPECT_EQ(names(back.getKeys()), (std::vector<std::string>{"SystemName", "DeviceID"}));
}

// The object manager hands over one entry per output parameter, named, with a null value; the
// provider sets the value of the entry of its name. A copy taken before is not changed.
TEST(CIMParamValue, OutputEntryTakesItsValueInPlace)
{
	CIMParamValueArray out;
	out.push_back(CIMParamValue(String("inst")));
	const CIMParamValueArray before(out);
	CIMObjectPath path(String("QEL_ZEPCedarTerminal"), String("root/cimv2"));
	path.setKeyValue("DeviceID", CIMValue(String("4000")));
	for (size_t i = 0; i < out.size(); ++i)
	{
		if (out[i].getName().equalsIgnoreCase("INST"))
		{
			out[i].setValue(CIMValue(path));
		}
	}
	ASSERT_EQ(out.size(), 1u);
	EXPECT_TRUE(out[0].getValue().toCIMObjectPath().equals(path));
	EXPECT_EQ(out[0].getName(), "inst");
	EXPECT_FALSE(before[0].getValue());
}

} // namespace
