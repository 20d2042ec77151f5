// The script language end to end: splitting, parsing cases, parameters and the worked examples.
#include <functional>
#include <utility>

#include "runtime/behaviour_entry.h"
#include "runtime/script_fixture.h"

namespace {

using Strings = std::vector<std::string>;

TEST(ScriptSplitting, StatementsEndAtSemicolonsOutsideParentheses) {
  EXPECT_EQ(CMC_Behaviour_Entry::splitStatements("A^B(C;D);E^F();"), (Strings{"A^B(C;D)", "E^F()"}));
  // Text after the last ";" is not a statement.
  EXPECT_EQ(CMC_Behaviour_Entry::splitStatements("A^B();C^D()"), (Strings{"A^B()"}));
  // Blanks vanish everywhere, quoted text included; tabs stay.
  EXPECT_EQ(CMC_Behaviour_Entry::splitStatements(" N^SET(\"HELLO WORLD\") ;\tX^Y();"),
            (Strings{"N^SET(\"HELLOWORLD\")", "\tX^Y()"}));
  // A quoted parenthesis changes the depth: the rest is swallowed into an unfinished statement.
  EXPECT_EQ(CMC_Behaviour_Entry::splitStatements("A^B(\"(\");C^D();"), Strings{});
  EXPECT_EQ(CMC_Behaviour_Entry::splitStatements(";;"), (Strings{"", ""}));
}

TEST(ScriptSplitting, ArgumentsSplitAtTopLevelCommasEvenInsideQuotes) {
  EXPECT_EQ(CMC_Behaviour_Entry::splitArguments("\"A,B\",C(D,E),[F]"), (Strings{"\"A", "B\"", "C(D,E)", "[F]"}));
  EXPECT_EQ(CMC_Behaviour_Entry::splitArguments(""), Strings{});
  EXPECT_EQ(CMC_Behaviour_Entry::splitArguments(",x"), (Strings{"", "x"}));
}

TEST(ScriptSplitting, ParameterSubstitution) {
  Params p{"ANIMO1", "7"};
  EXPECT_EQ(CMC_Behaviour_Entry::fillParams("$1^PLAY($2)", p.get()).str(), "ANIMO1^PLAY(7)");
  EXPECT_EQ(CMC_Behaviour_Entry::fillParams("$0,$A,$$,$", p.get()).str(), "$0,$A,$$,$");
  // A reference beyond the parameters given stays as written.
  EXPECT_EQ(CMC_Behaviour_Entry::fillParams("$3+$1", p.get()).str(), "$3+ANIMO1");
  EXPECT_EQ(CMC_Behaviour_Entry::fillParams("$1", nullptr).str(), "$1");
  // No fixed buffer: long texts and long parameters survive whole.
  std::string longText(20000, 'x');
  Params big{longText.c_str()};
  EXPECT_EQ(CMC_Behaviour_Entry::fillParams(CXString("<$1$1>"), big.get()).length(), 40002);
}

class ScriptLanguage : public ScriptTest {};

TEST_F(ScriptLanguage, WorkedExamplesOfCalls) {
  animo("ANIMO1");
  integer("COUNT", 0);
  string("NAME", "ANIMO1");
  run("ANIMO1^PLAY(\"WALK\");ANIMO1^PLAY(WALK);");
  EXPECT_EQ(recordedCalls(), (Strings{"ANIMO1.PLAY(WALK)", "ANIMO1.PLAY(WALK)"}));

  run("COUNT^ADD(1);COUNT^ADD(1);");
  EXPECT_EQ(intValue("COUNT"), 2);
  run("COUNT^ADD(1);COUNT^SET(0);");
  EXPECT_EQ(intValue("COUNT"), 0);

  recordedCalls().clear();
  CMC_Object* a = scene()->getObject("ANIMO1");
  run("THIS^PLAY(\"STOP\");", nullptr, a);
  run("THIS^PLAY(\"NOONE\");");  // no current object: nothing
  Params p{"ANIMO1"};
  run("$1^PLAY(\"WALK\");", p.get());
  run("*NAME^PLAY(\"WALK\");");
  EXPECT_EQ(recordedCalls(), (Strings{"ANIMO1.PLAY(STOP)", "ANIMO1.PLAY(WALK)", "ANIMO1.PLAY(WALK)"}));
}

TEST_F(ScriptLanguage, WorkedExamplesOfInstructions) {
  animo("ANIMO1");
  integer("COUNT", 5);
  behaviour("BEHWALK", "ANIMO1^PLAY(\"WALK\");");
  run("@IF(COUNT,\"_\",5,BEHWALK,\"\");");
  run("COUNT^SET(4);@IF(COUNT,\"_\",5,BEHWALK,\"\");");
  EXPECT_EQ(recordedCalls(), (Strings{"ANIMO1.PLAY(WALK)"}));
  recordedCalls().clear();
  run("@LOOP({ANIMO1^SETFRAME(_I_);},0,10,1);");
  ASSERT_EQ(recordedCalls().size(), 10u);
  EXPECT_EQ(recordedCalls().front(), "ANIMO1.SETFRAME(0)");
  EXPECT_EQ(recordedCalls().back(), "ANIMO1.SETFRAME(9)");
  EXPECT_TRUE(run("@BREAK();COUNT^SET(99);"));
  EXPECT_EQ(intValue("COUNT"), 4);
}

TEST_F(ScriptLanguage, IndirectTargetByExpressionAndQuotedParameterNames) {
  animo("ANIMO1");
  animo("ANIMO2");
  string("ANIM", "ANIMO");
  integer("COUNT", 1);
  CMC_Behaviour* b = behaviour("HIDER", "*[ANIM+COUNT]^HIDE();");
  b->run(nullptr, nullptr, false);
  scene()->getVariable("COUNT")->fromString("2");
  b->run(nullptr, nullptr, false);
  // The bracket may hold parentheses of its own.
  run("*[ANIM+COUNT^GET()]^HIDE();");
  // RUN wraps object names in quotes; a target substituted from such a parameter still finds them.
  Params quoted{"\"ANIMO1\""};
  run("$1^PLAY(X);", quoted.get());
  EXPECT_EQ(recordedCalls(), (Strings{"ANIMO1.HIDE()", "ANIMO2.HIDE()", "ANIMO2.HIDE()", "ANIMO1.PLAY(X)"}));
}

TEST_F(ScriptLanguage, ArgumentsAreVariablesReferencesExpressionsAndLiterals) {
  integer("COUNT", 3);
  string("NAME", "12abc");
  run("COUNT^SET(NAME);");
  EXPECT_EQ(intValue("COUNT"), 12);
  run("COUNT^SET([COUNT*2]);");
  EXPECT_EQ(intValue("COUNT"), 24);
  run("NAME^SET(\"HELLO WORLD\");");
  EXPECT_EQ(textValue("NAME"), "HELLOWORLD");
  // Quotes protect nothing: "A,B" is two arguments, so SET takes the first ("A, without its quote).
  run("NAME^SET(\"A,B\");");
  EXPECT_EQ(textValue("NAME"), "A");
  // The literal 05 is text, 0.5 a DOUBLE converted by rounding.
  run("NAME^SET(05);COUNT^SET(2.5);");
  EXPECT_EQ(textValue("NAME"), "05");
  EXPECT_EQ(intValue("COUNT"), 3);
  // A method call as an argument is evaluated on every run.
  integer("OTHER", 40);
  run("COUNT^SET(OTHER^GET());");
  EXPECT_EQ(intValue("COUNT"), 40);
}

TEST_F(ScriptLanguage, StatementWithoutFinalSemicolonIsLost) {
  integer("COUNT", 0);
  run("COUNT^ADD(1);COUNT^ADD(10)");
  EXPECT_EQ(intValue("COUNT"), 1);
  // One statement: the ";" inside parentheses belongs to the text COUNT;5, which reads as 0.
  run("COUNT^SET(COUNT;5);COUNT^ADD(7);");
  EXPECT_EQ(intValue("COUNT"), 7);
}

TEST_F(ScriptLanguage, UnknownTargetsAndMethodsDoNothing) {
  integer("COUNT", 0);
  run("NOBODY^SET(5);COUNT^FOO(1);@NOSUCH();COUNT^ADD(1);");
  EXPECT_EQ(intValue("COUNT"), 1);
}

TEST_F(ScriptLanguage, ObjectsCreatedDuringARunAreFoundByName) {
  // LATER does not exist when the line is parsed; it is looked up when the line runs.
  CMC_Behaviour* b = behaviour("USER", "LATER^ADD(5);RESULT^SET(LATER);");
  integer("LATER", 1);
  integer("RESULT", 0);
  b->run(nullptr, nullptr, false);
  EXPECT_EQ(intValue("LATER"), 6);
  EXPECT_EQ(intValue("RESULT"), 6);
  // A temporary made by @INT inside the run is found by the following lines and removed afterwards.
  run("@INT(TMP,4);TMP^ADD(1);RESULT^SET(TMP);");
  EXPECT_EQ(intValue("RESULT"), 5);
  EXPECT_EQ(scene()->getObject("TMP"), nullptr);
}

TEST_F(ScriptLanguage, ObjectsReplacedAfterParsingAreFoundAgain) {
  integer("X", 1);
  integer("R", 0);
  string("N", "X");
  CMC_Behaviour* b = behaviour("USER", "X^ADD(1);R^SET(X);R^ADD([X*10]);*N^ADD(100);");
  b->run(nullptr, nullptr, false);
  EXPECT_EQ(intValue("R"), 22);
  // A same-named object replaces (and deletes) the one the lines were bound to.
  integer("X", 5);
  b->run(nullptr, nullptr, false);
  EXPECT_EQ(intValue("X"), 106);
  EXPECT_EQ(intValue("R"), 66);
}

// Lines parsed before their names exist bind the objects once found; each case changes the names
// between two runs the way scene changes, CNVLOADER release and CLASS instance deletion do.
TEST_F(ScriptLanguage, NamesBoundAtRunTimeFollowDeletionReplacementAndNearerScopes) {
  enum class Change { Recreate, UnloadAndReenter, NearerScope };
  const std::pair<const char*, Change> cases[] = {
      // Taken out and deleted (a released CNVLOADER, a deleted CLASS instance), then made again.
      {"deleted and re-created", Change::Recreate},
      // A scene left and entered again: every object of the scope goes, the same names come back.
      {"scope unloaded and entered again", Change::UnloadAndReenter},
      // The first runs found LATE in the application; now the scene has its own.
      {"a nearer scope gains the name", Change::NearerScope},
  };
  for (const auto& [what, change] : cases) {
    SCOPED_TRACE(what);
    TearDown();
    SetUp();
    CMC_Behaviour* user = behaviour("USER", "LATE^ADD(1);R^SET(LATE);R^MUL(100);R^ADD(LATE);");
    integer("R", 0);
    auto* first = new CMC_Integer(CXString("LATE"), 2);
    CMC_ObjectsContainer* home = change == Change::NearerScope ? scene()->getParent() : scene();
    first->setScene(home);
    home->addObject(first);
    user->run(nullptr, nullptr, false);
    EXPECT_EQ(intValue("R"), 303);
    if (change == Change::Recreate) {
      scene()->removeObject(first);
      delete first;
    } else if (change == Change::UnloadAndReenter) {
      scene()->removeObject(user);
      scene()->unload();
      scene()->addObject(user);
      integer("R", 0);
    }
    integer("LATE", 7);
    user->run(nullptr, nullptr, false);
    EXPECT_EQ(intValue("R"), 808);  // the new LATE, 7 + 1, times 100, plus itself
    EXPECT_EQ(intValue("LATE"), 8);
  }
}

// A behaviour whose runs call back into the test (bound as a change handler, it acts mid-loop).
struct Hook : CMC_Behaviour {
  using CMC_Behaviour::CMC_Behaviour;
  bool run(CMC_Object*, CXArray*, bool) override {
    if (action) action();
    return false;
  }
  std::function<void()> action;
};

// A loop body keeps its calls and arguments bound between iterations; each case changes LATE in the
// middle of a loop (before the third iteration's calls) and the body must see the change at once.
TEST_F(ScriptLanguage, NamesBoundInALoopBodyFollowChangesMadeMidLoop) {
  enum class Change { Replace, Delete, NearerScope };
  struct Case {
    const char* what;
    Change change;
    int result;  // R after four iterations of LATE^ADD(1);R^ADD(LATE);
    int late;    // LATE of the scene then (-999999: none)
  };
  const Case cases[] = {
      // 2, 5, then the new LATE: 101 (R 106), 102 (R 208).
      {"replaced by a new object of the same name", Change::Replace, 208, 102},
      // Gone: the calls find nothing and the argument reads as the text "LATE" (0).
      {"deleted", Change::Delete, 5, -999999},
      // First found in the application; then the scene gains its own.
      {"a nearer scope gains the name", Change::NearerScope, 208, 102},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TearDown();
    SetUp();
    // Parsed before LATE exists: the lines bind it the first time they find it.
    behaviour("BODY", "T^SET(_I_);LATE^ADD(1);R^ADD(LATE);");
    integer("R", 0);
    CMC_Integer* t = integer("T", 0);
    auto* first = new CMC_Integer(CXString("LATE"), 1);
    CMC_ObjectsContainer* home = c.change == Change::NearerScope ? scene()->getParent() : scene();
    first->setScene(home);
    home->addObject(first);
    auto* hook = add(new Hook(scene(), CXString("HOOK"), CXString()));
    hook->action = [&] {
      if (t->getValue() != 2) return;
      if (c.change != Change::NearerScope) {
        scene()->removeObject(first);
        delete first;
      }
      if (c.change != Change::Delete) integer("LATE", 100);
    };
    t->addBehaviour(CXString("ONCHANGED"), hook, nullptr, scene());
    run("@LOOP(BODY,0,4,1);");
    EXPECT_EQ(intValue("R"), c.result);
    EXPECT_EQ(intValue("LATE"), c.late);
    if (c.change == Change::NearerScope) {
      EXPECT_EQ(first->getValue(), 3);
    }
  }
}

// The loop runs its body's lines itself; what the body's own run would check still counts on every
// iteration, and a kind of behaviour with a run of its own still gets every run.
TEST_F(ScriptLanguage, LoopBodiesAreCheckedOnEveryIteration) {
  integer("N", 0);
  // Disabled by its second run: the loop goes on counting without running it.
  behaviour("SELFSTOP", "N^ADD(1);@IF(N,\"_\",2,{SELFSTOP^DISABLE();},\"\");");
  run("@LOOP(SELFSTOP,0,5,1);");
  EXPECT_EQ(intValue("N"), 2);
  EXPECT_EQ(intValue("_I_"), 4);
  // A behaviour of a kind with a run of its own is run through it on every iteration.
  int runs = 0;
  auto* hook = add(new Hook(scene(), CXString("HOOKBODY"), CXString("N^ADD(1);")));
  hook->init();
  hook->action = [&] { ++runs; };
  run("@LOOP(HOOKBODY,0,3,1);");
  EXPECT_EQ(runs, 3);
  EXPECT_EQ(intValue("N"), 2);  // the hook's run replaces the lines' run
}

TEST_F(ScriptLanguage, InlineArgumentsSeeTheCallersParameters) {
  integer("COUNT", 0);
  CMC_Behaviour* b = behaviour("ADDER", "@IF(1,\"_\",1,{COUNT^ADD($1);},\"\");");
  Params three{"3"};
  b->run(nullptr, three.get(), false);
  Params four{"4"};
  b->run(nullptr, four.get(), false);
  EXPECT_EQ(intValue("COUNT"), 7);
}

TEST_F(ScriptLanguage, RunPassesObjectNamesQuotedAndValuesAsText) {
  animo("ANIMO1");
  string("GOT1");
  string("GOT2");
  behaviour("BEHWALK", "GOT1^SET(\"$1\");GOT2^SET($2);$1^PLAY(\"WALK\");");
  run("BEHWALK^RUN(ANIMO1,3);");
  EXPECT_EQ(textValue("GOT1"), "\"ANIMO1\"");
  EXPECT_EQ(textValue("GOT2"), "3");
  EXPECT_EQ(recordedCalls(), (Strings{"ANIMO1.PLAY(WALK)"}));
}

TEST_F(ScriptLanguage, TraceLogNamesTheBehaviourOfEveryStatement) {
  integer("COUNT", 0);
  captureLog(tarnvik::log::Level::trace);
  behaviour("TRACED", "COUNT^ADD(1);COUNT^ADD(2);")->run(nullptr, nullptr, false);
  int seen = 0;
  for (const std::string& line : logLines())
    if (line.find("TRACED") != std::string::npos && line.find("COUNT^ADD(") != std::string::npos) ++seen;
  EXPECT_EQ(seen, 2);
}

}  // namespace
