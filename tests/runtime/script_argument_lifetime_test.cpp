// Values computed for arguments outlive the statements that produced them.
#include "runtime/script_fixture.h"

namespace {

class ScriptArguments : public ScriptTest {};

// An argument with a parameter and a caret is parsed afresh on every run; when it turns out to be a
// quoted literal, the literal belongs to that short-lived statement and must be copied out.
TEST_F(ScriptArguments, QuotedLiteralFromAParameterisedArgumentSurvivesItsStatement) {
  string("TEXT");
  Params params{"AB"};
  run("TEXT^SET(\"$1^X\");", params.get());
  EXPECT_EQ(textValue("TEXT"), "AB^X");
  run("@(\"$1^);", params.get());  // an empty instruction name with such an argument does nothing
  run("TEXT^SET(\"$1^Y\");", params.get());
  EXPECT_EQ(textValue("TEXT"), "AB^Y");
}

}  // namespace
