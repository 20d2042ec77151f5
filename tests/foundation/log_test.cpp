// The logger's warnings (once per run with their repeats counted, located ones as FILE:LINE) and the
// near names of "did you mean".
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/log.h"
#include "foundation/spelling.h"

namespace {

namespace log = tarnvik::log;

std::vector<std::string>& lines() {
  static std::vector<std::string> captured;
  return captured;
}

class LogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    lines().clear();
    log::setLevel(log::Level::warn);
    log::setSink([](log::Level, std::string_view text) { lines().emplace_back(text); });
  }
  void TearDown() override {
    log::setSink(nullptr);
    log::setCollector(nullptr);
    log::setLevel(log::Level::off);
  }
  static log::Origin at(const char* file, int line) { return log::Origin::at(std::make_shared<const std::string>(file), line); }
};

TEST_F(LogTest, AWarningIsWrittenOnceAndItsRepeatsCountedAtTheEnd) {
  for (int i = 0; i < 3; ++i) TLOG_WARN("sound x: file not found");
  TLOG_WARN("another");
  ASSERT_EQ(lines(), (std::vector<std::string>{"sound x: file not found", "another"}));
  log::reportRepeats();
  EXPECT_EQ(lines().back(), "repeated 2 times: sound x: file not found");
  EXPECT_EQ(lines().size(), 3u);
}

TEST_F(LogTest, LocatedWarningsNameFileAndLineOrThePrecompiledFile) {
  TLOG_WARN_AT(at("Dane/s/s.cnv", 12), "unknown key VISIBEL");
  TLOG_DOUBT_AT(at("Dane/s/s.bin", 0), "unknown key VISIBEL");
  TLOG_WARN_AT(log::Origin(), "no origin");
  EXPECT_EQ(lines(), (std::vector<std::string>{"Dane/s/s.cnv:12: warning: unknown key VISIBEL",
                                               "Dane/s/s.bin (precompiled): warning: unknown key VISIBEL", "no origin"}));
}

TEST_F(LogTest, ErrorLevelSilencesWarningsButACollectorStillGathersThem) {
  log::setLevel(log::Level::error);
  TLOG_WARN_AT(at("a.cnv", 1), "silenced");
  EXPECT_TRUE(lines().empty());
  static std::vector<std::string> gathered;
  gathered.clear();
  log::setCollector([](const log::Origin& where, log::Rank rank, std::string_view message) {
    gathered.push_back(where.text() + (rank == log::Rank::error ? " E " : " W ") + std::string(message));
  });
  TLOG_WARN_AT(at("a.cnv", 1), "unknown object X");
  TLOG_DOUBT_AT(at("a.cnv", 2), "unknown key K");
  EXPECT_EQ(gathered, (std::vector<std::string>{"a.cnv:1 E unknown object X", "a.cnv:2 W unknown key K"}));
  EXPECT_TRUE(lines().empty());
}

TEST(Spelling, NearNamesAreOneOrTwoEditsAway) {
  const std::vector<std::string> methods{"PLAY", "STOP", "SETFRAME", "SHOW", "HIDE", "GETFRAME"};
  struct Case {
    const char* name;
    const char* expected;
  } cases[] = {
      {"PLAYY", "PLAY"},        // one letter too many
      {"PLY", "PLAY"},          // one too few
      {"SETFARME", "SETFRAME"}, // two swapped: one edit
      {"SETFRME", "SETFRAME"},
      {"GETFRAMEE", "GETFRAME"},
      {"SHWO", "SHOW"},
      {"PAUSE", ""},            // nothing near
      {"ST", ""},               // two edits in a short name is another name
      {"PLAY", ""},             // the name itself is no suggestion
  };
  for (const Case& c : cases) EXPECT_EQ(tarnvik::closestName(c.name, methods), c.expected) << c.name;
  EXPECT_EQ(tarnvik::didYouMean("PLAYY", methods), "; did you mean PLAY?");
  EXPECT_EQ(tarnvik::didYouMean("JUMP", methods), "");
  EXPECT_EQ(tarnvik::editDistance("KITTEN", "SITTING", 5), 3);
  EXPECT_EQ(tarnvik::editDistance("A", "ABCDEFG", 2), 3);  // cut off past the limit
}

}  // namespace
