// Recognition of command-line options and the generic option queries.
#include <gtest/gtest.h>

#include "settings/commandline.h"

TEST(CommandLine, DefaultsWithoutOptions) {
  CCommandLine6 cl("");
  EXPECT_TRUE(cl.isMusicEnabled());
  EXPECT_TRUE(cl.isSoundEnabled());
  EXPECT_FALSE(cl.isWindowMode());
  EXPECT_FALSE(cl.isCheatMode());
  EXPECT_FALSE(cl.isGame());
  EXPECT_FALSE(cl.isServer());
  EXPECT_EQ(cl.getServer().str(), CCommandLine6::kDefaultServer);
  int w = -1, h = -1;
  EXPECT_FALSE(cl.getResolution(w, h));
  EXPECT_EQ(w, -1);
  EXPECT_EQ(cl.getPackFileName().str(), "");
}

TEST(CommandLine, EverySwitchBothPrefixesAnywhere) {
  CCommandLine6 cl(
      "junk -nomusic /nosound -window /nogfx -client /pf -code /decode -remove /vmem -2bin /forceCNV -debug "
      "/bigfile -log /params -noframe -server");
  EXPECT_FALSE(cl.isMusicEnabled());
  EXPECT_FALSE(cl.isSoundEnabled());
  EXPECT_TRUE(cl.isWindowMode());
  EXPECT_TRUE(cl.isNoGfx());
  EXPECT_TRUE(cl.isClient());
  EXPECT_TRUE(cl.isPageFlippingEnabled());
  EXPECT_TRUE(cl.isToCode());
  EXPECT_TRUE(cl.isToDecode());
  EXPECT_TRUE(cl.isToRemove());
  EXPECT_TRUE(cl.isVMem());
  EXPECT_TRUE(cl.isTo2Bin());
  EXPECT_TRUE(cl.isForceCNV());
  EXPECT_TRUE(cl.isDebugMode());
  EXPECT_TRUE(cl.isCreateBigFile());
  EXPECT_TRUE(cl.isLogEnabled());
  EXPECT_TRUE(cl.isRunWithParams());
  EXPECT_TRUE(cl.isNoFrame());
  EXPECT_TRUE(cl.isServer());
  EXPECT_EQ(cl.getServer().str(), CCommandLine6::kDefaultServer);
}

TEST(CommandLine, NamesAreExactAndCaseSensitive) {
  CCommandLine6 cl("-Window --window window -forcecnv -windows -DEBUG x-log");
  EXPECT_FALSE(cl.isWindowMode());
  EXPECT_FALSE(cl.isForceCNV());
  EXPECT_FALSE(cl.isDebugMode());
  EXPECT_FALSE(cl.isLogEnabled());
}

TEST(CommandLine, CheatByOptionOrAccessWord) {
  EXPECT_TRUE(CCommandLine6("-cheat").isCheatMode());
  EXPECT_TRUE(CCommandLine6(std::string("/") + CCommandLine6::kAccessWord).isCheatMode());
  EXPECT_FALSE(CCommandLine6(CCommandLine6::kAccessWord).isCheatMode());
}

TEST(CommandLine, ValuedOptions) {
  CCommandLine6 cl("-path G1 -delay 250 -player Ola -server host.example -version 1.2 -res 1024 768");
  EXPECT_EQ(cl.getPath().str(), "G1");
  EXPECT_FALSE(cl.isGame());
  EXPECT_EQ(cl.getDelay(), 250);
  EXPECT_EQ(cl.getPlayer().str(), "Ola");
  EXPECT_EQ(cl.getServer().str(), "host.example");
  EXPECT_EQ(cl.getVersion().str(), "1.2");
  int w = 0, h = 0;
  ASSERT_TRUE(cl.getResolution(w, h));
  EXPECT_EQ(w, 1024);
  EXPECT_EQ(h, 768);
}

TEST(CommandLine, GameSetsFolderAndName) {
  CCommandLine6 cl("-game G -window");
  EXPECT_TRUE(cl.isGame());
  EXPECT_EQ(cl.getGameName().str(), "G");
  EXPECT_EQ(cl.getPath().str(), "G");
}

TEST(CommandLine, ValuedOptionAsLastWordStaysUnset) {
  EXPECT_EQ(CCommandLine6("-window -path").getPath().str(), "");
  EXPECT_FALSE(CCommandLine6("-window -game").isGame());
  EXPECT_EQ(CCommandLine6("-player").getPlayer().str(), "");
  EXPECT_EQ(CCommandLine6("-delay").getDelay(), 0);
  EXPECT_EQ(CCommandLine6("/version").getVersion().str(), "");
  CCommandLine6 server("-server");
  EXPECT_TRUE(server.isServer());
  EXPECT_EQ(server.getServer().str(), CCommandLine6::kDefaultServer);
}

