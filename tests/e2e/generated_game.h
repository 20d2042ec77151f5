// A game folder written by the test into a temporary directory and played headless by the player;
// its TOINI values are read back from the settings file it wrote.
#pragma once

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <vector>

#include "settings/config.h"

class GeneratedGameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("tarnvik-game-" + std::to_string(getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->test_suite_name() + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_ / "game" / "Dane" / "S");
  }
  void TearDown() override {
    if (!HasFailure()) std::filesystem::remove_all(dir_);
  }

  void write(const std::filesystem::path& relative, const std::string& text) {
    std::ofstream(dir_ / "game" / relative, std::ios::binary) << text;
  }
  void writeBytes(const std::filesystem::path& relative, const std::vector<uint8_t>& bytes) {
    std::ofstream(dir_ / "game" / relative, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  // One scene S with the given scene file.
  void scene(const std::string& cnv, const std::string& sceneKeys = "") {
    write("Dane/application.def",
          "OBJECT=GAME\nGAME:TYPE=APPLICATION\nGAME:SCENES=S\nGAME:STARTWITH=S\n\n"
          "OBJECT=S\nS:TYPE=SCENE\nS:PATH=S\n" + sceneKeys);
    write("Dane/S/S.cnv", cnv);
  }
  // Plays the game headless; returns the exit status.
  int play(int frames, const std::vector<std::string>& more = {}) {
    pid_t pid = fork();
    if (pid == 0) {
      if (!freopen((dir_ / "out").c_str(), "w", stdout) || !freopen((dir_ / "err").c_str(), "w", stderr)) _exit(120);
      setenv("XDG_DATA_HOME", (dir_ / "xdg").c_str(), 1);
      std::string program = std::string(TARNVIK_BUILD_DIR) + "/tarnvik";
      std::vector<std::string> args{program, "--headless", "--frames", std::to_string(frames), "--settings",
                                    (dir_ / "settings.ini").string()};
      args.insert(args.end(), more.begin(), more.end());
      args.insert(args.end(), {"-path", (dir_ / "game").string()});
      std::vector<char*> argv;
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(program.c_str(), argv.data());
      _exit(121);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  std::string err() const {
    std::ifstream in(dir_ / "err");
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  int value(const char* key) const { return CConfig((dir_ / "settings.ini").string()).GetInt("S", key, -999); }
  std::string text(const char* key) const {
    return CConfig((dir_ / "settings.ini").string()).GetString("S", key, "<absent>").str();
  }

  // Declares TOINI integers.
  static std::string integers(std::initializer_list<const char*> names) {
    std::string out;
    for (const char* n : names) out += std::string("OBJECT=") + n + "\n" + n + ":TYPE=INTEGER\n" + n + ":TOINI=TRUE\n";
    return out;
  }

  std::filesystem::path dir_;
};
