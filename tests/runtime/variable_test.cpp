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

class VariableTest : public ::testing::Test {
 protected:
  void SetUp() override {
    runs().clear();
    CMC_VariableFactory::clearPool();
  }
  void TearDown() override { CMC_VariableFactory::clearPool(); }

  static CMC_String* str(const char* text) {
    CMC_String* s = CMC_VariableFactory::allocString();
    s->setValue(text);
    return s;
  }
  static CMC_Integer* num(int v) {
    CMC_Integer* i = CMC_VariableFactory::allocInteger();
    i->setValue(v);
    return i;
  }
  static CMC_Double* dbl(double v) {
    CMC_Double* d = CMC_VariableFactory::allocDouble();
    d->setValue(v);
    return d;
  }
  static CMC_Bool* boo(bool v) {
    CMC_Bool* b = CMC_VariableFactory::allocBool();
    b->setValue(v);
    return b;
  }
  RecordingBehaviour* beh(const char* name) {
    auto* b = new RecordingBehaviour(scene.get(), name);
    scene->addObject(b);
    return b;
  }
  std::unique_ptr<CMC_ObjectsContainer> scene = makeScope("S1");
};

TEST_F(VariableTest, SetConvertsByTheTable) {
  CMC_Integer i("I");
  i.set(str("12abc"));
  EXPECT_EQ(i.getValue(), 12);
  i.set(str("abc"));
  EXPECT_EQ(i.getValue(), 0);
  i.set(dbl(2.5));
  EXPECT_EQ(i.getValue(), 3);
  i.set(dbl(-2.5));
  EXPECT_EQ(i.getValue(), -3);
  i.set(dbl(2.4999));
  EXPECT_EQ(i.getValue(), 2);
  i.set(dbl(-0.5));
  EXPECT_EQ(i.getValue(), -1);
  i.set(boo(true));
  EXPECT_EQ(i.getValue(), 1);
  i.set(nullptr);
  EXPECT_EQ(i.getValue(), 1);

  CMC_String s("S");
  s.set(boo(false));
  EXPECT_EQ(s.getValue().str(), "FALSE");
  s.set(dbl(1.5));
  EXPECT_EQ(s.getValue().str(), "1.50000");
  s.set(num(-42));
  EXPECT_EQ(s.getValue().str(), "-42");

  CMC_Bool b("B");
  b.set(str("True"));
  EXPECT_TRUE(b.getValue());
  b.set(str("1"));
  EXPECT_FALSE(b.getValue());
  b.set(num(-3));
  EXPECT_TRUE(b.getValue());
  b.set(dbl(0.0));
  EXPECT_FALSE(b.getValue());

  CMC_Double d("D");
  d.set(str("3.25xyz"));
  EXPECT_DOUBLE_EQ(d.getValue(), 3.25);
  d.set(num(7));
  EXPECT_DOUBLE_EQ(d.getValue(), 7.0);
  d.set(boo(true));
  EXPECT_DOUBLE_EQ(d.getValue(), 1.0);
}

TEST_F(VariableTest, TextForms) {
  EXPECT_EQ(CMC_Double("D", 1.5).toString().str(), "1.50000");
  EXPECT_EQ(CMC_Double("D", 0.0).toString().str(), "0");
  EXPECT_EQ(CMC_Bool("B", true).toString().str(), "TRUE");
  EXPECT_EQ(CMC_Integer("I", INT_MIN).toString().str(), "-2147483648");
  EXPECT_EQ(CMC_String("S", "x y").toString().str(), "x y");
}

TEST_F(VariableTest, ConvertGivesItselfATemporaryOrNothing) {
  CMC_Integer i("I", 5);
  EXPECT_EQ(i.convert(mc::TYPE_INTEGER), &i);
  CMC_Variable* s = i.convert(mc::TYPE_STRING);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->getType(), mc::TYPE_STRING);
  EXPECT_GE(s->getPoolIndex(), 0);
  EXPECT_EQ(s->toString().str(), "5");
  EXPECT_EQ(i.convert(mc::TYPE_EXPRESSION), nullptr);
  EXPECT_EQ(i.convert(0), nullptr);
  CMC_Variable* d = CMC_Double("D", 1e12).convert(mc::TYPE_INTEGER);
  EXPECT_EQ(static_cast<CMC_Integer*>(d)->getValue(), INT_MAX);
}