TEST(CommandLine, ServerFollowedByAnotherOptionKeepsDefaultAddress) {
  CCommandLine6 cl("-server -window");
  EXPECT_EQ(cl.getServer().str(), CCommandLine6::kDefaultServer);
  EXPECT_TRUE(cl.isWindowMode());
}

TEST(CommandLine, ResolutionNeedsTwoValidNumbers) {
  int w = 0, h = 0;
  EXPECT_FALSE(CCommandLine6("-res").getResolution(w, h));
  EXPECT_FALSE(CCommandLine6("-res 800").getResolution(w, h));
  EXPECT_FALSE(CCommandLine6("-window -res 800").getResolution(w, h));
  EXPECT_FALSE(CCommandLine6("-res abc 600").getResolution(w, h));
  EXPECT_FALSE(CCommandLine6("-res 0 600").getResolution(w, h));
  EXPECT_FALSE(CCommandLine6("-res -800 600").getResolution(w, h));
  EXPECT_FALSE(CCommandLine6("-res 800 99999999999").getResolution(w, h));
  EXPECT_TRUE(CCommandLine6("/res 640 480 -window").getResolution(w, h));
  EXPECT_EQ(w, 640);
  EXPECT_EQ(h, 480);
}

TEST(CommandLine, PackArchiveName) {
  CCommandLine6 plain("-pack -path G");
  EXPECT_TRUE(plain.isToPack());
  EXPECT_EQ(plain.getPackSource().str(), "G");
  EXPECT_EQ(plain.getPackFileName().str(), "G.pik");
  EXPECT_EQ(CCommandLine6("-pack -path G -file X").getPackFileName().str(), "X");
  EXPECT_EQ(CCommandLine6("-pack -path G\\").getPackFileName().str(), "G.pik");
  EXPECT_EQ(CCommandLine6("-path G -file X").getPackFileName().str(), "");
  EXPECT_EQ(CCommandLine6("-pack").getPackFileName().str(), "");
}

TEST(CommandLine, GenericParameters) {
  CCommandLine6 cl("  -lang  POL\t/mode  -flag -fullname Jan_Maria_Kowalski ");
  EXPECT_TRUE(cl.isParameter("lang"));
  EXPECT_EQ(cl.getParameter("lang").str(), "POL");
  EXPECT_TRUE(cl.isParameter("mode"));
  EXPECT_EQ(cl.getParameter("mode").str(), "-flag");
  EXPECT_TRUE(cl.isParameter("flag"));
  EXPECT_FALSE(cl.isParameter("LANG"));
  EXPECT_FALSE(cl.isParameter(""));
  EXPECT_FALSE(cl.isParameter("POL"));
  EXPECT_EQ(cl.getParameter("missing").str(), "");
  EXPECT_EQ(cl.getFullName().str(), "Jan Maria Kowalski");
  EXPECT_EQ(cl.getWordCount(), 6);
  EXPECT_EQ(cl.getWord(6).str(), "");
  EXPECT_EQ(cl.getWord(-1).str(), "");
}

TEST(CommandLine, WordListFormMatchesStringForm) {
  const char* argv[] = {"-path", "My Game", "-res", "800", nullptr, "600"};
  CCommandLine6 fromWords(6, argv);
  CCommandLine6 fromLine("-path My Game -res 800 600");
  EXPECT_EQ(fromWords.getCommandLine().str(), fromLine.getCommandLine().str());
  EXPECT_EQ(fromWords.getPath().str(), "My");
  int w = 0, h = 0;
  EXPECT_TRUE(fromWords.getResolution(w, h));
  EXPECT_EQ(CCommandLine6(std::vector<std::string>{"-game", "G"}).getGameName().str(), "G");
  EXPECT_EQ(CCommandLine6(0, nullptr).getWordCount(), 0);
}

TEST(CommandLine, LaterChanges) {
  CCommandLine6 cl("-path A");
  cl.runInWindow();
  cl.setAsShowDbg();
  cl.setPath("B");
  EXPECT_TRUE(cl.isWindowMode());
  EXPECT_TRUE(cl.isDebugMode());
  EXPECT_EQ(cl.getPath().str(), "B");
  cl.runInWindow(false);
  EXPECT_FALSE(cl.isWindowMode());
}
