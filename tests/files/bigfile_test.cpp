// Archive files: packing, the exact table of contents, lookups, the process archive seen through
// CFile, and broken or hostile archives.
#include <gtest/gtest.h>

#include <sstream>

#include <fstream>

#include "files/bigfile.h"
#include "files/bytereader.h"
#include "files/file_bytes.h"
#include "temp_tree.h"

namespace {

using tarnvik::ByteWriter;

// Header fields as the writer puts them, before the root folder record.
void header(ByteWriter& w, const std::string& name, int32_t total, int32_t files, int32_t folders) {
  w.string32(name);
  w.string32("\\");
  w.i32(total);
  w.i64(0);
  w.i64(0);
  w.i32(files);
  w.i32(folders);
}

void folderRecord(ByteWriter& w, const std::string& name, int32_t files, int32_t folders) {
  w.string32(name);
  w.i32(files);
  w.i32(folders);
}

void fileRecord(ByteWriter& w, const std::string& name, int32_t offset, int32_t size) {
  w.string32(name);
  w.i32(offset);
  w.i64(0);
  w.i32(size);
}

// An archive with one root folder holding the named files (contents "0", "1", ...), built by hand.
std::vector<uint8_t> flatArchive(const std::vector<std::string>& names) {
  size_t tocSize = 0;
  for (const std::string& n : names) tocSize += 20 + n.size();
  ByteWriter head;
  header(head, "x.pik", static_cast<int32_t>(names.size()), static_cast<int32_t>(names.size()), 0);
  int32_t offset = static_cast<int32_t>(head.size() + 13 + tocSize);
  folderRecord(head, "g", static_cast<int32_t>(names.size()), 0);
  for (size_t i = 0; i < names.size(); ++i) fileRecord(head, names[i], offset + static_cast<int32_t>(i), 1);
  for (size_t i = 0; i < names.size(); ++i) head.u8(static_cast<uint8_t>('0' + i));
  return head.take();
}

class BigFileTest : public tarnvik::test::TempTree {
 protected:
  std::vector<uint8_t> bytes(const std::string& relative) const {
    std::string s = read(relative);
    return std::vector<uint8_t>(s.begin(), s.end());
  }
};

TEST_F(BigFileTest, PacksAKnownTreeIntoExactlyTheDescribedBytes) {
  write("g/top.txt", "AB");
  write("g/sub/inner.txt", "C");
  std::filesystem::create_directories(root_ / "g/empty");
  CBigFile::PackStats stats;
  std::string error;
  std::ostringstream report;
  ASSERT_TRUE(CBigFile::create(CXString(path("g")), CXString(path("g.pik")), &report, &stats, &error)) << error;
  EXPECT_EQ(stats.files, 2);
  EXPECT_EQ(stats.folders, 2);
  EXPECT_EQ(stats.totalSize, 3);
  // The statistics (TOC size: the file records, name plus 20 each), then one progress line rewritten per file.
  std::string blanks = "\r" + std::string(48, ' ');
  EXPECT_EQ(report.str(), "Big file name: " + path("g.pik") +
                              ".\nNumber of folders: 2.\nNumber of files: 2.\nTotal size: 3 bytes.\n"
                              "TOC size: 56 bytes.\nTOC saved.\n" +
                              blanks + "\rFile 1 of 2 saved." + blanks + "\rFile 2 of 2 saved.");

  // Subfolders in name order before the folder's own files; offsets follow the table.
  ByteWriter w;
  header(w, path("g.pik"), 3, 2, 2);
  size_t start = w.size() + (12 + 1) + (12 + 5) + (12 + 3) + (20 + 9) + (20 + 7);
  folderRecord(w, "g", 1, 2);
  folderRecord(w, "empty", 0, 0);
  folderRecord(w, "sub", 1, 0);
  fileRecord(w, "inner.txt", static_cast<int32_t>(start), 1);
  fileRecord(w, "top.txt", static_cast<int32_t>(start + 1), 2);
  EXPECT_EQ(w.size(), start);
  w.bytes("CAB", 3);
  EXPECT_EQ(bytes("g.pik"), w.data());
  EXPECT_EQ(stats.tocSize, static_cast<int64_t>(start));
}

TEST_F(BigFileTest, LooksFilesUpIgnoringCaseAndReadsThem) {
  write("g/Dane/Scena/a.wav", "wave");
  write("g/Dane/application.def", "def");
  ASSERT_TRUE(CBigFile::Create(CXString(path("g")), CXString(), CXString(path("g.pik"))));
  CBigFile archive;
  ASSERT_TRUE(archive.open(CXString(path("g.pik")))) << archive.getError();
  EXPECT_TRUE(archive.FileExists("DANE\\SCENA\\A.WAV"));
  EXPECT_TRUE(archive.FileExists("\\dane/scena/a.wav"));
  EXPECT_FALSE(archive.FileExists("dane\\scena"));
  EXPECT_FALSE(archive.FileExists("dane\\..\\..\\g\\dane\\scena\\a.wav"));
  EXPECT_EQ(archive.GetSize("Dane\\Scena\\A.wav"), 4);
  std::vector<uint8_t> out;
  ASSERT_TRUE(archive.readFile(CXString("dane\\scena\\a.wav"), out));
  EXPECT_EQ(std::string(out.begin(), out.end()), "wave");

  // The stream positions at a file's contents; the first file starts right after the table.
  long at = archive.Seek(CXString("dane\\scena\\a.wav"));
  EXPECT_EQ(at, archive.Tell());
  int32_t first = INT32_MAX;
  for (const auto& f : archive.files()) first = std::min<int32_t>(first, static_cast<int32_t>(f.offset));
  EXPECT_EQ(at, first);  // the subfolder's file is stored first
  EXPECT_EQ(archive.Seek(CXString("missing")), -1);

  // Relative lookups and enumeration below the current folder.
  ASSERT_TRUE(archive.ChDir("DANE"));
  EXPECT_EQ(archive.GetCurrentDirectoryA(), "Dane");
  EXPECT_TRUE(archive.FileExists("scena\\a.wav"));
  CFindData info;
  intptr_t h = archive.FindFirst("*.*", info);
  ASSERT_GE(h, 0);
  std::vector<std::string> names{info.name.str()};
  while (archive.FindNext(h, info) == 0) names.push_back(info.name.str());
  archive.FindClose(h);
  EXPECT_EQ(names, (std::vector<std::string>{"Scena", "application.def"}));
}

TEST_F(BigFileTest, NamesBeyondAsciiAreFoundWithoutLetterCase) {
  write("g/\xC5\xBB" "ABA/\xC5\x81" "ABA.IMG", "utf8");  // ŻABA/ŁABA.IMG in UTF-8
  write("g/\xAF" "UK.IMG", "raw");                       // ŻUK.IMG as Windows-1250 bytes
  std::string error;
  ASSERT_TRUE(CBigFile::create(CXString(path("g")), CXString(path("g.pik")), nullptr, nullptr, &error)) << error;
  CBigFile archive;
  ASSERT_TRUE(archive.open(CXString(path("g.pik"))));
  EXPECT_EQ(archive.GetSize(CXString("\\\xBF" "aba\\\xB3" "aba.img")), 4);  // żaba\łaba.img, Windows-1250
  EXPECT_EQ(archive.GetSize(CXString("\\\xC5\xBC" "aba\\\xC5\x82" "aba.img")), 4);  // the same in UTF-8
  EXPECT_EQ(archive.GetSize(CXString("\\\xBF" "uk.img")), 3);
  EXPECT_EQ(archive.GetSize(CXString("\\zuk.img")), -1);
}

TEST_F(BigFileTest, TheProcessArchiveServesOpensExistenceAndListings) {
  write("g/Dane/INTRO/intro.cnv", "packed scene");
  const std::string large(tarnvik::FileBytes::kReadBelow, 'L');
  write("g/Dane/INTRO/large.ann", large);
  ASSERT_TRUE(CBigFile::Create(CXString(path("g")), CXString(), CXString(path("g.pik"))));
  std::filesystem::rename(root_ / "g", root_ / "gone");
  CPath::clearCache();
  CPath::setDataRoot(CXString(path("g")));
  ASSERT_TRUE(CFile::openBigFile(CXString(path("g.pik"))));
  ASSERT_NE(CFile::getBigFileHandle(), nullptr);

  EXPECT_TRUE(CFile::fileExists(CXString(path("g/Dane/intro/INTRO.CNV"))));
  EXPECT_TRUE(CFile::dirExists(CXString(path("g/Dane/INTRO"))));
  EXPECT_EQ(slurp(nullptr, path("g/Dane/INTRO/intro.cnv"), CFile::modeRead | CFile::modeBinary), "packed scene");
  // As shared bytes, valid after the archive is closed: a small entry read, its parts read again from
  // the archive; a large one a slice of the mapped archive, its parts in place.
  auto shared = CFile::readShared(nullptr, CXString(path("g/Dane/intro/INTRO.CNV")));
  ASSERT_NE(shared, nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(shared->data()), shared->size()), "packed scene");
  std::shared_ptr<const tarnvik::FileBytes> parts = shared->forParts();
  EXPECT_EQ(parts->data(), nullptr);
  auto largeShared = CFile::readShared(nullptr, CXString(path("g/Dane/intro/large.ann")));
  ASSERT_NE(largeShared, nullptr);
  EXPECT_EQ(largeShared->forParts(), largeShared);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(largeShared->data()), largeShared->size()), large);
  EXPECT_EQ(CFile::readShared(nullptr, CXString(path("g/Dane/INTRO/other.cnv"))), nullptr);
  // Readable although no file on disk has that path (sound names are probed this way).
  EXPECT_TRUE(CFile::getPath(nullptr, CXString(path("g/Dane/INTRO/intro.cnv"))).isEmpty());
  EXPECT_TRUE(CFile::canRead(nullptr, CXString(path("g/Dane/intro/INTRO.CNV"))));
  EXPECT_FALSE(CFile::canRead(nullptr, CXString(path("g/Dane/INTRO/other.cnv"))));
  // Outside the game's tree the archive answers nothing.
  EXPECT_FALSE(CFile::fileExists(CXString(path("Dane/INTRO/intro.cnv"))));
  EXPECT_FALSE(CFile::fileExists(CXString(path("g/../Dane/INTRO/intro.cnv"))));
  CFindData info;
  intptr_t h = CFile::findFirst(CXString(path("g/Dane/INTRO/*.cnv")), info);
  ASSERT_GE(h, 0);
  EXPECT_EQ(info.name, "intro.cnv");
  CFile::findClose(h);

  // A file on disk wins over the archive's copy.
  write("g/Dane/INTRO/intro.cnv", "local copy");
  CPath::clearCache();
  EXPECT_EQ(slurp(nullptr, path("g/Dane/INTRO/intro.cnv"), CFile::modeRead | CFile::modeBinary), "local copy");
  CFile::closeBigFile();
  EXPECT_EQ(CFile::getBigFileIfc(), nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(shared->data()), shared->size()), "packed scene");
  std::vector<uint8_t> scratch;
  auto part = parts->part(7, 5, scratch);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(part.data()), part.size()), "scene");
  EXPECT_TRUE(parts->part(7, 6, scratch).empty()) << "past the entry's end";
}