TEST_F(VariableTest, RoundingIsHalfAwayFromZeroAndSaturates) {
  EXPECT_EQ(CMC_Variable::roundToInt(0.5), 1);
  EXPECT_EQ(CMC_Variable::roundToInt(-0.5), -1);
  EXPECT_EQ(CMC_Variable::roundToInt(0.49999999999999994), 0);
  EXPECT_EQ(CMC_Variable::roundToInt(-1.4), -1);
  EXPECT_EQ(CMC_Variable::roundToInt(1e300), INT_MAX);
  EXPECT_EQ(CMC_Variable::roundToInt(-1e300), INT_MIN);
  EXPECT_EQ(CMC_Variable::roundToInt(std::nan("")), 0);
  EXPECT_EQ(CMC_Variable::roundToInt(2147483646.6), INT_MAX);
}

TEST_F(VariableTest, IntegerArithmeticWrapsAndNeverFaults) {
  CMC_Integer a("A", 7);
  auto calc = [&](CMC_Variable* self, CMC_Variable* other, int op) {
    return static_cast<CMC_Integer*>(self->calculate(other, op))->getValue();
  };
  EXPECT_EQ(calc(&a, num(2), mc::OP_ADD), 9);
  EXPECT_EQ(calc(&a, num(2), mc::OP_SUB), 5);
  EXPECT_EQ(calc(&a, num(2), mc::OP_MUL), 14);
  EXPECT_EQ(calc(&a, num(2), mc::OP_DIV), 3);
  EXPECT_EQ(calc(&a, num(-2), mc::OP_DIV), -3);
  EXPECT_EQ(calc(&a, num(2), mc::OP_MOD), 1);
  CMC_Integer neg("N", -7);
  EXPECT_EQ(calc(&neg, num(2), mc::OP_MOD), -1);
  EXPECT_EQ(calc(&a, num(0), mc::OP_DIV), 0);
  EXPECT_EQ(calc(&a, num(0), mc::OP_MOD), 0);
  EXPECT_EQ(calc(&a, num(1), 9), 0);
  // Right operand converted to the left type: 2.5 becomes 3.
  EXPECT_EQ(calc(&a, dbl(2.5), mc::OP_MUL), 21);
  EXPECT_EQ(calc(&a, str("x"), mc::OP_DIV), 0);
  CMC_Integer min("M", INT_MIN);
  EXPECT_EQ(calc(&min, num(-1), mc::OP_DIV), 0);
  EXPECT_EQ(calc(&min, num(-1), mc::OP_MOD), 0);
  EXPECT_EQ(calc(&min, num(1), mc::OP_SUB), INT_MAX);
  EXPECT_EQ(calc(&min, num(-1), mc::OP_MUL), INT_MIN);
  CMC_Integer max("X", INT_MAX);
  EXPECT_EQ(calc(&max, num(1), mc::OP_ADD), INT_MIN);
  max.inc();
  EXPECT_EQ(max.getValue(), INT_MIN);
  // The operands are untouched and the result is a pooled INTEGER.
  CMC_Variable* r = a.calculate(dbl(1.0), mc::OP_ADD);
  EXPECT_EQ(r->getType(), mc::TYPE_INTEGER);
  EXPECT_GE(r->getPoolIndex(), 0);
  EXPECT_EQ(a.getValue(), 7);
}

