// Value variables: conversions, arithmetic, literals, change events, INI persistence, saved state.
#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <random>

#include "files/file.h"
#include "files/xarchive.h"
#include "runtime/runtime_test_support.h"
#include "runtime/variable.h"
#include "runtime/variable_factory.h"
#include "settings/config.h"

using namespace rt_test;

namespace {

// Literal text to a pooled value ("05" STRING, "0.5" DOUBLE, "-3" INTEGER, TRUE BOOL).
CMC_Variable* lit(const char* text) { return CMC_Variable::resolve(text); }

std::string text(CMC_Variable* v) { return v ? v->toString().str() : "<null>"; }

class VariableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    runs().clear();
    CMC_VariableFactory::clearPool();
  }
  RecordingBehaviour* beh(const char* name) {
    auto* b = new RecordingBehaviour(scene.get(), name);
    scene->addObject(b);
    return b;
  }
  std::unique_ptr<CMC_ObjectsContainer> scene = makeScope("S1");
};

TEST_F(VariableTest, LiteralsAndTheConversionTable) {
  struct Case { const char* literal; int type; const char* asText; };
  for (const Case& c : {Case{"05", mc::TYPE_STRING, "05"}, {"0.5", mc::TYPE_DOUBLE, "0.50000"},
                        {"-3", mc::TYPE_INTEGER, "-3"}, {"0", mc::TYPE_INTEGER, "0"}, {"-", mc::TYPE_INTEGER, "0"},
                        {"1.2.3", mc::TYPE_DOUBLE, "1.20000"}, {"1e5", mc::TYPE_STRING, "1e5"},
                        {"TRUE", mc::TYPE_BOOL, "TRUE"}, {"true", mc::TYPE_STRING, "true"},
                        {"\"HI\"", mc::TYPE_STRING, "HI"}, {"\"12", mc::TYPE_STRING, "12"}, {"\"", mc::TYPE_STRING, ""},
                        {"", mc::TYPE_STRING, ""}}) {
    CMC_Variable* v = lit(c.literal);
    EXPECT_EQ(v->getType(), c.type) << c.literal;
    EXPECT_EQ(text(v), c.asText) << c.literal;
    EXPECT_GE(v->getPoolIndex(), 0);
  }
  // Rows: the value set into an INTEGER, a DOUBLE, a STRING and a BOOL.
  struct Conv { const char* from; const char* i; const char* d; const char* s; const char* b; };
  for (const Conv& c : {Conv{"\"12abc\"", "12", "12.00000", "12abc", "FALSE"}, {"\"abc\"", "0", "0", "abc", "FALSE"},
                        {"2.5", "3", "2.50000", "2.50000", "TRUE"}, {"-2.5", "-3", "-2.50000", "-2.50000", "TRUE"},
                        {"2.4999", "2", "2.49990", "2.49990", "TRUE"}, {"FALSE", "0", "0", "FALSE", "FALSE"},
                        {"\"True\"", "0", "0", "True", "TRUE"}, {"\"1\"", "1", "1.00000", "1", "FALSE"},
                        {"-7", "-7", "-7.00000", "-7", "TRUE"}}) {
    CMC_Integer i("I");
    CMC_Double d("D");
    CMC_String s("S");
    CMC_Bool b("B");
    for (CMC_Variable* target : std::initializer_list<CMC_Variable*>{&i, &d, &s, &b}) target->set(lit(c.from));
    EXPECT_EQ(text(&i), c.i) << c.from;
    EXPECT_EQ(text(&d), c.d) << c.from;
    EXPECT_EQ(text(&s), c.s) << c.from;
    EXPECT_EQ(text(&b), c.b) << c.from;
  }
  CMC_Integer i("I", 5);
  EXPECT_EQ(i.convert(mc::TYPE_INTEGER), &i);
  EXPECT_EQ(text(i.convert(mc::TYPE_STRING)), "5");
  EXPECT_EQ(i.convert(mc::TYPE_EXPRESSION), nullptr);
  i.set(nullptr);
  EXPECT_EQ(i.getValue(), 5);
}