TEST_F(BigFileTest, RefusesBrokenArchivesAtOpenWithOneMessage) {
  captureLog(tarnvik::log::Level::error);
  CBigFile archive;
  auto refused = [&](std::vector<uint8_t> data, const std::string& expected) {
    captured().clear();
    EXPECT_FALSE(archive.openBuffer(std::move(data))) << expected;
    EXPECT_NE(archive.getError().find(expected), std::string::npos) << archive.getError();
    EXPECT_EQ(captured().size(), 1u);
  };

  ByteWriter huge;  // a TOC claiming 2^31 - 1 files
  header(huge, "x", 0, INT32_MAX, 0);
  folderRecord(huge, "g", INT32_MAX, 0);
  refused(huge.take(), "more than the file can hold");

  std::vector<uint8_t> past = flatArchive({"a"});
  past.pop_back();  // the last file's offset + size passes the end
  refused(past, "outside the archive");

  ByteWriter negative;  // a string of length -1
  negative.i32(-1);
  refused(negative.take(), "too short");

  ByteWriter nested;  // 200000 folders, each inside the last
  header(nested, "x", 0, 0, 200000);
  for (int i = 0; i <= 200000; ++i) folderRecord(nested, "d", 0, 1);
  refused(nested.take(), "nested deeper");

  refused(std::vector<uint8_t>(), "too short");
  EXPECT_TRUE(archive.openBuffer(flatArchive({"a", "b"})));
  EXPECT_FALSE(archive.open(CXString(path("missing.pik"))));
}

