// Writing element lists back: the saved text loads into the same elements, properties and children.
#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "test_support.h"

using deftest::describe;

namespace {

// Saves the list to text, loads it back and compares; returns the lossless flag.
bool roundTrip(const CMElements* list) {
  bool lossless = false;
  std::string text = CMElementsLoader::toText(list, &lossless);
  std::unique_ptr<CMElements> back(deftest::parse(text));
  if (lossless) {
    EXPECT_EQ(describe(back.get()), describe(list)) << text;
  }
  return lossless;
}

TEST(Writer, PlainDefinitionsRoundTrip) {
  std::unique_ptr<CMElements> list(deftest::parse(
      "OBJECT=A\nA:TYPE=INTEGER\nA:VALUE=5\nA:VALUE=7\nA:EMPTY\nIMPORT=S\nDEF:P(X=1|Y=a:b=c)\n"
      "OBJECT=C\nC:ADD=A\nA:APPLY=S\nA:APPLY=C\n"));
  EXPECT_TRUE(roundTrip(list.get()));
  EXPECT_EQ(CMElementsLoader::toText(list.get()),
            "OBJECT=A\nA:TYPE=INTEGER\nA:VALUE=5\nA:VALUE=7\nA:EMPTY\nOBJECT=S\nS:TYPE=SEQUENCE\n"
            "DEF:P(X=1|Y=a:b=c)\nOBJECT=C\nA:APPLY=C\nA:APPLY=S\nA:APPLY=C\n");
}

TEST(Writer, SpecialCharactersChooseTheDefForm) {
  CMElements list(true);
  auto* a = new CMElement("A");
  a->addProperty("URL", "http=x:y");
  a->addProperty("CODE", "{A^B(1);}");
  a->addProperty("K", "");
  a->addProperty("K", "");
  a->addProperty("ADD", "1");
  list.add(a);
  list.add(new CMElement("#hidden"));
  list.add(new CMElement("DEF"));
  list.add(new CMElement("name:with=seps"));
  auto* dup = new CMElement("A");
  dup->addProperty("X", "second");
  list.add(dup);
  auto* lead = new CMElement("L");
  lead->addProperty("V", "  leading blanks kept");
  list.add(lead);
  EXPECT_TRUE(roundTrip(&list));
}

TEST(Writer, UnwritableContentIsReportedAndApproximated) {
  CMElements list(true);
  auto* a = new CMElement("A");
  a->addProperty("PATH", "a/b");
  list.add(a);
  bool lossless = true;
  std::string text = CMElementsLoader::toText(&list, &lossless);
  EXPECT_FALSE(lossless);
  std::unique_ptr<CMElements> back(deftest::parse(text));
  EXPECT_EQ(back->get("A")->getPropertyValue("PATH"), "a b");

  for (const char* value : {"x|y:z", "tail ", "line\nfeed", "tab\there"}) {
    CMElements one(true);
    auto* e = new CMElement("E");
    e->addProperty("V", value);
    one.add(e);
    EXPECT_FALSE(roundTrip(&one)) << value;
  }
}

TEST(Writer, ChildrenOutsideTheListAreReported) {
  CMElements list(true);
  CMElement outside("X");
  auto* a = new CMElement("A");
  a->addChild(&outside);
  list.add(a);
  EXPECT_FALSE(roundTrip(&list));
}

TEST(Writer, SaveWritesAFileThatLoadsBack) {
  deftest::TempDir dir;
  std::unique_ptr<CMElements> list(deftest::parse("OBJECT=A\nA:K=v\nDEF:B(Z=1)\nB:APPLY=A\n"));
  const std::string path = dir.file("saved.def");
  ASSERT_TRUE(CMElementsLoader::save(nullptr, list.get(), CXString(path)));
  std::unique_ptr<CMElements> back(CMElementsLoader::load(nullptr, CXString(path)));
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(describe(back.get()), describe(list.get()));
  EXPECT_FALSE(CMElementsLoader::save(nullptr, list.get(), CXString(dir.file("missing/dir/x.def"))));
}

// Random elements built from awkward characters: whatever the writer calls lossless must load back
// identically.
TEST(Writer, RandomListsRoundTripWhenLossless) {
  std::mt19937 random(777);
  const std::string alphabet = "ab :=|()#!/\t,.{}^ADDPLYOBJECTIMPORTEF";
  auto text = [&](int maxLength) {
    std::string out;
    int length = static_cast<int>(random() % (maxLength + 1));
    for (int i = 0; i < length; ++i) out += alphabet[random() % alphabet.size()];
    return out;
  };
  int lossless = 0;
  for (int round = 0; round < 500; ++round) {
    CMElements list(true);
    int count = 1 + static_cast<int>(random() % 4);
    for (int i = 0; i < count; ++i) {
      auto* e = new CMElement(random() % 3 ? CXString(std::string(1, static_cast<char>('A' + random() % 3))) : CXString(text(5)));
      int properties = static_cast<int>(random() % 4);
      for (int p = 0; p < properties; ++p) e->addProperty(CXString(text(4)), CXString(text(8)));
      list.add(e);
    }
    for (int i = 0; i < count; ++i)
      if (random() % 3 == 0) list.getAt(i)->addChild(list.getAt(static_cast<int>(random() % count)));
    if (roundTrip(&list)) ++lossless;
  }
  EXPECT_GT(lossless, 50);
}

}  // namespace
