// Tests of opening files: name rules, letter case, language variants, candidates, text mode, streams.
#include <gtest/gtest.h>

#include <climits>

#include "files/file.h"
#include "files/file_bytes.h"
#include "files/filenameresolver.h"
#include "files/path.h"
#include "settings/language.h"
#include "temp_tree.h"

using tarnvik::test::TempTree;

namespace {

class FileOpen : public TempTree {};

TEST_F(FileOpen, WindowsNameFindsLowerCaseFile) {
  write("dane/scena/a.wav", "RIFF");
  CFile f(nullptr, CXString("DANE\\SCENA\\A.WAV"), 17);
  ASSERT_EQ(f.getErrorCode(), 0);
  EXPECT_EQ(f.getFullPath().str(), path("dane/scena/a.wav"));
  char buf[8] = {};
  EXPECT_EQ(f.Read(buf, 8), 4);
  EXPECT_STREQ(buf, "RIFF");
}

TEST_F(FileOpen, ExactCaseWinsOverOtherSpellings) {
  write("x/FILE.TXT", "upper");
  write("x/File.txt", "mixed");
  write("x/file.txt", "lower");
  EXPECT_EQ(slurp(nullptr, "x/file.txt", 17), "lower");
  EXPECT_EQ(slurp(nullptr, "x\\File.txt", 17), "mixed");
  EXPECT_EQ(slurp(nullptr, "X/FILE.TXT", 17), "upper");
  // No exact spelling: one of the others, the same one every time.
  std::string any = slurp(nullptr, "X/fILE.tXT", 17);
  EXPECT_TRUE(any == "upper" || any == "mixed" || any == "lower");
  EXPECT_EQ(slurp(nullptr, "X/fILE.tXT", 17), any);
}

TEST_F(FileOpen, NamesBeyondAsciiIgnoreCaseInWindows1250AndUtf8) {
  // "żaba" as a definition file writes it (Windows-1250, 0xBF), against "ŻABA" on disk.
  const std::string requested = "d\\\xBF" "aba.img";
  write("d/\xC5\xBB" "ABA.IMG", "utf8");
  EXPECT_EQ(slurp(nullptr, requested.c_str(), 17), "utf8");
  write("e/\xAF" "ABA.IMG", "raw");  // a name that is not UTF-8: Windows-1250 bytes
  EXPECT_EQ(slurp(nullptr, "e\\\xBF" "aba.img", 17), "raw");
  // A request in UTF-8 finds them too; other letters do not.
  EXPECT_EQ(slurp(nullptr, "d/\xC5\xBC" "aba.img", 17), "utf8");
  CFile other(nullptr, CXString("d\\\xBE" "aba.img"), 17);  // 0xBE is ľ
  EXPECT_NE(other.getErrorCode(), 0);
}

TEST_F(FileOpen, LanguageVariantPreferredWhenPresent) {
  write("ANIMS/POL/A.ANN", "polish");
  write("ANIMS/A.ANN", "plain");
  CFileContext pol(CXString("POL"));
  CFileContext none;
  EXPECT_EQ(slurp(&pol, "ANIMS\\A.ANN", 17), "polish");
  EXPECT_EQ(slurp(&none, "ANIMS\\A.ANN", 17), "plain");
  EXPECT_EQ(slurp(nullptr, "ANIMS\\A.ANN", 17), "plain");  // no window: no language

  ASSERT_TRUE(CFile::deleteFile(CXString("ANIMS/POL/A.ANN")));
  EXPECT_EQ(slurp(&pol, "ANIMS\\A.ANN", 17), "plain");
}

TEST_F(FileOpen, LanguageVariantOfABareNameAndInAnyCase) {
  write("pol/intro.wav", "pl");
  write("intro.wav", "xx");
  CFileContext pol(CXString("POL"));
  EXPECT_EQ(slurp(&pol, "INTRO.WAV", 17), "pl");
}

TEST_F(FileOpen, LanguageObjectFollowedWhenAttached) {
  write("ANIMS/CZE/A.ANN", "czech");
  write("ANIMS/A.ANN", "plain");
  CLanguageOSVer language(CXString("0415"));
  CFileContext window;
  window.setLanguage(&language);
  EXPECT_EQ(window.getLanguageFolder().str(), "POL");
  EXPECT_EQ(slurp(&window, "ANIMS\\A.ANN", 17), "plain");
  language.setLanguageFolder(CXString("0405"));
  EXPECT_EQ(slurp(&window, "ANIMS\\A.ANN", 17), "czech");
  // The language object's own lookup now uses the engine's name rules (letter case ignored).
  CPath::setCurrentDirectory(CXString(path("")));
  EXPECT_EQ(language.getLocalFileName(CXString(path("anims") + "\\a.ann")).str(), path("anims") + "\\CZE\\a.ann");
}

TEST_F(FileOpen, DollarAndAmpersandNamesStartAtTheDataRoot) {
  write("cd/COMMON/CLASSES/x.def", "class");
  CPath::setDataRoot(CXString(path("cd")));
  EXPECT_EQ(CPath::resolveFileName(nullptr, CXString("$COMMON\\CLASSES\\x")).str(), path("cd") + "/COMMON\\CLASSES\\x");
  EXPECT_EQ(CPath::resolveFileName(nullptr, CXString("&a")).str(), path("cd") + "/a");
  EXPECT_EQ(CPath::resolveFileNameEx(nullptr, CXString("$a")).str(), path("") + "a");
  EXPECT_EQ(slurp(nullptr, "$common\\classes\\X.DEF", 9), "class");
}

TEST_F(FileOpen, QuestionMarkSplitsFolderAndFile) {
  write("sub/deep/f.txt", "found");
  EXPECT_EQ(CPath::resolveFileName(nullptr, CXString("sub\\deep?f.txt")).str(), path("") + "sub\\deep/f.txt");
  EXPECT_EQ(slurp(nullptr, "SUB\\DEEP?F.TXT", 17), "found");
  EXPECT_EQ(CPath::getFullPath(CXString("a"), CXString("b"), CXString("c")).str(), "a/b/c");
  EXPECT_EQ(CPath::getFullPath(CXString("a/"), CXString(""), CXString("c")).str(), "a/c");
}

TEST_F(FileOpen, PlainNamesAreTakenUnderTheCurrentDirectory) {
  write("game/Dane/app.def", "app");
  ASSERT_TRUE(CFile::chDir(CXString(path("GAME"))));
  EXPECT_EQ(CFile::getCurrentDirectory().str(), path("game"));
  EXPECT_EQ(slurp(nullptr, "dane\\APP.DEF", 17), "app");
  EXPECT_FALSE(CFile::chDir(CXString("no-such-folder")));
  EXPECT_EQ(CFile::getCurrentDirectory().str(), path("game"));
}

TEST_F(FileOpen, FixedDiskPathFallsBackToDataRootForm) {
  write("cd/Dane/scene/x.ann", "from-cd");
  CPath::setStartDirectory(CXString(path("install")));
  CPath::setDataRoot(CXString(path("cd")));
  CFileContext window;
  // Requested under the installation, present only in the game's data folder.
  std::string requested = path("install") + "/Dane/scene/x.ann";
  EXPECT_EQ(slurp(&window, requested, 17), "from-cd");
  EXPECT_EQ(CFile::getPath(&window, CXString(requested)).str(), path("cd/Dane/scene/x.ann"));
}

TEST_F(FileOpen, WithoutWindowTheLocalFormComesFirst) {
  write("install/Dane/a.txt", "local");
  write("elsewhere/Dane/a.txt", "original");
  CPath::setStartDirectory(CXString(path("install")));
  EXPECT_EQ(slurp(nullptr, path("elsewhere") + "\\Dane\\a.txt", 17), "local");
  EXPECT_EQ(CPath::getLocalPath(CXString("D:\\GAME\\Wavs\\Sfx\\b.wav")).str(), path("install") + "/Wavs\\Sfx\\b.wav");
  // The marker must be a whole folder name.
  EXPECT_EQ(CPath::getLocalPath(CXString("/x/Danemark/a")).str(), "/x/Danemark/a");
}

TEST_F(FileOpen, MissingFileGives2000AndNamesTheCandidates) {
  captureLog(tarnvik::log::Level::debug);
  CFileContext window(CXString("POL"));
  CFile f(&window, CXString("nothing\\here.img"), 17);
  EXPECT_EQ(f.getErrorCode(), 2000);
  EXPECT_FALSE(f.isOpen());
  EXPECT_EQ(f.Length(), -1);
  char buf[4];
  EXPECT_EQ(f.Read(buf, 4), 0);
  EXPECT_EQ(f.getLine().str(), "");
  EXPECT_EQ(f.GetLine(buf, 4), nullptr);
  ASSERT_FALSE(captured().empty());
  const std::string& line = captured().back();
  EXPECT_NE(line.find("nothing\\here.img"), std::string::npos) << line;
  EXPECT_NE(line.find(path("nothing\\here.img")), std::string::npos) << line;
  EXPECT_EQ(CFile::getPath(&window, CXString("nothing\\here.img")).str(), "");
}

TEST_F(FileOpen, EmptyNameAndFoldersDoNotOpen) {
  write("folder/x", "");
  EXPECT_EQ(CFile(nullptr, CXString(""), 17).getErrorCode(), 2000);
  EXPECT_EQ(CFile(nullptr, CXString("folder"), 17).getErrorCode(), 2000);
  EXPECT_EQ(CFile(nullptr, CXString("folder"), 16).getErrorCode(), 2000);
}

TEST_F(FileOpen, TextModeCollapsesCrLfAndBinaryModeDoesNot) {
  write("t.txt", "a\r\nb\r\n\rc\r");
  EXPECT_EQ(slurp(nullptr, "t.txt", 9), "a\nb\n\rc\r");
  EXPECT_EQ(slurp(nullptr, "t.txt", 17), "a\r\nb\r\n\rc\r");
  CFile f(nullptr, CXString("t.txt"), 9);
  char one;
  std::string byOne;
  while (f.Read(&one, 1) == 1) byOne += one;
  EXPECT_EQ(byOne, "a\nb\n\rc\r");
}

TEST_F(FileOpen, LinesInTextMode) {
  write("l.txt", "first\r\nsecond\nthird");
  CFile f(nullptr, CXString("l.txt"), 9);
  EXPECT_EQ(f.getLine().str(), "first\n");
  char buf[4];
  ASSERT_NE(f.GetLine(buf, sizeof buf), nullptr);
  EXPECT_STREQ(buf, "sec");
  ASSERT_NE(f.GetLine(buf, sizeof buf), nullptr);
  EXPECT_STREQ(buf, "ond");
  ASSERT_NE(f.GetLine(buf, sizeof buf), nullptr);
  EXPECT_STREQ(buf, "\n");
  EXPECT_EQ(f.getLine().str(), "third");
  EXPECT_EQ(f.GetLine(buf, sizeof buf), nullptr);
  EXPECT_TRUE(f.eof());
}

TEST_F(FileOpen, LongLinesAreCutAtTheLineLimit) {
  write("long.txt", std::string(CFile::maxLineLength + 5, 'x') + "\n");
  CFile f(nullptr, CXString("long.txt"), 9);
  EXPECT_EQ(f.getLine().length(), CFile::maxLineLength);
  EXPECT_EQ(f.getLine().str(), "xxxxx\n");
}

TEST_F(FileOpen, SeekTellLengthAndUpdateInPlace) {
  write("u.bin", "0123456789");
  CFile f(nullptr, CXString("u.bin"), 1 | 4 | 16);
  ASSERT_EQ(f.getErrorCode(), 0);
  EXPECT_EQ(f.Length(), 10);
  EXPECT_EQ(f.Seek(4, SEEK_SET), 0);
  EXPECT_EQ(f.Tell(), 4);
  EXPECT_EQ(f.Length(), 10);
  EXPECT_EQ(f.Tell(), 4);
  EXPECT_EQ(f.Write("ab", 2), 2);
  EXPECT_EQ(f.Write("ab", 0), 0);
  EXPECT_EQ(f.Close(), 0);
  EXPECT_EQ(read("u.bin"), "0123ab6789");
}

TEST_F(FileOpen, StreamOverMemory) {
  const char data[] = "line one\r\nline two";
  CFile_Stream s(data, sizeof data - 1, 9);
  EXPECT_EQ(s.Length(), 18);
  EXPECT_EQ(s.getLine().str(), "line one\n");
  EXPECT_EQ(s.Seek(-3, SEEK_END), 0);
  char buf[10] = {};
  EXPECT_EQ(s.Read(buf, 10), 3);
  EXPECT_STREQ(buf, "two");
  EXPECT_TRUE(s.eof());
  EXPECT_NE(s.Seek(1, SEEK_END), 0);
  EXPECT_NE(s.Seek(-1, SEEK_SET), 0);
  EXPECT_NE(s.Seek(LONG_MAX, SEEK_CUR), 0);
  EXPECT_NE(s.Seek(LONG_MIN, SEEK_END), 0);
  EXPECT_EQ(s.Tell(), 18);
  EXPECT_EQ(s.Write("x", 1), 0);

  CFile_Stream owned(std::vector<uint8_t>{1, 2, 3});
  uint8_t b[4] = {};
  EXPECT_EQ(owned.Read(b, 4), 3);
  EXPECT_EQ(b[2], 3);
}

class FakeArchive : public CBigFileIfc {
 public:
  explicit FakeArchive(std::string key) : key_(std::move(key)) {}
  bool exists(const CXString& path) override { return path.str() == key_; }
  bool read(const CXString& path, std::vector<uint8_t>& out) override {
    if (path.str() != key_) return false;
    out = {'p', 'i', 'k'};
    return true;
  }