TEST_F(VariableTest, RoundingIsHalfAwayFromZeroAndSaturates) {
  EXPECT_EQ(CMC_Variable::roundToInt(-0.5), -1);
  EXPECT_EQ(CMC_Variable::roundToInt(0.49999999999999994), 0);
  EXPECT_EQ(CMC_Variable::roundToInt(1e300), INT_MAX);
  EXPECT_EQ(CMC_Variable::roundToInt(-1e300), INT_MIN);
  EXPECT_EQ(CMC_Variable::roundToInt(std::nan("")), 0);
  EXPECT_EQ(text(CMC_Double("D", 1e12).convert(mc::TYPE_INTEGER)), "2147483647");
}

TEST_F(VariableTest, ArithmeticKeepsTheLeftTypeAndNeverFaults) {
  struct Case { const char* left; int op; const char* right; const char* result; };
  for (const Case& c : {Case{"7", mc::OP_ADD, "2", "9"}, {"7", mc::OP_SUB, "2", "5"}, {"7", mc::OP_MUL, "2.5", "21"},
                        {"7", mc::OP_DIV, "-2", "-3"}, {"-7", mc::OP_MOD, "2", "-1"}, {"7", mc::OP_DIV, "0", "0"},
                        {"7", mc::OP_MOD, "0", "0"}, {"7", 9, "1", "0"}, {"-2147483648", mc::OP_DIV, "-1", "0"},
                        {"-2147483648", mc::OP_MOD, "-1", "0"}, {"2147483647", mc::OP_ADD, "1", "-2147483648"},
                        {"-2147483648", mc::OP_MUL, "-1", "-2147483648"},
                        {"1.5", mc::OP_ADD, "1", "2.50000"}, {"1.5", mc::OP_DIV, "0.5", "3.00000"},
                        {"1.5", mc::OP_MOD, "1.0", "0.50000"}, {"1.5", mc::OP_MUL, "\"2\"", "3.00000"},
                        {"\"AB\"", mc::OP_ADD, "1.5", "AB1.50000"}, {"\"AB\"", mc::OP_ADD, "TRUE", "ABTRUE"},
                        {"\"AB\"", mc::OP_SUB, "\"CD\"", "AB"}, {"\"AB\"", mc::OP_MOD, "\"CD\"", "AB"},
                        {"\"AB\"", 6, "\"CD\"", ""}, {"TRUE", mc::OP_ADD, "FALSE", "FALSE"},
                        {"FALSE", mc::OP_MUL, "TRUE", "TRUE"}, {"TRUE", mc::OP_SUB, "FALSE", "TRUE"},
                        {"FALSE", mc::OP_DIV, "TRUE", "FALSE"}, {"TRUE", 0, "TRUE", "FALSE"}}) {
    CMC_Variable* left = lit(c.left);
    CMC_Variable* r = left->calculate(lit(c.right), c.op);
    EXPECT_EQ(r->getType(), left->getType()) << c.left << " op " << c.op << " " << c.right;
    EXPECT_EQ(text(r), c.result) << c.left << " op " << c.op << " " << c.right;
    EXPECT_NE(r, left);
  }
  CMC_Integer max("X", INT_MAX);
  max.inc();
  EXPECT_EQ(max.getValue(), INT_MIN);
}

TEST_F(VariableTest, EqualsCompareSwitchIncDec) {
  struct Cmp { const char* left; const char* right; int order; };
  for (const Cmp& c : {Cmp{"3", "\"3\"", 0}, {"3", "2.5", 0}, {"3", "4", -1}, {"3", "1.0", 1}, {"\"abc\"", "\"abd\"", -1},
                       {"FALSE", "TRUE", -1}, {"TRUE", "\"true\"", 0}, {"1.5", "\"1.5\"", 0}}) {
    EXPECT_EQ(lit(c.left)->compare(lit(c.right)), c.order) << c.left << " " << c.right;
    EXPECT_EQ(lit(c.left)->equals(lit(c.right)), c.order == 0) << c.left << " " << c.right;
  }
  EXPECT_EQ(lit("3")->compare(static_cast<CMC_Variable*>(nullptr)), 1);
  EXPECT_FALSE(lit("3")->equals(static_cast<CMC_Variable*>(nullptr)));
  // SWITCH toggles between its two arguments; a BOOL negates; INC and DEC do nothing on a STRING.
  CMC_Integer sw("SW", 1);
  std::string seen;
  for (int v : {1, 2, 9}) {
    sw.setValue(v);
    sw.swap(lit("1"), lit("2"));
    seen += text(&sw);
  }
  EXPECT_EQ(seen, "211");
  CMC_String s("S", "on");
  s.swap(lit("on"), lit("off"));
  s.inc();
  EXPECT_EQ(s.getValue().str(), "off");
  CMC_Bool b("B", false);
  b.swap(nullptr, nullptr);
  b.inc();
  b.dec();
  EXPECT_TRUE(b.getValue());
}

