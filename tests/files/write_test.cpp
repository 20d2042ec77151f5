// Tests of writing: atomic rewrites, the lookup cache after writes, writable places, folders.
#include <gtest/gtest.h>

#include <filesystem>

#include "files/file.h"
#include "files/folder.h"
#include "files/path.h"
#include "temp_tree.h"

using tarnvik::test::TempTree;

namespace {

class FileWrite : public TempTree {};

TEST_F(FileWrite, RewriteReplacesTheFileOnlyAtClose) {
  write("save/state.dat", "old content");
  CFile f(nullptr, CXString("SAVE\\STATE.DAT"), 16);
  ASSERT_EQ(f.getErrorCode(), 0);
  EXPECT_EQ(f.getFullPath().str(), path("save/state.dat"));
  EXPECT_EQ(f.putLine(CXString("new")), 3);
  EXPECT_EQ(read("save/state.dat"), "old content");
  EXPECT_EQ(f.Close(), 0);
  EXPECT_EQ(read("save/state.dat"), "new");
  EXPECT_EQ(namesIn("save"), std::vector<std::string>{"state.dat"});
}

TEST_F(FileWrite, UpdateModeCanReadBackWhatItWrote) {
  CFile f(nullptr, CXString("fresh.def"), 14);
  ASSERT_EQ(f.getErrorCode(), 0);
  f.putLine(CXString("a\nb"));
  EXPECT_EQ(f.Seek(0, SEEK_SET), 0);
  EXPECT_EQ(f.getLine().str(), "a\n");
  f.Close();
  EXPECT_EQ(read("fresh.def"), "a\nb");
}

TEST_F(FileWrite, DestructorCommitsTheRewrite) {
  {
    CFile f(nullptr, CXString("d.txt"), 16);
    f.putLine(CXString("kept"));
  }
  EXPECT_EQ(read("d.txt"), "kept");
}

TEST_F(FileWrite, WriteIntoMissingFolderFails) {
  EXPECT_EQ(CFile(nullptr, CXString("no/such/x.txt"), 16).getErrorCode(), 2000);
  EXPECT_FALSE(exists("no"));
}

TEST_F(FileWrite, AtomicHelperKeepsOldContentOnRefusal) {
  write("game/a.bin", "old");
  CPath::addWritablePlace(CXString(path("game")));
  ASSERT_TRUE(CFile::writeFileAtomic(CXString(path("GAME/A.BIN")), "new!", 4));
  EXPECT_EQ(read("game/a.bin"), "new!");
  EXPECT_EQ(namesIn("game").size(), 1u);
  write("b.bin", "outside");
  EXPECT_FALSE(CFile::writeFileAtomic(CXString(path("b.bin")), "x", 1));
  EXPECT_EQ(read("b.bin"), "outside");
}

TEST_F(FileWrite, CreatedFileIsFoundInAnyCaseAfterTheFolderWasCached) {
  write("dir/seen.txt", "s");
  EXPECT_EQ(slurp(nullptr, "DIR/SEEN.TXT", 17), "s");  // caches the listing of dir
  {
    CFile f(nullptr, CXString("dir/New.TXT"), 16);
    f.putLine(CXString("n"));
  }
  EXPECT_EQ(slurp(nullptr, "dir/new.txt", 17), "n");
  EXPECT_TRUE(CFile::fileExists(CXString("DIR\\NEW.txt")));
}

TEST_F(FileWrite, RenameAndDeleteRefreshTheCache) {
  write("dir/a.txt", "a");
  EXPECT_EQ(slurp(nullptr, "DIR/A.TXT", 17), "a");
  ASSERT_TRUE(CFile::renameFile(CXString("dir/A.txt"), CXString("dir/Moved.txt")));
  EXPECT_EQ(slurp(nullptr, "DIR/MOVED.TXT", 17), "a");
  EXPECT_FALSE(CFile::fileExists(CXString("dir/a.txt")));
  ASSERT_TRUE(CFile::deleteFile(CXString("DIR/moved.TXT")));
  EXPECT_FALSE(CFile::fileExists(CXString("dir/moved.txt")));
  EXPECT_FALSE(CFile::deleteFile(CXString("dir/moved.txt")));
}

TEST_F(FileWrite, RewriteKeepsTheExistingSpelling) {
  write("dir/Mixed.Txt", "old");
  {
    CFile f(nullptr, CXString("DIR/MIXED.TXT"), 16);
    f.putLine(CXString("new"));
  }
  EXPECT_EQ(namesIn("dir"), std::vector<std::string>{"Mixed.Txt"});
  EXPECT_EQ(read("dir/Mixed.Txt"), "new");
}

TEST_F(FileWrite, FileMadeByAnotherProgramIsStillFound) {
  std::filesystem::create_directories(path("ext"));
  EXPECT_FALSE(CFile::fileExists(CXString("ext/late.txt")));  // caches an empty listing
  write("ext/late.txt", "late");
  EXPECT_EQ(slurp(nullptr, "ext/late.txt", 17), "late");
}

// A read-only game folder: its writes land in the start directory under the same relative path, and
// reads, updates and deletions meet that local copy first; the game's own files stay as shipped.
TEST_F(FileWrite, ReadOnlyGameWritesAndReadsItsLocalCopies) {
  write("game/Dane/S/a.txt", "shipped a");
  write("game/Dane/S/b.txt", "shipped b");
  CPath::setDataRoot(CXString(path("game")));
  CPath::setStartDirectory(CXString(path("data")));
  CPath::addWritablePlace(CXString(path("game")));
  CPath::addWritablePlace(CXString(path("data")));
  CPath::setDataRootReadOnly(true);
  CPath::setCurrentDirectory(CXString(path("game/Dane/S")));
  auto readName = [](const char* name) {
    std::vector<uint8_t> bytes;
    CFile::readAll(nullptr, CXString(name), bytes);
    return std::string(bytes.begin(), bytes.end());
  };
  EXPECT_EQ(readName("A.TXT"), "shipped a");
  ASSERT_TRUE(CFile::writeFileAtomic(CXString("a.txt"), "mine", 4));
  EXPECT_EQ(read("data/Dane/S/a.txt"), "mine");
  EXPECT_EQ(readName("a.txt"), "mine");
  {
    CFile created(nullptr, CXString("$Dane/S/new.txt"), 16);
    ASSERT_EQ(created.getErrorCode(), 0);
    created.putLine(CXString("new"));
  }
  EXPECT_EQ(read("data/Dane/S/new.txt"), "new");
  EXPECT_TRUE(CFile::fileExists(CXString("NEW.TXT")));
  {
    CFile updated(nullptr, CXString("b.txt"), CFile::modeRead | CFile::modeUpdate | CFile::modeBinary);
    ASSERT_EQ(updated.getErrorCode(), 0);
    EXPECT_EQ(updated.getLine().str(), "shipped b");
    updated.putLine(CXString("!"));
  }
  EXPECT_EQ(read("data/Dane/S/b.txt"), "shipped b!");
  EXPECT_TRUE(CFile::deleteFile(CXString("a.txt")));
  EXPECT_EQ(readName("a.txt"), "shipped a");
  EXPECT_EQ(read("game/Dane/S/a.txt"), "shipped a");
  EXPECT_EQ(read("game/Dane/S/b.txt"), "shipped b");
  EXPECT_EQ(namesIn("game/Dane/S").size(), 2u);
  // Nothing outside the data root is redirected, and a writable game writes its own files.
  EXPECT_TRUE(CPath::getLocalCopy(CXString(path("elsewhere/x"))).isEmpty());
  CPath::setDataRootReadOnly(false);
  EXPECT_TRUE(CPath::getLocalCopy(CXString(path("game/Dane/S/a.txt"))).isEmpty());
}

class WritablePlaces : public TempTree {
 protected:
  void SetUp() override {
    TempTree::SetUp();
    std::filesystem::create_directories(path("game/Dane"));
    std::filesystem::create_directories(path("userdata"));
    std::filesystem::create_directories(path("outside"));
    CPath::addWritablePlace(CXString(path("game")));
    CPath::addWritablePlace(CXString(path("userdata")));
    CPath::setDataRoot(CXString(path("game")));
    CPath::setCurrentDirectory(CXString(path("game")));
  }
};

TEST_F(WritablePlaces, InsideIsAllowed) {
  EXPECT_TRUE(CPath::isWritable(CXString("save.ini")));
  EXPECT_TRUE(CPath::isWritable(CXString("$Dane\\x.arr")));
  EXPECT_TRUE(CPath::isWritable(CXString(path("userdata/slot1.dat"))));
  EXPECT_TRUE(CPath::isWritable(CXString("Dane\\..\\ok.txt")));
  CFile f(nullptr, CXString("dane\\out.txt"), 16);
  EXPECT_EQ(f.getErrorCode(), 0);
}

TEST_F(WritablePlaces, EscapesAreRefused) {
  captureLog(tarnvik::log::Level::warn);
  EXPECT_FALSE(CPath::isWritable(CXString("..\\outside\\x.txt")));
  EXPECT_FALSE(CPath::isWritable(CXString(path("outside/x.txt"))));
  EXPECT_FALSE(CPath::isWritable(CXString("/etc/passwd")));
  EXPECT_FALSE(CPath::isWritable(CXString(path("game-other/x"))));  // a sibling sharing the prefix
  EXPECT_FALSE(captured().empty());

  EXPECT_EQ(CFile(nullptr, CXString("..\\outside\\x.txt"), 16).getErrorCode(), 2000);
  EXPECT_EQ(CFile(nullptr, CXString("Dane/../../outside/y.txt"), 14).getErrorCode(), 2000);
  EXPECT_FALSE(exists("outside/x.txt"));
  EXPECT_FALSE(exists("outside/y.txt"));
}

TEST_F(WritablePlaces, SymbolicLinksOutAreRefused) {
  write("outside/target.txt", "precious");
  std::filesystem::create_directory_symlink(path("outside"), path("game/link"));
  std::filesystem::create_symlink(path("outside/target.txt"), path("game/file-link"));
  EXPECT_FALSE(CPath::isWritable(CXString("link\\new.txt")));
  EXPECT_FALSE(CPath::isWritable(CXString("file-link")));
  EXPECT_EQ(CFile(nullptr, CXString("link/new.txt"), 16).getErrorCode(), 2000);
  EXPECT_EQ(CFile(nullptr, CXString("file-link"), 16).getErrorCode(), 2000);
  EXPECT_EQ(CFile(nullptr, CXString("file-link"), 1 | 4 | 16).getErrorCode(), 2000);
  EXPECT_FALSE(CFile::deleteFile(CXString("file-link")));
  EXPECT_EQ(read("outside/target.txt"), "precious");
  EXPECT_FALSE(exists("outside/new.txt"));
  // Reading through the link is still fine.
  EXPECT_EQ(slurp(nullptr, "file-link", 17), "precious");
}

TEST_F(WritablePlaces, RenameAndFolderCreationAreConfinedToo) {
  write("game/a.txt", "a");
  EXPECT_FALSE(CFile::renameFile(CXString("a.txt"), CXString("../outside/a.txt")));
  EXPECT_TRUE(exists("game/a.txt"));
  CFolder folder(nullptr, CXString(path("game")));
  EXPECT_FALSE(folder.createFolder(CXString("../outside/made")));
  EXPECT_FALSE(exists("outside/made"));
  EXPECT_TRUE(folder.createFolder(CXString("Saves")));
  EXPECT_TRUE(CFile::dirExists(CXString("SAVES")));
}

class Folder : public TempTree {};

TEST_F(Folder, WalksAndLists) {
  write("tree/b/x.ann", "12345");
  write("tree/a/y.img", "1");
  write("tree/one.ANN", "");
  write("tree/two.wav", "");
  CFolder folder(nullptr, CXString("TREE"));
  ASSERT_TRUE(folder.isValid());
  EXPECT_EQ(folder.getPath().str(), path("tree"));
  EXPECT_EQ(folder.GetFolderName().str(), "tree");
  EXPECT_EQ(folder.GetFolderCount(), 2);
  EXPECT_EQ(folder.GetFolderName(1).str(), "b");
  EXPECT_EQ(folder.GetFolderName(2).str(), "");

  EXPECT_EQ(folder.GetFileName().str(), "one.ANN");
  EXPECT_EQ(folder.GetNextFileName().str(), "two.wav");
  EXPECT_EQ(folder.GetNextFileName().str(), "");

  CXArray* anns = folder.list(CXString("*.ann"));
  ASSERT_EQ(anns->size(), 1);
  EXPECT_EQ(anns->stringAt(0)->str(), "one.ANN");
  CFolder::releaseFilesList(anns);
  CXArray* all = folder.list(CXString("*.*"));
  EXPECT_EQ(all->size(), 2);
  CFolder::releaseFilesList(all);

  EXPECT_FALSE(folder.GoUp());
  EXPECT_FALSE(folder.GoTo(2));
  ASSERT_TRUE(folder.GoTo(1));
  EXPECT_EQ(folder.GetFolderName().str(), "b");
  EXPECT_EQ(folder.GetSize(CXString("X.ANN")), 5);
  EXPECT_EQ(folder.GetSize(CXString("none")), -1);
  EXPECT_FALSE(folder.IsDirectory(CXString("x.ann")));
  ASSERT_TRUE(folder.GoUp());
  EXPECT_TRUE(folder.IsDirectory(CXString("A")));
  ASSERT_TRUE(folder.back());
  EXPECT_EQ(folder.GetFolderName().str(), "b");
  folder.GoStart();
  EXPECT_EQ(folder.getPath().str(), path("tree"));
  EXPECT_FALSE(folder.back());
}

TEST_F(Folder, MissingFolderIsEmpty) {
  CFolder folder(nullptr, CXString("absent"));
  EXPECT_FALSE(folder.isValid());
  EXPECT_EQ(folder.GetFileName().str(), "");
  EXPECT_EQ(folder.GetFolderCount(), 0);
  CXArray* none = folder.list(CXString("*.*"));
  EXPECT_EQ(none->size(), 0);
  CFolder::releaseFilesList(none);
}

TEST(NativePaths, SeparatorsDrivesAndDots) {
  EXPECT_EQ(CPath::toNative(CXString("C:\\GAME\\.\\Dane\\..\\x")), "/GAME/x");
  EXPECT_EQ(CPath::toNative(CXString("/../a//b/")), "/a/b");
  EXPECT_EQ(CPath::toNative(CXString("a\\..\\..\\b")), "../b");
  EXPECT_TRUE(CPath::isAbsolute(CXString("D:x")));
  EXPECT_TRUE(CPath::isAbsolute(CXString("\\x")));
  EXPECT_FALSE(CPath::isAbsolute(CXString("x\\y")));
}

}  // namespace
