// Recognition of command-line options and the generic option queries.
#include <gtest/gtest.h>

#include "settings/commandline.h"

TEST(CommandLine, SwitchesWithEitherPrefixAnywhere) {
  CCommandLine6 none("");
  EXPECT_TRUE(none.isMusicEnabled() && none.isSoundEnabled());
  EXPECT_FALSE(none.isWindowMode() || none.isCheatMode() || none.isServer() || none.isGame());
  CCommandLine6 cl("x -nomusic /nosound -window /nogfx -client /pf -code /decode -remove /vmem -2bin /forceCNV "
                   "-debug /bigfile -log /params -noframe -server");
  EXPECT_FALSE(cl.isMusicEnabled() || cl.isSoundEnabled());
  for (bool flag : {cl.isWindowMode(), cl.isNoGfx(), cl.isClient(), cl.isPageFlippingEnabled(), cl.isToCode(),
                    cl.isToDecode(), cl.isToRemove(), cl.isVMem(), cl.isTo2Bin(), cl.isForceCNV(), cl.isDebugMode(),
                    cl.isCreateBigFile(), cl.isLogEnabled(), cl.isRunWithParams(), cl.isNoFrame(), cl.isServer()})
    EXPECT_TRUE(flag);
  EXPECT_EQ(cl.getServer().str(), CCommandLine6::kDefaultServer);
  CCommandLine6 wrong("-Window --window window -forcecnv -windows x-log");
  EXPECT_FALSE(wrong.isWindowMode() || wrong.isForceCNV() || wrong.isLogEnabled());
}

TEST(CommandLine, CheatByOptionOrAccessWord) {
  EXPECT_TRUE(CCommandLine6("-cheat").isCheatMode());
  EXPECT_TRUE(CCommandLine6(std::string("/") + CCommandLine6::kAccessWord).isCheatMode());
  EXPECT_FALSE(CCommandLine6(CCommandLine6::kAccessWord).isCheatMode());
}

TEST(CommandLine, ValuedOptions) {
  CCommandLine6 cl("-path G1 -delay 250 -player Ola -server host.example -version 1.2 /res 1024 768");
  EXPECT_EQ(cl.getPath().str(), "G1");
  EXPECT_FALSE(cl.isGame());
  EXPECT_EQ(cl.getDelay(), 250);
  EXPECT_EQ(cl.getPlayer().str(), "Ola");
  EXPECT_EQ(cl.getServer().str(), "host.example");
  EXPECT_EQ(cl.getVersion().str(), "1.2");
  int w = 0, h = 0;
  EXPECT_TRUE(cl.getResolution(w, h) && w == 1024 && h == 768);
  CCommandLine6 game("-game G -window");
  EXPECT_TRUE(game.isGame());
  EXPECT_EQ(game.getGameName().str() + game.getPath().str(), "GG");
}

TEST(CommandLine, MissingValuesLeaveOptionsUnset) {
  EXPECT_EQ(CCommandLine6("-window -path").getPath().str(), "");
  EXPECT_FALSE(CCommandLine6("-game").isGame());
  EXPECT_EQ(CCommandLine6("-delay").getDelay(), 0);
  EXPECT_EQ(CCommandLine6("-server -window").getServer().str(), CCommandLine6::kDefaultServer);
  int w = -1, h = -1;
  for (const char* line : {"-res", "-res 800", "-window -res 800", "-res abc 600", "-res 0 600", "-res 800 99999999999"})
    EXPECT_FALSE(CCommandLine6(line).getResolution(w, h)) << line;
  EXPECT_EQ(w, -1);
}

TEST(CommandLine, PackArchiveName) {
  EXPECT_EQ(CCommandLine6("-pack -path G").getPackFileName().str(), "G.pik");
  EXPECT_EQ(CCommandLine6("-pack -path G -file X").getPackFileName().str(), "X");
  EXPECT_EQ(CCommandLine6("-pack -path G\\").getPackFileName().str(), "G.pik");
  EXPECT_EQ(CCommandLine6("-path G -file X").getPackFileName().str(), "");
}

TEST(CommandLine, GenericParameters) {
  CCommandLine6 cl("  -lang  POL\t/mode  -flag -fullname Jan_Maria_Kowalski ");
  EXPECT_EQ(cl.getWordCount(), 6);
  EXPECT_EQ(cl.getParameter("lang").str(), "POL");
  EXPECT_EQ(cl.getParameter("mode").str(), "-flag");
  EXPECT_TRUE(cl.isParameter("flag"));
  EXPECT_FALSE(cl.isParameter("LANG") || cl.isParameter("") || cl.isParameter("POL"));
  EXPECT_EQ(cl.getParameter("missing").str(), "");
  EXPECT_EQ(cl.getFullName().str(), "Jan Maria Kowalski");
}

TEST(CommandLine, WordListFormMatchesStringForm) {
  const char* argv[] = {"-path", "My Game", "-res", "800", nullptr, "600"};
  CCommandLine6 fromWords(6, argv);
  EXPECT_EQ(fromWords.getCommandLine().str(), "-path My Game -res 800 600");
  EXPECT_EQ(fromWords.getPath().str(), "My");
  EXPECT_EQ(CCommandLine6(0, nullptr).getWordCount(), 0);
}
