// Control flow of the script language: BREAK, ONEBREAK, CONTINUE, loops, RETURN, temporaries, nesting caps.
#include "runtime/behaviour_entry.h"
#include "runtime/instruction_runner.h"
#include "runtime/script_fixture.h"

namespace {

class ScriptControl : public ScriptTest {};

TEST_F(ScriptControl, BreakPassesThroughIfRunAndRunc) {
  integer("AFTER", 0);
  behaviour("STOPPER", "@BREAK();AFTER^ADD(100);");
  // IF: the branch breaks, so the behaviour holding the IF stops and reports a break.
  EXPECT_TRUE(run("@IF(1,\"_\",1,STOPPER,\"\");AFTER^ADD(1);"));
  EXPECT_TRUE(run("STOPPER^RUN();AFTER^ADD(1);"));
  EXPECT_TRUE(run("STOPPER^RUNC();AFTER^ADD(1);"));
  EXPECT_EQ(intValue("AFTER"), 0);
  // A branch that does not break lets the behaviour go on.
  EXPECT_FALSE(run("@IF(1,\"_\",2,STOPPER,\"\");AFTER^ADD(1);"));
  EXPECT_EQ(intValue("AFTER"), 1);
}

TEST_F(ScriptControl, LoopsStopAtBreakAndTheBehaviourGoesOn) {
  integer("N", 0);
  integer("AFTER", 0);
  behaviour("BODY", "N^ADD(1);@IF(N,\"_\",3,{@BREAK();},\"\");");
  EXPECT_FALSE(run("@LOOP(BODY,0,10,1);AFTER^ADD(1);"));
  EXPECT_EQ(intValue("N"), 3);
  EXPECT_EQ(intValue("AFTER"), 1);

  scene()->getVariable("N")->fromString("0");
  integer("K", 0);
  EXPECT_FALSE(run("@FOR(K,BODY,0,10,1);AFTER^ADD(1);"));
  EXPECT_EQ(intValue("N"), 3);
  EXPECT_EQ(intValue("K"), 2);

  scene()->getVariable("N")->fromString("0");
  EXPECT_FALSE(run("@WHILE(N,\"<\",10,BODY);AFTER^ADD(1);"));
  EXPECT_EQ(intValue("N"), 3);

  scene()->getVariable("N")->fromString("0");
  EXPECT_FALSE(run("BODY^RUNLOOPED(0,10);AFTER^ADD(1);"));
  EXPECT_EQ(intValue("N"), 3);
  EXPECT_EQ(intValue("AFTER"), 4);
}

TEST_F(ScriptControl, OneBreakAndContinueEndOnlyTheCurrentIteration) {
  integer("SUM", 0);
  behaviour("SKIPODD", "@IF([_I_%2],\"_\",1,{@ONEBREAK();},\"\");SUM^ADD(_I_);");
  // ONEBREAK in the IF branch ends only that branch; the body then adds every counter value.
  EXPECT_FALSE(run("@LOOP(SKIPODD,0,5,1);"));
  EXPECT_EQ(intValue("SUM"), 10);
  scene()->getVariable("SUM")->fromString("0");
  behaviour("CONT", "@CONTINUE();SUM^ADD(100);");
  behaviour("BODY2", "CONT^RUN();SUM^ADD(_I_);");
  EXPECT_FALSE(run("@LOOP(BODY2,1,4,1);"));
  EXPECT_EQ(intValue("SUM"), 6);
  // Directly in a loop body, ONEBREAK skips the rest of that run and the loop goes on.
  scene()->getVariable("SUM")->fromString("0");
  behaviour("BODY3", "SUM^ADD(1);@ONEBREAK();SUM^ADD(100);");
  EXPECT_FALSE(run("@LOOP(BODY3,0,3,1);"));
  EXPECT_EQ(intValue("SUM"), 3);
}

TEST_F(ScriptControl, LoopCountsInBothDirectionsWithItsStep) {
  string("SEEN");
  behaviour("REC", "SEEN^ADD(_I_);SEEN^ADD(\"/\");");
  run("@LOOP(REC,5,1,2);");
  EXPECT_EQ(textValue("SEEN"), "5/3/");
  run("SEEN^SET(\"\");@LOOP(REC,0,3,0);");  // a zero step counts by one
  EXPECT_EQ(textValue("SEEN"), "0/1/2/");
  run("SEEN^SET(\"\");@LOOP(REC,4,4,1);");
  EXPECT_EQ(textValue("SEEN"), "");
  run("SEEN^SET(\"\");@LOOP({SEEN^ADD(_I_);},0,3,1);");
  EXPECT_EQ(textValue("SEEN"), "012");
}

TEST_F(ScriptControl, RunLoopedPassesTheCounterAndTheRestAsParameters) {
  string("SEEN");
  integer("GOT", 0);
  behaviour("EACH", "SEEN^ADD(\"$1.$2.$3/\");@RETURN($1);");
  run("GOT^SET(EACH^RUNLOOPED(2,3,1,X));");
  EXPECT_EQ(textValue("SEEN"), "2.1.X/3.1.X/4.1.X/");
  EXPECT_EQ(intValue("GOT"), 4);
  run("SEEN^SET(\"\");EACH^RUNLOOPED(0,5,2);");
  EXPECT_EQ(textValue("SEEN"), "0.2.$3/2.2.$3/4.2.$3/");
}

TEST_F(ScriptControl, ReturnKeepsRunningAndItsValueStays) {
  integer("GOT", 0);
  integer("AFTER", 0);
  behaviour("FIVE", "@RETURN(4);@RETURN(5);AFTER^ADD(1);");
  run("GOT^SET(FIVE^RUN());");
  EXPECT_EQ(intValue("GOT"), 5);
  EXPECT_EQ(intValue("AFTER"), 1);
  // A run without RETURN yields the stored value again.
  behaviour("NOTHING", "AFTER^ADD(1);");
  run("GOT^SET(0);GOT^SET(NOTHING^RUN());");
  EXPECT_EQ(intValue("GOT"), 5);
  // A value of another type replaces the stored one.
  string("TEXT");
  behaviour("WORD", "@RETURN(\"HI\");");
  run("TEXT^SET(WORD^RUN());");
  EXPECT_EQ(textValue("TEXT"), "HI");
  EXPECT_EQ(scene()->getVariable("__RETURN__")->getType(), mc::TYPE_STRING);
}

TEST_F(ScriptControl, DeclaringTemporaries) {
  boolean("FLAG", true);
  integer("OUT", 0);
  // @BOOL on an existing name changes nothing and yields no value.
  run("@BOOL(FLAG,FALSE);OUT^SET(@BOOL(FLAG,FALSE));");
  EXPECT_EQ(textValue("FLAG"), "TRUE");
  EXPECT_EQ(intValue("OUT"), 0);
  run("@DOUBLE(D,2.5);@STRING(S,\"AB\");OUT^SET(D);OUT^ADD(S^LENGTH());@INT(D,9);");
  EXPECT_EQ(intValue("OUT"), 5);
  EXPECT_EQ(scene()->getObject("D"), nullptr);
  EXPECT_EQ(scene()->getObject("S"), nullptr);
}

TEST_F(ScriptControl, TemporariesOfAnOuterRunSurviveANestedRun) {
  integer("OUT", 0);
  integer("DEPTH", 0);
  behaviour("SELF", "DEPTH^ADD(1);@INT(LOCAL,7);@IF(DEPTH,\"<\",2,{SELF^RUN();},\"\");OUT^ADD(LOCAL);");
  run("SELF^RUN();");
  EXPECT_EQ(intValue("OUT"), 14);
}

TEST_F(ScriptControl, ConditionsOfIfAndWhile) {
  integer("A", 5);
  string("S", "5");
  integer("HITS", 0);
  behaviour("HIT", "HITS^ADD(1);");
  run("@IF(A,\"_\",S,HIT,\"\");");            // the text 5 is converted to the INTEGER 5
  run("@IF(\"A'5\",HIT,\"\");");              // one text, apostrophe for equality
  run("@IF(\"A<6&&A>4\",HIT,\"\");");         // all of an && list
  run("@IF(\"A<1||A>4\",HIT,\"\");");         // any of an || list
  run("@IF(\"A<1&&A>4\",HIT,\"\");");         // not all
  run("@IF(\"A!'5\",HIT,\"\");");             // not equal: does not hold
  run("@IF(A,\">_\",[2+3],HIT);");            // four arguments, no else
  run("@IF(\"A<'5\",HIT,\"\");");             // less or equal
  EXPECT_EQ(intValue("HITS"), 6);
  // Code text as a branch runs as a behaviour made for the occasion.
  run("@IF(A,\"<>\",5,HIT,\"HITS^ADD(10);\");");
  EXPECT_EQ(intValue("HITS"), 16);
  // INSTANCEOF only through the text form.
  run("@IF(A,\"?\",\"INTEGER\",HIT,\"\");@IF(\"HIT?BEHAVIOUR\",HIT,\"\");");
  EXPECT_EQ(intValue("HITS"), 18);
}

TEST_F(ScriptControl, WhileReadsItsConditionAfresh) {
  integer("N", 0);
  run("@WHILE(N,\"<\",7,{N^ADD(2);});");
  EXPECT_EQ(intValue("N"), 8);
  run("N^SET(0);@WHILE(\"N\",\"<_\",3,{N^INC();});");
  EXPECT_EQ(intValue("N"), 4);
}

TEST_F(ScriptControl, EndlessWhileStopsWithAnError) {
  CMC_Instruction_Runner::setWhileLimit(1000);
  integer("N", 0);
  captureLog(tarnvik::log::Level::error);
  run("@WHILE(1,\"_\",1,{N^INC();});N^ADD(1);");
  CMC_Instruction_Runner::setWhileLimit(CMC_Instruction_Runner::WHILE_LIMIT);
  EXPECT_EQ(intValue("N"), 1001);
  ASSERT_EQ(logLines().size(), 1u);
  EXPECT_NE(logLines()[0].find("WHILE"), std::string::npos);
}

TEST_F(ScriptControl, EndlessRecursionIsCappedAndNamed) {
  integer("COUNT", 0);
  integer("AFTER", 0);
  behaviour("FOREVER", "COUNT^ADD(1);FOREVER^RUN();AFTER^ADD(1);");
  captureLog(tarnvik::log::Level::error);
  EXPECT_TRUE(behaviour("START", "FOREVER^RUN();")->run(nullptr, nullptr, false));
  // At most LIMIT levels; fewer where frames are large (sanitizer builds) and the stack share ends first.
  EXPECT_LT(intValue("COUNT"), mc::ScriptDepth::LIMIT);
  EXPECT_GT(intValue("COUNT"), 500);
  EXPECT_EQ(intValue("AFTER"), 0);  // the break unwinds every level
  EXPECT_EQ(mc::ScriptDepth::depth(), 0);
  ASSERT_FALSE(logLines().empty());
  EXPECT_NE(logLines()[0].find("FOREVER"), std::string::npos);
  // Mutual recursion through IF is capped the same way, and the engine keeps working afterwards.
  behaviour("PING", "COUNT^ADD(1);@IF(1,\"_\",1,PONG,\"\");");
  behaviour("PONG", "@IF(1,\"_\",1,PING,\"\");");
  run("COUNT^SET(0);PING^RUN();");
  EXPECT_GT(intValue("COUNT"), 100);
  run("COUNT^SET(42);");
  EXPECT_EQ(intValue("COUNT"), 42);
  // Loops around a runaway recursion do not start it again (that would take 2^levels runs).
  behaviour("TWICE", "COUNT^ADD(1);@LOOP(TWICE,0,2,1);");
  logLines().clear();
  run("COUNT^SET(0);TWICE^RUN();");
  EXPECT_LT(intValue("COUNT"), 2 * mc::ScriptDepth::LIMIT);
  EXPECT_EQ(logLines().size(), 1u);
  run("COUNT^SET(7);");
  EXPECT_EQ(intValue("COUNT"), 7);
}

TEST_F(ScriptControl, DisabledBehaviourAndItsCondition) {
  integer("N", 0);
  CMC_Behaviour* b = behaviour("ADDER", "N^ADD(1);");
  run("ADDER^DISABLE();ADDER^RUN();");
  EXPECT_EQ(intValue("N"), 0);
  run("ADDER^ENABLE();ADDER^RUN();");
  EXPECT_EQ(intValue("N"), 1);
  EXPECT_FALSE(b->run(nullptr, nullptr, true));
  EXPECT_EQ(intValue("N"), 2);
  // Bound to an event while disabled: firing runs nothing but still reports the handler.
  CMC_Object* door = animo("DOOR");
  door->addBehaviour(CXString("ONSIGNAL^OPEN"), b, nullptr, scene());
  b->enable(false);
  EXPECT_TRUE(door->onSignal(CXString("ONSIGNAL^OPEN")));
  EXPECT_EQ(intValue("N"), 2);
}

TEST_F(ScriptControl, InstructionsGivingNames) {
  string("OUT");
  run("OUT^SET(@GETCURRENTSCENE());OUT^ADD(@GETAPPLICATIONNAME());");
  EXPECT_EQ(textValue("OUT"), "SCENE1APP");
  run("OUT^SET(@CONV(2.75,\"INTEGER\"));");
  EXPECT_EQ(textValue("OUT"), "3");
  integer("N", 4);
  run("OUT^SET(@VALUE(N));");
  EXPECT_EQ(textValue("OUT"), "4");
  // CREATE of a type no layer provides yet is recorded, not performed.
  CMC_Instruction_Runner::clearPendingCreates();
  run("@CREATE(\"ANIMO\",\"NEWANIM\");@CREATE(\"WIDGET\",\"NOPE\");");
  ASSERT_EQ(CMC_Instruction_Runner::pendingCreates().size(), 1u);
  EXPECT_EQ(CMC_Instruction_Runner::pendingCreates()[0].name.str(), "NEWANIM");
}

TEST_F(ScriptControl, InlineBehavioursMadePerRunAreRemoved) {
  integer("N", 0);
  Params p{"2"};
  int before = scene()->getElementsNo();
  run("@IF(1,\"_\",1,{N^ADD($1);},\"\");", p.get());
  EXPECT_EQ(intValue("N"), 2);
  // The inline body is a "temp_" behaviour of the scope; it stays for the next runs.
  EXPECT_EQ(scene()->getElementsNo(), before + 2);
}

TEST_F(ScriptControl, ReparsedInlineCodeDoesNotPileUpBehaviours) {
  integer("N", 0);
  CMC_Behaviour* b = behaviour("OUTER", "@IF(1,\"_\",1,{@IF($1,\"_\",1,{N^ADD(1);},\"\");},\"\");");
  Params one{"1"};
  b->run(nullptr, one.get(), false);
  int count = scene()->getElementsNo();
  for (int i = 0; i < 5; ++i) b->run(nullptr, one.get(), false);
  EXPECT_EQ(scene()->getElementsNo(), count);
  EXPECT_EQ(intValue("N"), 6);
  Params zero{"0"};
  b->run(nullptr, zero.get(), false);
  EXPECT_EQ(intValue("N"), 6);
}

TEST_F(ScriptControl, SendAndBehaviourBinding) {
  integer("N", 0);
  behaviour("OPENER", "N^ADD(1);");
  CMC_Object* obj = animo("DOOR");
  run("DOOR^ADDBEHAVIOUR(\"ONSIGNAL$OPEN\",OPENER);DOOR^SEND(OPEN);DOOR^SEND(CLOSE);");
  EXPECT_EQ(intValue("N"), 1);
  ASSERT_NE(obj->getBehaviour("ONSIGNAL^OPEN"), nullptr);
  run("DOOR^REMOVEBEHAVIOUR(\"ONSIGNAL$OPEN\");DOOR^SEND(OPEN);");
  EXPECT_EQ(intValue("N"), 1);
  string("NAME");
  run("NAME^SET(DOOR^GETNAME());");
  EXPECT_EQ(textValue("NAME"), "DOOR");
}

TEST_F(ScriptControl, HandlersBoundToInlineCodeNeverOutliveIt) {
  integer("N", 0);
  CMC_Object* door = animo("DOOR");
  CMC_Behaviour* binder = behaviour("BINDER", "DOOR^ADDBEHAVIOUR(\"ONSIGNAL$OPEN\",\"{N^ADD(1);}\");");
  binder->run(nullptr, nullptr, false);
  door->onSignal("ONSIGNAL^OPEN");
  EXPECT_EQ(intValue("N"), 1);
  // Parsing the code again deletes the inline behaviour of the old line; the handler must not run it.
  Params one{"1"};
  binder->setParams(one.get());
  door->onSignal("ONSIGNAL^OPEN");
  EXPECT_EQ(intValue("N"), 1);
  // Inline code that arrives through a parameter lives for one run of its statement only.
  Params code{"{N^ADD(1);}"};
  behaviour("PBINDER", "DOOR^ADDBEHAVIOUR(\"ONSIGNAL$SHUT\",$1);")->run(nullptr, code.get(), false);
  door->onSignal("ONSIGNAL^SHUT");
  EXPECT_EQ(intValue("N"), 1);
}

}  // namespace
