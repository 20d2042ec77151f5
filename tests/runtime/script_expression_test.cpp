// Expressions and conditions: splitting, left-to-right computation, comparisons, outcome events.
#include "runtime/condition.h"
#include "runtime/expression.h"
#include "runtime/script_fixture.h"

namespace {

using Strings = std::vector<std::string>;

TEST(ExpressionSplit, OperatorsOutsideBracketsAndParentheses) {
  Strings operands;
  std::vector<int> ops;
  CMC_Expression::split("2+3*4@5%6-7", operands, ops);
  EXPECT_EQ(operands, (Strings{"2", "3", "4", "5", "6", "7"}));
  EXPECT_EQ(ops, (std::vector<int>{mc::OP_ADD, mc::OP_MUL, mc::OP_DIV, mc::OP_MOD, mc::OP_SUB}));
  operands.clear();
  ops.clear();
  CMC_Expression::split("[A+B]*X^GET(1+2)- -1", operands, ops);
  EXPECT_EQ(operands, (Strings{"[A+B]", "X^GET(1+2)", "-1"}));
  operands.clear();
  ops.clear();
  CMC_Expression::split("-1+@GETCURRENTSCENE()", operands, ops);
  EXPECT_EQ(operands, (Strings{"-1", "@GETCURRENTSCENE()"}));
}

class ScriptExpression : public ScriptTest {
 protected:
  // Computes expression text; the result as "TYPE:text".
  std::string compute(const char* text) {
    CMC_Expression e(scene(), CXString(text));
    CMC_Variable* r = e.calculate();
    return r ? CMC_Object::typeToString(r->getType()).str() + ":" + r->toString().str() : "null";
  }
};

TEST_F(ScriptExpression, LeftToRightWithoutPrecedence) {
  EXPECT_EQ(compute("2+3*4"), "INTEGER:20");
  EXPECT_EQ(compute("10@4"), "INTEGER:2");
  EXPECT_EQ(compute("10%4"), "INTEGER:2");
  EXPECT_EQ(compute("1.5+1"), "DOUBLE:2.50000");
  EXPECT_EQ(compute("1+1.5"), "INTEGER:3");
  EXPECT_EQ(compute("7@0"), "INTEGER:0");
  EXPECT_EQ(compute("-2*3"), "INTEGER:-6");
  EXPECT_EQ(compute("\"A\"+1+2"), "STRING:A12");
  EXPECT_EQ(compute("[1+2]*[3+4]"), "INTEGER:21");
}

TEST_F(ScriptExpression, OperandsAreNamesCallsAndLiteralsReadEachTime) {
  integer("A", 3);
  string("S", "X");
  CMC_Expression e(scene(), CXString("A*2+S^LENGTH()"));
  EXPECT_EQ(e.calculate()->asInteger(), 7);
  scene()->getVariable("A")->fromString("10");
  EXPECT_EQ(e.calculate()->asInteger(), 21);
  // The result outlives the tick's pool of temporaries.
  CMC_Variable* r = e.calculate();
  CMC_VariableFactory::clearPool();
  for (int i = 0; i < 600; ++i) CMC_VariableFactory::allocInteger()->setValue(-1);
  EXPECT_EQ(r->asInteger(), 21);
}

TEST_F(ScriptExpression, DeclaredExpressionsAreComputedWhenRead) {
  integer("A", 4);
  integer("R", 0);
  declare({{"TWICE", {{"TYPE", "EXPRESSION"}, {"OPERAND1", "A"}, {"OPERAND2", "2"}, {"OPERATOR", "MUL"}}},
           {"PLUS", {{"TYPE", "EXPRESSION"}, {"OPERAND1", "TWICE"}, {"OPERAND2", "1"}, {"OPERATOR", "ADD"}}}});
  run("R^SET(PLUS);");
  EXPECT_EQ(intValue("R"), 9);
  run("A^SET(10);R^SET([PLUS*2]);");
  EXPECT_EQ(intValue("R"), 42);
  // Value methods serve expressions too: they read the computed result.
  string("T");
  run("T^SET(TWICE^GET());");
  EXPECT_EQ(textValue("T"), "20");
}

TEST_F(ScriptExpression, SelfReferenceIsCappedNotFatal) {
  declare({{"LOOPY", {{"TYPE", "EXPRESSION"}, {"OPERAND1", "LOOPY"}, {"OPERAND2", "LOOPY"}, {"OPERATOR", "ADD"}}}});
  integer("R", 5);
  captureLog(tarnvik::log::Level::error);
  run("R^SET(LOOPY);");
  EXPECT_FALSE(logLines().empty());
  EXPECT_EQ(mc::ScriptDepth::depth(), 0);
}

TEST(ConditionText, OperatorFoundInsideOneText) {
  CXString l, r;
  int op = 0;
  ASSERT_TRUE(CMC_Condition::splitText("A'5", l, op, r));
  EXPECT_EQ(op, CMC_Condition::EQUAL);
  EXPECT_EQ(l.str() + "|" + r.str(), "A|5");
  ASSERT_TRUE(CMC_Condition::splitText("A!'B", l, op, r));
  EXPECT_EQ(op, CMC_Condition::NOTEQUAL);
  EXPECT_EQ(l.str() + "|" + r.str(), "A|B");
  ASSERT_TRUE(CMC_Condition::splitText("A<'B", l, op, r));
  EXPECT_EQ(op, CMC_Condition::LESSEQUAL);
  ASSERT_TRUE(CMC_Condition::splitText("A>'B", l, op, r));
  EXPECT_EQ(op, CMC_Condition::GREATEREQUAL);
  // The apostrophe wins over "<" and ">" anywhere in the text.
  ASSERT_TRUE(CMC_Condition::splitText("A<B'C", l, op, r));
  EXPECT_EQ(op, CMC_Condition::EQUAL);
  EXPECT_EQ(l.str(), "A<B");
  ASSERT_TRUE(CMC_Condition::splitText("A>B", l, op, r));
  EXPECT_EQ(op, CMC_Condition::GREATER);
  ASSERT_TRUE(CMC_Condition::splitText("OBJ?ANIMO", l, op, r));
  EXPECT_EQ(op, CMC_Condition::INSTANCEOF);
  EXPECT_FALSE(CMC_Condition::splitText("PLAIN", l, op, r));
  EXPECT_EQ(CMC_Condition::operatorFromText("<_"), CMC_Condition::LESSEQUAL);
  EXPECT_EQ(CMC_Condition::operatorFromText("<>"), CMC_Condition::NOTEQUAL);
  EXPECT_EQ(CMC_Condition::operatorFromText("~"), 0);
}

class ScriptCondition : public ScriptTest {};

TEST_F(ScriptCondition, TextualFormsResolveTheirOperands) {
  integer("A", 5);
  string("S", "5");
  boolean("F", true);
  EXPECT_TRUE(CMC_Condition::valid(scene(), "A", "_", "S"));
  EXPECT_TRUE(CMC_Condition::valid(scene(), "S", "_", "A"));
  EXPECT_TRUE(CMC_Condition::valid(scene(), "[A+1]", ">", "5"));
  EXPECT_TRUE(CMC_Condition::valid(scene(), "A^GET()", "<_", "5"));
  EXPECT_TRUE(CMC_Condition::valid(scene(), "CONV(A,\"STRING\")", "_", "\"5\""));
  EXPECT_FALSE(CMC_Condition::valid(scene(), "A", "!_", "5"));
  EXPECT_TRUE(CMC_Condition::valid(scene(), "A?INTEGER"));
  EXPECT_FALSE(CMC_Condition::valid(scene(), "A?STRING"));
  EXPECT_FALSE(CMC_Condition::valid(scene(), "A", "~", "5"));
  // Without an operator the text holds when its value reads as true.
  EXPECT_TRUE(CMC_Condition::valid(scene(), "F"));
  EXPECT_FALSE(CMC_Condition::valid(scene(), "NOSUCHNAME"));
}

TEST_F(ScriptCondition, DeclaredConditionsAndOutcomeEvents) {
  integer("A", 5);
  string("S", "5");
  integer("OK", 0);
  integer("BAD", 0);
  declare({{"ON_OK", {{"TYPE", "BEHAVIOUR"}, {"CODE", "{OK^ADD(1);}"}}},
           {"ON_BAD", {{"TYPE", "BEHAVIOUR"}, {"CODE", "{BAD^ADD(1);}"}}},
           {"SAME", {{"TYPE", "CONDITION"}, {"OPERAND1", "A"}, {"OPERAND2", "S"}, {"OPERATOR", "EQUAL"},
                     {"ONRUNTIMESUCCESS", "ON_OK"}, {"ONRUNTIMEFAILED", "ON_BAD"}}},
           {"KIND", {{"TYPE", "CONDITION"}, {"OPERAND1", "A"}, {"OPERAND2", "INTEGER"}, {"OPERATOR", "INSTANCEOF"}}}});
  auto* same = static_cast<CMC_Condition*>(scene()->getObject("SAME"));
  ASSERT_NE(same, nullptr);
  EXPECT_TRUE(same->valid(true));
  EXPECT_TRUE(same->valid(false));
  run("A^SET(6);");
  EXPECT_FALSE(same->valid(true));
  EXPECT_EQ(intValue("OK"), 1);
  EXPECT_EQ(intValue("BAD"), 1);
  // INSTANCEOF never holds in a declared condition.
  EXPECT_FALSE(static_cast<CMC_Condition*>(scene()->getObject("KIND"))->valid(false));
}

TEST_F(ScriptCondition, ComplexConditionsShortCircuit) {
  integer("A", 1);
  integer("FIRED", 0);
  declare({{"MARK", {{"TYPE", "BEHAVIOUR"}, {"CODE", "{FIRED^ADD(1);}"}}},
           {"NO", {{"TYPE", "CONDITION"}, {"OPERAND1", "A"}, {"OPERAND2", "2"}, {"OPERATOR", "EQUAL"}}},
           {"YES", {{"TYPE", "CONDITION"}, {"OPERAND1", "A"}, {"OPERAND2", "1"}, {"OPERATOR", "EQUAL"},
                    {"ONRUNTIMESUCCESS", "MARK"}, {"ONRUNTIMEFAILED", "MARK"}}},
           {"BOTH", {{"TYPE", "COMPLEXCONDITION"}, {"CONDITION1", "NO"}, {"CONDITION2", "YES"}, {"OPERATOR", "AND"}}},
           {"EITHER", {{"TYPE", "COMPLEXCONDITION"}, {"CONDITION1", "YES"}, {"CONDITION2", "NO"}, {"OPERATOR", "OR"}}},
           {"BROKEN", {{"TYPE", "COMPLEXCONDITION"}, {"CONDITION1", "YES"}, {"CONDITION2", "GONE"}, {"OPERATOR", "OR"}}}});
  auto cond = [this](const char* n) { return static_cast<CMC_BasicCondition*>(scene()->getObject(n)); };
  EXPECT_FALSE(cond("BOTH")->valid(true));
  EXPECT_EQ(intValue("FIRED"), 0);  // YES was never evaluated
  EXPECT_TRUE(cond("EITHER")->valid(true));
  EXPECT_EQ(intValue("FIRED"), 1);  // YES evaluated once, NO not at all
  EXPECT_FALSE(cond("BROKEN")->valid(true));
}

TEST_F(ScriptCondition, SelfReferringComplexConditionIsCapped) {
  declare({{"ROUND", {{"TYPE", "COMPLEXCONDITION"}, {"CONDITION1", "ROUND"}, {"CONDITION2", "ROUND"},
                      {"OPERATOR", "OR"}}}});
  captureLog(tarnvik::log::Level::error);
  EXPECT_FALSE(static_cast<CMC_BasicCondition*>(scene()->getObject("ROUND"))->valid(true));
  EXPECT_FALSE(logLines().empty());
  EXPECT_EQ(mc::ScriptDepth::depth(), 0);
}

TEST_F(ScriptCondition, ConditionMethodsAndBehaviourConditions) {
  integer("A", 1);
  integer("N", 0);
  boolean("B", false);
  declare({{"IS1", {{"TYPE", "CONDITION"}, {"OPERAND1", "A"}, {"OPERAND2", "1"}, {"OPERATOR", "EQUAL"}}},
           {"GUARDED", {{"TYPE", "BEHAVIOUR"}, {"CODE", "{N^ADD(1);}"}, {"CONDITION", "IS1"}}}});
  run("B^SET(IS1^CHECK());");
  EXPECT_EQ(textValue("B"), "TRUE");
  // BREAK of a condition that does not hold returns nothing: the behaviour goes on.
  EXPECT_FALSE(run("A^SET(2);IS1^BREAK();N^ADD(10);"));
  EXPECT_EQ(intValue("N"), 10);
  EXPECT_TRUE(run("A^SET(1);IS1^BREAK();N^ADD(10);"));
  EXPECT_FALSE(run("IS1^ONE_BREAK();N^ADD(10);"));
  EXPECT_EQ(intValue("N"), 10);
  // RUNC and condition-checked runs skip the behaviour while the condition fails.
  run("GUARDED^RUNC();A^SET(3);GUARDED^RUNC();GUARDED^RUN();");
  EXPECT_EQ(intValue("N"), 12);
}

}  // namespace