TEST_F(VariableTest, DoubleStringAndBoolArithmetic) {
  CMC_Double d("D", 1.5);
  auto dv = [&](CMC_Variable* other, int op) { return static_cast<CMC_Double*>(d.calculate(other, op))->getValue(); };
  EXPECT_DOUBLE_EQ(dv(num(1), mc::OP_ADD), 2.5);
  EXPECT_DOUBLE_EQ(dv(dbl(0.5), mc::OP_SUB), 1.0);
  EXPECT_DOUBLE_EQ(dv(str("2"), mc::OP_MUL), 3.0);
  EXPECT_DOUBLE_EQ(dv(dbl(0.5), mc::OP_DIV), 3.0);
  EXPECT_DOUBLE_EQ(dv(dbl(1.0), mc::OP_MOD), 0.5);
  EXPECT_DOUBLE_EQ(dv(dbl(1.0), 0), 0.0);
  EXPECT_TRUE(std::isinf(dv(dbl(0.0), mc::OP_DIV)));

  CMC_String s("S", "AB");
  auto sv = [&](CMC_Variable* other, int op) { return static_cast<CMC_String*>(s.calculate(other, op))->getValue().str(); };
  EXPECT_EQ(sv(num(5), mc::OP_ADD), "AB5");
  EXPECT_EQ(sv(dbl(1.5), mc::OP_ADD), "AB1.50000");
  EXPECT_EQ(sv(boo(true), mc::OP_ADD), "ABTRUE");
  EXPECT_EQ(sv(str("CD"), mc::OP_SUB), "AB");
  EXPECT_EQ(sv(str("CD"), mc::OP_MUL), "AB");
  EXPECT_EQ(sv(str("CD"), mc::OP_MOD), "AB");
  EXPECT_EQ(sv(str("CD"), 6), "");
  EXPECT_EQ(sv(&s, mc::OP_ADD), "ABAB");

  CMC_Bool t("T", true);
  CMC_Bool f("F", false);
  auto bv = [](CMC_Bool& self, CMC_Variable* other, int op) { return static_cast<CMC_Bool*>(self.calculate(other, op))->getValue(); };
  EXPECT_FALSE(bv(t, boo(false), mc::OP_ADD));  // AND
  EXPECT_TRUE(bv(t, boo(true), mc::OP_ADD));
  EXPECT_TRUE(bv(f, boo(true), mc::OP_MUL));    // OR
  EXPECT_FALSE(bv(f, boo(false), mc::OP_MUL));
  EXPECT_TRUE(bv(t, boo(false), mc::OP_SUB));
  EXPECT_FALSE(bv(f, boo(true), mc::OP_DIV));
  EXPECT_TRUE(bv(t, boo(true), mc::OP_MOD));
  EXPECT_FALSE(bv(t, boo(true), 0));
  EXPECT_TRUE(bv(f, str("TRUE"), mc::OP_MUL));
}

TEST_F(VariableTest, EqualsAndCompareConvertTheRightOperand) {
  CMC_Integer i("I", 3);
  EXPECT_TRUE(i.equals(str("3")));
  EXPECT_TRUE(i.equals(dbl(2.5)));
  EXPECT_FALSE(i.equals(static_cast<CMC_Variable*>(nullptr)));
  EXPECT_EQ(i.compare(num(4)), -1);
  EXPECT_EQ(i.compare(num(3)), 0);
  EXPECT_EQ(i.compare(dbl(1.0)), 1);
  EXPECT_EQ(i.compare(static_cast<CMC_Variable*>(nullptr)), 1);
  CMC_String s("S", "abc");
  EXPECT_EQ(s.compare(str("abd")), -1);
  EXPECT_EQ(s.compare(str("ab")), 1);
  EXPECT_TRUE(CMC_String("S", "5").equals(num(5)));
  EXPECT_TRUE(CMC_Bool("B", true).equals(str("true")));
  EXPECT_EQ(CMC_Bool("B", false).compare(boo(true)), -1);
  EXPECT_EQ(CMC_Double("D", 1.5).compare(str("1.5")), 0);
}