TEST_F(BigFileTest, HostileNamesAreNeverFound) {
  CBigFile archive;
  ASSERT_TRUE(archive.openBuffer(flatArchive({"..", "a\\..\\..\\b", "/etc", "C:x", std::string("n\0ul", 4), "fine"})));
  EXPECT_EQ(archive.files().size(), 6u);
  for (int32_t i = 0; i < 5; ++i) EXPECT_FALSE(archive.isSafe(i)) << archive.pathOf(i);
  EXPECT_TRUE(archive.isSafe(5));
  EXPECT_FALSE(archive.FileExists(".."));
  EXPECT_FALSE(archive.FileExists("b"));
  EXPECT_FALSE(archive.FileExists("etc"));
  EXPECT_FALSE(archive.FileExists("C:x"));
  EXPECT_TRUE(archive.FileExists("FINE"));
  EXPECT_EQ(archive.findFolder(".."), -1);
}

TEST_F(BigFileTest, PackingIsAllOrNothing) {
  write("g/a.txt", "x");
  write("g.pik", "old archive");
  std::string error;
  EXPECT_FALSE(CBigFile::create(CXString(path("missing")), CXString(path("g.pik")), nullptr, nullptr, &error));
  EXPECT_FALSE(CBigFile::create(CXString(path("g")), CXString(path("g/inside.pik")), nullptr, nullptr, &error));
  EXPECT_NE(error.find("inside"), std::string::npos);
  EXPECT_EQ(read("g.pik"), "old archive");
  ASSERT_TRUE(CBigFile::create(CXString(path("g")), CXString(path("g.pik")), nullptr, nullptr, &error));
  EXPECT_NE(read("g.pik"), "old archive");
  for (const std::string& name : namesIn("")) EXPECT_EQ(name.find(".g.pik"), std::string::npos) << name;
}

}  // namespace
