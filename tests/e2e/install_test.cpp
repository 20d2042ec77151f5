// The installed program: `cmake --install` into a temporary DESTDIR gives a tree whose player plays
// the installed demo with no game named, whose desktop files pass the desktop's own validators, and
// whose manual pages list exactly the options of `--help`; the Debian package holds the same tree.
#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>
#include <vector>

#include "e2e/player_fixture.h"

namespace {

using namespace tarnvik::e2e;

const fs::path kBuild(TARNVIK_BUILD_DIR);
const fs::path kReferences = fs::path(TARNVIK_TEST_GAMES) / "demo-references";
const char* const kAppId = "org.tarnvik.Tarnvik";

// Every file the installed tree must hold (under the prefix), the demo's definitions among them.
const std::vector<std::string> kInstalledFiles = {
    "bin/tarnvik",
    "bin/tarnvik-tool",
    "share/tarnvik/demo/Dane/application.def",
    "share/doc/tarnvik/README.md",
    "share/doc/tarnvik/docs/player.md",
    "share/man/man6/tarnvik.6",
    "share/man/man1/tarnvik-tool.1",
    "share/applications/org.tarnvik.Tarnvik.desktop",
    "share/icons/hicolor/128x128/apps/org.tarnvik.Tarnvik.png",
    "share/metainfo/org.tarnvik.Tarnvik.metainfo.xml",
    "share/mime/packages/org.tarnvik.Tarnvik.xml",
    "share/bash-completion/completions/tarnvik",
    "share/bash-completion/completions/tarnvik-tool",
};

class InstallTest : public PlayerTest {
 protected:
  // Installs the build under /usr in a DESTDIR of the test's own; false when cmake failed.
  bool install() {
    root_ = dir_ / "root";
    pid_t pid = spawn({"env", "DESTDIR=" + root_.string(), TARNVIK_CMAKE, "--install", kBuild.string(), "--prefix", "/usr"});
    PlayerRun run = finish(pid);
    EXPECT_EQ(run.status, 0) << run.err;
    prefix_ = root_ / "usr";
    return run.status == 0;
  }
  // Runs a program; its exit status, with stdout and stderr kept in out_ and err_.
  int run(const std::vector<std::string>& command) {
    PlayerRun r = finish(spawn(command));
    out_ = r.out;
    err_ = r.err;
    return r.status;
  }
  // The words of a text matched by the pattern's first group.
  static std::set<std::string> matches(const std::string& text, const std::string& pattern) {
    std::set<std::string> words;
    std::regex re(pattern);
    for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator(); ++it)
      words.insert((*it)[1].str());
    return words;
  }

  fs::path root_, prefix_;
  std::string out_, err_;
};

TEST_F(InstallTest, InstalledPlayerWithoutAGamePlaysTheInstalledDemo) {
  ASSERT_TRUE(install());
  for (const std::string& file : kInstalledFiles) EXPECT_TRUE(fs::is_regular_file(prefix_ / file)) << file;
  // Started where no game is (the tests' games folder), exactly as the build's demo test plays it.
  fs::path shot = dir_ / "ending.png";
  ASSERT_EQ(run({(prefix_ / "bin/tarnvik").string(), "--headless", "--seed", "1", "--frames", "700", "--log", "info",
                 "--input", (kReferences / "playthrough.input").string(), "--settings", settings().string(),
                 "--screenshot", shot.string()}),
            0)
      << err_;
  EXPECT_NE(err_.find("game: " + (prefix_ / "share/tarnvik/demo").string()), std::string::npos) << err_;
  EXPECT_NE(out_.find("scene ENDING"), std::string::npos) << out_;
  std::string why;
  EXPECT_TRUE(samePicture(shot, kReferences / "play-ending.png", why)) << why;
}