TEST_F(VariableTest, ChangeEventsCarryTheNewValue) {
  auto* v = new CMC_Integer("COUNT", 7);
  scene->addObject(v);
  v->overideSignals(false);
  v->addBehaviour("ONCHANGED^7", beh("ON7"), nullptr, scene.get());
  v->addBehaviour("ONCHANGED", beh("ONANY"), nullptr, scene.get());
  v->addBehaviour("ONBRUTALCHANGED", beh("BRUTAL"), nullptr, scene.get());
  v->set(lit("7"));  // no change
  v->set(lit("3"));
  v->set(lit("\"7\""));
  v->inc();
  v->dec();  // inc and dec count as a change even when the value comes back
  EXPECT_EQ(runNames(), (std::vector<std::string>{"BRUTAL", "BRUTAL", "ONANY", "BRUTAL", "ON7", "BRUTAL", "ONANY",
                                                  "BRUTAL", "ON7"}));
  runs().clear();
  v->setValue(1);  // plain access
  v->resetINI();   // not an INI variable
  EXPECT_TRUE(runs().empty());
  // A handler deleting the variable ends the event chain cleanly.
  static_cast<RecordingBehaviour*>(scene->getObject("BRUTAL"))->action = [&](CMC_Object* o) {
    scene->removeObject(o);
    delete o;
  };
  v->set(lit("2"));
  EXPECT_EQ(runNames(), (std::vector<std::string>{"BRUTAL"}));
}

TEST_F(VariableTest, ElementPropertiesAndDefaults) {
  std::unique_ptr<CMElement> e(element("V", {{"VALUE", "12"}, {"DEFAULT", ""}, {"TOINI", "true"}}));
  CMC_Integer i(scene.get(), e.get());
  EXPECT_EQ(i.getValue(), 12);
  EXPECT_EQ(i.getDefault(), 12);
  EXPECT_TRUE(i.isINI());
  EXPECT_EQ(i.getPoolIndex(), -1);
  std::unique_ptr<CMElement> e2(element("W", {{"VALUE", "1.5"}, {"DEFAULT", "2.25"}, {"NETNOTIFY", "TRUE"}}));
  CMC_Double d(scene.get(), e2.get());
  EXPECT_DOUBLE_EQ(d.getDefault(), 2.25);
  EXPECT_TRUE(d.isNetNotify());
}