TEST_F(VariableTest, SwitchIncDecClear) {
  CMC_Integer i("I", 1);
  i.swap(num(1), num(2));
  EXPECT_EQ(i.getValue(), 2);
  i.swap(num(1), num(2));
  EXPECT_EQ(i.getValue(), 1);
  i.setValue(9);
  i.swap(num(1), num(2));
  EXPECT_EQ(i.getValue(), 1);
  i.swap(nullptr, num(2));
  EXPECT_EQ(i.getValue(), 1);

  CMC_String s("S", "on");
  s.swap(str("on"), str("off"));
  EXPECT_EQ(s.getValue().str(), "off");
  s.swap(str("on"), str("off"));
  EXPECT_EQ(s.getValue().str(), "on");
  s.inc();
  s.dec();
  EXPECT_EQ(s.getValue().str(), "on");
  s.clear();
  EXPECT_TRUE(s.getValue().isEmpty());

  CMC_Bool b("B", false);
  b.swap(nullptr, nullptr);
  EXPECT_TRUE(b.getValue());
  b.inc();
  EXPECT_FALSE(b.getValue());
  b.dec();
  EXPECT_TRUE(b.getValue());

  CMC_Double d("D", 0.5);
  d.inc();
  EXPECT_DOUBLE_EQ(d.getValue(), 1.5);
  d.dec();
  d.dec();
  EXPECT_DOUBLE_EQ(d.getValue(), -0.5);
  d.swap(dbl(-0.5), num(4));
  EXPECT_DOUBLE_EQ(d.getValue(), 4.0);
  d.clear();
  EXPECT_DOUBLE_EQ(d.getValue(), 0.0);
}

TEST_F(VariableTest, LiteralsResolveToTheirTypes) {
  auto check = [](const char* text, int type, const char* asText) {
    CMC_Variable* v = CMC_Variable::resolve(text);
    ASSERT_NE(v, nullptr) << text;
    EXPECT_EQ(v->getType(), type) << text;
    EXPECT_EQ(v->toString().str(), asText) << text;
    EXPECT_GE(v->getPoolIndex(), 0) << text;
  };
  check("05", mc::TYPE_STRING, "05");
  check("0.5", mc::TYPE_DOUBLE, "0.50000");
  check("-3", mc::TYPE_INTEGER, "-3");
  check("0", mc::TYPE_INTEGER, "0");
  check("12", mc::TYPE_INTEGER, "12");
  check("1.2.3", mc::TYPE_DOUBLE, "1.20000");
  check("-", mc::TYPE_INTEGER, "0");
  check("1e5", mc::TYPE_STRING, "1e5");
  check("TRUE", mc::TYPE_BOOL, "TRUE");
  check("FALSE", mc::TYPE_BOOL, "FALSE");
  check("true", mc::TYPE_STRING, "true");
  check("\"HELLO\"", mc::TYPE_STRING, "HELLO");
  check("\"12", mc::TYPE_STRING, "12");
  check("\"", mc::TYPE_STRING, "");
  check("\"\"", mc::TYPE_STRING, "");
  check("", mc::TYPE_STRING, "");
  check("ANIMO1", mc::TYPE_STRING, "ANIMO1");
  EXPECT_TRUE(CMC_Variable::isNumber("0.25"));
  EXPECT_FALSE(CMC_Variable::isNumber("00"));
  EXPECT_FALSE(CMC_Variable::isNumber("1-2"));
  EXPECT_FALSE(CMC_Variable::isNumber(" 1"));
}

TEST_F(VariableTest, ChangeEventsCarryTheNewValue) {
  auto* v = new CMC_Integer("COUNT", 7);
  v->setScene(scene.get());
  scene->addObject(v);
  v->overideSignals(false);
  v->addBehaviour("ONCHANGED^7", beh("ON7"), nullptr, scene.get());
  v->addBehaviour("ONCHANGED", beh("ONANY"), nullptr, scene.get());
  v->addBehaviour("ONBRUTALCHANGED", beh("BRUTAL"), nullptr, scene.get());

  v->set(num(7));  // no change
  EXPECT_EQ(runNames(), (std::vector<std::string>{"BRUTAL"}));
  runs().clear();
  v->set(num(3));
  EXPECT_EQ(runNames(), (std::vector<std::string>{"BRUTAL", "ONANY"}));
  runs().clear();
  v->set(str("7"));
  EXPECT_EQ(runNames(), (std::vector<std::string>{"BRUTAL", "ON7"}));
  runs().clear();
  v->inc();
  v->dec();  // back to 7: inc and dec always count as a change
  EXPECT_EQ(runNames(), (std::vector<std::string>{"BRUTAL", "ONANY", "BRUTAL", "ON7"}));
  runs().clear();
  v->setValue(1);  // plain access fires nothing
  v->setDefault(num(7));
  v->resetINI();  // not an INI variable
  EXPECT_TRUE(runs().empty());
  EXPECT_EQ(v->getValue(), 1);
  EXPECT_EQ(v->getDefault(), 7);

  auto* b = new CMC_Bool("FLAG", false);
  scene->addObject(b);
  b->addBehaviour("ONBRUTALCHANGED^TRUE", beh("BTRUE"), nullptr, scene.get());
  b->swap(nullptr, nullptr);
  b->swap(nullptr, nullptr);
  EXPECT_EQ(runNames(), (std::vector<std::string>{"BTRUE"}));
}

