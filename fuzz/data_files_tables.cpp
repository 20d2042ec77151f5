// Fuzz target: the DATABASE row-file reader and the MULTIARRAY file reader. The first byte chooses
// the reader (even: DATABASE, odd: MULTIARRAY); the rest is the file. Whatever a reader accepts must
// come out of the matching writer in a form that reads back the same (a row file after one round).
//
// Seeds: run the target once with TARNVIK_WRITE_SEEDS=<folder> to have our writers make them.
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "definitions/melement.h"
#include "objects/data/database.h"
#include "objects/data/multiarray.h"
#include "objects/register.h"
#include "objects/data/structure.h"
#include "runtime/objects_container.h"
#include "runtime/runner.h"
#include "runtime/variable.h"
#include "runtime/variable_factory.h"

namespace {

// A scene with the STRUCT model S (one field of each type) and the DATABASE DB over it.
struct Tables {
  CMC_ObjectsContainer scene{nullptr, CXString("SCENE"), nullptr, mc::TYPE_SCENE};
  CMC_Database* db = nullptr;

  Tables() {
    CMElements file(true);
    auto* s = new CMElement(CXString("S"));
    s->addProperty(CXString("TYPE"), CXString("STRUCT"));
    s->addProperty(CXString("FIELDS"), CXString("I<INTEGER>,T<STRING>,B<BOOL>,D<DOUBLE>"));
    file.add(s);
    auto* d = new CMElement(CXString("DB"));
    d->addProperty(CXString("TYPE"), CXString("DATABASE"));
    d->addProperty(CXString("MODEL"), CXString("S"));
    file.add(d);
    scene.resolveObjects(&file);
    for (CMC_Object* o : std::vector<CMC_Object*>(scene.objects())) o->init();
    db = static_cast<CMC_Database*>(scene.getObject("DB"));
  }
};

void check(bool condition) {
  if (!condition) std::abort();
}

void fuzzDatabase(const std::string& text) {
  Tables first;
  first.db->loadText(text);
  // Cursor moves and removals over whatever was read; the cursor must stay usable throughout.
  first.db->select(first.db->getRowsNo() / 2);
  CMC_Structure* cursor = first.db->getCursor();
  check(cursor != nullptr);
  first.db->next();
  first.db->removeAt(first.db->getCursorPos());
  cursor->fromString(CXString("1|x|TRUE|2.5"));
  first.db->prev();
  CMC_Integer one(CXString("ONE"), 1);
  first.db->remove(CXString("I"), &one);
  cursor->getField(1)->fromString(CXString("y"));
  // A DOUBLE too small for the five written decimals is saved as "0.00000", which reads back as
  // zero and is saved as "0": the text settles after one round, and must stay the same from then on.
  Tables second;
  second.db->loadText(first.db->saveText());
  std::string once = second.db->saveText();
  Tables third;
  third.db->loadText(once);
  check(third.db->saveText() == once);
  first.db->removeAll();
  cursor->getField(0)->fromString(CXString("5"));
}

void fuzzMultiArray(const uint8_t* data, size_t size) {
  CMC_MultiArray grid(CXString("M"), 2);
  if (!grid.fromBytes(data, size)) return;
  std::vector<uint8_t> once = grid.toBytes();
  CMC_MultiArray back(CXString("B"), 3);
  check(back.fromBytes(once.data(), once.size()));
  check(back.toBytes() == once);
  // Growing a loaded grid must stay within its limits.
  CMC_Integer value(CXString("V"), 7);
  back.set({static_cast<int32_t>(size * 3), static_cast<int32_t>(size)}, &value);
  back.set({-1, 2}, &value);
}

void writeSeeds(const char* folder) {
  auto put = [&](const std::string& name, char selector, const std::string& bytes) {
    std::ofstream out(std::string(folder) + "/" + name, std::ios::binary);
    out << selector << bytes;
  };
  Tables t;
  t.db->loadText("1|one|TRUE|0.5\n-2|two|FALSE|-3.25\n\n");
  put("database_rows", 0, t.db->saveText());
  put("database_wide", 2, "7|a|b|c|d|e|f\n8\r\n");
  CMC_MultiArray grid(CXString("M"), 2);
  CMC_Integer i(CXString("I"), 42);
  CMC_String s(CXString("S"), CXString("text"));
  CMC_Bool b(CXString("B"), true);
  CMC_Double d(CXString("D"), -1.5);
  grid.set({1, 0}, &i);
  grid.set({3, 4}, &s);
  grid.set({20, 2}, &b);
  grid.set({0, 1}, &d);
  std::vector<uint8_t> bytes = grid.toBytes();
  put("multiarray_cells", 1, std::string(bytes.begin(), bytes.end()));
  CMC_MultiArray cube(CXString("C"), 3);
  cube.set({2, 2, 30}, &i);
  bytes = cube.toBytes();
  put("multiarray_cube", 3, std::string(bytes.begin(), bytes.end()));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  tarnvik::registerEngineTypes();
  CMC_VariableFactory::initialize();
  CMC_RunnerFactory::initialize();
  if (const char* folder = std::getenv("TARNVIK_WRITE_SEEDS")) writeSeeds(folder);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > 65536) return 0;
  if (data[0] % 2 == 0)
    fuzzDatabase(std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
  else
    fuzzMultiArray(data + 1, size - 1);
  CMC_VariableFactory::clearPool();
  return 0;
}
