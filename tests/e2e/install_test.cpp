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
  void SetUp() override {
    PlayerTest::SetUp();
    if (!fs::exists(kBuild / "CPackConfig.cmake")) GTEST_SKIP() << "this build has no install rules (a fuzz build)";
  }
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

// `tarnvik --version`: the version, then each library the player runs with, one a line.
TEST_F(InstallTest, VersionNamesThePlayerAndItsLibraries) {
  ASSERT_EQ(run({(kBuild / "tarnvik").string(), "--version"}), 0) << err_;
  std::set<std::string> names = matches("\n" + out_, R"(\n([A-Za-z0-9-]+) [0-9]+\.[0-9.]+)");
  EXPECT_EQ(names, (std::set<std::string>{"tarnvik", "SDL2", "libpng", "libjpeg-turbo", "LZO", "libsndfile"})) << out_;
  EXPECT_TRUE(out_.starts_with("tarnvik " TARNVIK_VERSION_STRING "\n")) << out_;
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
  for (const auto& entry : fs::directory_iterator(out))  // (its working folders hold a copy)
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

// An installed game is read-only. Played by a user who may not write its folder, what it writes
// (arrays, multi-arrays, copies) goes to its data folder under the same relative path, and every
// read finds that copy before the game's own file, in the same run and in the next.
class ReadOnlyGameTest : public SceneGameTest {
 protected:
  // The command prefix that runs the player as a user other than the folder's owner; empty with a
  // reason when there is none (only root can change users; another user is blocked by the modes).
  bool otherUser(std::vector<std::string>& prefix, std::string& why) {
    if (geteuid() != 0) return true;
    for (const std::vector<std::string>& candidate :
         {std::vector<std::string>{"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"},
          std::vector<std::string>{"runuser", "-u", "nobody", "--"}}) {
      std::vector<std::string> probe = candidate;
      probe.push_back("true");
      if (onPath(candidate[0].c_str()) && finish(spawn(probe)).status == 0) {
        prefix = candidate;
        return true;
      }
    }
    why = "neither setpriv nor runuser can run a command as nobody here";
    return false;
  }
  PlayerRun playAs(const std::vector<std::string>& prefix, int frames) {
    std::vector<std::string> command = prefix;
    command.insert(command.end(), {program(), "--headless", "--frames", std::to_string(frames), "--log", "info",
                                   "--settings", settings().string(), folder().string()});
    return finish(spawn(command));
  }
};

TEST_F(ReadOnlyGameTest, WhatTheGameWritesGoesToItsDataFolderAndIsReadFromThereFirst) {
  std::vector<std::string> prefix;
  std::string why;
  if (!otherUser(prefix, why)) GTEST_SKIP() << why;
  scene("OBJECT=S\nS:ONINIT={@IF(RUNS,\"_\",0,BFIRST,BNEXT);RUNS^INC();}\n"
        "OBJECT=BFIRST\nBFIRST:TYPE=BEHAVIOUR\nBFIRST:CODE={ARR^LOAD(\"saved.arr\");SHIPPED^SET(ARR^GETSIZE());"
        "ARR^ADD(7,8);ARR^SAVE(\"SAVED.ARR\");BACK^LOAD(\"saved.arr\");SAMERUN^SET(BACK^GETSIZE());"
        "M^SET(3,4,7);M^SAVE(\"grid.bin\");M2^LOAD(\"GRID.BIN\");CELL^SET(M2^GET(3,4));"
        "SYSTEM^COPYFILE(\"saved.arr\",\"copy.arr\");C^LOAD(\"copy.arr\");COPIED^SET(C^GETSIZE());}\n"
        "OBJECT=BNEXT\nBNEXT:TYPE=BEHAVIOUR\nBNEXT:CODE={BACK^LOAD(\"saved.arr\");NEXTRUN^SET(BACK^GETSIZE());"
        "M2^LOAD(\"grid.bin\");NEXTCELL^SET(M2^GET(3,4));}\n"
        "OBJECT=ARR\nARR:TYPE=ARRAY\nOBJECT=BACK\nBACK:TYPE=ARRAY\nOBJECT=C\nC:TYPE=ARRAY\n"
        "OBJECT=M\nM:TYPE=MULTIARRAY\nM:DIMENSIONS=2\nOBJECT=M2\nM2:TYPE=MULTIARRAY\nM2:DIMENSIONS=2\n" +
        integers({"RUNS", "SHIPPED", "SAMERUN", "CELL", "COPIED", "NEXTRUN", "NEXTCELL"}));
  // The game ships an array of one number, which the first run reads, extends and saves.
  writeBytes("Dane/S/saved.arr", {1, 0, 0, 0, 1, 0, 0, 0, 5, 0, 0, 0});
  fs::permissions(dir_, fs::perms::all);  // the other user writes the settings and the data folder here
  std::vector<std::string> shipped;
  for (const auto& entry : fs::recursive_directory_iterator(folder())) {
    shipped.push_back(entry.path().string());
    fs::permissions(entry.path(), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
  }
  fs::permissions(folder(), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);

  PlayerRun first = playAs(prefix, 5);
  ASSERT_EQ(first.status, 0) << first.err;
  EXPECT_NE(first.err.find("is read-only"), std::string::npos) << first.err;
  EXPECT_EQ(first.err.find("warn"), std::string::npos) << first.err;
  EXPECT_EQ(value("RUNS"), 1);
  EXPECT_EQ(value("SHIPPED"), 1);
  EXPECT_EQ(value("SAMERUN"), 3);
  EXPECT_EQ(value("CELL"), 7);
  EXPECT_EQ(value("COPIED"), 3);
  const fs::path local = dir_ / "xdg/tarnvik/game/Dane/S";
  for (const char* file : {"SAVED.ARR", "grid.bin", "copy.arr"}) EXPECT_TRUE(fs::exists(local / file)) << file;

  PlayerRun next = playAs(prefix, 5);
  ASSERT_EQ(next.status, 0) << next.err;
  EXPECT_EQ(value("RUNS"), 2);
  EXPECT_EQ(value("NEXTRUN"), 3);
  EXPECT_EQ(value("NEXTCELL"), 7);
  std::vector<std::string> after;
  for (const auto& entry : fs::recursive_directory_iterator(folder())) after.push_back(entry.path().string());
  EXPECT_EQ(after, shipped) << "the game folder changed";
  fs::permissions(folder(), fs::perms::owner_all, fs::perm_options::add);
  for (const auto& entry : fs::recursive_directory_iterator(folder()))
    fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add);
}

}  // namespace