TEST_F(VariableTest, ElementPropertiesAndDefaults) {
  std::unique_ptr<CMElement> e(element("V", {{"TYPE", "INTEGER"}, {"VALUE", "12"}, {"DEFAULT", ""}, {"TOINI", "true"}}));
  CMC_Integer i(scene.get(), e.get());
  EXPECT_EQ(i.getName().str(), "V");
  EXPECT_EQ(i.getScene(), scene.get());
  EXPECT_EQ(i.getValue(), 12);
  EXPECT_EQ(i.getDefault(), 12);
  EXPECT_TRUE(i.isINI());
  EXPECT_FALSE(i.isNetNotify());
  EXPECT_EQ(i.getPoolIndex(), -1);

  std::unique_ptr<CMElement> e2(element("W", {{"VALUE", "1.5"}, {"DEFAULT", "2.25"}, {"NETNOTIFY", "TRUE"}}));
  CMC_Double d(scene.get(), e2.get());
  EXPECT_DOUBLE_EQ(d.getValue(), 1.5);
  EXPECT_DOUBLE_EQ(d.getDefault(), 2.25);
  EXPECT_TRUE(d.isNetNotify());

  std::unique_ptr<CMElement> e3(element("X", {{"VALUE", "hello"}}));
  CMC_String s(scene.get(), e3.get());
  EXPECT_EQ(s.getValue().str(), "hello");
  EXPECT_EQ(s.getDefault().str(), "hello");

  std::unique_ptr<CMElement> e4(element("Y", {{"VALUE", "TRUE"}, {"DEFAULT", "false"}}));
  CMC_Bool b(scene.get(), e4.get());
  EXPECT_TRUE(b.getValue());
  EXPECT_FALSE(b.getDefault());

  std::unique_ptr<CMElement> e5(element("Z", {}));
  CMC_Integer empty(scene.get(), e5.get());
  EXPECT_EQ(empty.getValue(), 0);
  EXPECT_FALSE(empty.isINI());
}

class IniTest : public VariableTest {
 protected:
  void SetUp() override {
    VariableTest::SetUp();
    std::random_device rd;
    dir = std::filesystem::temp_directory_path() / ("tarnvik_rt_ini_" + std::to_string(rd()));
    std::filesystem::create_directories(dir);
    config = std::make_unique<CConfig>(CXString((dir / "game.ini").string()));
    CMC_Variable::setConfig(config.get());
  }
  void TearDown() override {
    CMC_Variable::setConfig(nullptr);
    config.reset();
    std::filesystem::remove_all(dir);
    VariableTest::TearDown();
  }
  CMC_Variable* declare(CMElement* e) {
    std::unique_ptr<CMElement> owned(e);
    CMC_Object* o = scene->resolve(owned.get());
    return static_cast<CMC_Variable*>(o);
  }
  std::filesystem::path dir;
  std::unique_ptr<CConfig> config;
};

