// Mistakes in script code as written: the shape check of code text, and the warnings a statement
// gives when it runs into an object, method or instruction that does not exist.
#include "runtime/behaviour_entry.h"
#include "runtime/code_check.h"
#include "runtime/script_fixture.h"

namespace {

struct ShapeCase {
  const char* code;
  std::vector<std::string> problems;
};

const ShapeCase kShapes[] = {
    {"{A^SET(1);B^RUN();}", {}},
    {"A^SET(1);", {}},
    {"{@IF(\"A'1\",\"B^SET(1)\",\"\");}", {}},
    {"{A^SET([B+1]);*[C]^RUN(\"{D^SET(2);}\");}", {}},
    {"  ", {}},
    {"{A^SET(1;}", {"unbalanced '(' (1 not closed)"}},
    {"{A^SET(1));}", {"')' without '('"}},
    {"{A^SET([1+2);}", {"unbalanced '[' (1 not closed)"}},
    {"{A^SET(\"x);}", {"unbalanced '\"' (a text is not closed)"}},
    {"{A^SET(1);", {"missing '}' at the end of the code"}},
    {"{A^SET(1)B^SET(2);}", {"missing ';' before B^SET(2) (the statements run together)"}},
    {"{A^SET(1);B^SET(2)}", {"the last statement has no ';' and never runs: B^SET(2)"}},
    {"{@RETURN(1)}", {"the last statement has no ';' and never runs: @RETURN(1)"}},
};

TEST(ScriptCodeShape, ProblemsOfCodeAsWritten) {
  for (const ShapeCase& c : kShapes) EXPECT_EQ(mc::codeProblems(c.code), c.problems) << c.code;
}

class ScriptMistakes : public ScriptTest {};

TEST_F(ScriptMistakes, AStatementWarnsAboutAnUnknownMethodOnceWithTheNearName) {
  captureLog(tarnvik::log::Level::warn);
  integer("X", 1);
  CMC_Behaviour* b = behaviour("B", "X^SETT(5);X^SET(2);");
  b->run(nullptr, nullptr, false);
  b->run(nullptr, nullptr, false);
  EXPECT_EQ(intValue("X"), 2);  // the engine goes on as before
  EXPECT_EQ(logLines(), (std::vector<std::string>{"INTEGER X has no method SETT; did you mean SET?"}));
}

TEST_F(ScriptMistakes, UnknownObjectsAndInstructionsAreNamedWhenMet) {
  captureLog(tarnvik::log::Level::warn);
  run("NOBODY^SET(1);@RETRN(1);");
  EXPECT_EQ(logLines(), (std::vector<std::string>{"no object NOBODY for NOBODY^SET", "no instruction @RETRN; did you mean RETURN?"}));
}

TEST_F(ScriptMistakes, CheckNamesJudgesParsedStatementsWithoutRunningThem) {
  captureLog(tarnvik::log::Level::warn);
  integer("X", 1);
  CMC_Behaviour* b = behaviour("B", "X^ADD(Y^GET());X^SUBB(1);$1^SET(2);");
  for (const auto& line : b->getLines()) line->checkNames();
  EXPECT_EQ(intValue("X"), 1);
  // A target made from a parameter is not judged before it runs.
  EXPECT_EQ(logLines(), (std::vector<std::string>{"no object Y for Y^GET", "INTEGER X has no method SUBB; did you mean SUB?"}));
}

TEST_F(ScriptMistakes, NothingIsSaidBelowTheWarningLevel) {
  captureLog(tarnvik::log::Level::error);
  run("NOBODY^SET(1);");
  EXPECT_TRUE(logLines().empty());
}

}  // namespace
