// Hostile and malformed code: generated statements are parsed and run without faults or hangs.
#include <random>

#include "runtime/behaviour_entry.h"
#include "runtime/condition.h"
#include "runtime/instruction_runner.h"
#include "runtime/script_fixture.h"

namespace {

class ScriptRobustness : public ScriptTest {};

// Pieces of the language, glued at random into statements.
const char* const kPieces[] = {
    "A", "S", "D", "B", "BEH", "THIS", "*", "*[", "[", "]", "(", ")", "^", "@", "$1", "$", "&", "\"", "'",
    ",", ";", "{", "}", "|", "+", "-", "@", "%", "_", "<", ">", "?", "!", "0", "1", "7", "-3", "2.5", "05",
    "SET", "ADD", "SUB", "DIV", "MOD", "GET", "CUT", "FIND", "REPLACEAT", "INSERTAT", "NOT", "LOG", "RUN",
    "RUNC", "IF", "WHILE", "LOOP", "FOR", "RETURN", "BREAK", "ONEBREAK", "CONTINUE", "INT", "STRING", "BOOL",
    "CONV", "VALUE", "CREATE", "CLONE", "SEND", "ADDBEHAVIOUR", "REMOVEBEHAVIOUR", "GETNAME", "__RETURN__",
    "_I_", "TRUE", "INTEGER", " ", "\t"};

TEST_F(ScriptRobustness, GeneratedCodeNeverFaults) {
  CMC_Instruction_Runner::setWhileLimit(50);
  integer("A", 3);
  string("S", "text");
  number("D", 1.5);
  boolean("B", true);
  behaviour("BEH", "A^ADD(1);");
  std::mt19937 random(12345);
  std::uniform_int_distribution<size_t> piece(0, std::size(kPieces) - 1);
  std::uniform_int_distribution<int> length(1, 24);
  for (int i = 0; i < 3000; ++i) {
    std::string code;
    for (int n = length(random); n > 0; --n) code += kPieces[piece(random)];
    code += ";";
    Params p{"A", "1"};
    CMC_Behaviour b(scene(), CXString("FUZZ"), CXString(code));
    b.init();
    b.run(nullptr, p.get(), true);
    // The engine stays usable: the counter can still be set and read.
    CMC_Behaviour_Entry check(scene(), nullptr, CXString("A^SET(3)"));
    check.run(nullptr, nullptr);
    ASSERT_EQ(intValue("A"), 3) << code;
    CMC_VariableFactory::clearPool();
    CMC_Behaviour::flushTrash();
  }
  CMC_Instruction_Runner::setWhileLimit(CMC_Instruction_Runner::WHILE_LIMIT);
  EXPECT_EQ(mc::ScriptDepth::depth(), 0);
}

TEST_F(ScriptRobustness, MalformedStatementsDoNothing) {
  integer("A", 1);
  const char* cases[] = {"A^", "^", "^SET(1)", "A^SET(", "A^SET)", "*", "*^", "*[", "*[]^SET(2)", "*[A^SET(2)",
                         "@", "@(", "@IF(", "@IF()", "@LOOP(,,,)", "@FOR(A)", "@WHILE(A)", "[", "[]", "\"",
                         "THIS^", "$", "$9^SET(2)", "A|B^SET(2)", "|^SET(2)", "@RETURN()", "@CONV()", "@INT()", "@VALUE()", "@CREATE()"};
  for (const char* c : cases) {
    std::string code = std::string(c) + ";";
    run(code.c_str());
  }
  EXPECT_EQ(intValue("A"), 1);
  // Arguments that are mere punctuation are text literals, which read as 0.
  for (const char* c : {"A^SET(&);", "A^SET(&NOPE);", "A^SET({);", "A^SET(\"{);"}) {
    run("A^SET(1);");
    run(c);
    EXPECT_EQ(intValue("A"), 0) << c;
  }
}

TEST_F(ScriptRobustness, ConditionTextsWithoutOperandsHoldNothing) {
  EXPECT_TRUE(CMC_Condition::valid(scene(), CXString("'")));  // empty text equals empty text
  EXPECT_FALSE(CMC_Condition::valid(scene(), CXString("<")));
  EXPECT_FALSE(CMC_Condition::valid(scene(), CXString("")));
  EXPECT_FALSE(CMC_Condition::valid(scene(), CXString("?")));
  integer("CONVOY", 4);
  EXPECT_TRUE(CMC_Condition::valid(scene(), CXString("CONVOY'4")));
}

}  // namespace