TEST_F(IniTest, InitReadsTheEntryOrCreatesIt) {
  config->PutString("S1", "LEVEL", "4");
  auto* level = static_cast<CMC_Integer*>(declare(element("LEVEL", {{"TYPE", "INTEGER"}, {"VALUE", "1"}, {"TOINI", "TRUE"}})));
  auto* name = static_cast<CMC_String*>(declare(element("NAME", {{"TYPE", "STRING"}, {"VALUE", "anna"}, {"TOINI", "TRUE"}})));
  auto* plain = static_cast<CMC_Integer*>(declare(element("PLAIN", {{"TYPE", "INTEGER"}, {"VALUE", "2"}})));
  config->PutString("S1", "PLAIN", "9");
  level->init();
  name->init();
  plain->init();
  EXPECT_EQ(level->getValue(), 4);
  EXPECT_EQ(name->getValue().str(), "anna");
  EXPECT_EQ(plain->getValue(), 2);
  EXPECT_EQ(config->GetString("S1", "NAME").str(), "anna");

  // Every change is written back under the scene's section.
  level->set(num(8));
  EXPECT_EQ(config->GetString("s1", "level").str(), "8");
  level->inc();
  EXPECT_EQ(config->GetInt("S1", "LEVEL"), 9);
  level->resetINI();
  EXPECT_EQ(level->getValue(), 1);
  EXPECT_EQ(config->GetInt("S1", "LEVEL"), 1);
  plain->set(num(5));
  EXPECT_EQ(config->GetInt("S1", "PLAIN"), 9);
}

TEST_F(IniTest, ReadingTheEntryFiresEventsBeforeOnInit) {
  config->PutString("S1", "D", "2.5");
  beh("CHG");
  beh("INIT");
  auto* d = static_cast<CMC_Double*>(declare(
      element("D", {{"TYPE", "DOUBLE"}, {"TOINI", "TRUE"}, {"ONCHANGED", "CHG"}, {"ONINIT", "INIT"}})));
  d->init();
  EXPECT_DOUBLE_EQ(d->getValue(), 2.5);
  EXPECT_EQ(runNames(), (std::vector<std::string>{"CHG", "INIT"}));
}

TEST_F(IniTest, WithoutSettingsFileNothingIsWritten) {
  CMC_Variable::setConfig(nullptr);
  auto* v = static_cast<CMC_Integer*>(declare(element("V", {{"TYPE", "INTEGER"}, {"VALUE", "3"}, {"TOINI", "TRUE"}})));
  v->init();
  v->set(num(4));
  EXPECT_EQ(v->getValue(), 4);
  EXPECT_TRUE(config->GetString("S1", "V").isEmpty());
}

class StoreTest : public VariableTest {
 protected:
  void SetUp() override {
    VariableTest::SetUp();
    std::random_device rd;
    path = std::filesystem::temp_directory_path() / ("tarnvik_rt_store_" + std::to_string(rd()) + ".bin");
  }
  void TearDown() override {
    std::filesystem::remove(path);
    VariableTest::TearDown();
  }
  template <typename Fn>
  void write(Fn fn) {
    CFile f(nullptr, CXString(path.string()), CFile::modeBinary);
    ASSERT_TRUE(f.isOpen());
    CXArchive ar(&f, true);
    fn(ar);
    f.Close();
  }
  std::filesystem::path path;
};

TEST_F(StoreTest, RoundTripsOfEveryType) {
  CMC_Integer i("I", -123456);
  CMC_Double d("D", 1.2345);
  CMC_String s("S", std::string("a\0b", 3));
  CMC_Bool b("B", true);
  CMC_String empty("E", "");
  write([&](CXArchive& ar) {
    EXPECT_TRUE(i.store(&ar));
    EXPECT_TRUE(d.store(&ar));
    EXPECT_TRUE(s.store(&ar));
    EXPECT_TRUE(b.store(&ar));
    EXPECT_TRUE(empty.store(&ar));
  });
  // int32 type + int32, + int32 (double x 1000), + 4 + 3 bytes, + 1 byte, + 4 zero bytes.
  EXPECT_EQ(std::filesystem::file_size(path), 8u + 8u + 11u + 5u + 8u);

  CFile f(nullptr, CXString(path.string()), CFile::modeRead | CFile::modeBinary);
  CXArchive ar(&f, false);
  CMC_Integer i2("I2");
  EXPECT_TRUE(i2.restore(&ar));
  EXPECT_EQ(i2.getValue(), -123456);
  CMC_Variable* d2 = CMC_VariableFactory::restore(&ar);
  ASSERT_NE(d2, nullptr);
  EXPECT_EQ(d2->getType(), mc::TYPE_DOUBLE);
  EXPECT_DOUBLE_EQ(d2->asDouble(), 1.234);
  CMC_Variable* s2 = CMC_VariableFactory::restore(&ar);
  ASSERT_NE(s2, nullptr);
  EXPECT_EQ(s2->toString().str(), std::string("a\0b", 3));
  // A saved BOOL restored into an INTEGER is converted.
  CMC_Integer fromBool("FB");
  EXPECT_TRUE(fromBool.restore(&ar));
  EXPECT_EQ(fromBool.getValue(), 1);
  CMC_String e2("E2", "x");
  EXPECT_TRUE(e2.restore(&ar));
  EXPECT_TRUE(e2.getValue().isEmpty());
  // Past the end: a clean failure.
  EXPECT_EQ(CMC_VariableFactory::restore(&ar), nullptr);
  CMC_Integer untouched("U", 5);
  EXPECT_FALSE(untouched.restore(&ar));
  EXPECT_EQ(untouched.getValue(), 5);
}