TEST_F(InstallTest, DesktopEntryMetainfoMimeTypeAndManualPagesPassTheirCheckers) {
  for (const char* tool : {"desktop-file-validate", "appstreamcli", "man", "update-mime-database"})
    if (!onPath(tool)) GTEST_SKIP() << tool << " is missing (make deps installs it)";
  ASSERT_TRUE(install());
  const std::string apps = (prefix_ / "share/applications").string() + "/" + kAppId + ".desktop";
  EXPECT_EQ(run({"desktop-file-validate", apps}), 0) << out_ << err_;
  EXPECT_EQ(out_ + err_, "");
  const std::string desktop = slurp(apps);
  EXPECT_NE(desktop.find("Categories=Game;AdventureGame;"), std::string::npos);
  EXPECT_NE(desktop.find("MimeType=application/x-tarnvik-archive;"), std::string::npos);
  const std::string metainfo = (prefix_ / "share/metainfo").string() + "/" + kAppId + ".metainfo.xml";
  EXPECT_EQ(run({"appstreamcli", "validate", "--no-net", metainfo}), 0) << out_ << err_;
  for (const char* page : {"share/man/man6/tarnvik.6", "share/man/man1/tarnvik-tool.1"}) {
    EXPECT_EQ(run({"env", "MANWIDTH=80", "man", "--warnings", "-l", (prefix_ / page).string()}), 0) << page << err_;
    EXPECT_EQ(err_, "") << page;
    EXPECT_NE(out_.find("SYNOPSIS"), std::string::npos) << page;
  }
  // The shared-mime-info database built from the installed type names the archives by their ending.
  fs::path mime = dir_ / "mime";
  fs::create_directories(mime / "packages");
  fs::copy_file(prefix_ / "share/mime/packages" / (std::string(kAppId) + ".xml"), mime / "packages/tarnvik.xml");
  ASSERT_EQ(run({"update-mime-database", mime.string()}), 0) << err_;
  EXPECT_NE(slurp(mime / "globs2").find("application/x-tarnvik-archive:*.pik"), std::string::npos) << slurp(mime / "globs2");
}

// The manual pages are written by hand; every option and command of the programs' own usage text is
// in them, and nothing else is.
TEST_F(InstallTest, ManualPagesListExactlyTheOptionsAndCommandsOfTheUsage) {
  const fs::path pages = kBuild / "packaging";
  // The entries of a page: the bold word opening each tagged paragraph, its "\-" escapes undone.
  auto entries = [](const std::string& page, const std::string& word) {
    std::set<std::string> words;
    for (std::string w : matches(page, R"(\n\.TP\n\\fB()" + word + R"()\\fR)")) {
      std::string plain;
      for (char c : w)
        if (c != '\\') plain += c;
      words.insert(plain);
    }
    return words;
  };
  ASSERT_EQ(run({(kBuild / "tarnvik").string(), "--help"}), 0);
  std::set<std::string> options = matches(out_, R"(\n  (--[a-z-]+))");
  EXPECT_GE(options.size(), 15u);
  EXPECT_EQ(entries(slurp(pages / "tarnvik.6"), R"(\\-\\-(?:[a-z]|\\-)+)"), options);
  ASSERT_EQ(run({(kBuild / "tarnvik-tool").string(), "--help"}), 0);
  std::set<std::string> commands = matches(out_, R"(\n  ([a-z0-9]+)[ \n])");
  EXPECT_GE(commands.size(), 14u);
  EXPECT_EQ(entries(slurp(pages / "tarnvik-tool.1"), "[a-z0-9]+"), commands);
}

// `make package`: the Debian package holds the installed tree under /usr and nothing else, and its
// dependencies, computed from the programs, name the libraries the player links.
TEST_F(InstallTest, DebianPackageHoldsTheTreeAndDependsOnTheLinkedLibraries) {
  for (const char* tool : {"dpkg-deb", "dpkg-shlibdeps"})
    if (!onPath(tool)) GTEST_SKIP() << tool << " is missing (make deps installs dpkg-dev)";
  fs::path out = dir_ / "package";
  ASSERT_EQ(run({TARNVIK_CPACK, "-G", "DEB", "--config", (kBuild / "CPackConfig.cmake").string(), "-B", out.string()}), 0)
      << out_ << err_;
  std::vector<fs::path> debs;
  for (const auto& entry : fs::recursive_directory_iterator(out))
    if (entry.path().extension() == ".deb") debs.push_back(entry.path());
  ASSERT_EQ(debs.size(), 1u) << out_;
  EXPECT_TRUE(debs[0].filename().string().starts_with("tarnvik_")) << debs[0];

  ASSERT_EQ(run({"dpkg-deb", "-c", debs[0].string()}), 0) << err_;
  const std::string listing = out_;
  for (const std::string& file : kInstalledFiles)
    EXPECT_NE(listing.find(" ./usr/" + file + "\n"), std::string::npos) << file;
  for (const std::string& path : matches(listing, R"( (\./[^ \n]*)\n)"))
    EXPECT_TRUE(path == "./" || path.starts_with("./usr/")) << path;

  ASSERT_EQ(run({"dpkg-deb", "-f", debs[0].string(), "Package", "Section", "Depends"}), 0) << err_;
  EXPECT_NE(out_.find("Package: tarnvik\n"), std::string::npos) << out_;
  EXPECT_NE(out_.find("Section: games\n"), std::string::npos) << out_;
  for (const char* library : {"libsdl2-2.0-0", "libpng16-16", "libjpeg62-turbo", "liblzo2-2", "libsndfile1", "libc6"})
    EXPECT_NE(out_.find(library), std::string::npos) << library << " missing from " << out_;
}

}  // namespace
