// Test helper: a fresh temporary folder with the file layer's roots pointed into it.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "files/file.h"
#include "files/path.h"
#include "foundation/log.h"

namespace tarnvik::test {

class TempTree : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device rd;
    root_ = std::filesystem::temp_directory_path() / ("tarnvik-files-" + std::to_string(rd()) + std::to_string(rd()));
    std::filesystem::create_directories(root_);
    CPath::clearCache();
    CPath::clearWritablePlaces();
    CPath::setDataRootReadOnly(false);
    CFile::closeBigFile();
    CPath::setStartDirectory(CXString(root_.string()));
    CPath::setDataRoot(CXString(root_.string()));
    CPath::setCurrentDirectory(CXString(root_.string()));
    captured().clear();
  }

  void TearDown() override {
    log::setSink(nullptr);
    log::setLevel(log::Level::off);
    CPath::clearWritablePlaces();
    CPath::setDataRootReadOnly(false);
    CPath::clearCache();
    CFile::closeBigFile();
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }

  std::string path(const std::string& relative) const { return (root_ / relative).string(); }

  void write(const std::string& relative, const std::string& content) {
    std::filesystem::path p = root_ / relative;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary);
    out << content;
  }

  std::string read(const std::string& relative) const {
    std::ifstream in(root_ / relative, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  bool exists(const std::string& relative) const { return std::filesystem::exists(root_ / relative); }

  std::vector<std::string> namesIn(const std::string& relative) const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(root_ / relative)) names.push_back(e.path().filename().string());
    return names;
  }

  // The whole content through CFile, or "<error N>".
  static std::string slurp(CFileContext* window, const std::string& name, int mode) {
    CFile f(window, CXString(name), mode);
    if (f.getErrorCode() != 0) return "<error " + std::to_string(f.getErrorCode()) + ">";
    std::string out;
    char buf[7];
    int got;
    while ((got = f.Read(buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(got));
    return out;
  }

  static void captureLog(log::Level level) {
    log::setLevel(level);
    log::setSink([](log::Level, std::string_view text) { captured().emplace_back(text); });
  }
  static std::vector<std::string>& captured() {
    static std::vector<std::string> lines;
    return lines;
  }

  std::filesystem::path root_;
};

}  // namespace tarnvik::test
