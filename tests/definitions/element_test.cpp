// Element, property and list operations, and the typed readings of property values.
#include <gtest/gtest.h>

#include <memory>

#include "foundation/geometry.h"
#include "foundation/xarray.h"
#include "test_support.h"

namespace {

TEST(Element, AddSetAndRemoveProperties) {
  CMElement e("E");
  e.addProperty("A", "1");
  e.addProperty("A", "2");
  e.addProperty("A");  // exists: ignored
  e.addProperty("B");
  e.setProperty("A", "9");
  e.setProperty("C", "x");  // absent: nothing
  EXPECT_EQ(deftest::describe(&e), "A=9;A=2;B=");
  EXPECT_TRUE(e.hasProperty("B"));
  EXPECT_TRUE(e.isPropertyAvailable("A"));
  EXPECT_FALSE(e.hasProperty("C"));
  e.removeProperty("A");
  EXPECT_EQ(deftest::describe(&e), "B=");
  e.removeAll();
  EXPECT_EQ(e.getProperties().size(), 0);
}

TEST(Element, AbsentPropertiesReadNeutral) {
  CMElement e("E");
  EXPECT_EQ(e.getPropertyValue("X"), "");
  EXPECT_EQ(e.getPropertyIntValue("X"), 0);
  EXPECT_FALSE(e.getPropertyBoolValue("X"));
  EXPECT_EQ(e.getPropertyDoubleValue("X"), 0.0);
  EXPECT_TRUE(e.getPropertyList("X").empty());
  CXArray* list = e.getPropertyListValue("X");
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->getCount(), 0);
  CXString::releaseToVector(list);
  EXPECT_EQ(e.getPropertyRectValue("X"), CXRect());
  EXPECT_EQ(e.getPropertyPointValue("X"), CXPoint());
  EXPECT_EQ(e.getPropertySizeValue("X"), CXSize());
}

TEST(Element, TypedReadings) {
  CMElement e("E");
  e.addProperty("I", "-42abc");
  e.addProperty("I2", "x1");
  e.addProperty("BIG", "99999999999");
  e.addProperty("B1", "tRuE");
  e.addProperty("B2", "TRUE ");
  e.addProperty("B3", "1");
  e.addProperty("D", "2.5e1x");
  e.addProperty("L", " a,,b \r\nc ");
  e.addProperty("R", "1,2 3,4,5");
  e.addProperty("S", "640");
  EXPECT_EQ(e.getPropertyIntValue("I"), -42);
  EXPECT_EQ(e.getPropertyIntValue("I2"), 0);
  EXPECT_EQ(e.getPropertyIntValue("BIG"), 2147483647);
  EXPECT_TRUE(e.getPropertyBoolValue("B1"));
  EXPECT_FALSE(e.getPropertyBoolValue("B2"));
  EXPECT_FALSE(e.getPropertyBoolValue("B3"));
  EXPECT_DOUBLE_EQ(e.getPropertyDoubleValue("D"), 25.0);
  std::vector<CXString> items = e.getPropertyList("L");
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0], "a");
  EXPECT_EQ(items[1], "b");
  EXPECT_EQ(items[2], "c");
  CXArray* array = e.getPropertyListValue("L");
  ASSERT_EQ(array->getCount(), 3);
  EXPECT_EQ(*array->stringAt(2), "c");
  CXString::releaseToVector(array);
  EXPECT_EQ(e.getPropertyRectValue("R"), CXRect(1, 2, 3, 4));
  EXPECT_EQ(e.getPropertyPointValue("R"), CXPoint(1, 2));
  EXPECT_EQ(e.getPropertySizeValue("S"), CXSize(640, 0));
}

TEST(Elements, LookupAndIndexing) {
  CMElements list(true);
  list.add(new CMElement("A"));
  list.add(new CMElement("B"));
  list.add(new CMElement("A"));
  list.add(nullptr);
  EXPECT_EQ(list.size(), 3);
  EXPECT_EQ(list.get("A"), list.getAt(0));
  EXPECT_TRUE(list.contains("B"));
  EXPECT_FALSE(list.contains("a"));
  EXPECT_EQ(list.getAt(3), nullptr);
  EXPECT_EQ(list.getAt(-1), nullptr);
}

TEST(Elements, RemovingTheFirstOfANameLetsLookupsFindTheNextOne) {
  CMElements list(true);
  auto* first = new CMElement("A");
  auto* second = new CMElement("A");
  list.add(first);
  list.add(new CMElement("B"));
  list.add(second);
  list.remove(first);
  EXPECT_EQ(list.get("A"), second);
  list.remove(second);
  EXPECT_EQ(list.get("A"), nullptr);
  list.add(new CMElement("A"));  // a name declared again after its removal
  EXPECT_EQ(list.get("A"), list.getAt(1));
  list.removeAll();
  EXPECT_FALSE(list.contains("B"));
}

TEST(Elements, LookupsOfALargeListAgreeWithTheListAsMembersAreRemoved) {
  // Thousands of names (with repeats) crowd the index, so removals close gaps inside runs of
  // neighbouring entries; every name must still lead to its first member in list order.
  CMElements list(true);
  for (int i = 0; i < 3000; ++i) list.add(new CMElement(CXString("E") + CXString::toString(i % 2200)));
  auto firstInList = [&](const CXString& name) -> CMElement* {
    for (CMElement* e : list)
      if (e->getName() == name) return e;
    return nullptr;
  };
  for (int round = 0; round < 3; ++round) {
    for (int i = round; i < list.size(); i += 3 + round) list.remove(list.getAt(i));
    for (int n = 0; n < 2200; ++n) {
      CXString name = CXString("E") + CXString::toString(n);
      ASSERT_EQ(list.get(name), firstInList(name)) << name.view() << " after round " << round;
    }
  }
  EXPECT_EQ(list.get("E2200"), nullptr);
}

TEST(Elements, RemovingAnElementDropsItFromChildLists) {
  std::unique_ptr<CMElements> list(deftest::parse("OBJECT=P\nOBJECT=C\nP:APPLY=C\nC:APPLY=C\nP:APPLY=C\n"));
  CMElement* p = list->get("P");
  CMElement* c = list->get("C");
  ASSERT_EQ(p->getChildren()->size(), 2);
  list->remove(c);
  EXPECT_EQ(list->size(), 1);
  EXPECT_EQ(p->getChildren()->size(), 0);
  EXPECT_EQ(p->getChildren()->get("C"), nullptr);
  EXPECT_EQ(list->get("C"), nullptr);
  CMElement stranger("S");
  list->remove(&stranger);  // not a member: untouched
  EXPECT_EQ(list->size(), 1);
}

}  // namespace
