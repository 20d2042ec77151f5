// The tool's code, decode and defs commands, run as the built program.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "test_support.h"

namespace {

struct ToolRun {
  int status = -1;
  std::string out;
  std::string err;
};

class ToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tool_ = std::string(TARNVIK_BUILD_DIR) + "/tarnvik-tool";
    if (!std::filesystem::exists(tool_)) GTEST_SKIP() << "tarnvik-tool is not built in " << TARNVIK_BUILD_DIR;
  }

  ToolRun runTool(const std::string& arguments) {
    const std::string out = dir_.file("stdout"), err = dir_.file("stderr");
    std::string command = "'" + tool_ + "' " + arguments + " >'" + out + "' 2>'" + err + "'";
    int raw = std::system(command.c_str());
    ToolRun result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = deftest::readFile(out);
    result.err = deftest::readFile(err);
    return result;
  }

  std::string quoted(const std::string& name) {
    std::string text(1, '\'');
    text += dir_.file(name);
    text += '\'';
    return text;
  }

  deftest::TempDir dir_;
  std::string tool_;
};

TEST_F(ToolTest, CodeAndDecodeWriteSideFilesOrRefuse) {
  deftest::writeFile(dir_.file("a.cnv"), "OBJECT=A\nA:K=v\n");
  EXPECT_EQ(runTool("code " + quoted("a.cnv") + " --cycle 3").status, 0);
  EXPECT_TRUE(deftest::readFile(dir_.file("a.cnv.coded")).starts_with("{<C:3>}\n"));
  ToolRun decoded = runTool("decode " + quoted("a.cnv.coded"));
  EXPECT_EQ(decoded.status, 0) << decoded.err;
  EXPECT_NE(decoded.out.find("a.cnv.coded.decoded"), std::string::npos);
  EXPECT_EQ(deftest::readFile(dir_.file("a.cnv.coded.decoded")), "OBJECT=A\nA:K=v\n");

  for (const std::string& arguments : {"code " + quoted("a.cnv.coded"), "decode " + quoted("a.cnv"),
                                       "code " + quoted("none"), "defs " + quoted("none")}) {
    ToolRun r = runTool(arguments);
    EXPECT_EQ(r.status, 2) << arguments;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  }
  EXPECT_FALSE(std::filesystem::exists(dir_.file("a.cnv.coded.coded")));
  EXPECT_FALSE(std::filesystem::exists(dir_.file("a.cnv.decoded")));
}

TEST_F(ToolTest, BadUsage) {
  EXPECT_EQ(runTool("").status, 1);
  EXPECT_EQ(runTool("frobnicate x").status, 1);
  EXPECT_EQ(runTool("code").status, 1);
  EXPECT_EQ(runTool("code x --cycle 0").status, 1);
  EXPECT_EQ(runTool("code x --cycle 5z").status, 1);
  EXPECT_EQ(runTool("decode a b").status, 1);
  EXPECT_EQ(runTool("--help").status, 0);
}

TEST_F(ToolTest, DefsPrintsElementsAsJson) {
  std::string coded;
  ASSERT_TRUE(CTextCoder::codeBytes("OBJECT=A\nA:T=\xa3\xf3""d\xbc\x81\nA:T=2\nOBJECT=B\nB:ADD=A\n", 6, coded));
  deftest::writeFile(dir_.file("d.cnv"), coded);
  ToolRun r = runTool("defs " + quoted("d.cnv"));
  ASSERT_EQ(r.status, 0) << r.err;
  nlohmann::json parsed = nlohmann::json::parse(r.out);
  nlohmann::json expected = nlohmann::json::parse(R"([
    {"name": "A", "properties": [["T", "\u0141\u00f3d\u013d\ufffd"], ["T", "2"]], "children": ["B"]},
    {"name": "B", "properties": [], "children": []}])");
  EXPECT_EQ(parsed, expected);
  EXPECT_LT(r.out.find("\"name\""), r.out.find("\"properties\""));
  EXPECT_FALSE(std::filesystem::exists(dir_.file("d.cnv.decoded")));
}

}  // namespace