class IniTest : public VariableTest {
 protected:
  void SetUp() override {
    VariableTest::SetUp();
    dir = std::filesystem::temp_directory_path() / ("tarnvik_rt_" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(dir);
    config = std::make_unique<CConfig>(CXString((dir / "game.ini").string()));
    CMC_Variable::setConfig(config.get());
  }
  void TearDown() override {
    CMC_Variable::setConfig(nullptr);
    config.reset();
    std::filesystem::remove_all(dir);
  }
  template <typename T>
  T* declare(std::initializer_list<std::pair<const char*, const char*>> props, const char* name) {
    std::unique_ptr<CMElement> e(element(name, props));
    return static_cast<T*>(scene->resolve(e.get()));
  }
  std::filesystem::path dir;
  std::unique_ptr<CConfig> config;
};

TEST_F(IniTest, InitReadsOrCreatesTheEntryAndChangesWriteIt) {
  config->PutString("S1", "LEVEL", "4");
  config->PutString("S1", "PLAIN", "9");
  beh("CHG");
  beh("INIT");
  auto* level = declare<CMC_Integer>(
      {{"TYPE", "INTEGER"}, {"VALUE", "1"}, {"TOINI", "TRUE"}, {"ONCHANGED", "CHG"}, {"ONINIT", "INIT"}}, "LEVEL");
  auto* name = declare<CMC_String>({{"TYPE", "STRING"}, {"VALUE", "anna"}, {"TOINI", "TRUE"}}, "NAME");
  auto* plain = declare<CMC_Integer>({{"TYPE", "INTEGER"}, {"VALUE", "2"}}, "PLAIN");
  level->init();
  name->init();
  plain->init();
  EXPECT_EQ(level->getValue(), 4);
  EXPECT_EQ(runNames(), (std::vector<std::string>{"CHG", "INIT"}));  // the stored value is set before ONINIT
  EXPECT_EQ(config->GetString("S1", "NAME").str(), "anna");
  EXPECT_EQ(plain->getValue(), 2);
  level->inc();
  EXPECT_EQ(config->GetString("s1", "level").str(), "5");
  level->resetINI();
  EXPECT_EQ(config->GetInt("S1", "LEVEL"), 1);
  plain->set(lit("5"));
  EXPECT_EQ(config->GetInt("S1", "PLAIN"), 9);
  CMC_Variable::setConfig(nullptr);
  level->set(lit("6"));
  EXPECT_EQ(config->GetInt("S1", "LEVEL"), 1);
}

class StoreTest : public VariableTest, public ArchiveFile {};

TEST_F(StoreTest, RoundTripsAndTruncation) {
  CMC_String s("S", std::string("a\0b", 3));
  io(true, [&](CXArchive& ar) {
    for (CMC_Variable* v : {lit("-123456"), lit("1.2345"), static_cast<CMC_Variable*>(&s), lit("TRUE"), lit("\"\"")})
      EXPECT_TRUE(v->store(&ar));
  });
  // Type and value: 4+4, 4+4 (the double x 1000), 4+4+3, 4+1, 4+4.
  EXPECT_EQ(std::filesystem::file_size(path), 40u);
  io(false, [&](CXArchive& ar) {
    CMC_Integer i("I");
    EXPECT_TRUE(i.restore(&ar));
    EXPECT_EQ(i.getValue(), -123456);
    EXPECT_EQ(text(CMC_VariableFactory::restore(&ar)), "1.23400");
    EXPECT_EQ(text(CMC_VariableFactory::restore(&ar)), std::string("a\0b", 3));
    CMC_Integer fromBool("FB");  // a saved BOOL read into an INTEGER is converted
    EXPECT_TRUE(fromBool.restore(&ar));
    EXPECT_EQ(fromBool.getValue(), 1);
    EXPECT_EQ(text(CMC_VariableFactory::restore(&ar)), "");
    CMC_Integer untouched("U", 5);
    EXPECT_FALSE(untouched.restore(&ar));
    EXPECT_EQ(untouched.getValue(), 5);
  });
  io(true, [&](CXArchive& ar) { ar << int32_t(mc::TYPE_STRING) << int32_t(1000) << CXString("abc"); });
  io(false, [&](CXArchive& ar) {
    int before = CMC_VariableFactory::inUse(mc::TYPE_STRING);
    EXPECT_EQ(CMC_VariableFactory::restore(&ar), nullptr);
    EXPECT_EQ(CMC_VariableFactory::inUse(mc::TYPE_STRING), before);
  });
  io(true, [&](CXArchive& ar) { ar << int32_t(mc::TYPE_ANIMO) << int32_t(1); });
  io(false, [&](CXArchive& ar) { EXPECT_EQ(CMC_VariableFactory::restore(&ar), nullptr); });
}

TEST_F(VariableTest, NetworkBuffersRoundTripAndRejectShortInput) {
  CMC_String s("S", "hello");
  std::vector<unsigned char> buf(static_cast<size_t>(s.getBufferLen()));
  EXPECT_EQ(s.netstore(buf.data()), 13);
  CMC_String target("T");
  EXPECT_EQ(target.netrestore(buf.data(), 13), 13);
  EXPECT_EQ(target.getValue().str(), "hello");
  EXPECT_EQ(CMC_VariableFactory::netrestore(buf.data(), 12), nullptr);
  buf[7] = 0x80;  // negative length
  EXPECT_EQ(CMC_VariableFactory::netrestore(buf.data(), 13), nullptr);
  CMC_Double d("D", -2.75);
  std::vector<unsigned char> dbuf(12);
  d.netstore(dbuf.data());
  CMC_Integer asInt("I");
  EXPECT_EQ(asInt.netrestore(dbuf.data(), 12), 12);
  EXPECT_EQ(asInt.getValue(), -3);
}

}  // namespace