 private:
  std::string key_;
};

TEST_F(FileOpen, ArchiveIsAskedAfterTheFileSystem) {
  EXPECT_EQ(CFile::getBigFileIfc(), nullptr);
  EXPECT_FALSE(CFile::openBigFile(CXString("game.pik")));
  CFile::setBigFileIfc(std::make_unique<FakeArchive>(path("packed.img")));
  EXPECT_TRUE(CFile::fileExists(CXString("packed.img")));
  EXPECT_EQ(slurp(nullptr, "packed.img", 17), "pik");
  write("packed.img", "loose");
  EXPECT_EQ(slurp(nullptr, "packed.img", 17), "loose");
  EXPECT_EQ(CFile(nullptr, CXString("packed.img"), 16).getErrorCode(), 0);
  CFile::closeBigFile();
  EXPECT_EQ(CFile::getBigFileIfc(), nullptr);
}

TEST_F(FileOpen, ReadAllReadsWholeFiles) {
  write("blob.bin", std::string("\0\1\2\r\n", 5));
  std::vector<uint8_t> data;
  ASSERT_TRUE(CFile::readAll(nullptr, CXString("BLOB.BIN"), data));
  EXPECT_EQ(data, (std::vector<uint8_t>{0, 1, 2, '\r', '\n'}));
  EXPECT_FALSE(CFile::readAll(nullptr, CXString("none.bin"), data));
  EXPECT_TRUE(data.empty());
}

TEST_F(FileOpen, ReadSharedGivesWholeFilesMappedOrReadAndArchiveEntries) {
  auto text = [](const std::shared_ptr<const tarnvik::FileBytes>& bytes) {
    return bytes ? std::string(reinterpret_cast<const char*>(bytes->data()), bytes->size()) : std::string("(none)");
  };
  write("blob.bin", std::string("\0\1\2\r\n", 5));
  write("empty.bin", "");
  for (bool mapping : {true, false}) {
    SCOPED_TRACE(mapping ? "mapped" : "read");
    tarnvik::FileBytes::setMapping(mapping);
    auto blob = CFile::readShared(nullptr, CXString("BLOB.BIN"));
    EXPECT_EQ(text(blob), std::string("\0\1\2\r\n", 5));
    EXPECT_EQ(text(CFile::readShared(nullptr, CXString("empty.bin"))), "");
    EXPECT_EQ(CFile::readShared(nullptr, CXString("none.bin")), nullptr);
    // A file replaced while its bytes are held (as a rewrite does: a new file renamed over it) leaves them as read.
    write("blob.new", "other");
    std::filesystem::rename(path("blob.new"), path("blob.bin"));
    EXPECT_EQ(text(blob), std::string("\0\1\2\r\n", 5));
    write("blob.bin", std::string("\0\1\2\r\n", 5));
  }
  tarnvik::FileBytes::setMapping(true);
  CFile::setBigFileIfc(std::make_unique<FakeArchive>(path("packed.img")));
  EXPECT_EQ(text(CFile::readShared(nullptr, CXString("packed.img"))), "pik");
  CFile::closeBigFile();
}

TEST_F(FileOpen, ExistenceAndEnumeration) {
  write("Dane/Scena/one.CNV", "1");
  write("Dane/Scena/two.cnv", "22");
  write("Dane/Scena/other.txt", "");
  std::filesystem::create_directories(path("Dane/Scena/sub.cnv"));
  EXPECT_TRUE(CFile::fileExists(CXString("dane\\scena\\ONE.cnv")));
  EXPECT_FALSE(CFile::fileExists(CXString("dane\\scena")));
  EXPECT_TRUE(CFile::dirExists(CXString("DANE\\SCENA")));
  EXPECT_FALSE(CFile::dirExists(CXString("dane\\scena\\one.cnv")));
  EXPECT_TRUE(CFile::isHdd(CXString("/anything")));

  CFindData info;
  intptr_t h = CFile::findFirst(CXString("DANE\\SCENA\\*.cnv"), info);
  ASSERT_NE(h, -1);
  std::vector<std::string> names{info.name.str()};
  EXPECT_EQ(info.size, 1);
  while (CFile::findNext(h, info) == 0) names.push_back(info.name.str() + (info.isDirectory ? "/" : ""));
  CFile::findClose(h);
  EXPECT_EQ(names, (std::vector<std::string>{"one.CNV", "sub.cnv/", "two.cnv"}));
  EXPECT_EQ(CFile::findFirst(CXString("dane\\scena\\*.wav"), info), -1);
  EXPECT_EQ(CFile::findNext(h, info), -1);
}

TEST(FileNameResolver, SplitsWindowsAndLocalPaths) {
  CFileNameResolver r(CXString("C:\\GAME\\DANE\\A.ANN"));
  EXPECT_EQ(r.getDrive().str(), "C:");
  EXPECT_EQ(r.getPath().str(), "\\GAME\\DANE\\");
  EXPECT_EQ(r.getFileName().str(), "A.ANN");
  EXPECT_EQ(r.getExtension().str(), "ANN");
  EXPECT_EQ(r.getPureFileName().str(), "A");
  CFileNameResolver l(CXString("dir.x/name"));
  EXPECT_EQ(l.getDrive().str(), "");
  EXPECT_EQ(l.getPath().str(), "dir.x/");
  EXPECT_EQ(l.getExtension().str(), "");
  EXPECT_EQ(l.getPureFileName().str(), "name");
}

}  // namespace