TEST_F(StoreTest, TruncatedAndForeignInputFailsCleanly) {
  write([&](CXArchive& ar) {
    ar << int32_t(mc::TYPE_STRING) << int32_t(1000) << CXString("abc");
  });
  {
    CFile f(nullptr, CXString(path.string()), CFile::modeRead | CFile::modeBinary);
    CXArchive ar(&f, false);
    int before = CMC_VariableFactory::inUse(mc::TYPE_STRING);
    EXPECT_EQ(CMC_VariableFactory::restore(&ar), nullptr);
    EXPECT_EQ(CMC_VariableFactory::inUse(mc::TYPE_STRING), before);
  }
  write([&](CXArchive& ar) { ar << int32_t(mc::TYPE_ANIMO) << int32_t(1); });
  CFile f(nullptr, CXString(path.string()), CFile::modeRead | CFile::modeBinary);
  CXArchive ar(&f, false);
  EXPECT_EQ(CMC_VariableFactory::restore(&ar), nullptr);
  EXPECT_EQ(CMC_VariableFactory::restore(nullptr), nullptr);
  CMC_Integer i("I", 1);
  EXPECT_FALSE(i.store(nullptr));
  EXPECT_FALSE(i.store(&ar));  // a reading archive does not store
}

TEST_F(VariableTest, NetworkBuffersRoundTripAndRejectShortInput) {
  CMC_String s("S", "hello");
  std::vector<unsigned char> buf(static_cast<size_t>(s.getBufferLen()));
  EXPECT_EQ(s.netstore(buf.data()), 13);
  CMC_String target("T");
  EXPECT_EQ(target.netrestore(buf.data(), static_cast<int>(buf.size())), 13);
  EXPECT_EQ(target.getValue().str(), "hello");
  EXPECT_EQ(CMC_VariableFactory::netrestore(buf.data(), 12), nullptr);
  EXPECT_EQ(CMC_VariableFactory::netrestore(buf.data(), 3), nullptr);

  CMC_Double d("D", -2.75);
  std::vector<unsigned char> dbuf(static_cast<size_t>(d.getBufferLen()));
  d.netstore(dbuf.data());
  CMC_Integer asInt("I");
  EXPECT_EQ(asInt.netrestore(dbuf.data(), static_cast<int>(dbuf.size())), 12);
  EXPECT_EQ(asInt.getValue(), -3);

  // A string length beyond the buffer is refused.
  buf[4] = 0xFF;
  EXPECT_EQ(CMC_VariableFactory::netrestore(buf.data(), static_cast<int>(buf.size())), nullptr);
  buf[4] = 0x00;
  buf[7] = 0x80;  // negative length
  EXPECT_EQ(CMC_VariableFactory::netrestore(buf.data(), static_cast<int>(buf.size())), nullptr);
}

TEST_F(VariableTest, ClonesCopyTheValue) {
  auto* v = new CMC_Integer("V", 4);
  v->setScene(scene.get());
  scene->addObject(v);
  static_cast<CMC_Object*>(v)->clone(2);
  auto* c = static_cast<CMC_Integer*>(scene->getVariable("V_2"));
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->getValue(), 4);
  EXPECT_EQ(c->getPoolIndex(), -1);
  EXPECT_TRUE(c->isClone());
}

}  // namespace
