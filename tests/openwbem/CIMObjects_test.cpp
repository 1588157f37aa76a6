// CIMQualifier, CIMProperty, CIMInstance, CIMObjectPath, CIMParamValue and CIMClass.
#include "OW_CIMClass.hpp"
#include "OW_CIMException.hpp"
#include "OW_CIMInstance.hpp"
#include "OW_CIMObjectPath.hpp"
#include "OW_CIMParamValue.hpp"
#include "OW_CIMProperty.hpp"
#include "OW_CIMQualifier.hpp"
#include "OW_CIMValue.hpp"
#include "OW_NULLValueException.hpp"
#include "OW_NoSuchPropertyException.hpp"

#include "OwTestPrint.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace
{

using namespace OpenWBEM;
using namespace OpenWBEM::WBEMFlags;

std::vector<std::string> names(const CIMPropertyArray& props)
{
	std::vector<std::string> r;
	for (size_t i = 0; i < props.size(); ++i)
	{
		r.push_back(props[i].getName().c_str());
	}
	return r;
}

CIMProperty keyProperty(const char* name, const CIMValue& v)
{
	CIMProperty p(name, v);
	p.setQualifier(CIMQualifier::createKeyQualifier());
	return p;
}

template<class F> int cimErrorOf(F f)
{
	try
	{
		f();
	}
	catch (const CIMException& e)
	{
		return e.getErrNo();
	}
	return -1;
}

TEST(CIMProperty, ConvertsValuesToItsDeclaredType)
{
	CIMProperty port("Port", CIMDataType::UINT16);
	EXPECT_FALSE(port.getValue());
	EXPECT_THROW(port.getValueT(), NULLValueException);
	port.setValue(CIMValue("5060"));
	EXPECT_EQ(port.getValue(), CIMValue(UInt16(5060)));
	EXPECT_EQ(cimErrorOf([&] { port.setValue(CIMValue("x")); }), CIMException::FAILED);
	EXPECT_EQ(port.getValue(), CIMValue(UInt16(5060)));
	EXPECT_EQ(port.toString(), "uint16:Port=5060");

	CIMProperty untyped("Label");
	untyped.setValue(CIMValue("desk"));
	EXPECT_EQ(untyped.getDataType().getType(), CIMDataType::STRING);
	untyped.setValue(CIMValue(CIMNULL));
	EXPECT_EQ(untyped.toString(), "string:Label=null");

	// The data type is read from the value, so a null one is the null-handle error.
	EXPECT_THROW(CIMProperty("x", CIMValue(CIMNULL)), Exception);
}

TEST(CIMProperty, IsAKeyByATrueKeyQualifierOrAReferenceType)
{
	EXPECT_TRUE(keyProperty("DeviceID", CIMValue("1")).isKey());
	CIMProperty falseKey("DeviceID", CIMValue("1"));
	falseKey.setQualifier(CIMQualifier("key").setValue(CIMValue(false)));
	EXPECT_FALSE(falseKey.isKey());
	EXPECT_TRUE(CIMProperty("Ref", CIMValue(CIMObjectPath("A"))).isKey());
	EXPECT_FALSE(CIMProperty("DN", CIMValue(UInt32(1))).isKey());

	CIMProperty p("DN", CIMValue(UInt32(1)));
	p.addQualifier(CIMQualifier("Description"));
	EXPECT_EQ(cimErrorOf([&] { p.addQualifier(CIMQualifier("DESCRIPTION")); }),
		CIMException::ALREADY_EXISTS);
	EXPECT_TRUE(p.getQualifier("description"));
	EXPECT_FALSE(p.getQualifier("Key"));
	EXPECT_TRUE(p.removeQualifier("Description"));
	EXPECT_FALSE(p.removeQualifier("Description"));
	EXPECT_TRUE(CIMQualifier("KEY").isKeyQualifier());

	// Properties compare by name only, in any case.
	EXPECT_EQ(CIMProperty("dn", CIMValue(UInt32(2))), p);
	EXPECT_NE(CIMProperty("Port", CIMValue(UInt32(1))), p);
}

// A property with every field set, the texts longer than a short string kept in place.
CIMProperty fullProperty(const char* name, const char* text)
{
	CIMProperty p(name, CIMDataType::STRING);
	p.setValue(CIMValue(text));
	p.setQualifier(CIMQualifier::createKeyQualifier());
	p.setQualifier(CIMQualifier("Description").setValue(CIMValue("the terminal's own number")));
	return p;
}

bool holds(const CIMProperty& p, const char* name, const char* text, size_t qualifiers)
{
	return p && p.getName() == name && p.getValue() == CIMValue(text)
		&& p.getDataType().getType() == CIMDataType::STRING && p.getQualifiers().size() == qualifiers
		&& p.isKey() == (qualifiers != 0);
}

TEST(CIMProperty, NullOnlyByTheTagAndThenEveryOtherMemberThrows)
{
	const CIMProperty def;
	EXPECT_TRUE(def);
	EXPECT_EQ(def.getName(), "");
	EXPECT_EQ(def.getDataType().getType(), CIMDataType::CIMNULL);
	EXPECT_FALSE(def.getValue());
	EXPECT_TRUE(def.getQualifiers().empty());
	EXPECT_FALSE(def.isKey());

	// Emptying every field of a property does not make it null.
	CIMProperty emptied("x", CIMValue("v"));
	emptied.setDataType(CIMDataType(CIMNULL));
	emptied.setValue(CIMValue(CIMNULL));
	emptied.setName("");
	emptied.clearQualifiers();
	EXPECT_TRUE(emptied);
	EXPECT_FALSE(!emptied);
	EXPECT_EQ(emptied, def);

	CIMProperty null(CIMNULL);
	EXPECT_FALSE(null);
	EXPECT_TRUE(!null);
	EXPECT_THROW(null.getName(), Exception);
	EXPECT_THROW(null.setName("x"), Exception);
	EXPECT_THROW(null.getValue(), Exception);
	EXPECT_THROW(null.getValueT(), Exception);
	EXPECT_THROW(null.setValue(CIMValue("v")), Exception);
	EXPECT_THROW(null.setValue(CIMValue(CIMNULL)), Exception);
	EXPECT_THROW(null.getDataType(), Exception);
	EXPECT_THROW(null.setDataType(CIMDataType::STRING), Exception);
	EXPECT_THROW(null.setDataType(CIMDataType(CIMDataType::STRING)), Exception);
	EXPECT_THROW(null.getQualifiers(), Exception);
	EXPECT_THROW(null.setQualifiers(CIMQualifierArray()), Exception);
	EXPECT_THROW(null.getQualifier("Key"), Exception);
	EXPECT_THROW(null.setQualifier(CIMQualifier("Key")), Exception);
	EXPECT_THROW(null.addQualifier(CIMQualifier("Key")), Exception);
	EXPECT_THROW(null.removeQualifier("Key"), Exception);
	EXPECT_THROW(null.clearQualifiers(), Exception);
	EXPECT_THROW(null.hasTrueQualifier("Key"), Exception);
	EXPECT_THROW(null.isKey(), Exception);
	EXPECT_THROW(null.isReference(), Exception);
	EXPECT_THROW(null.toString(), Exception);
	EXPECT_FALSE(null);   // a failed setter does not bring it to life

	EXPECT_EQ(null, CIMProperty(CIMNULL));
	EXPECT_NE(null, def);
	EXPECT_NE(def, null);

	// Nullness travels with copies and assignments, both ways.
	const CIMProperty copied(null);
	EXPECT_FALSE(copied);
	CIMProperty live = fullProperty("DeviceID", "terminal-4000-on-floor-3");
	live = null;
	EXPECT_FALSE(live);
	EXPECT_THROW(live.getName(), Exception);
	live = fullProperty("DeviceID", "terminal-4000-on-floor-3");
	EXPECT_TRUE(holds(live, "DeviceID", "terminal-4000-on-floor-3", 2));

	// An instance refuses a null property before it changes anything.
	CIMInstance inst("Test_Terminal");
	inst.setProperty(CIMProperty("", CIMValue("unnamed")));
	EXPECT_THROW(inst.setProperty(null), Exception);
	EXPECT_THROW(inst.updatePropertyValue(null), Exception);
	EXPECT_EQ(inst.getProperties().size(), 1u);
	EXPECT_EQ(inst.getPropertyValue(""), CIMValue("unnamed"));
}

TEST(CIMProperty, CopiesAreIndependentValuesAndSelfAssignmentKeepsEverything)
{
	// Each length either side of where a name or text may move from in place to the heap.
	const char* const texts[] = {"", "a", "sixteen-bytes-xx", "twenty-three-bytes-long",
		"twenty-four-bytes-long-x", "a text well past any short-string limit, 52 bytes..."};
	for (const char* name : texts)
	{
		for (const char* text : texts)
		{
			SCOPED_TRACE(std::string(name) + " = " + text);
			const CIMProperty original = fullProperty(name, text);

			CIMProperty copy(original);
			copy.setName("Other");
			copy.setValue(CIMValue("changed"));
			copy.removeQualifier("Key");
			EXPECT_TRUE(holds(original, name, text, 2));
			EXPECT_EQ(copy.getName(), "Other");
			EXPECT_FALSE(copy.isKey());

			CIMProperty assigned("Port", CIMValue(UInt32(5060)));
			assigned = original;
			assigned.setDataType(CIMDataType::UINT16);
			assigned.setQualifiers(CIMQualifierArray());
			EXPECT_TRUE(holds(original, name, text, 2));
			EXPECT_EQ(assigned.getDataType().getType(), CIMDataType::UINT16);
			EXPECT_EQ(assigned.getValue(), CIMValue(text));   // kept as it was

			// The original changing afterwards leaves a copy alone too.
			CIMProperty source = fullProperty(name, text);
			const CIMProperty kept(source);
			source.setName("Renamed");
			source.setValue(CIMValue(CIMNULL));
			source.clearQualifiers();
			EXPECT_TRUE(holds(kept, name, text, 2));

			CIMProperty self = fullProperty(name, text);
			CIMProperty& alias = self;
			self = alias;
			EXPECT_TRUE(holds(self, name, text, 2));
			self = CIMProperty(self);
			EXPECT_TRUE(holds(self, name, text, 2));
		}
	}
}

TEST(CIMProperty, CopiesOfOnePropertyChangeIndependentlyInOtherThreads)
{
	const CIMProperty shared = fullProperty("SystemCreationClassName", "a text past any short-string limit");
	std::atomic<int> wrong{0};
	std::vector<std::thread> threads;
	for (int t = 0; t < 4; ++t)
	{
		threads.emplace_back([&, t] {
			const String mine = "value of thread " + String(Int32(t)) + ", long enough for the heap";
			for (int i = 0; i < 300; ++i)
			{
				CIMProperty p(shared);
				p.setValue(CIMValue(mine));
				p.setQualifier(CIMQualifier("Description").setValue(CIMValue(mine)));
				p.setName(mine);
				CIMProperty q;
				q = p;
				p.clearQualifiers();
				if (q.getValue() != CIMValue(mine) || q.getName() != mine || !q.isKey()
					|| q.getQualifier("description").getValue() != CIMValue(mine) || p.isKey()
					|| !holds(shared, "SystemCreationClassName", "a text past any short-string limit", 2))
				{
					++wrong;
				}
			}
		});
	}
	for (std::thread& th : threads)
	{
		th.join();
	}
	EXPECT_EQ(wrong.load(), 0);
	EXPECT_TRUE(holds(shared, "SystemCreationClassName", "a text past any short-string limit", 2));
}

TEST(CIMInstance, HoldsItsPropertiesAsValuesThroughGrowthAndKeyChanges)
{
	CIMInstance inst("Test_Terminal");
	std::vector<std::string> expected;
	for (int i = 0; i < 40; ++i)
	{
		const std::string name = "Property_" + std::to_string(i) + (i % 2 ? "_with_a_longer_name" : "");
		expected.push_back(name);
		if (i == 4)
		{
			inst.setProperty(keyProperty(name.c_str(), CIMValue(UInt32(i))));
		}
		else
		{
			inst.setProperty(name.c_str(), CIMValue(String(name.c_str())));
		}
	}
	EXPECT_EQ(names(inst.getProperties()), expected);
	for (int i = 0; i < 40; ++i)
	{
		if (i != 4)
		{
			const String upper = String(expected[i].c_str()).toUpperCase();
			EXPECT_EQ(inst.getPropertyValue(upper), CIMValue(String(expected[i].c_str()))) << upper;
		}
	}

	// Arrays taken out and put in are copies, whichever side changes.
	CIMPropertyArray taken = inst.getProperties();
	taken[0].setValue(CIMValue("taken"));
	taken[0].setName("Renamed");
	EXPECT_EQ(inst.getPropertyValue("Property_0"), CIMValue("Property_0"));
	CIMPropertyArray given;
	given.push_back(keyProperty("DeviceID", CIMValue("4000")));
	given.push_back(CIMProperty("Label", CIMValue("desk")));
	CIMInstance other("Test_Terminal");
	other.setProperties(given);
	given[0].setValue(CIMValue("changed"));
	given[1].setName("Changed");
	EXPECT_EQ(other.getPropertyValue("DeviceID"), CIMValue("4000"));
	EXPECT_TRUE(other.getProperty("Label"));
	EXPECT_EQ(other.getKeyValuePairs()[0].getValue(), CIMValue("4000"));

	// The key list holds its own copies, brought up to date with each change of a key.
	inst.setProperty("property_4", CIMValue(UInt32(99)));
	ASSERT_EQ(inst.getKeyValuePairs().size(), 1u);
	EXPECT_EQ(inst.getKeyValuePairs()[0].getValue(), CIMValue(UInt32(99)));
	CIMProperty key = inst.getProperty("Property_4");
	key.setValue(CIMValue(UInt32(7)));
	EXPECT_EQ(inst.getKeyValuePairs()[0].getValue(), CIMValue(UInt32(99)));
	inst.updatePropertyValue(key);
	EXPECT_EQ(inst.getKeyValuePairs()[0].getValue(), CIMValue(UInt32(7)));
	inst.setProperty(CIMProperty("PROPERTY_4", CIMValue(UInt32(8))));   // no longer a key
	EXPECT_TRUE(inst.getKeyValuePairs().empty());
	EXPECT_EQ(names(inst.getProperties())[4], "PROPERTY_4");

	// A copy of the instance keeps its properties when the original's change.
	const CIMInstance snapshot(inst);
	inst.setProperty("Property_39_with_a_longer_name", CIMValue("changed"));
	inst.removeProperty("Property_0");
	EXPECT_EQ(snapshot.getProperties().size(), 40u);
	EXPECT_EQ(snapshot.getPropertyValue("Property_39_with_a_longer_name"),
		CIMValue("Property_39_with_a_longer_name"));
}

// Properties and values moved into an array arrive whole; what they were moved from stays
// usable, and a null property stays null.
TEST(CIMProperty, MovesCarryNameValueTypeAndNullnessIntoArrays)
{
	const std::string text(40, 't');
	CIMPropertyArray props;
	CIMProperty described(String("Description"), CIMValue(String(text.c_str())));
	CIMQualifierArray quals;
	quals.push_back(CIMQualifier(String("Key")));
	described.setQualifiers(quals);
	props.push_back(std::move(described));
	props.push_back(CIMProperty(String("DN"), CIMValue(UInt32(7))));
	CIMProperty none(CIMNULL);
	props.push_back(std::move(none));

	ASSERT_EQ(props.size(), 3u);
	EXPECT_EQ(props[0].getName(), "Description");
	EXPECT_EQ(props[0].getValue().toString(), text.c_str());
	EXPECT_EQ(props[0].getQualifiers().size(), 1u);
	EXPECT_EQ(props[1].getValue().toUInt32(), 7u);
	EXPECT_EQ(props[1].getDataType().getType(), CIMDataType::UINT32);
	EXPECT_FALSE(props[2]);
	EXPECT_FALSE(none);

	described.setName("Reused");
	described.setValue(CIMValue(String("short")));
	EXPECT_EQ(described.getName(), "Reused");
	EXPECT_EQ(props[0].getName(), "Description");

	CIMValue value(String(text.c_str()));
	CIMValue taken(std::move(value));
	EXPECT_EQ(taken.toString(), text.c_str());
	value = CIMValue(UInt8(3));
	EXPECT_EQ(value.toUInt8(), 3);
	taken = std::move(value);
	EXPECT_EQ(taken.getType(), CIMDataType::UINT8);
}

TEST(CIMInstance, SetPropertyReplacesByNameOrAppendsInOrder)
{
	CIMInstance inst("Test_Terminal");
	inst.setProperty(CIMProperty("Port", CIMDataType::UINT16));
	inst.setProperty("DN", CIMValue(UInt32(4000)));
	inst.setProperty("Note", CIMValue(CIMNULL));
	inst.setProperty("port", CIMValue("80"));    // existing: keeps name and type, converts
	EXPECT_EQ(names(inst.getProperties()), (std::vector<std::string>{"Port", "DN", "Note"}));
	EXPECT_EQ(inst.getPropertyValue("PORT"), CIMValue(UInt16(80)));
	EXPECT_FALSE(inst.propertyHasValue("Note"));
	EXPECT_EQ(inst.getProperty("Note").getDataType().getType(), CIMDataType::CIMNULL);

	inst.setProperty(CIMProperty("dn", CIMValue("text")));   // wholesale
	EXPECT_EQ(inst.getPropertyValue("DN"), CIMValue("text"));
	EXPECT_EQ(inst.getProperties().size(), 3u);
	EXPECT_EQ(names(inst.getProperties(CIMDataType::UINT16)), (std::vector<std::string>{"Port"}));

	inst.removeProperty("PORT");
	EXPECT_FALSE(inst.getProperty("Port"));
	EXPECT_FALSE(inst.getPropertyValue("Port"));
	EXPECT_THROW(inst.getPropertyT("Port"), NoSuchPropertyException);
	EXPECT_EQ(inst.getProperty("DN", ""), inst.getProperty("DN"));
	EXPECT_FALSE(inst.getProperty("DN", "Test_Terminal"));

	// A property taken out is a copy: it changes the instance only when set back.
	CIMProperty dn = inst.getProperty("DN");
	dn.setValue(CIMValue("changed"));
	EXPECT_EQ(inst.getPropertyValue("DN"), CIMValue("text"));
	inst.updatePropertyValue(dn);
	EXPECT_EQ(inst.getPropertyValue("DN"), CIMValue("changed"));
	inst.updatePropertyValue(CIMProperty("Absent", CIMValue(1)));
	EXPECT_FALSE(inst.getProperty("Absent"));
}

TEST(CIMInstance, KeyListFollowsKeyPropertiesAsOpenWBEMDoes)
{
	CIMInstance inst("Test_Link");
	inst.setProperty(keyProperty("Name", CIMValue("a")));
	EXPECT_EQ(names(inst.getKeyValuePairs()), (std::vector<std::string>{"Name"}));
	// Appending by name and value never touches the key list, even for a reference.
	inst.setProperty("Peer", CIMValue(CIMObjectPath("Test_Terminal")));
	EXPECT_EQ(inst.getKeyValuePairs().size(), 1u);
	// Changing a key's value rebuilds it, and the reference joins at that rebuild.
	inst.setProperty("Name", CIMValue("b"));
	EXPECT_EQ(names(inst.getKeyValuePairs()), (std::vector<std::string>{"Name", "Peer"}));
	EXPECT_EQ(inst.getKeyValuePairs()[0].getValue(), CIMValue("b"));
	inst.removeProperty("Name");
	EXPECT_EQ(names(inst.getKeyValuePairs()), (std::vector<std::string>{"Peer"}));
	inst.setKeys(CIMPropertyArray());
	EXPECT_TRUE(inst.getKeyValuePairs().empty());
	inst.setProperties(inst.getProperties());
	EXPECT_EQ(inst.getKeyValuePairs().size(), 1u);

	const CIMObjectPath path("root/test", inst);   // namespace first
	EXPECT_EQ(path.getClassName(), "Test_Link");
	EXPECT_EQ(path.getNameSpace(), "root/test");
	EXPECT_EQ(names(path.getKeys()), (std::vector<std::string>{"Peer"}));
}

TEST(CIMInstance, CopiesAndClonesAreIndependent)
{
	CIMInstance original("Test_Terminal");
	original.setProperty(keyProperty("DeviceID", CIMValue("4000")));
	CIMProperty label("Label", CIMValue("desk"));
	label.setQualifier(CIMQualifier("Description"));
	original.setProperty(label);
	original.setProperty("DN", CIMValue(UInt32(4000)));
	original.setQualifier(CIMQualifier("Provider").setValue(CIMValue("c++::x")));

	CIMInstance copy(original);
	copy.setProperty("DN", CIMValue(UInt32(1)));
	copy.setClassName("Other");
	EXPECT_EQ(original.getPropertyValue("DN"), CIMValue(UInt32(4000)));
	EXPECT_EQ(original.getClassName(), "Test_Terminal");

	EXPECT_EQ(original.clone(E_NOT_LOCAL_ONLY, E_INCLUDE_QUALIFIERS, E_INCLUDE_CLASS_ORIGIN,
		nullptr).getProperties().size(), 3u);
	const StringArray none;
	EXPECT_TRUE(original.clone(E_NOT_LOCAL_ONLY, E_INCLUDE_QUALIFIERS, E_INCLUDE_CLASS_ORIGIN,
		&none).getProperties().empty());
	StringArray some;
	some.push_back("label");
	some.push_back("Absent");
	const CIMInstance filtered = original.clone(E_LOCAL_ONLY, E_EXCLUDE_QUALIFIERS,
		E_EXCLUDE_CLASS_ORIGIN, &some);
	EXPECT_EQ(names(filtered.getProperties()), (std::vector<std::string>{"Label"}));
	EXPECT_TRUE(filtered.getProperty("Label").getQualifiers().empty());
	EXPECT_TRUE(filtered.getQualifiers().empty());
	EXPECT_EQ(filtered.getKeyValuePairs().size(), 1u);   // copied unchanged
	EXPECT_FALSE(original.getProperty("Label").getQualifiers().empty());
	EXPECT_FALSE(original.getQualifiers().empty());

	EXPECT_EQ(CIMInstance("test_terminal"), original);   // class names only
	EXPECT_NE(copy, original);
	const CIMInstance null(CIMNULL);
	EXPECT_FALSE(null);
	EXPECT_THROW(null.getClassName(), Exception);
}

TEST(CIMObjectPath, KeepsKeysInOrderAndFindsThemInAnyCase)
{
	CIMObjectPath path("Test_Terminal", "  /root/cimv2 ");   // class name first
	EXPECT_EQ(path.getNameSpace(), "root/cimv2");
	EXPECT_TRUE(path.isClassPath());
	path.setKeyValue("SystemName", CIMValue("sys1"));
	path.setKeyValue("DeviceID", CIMValue("4000"));
	path.setKeyValue("systemname", CIMValue("sys2"));          // replaces in place
	EXPECT_EQ(names(path.getKeys()), (std::vector<std::string>{"systemname", "DeviceID"}));
	EXPECT_EQ(path.getKeyValue("SYSTEMNAME"), CIMValue("sys2"));
	EXPECT_TRUE(path.getKey("deviceid"));
	EXPECT_FALSE(path.getKey("Absent"));
	EXPECT_FALSE(path.getKeyValue("Absent"));
	EXPECT_THROW(path.getKeyT("Absent"), NoSuchPropertyException);
	EXPECT_THROW(path.setKeyValue("X", CIMValue(CIMNULL)), Exception);
	EXPECT_TRUE(path.isInstancePath());

	CIMPropertyArray keys;
	keys.push_back(keyProperty("DeviceID", CIMValue("1")));
	const CIMObjectPath fromKeys("Test_Terminal", keys);
	EXPECT_TRUE(fromKeys.getKey("DeviceID").getQualifiers().empty());

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
	CIMObjectPath added("A");
	added.addKey("k", CIMValue(1));
	added.addKey("k", CIMValue(2));
	added.addKey("n", CIMValue(CIMNULL));
#pragma GCC diagnostic pop
	EXPECT_EQ(names(added.getKeys()), (std::vector<std::string>{"k", "k"}));
}

TEST(CIMObjectPath, EqualsByNamesInAnyCaseAndValuesOfTheSameType)
{
	CIMObjectPath a("My_Class", "root/cimv2");
	a.setKeyValue("Name", CIMValue("x"));
	a.setKeyValue("Id", CIMValue(UInt32(5)));
	CIMObjectPath b("MY_CLASS", "ROOT/cimv2");
	b.setKeyValue("id", CIMValue(UInt32(5)));
	b.setKeyValue("NAME", CIMValue("x"));
	b.setHost("elsewhere");
	EXPECT_TRUE(a.equals(b));
	EXPECT_EQ(a, b);

	CIMObjectPath otherType(b);
	otherType.setKeyValue("Id", CIMValue(Int32(5)));
	EXPECT_NE(a, otherType);
	CIMObjectPath otherValue(b);
	otherValue.setKeyValue("Name", CIMValue("X"));
	EXPECT_NE(a, otherValue);
	CIMObjectPath extraKey(b);
	extraKey.setKeyValue("More", CIMValue("1"));
	EXPECT_NE(a, extraKey);
	EXPECT_NE(a, CIMObjectPath(CIMNULL));
	EXPECT_EQ(CIMObjectPath(CIMNULL), CIMObjectPath(CIMNULL));
}

TEST(CIMObjectPath, TextFormQuotesEscapesAndParsesBack)
{
	CIMObjectPath path("My_Class", "root/cimv2");
	path.setKeyValue("Name", CIMValue("a \"q\" \\ \n end"));
	path.setKeyValue("Id", CIMValue(UInt32(5)));
	EXPECT_EQ(path.modelPath(), "My_Class.Name=\"a \\\"q\\\" \\\\ \\n end\",Id=\"5\"");
	EXPECT_EQ(path.toString(), "/root/cimv2:" + path.modelPath());
	EXPECT_EQ(CIMObjectPath("My_Class").toString(), "/:My_Class");
	CIMObjectPath hosted(path);
	hosted.setHost("h:5988");
	EXPECT_EQ(hosted.toString(), "//h:5988/root/cimv2:" + path.modelPath());
	EXPECT_EQ(String(path), path.toString());
	CIMPropertyArray nullKey;
	nullKey.push_back(CIMProperty("k", CIMDataType::STRING));
	EXPECT_EQ(CIMObjectPath("C", nullKey).modelPath(), "C.k=\"null\"");

	const CIMObjectPath parsed = CIMObjectPath::parse(hosted.toString());
	EXPECT_EQ(parsed.getHost(), "h:5988");
	EXPECT_EQ(parsed.getNameSpace(), "root/cimv2");
	EXPECT_EQ(parsed.getKeyValue("Name"), path.getKeyValue("Name"));
	EXPECT_EQ(parsed.getKeyValue("Id"), CIMValue("5"));   // quoted text is a string

	const CIMObjectPath untyped = CIMObjectPath::parse("Test_Terminal.DN=4000,On=TRUE");
	EXPECT_EQ(untyped.getNameSpace(), "");
	EXPECT_EQ(untyped.getKeyValue("DN").getType(), CIMDataType::SINT64);
	EXPECT_EQ(untyped.getKeyValue("DN").toUInt32(), 4000u);
	EXPECT_EQ(untyped.getKeyValue("On"), CIMValue(true));

	const char* malformed[] = {"", "root:", "A.k", "A.k=\"open", "A.k=x", "A.k=\"v\"x",
		"//host"};
	for (const char* text : malformed)
	{
		EXPECT_EQ(cimErrorOf([&] { CIMObjectPath::parse(text); }),
			CIMException::INVALID_PARAMETER) << text;
	}
	EXPECT_EQ(CIMObjectPath::unEscape(CIMObjectPath::escape("a\"\\\nb")), "a\"\\\nb");
}

TEST(CIMParamValue, CarriesANameAndAPossiblyNullValue)
{
	CIMParamValue p("inst");
	EXPECT_FALSE(p.getValue());
	EXPECT_EQ(p.toString(), "inst=(null)");
	CIMParamValue copy(p);
	copy.setValue(CIMValue(UInt32(1))).setName("n");
	EXPECT_FALSE(p.getValue());
	EXPECT_EQ(p.getName(), "inst");
	EXPECT_EQ(copy.toString(), "n=1");
	EXPECT_FALSE(CIMParamValue(CIMNULL));
	EXPECT_THROW(CIMParamValue(CIMNULL).getName(), Exception);

	EXPECT_EQ(CIMClass("Test_Terminal").getName(), "Test_Terminal");
	EXPECT_EQ(CIMValue(CIMClass("A")), CIMValue(CIMClass("a")));
	EXPECT_THROW(CIMClass(CIMNULL).getName(), Exception);
}

} // namespace
