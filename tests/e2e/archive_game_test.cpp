// Games run from their folders, from an archive and from their precompiled form write the same
// settings; the tool packs, lists and unpacks, refusing hostile entries.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

#include "files/bytereader.h"

namespace fs = std::filesystem;

namespace {

std::string slurpFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class ArchiveGameTest : public ::testing::TestWithParam<std::pair<const char*, int>> {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tarnvik-e2e-pik-" + std::to_string(getpid()) + "-" +
                                        std::to_string(std::random_device{}()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // Runs a program of the build folder inside the temporary folder; returns its exit status.
  int run(const std::string& program, const std::string& arguments) {
    std::string command = "cd '" + dir_.string() + "' && XDG_DATA_HOME='" + (dir_ / "xdg").string() + "' '" +
                          TARNVIK_BUILD_DIR + "/" + program + "' " + arguments + " >out.txt 2>err.txt";
    int raw = std::system(command.c_str());
    out_ = slurpFile(dir_ / "out.txt");
    err_ = slurpFile(dir_ / "err.txt");
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  }
  // Plays headless with a settings file of that name; returns the settings written.
  std::string play(const std::string& settings, const std::string& more, int frames) {
    int status = run("tarnvik", "--headless --log info --frames " + std::to_string(frames) + " --settings " + settings +
                                    " " + more);
    EXPECT_EQ(status, 0) << err_;
    return slurpFile(dir_ / settings);
  }

  fs::path dir_;
  std::string out_, err_;
};

TEST_P(ArchiveGameTest, SameSettingsFromFolderArchiveAndPrecompiledForm) {
  auto [game, frames] = GetParam();
  fs::path source = fs::path(TARNVIK_TEST_GAMES) / game;
  fs::copy(source, dir_ / "g", fs::copy_options::recursive);

  std::string fromFolder = play("folder.ini", "-path g", frames);
  ASSERT_FALSE(fromFolder.empty()) << err_;

  ASSERT_EQ(run("tarnvik-tool", "pack g g.pik"), 0) << err_;
  fs::rename(dir_ / "g", dir_ / "away");
  std::string fromArchive = play("archive.ini", "--archive g.pik", frames);
  EXPECT_EQ(fromArchive, fromFolder);
  fs::rename(dir_ / "away", dir_ / "g");

  ASSERT_EQ(run("tarnvik-tool", "precompile g"), 0) << err_;
  ASSERT_TRUE(fs::exists(dir_ / "g/Dane/application.bin"));
  std::string precompiled = play("bin.ini", "-path g", frames);
  EXPECT_NE(err_.find("running from the precompiled form"), std::string::npos) << err_;
  EXPECT_EQ(err_.find("refused"), std::string::npos) << err_;
  EXPECT_EQ(precompiled, fromFolder);

  // Both at once: the precompiled form packed into an archive.
  ASSERT_EQ(run("tarnvik-tool", "pack g both.pik"), 0) << err_;
  fs::remove_all(dir_ / "g");
  std::string both = play("both.ini", "--archive both.pik -path g", frames);
  EXPECT_NE(err_.find("running from the precompiled form"), std::string::npos) << err_;
  EXPECT_EQ(both, fromFolder);
}

INSTANTIATE_TEST_SUITE_P(Games, ArchiveGameTest,
                         ::testing::Values(std::pair{"counting", 200}, std::pair{"order", 100}, std::pair{"demoname", 5},
                                           std::pair{"episodes", 60}, std::pair{"timers", 200},
                                           std::pair{"pause", 200}, std::pair{"rand", 50},
                                           std::pair{"runontimer", 200}, std::pair{"empty", 1000}),
                         [](const auto& info) { return std::string(info.param.first); });

class ArchiveToolTest : public ArchiveGameTest {};

TEST_F(ArchiveToolTest, BrokenPrecompiledFilesFallBackToTheDefinitions) {
  fs::copy(fs::path(TARNVIK_TEST_GAMES) / "counting", dir_ / "g", fs::copy_options::recursive);
  std::string fromFolder = play("folder.ini", "-path g", 200);
  ASSERT_EQ(run("tarnvik-tool", "precompile g"), 0) << err_;
  fs::resize_file(dir_ / "g/Dane/COUNTING/COUNTING.bin", 20);
  std::ofstream(dir_ / "g/Dane/application.bin", std::ios::binary | std::ios::app) << "tampered";
  EXPECT_EQ(play("one.ini", "-path g", 200), fromFolder);
  EXPECT_NE(err_.find("application.bin refused"), std::string::npos) << err_;
  fs::remove(dir_ / "g/Dane/application.bin");
  ASSERT_EQ(run("tarnvik-tool", "precompile g"), 0) << err_;
  fs::resize_file(dir_ / "g/Dane/COUNTING/COUNTING.bin", 20);
  EXPECT_EQ(play("two.ini", "-path g", 200), fromFolder);
  EXPECT_NE(err_.find("COUNTING.bin refused"), std::string::npos) << err_;
  // The engine's own -2bin writes the same form and starts nothing.
  fs::remove(dir_ / "g/Dane/application.bin");
  ASSERT_EQ(run("tarnvik", "--headless -path g -2bin"), 0) << err_;
  EXPECT_TRUE(fs::exists(dir_ / "g/Dane/application.bin"));
  EXPECT_EQ(out_.find("frames"), std::string::npos) << out_;
  // -forceCNV ignores the precompiled form.
  play("three.ini", "-path g -forceCNV", 10);
  EXPECT_EQ(err_.find("precompiled"), std::string::npos) << err_;
}

TEST_F(ArchiveToolTest, PackListUnpackGiveTheSameTree) {
  fs::copy(fs::path(TARNVIK_TEST_GAMES) / "episodes", dir_ / "g", fs::copy_options::recursive);
  fs::create_directories(dir_ / "g/Empty");
  ASSERT_EQ(run("tarnvik-tool", "pack g g.pik"), 0) << err_;
  ASSERT_EQ(run("tarnvik-tool", "list g.pik"), 0) << err_;
  EXPECT_NE(out_.find("Dane\\application.def"), std::string::npos) << out_;
  ASSERT_EQ(run("tarnvik-tool", "list g.pik --json"), 0) << err_;
  EXPECT_NE(out_.find("\"offset\""), std::string::npos) << out_;
  ASSERT_EQ(run("tarnvik-tool", "unpack g.pik out"), 0) << err_;
  EXPECT_EQ(err_, "");  // no progress line when stderr is not a terminal
  std::vector<std::string> a, b;
  for (const auto& e : fs::recursive_directory_iterator(dir_ / "g")) a.push_back(fs::relative(e.path(), dir_ / "g").string());
  for (const auto& e : fs::recursive_directory_iterator(dir_ / "out")) b.push_back(fs::relative(e.path(), dir_ / "out").string());
  std::sort(a.begin(), a.end());
  std::sort(b.begin(), b.end());
  EXPECT_EQ(a, b);
  for (const std::string& p : a) {
    if (fs::is_regular_file(dir_ / "g" / p)) {
      EXPECT_EQ(slurpFile(dir_ / "g" / p), slurpFile(dir_ / "out" / p)) << p;
    }
  }
  EXPECT_NE(run("tarnvik-tool", "list missing.pik"), 0);
  EXPECT_NE(run("tarnvik-tool", "pack"), 0);
}

TEST_F(ArchiveToolTest, StoreBinaryInARunningGameWritesAFormThatPlaysTheSame) {
  // The classes game: CLASS declarations and instances, CNVLOADER; its scene stores the game at the end
  // of its ONINIT, when the application holds its CNVLOADER and the scene its instances.
  fs::copy(fs::path(TARNVIK_TEST_GAMES) / "classes", dir_ / "g", fs::copy_options::recursive);
  std::string cnv = slurpFile(dir_ / "g/Dane/C/C.cnv");
  const std::string oninit = "C:ONINIT={BEHCLASS^RUN();BEHLOADER^RUN();";
  ASSERT_NE(cnv.find(oninit), std::string::npos);
  cnv.replace(cnv.find(oninit), oninit.size(), oninit + "COUNTER^NEW(KEPT,2);GAME^STOREBINARY();");
  std::ofstream(dir_ / "g/Dane/C/C.cnv", std::ios::trunc) << cnv;
  std::string live = play("live.ini", "-path g", 5);
  EXPECT_EQ(err_.find("no saved-state record"), std::string::npos) << err_;
  ASSERT_TRUE(fs::exists(dir_ / "g/Dane/application.bin")) << err_;
  ASSERT_TRUE(fs::exists(dir_ / "g/Dane/C/C.bin")) << err_;
  std::string precompiled = play("bin.ini", "-path g", 5);
  EXPECT_NE(err_.find("running from the precompiled form"), std::string::npos) << err_;
  EXPECT_EQ(err_.find("refused"), std::string::npos) << err_;
  EXPECT_EQ(precompiled, live);
  EXPECT_NE(live.find("GOT=8"), std::string::npos) << live;
  // -2bin of the same game: exit 0, the same form.
  fs::remove(dir_ / "g/Dane/application.bin");
  ASSERT_EQ(run("tarnvik", "--headless -path g -2bin"), 0) << err_;
  EXPECT_TRUE(fs::exists(dir_ / "g/Dane/application.bin"));
}

TEST_F(ArchiveToolTest, APrecompiledFileOlderThanItsDefinitionIsUsedWithOneWarning) {
  fs::copy(fs::path(TARNVIK_TEST_GAMES) / "counting", dir_ / "g", fs::copy_options::recursive);
  ASSERT_EQ(run("tarnvik-tool", "precompile g"), 0) << err_;
  std::string fromBin = play("bin.ini", "-path g", 200);
  // The author edits the scene and the application file afterwards, without precompiling again.
  auto later = fs::last_write_time(dir_ / "g/Dane/application.bin") + std::chrono::seconds(5);
  fs::last_write_time(dir_ / "g/Dane/application.def", later);
  fs::last_write_time(dir_ / "g/Dane/COUNTING/COUNTING.cnv", later);
  std::string stale = play("stale.ini", "-path g", 200);
  EXPECT_EQ(stale, fromBin) << "the precompiled files are still the ones used";
  for (const char* pair : {"application.bin (precompiled): warning: older than", "COUNTING.bin (precompiled): warning: older than"}) {
    // Said once; the count of repeats at the end of the run names it again on a line of its own.
    size_t at = err_.find(pair);
    ASSERT_NE(at, std::string::npos) << err_;
    size_t again = err_.find(pair, at + 1);
    if (again != std::string::npos) {
      size_t lineStart = err_.rfind('\n', again);
      EXPECT_EQ(err_.compare(lineStart + 1, 24, "tarnvik: warn: repeated "), 0) << "said once: " << err_;
    }
  }
  EXPECT_NE(err_.find("application.def"), std::string::npos) << err_;
  EXPECT_NE(err_.find("COUNTING.cnv"), std::string::npos) << err_;
}

TEST_F(ArchiveToolTest, PackingPrintsItsStatisticsAndProgressOnStandardOutput) {
  fs::create_directories(dir_ / "g/Dane/S");
  std::ofstream(dir_ / "g/Dane/application.def") << "0123456789";
  std::ofstream(dir_ / "g/Dane/S/S.cnv") << "abc";
  std::string blanks = "\r" + std::string(48, ' ');
  auto expected = [&](const std::string& name) {
    return "Big file name: " + name + ".\nNumber of folders: 2.\nNumber of files: 2.\nTotal size: 13 bytes.\n" +
           "TOC size: 60 bytes.\nTOC saved.\n" + blanks + "\rFile 1 of 2 saved." + blanks + "\rFile 2 of 2 saved.\n";
  };
  ASSERT_EQ(run("tarnvik", "-pack -path g -file x.pik"), 0) << err_;
  EXPECT_EQ(out_, expected((dir_ / "x.pik").string()));
  ASSERT_EQ(run("tarnvik", "-bigfile -path g"), 0) << err_;
  EXPECT_EQ(out_, expected((dir_ / "g.pik").string()));
  ASSERT_EQ(run("tarnvik-tool", "pack g y.pik"), 0) << err_;
  EXPECT_EQ(out_, expected("y.pik"));
  EXPECT_EQ(slurpFile(dir_ / "y.pik").size(), slurpFile(dir_ / "x.pik").size() - (dir_ / "x.pik").string().size() + 5);
}

TEST_F(ArchiveToolTest, UnpackRefusesHostileEntriesAndWritesTheRest) {
  const std::vector<std::string> names = {"..", "..\\..\\escape.txt", "/tmp/abs.txt", "C:evil.txt",
                                          std::string("nul\0.txt", 8), "ok.txt"};
  tarnvik::ByteWriter w;
  w.string32("h.pik");
  w.string32("\\");
  w.i32(static_cast<int32_t>(names.size()));
  w.i64(0);
  w.i64(0);
  w.i32(static_cast<int32_t>(names.size()));
  w.i32(0);
  size_t toc = 13;
  for (const std::string& n : names) toc += 20 + n.size();
  int32_t offset = static_cast<int32_t>(w.size() + toc);
  w.string32("h");
  w.i32(static_cast<int32_t>(names.size()));
  w.i32(0);
  for (size_t i = 0; i < names.size(); ++i) {
    w.string32(names[i]);
    w.i32(offset + static_cast<int32_t>(i));
    w.i64(0);
    w.i32(1);
  }
  for (size_t i = 0; i < names.size(); ++i) w.u8('A');
  std::ofstream(dir_ / "h.pik", std::ios::binary).write(reinterpret_cast<const char*>(w.data().data()),
                                                        static_cast<std::streamsize>(w.size()));
  fs::create_directories(dir_ / "deep/out");
  EXPECT_EQ(run("tarnvik-tool", "unpack h.pik deep/out"), 2);
  EXPECT_NE(err_.find("refusing entry"), std::string::npos) << err_;
  EXPECT_TRUE(fs::exists(dir_ / "deep/out/ok.txt"));
  EXPECT_FALSE(fs::exists(dir_ / "deep/escape.txt"));
  EXPECT_FALSE(fs::exists(dir_ / "escape.txt"));
  EXPECT_FALSE(fs::exists("/tmp/abs.txt"));
  size_t count = 0;
  for (const auto& e : fs::recursive_directory_iterator(dir_ / "deep")) count += e.is_regular_file();
  EXPECT_EQ(count, 1u);
  EXPECT_NE(out_.find("5 entries refused"), std::string::npos) << out_;
}

}  // namespace
